// The socket calls on Windows: Winsock's non-blocking sockets waited on with select, the same
// meaning as on Linux.
#include "serial/socket_calls.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <chrono>

namespace comm {
namespace {

    std::int64_t nowUs()
    {
        using namespace std::chrono;
        return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
    }

    // Winsock must be started once before any call; it is left running until the program ends.
    void startWinsock()
    {
        static const bool started = [] {
            WSADATA data;
            return WSAStartup(MAKEWORD(2, 2), &data) == 0;
        }();
        (void)started;
    }

    NetError errorOf(int code)
    {
        switch (code) {
        case WSAECONNREFUSED:
            return NetError::Refused;
        case WSAEHOSTUNREACH:
        case WSAENETUNREACH:
            return NetError::NoRoute;
        case WSAETIMEDOUT:
            return NetError::TimedOut;
        case WSAECONNRESET:
        case WSAECONNABORTED:
            return NetError::Closed;
        default:
            return NetError::Other;
        }
    }

    void fail(NetStatus& status, int code) { status = { errorOf(code), code }; }

    // Waits until the socket is readable (or writable); false when the time ran out first.
    bool waitFor(SOCKET s, bool write, std::int64_t waitUs)
    {
        fd_set set, errors;
        FD_ZERO(&set);
        FD_SET(s, &set);
        FD_ZERO(&errors);
        FD_SET(s, &errors);
        waitUs = std::max<std::int64_t>(waitUs, 0);
        timeval tv { long(waitUs / 1'000'000), long(waitUs % 1'000'000) };
        const int ready = select(0, write ? nullptr : &set, write ? &set : nullptr, &errors, &tv);
        return ready > 0;
    }

    SocketId connectOne(const addrinfo& ai, std::int64_t deadlineUs, NetStatus& status)
    {
        const SOCKET s = socket(ai.ai_family, ai.ai_socktype, ai.ai_protocol);
        if (s == INVALID_SOCKET) {
            fail(status, WSAGetLastError());
            return kNoSocket;
        }
        u_long nonBlocking = 1;
        ioctlsocket(s, FIONBIO, &nonBlocking);
        // A request must go at once, not wait for the ACK of one that got no reply (Nagle).
        const BOOL on = TRUE;
        if (ai.ai_socktype == SOCK_STREAM)
            setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
        int code = 0;
        if (connect(s, ai.ai_addr, int(ai.ai_addrlen)) != 0) {
            code = WSAGetLastError();
            if (code == WSAEWOULDBLOCK) {
                code = WSAETIMEDOUT;
                if (waitFor(s, true, deadlineUs - nowUs())) {
                    int length = sizeof code;
                    getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&code), &length);
                }
            }
        }
        if (code == 0)
            return SocketId(s);
        closesocket(s);
        fail(status, code);
        return kNoSocket;
    }

} // namespace

SocketId ConnectSocket(
    const std::string& host, int port, bool stream, std::int64_t timeoutUs, NetStatus& status)
{
    startWinsock();
    const std::int64_t deadlineUs = nowUs() + timeoutUs;
    addrinfo hints {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = stream ? SOCK_STREAM : SOCK_DGRAM;
    hints.ai_protocol = stream ? IPPROTO_TCP : IPPROTO_UDP;
    addrinfo* found = nullptr;
    if (const int rc = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found)) {
        status = { NetError::UnknownHost, rc };
        return kNoSocket;
    }
    SocketId socket = kNoSocket;
    for (const addrinfo* ai = found; ai && socket == kNoSocket && nowUs() < deadlineUs;
         ai = ai->ai_next)
        socket = connectOne(*ai, deadlineUs, status);
    freeaddrinfo(found);
    if (socket == kNoSocket && status.error == NetError::None)
        status = { NetError::TimedOut, WSAETIMEDOUT };
    if (socket != kNoSocket)
        status = {};
    return socket;
}

std::size_t SendAll(SocketId socket, const char* bytes, std::size_t size, NetStatus& status)
{
    const SOCKET s = SOCKET(socket);
    std::size_t sent = 0;
    while (sent < size) {
        const int n = send(s, bytes + sent, int(size - sent), 0);
        if (n >= 0) {
            sent += std::size_t(n);
            continue;
        }
        const int code = WSAGetLastError();
        if (code == WSAEWOULDBLOCK && waitFor(s, true, 1'000'000))
            continue;
        fail(status, code == WSAEWOULDBLOCK ? WSAETIMEDOUT : code);
        break;
    }
    return sent;
}

std::size_t Receive(
    SocketId socket, char* buffer, std::size_t size, std::int64_t waitUs, NetStatus& status)
{
    const SOCKET s = SOCKET(socket);
    if (!waitFor(s, false, waitUs))
        return 0;
    const int n = recv(s, buffer, int(size), 0);
    if (n > 0)
        return std::size_t(n);
    int type = SOCK_STREAM;
    int length = sizeof type;
    getsockopt(s, SOL_SOCKET, SO_TYPE, reinterpret_cast<char*>(&type), &length);
    const int code = n == 0 ? 0 : WSAGetLastError();
    if (n == 0 && type == SOCK_STREAM)
        status = { NetError::Closed, 0 };
    else if (code == WSAECONNRESET && type == SOCK_DGRAM)
        status = { NetError::Refused, code }; // a port unreachable answered an earlier datagram
    else if (code != 0 && code != WSAEWOULDBLOCK)
        fail(status, code);
    return 0;
}

void CloseSocket(SocketId socket)
{
    if (socket != kNoSocket)
        closesocket(SOCKET(socket));
}

} // namespace comm
