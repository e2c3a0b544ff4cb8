// The data log of a polling run: a CSV row per good reply of a read request.
#pragma once

#include "modbus/read_values.h"

#include <string>

namespace modbus {

// "time,slave,function,start,values..." and a line end.
std::string DataLogHeader();
// ISO 8601 local time with milliseconds ("2026-12-07T14:02:07.351"), slave, function, start,
// then the values as unsigned numbers, and a line end.
std::string DataLogRow(const std::string& isoTime, const ReadValues& read);

} // namespace modbus
