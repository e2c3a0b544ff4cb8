// quillet-cli --json: one exchange as data. Numbers are numbers and bits booleans, so a
// script reads "unsigned": 1000 and "value": true, never a display text such as "0 (0x0000)";
// the verdict comes as a stable code beside its text.
#pragma once

#include "benchfiles/register_map.h"
#include "exchange/exchange.h"
#include "modbus/detail_table.h"

#include <string>

namespace cli {

// With a map, "mapped": each value's name, engineering text, number and raw registers.
std::string JsonOutput(const modbus::Exchange& exchange, modbus::WordOrder order,
    const modbus::RegisterMap* map = nullptr);

} // namespace cli
