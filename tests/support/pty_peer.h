// A pty pair: the port under test opens the slave by name, the test talks through the master.
#pragma once

#include <pty.h>
#include <string>
#include <termios.h>
#include <unistd.h>

struct PtyPeer
{
    int master = -1;
    int slave = -1;
    std::string path;

    PtyPeer()
    {
        char name[128] = {};
        if (openpty(&master, &slave, name, nullptr, nullptr) == 0)
            path = name;
    }
    ~PtyPeer()
    {
        closeSlave();
        closeMaster();
    }
    // The test's own slave descriptor is only held until the port under test has opened.
    void closeSlave()
    {
        if (slave >= 0)
            close(slave);
        slave = -1;
    }
    void closeMaster()
    {
        if (master >= 0)
            close(master);
        master = -1;
    }
    bool send(const std::string& bytes) const
    {
        return write(master, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }
    // Reads exactly n bytes, or what came within about three seconds.
    std::string receive(std::size_t n) const;
};
