// A register map: a device manual's table of registers by name, read from a CSV file (comma or
// semicolon, a header row, UTF-8, # comments). Columns: table, address, name, type, order,
// scale, offset, unit, enum, description. Every row that cannot be read is refused with its
// line number and the reason; the rest loads.
#pragma once

#include "modbus/detail_table.h"
#include "modbus/read_values.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace modbus {

enum class ValueType { Bool, U16, S16, U32, S32, F32, U64, S64, F64, String, Bitfield };

struct MapEntry
{
    int line = 0; // in the file
    DataTable table = DataTable::Holding;
    unsigned address = 0; // 0-based
    std::string name;
    ValueType type = ValueType::U16;
    unsigned length = 1; // registers of a string
    std::optional<WordOrder> order; // empty: the monitor's
    double scale = 1;
    double offset = 0;
    std::string unit;
    std::vector<std::pair<long, std::string>> names; // enum: value, name
    std::string description;
    std::optional<double> value; // a start value (engineering units), for a simulated slave

    // Registers (or bits) the entry covers.
    unsigned count() const;
};

struct RegisterMap
{
    std::vector<MapEntry> entries;
    std::vector<std::string> refused; // "line 7: unknown type \"u17\""
};

RegisterMap ReadRegisterMap(std::string_view text);

// A number as manuals write it, for a table: plain numbers are 0-based; a number of five or six
// digits led by the table's digit (0 coils, 1 inputs, 3 input registers, 4 holding registers)
// is the 1-based reference "40001", "300012"; "4x0001" likewise. nullopt when it is none.
std::optional<unsigned> MapAddress(std::string_view text, DataTable table);

} // namespace modbus
