#include "named_details.h"

#include "map_values.h"

namespace modbus {

DetailTable NamedDetails(
    DetailTable table, const FrameRow& row, const RegisterMap& map, WordOrder order)
{
    const auto read = map.entries.empty() ? std::nullopt : ValuesOfReply(row.request, row.bytes);
    // Only a read's rows, one per register or bit it carries, are named.
    if (!read || table.rows.size() != read->values.size() || table.headers.empty())
        return table;
    std::vector<std::pair<std::string, std::string>> cells(read->values.size());
    bool named = false;
    for (const MappedValue& v : MappedValues(map, *read, order)) {
        const unsigned at = v.entry->address - read->start;
        cells[at] = { v.entry->name, v.text };
        for (unsigned i = 1; i < v.entry->count(); ++i)
            cells[at + i].first = "(" + v.entry->name + ")"; // its further registers
        named = true;
    }
    if (!named)
        return table;
    table.headers.insert(table.headers.begin() + 1, { "Name", "Value" });
    if (table.headers.size() > 3 && table.headers[3] == "Value")
        table.headers[3] = "Raw"; // bits: the 0 or 1 beside the named value
    for (std::size_t i = 0; i < table.rows.size(); ++i)
        table.rows[i].insert(table.rows[i].begin() + 1, { cells[i].first, cells[i].second });
    return table;
}

} // namespace modbus
