// The few socket calls a network link needs, with one meaning on every platform: posix/ and
// win32/ each define them, as they define the comm calls. Waits are in microseconds and end
// early when bytes come, so a read behaves like a serial read that returns as bytes arrive.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace comm {

using SocketId = std::intptr_t;
inline constexpr SocketId kNoSocket = -1;

// What went wrong, in the words a user needs; code is the platform's own number.
enum class NetError { None, UnknownHost, NameTimedOut, Refused, NoRoute, TimedOut, Closed, Other };
struct NetStatus
{
    NetError error = NetError::None;
    int code = 0;
};

// Where a host's name leads: one address to connect to (a sockaddr, copied as bytes).
struct NetAddress
{
    std::array<unsigned char, 128> bytes {};
    int length = 0;
    int family = 0;
};

// The addresses of host within timeoutUs, in the order to try them: a name server that does not
// answer in time is given up on (TimedOut); a numeric address needs none. Empty, status set, when
// there is none.
std::vector<NetAddress> ResolveHost(
    const std::string& host, int port, bool stream, std::int64_t timeoutUs, NetStatus& status);

// Begins connecting a stream (TCP) or datagram (UDP) socket to address without waiting for it;
// kNoSocket, status set, when it cannot even begin.
SocketId BeginConnect(const NetAddress& address, bool stream, NetStatus& status);

enum class ConnectState { Connected, Pending, Failed };
// Waits up to waitUs for a connect begun: Pending while it goes on; Failed (status set) when it
// was refused or went wrong, the socket then closed.
ConnectState AwaitConnect(SocketId socket, std::int64_t waitUs, NetStatus& status);

// Sends all of the bytes or fails; the count sent.
std::size_t SendAll(SocketId socket, const char* bytes, std::size_t size, NetStatus& status);

// What comes first within waitUs (a whole datagram on UDP), up to size bytes; 0 when nothing
// came, or when the far end closed (status Closed) or refused (status Refused, UDP).
std::size_t Receive(
    SocketId socket, char* buffer, std::size_t size, std::int64_t waitUs, NetStatus& status);

void CloseSocket(SocketId socket);

} // namespace comm
