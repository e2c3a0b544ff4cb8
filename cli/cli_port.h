// The port as quillet-cli uses it: reads that return as soon as bytes arrive, so a reply time
// is the slave's and the line's, not a read's silence; a failure the platform reports is kept
// and told, never read past.
#pragma once

#include "exchange/exchange.h"
#include "modbus/byte_string.h"
#include "serial/line_settings.h"
#include "serial/serial_link.h"

#include <string>

namespace cli {

class Port
{
public:
    // Empty when open, else what failed with the platform's code.
    std::string open(const std::string& name, const comm::LineSettings& line);
    int write(const modbus::ByteString& bytes);
    // What is there, or what comes first within waitUs; empty when nothing came.
    modbus::ByteString read(std::int64_t waitUs);
    // Empty while the port works; else why the platform refused a read or a write, as
    // "device gone: ..." when the device went away.
    const std::string& failure() const { return failure_; }
    const comm::LineSettings& line() const { return line_; }
    // The line under the port, with its own timing.
    const comm::SerialLink& link() const { return link_; }

private:
    void refused(const char* what);

    comm::SerialLink link_;
    comm::LineSettings line_;
    std::string failure_;
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

} // namespace cli
