#include "network_link.h"

#include <chrono>

namespace comm {
namespace {

    std::int64_t nowUs()
    {
        using namespace std::chrono;
        return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
    }

} // namespace

std::string NetFailureText(const LinkAddress& address, const NetStatus& status)
{
    const std::string where = HostAndPort(address);
    switch (status.error) {
    case NetError::None:
        return {};
    case NetError::UnknownHost:
        return "unknown host " + address.host;
    case NetError::Refused:
        return "nothing listens at " + where;
    case NetError::NoRoute:
        return "no route to host " + address.host;
    case NetError::TimedOut:
        return "no answer from " + where + " within the time-out";
    case NetError::Closed:
        return where + " closed the connection";
    default:
        return "cannot reach " + where + " (error " + std::to_string(status.code) + ")";
    }
}

modbus::Framing FramingOf(LinkKind kind)
{
    switch (kind) {
    case LinkKind::Tcp:
        return modbus::Framing::MbapStream;
    case LinkKind::Udp:
        return modbus::Framing::MbapDatagram;
    case LinkKind::AsciiTcp:
    case LinkKind::AsciiUdp:
        return modbus::Framing::Ascii;
    default:
        return modbus::Framing::Rtu;
    }
}

std::string NetworkLink::open(const LinkAddress& address, std::int64_t connectUs)
{
    close();
    address_ = address;
    connectUs_ = connectUs;
    NetStatus status;
    socket_ = ConnectSocket(address.host, address.port, address.stream(), connectUs, status);
    opened_ = socket_ != kNoSocket;
    return NetFailureText(address, status);
}

void NetworkLink::close()
{
    CloseSocket(socket_);
    socket_ = kNoSocket;
    opened_ = false;
    down_.clear();
    news_.clear();
    lastTold_.clear();
}

bool NetworkLink::reconnect()
{
    NetStatus status;
    socket_ = ConnectSocket(address_.host, address_.port, address_.stream(), connectUs_, status);
    if (socket_ == kNoSocket) {
        down_ = NetFailureText(address_, status);
        tell(down_ + "; tried again at the next request, at most once a second");
        pace_.failed(nowUs());
        return false;
    }
    pace_.reset();
    down_.clear();
    tell("connected to " + HostAndPort(address_) + " again");
    return true;
}

int NetworkLink::write(const modbus::ByteString& bytes)
{
    if (!opened_ || (socket_ == kNoSocket && (retryInUs() > 0 || !reconnect())))
        return 0;
    NetStatus status;
    const std::size_t sent = SendAll(socket_, bytes.data(), bytes.size(), status);
    if (status.error != NetError::None)
        lost(status);
    return int(sent);
}

modbus::ByteString NetworkLink::read(std::int64_t waitUs)
{
    if (socket_ == kNoSocket)
        return {};
    char buffer[512];
    NetStatus status;
    const std::size_t count = Receive(socket_, buffer, sizeof buffer, waitUs, status);
    if (count > 0)
        lastTold_.clear(); // the device answers: its next failure is news again
    if (status.error == NetError::Refused)
        tell(NetFailureText(address_, status)); // a datagram's port unreachable: nothing to redo
    else if (status.error != NetError::None)
        lost(status);
    return modbus::ByteString(buffer, count);
}

std::int64_t NetworkLink::retryInUs() const
{
    return socket_ == kNoSocket ? pace_.waitUs(nowUs()) : 0;
}

void NetworkLink::lost(const NetStatus& status)
{
    pace_.reset(); // a device that hung up is tried again at once: it may be back already
    CloseSocket(socket_);
    socket_ = kNoSocket;
    down_ = NetFailureText(address_, status);
    tell(down_ + "; made again at the next request", true);
}

void NetworkLink::tell(std::string text, bool ended)
{
    ended_ = ended_ || ended;
    // The same failure poll after poll is told once, until something changes.
    if (text == lastTold_)
        return;
    lastTold_ = text;
    news_ += (news_.empty() ? "" : "\n") + text;
}

std::string NetworkLink::takeNews(bool* ended)
{
    if (ended)
        *ended = ended_;
    ended_ = false;
    std::string news;
    news.swap(news_);
    return news;
}

} // namespace comm
