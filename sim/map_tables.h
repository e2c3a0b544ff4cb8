// A simulated bench's start values from a register map: each entry with a value (the map's
// optional "value" column, in engineering units) put in every slave's tables.
#pragma once

#include "pty_slave.h"

#include "benchfiles/register_map.h"

#include <string>
#include <vector>

// Empty when every value went in; else the first that did not, with its line.
std::string FillFromMap(
    PtySlave& slave, const std::vector<int>& slaves, const modbus::RegisterMap& map);
