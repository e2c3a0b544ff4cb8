// The watch's rows with a register map: the name and engineering value of each entry whose
// registers the watch holds, taken from its mapped address.
#pragma once

#include "benchfiles/register_map.h"
#include "watch_table.h"

#include <string>
#include <utility>
#include <vector>

namespace modbus {

// For each row (in the watch's order): where an entry begins, its name and its engineering
// value (empty until the watch holds all its registers); on its further rows, "(name)".
std::vector<std::pair<std::string, std::string>> WatchNames(
    const std::vector<WatchRow>& rows, const RegisterMap& map, WordOrder order);

} // namespace modbus
