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
    // Waits up to waitMs for requests on any link and answers them; the requests as RTU frames
    // (a Modbus TCP request as its RTU equivalent), oldest first.
    std::vector<std::string> serveOnce(int waitMs);

private:
    PtySlave& slave_;
    std::vector<std::string> served_; // this round's network requests
    std::vector<std::unique_ptr<NetworkServer>> servers_;
};
