// quillet-cli's command line: the port and its line, the slave, and one request in the
// request language.
#pragma once

#include "listen_options.h"

#include "benchfiles/register_map.h"
#include "modbus/detail_table.h"
#include "modbus/echo_mode.h"
#include "modbus/request_fields.h"
#include "runs/scan_plan.h"
#include "serial/line_settings.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace cli {

struct Options
{
    std::string port;
    std::string secondPort; // listen: the other wire of a four-wire line; empty: none
    comm::LineSettings line;
    int address = 1; // the first of addresses
    std::vector<int> addresses; // --address 1,3,5-8: each polled in turn (reads only)
    bool verify = false; // a write read back and compared
    int writeWith = 6; // 16: write-register as function 16
    int backOffCycles = 10; // a slave silent 3 polls running is polled once every so many cycles
    int timeoutMs = 1000; // to the reply's first byte, from the request's end on the line
    int byteTimeoutMs = 100; // between the pieces of a reply
    int turnaroundMs = 100; // after a broadcast, before the next request
    int graceMs = 100; // after an unanswered request, before one whose reply looks the same
    modbus::EchoMode echo = modbus::EchoMode::Auto;
    modbus::WordOrder order = modbus::WordOrder::ABCD;
    bool json = false;
    std::optional<int> everyMs; // polling: a poll every so many ms (0: as fast as replies come)
    int count = 0; // polls; 0: until Ctrl+C
    bool csv = false;
    modbus::RequestFields request;
    // quillet-cli scan: set instead of a request.
    std::optional<modbus::ScanOptions> scan;
    // quillet-cli check FILE [--junit OUT]: set instead of a request.
    std::string mapFile; // --map (or the workspace's): names and engineering values
    std::shared_ptr<const modbus::RegisterMap> map; // loaded from mapFile; null without one
    std::string workspace; // --workspace: settings not given as options
    std::string checkFile;
    // quillet-cli listen [...]: set instead of a request.
    std::optional<ListenOptions> listen;
    std::string junit;
};

struct Parsed
{
    Options options;
    int exitCode = -1; // -1: go on; 0 after --help or --version; 2 for a usage error
    std::string output; // what to print: the help, the version, or the reason and the usage
    std::vector<std::string> notices; // for stderr: a map's refused rows, a workspace's notices
};

// args[0] is the program's name.
Parsed ParseOptions(const std::vector<std::string>& args);

// The speeds quillet-cli takes, slowest first.
const std::vector<int>& StandardSpeeds();

} // namespace cli
