// A workspace: a bench saved to one JSON file and opened again — the port, its line settings,
// the slave, the composer's command and the requests polled with their settings, the register
// map's path and the word order. Every part is optional: opening one changes only what it holds.
// A file from a newer version opens with a notice for what it adds; a bad value refuses the
// whole file, naming its line.
#pragma once

#include "modbus/detail_table.h"
#include "modbus/echo_mode.h"
#include "modbus/wire_framer.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace modbus {

struct Workspace
{
    std::optional<std::string> port;
    std::optional<int> speed;
    std::optional<char> parity; // 'n', 'e' or 'o'
    std::optional<int> stopBits;
    std::optional<EchoMode> echo;
    std::optional<int> slave;
    std::optional<std::string> command; // the composer's
    std::optional<std::vector<std::string>> requests; // polled, in the request language
    std::optional<int> intervalMs;
    std::optional<int> count; // polls; 0 until stopped
    std::optional<int> timeoutMs;
    std::optional<int> byteTimeoutMs;
    std::optional<std::string> map; // as the file holds it: relative to the workspace, or not
    std::optional<WordOrder> order;
    std::optional<int> graceMs; // quiet kept after an unanswered request before its like
    std::optional<int> dataBits; // 7 or 8
    std::optional<Framing> framing; // Rtu or Ascii on a line
    bool operator==(const Workspace&) const = default;
};

struct OpenedWorkspace
{
    Workspace workspace;
    std::vector<std::string> refused; // "line 4: the speed must be a number of bits per second"
    std::vector<std::string> notices; // "line 9: \"colour\" is not known here and is left out"
};

OpenedWorkspace ReadWorkspace(std::string_view text);
std::string WriteWorkspace(const Workspace& workspace);

// The map's path as a workspace at workspacePath writes it: relative when the map lies in the
// workspace's folder or below it, else as given.
std::string MapPathForWorkspace(const std::string& mapPath, const std::string& workspacePath);
// And back: a relative path is taken from the workspace's folder.
std::string MapPathFromWorkspace(const std::string& written, const std::string& workspacePath);

} // namespace modbus
