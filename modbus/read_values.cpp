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
