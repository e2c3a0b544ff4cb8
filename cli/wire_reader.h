// The ports a listener hears (one wire, or the two of a four-wire line), each read on a thread of
// its own as bytes arrive. Every chunk is stamped under one lock as it is queued, so that chunks
// from both wires come out in the order of their times.
#pragma once

#include "cli_port.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace cli {

class WireReader
{
public:
    struct Chunk
    {
        modbus::ByteString bytes;
        std::int64_t atUs = 0;
    };

    // ports: open, and not used by anyone else until this is gone; clock: µs.
    WireReader(const std::vector<Port*>& ports, std::function<std::int64_t()> clock);
    ~WireReader();
    WireReader(const WireReader&) = delete;
    WireReader& operator=(const WireReader&) = delete;

    // What came since the last call, oldest first, waiting up to waitUs for something. quietUs:
    // the time up to which nothing more came (a chunk queued later is stamped later).
    std::vector<Chunk> take(std::int64_t waitUs, std::int64_t& quietUs);
    // Why a port's read failed; empty while both work.
    std::string failure() const;

private:
    void hear(Port& port);

    std::function<std::int64_t()> clock_;
    mutable std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<Chunk> queue_;
    std::string failure_;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

} // namespace cli
