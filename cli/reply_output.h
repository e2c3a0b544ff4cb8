// What quillet-cli prints for one exchange: the reply's details a line a register or bit, then
// the verdict and the reply time; or all of it as one JSON object.
#pragma once

#include "modbus/detail_table.h"
#include "modbus/exchange.h"

#include <string>

namespace cli {

std::string TextOutput(const modbus::Exchange& exchange, modbus::WordOrder order);
std::string JsonOutput(const modbus::Exchange& exchange, modbus::WordOrder order);

} // namespace cli
