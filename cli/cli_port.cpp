#include "cli_port.h"

#include "serial/win32_comm.h"

#include <algorithm>
#include <chrono>

namespace cli {

Port::~Port()
{
    if (handle_ != comm::kInvalidHandle)
        comm::CloseHandle(handle_);
}

std::string Port::open(const std::string& name, const comm::LineSettings& line)
{
    using namespace comm;
    handle_
        = CreateFileA(name.c_str(), kGenericRead | kGenericWrite, 0, nullptr, kOpenExisting, 0, 0);
    const auto failed = [&](const std::string& what) {
        return what + " (error " + std::to_string(GetLastError()) + ")";
    };
    if (handle_ == kInvalidHandle)
        return failed("cannot open " + name);
    Dcb dcb {};
    const std::string mode = line.modeText();
    if (!BuildCommDCBA(mode.c_str(), &dcb) || !SetCommState(handle_, &dcb))
        return failed("cannot set " + name + " to " + line.shortForm());
    return {};
}

int Port::write(const modbus::ByteString& bytes)
{
    using namespace comm;
    const CommTimeouts timeouts { kMaxDword, kMaxDword, 1000, 1, 1000 };
    SetCommTimeouts(handle_, &timeouts);
    Dword written = 0;
    WriteFile(handle_, bytes.data(), Dword(bytes.size()), &written, nullptr);
    return int(written);
}

modbus::ByteString Port::read(std::int64_t waitUs)
{
    using namespace comm;
    // Win32's "return as soon as bytes arrive": interval and multiplier kMaxDword, the wait
    // for the first byte as the total constant (which must not be 0).
    const Dword waitMs = Dword(std::clamp<std::int64_t>((waitUs + 999) / 1000, 1, 0x7FFFFFFF));
    const CommTimeouts timeouts { kMaxDword, kMaxDword, waitMs, 1, 1000 };
    SetCommTimeouts(handle_, &timeouts);
    char buffer[256];
    Dword count = 0;
    ReadFile(handle_, buffer, sizeof buffer, &count, nullptr);
    return modbus::ByteString(buffer, count);
}

modbus::Exchange Transact(
    Port& port, const modbus::ByteString& frame, std::int64_t timeoutUs, int speed)
{
    using namespace std::chrono;
    const auto now = [] {
        return modbus::LineTime {
            duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count(), 0
        };
    };
    modbus::Exchange exchange(frame, port.write(frame), timeoutUs, SilenceUs(speed), now());
    while (!exchange.done()) {
        const modbus::ByteString chunk = port.read(exchange.nextWaitUs(now().monoUs));
        exchange.read(chunk, now()); // the time after the read: when the bytes were there
    }
    return exchange;
}

} // namespace cli
