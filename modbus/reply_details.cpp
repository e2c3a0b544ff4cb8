#include "reply_details.h"

#include "byte_string.h"
#include "function_table.h"
#include "number_format.h"

#include <algorithm>
#include <bit>
#include <utility>

namespace modbus {
namespace {

    std::string numbered(unsigned number)
    {
        return Decimal(number) + " (" + HexNumber(number) + ")";
    }

    // The data bytes a byte-count reply holds, never past its check bytes.
    std::string_view counted(std::string_view reply)
    {
        return reply.substr(3, std::min<std::size_t>(ByteAt(reply, 2), reply.size() - 5));
    }

    // The request's first item when it reads bits (or registers, as bits says), else 0.
    unsigned firstItem(std::string_view request, bool bits)
    {
        const FunctionInfo* info = request.size() < 6 ? nullptr : FindFunction(ByteAt(request, 1));
        return info && info->reads && HoldsBits(*info->reads) == bits ? WordAt(request, 2) : 0;
    }

    std::vector<std::string> registerCells(std::uint16_t value, unsigned number)
    {
        return { numbered(number & 0xFFFF), HexNumber(value), Decimal(value),
            Decimal(std::int16_t(value)) };
    }

    void addPair(std::vector<std::string>& cells, std::uint32_t bits)
    {
        cells.push_back(FloatText(double(std::bit_cast<float>(bits)), 8));
        cells.push_back(Decimal(std::int32_t(bits)));
        cells.push_back(Decimal(bits));
    }

    using Field = std::pair<const char*, std::size_t>; // name, offset in the frame

    // A write's reply repeats the request's fields: each shown, and the first that differs named.
    DetailTable echo(
        std::string_view reply, std::string_view request, std::initializer_list<Field> fields)
    {
        DetailTable table { { "Field", "Value" }, {}, {} };
        std::string differs;
        for (const auto& [name, at] : fields) {
            if (reply.size() < at + 4)
                continue;
            const std::uint16_t value = WordAt(reply, at);
            table.rows.push_back({ name, Decimal(value) + " (" + HexNumber(value) + ")" });
            if (differs.empty() && (request.size() < at + 4 || WordAt(request, at) != value))
                differs = std::string(name) + " " + HexNumber(value) + ", asked "
                    + (request.size() >= at + 4 ? HexNumber(WordAt(request, at)) : "nothing");
        }
        const bool sameHead = request.size() >= 2 && reply.compare(0, 2, request, 0, 2) == 0;
        const std::string verdict = !sameHead ? "differs from the request: address or function"
            : differs.empty()                 ? "matches the request"
                                              : "differs from the request: " + differs;
        table.rows.insert(table.rows.begin(), { "Echo", verdict });
        return table;
    }

} // namespace

std::uint32_t Combine(std::uint16_t first, std::uint16_t second, WordOrder order)
{
    const auto swapBytes = [](std::uint16_t w) { return std::uint16_t(w << 8 | w >> 8); };
    if (order == WordOrder::CDAB || order == WordOrder::DCBA)
        std::swap(first, second);
    if (order == WordOrder::BADC || order == WordOrder::DCBA) {
        first = swapBytes(first);
        second = swapBytes(second);
    }
    return std::uint32_t(first) << 16 | second;
}

namespace details {

    const char* OrderName(WordOrder order)
    {
        static constexpr const char* kNames[] = { "ABCD", "CDAB", "BADC", "DCBA" };
        return kNames[int(order)];
    }

    std::string Printable(std::string_view bytes)
    {
        std::string text;
        for (const char c : bytes) {
            const auto byte = static_cast<unsigned char>(c);
            text += byte >= 32 && byte < 127 ? c : '.';
        }
        return text;
    }

    DetailTable Bits(std::string_view reply, std::string_view request, WordOrder)
    {
        const std::string_view data = counted(reply);
        std::size_t count = data.size() * 8;
        // The request's quantity tells the padding bits of the last byte from real ones.
        if (request.size() >= 6 && ByteAt(request, 1) == ByteAt(reply, 1))
            count = std::min<std::size_t>(count, WordAt(request, 4));
        const unsigned start = firstItem(request, true);
        const FunctionInfo* info = FindFunction(ByteAt(reply, 1));
        const bool coils = info && info->reads == DataTable::Coils;
        DetailTable table { { coils ? "Coil" : "Input", "Value" }, {}, {} };
        std::string runs;
        for (std::size_t i = 0; i < count; ++i) {
            const bool on = ByteAt(data, i / 8) >> (i % 8) & 1;
            table.rows.push_back({ numbered(start + unsigned(i)), on ? "1" : "0" });
            runs += (i && i % 8 == 0 ? " " : "") + std::string(on ? "1" : "0");
        }
        if (count)
            table.summary = std::string(coils ? "Coils " : "Inputs ") + Decimal(start) + ".."
                + Decimal(start + count - 1) + ": " + runs;
        return table;
    }

    DetailTable Registers(std::string_view reply, std::string_view request, WordOrder order)
    {
        const std::string o = OrderName(order);
        DetailTable table { { "Register", "Hex", "Unsigned", "Signed", "Float " + o, "Int32 " + o,
                                "UInt32 " + o },
            {}, {} };
        const std::string_view data = counted(reply);
        const std::size_t count = data.size() / 2;
        const unsigned start = firstItem(request, false);
        for (std::size_t i = 0; i < count; ++i) {
            std::vector<std::string> cells
                = registerCells(WordAt(data, 2 * i), start + unsigned(i));
            if (i % 2 == 0 && i + 1 < count)
                addPair(cells, Combine(WordAt(data, 2 * i), WordAt(data, 2 * i + 2), order));
            cells.resize(table.headers.size());
            table.rows.push_back(std::move(cells));
        }
        return table;
    }

    DetailTable CoilEcho(std::string_view reply, std::string_view request, WordOrder)
    {
        return echo(reply, request, { { "Coil", 2 }, { "Value", 4 } });
    }

    DetailTable RegisterEcho(std::string_view reply, std::string_view request, WordOrder)
    {
        return echo(reply, request, { { "Register", 2 }, { "Value", 4 } });
    }

    DetailTable BlockEcho(std::string_view reply, std::string_view request, WordOrder)
    {
        return echo(reply, request, { { "Start", 2 }, { "Quantity", 4 } });
    }

    DetailTable MaskEcho(std::string_view reply, std::string_view request, WordOrder)
    {
        return echo(reply, request, { { "Register", 2 }, { "AND mask", 4 }, { "OR mask", 6 } });
    }

    DetailTable Diagnostics(std::string_view reply, std::string_view request, WordOrder)
    {
        if (reply.size() < 6)
            return {};
        const std::uint16_t sub = WordAt(reply, 2);
        const std::string_view data = reply.substr(4, reply.size() - 6);
        DetailTable table { { "Field", "Value" },
            { { "Sub-function", Decimal(sub) + (sub == 0 ? " Return Query Data" : "") },
                { "Data (hex)", HexBytes(data) } },
            {} };
        if (sub == 0)
            table.rows.push_back({ "Echo",
                request.size() == reply.size()
                        && reply.compare(0, reply.size() - 2, request, 0, reply.size() - 2) == 0
                    ? "matches the request"
                    : "differs from the request" });
        return table;
    }

    DetailTable ServerId(std::string_view reply, std::string_view, WordOrder)
    {
        const std::string_view data = counted(reply);
        return { { "Field", "Value" },
            { { "Byte count", Decimal(ByteAt(reply, 2)) }, { "Data (hex)", HexBytes(data) },
                { "Data (text)", Printable(data) } },
            {} };
    }

    DetailTable Fifo(std::string_view reply, std::string_view, WordOrder)
    {
        // The bytes its 16-bit byte count holds, never past its check bytes.
        const std::string_view data = reply.substr(
            4, std::min<std::size_t>(WordAt(reply, 2), reply.size() < 6 ? 0 : reply.size() - 6));
        const unsigned count = WordAt(data, 0);
        DetailTable table { { "Field", "Value" }, { { "FIFO count", Decimal(count) } }, {} };
        for (std::size_t i = 0; i < count && 2 * i + 3 < data.size(); ++i)
            table.rows.push_back(
                { "Value " + Decimal(unsigned(i + 1)), numbered(WordAt(data, 2 * i + 2)) });
        return table;
    }

} // namespace details
} // namespace modbus
