#include "named_request.h"

#include "map_values.h"
#include "modbus/function_table.h"
#include "modbus/number_format.h"
#include "modbus/text_trim.h"

#include <algorithm>

namespace modbus {
namespace {

    using Words = std::vector<std::string>;

    NamedRequest refused(std::string why) { return { { {}, std::move(why) }, nullptr }; }

    // "an input register", "a coil"
    std::string aTable(DataTable table)
    {
        static constexpr const char* kNames[]
            = { "", "a coil", "a discrete input", "a holding register", "an input register" };
        return kNames[int(table)];
    }

    NamedRequest readNamed(const MapEntry& e)
    {
        NamedRequest named { {}, &e };
        named.parsed.fields.function = FindReader(e.table)->code;
        named.parsed.fields.start = e.address;
        named.parsed.fields.quantity = e.count();
        return named;
    }

    // The engineering value a write gives: a number, or one of the entry's names.
    std::optional<double> engineering(const MapEntry& e, std::string_view text)
    {
        const auto named = NamedValue(e, text);
        return named ? named : ParseNumber(text);
    }

    NamedRequest writeNamed(const MapEntry& e, std::string_view text, WordOrder order)
    {
        if (!FindWriter(e.table, WriteLayout::One))
            return refused(e.name + " is " + aTable(e.table) + ": it cannot be written");
        const auto value = engineering(e, Trimmed(text));
        if (!value)
            return refused(
                "not a value for " + e.name + ": \"" + std::string(Trimmed(text)) + "\"");
        const auto raw = RawFromEngineering(e, *value, order);
        if (!raw)
            return refused(std::string(Trimmed(text)) + " does not fit " + e.name);
        NamedRequest named { {}, &e };
        RequestFields& f = named.parsed.fields;
        // A coil alone, as a map names one; a register, or the registers of a wider value.
        const bool one = e.table == DataTable::Coils || raw->size() == 1;
        f.function = FindWriter(e.table, one ? WriteLayout::One : WriteLayout::Block)->code;
        f.start = e.address;
        f.values.assign(raw->begin(), raw->end());
        if (e.table == DataTable::Coils)
            f.values = { raw->front() ? 1 : 0 };
        return named;
    }

    // The table a plain read or a plain write of values works on; none for the others.
    std::optional<DataTable> tableOfCommand(const FunctionInfo& f)
    {
        if (f.reads && !f.writes)
            return f.reads;
        return PlainWrite(f) ? std::optional(f.writes->table) : std::nullopt;
    }

    // "read-input temperature", "write-register setpoint 21.5": a command word and a name.
    std::optional<NamedRequest> commandWithName(
        const Words& w, const RegisterMap& map, WordOrder order)
    {
        const FunctionInfo* f = w.size() >= 2 ? FindCommand(w[0]) : nullptr;
        const auto table = f ? tableOfCommand(*f) : std::nullopt;
        if (!table || ParseInteger(w[1]))
            return std::nullopt;
        const bool reads = f->reads.has_value();
        const MapEntry* e = FindEntry(map, JoinWords(w, 1, reads ? w.size() : w.size() - 1));
        if (!e)
            return std::nullopt;
        if (e->table != *table)
            return refused(e->name + " is " + aTable(e->table) + ", not for " + w[0]);
        return reads ? readNamed(*e) : writeNamed(*e, w.back(), order);
    }

} // namespace

const MapEntry* FindEntry(const RegisterMap& map, std::string_view name)
{
    const auto same = [](std::string_view a, std::string_view b) {
        return std::ranges::equal(a, b, [](char x, char y) {
            return std::tolower(static_cast<unsigned char>(x))
                == std::tolower(static_cast<unsigned char>(y));
        });
    };
    for (const MapEntry& e : map.entries)
        if (e.name == name)
            return &e;
    for (const MapEntry& e : map.entries)
        if (same(e.name, name))
            return &e;
    return nullptr;
}

NamedRequest ParseNamedRequest(std::string_view command, const RegisterMap& map, WordOrder order)
{
    if (const std::size_t eq = command.find('='); eq != std::string_view::npos) {
        const std::string_view name = Trimmed(command.substr(0, eq));
        const MapEntry* e = FindEntry(map, name);
        return e ? writeNamed(*e, command.substr(eq + 1), order)
                 : refused("no register named \"" + std::string(name) + "\" in the map");
    }
    const Words w = CommandWords(command);
    const bool read = !w.empty() && w[0] == "read", write = !w.empty() && w[0] == "write";
    if ((read && w.size() >= 2) || (write && w.size() >= 3)) {
        const std::string name = JoinWords(w, 1, read ? w.size() : w.size() - 1);
        const MapEntry* e = FindEntry(map, name);
        if (!e)
            return refused("no register named \"" + name + "\" in the map");
        return read ? readNamed(*e) : writeNamed(*e, w.back(), order);
    }
    if (auto named = commandWithName(w, map, order))
        return *std::move(named);
    return { ParseRequest(w), nullptr };
}

} // namespace modbus
