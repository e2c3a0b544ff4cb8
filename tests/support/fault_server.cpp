#include "fault_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

bool readable(int fd, int waitMs)
{
    pollfd pfd { fd, POLLIN, 0 };
    return poll(&pfd, 1, waitMs) > 0;
}

} // namespace

FaultServer::FaultServer() { listenAgain(); }

FaultServer::~FaultServer()
{
    hangUp();
    stopListening();
}

std::string FaultServer::address(const char* scheme) const
{
    return scheme + std::string("127.0.0.1:") + std::to_string(port_);
}

void FaultServer::listenAgain()
{
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(std::uint16_t(port_));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(listener_, 4);
    socklen_t length = sizeof address;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
}

void FaultServer::stopListening()
{
    if (listener_ >= 0)
        close(listener_);
    listener_ = -1;
}

bool FaultServer::accept(int waitMs)
{
    hangUp();
    if (listener_ < 0 || !readable(listener_, waitMs))
        return false;
    client_ = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    const int on = 1;
    return client_ >= 0 && setsockopt(client_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) == 0;
}

std::string FaultServer::receive(int waitMs)
{
    char buffer[1024];
    if (client_ < 0 || !readable(client_, waitMs))
        return {};
    const ssize_t n = read(client_, buffer, sizeof buffer);
    return n > 0 ? std::string(buffer, std::size_t(n)) : std::string();
}

void FaultServer::send(const std::string& bytes)
{
    if (client_ >= 0) [[maybe_unused]]
        const ssize_t n = ::send(client_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
}

void FaultServer::hangUp()
{
    if (client_ >= 0)
        close(client_);
    client_ = -1;
}
