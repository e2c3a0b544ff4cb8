#include "network_link.h"

#include <algorithm>
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
    case NetError::NameTimedOut:
        return "no answer from the name server for " + address.host + " within the time-out";
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
    addresses_ = ResolveHost(address.host, address.port, address.stream(), connectUs, status);
    if (!addresses_.empty()) {
        startRound();
        status = advanceConnect(connectUs);
    }
    opened_ = socket_ != kNoSocket;
    return NetFailureText(address, status);
}

void NetworkLink::close()
{
    CloseSocket(socket_);
    CloseSocket(connecting_);
    socket_ = connecting_ = kNoSocket;
    opened_ = false;
    down_.clear();
    news_.clear();
    lastTold_.clear();
}

void NetworkLink::startRound()
{
    nextAddress_ = 0;
    connectDeadlineUs_ = nowUs() + connectUs_;
}

// Begins a connect to the next address that will take one; false when none is left.
bool NetworkLink::beginNext(NetStatus& status)
{
    while (connecting_ == kNoSocket && nextAddress_ < addresses_.size())
        connecting_ = BeginConnect(addresses_[nextAddress_++], address_.stream(), status);
    return connecting_ != kNoSocket;
}

// Carries the round of connects on for up to waitUs, an address that fails giving way to the
// next. Connected: socket_ set. Still going: connecting_ set. Else why the round failed.
NetStatus NetworkLink::advanceConnect(std::int64_t waitUs)
{
    const std::int64_t untilUs = std::min(nowUs() + waitUs, connectDeadlineUs_);
    NetStatus status;
    while (beginNext(status)) {
        switch (AwaitConnect(connecting_, untilUs - nowUs(), status)) {
        case ConnectState::Connected:
            std::swap(socket_, connecting_);
            return {};
        case ConnectState::Failed:
            connecting_ = kNoSocket;
            break;
        case ConnectState::Pending:
            if (nowUs() < connectDeadlineUs_)
                return {};
            CloseSocket(connecting_);
            connecting_ = kNoSocket;
            nextAddress_ = addresses_.size();
            return { NetError::TimedOut, 0 };
        }
    }
    return status.error == NetError::None ? NetStatus { NetError::TimedOut, 0 } : status;
}

bool NetworkLink::reconnect()
{
    if (connecting_ == kNoSocket)
        startRound();
    const NetStatus status = advanceConnect(reconnectWaitUs_ < 0 ? connectUs_ : reconnectWaitUs_);
    if (socket_ != kNoSocket) {
        pace_.reset();
        down_.clear();
        tell("connected to " + HostAndPort(address_) + " again");
        return true;
    }
    if (connecting_ != kNoSocket) {
        down_ = "connecting to " + HostAndPort(address_) + " again";
        return false;
    }
    down_ = NetFailureText(address_, status);
    tell(down_ + "; tried again at the next request, at most once a second");
    pace_.failed(nowUs());
    return false;
}

bool NetworkLink::reconnectNow()
{
    return opened_ && (socket_ != kNoSocket || (retryInUs() == 0 && reconnect()));
}

int NetworkLink::write(const modbus::ByteString& bytes)
{
    if (!reconnectNow())
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
    return socket_ == kNoSocket && connecting_ == kNoSocket ? pace_.waitUs(nowUs()) : 0;
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
