#include "map_tables.h"

#include "benchfiles/map_values.h"

namespace {

// One entry's value into one slave's table at its address.
void put(PtySlave& slave, int address, modbus::DataTable table, unsigned at,
    const std::vector<std::uint16_t>& words)
{
    for (std::size_t i = 0; i < words.size(); ++i) {
        switch (table) {
        case modbus::DataTable::Coils:
            slave.coils(address)[at + i] = words[i] != 0;
            break;
        case modbus::DataTable::Inputs:
            slave.inputs(address)[at + i] = words[i] != 0;
            break;
        case modbus::DataTable::Holding:
            slave.registers(address)[at + i] = words[i];
            break;
        case modbus::DataTable::InputRegisters:
            slave.inputRegisters(address)[at + i] = words[i];
            break;
        }
    }
}

} // namespace

std::string FillFromMap(
    PtySlave& slave, const std::vector<int>& slaves, const modbus::RegisterMap& map)
{
    for (const modbus::MapEntry& e : map.entries) {
        if (!e.value)
            continue;
        const bool bits
            = e.table == modbus::DataTable::Coils || e.table == modbus::DataTable::Inputs;
        const auto words = bits
            ? std::optional(std::vector<std::uint16_t> { std::uint16_t(*e.value != 0) })
            : modbus::RawFromEngineering(e, *e.value, modbus::WordOrder::ABCD);
        const std::string where = "line " + std::to_string(e.line) + ": ";
        if (!words)
            return where + "the value does not fit the entry's type";
        if (e.address + words->size() > std::size_t(slave.registerCount()))
            return where + "beyond the tables (0.." + std::to_string(slave.registerCount() - 1)
                + ")";
        for (const int address : slaves)
            put(slave, address, e.table, e.address, *words);
    }
    return {};
}
