#include "named_watch.h"

#include "benchfiles/map_values.h"

namespace modbus {
namespace {

    // The registers of the entry beginning at row i, when the rows after it hold them all.
    std::optional<std::vector<std::uint16_t>> wordsFrom(
        const std::vector<WatchRow>& rows, std::size_t i, unsigned count)
    {
        std::vector<std::uint16_t> words;
        for (unsigned k = 0; k < count; ++k) {
            const std::size_t j = i + k;
            if (j >= rows.size() || rows[j].key.slave != rows[i].key.slave
                || rows[j].key.table != rows[i].key.table
                || rows[j].key.address != rows[i].key.address + k)
                return std::nullopt;
            words.push_back(rows[j].value);
        }
        return words;
    }

} // namespace

std::vector<std::pair<std::string, std::string>> WatchNames(
    const std::vector<WatchRow>& rows, const RegisterMap& map, WordOrder order)
{
    std::vector<std::pair<std::string, std::string>> names(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const MapEntry* e = EntryAt(map, rows[i].key.table, rows[i].key.address);
        if (!e)
            continue;
        names[i].first = e->name;
        if (const auto words = wordsFrom(rows, i, e->count()))
            names[i].second = EngineeringText(*e, *words, order);
        for (unsigned k = 1; k < e->count() && i + k < rows.size(); ++k)
            if (rows[i + k].key.table == e->table && rows[i + k].key.address == e->address + k
                && rows[i + k].key.slave == rows[i].key.slave)
                names[i + k].first = "(" + e->name + ")";
    }
    return names;
}

} // namespace modbus
