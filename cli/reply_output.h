// What quillet-cli prints for one exchange: the reply's details a line a register or bit, then
// the verdict and the reply time (--json: reply_json.h).
#pragma once

#include "benchfiles/register_map.h"
#include "exchange/exchange.h"
#include "modbus/detail_table.h"

#include <string>

namespace cli {

// With a map, the mapped values a read covers follow, a line each: name, engineering value, raw.
// headers: a first line naming the columns, for a person at a terminal.
std::string TextOutput(const modbus::Exchange& exchange, modbus::WordOrder order,
    const modbus::RegisterMap* map = nullptr, bool headers = false);
// What else the exchange saw, a line each for stderr: "quillet-cli: 1 stray byte before the
// reply".
std::string NoteLines(const modbus::Exchange& exchange);

} // namespace cli
