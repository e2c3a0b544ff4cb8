#include "network_server.h"

#include "modbus/crc16.h"
#include "modbus/mbap_frame.h"

#include <algorithm>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

bool isStream(ServedAs as)
{
    return as == ServedAs::Tcp || as == ServedAs::RtuTcp || as == ServedAs::AsciiTcp;
}

// One listening (or, for datagrams, receiving) socket on a loopback address; -1 when that
// address cannot be had (a system without IPv6).
int listenOn(const char* host, bool stream, int& port)
{
    sockaddr_storage address {};
    socklen_t length = 0;
    const bool v6 = std::string_view(host).find(':') != std::string_view::npos;
    if (v6) {
        auto* a = reinterpret_cast<sockaddr_in6*>(&address);
        a->sin6_family = AF_INET6;
        a->sin6_port = htons(std::uint16_t(port));
        inet_pton(AF_INET6, host, &a->sin6_addr);
        length = sizeof *a;
    } else {
        auto* a = reinterpret_cast<sockaddr_in*>(&address);
        a->sin_family = AF_INET;
        a->sin_port = htons(std::uint16_t(port));
        inet_pton(AF_INET, host, &a->sin_addr);
        length = sizeof *a;
    }
    const int fd = socket(address.ss_family, (stream ? SOCK_STREAM : SOCK_DGRAM) | SOCK_CLOEXEC, 0);
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (v6)
        setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on);
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0
        || (stream && listen(fd, 8) != 0)) {
        if (fd >= 0)
            close(fd);
        return -1;
    }
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length); // port 0: the one given
    port = ntohs(v6 ? reinterpret_cast<sockaddr_in6*>(&address)->sin6_port
                    : reinterpret_cast<sockaddr_in*>(&address)->sin_port);
    return fd;
}

// The shortest start of bytes that ends in its own good check bytes: how a stream with no
// silence in it is cut into RTU frames. 0 when none does yet.
std::size_t rtuFrameLength(const std::string& bytes)
{
    for (std::size_t n = 4; n <= std::min<std::size_t>(bytes.size(), 256); ++n)
        if (modbus::CRC16(bytes.substr(0, n - 2)) == bytes.substr(n - 2, 2))
            return n;
    return 0;
}

} // namespace

NetworkServer::NetworkServer(ServedAs as, int port, int unit, Respond respond)
    : as_(as)
    , port_(port)
    , unit_(unit)
    , respond_(std::move(respond))
{
    for (const char* host : { "127.0.0.1", "::1" })
        if (const int fd = listenOn(host, isStream(as), port_); fd >= 0)
            listeners_.push_back(fd);
}

NetworkServer::~NetworkServer()
{
    for (const int fd : listeners_)
        close(fd);
    for (const Client& c : clients_)
        close(c.fd);
}

std::string NetworkServer::address() const
{
    static const char* const schemes[]
        = { "tcp://", "rtu+tcp://", "udp://", "rtu+udp://", "ascii+tcp://", "ascii+udp://" };
    return schemes[int(as_)] + std::string("127.0.0.1:") + std::to_string(port_);
}

void NetworkServer::addWaits(std::vector<pollfd>& waits) const
{
    for (const int fd : listeners_)
        waits.push_back({ fd, POLLIN, 0 });
    for (const Client& c : clients_)
        waits.push_back({ c.fd, POLLIN, 0 });
}

void NetworkServer::serve(const std::vector<pollfd>& waits)
{
    const auto ready = [&](int fd) {
        return std::any_of(waits.begin(), waits.end(), [&](const pollfd& w) {
            return w.fd == fd && (w.revents & (POLLIN | POLLHUP | POLLERR));
        });
    };
    for (const int fd : listeners_)
        if (ready(fd) && isStream(as_))
            accept(fd);
        else if (ready(fd))
            serveDatagram(fd);
    std::erase_if(clients_, [&](Client& c) {
        if (!ready(c.fd) || serveStream(c))
            return false;
        close(c.fd);
        return true;
    });
}

void NetworkServer::accept(int listener)
{
    const int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    const int on = 1; // a reply goes at once, as a device's does
    if (fd >= 0 && setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) == 0)
        clients_.push_back({ fd, {} });
    else if (fd >= 0)
        close(fd);
}

bool NetworkServer::serveStream(Client& client)
{
    char buffer[1024];
    const ssize_t n = read(client.fd, buffer, sizeof buffer);
    if (n <= 0)
        return false;
    client.bytes.append(buffer, std::size_t(n));
    const std::string replies = answerFrames(client.bytes);
    return replies.empty()
        || send(client.fd, replies.data(), replies.size(), MSG_NOSIGNAL) == ssize_t(replies.size());
}

void NetworkServer::serveDatagram(int fd)
{
    char buffer[1024];
    sockaddr_storage from {};
    socklen_t length = sizeof from;
    const ssize_t n
        = recvfrom(fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &length);
    if (n <= 0)
        return;
    const std::string datagram(buffer, std::size_t(n));
    std::string reply;
    if (as_ == ServedAs::RtuUdp)
        reply = respond_(datagram, modbus::Framing::Rtu);
    else if (as_ == ServedAs::AsciiUdp)
        reply = answerAscii(
            modbus::FramerOf(modbus::Framing::Ascii).cut(datagram, true, modbus::Sender::Master));
    else if (const modbus::MbapCut cut = modbus::ReadMbapDatagram(datagram);
             cut.kind == modbus::MbapCut::Kind::Frame)
        reply = answerMbap(datagram.substr(0, cut.length));
    if (!reply.empty())
        sendto(fd, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&from), length);
}

std::string NetworkServer::answerFrames(std::string& bytes)
{
    std::string replies;
    for (;;) {
        if (as_ == ServedAs::AsciiTcp) {
            const modbus::WireCut cut = modbus::FramerOf(modbus::Framing::Ascii)
                                            .cut(bytes, false, modbus::Sender::Master);
            if (cut.kind == modbus::WireCut::Kind::NeedMore)
                return replies;
            replies += answerAscii(cut);
            bytes.erase(0, cut.length);
            continue;
        }
        if (as_ == ServedAs::RtuTcp) {
            const std::size_t n = rtuFrameLength(bytes);
            if (n == 0 && bytes.size() > 256)
                bytes.clear(); // nothing in there will become a frame
            if (n == 0)
                return replies;
            replies += respond_(bytes.substr(0, n), modbus::Framing::Rtu);
            bytes.erase(0, n);
            continue;
        }
        const modbus::MbapCut cut = modbus::CutMbapStream(bytes);
        if (cut.kind == modbus::MbapCut::Kind::NeedMore)
            return replies;
        if (cut.kind == modbus::MbapCut::Kind::Frame)
            replies += answerMbap(bytes.substr(0, cut.length));
        bytes.erase(0, cut.length);
    }
}

std::string NetworkServer::answerMbap(const std::string& frame)
{
    const modbus::MbapFrame request = modbus::ReadMbapDatagram(frame).frame;
    const std::uint8_t asked = request.unit == 255 ? std::uint8_t(unit_) : request.unit;
    const std::string reply = respond_(
        modbus::RtuOfMbap({ request.transaction, asked, request.pdu }), modbus::Framing::Rtu);
    if (reply.empty())
        return {};
    modbus::MbapFrame answer = modbus::MbapOfRtu(reply, request.transaction);
    answer.unit = request.unit; // the reply names the unit the request named
    return modbus::BuildMbap(answer);
}

std::string NetworkServer::answerAscii(const modbus::WireCut& cut)
{
    if (cut.kind != modbus::WireCut::Kind::Frame || !cut.checkGood)
        return {};
    return respond_(modbus::FramerOf(modbus::Framing::Rtu).wrap(cut.adu), modbus::Framing::Ascii);
}
