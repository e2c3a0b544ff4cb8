#include "map_values.h"

#include "modbus/number_format.h"

#include <bit>
#include <cmath>
#include <cstring>

namespace modbus {
namespace {

    bool wordsSwapped(WordOrder o) { return o == WordOrder::CDAB || o == WordOrder::DCBA; }
    bool bytesSwapped(WordOrder o) { return o == WordOrder::BADC || o == WordOrder::DCBA; }

    // The words of a 32- or 64-bit value, high word first, from the registers in their order.
    std::uint64_t combined(std::span<const std::uint16_t> words, WordOrder order)
    {
        std::uint64_t bits = 0;
        for (std::size_t i = 0; i < words.size(); ++i) {
            std::uint16_t w = words[wordsSwapped(order) ? words.size() - 1 - i : i];
            if (bytesSwapped(order))
                w = std::uint16_t(w << 8 | w >> 8);
            bits = bits << 16 | w;
        }
        return bits;
    }

    std::vector<std::uint16_t> laidOut(std::uint64_t bits, unsigned count, WordOrder order)
    {
        std::vector<std::uint16_t> words(count);
        for (unsigned i = 0; i < count; ++i) {
            std::uint16_t w = std::uint16_t(bits >> (16 * (count - 1 - i)));
            if (bytesSwapped(order))
                w = std::uint16_t(w << 8 | w >> 8);
            words[wordsSwapped(order) ? count - 1 - i : i] = w;
        }
        return words;
    }

} // namespace

std::optional<double> RawValue(
    const MapEntry& e, std::span<const std::uint16_t> words, WordOrder order)
{
    if (e.type == ValueType::String || words.size() < e.count())
        return std::nullopt;
    const std::uint64_t b = combined(words.first(e.count()), e.order.value_or(order));
    switch (e.type) {
    case ValueType::S16:
        return double(std::int16_t(b));
    case ValueType::S32:
        return double(std::int32_t(b));
    case ValueType::F32:
        return double(std::bit_cast<float>(std::uint32_t(b)));
    case ValueType::S64:
        return double(std::int64_t(b));
    case ValueType::F64:
        return std::bit_cast<double>(b);
    default: // bool, bitfield and the unsigned types
        return double(b);
    }
}

std::optional<double> EngineeringValue(
    const MapEntry& e, std::span<const std::uint16_t> words, WordOrder order)
{
    const auto raw = RawValue(e, words, order);
    return raw ? std::optional(*raw * e.scale + e.offset) : std::nullopt;
}

std::string EngineeringText(
    const MapEntry& e, std::span<const std::uint16_t> words, WordOrder order)
{
    if (e.type == ValueType::String) {
        std::string text;
        for (std::size_t i = 0; i < std::min<std::size_t>(words.size(), e.count()); ++i)
            for (const int shift : { 8, 0 })
                if (const char c = char(words[i] >> shift & 0xFF); c >= 32 && c < 127)
                    text += c;
        return text;
    }
    const auto raw = RawValue(e, words, order);
    if (!raw)
        return {};
    for (const auto& [value, name] : e.names)
        if (double(value) == *raw)
            return name;
    // A float32 carries about 8 significant digits; anything else up to a double's 15.
    const std::string text
        = FloatText(*raw * e.scale + e.offset, e.type == ValueType::F32 ? 8 : 15);
    return e.unit.empty() ? text : text + " " + e.unit;
}

std::vector<MappedValue> MappedValues(
    const RegisterMap& map, const ReadValues& read, WordOrder order)
{
    std::vector<MappedValue> out;
    for (const MapEntry& e : map.entries) {
        if (e.table != read.table || e.address < read.start
            || e.address + e.count() > read.start + read.values.size())
            continue;
        const std::span<const std::uint16_t> words(
            read.values.data() + (e.address - read.start), e.count());
        out.push_back({ &e, EngineeringText(e, words, order), { words.begin(), words.end() } });
    }
    return out;
}

std::optional<std::vector<std::uint16_t>> RawFromEngineering(
    const MapEntry& e, double value, WordOrder order)
{
    const double raw = (value - e.offset) / e.scale;
    const WordOrder o = e.order.value_or(order);
    if (e.type == ValueType::F32)
        return laidOut(std::bit_cast<std::uint32_t>(float(raw)), 2, o);
    if (e.type == ValueType::F64)
        return laidOut(std::bit_cast<std::uint64_t>(raw), 4, o);
    if (e.type == ValueType::String || !std::isfinite(raw))
        return std::nullopt;
    const double n = std::nearbyint(raw);
    const bool isSigned
        = e.type == ValueType::S16 || e.type == ValueType::S32 || e.type == ValueType::S64;
    const double bitsCount = 16.0 * e.count() - (isSigned ? 1 : 0);
    const double high = std::ldexp(1.0, int(bitsCount)), low = isSigned ? -high : 0;
    if (n < low || n >= high || (e.type == ValueType::Bool && n > 1))
        return std::nullopt;
    return laidOut(isSigned ? std::uint64_t(std::int64_t(n)) : std::uint64_t(n), e.count(), o);
}

std::optional<double> NamedValue(const MapEntry& e, std::string_view name)
{
    for (const auto& [value, text] : e.names)
        if (text == name)
            return double(value) * e.scale + e.offset;
    return std::nullopt;
}

const MapEntry* EntryAt(const RegisterMap& map, DataTable table, unsigned address)
{
    for (const MapEntry& e : map.entries)
        if (e.table == table && e.address == address)
            return &e;
    return nullptr;
}

std::optional<double> EngineeringAt(
    const RegisterMap& map, const ReadValues& read, unsigned address, WordOrder order)
{
    const MapEntry* e = EntryAt(map, read.table, address);
    if (!e || address < read.start || address + e->count() > read.start + read.values.size())
        return std::nullopt;
    return EngineeringValue(
        *e, std::span(read.values).subspan(address - read.start, e->count()), order);
}

} // namespace modbus
