#include "reply_output.h"

#include "benchfiles/map_values.h"
#include "modbus/frame_details.h"
#include "modbus/number_format.h"
#include "modbus/read_values.h"

namespace cli {
namespace {

    modbus::DetailTable detailsOf(const modbus::Exchange& exchange, modbus::WordOrder order)
    {
        const modbus::FrameRow* answer = exchange.answer();
        return answer ? modbus::FrameDetails(*answer, order) : modbus::DetailTable {};
    }

    std::string verdictLine(const modbus::Exchange& exchange)
    {
        const modbus::FrameRow* answer = exchange.answer();
        std::string line = exchange.verdict();
        if (answer && answer->replyMs)
            line += ", " + modbus::FloatText(*answer->replyMs, 4) + " ms";
        return line;
    }

    // The mapped values a good read's reply covers whole; none without a map.
    std::vector<modbus::MappedValue> mappedValues(
        const modbus::Exchange& exchange, modbus::WordOrder order, const modbus::RegisterMap* map)
    {
        const modbus::FrameRow* answer = exchange.answer();
        const auto read = map && exchange.good()
            ? modbus::ValuesOfReply(exchange.request().bytes, answer->bytes)
            : std::nullopt;
        return read ? modbus::MappedValues(*map, *read, order)
                    : std::vector<modbus::MappedValue> {};
    }

    std::string mappedLines(
        const modbus::Exchange& exchange, modbus::WordOrder order, const modbus::RegisterMap* map)
    {
        std::string text;
        for (const modbus::MappedValue& v : mappedValues(exchange, order, map)) {
            text += v.entry->name + "\t" + v.text + "\traw";
            for (const std::uint16_t w : v.raw)
                text += " " + modbus::Decimal(w);
            text += "\n";
        }
        return text;
    }

} // namespace

std::string TextOutput(const modbus::Exchange& exchange, modbus::WordOrder order,
    const modbus::RegisterMap* map, bool headers)
{
    const modbus::DetailTable table = detailsOf(exchange, order);
    std::string text;
    if (headers && !table.rows.empty()) {
        for (std::size_t i = 0; i < table.headers.size(); ++i)
            text += (i ? "\t" : "") + table.headers[i];
        text += "\n";
    }
    for (const auto& row : table.rows) {
        std::size_t used = row.size();
        while (used > 1 && row[used - 1].empty())
            --used; // a pair's cells stand on its first register only
        for (std::size_t i = 0; i < used; ++i)
            text += (i ? "\t" : "") + row[i];
        text += "\n";
    }
    if (!table.summary.empty())
        text += table.summary + "\n";
    text += mappedLines(exchange, order, map);
    return text + verdictLine(exchange) + "\n";
}

std::string NoteLines(const modbus::Exchange& exchange)
{
    std::string text;
    for (const std::string& note : exchange.notes())
        text += "quillet-cli: " + note + "\n";
    return text;
}

} // namespace cli
