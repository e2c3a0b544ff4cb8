#include "read_values.h"

#include "byte_string.h"
#include "function_table.h"

#include <algorithm>

namespace modbus {
namespace {

    std::optional<DataTable> tableOf(std::uint8_t function)
    {
        const FunctionInfo* info = FindFunction(function);
        return info ? info->reads : std::nullopt;
    }

} // namespace

std::optional<ReadValues> ValuesOfReply(std::string_view request, std::string_view reply)
{
    if (request.size() < 8 || reply.size() < 5 || reply.compare(0, 2, request, 0, 2) != 0)
        return std::nullopt;
    const std::uint8_t function = ByteAt(request, 1);
    const auto table = tableOf(function);
    const std::size_t count = std::min<std::size_t>(ByteAt(reply, 2), reply.size() - 5);
    if (!table)
        return std::nullopt;
    ReadValues read { ByteAt(request, 0), function, *table, WordAt(request, 2), {} };
    const std::size_t quantity = WordAt(request, 4);
    const std::string_view data = reply.substr(3, count);
    if (*table == DataTable::Coils || *table == DataTable::Inputs) {
        for (std::size_t i = 0; i < std::min(quantity, data.size() * 8); ++i)
            read.values.push_back(std::uint16_t(ByteAt(data, i / 8) >> (i % 8) & 1));
    } else {
        for (std::size_t i = 0; i + 1 < data.size() && i / 2 < quantity; i += 2)
            read.values.push_back(WordAt(data, i));
    }
    return read;
}

namespace {

    // Values packed as a write request carries them: bits low first, or big-endian words.
    std::vector<std::uint16_t> packedValues(std::string_view data, std::size_t quantity, bool bits)
    {
        std::vector<std::uint16_t> values;
        for (std::size_t i = 0; i < quantity; ++i) {
            if (bits ? i / 8 >= data.size() : 2 * i + 1 >= data.size())
                break;
            values.push_back(
                bits ? std::uint16_t(ByteAt(data, i / 8) >> (i % 8) & 1) : WordAt(data, 2 * i));
        }
        return values;
    }

} // namespace

std::optional<ReadValues> ValuesOfWrite(std::string_view request, std::string_view reply)
{
    if (request.size() < 8 || reply.size() < 4 || reply.compare(0, 2, request, 0, 2) != 0)
        return std::nullopt;
    const std::uint8_t function = ByteAt(request, 1);
    const FunctionInfo* info = FindFunction(function);
    if (!info || !info->writes || info->writes->layout == WriteLayout::Masked)
        return std::nullopt;
    const Written& written = *info->writes;
    const bool bits = written.table == DataTable::Coils;
    const std::string_view pdu = request.substr(0, request.size() - 2);
    const std::size_t at = written.at;
    ReadValues w { ByteAt(request, 0), function, written.table, WordAt(pdu, at), {} };
    if (written.layout == WriteLayout::One) {
        w.values = { bits ? std::uint16_t(WordAt(pdu, at + 2) == 0xFF00) : WordAt(pdu, at + 2) };
        return w;
    }
    // A block: its start, its quantity, a byte count, then the values.
    if (pdu.size() < at + 5)
        return std::nullopt;
    w.values = packedValues(pdu.substr(at + 5), WordAt(pdu, at + 2), bits);
    return w;
}

std::optional<ReadSpan> SpanOfRequest(std::string_view request)
{
    const auto table = request.size() >= 8 ? tableOf(ByteAt(request, 1)) : std::nullopt;
    if (!table)
        return std::nullopt;
    return ReadSpan { ByteAt(request, 0), *table, WordAt(request, 2), WordAt(request, 4) };
}

const char* TableName(DataTable table)
{
    static constexpr const char* kNames[] = { "", "coil", "input", "holding", "input register" };
    return kNames[int(table)];
}

} // namespace modbus
