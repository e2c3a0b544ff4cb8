// A Modbus RTU slave (libmodbus) on the far end of a pty: the terminal opens path(). Or on a
// real serial port, for tests with two adapters wired together.
#pragma once

#include <cstdint>
#include <string>

struct _modbus;
struct _modbus_mapping_t;

class PtySlave
{
public:
    PtySlave(int address, int registerCount);
    // On the serial device at that path instead, raw 8N1 at bitsPerSecond.
    PtySlave(int address, int registerCount, const std::string& device, int bitsPerSecond);
    ~PtySlave();
    PtySlave(const PtySlave&) = delete;
    PtySlave& operator=(const PtySlave&) = delete;

    bool ok() const { return ctx_ != nullptr; }
    const std::string& path() const { return path_; }
    std::uint16_t* registers();

    // Waits up to timeoutMs for a request, answers it when it is addressed to this slave,
    // and returns the request's bytes (empty when none came).
    std::string serveOnce(int timeoutMs);

private:
    void startLibmodbus();
    std::string readFrame(int timeoutMs);
    void answer(const std::string& frame);

    int address_;
    int registerCount_;
    int master_ = -1;
    int slave_ = -1; // held open so the master never sees a hang-up between terminal sessions
    int link_[2] = { -1, -1 }; // ours, libmodbus's
    std::string path_;
    _modbus* ctx_ = nullptr;
    _modbus_mapping_t* map_ = nullptr;
};
