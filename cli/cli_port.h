// The port as quillet-cli uses it, a serial line or a device on a network: reads that return as
// soon as bytes arrive, so a reply time is the slave's and the line's, not a read's silence; a
// failure the platform reports is kept and told, never read past.
#pragma once

#include "exchange/exchange.h"
#include "exchange/request_gate.h"
#include "modbus/byte_string.h"
#include "serial/line_settings.h"
#include "serial/link_address.h"
#include "serial/network_link.h"
#include "serial/serial_link.h"

#include <string>

namespace cli {

class Port
{
public:
    // Empty when open, else what failed with the platform's code or the network's reason. A
    // network link connects within connectUs.
    std::string open(const std::string& name, const comm::LineSettings& line,
        std::int64_t connectUs = 1'000'000);
    // On a network link whose connection was lost: waits until it may be tried again, and
    // makes it; at once elsewhere.
    void awaitLink();
    int write(const modbus::ByteString& bytes);
    // What is there, or what comes first within waitUs; empty when nothing came.
    modbus::ByteString read(std::int64_t waitUs);
    // Empty while the port works; else why the platform refused a read or a write, as
    // "device gone: ..." when the device went away.
    const std::string& failure() const { return failure_; }
    const comm::LineSettings& line() const { return line_; }
    const comm::LinkAddress& address() const { return address_; }
    // An exchange's waits on this port: a line's characters, or none on a network.
    modbus::ExchangeTiming timing(std::int64_t responseUs, std::int64_t byteUs) const;
    // The silence kept between frames: the standard's on an RTU line, none on a network or
    // where frames begin with a mark (ASCII's ':').
    std::int64_t interFrameUs() const;
    // How frames are carried: the line's setting, or what the network link's text names.
    modbus::Framing framing() const;
    // What became of a network connection since the last call; empty when nothing did.
    std::string takeNews(bool* ended) { return net_.takeNews(ended); }
    // Why a network link has no connection now; empty while it has one, and on a line.
    const std::string& down() const { return net_.down(); }
    // The frame analysis's name for the link: "19200 8E1", "tcp://10.0.0.5:502".
    std::string linkName() const;

private:
    void refused(const char* what);

    comm::LinkAddress address_;
    comm::SerialLink link_;
    comm::NetworkLink net_;
    comm::LineSettings line_;
    std::string failure_;
};

// The waits and the echo setting every exchange of a run uses.
struct LinkSettings
{
    std::int64_t responseUs = 1'000'000;
    std::int64_t byteUs = 100'000;
    modbus::EchoMode echo = modbus::EchoMode::Auto;
    // After a broadcast, which nobody answers: the time slaves get to act on it.
    std::int64_t turnaroundUs = 100'000;
    // After a request that got no reply, the quiet kept before one whose reply would look the
    // same, so that its late reply is not taken for the next one's answer.
    std::int64_t graceUs = kDefaultGraceUs;
    static constexpr std::int64_t kDefaultGraceUs = 100'000;
};

// A run's requests on one port: the line's analysis carried from one request to the next (an
// echo told, a late reply recognised), the silence and any grace kept before each request with
// what arrives meanwhile read away and judged, and the adapter's echo found before a write that
// needs it.
class Link
{
public:
    Link(Port& port, const LinkSettings& settings);
    modbus::Exchange transact(const modbus::ByteString& frame);
    const modbus::FrameAnalyzer& analysis() const { return line_; }

private:
    // Reads the line until the request may go: the silence between frames, a grace after an
    // unanswered request of the same shape.
    void holdLine(const modbus::ByteString& frame);
    bool needsEchoProbe(const modbus::ByteString& frame) const;
    void findEcho();
    // What the port learnt of its connection, as notes in the analysis; whether there was any.
    bool tellNews();

    Port& port_;
    std::int64_t turnaroundUs_;
    modbus::ExchangeTiming timing_;
    modbus::FrameAnalyzer line_;
    modbus::RequestGate gate_;
};

// The settings of a run's link from the command line's.
inline LinkSettings LinkOf(int timeoutMs, int byteTimeoutMs, modbus::EchoMode echo,
    int turnaroundMs = 100, int graceMs = LinkSettings::kDefaultGraceUs / 1000)
{
    return { timeoutMs * 1000LL, byteTimeoutMs * 1000LL, echo, turnaroundMs * 1000LL,
        graceMs * 1000LL };
}

} // namespace cli
