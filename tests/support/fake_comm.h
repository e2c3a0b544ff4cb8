// A recording stand-in for the platform comm calls, linked instead of the POSIX layer.
#pragma once

#include "serial/win32_comm.h"

#include <deque>
#include <string>
#include <vector>

namespace fake {

struct Call
{
    std::string name;
    comm::Handle handle;
    std::string bytes; // what a write carried
};

struct Platform
{
    comm::Handle nextHandle = 7;
    bool openFails = false;
    std::string openHint; // what OpenFailureHint says after a failed open
    bool pseudoTerminal = false; // what IsPseudoTerminal says of an open port
    std::string failStep; // "SetCommTimeouts", "BuildCommDCBA" or "SetCommState"
    comm::Dword failCode = 0;
    // Per write, the most it accepts (negative: it fails with failCode); empty: everything.
    std::vector<int> writeLimits;
    std::deque<std::string> reads; // what each read returns

    std::vector<Call> calls;
    std::vector<comm::Handle> open;
    std::string lastSettings;
    comm::Dcb lastState {};
    comm::CommTimeouts lastTimeouts {};

    std::vector<std::string> writes() const;
};

// Fresh state for each test.
Platform& Reset();
Platform& Get();

} // namespace fake
