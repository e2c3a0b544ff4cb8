// The socket calls on Linux: non-blocking sockets waited on with poll, so every wait has its
// limit and a connect never hangs for the system's own minutes.
#include "serial/socket_calls.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <vector>

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

    // Waits for events within waitUs; false when the time ran out first. A signal does not
    // start the wait over: only what is left of it is waited.
    bool waitFor(int fd, short events, std::int64_t waitUs)
    {
        const std::int64_t deadlineUs = nowUs() + std::max<std::int64_t>(waitUs, 0);
        pollfd pfd { fd, events, 0 };
        for (;;) {
            const std::int64_t leftUs = deadlineUs - nowUs();
            const int ms = int(std::clamp<std::int64_t>((leftUs + 999) / 1000, 0, 0x7FFFFFFF));
            const int ready = poll(&pfd, 1, ms);
            if (ready >= 0 || errno != EINTR)
                return ready > 0;
        }
    }

    // A name the library looks up while the caller waits; kept with what it writes into until
    // the lookup ends, even when the caller has stopped waiting for it.
    struct Lookup
    {
        std::string host;
        std::string service;
        addrinfo hints {};
        gaicb request {};
    };

    // Lookups given up on that the library still runs, freed once they end. Held from a static
    // so that they are never taken for leaks.
    std::vector<Lookup*>& abandoned()
    {
        static auto* const lookups = new std::vector<Lookup*>;
        return *lookups;
    }
    std::mutex abandonedMutex;

    void finish(Lookup* lookup)
    {
        if (lookup->request.ar_result)
            freeaddrinfo(lookup->request.ar_result);
        delete lookup;
    }

    void reapAbandoned()
    {
        std::erase_if(abandoned(), [](Lookup* lookup) {
            if (gai_error(&lookup->request) == EAI_INPROGRESS)
                return false;
            finish(lookup);
            return true;
        });
    }

    constexpr int kLookupTimedOut = 1; // no EAI_ code: they are all negative

    // Waits at most timeoutUs for the lookup; its EAI_ code, or kLookupTimedOut (the lookup
    // then cancelled, or left to end by itself).
    int awaitLookup(Lookup* lookup, std::int64_t timeoutUs)
    {
        const std::int64_t deadlineUs = nowUs() + timeoutUs;
        gaicb* const list[] = { &lookup->request };
        int rc = EAI_INPROGRESS;
        for (std::int64_t leftUs = timeoutUs;
             (rc = gai_error(&lookup->request)) == EAI_INPROGRESS && leftUs > 0;
             leftUs = deadlineUs - nowUs()) {
            const timespec wait { time_t(leftUs / 1'000'000), long(leftUs % 1'000'000) * 1000 };
            gai_suspend(list, 1, &wait); // back early when it ends or a signal comes
        }
        if (rc != EAI_INPROGRESS)
            return rc;
        if (gai_cancel(&lookup->request) == EAI_NOTCANCELED) {
            std::lock_guard lock(abandonedMutex);
            abandoned().push_back(lookup);
            return kLookupTimedOut;
        }
        rc = gai_error(&lookup->request);
        return rc == EAI_CANCELED ? kLookupTimedOut : rc;
    }

    // Looks the name up through the name service within timeoutUs; an EAI_ code or
    // kLookupTimedOut, found set when 0.
    int lookUpWithin(const std::string& host, const std::string& service, const addrinfo& hints,
        std::int64_t timeoutUs, addrinfo*& found)
    {
        {
            std::lock_guard lock(abandonedMutex);
            reapAbandoned();
        }
        auto* lookup = new Lookup { host, service, hints, {} };
        lookup->request.ar_name = lookup->host.c_str();
        lookup->request.ar_service = lookup->service.c_str();
        lookup->request.ar_request = &lookup->hints;
        gaicb* list[] = { &lookup->request };
        int rc = getaddrinfo_a(GAI_NOWAIT, list, 1, nullptr);
        if (rc == 0)
            rc = awaitLookup(lookup, timeoutUs);
        if (rc == kLookupTimedOut)
            return rc; // the lookup is freed when it ends
        std::swap(found, lookup->request.ar_result);
        finish(lookup);
        return rc;
    }

    NetStatus lookupStatus(int rc)
    {
        if (rc == kLookupTimedOut)
            return { NetError::NameTimedOut, ETIMEDOUT };
        return { rc == EAI_SYSTEM ? errorOf(errno) : NetError::UnknownHost, rc };
    }

} // namespace

std::vector<NetAddress> ResolveHost(
    const std::string& host, int port, bool stream, std::int64_t timeoutUs, NetStatus& status)
{
    addrinfo hints {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = stream ? SOCK_STREAM : SOCK_DGRAM;
    hints.ai_flags = AI_NUMERICHOST; // a numeric address is had at once, with no lookup
    const std::string service = std::to_string(port);
    addrinfo* found = nullptr;
    int rc = getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
    if (rc == EAI_NONAME) {
        hints.ai_flags = 0;
        rc = lookUpWithin(host, service, hints, timeoutUs, found);
    }
    if (rc != 0) {
        status = lookupStatus(rc);
        return {};
    }
    std::vector<NetAddress> addresses;
    for (const addrinfo* ai = found; ai; ai = ai->ai_next) {
        NetAddress& address = addresses.emplace_back();
        address.length = int(std::min<std::size_t>(ai->ai_addrlen, address.bytes.size()));
        std::memcpy(address.bytes.data(), ai->ai_addr, std::size_t(address.length));
        address.family = ai->ai_family;
    }
    freeaddrinfo(found);
    status = {};
    return addresses;
}

SocketId BeginConnect(const NetAddress& address, bool stream, NetStatus& status)
{
    const int type = stream ? SOCK_STREAM : SOCK_DGRAM;
    const int fd = socket(address.family, type | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        fail(status, errno);
        return kNoSocket;
    }
    // A request must go at once, not wait for the ACK of one that got no reply (Nagle).
    const int on = 1;
    if (stream)
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    const auto* at = reinterpret_cast<const sockaddr*>(address.bytes.data());
    if (connect(fd, at, socklen_t(address.length)) == 0 || errno == EINPROGRESS)
        return fd;
    fail(status, errno);
    close(fd);
    return kNoSocket;
}

ConnectState AwaitConnect(SocketId socket, std::int64_t waitUs, NetStatus& status)
{
    if (!waitFor(int(socket), POLLOUT, waitUs))
        return ConnectState::Pending;
    int code = 0;
    socklen_t length = sizeof code;
    getsockopt(int(socket), SOL_SOCKET, SO_ERROR, &code, &length);
    if (code == 0)
        return ConnectState::Connected;
    close(int(socket));
    fail(status, code);
    return ConnectState::Failed;
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
