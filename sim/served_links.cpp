#include "served_links.h"

bool ServedLinks::add(ServedAs as, int port)
{
    auto server = std::make_unique<NetworkServer>(
        as, port, slave_.address(), [this](const std::string& frame) { return slave_.respond(frame); });
    if (!server->ok())
        return false;
    servers_.push_back(std::move(server));
    return true;
}

std::vector<std::string> ServedLinks::addresses() const
{
    std::vector<std::string> all;
    for (const auto& server : servers_)
        all.push_back(server->address());
    return all;
}

std::string ServedLinks::serveOnce(int waitMs)
{
    std::vector<pollfd> waits { { slave_.fd(), POLLIN, 0 } };
    for (const auto& server : servers_)
        server->addWaits(waits);
    if (poll(waits.data(), waits.size(), waitMs) <= 0)
        return {};
    const std::string request = waits[0].revents & POLLIN ? slave_.serveOnce(0) : std::string();
    for (const auto& server : servers_)
        server->serve(waits);
    return request;
}
