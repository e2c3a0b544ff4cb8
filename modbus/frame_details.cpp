#include "frame_details.h"

#include <bit>
#include <cmath>
#include <cstdio>

namespace modbus {
namespace {

    std::uint16_t wordAt(std::string_view bytes, std::size_t at)
    {
        return std::uint16_t(ByteAt(bytes, at) << 8 | ByteAt(bytes, at + 1));
    }

    std::string printed(const char* format, auto value)
    {
        char text[48];
        std::snprintf(text, sizeof text, format, value);
        return text;
    }

    const char* orderName(WordOrder order)
    {
        static constexpr const char* kNames[] = { "ABCD", "CDAB", "BADC", "DCBA" };
        return kNames[int(order)];
    }

    // The request's first register when it asked for registers, else 0.
    unsigned firstRegister(const ByteString& request)
    {
        return request.size() >= 6 && ByteAt(request, 1) == 3 ? wordAt(request, 2) : 0;
    }

    DetailTable registers(const FrameRow& row, WordOrder order)
    {
        const std::string o = orderName(order);
        DetailTable table { { "Register", "Hex", "Unsigned", "Signed", "Float " + o, "Int32 " + o,
                                "UInt32 " + o },
            {} };
        const std::size_t count
            = std::min<std::size_t>(ByteAt(row.bytes, 2), row.bytes.size() - 5) / 2;
        const unsigned start = firstRegister(row.request);
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint16_t value = wordAt(row.bytes, 3 + 2 * i);
            const unsigned number = (start + unsigned(i)) & 0xFFFF;
            std::vector<std::string> cells { printed("%u", number) + printed(" (0x%04X)", number),
                printed("0x%04X", value), printed("%u", value),
                printed("%d", int(std::int16_t(value))) };
            if (i % 2 == 0 && i + 1 < count) {
                const std::uint32_t bits = Combine(value, wordAt(row.bytes, 5 + 2 * i), order);
                const float f = std::bit_cast<float>(bits);
                cells.push_back(std::isnan(f) ? "NaN" : printed("%.8g", double(f)));
                cells.push_back(printed("%d", std::int32_t(bits)));
                cells.push_back(printed("%u", bits));
            }
            cells.resize(table.headers.size());
            table.rows.push_back(std::move(cells));
        }
        return table;
    }

    DetailTable serverId(const FrameRow& row)
    {
        const std::size_t count = std::min<std::size_t>(ByteAt(row.bytes, 2), row.bytes.size() - 5);
        const std::string data = row.bytes.substr(3, count);
        std::string text;
        for (const char c : data) {
            const auto byte = static_cast<unsigned char>(c);
            text += byte >= 32 && byte < 127 ? c : '.'; // ASCII, as IDs are written
        }
        return { { "Field", "Value" },
            { { "Byte count", std::to_string(ByteAt(row.bytes, 2)) },
                { "Data (hex)", HexBytes(data) }, { "Data (text)", text } } };
    }

    DetailTable echo(const FrameRow& row)
    {
        // A write's reply repeats the request's address, function, register and value or
        // count: its first six bytes.
        const bool matches
            = row.request.size() >= 6 && row.bytes.compare(0, 6, row.request, 0, 6) == 0;
        return { { "Field", "Value" },
            { { "Echo", matches ? "matches the request" : "differs from the request" },
                { "Request", HexBytes(row.request) }, { "Reply", HexBytes(row.bytes) } } };
    }

} // namespace

std::uint32_t Combine(std::uint16_t first, std::uint16_t second, WordOrder order)
{
    const auto swapBytes = [](std::uint16_t w) { return std::uint16_t(w << 8 | w >> 8); };
    switch (order) {
    case WordOrder::ABCD:
        break;
    case WordOrder::CDAB:
        std::swap(first, second);
        break;
    case WordOrder::BADC:
        first = swapBytes(first);
        second = swapBytes(second);
        break;
    case WordOrder::DCBA:
        std::swap(first, second);
        first = swapBytes(first);
        second = swapBytes(second);
        break;
    }
    return std::uint32_t(first) << 16 | second;
}

DetailTable FrameDetails(const FrameRow& row, WordOrder order)
{
    if (row.bytes.size() < 5 || (row.kind != RowKind::Reply && row.kind != RowKind::CrcBad))
        return {};
    switch (ByteAt(row.bytes, 1)) {
    case 3:
        return registers(row, order);
    case 17:
        return serverId(row);
    case 6:
    case 16:
        return echo(row);
    default:
        return {};
    }
}

std::string TabSeparated(const DetailTable& table)
{
    std::string text;
    const auto line = [&](const std::vector<std::string>& cells) {
        for (std::size_t i = 0; i < cells.size(); ++i)
            text += (i ? "\t" : "") + cells[i];
        text += "\n";
    };
    line(table.headers);
    for (const auto& row : table.rows)
        line(row);
    return text;
}

} // namespace modbus
