// Commands that name a register map's entries instead of numbers: "read temperature",
// "read-input temperature", "setpoint = 21.5", "write setpoint 21.5", "write mode fault".
// Writes are given in engineering units (or an enum's names) and become the raw registers by
// the map's scale and offset; anything else is the plain request language.
#pragma once

#include "register_map.h"
#include "requests/request_language.h"

#include <string_view>

namespace modbus {

struct NamedRequest
{
    ParsedRequest parsed;
    const MapEntry* entry = nullptr; // the entry named; nullptr for a plain command
};

NamedRequest ParseNamedRequest(std::string_view command, const RegisterMap& map, WordOrder order);

// The entry of that name; names are compared without regard to case.
const MapEntry* FindEntry(const RegisterMap& map, std::string_view name);

} // namespace modbus
