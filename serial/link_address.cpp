#include "link_address.h"

#include <charconv>
#include <utility>

namespace comm {
namespace {

    struct Scheme
    {
        std::string_view prefix;
        LinkKind kind;
        int defaultPort; // 0: the port must be given
    };

    // Modbus TCP has its registered port; a gateway's transparent mode has none.
    constexpr Scheme kSchemes[] = {
        { "tcp://", LinkKind::Tcp, 502 },
        { "rtu+tcp://", LinkKind::RtuTcp, 0 },
        { "udp://", LinkKind::Udp, 502 },
        { "rtu+udp://", LinkKind::RtuUdp, 0 },
        { "ascii+tcp://", LinkKind::AsciiTcp, 0 },
        { "ascii+udp://", LinkKind::AsciiUdp, 0 },
    };

    // Splits "host", "host:port", "[v6]" or "[v6]:port"; the port text empty when not given.
    std::string splitHost(std::string_view rest, std::string& host, std::string_view& port)
    {
        if (rest.starts_with('[')) {
            const std::size_t close = rest.find(']');
            if (close == std::string_view::npos)
                return "an IPv6 address needs its closing ]";
            host = std::string(rest.substr(1, close - 1));
            rest.remove_prefix(close + 1);
            if (!rest.empty() && !rest.starts_with(':'))
                return "after ] comes :PORT";
            port = rest.empty() ? rest : rest.substr(1);
            return {};
        }
        const std::size_t colon = rest.find(':');
        if (colon != std::string_view::npos && rest.find(':', colon + 1) != std::string_view::npos)
            return "an IPv6 address goes in brackets: [::1]:502";
        host = std::string(rest.substr(0, colon));
        port = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
        return {};
    }

    std::string readPort(std::string_view text, int fallback, int& port)
    {
        if (text.empty()) {
            port = fallback;
            return fallback ? std::string() : "the port must be given: HOST:PORT";
        }
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), port);
        if (ec != std::errc() || end != text.data() + text.size() || port < 1 || port > 65535)
            return "the port must be 1..65535";
        return {};
    }

} // namespace

LinkAddress ParseLinkAddress(std::string_view text)
{
    LinkAddress address;
    address.text = std::string(text);
    for (const Scheme& scheme : kSchemes) {
        if (!text.starts_with(scheme.prefix))
            continue;
        address.kind = scheme.kind;
        std::string_view port;
        address.error = splitHost(text.substr(scheme.prefix.size()), address.host, port);
        if (address.error.empty() && address.host.empty())
            address.error = "no host";
        if (address.error.empty())
            address.error = readPort(port, scheme.defaultPort, address.port);
        if (!address.error.empty())
            address.error = std::string(text) + ": " + address.error;
        return address;
    }
    // A scheme of none of these is a typing error, not a serial port's name.
    if (const std::size_t at = text.find("://"); at != std::string_view::npos && at > 0)
        address.error = std::string(text) + ": " + std::string(text.substr(0, at + 3))
            + " is not a link kind: tcp://, rtu+tcp://, ascii+tcp://, udp://, rtu+udp:// or "
              "ascii+udp://";
    return address;
}

std::string HostAndPort(const LinkAddress& address)
{
    const bool v6 = address.host.find(':') != std::string::npos;
    return (v6 ? "[" + address.host + "]" : address.host) + ":" + std::to_string(address.port);
}

} // namespace comm
