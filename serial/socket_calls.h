// The few socket calls a network link needs, with one meaning on every platform: posix/ and
// win32/ each define them, as they define the comm calls. Waits are in microseconds and end
// early when bytes come, so a read behaves like a serial read that returns as bytes arrive.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace comm {

using SocketId = std::intptr_t;
inline constexpr SocketId kNoSocket = -1;

// What went wrong, in the words a user needs; code is the platform's own number.
enum class NetError { None, UnknownHost, Refused, NoRoute, TimedOut, Closed, Other };
struct NetStatus
{
    NetError error = NetError::None;
    int code = 0;
};

// Resolves host and connects a stream (TCP) or datagram (UDP) socket to it within timeoutUs,
// trying each address the name has in turn. kNoSocket and status set when none could be had.
SocketId ConnectSocket(
    const std::string& host, int port, bool stream, std::int64_t timeoutUs, NetStatus& status);

// Sends all of the bytes or fails; the count sent.
std::size_t SendAll(SocketId socket, const char* bytes, std::size_t size, NetStatus& status);

// What comes first within waitUs (a whole datagram on UDP), up to size bytes; 0 when nothing
// came, or when the far end closed (status Closed) or refused (status Refused, UDP).
std::size_t Receive(
    SocketId socket, char* buffer, std::size_t size, std::int64_t waitUs, NetStatus& status);

void CloseSocket(SocketId socket);

} // namespace comm
