// The demo slave on the network, as a gateway puts a serial slave there: Modbus TCP (MBAP in a
// stream), RTU or ASCII frames in a TCP stream, or any of them in UDP datagrams. It listens on
// the loopback
// addresses only (127.0.0.1 and ::1): a demo is not for the whole network.
#pragma once

#include "modbus/wire_framer.h"

#include <functional>
#include <string>
#include <vector>

#include <poll.h>

enum class ServedAs { Tcp, RtuTcp, Udp, RtuUdp, AsciiTcp, AsciiUdp };

class NetworkServer
{
public:
    // respond: the reply to one RTU request frame as framing carries it, empty when none is due.
    using Respond = std::function<std::string(const std::string& rtu, modbus::Framing framing)>;
    // unit: the slave's address; on MBAP links unit 255, "the device itself", reaches it too.
    NetworkServer(ServedAs as, int port, int unit, Respond respond);
    ~NetworkServer();
    NetworkServer(const NetworkServer&) = delete;
    NetworkServer& operator=(const NetworkServer&) = delete;

    bool ok() const { return !listeners_.empty(); }
    // "tcp://127.0.0.1:1502": what a terminal opens to reach it.
    std::string address() const;

    // What to wait on, then what to do with what came.
    void addWaits(std::vector<pollfd>& waits) const;
    void serve(const std::vector<pollfd>& waits);

private:
    struct Client
    {
        int fd = -1;
        std::string bytes; // a stream's bytes not yet framed
    };
    void accept(int listener);
    bool serveStream(Client& client); // false: the client went away
    void serveDatagram(int fd);
    // The replies to the whole frames at the start of bytes, which they leave.
    std::string answerFrames(std::string& bytes);
    std::string answerMbap(const std::string& frame);
    // The reply to an ASCII frame; none to one whose LRC is wrong.
    std::string answerAscii(const modbus::WireCut& cut);

    ServedAs as_;
    int port_;
    int unit_;
    Respond respond_;
    std::vector<int> listeners_;
    std::vector<Client> clients_;
};
