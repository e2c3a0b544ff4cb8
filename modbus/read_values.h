// The values a good reply to a read request carries, numbered as the request asked: what the
// watch, the trend, the data log and quillet-cli's poll lines take; and the values a write the
// slave acknowledged put in place, for a listener's watch.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace modbus {

// Which of the four Modbus tables a value comes from.
enum class DataTable { Coils = 1, Inputs = 2, Holding = 3, InputRegisters = 4 };

// Coils and inputs: bits, packed eight to a byte in a reply, the first in the lowest bit.
inline bool HoldsBits(DataTable table)
{
    return table == DataTable::Coils || table == DataTable::Inputs;
}

struct ReadValues
{
    std::uint8_t slave = 0;
    std::uint8_t function = 0;
    DataTable table = DataTable::Holding;
    unsigned start = 0;
    std::vector<std::uint16_t> values; // bits as 0 and 1
};

// nullopt when the request is not a read (1, 2, 3, 4, 23) or the reply does not answer it.
std::optional<ReadValues> ValuesOfReply(std::string_view request, std::string_view reply);

// What a write request (5, 6, 15, 16, and 23's write part) put in place, once its good reply
// came; nullopt for any other request, or a reply that does not acknowledge it.
std::optional<ReadValues> ValuesOfWrite(std::string_view request, std::string_view reply);

// What a read request asks for, values left empty: nullopt when it is not a read.
struct ReadSpan
{
    std::uint8_t slave = 0;
    DataTable table = DataTable::Holding;
    unsigned start = 0;
    unsigned count = 0;
};
std::optional<ReadSpan> SpanOfRequest(std::string_view request);

// "coil 3", "input 7", "holding 100", "input register 0"
const char* TableName(DataTable table);

} // namespace modbus
