#include "served_links.h"

bool ServedLinks::add(ServedAs as, int port)
{
    auto server = std::make_unique<NetworkServer>(
        as, port, slave_.address(), [this](const std::string& frame, modbus::Framing framing) {
            served_.push_back(frame);
            return slave_.respond(frame, framing);
        });
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

std::vector<std::string> ServedLinks::serveOnce(int waitMs)
{
    std::vector<pollfd> waits { { slave_.fd(), POLLIN, 0 } };
    for (const auto& server : servers_)
        server->addWaits(waits);
    served_.clear();
    // A reply held back on the pty goes when its time comes, whatever else is waited for.
    const int ready = poll(waits.data(), waits.size(), slave_.untilDueMs(waitMs));
    slave_.sendDue();
    if (ready <= 0)
        return {};
    if (waits[0].revents & POLLIN)
        if (std::string request = slave_.serveOnce(0); !request.empty())
            served_.push_back(std::move(request));
    for (const auto& server : servers_)
        server->serve(waits);
    return served_;
}
