// A device on a network, reached as a link like a serial port: bytes written, bytes read as
// they arrive. A connection the far end closes (a gateway rebooting, an idle close) is told
// once and made again at the next write, so a run goes on when the device is back.
#pragma once

#include "link_address.h"
#include "retry_pace.h"
#include "socket_calls.h"

#include "modbus/byte_string.h"
#include "modbus/frame_analysis.h"

#include <cstdint>
#include <string>
#include <vector>

namespace comm {

// The reason a user reads: "nothing listens at 10.0.0.5:502", "unknown host gw-3".
std::string NetFailureText(const LinkAddress& address, const NetStatus& status);

// How a link of this kind carries frames: MBAP on Modbus TCP and UDP, ASCII on ascii+tcp and
// ascii+udp, RTU otherwise.
modbus::Framing FramingOf(LinkKind kind);

class NetworkLink
{
public:
    NetworkLink() = default;
    ~NetworkLink() { close(); }
    NetworkLink(const NetworkLink&) = delete;
    NetworkLink& operator=(const NetworkLink&) = delete;

    // Resolves the host and connects within connectUs each (a datagram link only resolves it);
    // empty when done, else why not. A connection made again later goes to the same addresses.
    std::string open(const LinkAddress& address, std::int64_t connectUs);
    // The longest a write waits for a connection being made again (the whole connect time-out
    // unless set); a connect not done by then goes on, and is looked at by the next write.
    void setReconnectWaitUs(std::int64_t waitUs) { reconnectWaitUs_ = waitUs; }
    void close();
    bool isOpen() const { return opened_; }
    bool connected() const { return socket_ != kNoSocket; }
    const LinkAddress& address() const { return address_; }

    // All of the bytes or none: a closed connection is made again first, at most once a
    // second (none sent while it waits or while the connect goes on). The count sent.
    int write(const modbus::ByteString& bytes);
    // Makes a lost connection again when it may be tried now; whether there is one.
    bool reconnectNow();
    // How long before a connection lost may be tried again; 0 when now, or when connected.
    std::int64_t retryInUs() const;
    // What comes first within waitUs (a datagram is one read); empty when nothing came.
    modbus::ByteString read(std::int64_t waitUs);
    // What happened to the connection since the last call, each change told once; empty when
    // nothing did. ended: a stream ended, so bytes held from it make no frame.
    std::string takeNews(bool* ended = nullptr);
    // While there is no connection: why ("nothing listens at ..."); else empty.
    const std::string& down() const { return down_; }

private:
    void startRound();
    bool beginNext(NetStatus& status);
    NetStatus advanceConnect(std::int64_t waitUs);
    bool reconnect();
    void lost(const NetStatus& status);
    void tell(std::string text, bool ended = false);

    LinkAddress address_;
    std::vector<NetAddress> addresses_;
    std::int64_t connectUs_ = 1'000'000;
    std::int64_t reconnectWaitUs_ = -1; // -1: connectUs_
    SocketId socket_ = kNoSocket;
    SocketId connecting_ = kNoSocket; // a connect begun, not yet done
    std::size_t nextAddress_ = 0;
    std::int64_t connectDeadlineUs_ = 0;
    bool opened_ = false;
    std::string news_;
    std::string lastTold_;
    std::string down_;
    bool ended_ = false;
    RetryPace pace_;
};

} // namespace comm
