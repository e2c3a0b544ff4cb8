// The port as quillet-cli uses it: reads that return as soon as bytes arrive, so a reply time
// is the slave's and the line's, not a read's silence; a failure the platform reports is kept
// and told, never read past.
#pragma once

#include "exchange/exchange.h"
#include "modbus/byte_string.h"
#include "runs/scan_plan.h"
#include "serial/line_settings.h"

#include <string>

namespace cli {

class Port
{
public:
    Port() = default;
    ~Port();
    Port(const Port&) = delete;
    Port& operator=(const Port&) = delete;

    // Empty when open, else what failed with the platform's code.
    std::string open(const std::string& name, const comm::LineSettings& line);
    int write(const modbus::ByteString& bytes);
    // What is there, or what comes first within waitUs; empty when nothing came.
    modbus::ByteString read(std::int64_t waitUs);
    // Empty while the port works; else why the platform refused a read or a write, as
    // "device gone: ..." when the device went away.
    const std::string& failure() const { return failure_; }
    const comm::LineSettings& line() const { return line_; }
    // A pseudo-terminal: bytes pass at once, whatever the speed.
    bool virtualLine() const { return virtual_; }

private:
    void refused(const char* what);

    std::intptr_t handle_ = -1;
    comm::LineSettings line_;
    std::string failure_;
    bool virtual_ = false;
};

// The waits and the echo setting every exchange of a run uses.
struct LinkSettings
{
    std::int64_t responseUs = 1'000'000;
    std::int64_t byteUs = 100'000;
    modbus::EchoMode echo = modbus::EchoMode::Auto;
};

// A run's requests on one port: the line's analysis carried from one request to the next (an
// echo told, a late reply recognised), the silence kept before each request, and what waited
// read away and judged first.
class Link
{
public:
    Link(Port& port, const LinkSettings& settings);
    modbus::Exchange transact(const modbus::ByteString& frame);
    const modbus::FrameAnalyzer& analysis() const { return line_; }

private:
    void keepSilence();
    void readAway();

    Port& port_;
    modbus::ExchangeTiming timing_;
    modbus::FrameAnalyzer line_;
    std::int64_t quietSinceUs_ = 0;
};

// The settings of a run's link from the command line's.
inline LinkSettings LinkOf(int timeoutMs, int byteTimeoutMs, modbus::EchoMode echo)
{
    return { timeoutMs * 1000LL, byteTimeoutMs * 1000LL, echo };
}

using modbus::InterFrameUs;
using modbus::SilenceUs;

} // namespace cli
