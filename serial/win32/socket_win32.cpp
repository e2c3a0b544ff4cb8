// The socket calls on Windows: Winsock's non-blocking sockets waited on with select, the same
// meaning as on Linux.
#include "serial/socket_calls.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

// In ws2_32, but not declared by every set of headers.
extern "C" INT WSAAPI GetAddrInfoExCancel(LPHANDLE handle);
extern "C" INT WSAAPI GetAddrInfoExOverlappedResult(LPOVERLAPPED overlapped);

namespace comm {
namespace {

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

    NetAddress addressOf(int family, const sockaddr* at, std::size_t length)
    {
        NetAddress address;
        address.length = int(std::min(length, address.bytes.size()));
        std::memcpy(address.bytes.data(), at, std::size_t(address.length));
        address.family = family;
        return address;
    }

    // A name the system looks up while the caller waits; kept with what it writes into until
    // the lookup ends, even when the caller has stopped waiting for it.
    struct Lookup
    {
        std::wstring host;
        std::wstring service;
        ADDRINFOEXW hints {};
        ADDRINFOEXW* found = nullptr;
        OVERLAPPED overlapped {};
        HANDLE cancel = nullptr;
    };

    void finish(Lookup* lookup)
    {
        if (lookup->found)
            FreeAddrInfoExW(lookup->found);
        CloseHandle(lookup->overlapped.hEvent);
        delete lookup;
    }

    // Lookups given up on that the system still runs, freed once they end.
    std::vector<Lookup*>& abandoned()
    {
        static auto* const lookups = new std::vector<Lookup*>;
        return *lookups;
    }

    void reapAbandoned()
    {
        std::erase_if(abandoned(), [](Lookup* lookup) {
            if (WaitForSingleObject(lookup->overlapped.hEvent, 0) != WAIT_OBJECT_0)
                return false;
            finish(lookup);
            return true;
        });
    }

    std::wstring wide(const std::string& text)
    {
        std::wstring out(text.size(), L'\0');
        const int n = MultiByteToWideChar(
            CP_UTF8, 0, text.data(), int(text.size()), out.data(), int(out.size()));
        out.resize(std::size_t(std::max(n, 0)));
        return out;
    }

    constexpr int kLookupTimedOut = -1;

    // Starts the lookup; WSA_IO_PENDING while it runs, else its result at once.
    int startLookup(Lookup& lookup, bool stream)
    {
        lookup.hints.ai_family = AF_UNSPEC;
        lookup.hints.ai_socktype = stream ? SOCK_STREAM : SOCK_DGRAM;
        lookup.hints.ai_protocol = stream ? IPPROTO_TCP : IPPROTO_UDP;
        lookup.overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        return GetAddrInfoExW(lookup.host.c_str(), lookup.service.c_str(), NS_ALL, nullptr,
            &lookup.hints, &lookup.found, nullptr, &lookup.overlapped, nullptr, &lookup.cancel);
    }

    // Looks host up within timeoutUs: 0 with the addresses, a Winsock code, or kLookupTimedOut
    // (the lookup then cancelled, freed once it ends).
    int lookUpWithin(const std::string& host, const std::string& service, bool stream,
        std::int64_t timeoutUs, std::vector<NetAddress>& addresses)
    {
        reapAbandoned();
        auto* lookup = new Lookup { wide(host), wide(service) };
        int rc = startLookup(*lookup, stream);
        if (rc == WSA_IO_PENDING) {
            const DWORD ms
                = DWORD(std::clamp<std::int64_t>((timeoutUs + 999) / 1000, 0, 0x7FFFFFFF));
            if (WaitForSingleObject(lookup->overlapped.hEvent, ms) != WAIT_OBJECT_0) {
                GetAddrInfoExCancel(&lookup->cancel);
                abandoned().push_back(lookup);
                return kLookupTimedOut;
            }
            rc = GetAddrInfoExOverlappedResult(&lookup->overlapped);
        }
        // The headers name the list's link with a struct of another spelling: the same layout.
        for (const ADDRINFOEXW* ai = rc == 0 ? lookup->found : nullptr; ai;
             ai = reinterpret_cast<const ADDRINFOEXW*>(ai->ai_next))
            addresses.push_back(addressOf(ai->ai_family, ai->ai_addr, ai->ai_addrlen));
        finish(lookup);
        return rc;
    }

} // namespace

std::vector<NetAddress> ResolveHost(
    const std::string& host, int port, bool stream, std::int64_t timeoutUs, NetStatus& status)
{
    startWinsock();
    addrinfo hints {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = stream ? SOCK_STREAM : SOCK_DGRAM;
    hints.ai_protocol = stream ? IPPROTO_TCP : IPPROTO_UDP;
    hints.ai_flags = AI_NUMERICHOST; // a numeric address is had at once, with no lookup
    const std::string service = std::to_string(port);
    std::vector<NetAddress> addresses;
    addrinfo* found = nullptr;
    int rc = getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
    if (rc == 0) {
        for (const addrinfo* ai = found; ai; ai = ai->ai_next)
            addresses.push_back(addressOf(ai->ai_family, ai->ai_addr, ai->ai_addrlen));
        freeaddrinfo(found);
    } else {
        rc = lookUpWithin(host, service, stream, timeoutUs, addresses);
    }
    if (rc == kLookupTimedOut)
        status = { NetError::NameTimedOut, WSAETIMEDOUT };
    else if (rc != 0 || addresses.empty())
        status = { NetError::UnknownHost, rc };
    else
        status = {};
    return addresses;
}

SocketId BeginConnect(const NetAddress& address, bool stream, NetStatus& status)
{
    const SOCKET s = socket(
        address.family, stream ? SOCK_STREAM : SOCK_DGRAM, stream ? IPPROTO_TCP : IPPROTO_UDP);
    if (s == INVALID_SOCKET) {
        fail(status, WSAGetLastError());
        return kNoSocket;
    }
    u_long nonBlocking = 1;
    ioctlsocket(s, FIONBIO, &nonBlocking);
    // A request must go at once, not wait for the ACK of one that got no reply (Nagle).
    const BOOL on = TRUE;
    if (stream)
        setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    const auto* at = reinterpret_cast<const sockaddr*>(address.bytes.data());
    if (connect(s, at, address.length) == 0 || WSAGetLastError() == WSAEWOULDBLOCK)
        return SocketId(s);
    fail(status, WSAGetLastError());
    closesocket(s);
    return kNoSocket;
}

ConnectState AwaitConnect(SocketId socket, std::int64_t waitUs, NetStatus& status)
{
    const SOCKET s = SOCKET(socket);
    if (!waitFor(s, true, waitUs))
        return ConnectState::Pending;
    int code = 0; // a refusal shows in the error set, its reason in SO_ERROR
    int length = sizeof code;
    getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&code), &length);
    if (code == 0)
        return ConnectState::Connected;
    closesocket(s);
    fail(status, code);
    return ConnectState::Failed;
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
