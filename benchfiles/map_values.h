// A mapped entry's engineering value from its raw registers, and back for writes: the type,
// the word order, the scale and the offset, the names of an enum.
#pragma once

#include "register_map.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace modbus {

// The raw number the registers hold (first register first on the line), in the entry's order
// or else order; nullopt for a string or too few registers.
std::optional<double> RawValue(
    const MapEntry& e, std::span<const std::uint16_t> words, WordOrder order);
// raw x scale + offset.
std::optional<double> EngineeringValue(
    const MapEntry& e, std::span<const std::uint16_t> words, WordOrder order);
// "23.4 °C", "on" for a named value, the text of a string.
std::string EngineeringText(
    const MapEntry& e, std::span<const std::uint16_t> words, WordOrder order);

// The registers to write for an engineering value: (value - offset) / scale, rounded, in range
// for the type, laid out in the order. nullopt when it does not fit.
std::optional<std::vector<std::uint16_t>> RawFromEngineering(
    const MapEntry& e, double value, WordOrder order);

struct MappedValue
{
    const MapEntry* entry;
    std::string text; // the engineering value, "23.4 °C"
    std::vector<std::uint16_t> raw;
};

// The map's entries a read's values cover whole, each from its own mapped address (not from its
// position in the reply), in the map's order.
std::vector<MappedValue> MappedValues(
    const RegisterMap& map, const ReadValues& read, WordOrder order);

// The engineering value of one of an enum's names; nullopt for a name it does not have.
std::optional<double> NamedValue(const MapEntry& e, std::string_view name);

// The entry that begins at the address of the table; nullptr when none does.
const MapEntry* EntryAt(const RegisterMap& map, DataTable table, unsigned address);
// The engineering value of the entry beginning at address, when the read holds it whole.
std::optional<double> EngineeringAt(
    const RegisterMap& map, const ReadValues& read, unsigned address, WordOrder order);

} // namespace modbus
