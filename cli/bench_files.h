// The files a bench brings to quillet-cli: a register map and a workspace. Options given on the
// command line win over the workspace's.
#pragma once

#include "cli_options.h"

#include <set>
#include <string>
#include <vector>

namespace cli {

// The workspace's settings into the options not given (by their option names, "--speed");
// empty, or why the workspace cannot be used. Its notices are added to notices.
std::string ApplyWorkspace(const std::string& path, const std::set<std::string>& given, Options& o,
    std::vector<std::string>& notices);

// The map at o.mapFile into o.map; its refused rows are added to notices. Empty, or why the
// file cannot be read.
std::string LoadMap(Options& o, std::vector<std::string>& notices);

} // namespace cli
