// A loopback port no one listens at now, for a server a test starts and must tell one.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

// type: SOCK_STREAM or SOCK_DGRAM. The system's pick, given back at once.
inline int FreeLoopbackPort(int type)
{
    const int fd = socket(AF_INET, type, 0);
    sockaddr_in at {};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof at;
    bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof at);
    getsockname(fd, reinterpret_cast<sockaddr*>(&at), &length);
    close(fd);
    return ntohs(at.sin_port);
}
