#include "pty_peer.h"

#include <algorithm>
#include <chrono>
#include <poll.h>

std::string PtyPeer::receive(std::size_t n) const
{
    std::string out;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (out.size() < n && std::chrono::steady_clock::now() < until) {
        pollfd pfd { master, POLLIN, 0 };
        if (poll(&pfd, 1, 50) > 0) {
            char buf[512];
            const ssize_t r = read(master, buf, std::min(sizeof buf, n - out.size()));
            if (r <= 0)
                break;
            out.append(buf, std::size_t(r));
        }
    }
    return out;
}
