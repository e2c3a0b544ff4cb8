// A Modbus TCP peer a test drives step by step, on 127.0.0.1 at a port the system picks: it
// accepts, hands over what came, sends what the test says, hangs up or stops listening when
// told. Everything it does is a call from the test; no thread of its own.
#pragma once

#include <string>

class FaultServer
{
public:
    FaultServer();
    ~FaultServer();
    FaultServer(const FaultServer&) = delete;
    FaultServer& operator=(const FaultServer&) = delete;

    int port() const { return port_; }
    // "tcp://127.0.0.1:PORT", with another scheme if asked.
    std::string address(const char* scheme = "tcp://") const;

    // Takes the connection waiting (the client's connect completes without it); false when
    // none came within waitMs.
    bool accept(int waitMs = 5000);
    // What the client sent, one read's worth; empty after waitMs or when it hung up.
    std::string receive(int waitMs = 5000);
    void send(const std::string& bytes);
    // Hangs up on the client, as a gateway that reboots or closes an idle connection.
    void hangUp();
    // Refuses connections from now on (nothing listens), or listens again at the same port.
    void stopListening();
    void listenAgain();

private:
    int listener_ = -1;
    int client_ = -1;
    int port_ = 0;
};
