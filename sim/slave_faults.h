// A simulated slave that misbehaves on purpose, for testing masters: faults chosen per slave
// ("48:delay=20-80", "no-reply=3"), each turning the reply it would give into what goes on the
// line. Plain C++: the random numbers and the request are passed in.
#pragma once

#include "modbus/wire_framer.h"

#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <string_view>
#include <vector>

struct FaultedReply
{
    std::string bytes; // what goes on the line; empty: nothing
    int delayMs = 0; // before it goes
    std::string note; // the faults applied, for the traffic print: "delay 50 ms, bad CRC"
};

class SlaveFaults
{
public:
    // One fault: delay=MS or delay=MIN-MAX, exception=A-B[/CODE], bad-crc=N, no-reply=N,
    // half-frame=N, stray=N, wrong-function=N, wrong-length=N (every Nth reply; N omitted: every
    // one), ignore-writes, echo. Empty when taken, else why not.
    std::string add(std::string_view fault);
    bool ignoresWrites() const { return ignoreWrites_; }
    bool echoes() const { return echo_; }
    bool empty() const { return kinds_.empty() && !ignoreWrites_; }
    // The request and the reply the tables give (RTU frames; empty: none due) into what is
    // sent, as framing carries it: a bad check is a bad LRC in ASCII.
    FaultedReply apply(const std::string& request, std::string reply, std::mt19937& random,
        modbus::Framing framing = modbus::Framing::Rtu);

private:
    struct Every
    {
        int n = 1;
        long seen = 0;
        bool due() { return ++seen % n == 0; }
    };
    bool due(const char* kind);
    std::string spoiled(std::string reply, FaultedReply& out, modbus::Framing framing);
    std::map<std::string, Every> kinds_;
    int delayMin_ = 0, delayMax_ = 0;
    int exceptionFrom_ = -1, exceptionTo_ = -1, exceptionCode_ = 2;
    bool ignoreWrites_ = false;
    bool echo_ = false;
};

// An RTU frame as framing carries it: itself, or its address and PDU in ASCII.
std::string WireOf(const std::string& rtu, modbus::Framing framing);

// Faults for several slaves: "48:delay=50" for one, "delay=50" for all. Files hold a fault a
// line; # starts a comment.
class FaultPlan
{
public:
    std::string add(std::string_view fault);
    std::string addFile(std::string_view text);
    // The faults of a slave: those for every slave with its own over them (its own delay
    // replaces theirs; a bad CRC for all still reaches it); null when it has none. Each slave
    // keeps its own count of every Nth reply.
    SlaveFaults* of(int slave);

private:
    std::map<int, std::vector<std::string>> said_; // 0: for every slave; in the order given
    std::map<int, SlaveFaults> slaves_; // made from said_ when first asked for
};
