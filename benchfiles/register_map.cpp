#include "register_map.h"

#include "map_values.h"

#include "modbus/text_trim.h"
#include "requests/request_language.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <unordered_map>

namespace modbus {
namespace {

    std::string_view trim(std::string_view s) { return Trimmed(s); }

    // Fields of one line; a field in double quotes may hold the separator ("" is a quote).
    std::vector<std::string> fields(std::string_view line, char separator)
    {
        std::vector<std::string> out(1);
        bool quoted = false;
        for (std::size_t i = 0; i < line.size(); ++i) {
            const char c = line[i];
            if (c == '"' && quoted && i + 1 < line.size() && line[i + 1] == '"')
                out.back() += line[++i];
            else if (c == '"')
                quoted = !quoted;
            else if (c == separator && !quoted)
                out.emplace_back();
            else
                out.back() += c;
        }
        for (std::string& f : out)
            f = std::string(trim(f));
        return out;
    }

    std::optional<DataTable> tableNamed(std::string_view name)
    {
        static const std::pair<std::string_view, DataTable> kTables[]
            = { { "coil", DataTable::Coils }, { "discrete", DataTable::Inputs },
                  { "holding", DataTable::Holding }, { "input", DataTable::InputRegisters } };
        for (const auto& [word, table] : kTables)
            if (name == word)
                return table;
        return std::nullopt;
    }

    std::optional<std::pair<ValueType, unsigned>> typeNamed(std::string_view name)
    {
        static const std::pair<std::string_view, ValueType> kTypes[]
            = { { "bool", ValueType::Bool }, { "u16", ValueType::U16 }, { "s16", ValueType::S16 },
                  { "u32", ValueType::U32 }, { "s32", ValueType::S32 }, { "f32", ValueType::F32 },
                  { "u64", ValueType::U64 }, { "s64", ValueType::S64 }, { "f64", ValueType::F64 },
                  { "bitfield", ValueType::Bitfield } };
        for (const auto& [word, type] : kTypes)
            if (name == word)
                return std::pair(type, 1u);
        // "string10": a string over ten registers
        unsigned length = 0;
        if (name.starts_with("string")
            && std::from_chars(name.data() + 6, name.data() + name.size(), length).ec == std::errc()
            && length >= 1 && length <= 125)
            return std::pair(ValueType::String, length);
        return std::nullopt;
    }

    std::optional<double> number(std::string_view text, double empty)
    {
        if (text.empty())
            return empty;
        double value = 0;
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
        // inf and nan read as numbers, but would make every value shown inf or nan.
        return ec == std::errc() && end == text.data() + text.size() && std::isfinite(value)
            ? std::optional(value)
            : std::nullopt;
    }

    std::optional<WordOrder> orderNamed(std::string_view name)
    {
        static constexpr std::string_view kOrders[] = { "ABCD", "CDAB", "BADC", "DCBA" };
        for (std::size_t i = 0; i < std::size(kOrders); ++i)
            if (name == kOrders[i])
                return WordOrder(i);
        return std::nullopt;
    }

    // "0=off;1=on;2=fault" (or with |): the values named.
    std::optional<std::vector<std::pair<long, std::string>>> enumNamed(std::string_view text)
    {
        std::vector<std::pair<long, std::string>> names;
        std::size_t at = 0;
        while (at < text.size()) {
            const std::size_t end = std::min(text.find_first_of(";|", at), text.size());
            const std::string_view item = trim(text.substr(at, end - at));
            const std::size_t eq = item.find('=');
            const auto value = eq == std::string_view::npos
                ? std::nullopt
                : ParseInteger(trim(item.substr(0, eq)));
            if (!value || trim(item.substr(eq + 1)).empty())
                return std::nullopt;
            names.emplace_back(long(*value), std::string(trim(item.substr(eq + 1))));
            at = end + 1;
        }
        return names;
    }

    using Columns = std::map<std::string, std::size_t>;

    // The optional "value" column: a number in engineering units, or one of the entry's names.
    std::string readStartValue(const std::string& text, MapEntry& e)
    {
        if (text.empty())
            return {};
        e.value = NamedValue(e, text);
        if (!e.value)
            e.value = number(text, 0);
        if (!e.value || e.type == ValueType::String)
            return "the value \"" + text + "\" is not a number or one of the entry's names";
        return {};
    }

    // The columns after the type: word order, scale and offset, unit, names, description.
    template <typename Cell> std::string readScaling(const Cell& cell, MapEntry& e)
    {
        if (!cell("order").empty()) {
            e.order = orderNamed(cell("order"));
            if (!e.order)
                return "unknown word order \"" + cell("order") + "\": ABCD, CDAB, BADC or DCBA";
            if (e.count() != 2 && e.count() != 4)
                return "a word order applies to 32- and 64-bit types only";
        }
        const auto scale = number(cell("scale"), 1), offset = number(cell("offset"), 0);
        if (!scale || *scale == 0 || !offset)
            return "the scale must be a number other than 0, the offset a number";
        e.scale = *scale;
        e.offset = *offset;
        e.unit = cell("unit");
        if (!cell("enum").empty()) {
            const auto names = enumNamed(cell("enum"));
            if (!names)
                return "cannot read the names \"" + cell("enum") + "\": 0=off;1=on";
            e.names = *names;
        }
        e.description = cell("description");
        return readStartValue(cell("value"), e);
    }

    // One row as an entry, or why not.
    std::string readRow(const std::vector<std::string>& f, const Columns& c, MapEntry& e)
    {
        const auto cell = [&](const char* name) -> std::string {
            const auto it = c.find(name);
            return it != c.end() && it->second < f.size() ? f[it->second] : std::string();
        };
        const auto table = tableNamed(cell("table"));
        if (!table)
            return "unknown table \"" + cell("table") + "\": coil, discrete, holding or input";
        e.table = *table;
        const auto address = MapAddress(cell("address"), e.table);
        if (!address)
            return "cannot read the address \"" + cell("address") + "\"";
        e.address = *address;
        if ((e.name = cell("name")).empty())
            return "no name";
        const bool bits = e.table == DataTable::Coils || e.table == DataTable::Inputs;
        const auto type = typeNamed(cell("type").empty() ? (bits ? "bool" : "u16") : cell("type"));
        if (!type || (bits != (type->first == ValueType::Bool)))
            return "the type \"" + cell("type") + "\" is not one for table " + cell("table");
        std::tie(e.type, e.length) = *type;
        if (e.address + e.count() > 0x10000)
            return "it runs past address 65535";
        return readScaling(cell, e);
    }

} // namespace

unsigned MapEntry::count() const
{
    switch (type) {
    case ValueType::U32:
    case ValueType::S32:
    case ValueType::F32:
        return 2;
    case ValueType::U64:
    case ValueType::S64:
    case ValueType::F64:
        return 4;
    case ValueType::String:
        return length;
    default:
        return 1;
    }
}

std::optional<unsigned> MapAddress(std::string_view text, DataTable table)
{
    static constexpr char kLead[] = { '?', '0', '1', '4', '3' }; // by DataTable: what manuals write
    const char lead = kLead[int(table)];
    std::string digits(text);
    const bool xForm
        = digits.size() >= 3 && digits[0] == lead && (digits[1] == 'x' || digits[1] == 'X');
    if (xForm)
        digits.erase(1, 1); // "4x0001" is "40001"
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size())
        return std::nullopt;
    const bool reference
        = xForm || ((digits.size() == 5 || digits.size() == 6) && digits[0] == lead);
    if (!reference)
        return value <= 0xFFFF ? std::optional(value) : std::nullopt;
    const unsigned n = unsigned(std::stoul(digits.substr(1)));
    return n >= 1 && n <= 0x10000 ? std::optional(n - 1) : std::nullopt;
}

namespace {

    Columns readHeader(const std::vector<std::string>& header)
    {
        Columns columns;
        for (std::size_t i = 0; i < header.size(); ++i) {
            std::string name = header[i];
            std::transform(name.begin(), name.end(), name.begin(),
                [](char c) { return char(std::tolower(static_cast<unsigned char>(c))); });
            columns.emplace(name, i);
        }
        return columns;
    }

    std::string folded(std::string name)
    {
        std::transform(name.begin(), name.end(), name.begin(),
            [](char c) { return char(std::tolower(static_cast<unsigned char>(c))); });
        return name;
    }

    // Entries that cover the same register, or share a name (lookups ignore case), are refused
    // after the first. The kept ones of a table never overlap, so the one starting last before
    // a new entry's end is the only one that can overlap it: n log n for a map of 16 MiB.
    void refuseOverlaps(RegisterMap& map)
    {
        std::vector<MapEntry> kept;
        std::unordered_map<std::string, std::size_t> names;
        std::map<std::pair<DataTable, unsigned>, std::size_t> starts;
        for (const MapEntry& e : map.entries) {
            const MapEntry* clash = nullptr;
            if (const auto named = names.find(folded(e.name)); named != names.end())
                clash = &kept[named->second];
            auto after = starts.lower_bound({ e.table, e.address + e.count() });
            if (!clash && after != starts.begin() && (--after)->first.first == e.table) {
                const MapEntry& k = kept[after->second];
                clash = k.address + k.count() > e.address ? &k : nullptr;
            }
            if (!clash) {
                names.emplace(folded(e.name), kept.size());
                starts.emplace(std::pair(e.table, e.address), kept.size());
                kept.push_back(e);
                continue;
            }
            map.refused.push_back("line " + std::to_string(e.line)
                + (folded(clash->name) == folded(e.name) ? ": the name \"" + e.name + "\" is taken"
                                                         : ": overlaps \"" + clash->name + "\"")
                + " (line " + std::to_string(clash->line) + ")");
        }
        map.entries.swap(kept);
    }

    // The separator the header uses most: a spreadsheet's locale may give ';'.
    char separatorOf(std::string_view header)
    {
        const auto count = [&](char c) { return std::count(header.begin(), header.end(), c); };
        return count(';') > count(',') ? ';' : ',';
    }

    // A row as an entry, or its refusal with its line.
    void readLine(
        std::string_view line, int number, char separator, const Columns& columns, RegisterMap& map)
    {
        MapEntry entry;
        entry.line = number;
        if (const std::string why = readRow(fields(line, separator), columns, entry); !why.empty())
            map.refused.push_back("line " + std::to_string(number) + ": " + why);
        else
            map.entries.push_back(std::move(entry));
    }

} // namespace

RegisterMap ReadRegisterMap(std::string_view text)
{
    RegisterMap map;
    std::optional<Columns> columns;
    char separator = ',';
    int number = 0, headerLine = 1;
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3); // a spreadsheet's UTF-8 mark
    for (std::size_t at = 0; at <= text.size(); ++number) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        const std::string_view line = trim(text.substr(at, end - at));
        at = end + 1;
        if (line.empty() || line.starts_with('#'))
            continue;
        if (columns) {
            readLine(line, number + 1, separator, *columns, map);
            continue;
        }
        separator = separatorOf(line);
        columns = readHeader(fields(line, separator));
        headerLine = number + 1;
    }
    if (columns
        && (!columns->count("table") || !columns->count("address") || !columns->count("name")))
        return { {},
            { "line " + std::to_string(headerLine)
                + ": the header must name the columns table, address and name" } };
    refuseOverlaps(map);
    return map;
}

} // namespace modbus
