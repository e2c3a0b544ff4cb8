// What a port text names: a serial port as always, or a device on a network, reached by Modbus
// TCP (tcp://), RTU frames in a TCP stream (rtu+tcp://, a gateway's transparent mode), ASCII
// frames in one (ascii+tcp://), or the same three in UDP datagrams (udp://, rtu+udp://,
// ascii+udp://). Hosts by name, IPv4, or IPv6 in brackets.
#pragma once

#include <string>
#include <string_view>

namespace comm {

enum class LinkKind { Serial, Tcp, RtuTcp, Udp, RtuUdp, AsciiTcp, AsciiUdp };

struct LinkAddress
{
    LinkKind kind = LinkKind::Serial;
    std::string text; // as typed: the serial port's name, or the whole network address
    std::string host; // network links: "10.0.0.5", "gw-3", "::1" (without its brackets)
    int port = 0;
    std::string error; // why a network text cannot be used; empty when it can

    bool network() const { return kind != LinkKind::Serial; }
    // Whether bytes go in a TCP stream rather than in datagrams.
    bool stream() const
    {
        return kind == LinkKind::Tcp || kind == LinkKind::RtuTcp || kind == LinkKind::AsciiTcp;
    }
};

// Any text that does not start with one of the six schemes is a serial port's name, unless it
// has a scheme of its own ("foo://"): that is refused with the kinds there are.
LinkAddress ParseLinkAddress(std::string_view text);

// "10.0.0.5:502", "[::1]:1502": the host and port as a message names them.
std::string HostAndPort(const LinkAddress& address);

} // namespace comm
