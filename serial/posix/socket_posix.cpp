// The socket calls on Linux: non-blocking sockets waited on with poll, so every wait has its
// limit and a connect never hangs for the system's own minutes.
#include "serial/socket_calls.h"

#include <algorithm>
#include <cerrno>
#include <chrono>

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace comm {
namespace {

    std::int64_t nowUs()
    {
        using namespace std::chrono;
        return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
    }

    NetError errorOf(int code)
    {
        switch (code) {
        case ECONNREFUSED:
            return NetError::Refused;
        case EHOSTUNREACH:
        case ENETUNREACH:
            return NetError::NoRoute;
        case ETIMEDOUT:
            return NetError::TimedOut;
        case ECONNRESET:
        case EPIPE:
            return NetError::Closed;
        default:
            return NetError::Other;
        }
    }

    void fail(NetStatus& status, int code) { status = { errorOf(code), code }; }

    // Waits for events until deadline; false when the time ran out first.
    bool waitFor(int fd, short events, std::int64_t waitUs)
    {
        pollfd pfd { fd, events, 0 };
        const int ms = int(std::clamp<std::int64_t>((waitUs + 999) / 1000, 0, 0x7FFFFFFF));
        int ready = 0;
        while ((ready = poll(&pfd, 1, ms)) < 0 && errno == EINTR) { }
        return ready > 0;
    }

    // One address: the socket connected, or kNoSocket with status told.
    SocketId connectOne(const addrinfo& ai, std::int64_t deadlineUs, NetStatus& status)
    {
        const int fd = socket(ai.ai_family, ai.ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd < 0) {
            fail(status, errno);
            return kNoSocket;
        }
        // A request must go at once, not wait for the ACK of one that got no reply (Nagle).
        const int on = 1;
        if (ai.ai_socktype == SOCK_STREAM)
            setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        if (connect(fd, ai.ai_addr, ai.ai_addrlen) == 0)
            return fd;
        int code = errno;
        if (code == EINPROGRESS) {
            code = ETIMEDOUT;
            if (waitFor(fd, POLLOUT, deadlineUs - nowUs())) {
                socklen_t length = sizeof code;
                getsockopt(fd, SOL_SOCKET, SO_ERROR, &code, &length);
            }
        }
        if (code == 0)
            return fd;
        close(fd);
        fail(status, code);
        return kNoSocket;
    }

} // namespace

SocketId ConnectSocket(
    const std::string& host, int port, bool stream, std::int64_t timeoutUs, NetStatus& status)
{
    const std::int64_t deadlineUs = nowUs() + timeoutUs;
    addrinfo hints {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = stream ? SOCK_STREAM : SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (const int rc = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found)) {
        status = { rc == EAI_SYSTEM ? errorOf(errno) : NetError::UnknownHost, rc };
        return kNoSocket;
    }
    SocketId socket = kNoSocket;
    for (const addrinfo* ai = found; ai && socket == kNoSocket && nowUs() < deadlineUs;
         ai = ai->ai_next)
        socket = connectOne(*ai, deadlineUs, status);
    freeaddrinfo(found);
    if (socket == kNoSocket && status.error == NetError::None)
        status = { NetError::TimedOut, ETIMEDOUT };
    if (socket != kNoSocket)
        status = {};
    return socket;
}

std::size_t SendAll(SocketId socket, const char* bytes, std::size_t size, NetStatus& status)
{
    std::size_t sent = 0;
    while (sent < size) {
        const ssize_t n = send(int(socket), bytes + sent, size - sent, MSG_NOSIGNAL);
        if (n >= 0) {
            sent += std::size_t(n);
        } else if (errno == EAGAIN && waitFor(int(socket), POLLOUT, 1'000'000)) {
            continue;
        } else if (errno != EINTR) {
            fail(status, errno == EAGAIN ? ETIMEDOUT : errno);
            break;
        }
    }
    return sent;
}

std::size_t Receive(
    SocketId socket, char* buffer, std::size_t size, std::int64_t waitUs, NetStatus& status)
{
    if (!waitFor(int(socket), POLLIN, waitUs))
        return 0;
    ssize_t n = 0;
    while ((n = recv(int(socket), buffer, size, 0)) < 0 && errno == EINTR) { }
    if (n > 0)
        return std::size_t(n);
    int type = SOCK_STREAM;
    socklen_t length = sizeof type;
    getsockopt(int(socket), SOL_SOCKET, SO_TYPE, &type, &length);
    if (n == 0 && type == SOCK_STREAM) // an empty datagram is no close
        status = { NetError::Closed, 0 };
    else if (errno != EAGAIN)
        fail(status, errno);
    return 0;
}

void CloseSocket(SocketId socket)
{
    if (socket != kNoSocket)
        close(int(socket));
}

} // namespace comm
