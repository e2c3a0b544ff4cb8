// The demo slave's pty and its network links, waited on together and served as requests come.
#pragma once

#include "network_server.h"
#include "pty_slave.h"

#include <memory>
#include <string>
#include <vector>

class ServedLinks
{
public:
    explicit ServedLinks(PtySlave& slave)
        : slave_(slave)
    { }
    // The slave also on the network (port 0: any free one); false when it cannot listen there.
    bool add(ServedAs as, int port);
    // Where a terminal reaches each network link, in the order they were added.
    std::vector<std::string> addresses() const;
    // Waits up to waitMs for a request on any link and answers it; the pty's request, if any.
    std::string serveOnce(int waitMs);

private:
    PtySlave& slave_;
    std::vector<std::unique_ptr<NetworkServer>> servers_;
};
