#include "reply_output.h"

#include "modbus/frame_details.h"
#include "modbus/map_values.h"
#include "modbus/number_format.h"
#include "modbus/read_values.h"

#include <nlohmann/json.hpp>

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

std::string TextOutput(
    const modbus::Exchange& exchange, modbus::WordOrder order, const modbus::RegisterMap* map)
{
    const modbus::DetailTable table = detailsOf(exchange, order);
    std::string text;
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

std::string JsonOutput(
    const modbus::Exchange& exchange, modbus::WordOrder order, const modbus::RegisterMap* map)
{
    const modbus::DetailTable table = detailsOf(exchange, order);
    nlohmann::json rows = nlohmann::json::array();
    for (const auto& cells : table.rows) {
        nlohmann::json row = nlohmann::json::object();
        for (std::size_t i = 0; i < cells.size() && i < table.headers.size(); ++i)
            if (!cells[i].empty())
                row[table.headers[i]] = cells[i];
        rows.push_back(row);
    }
    const modbus::FrameRow* answer = exchange.answer();
    nlohmann::json out { { "request", modbus::HexBytes(exchange.request().bytes) },
        { "reply", answer ? modbus::HexBytes(answer->bytes) : "" },
        { "verdict", exchange.verdict() }, { "good", exchange.good() }, { "rows", rows } };
    if (answer && answer->replyMs)
        out["reply_ms"] = *answer->replyMs;
    if (!table.summary.empty())
        out["summary"] = table.summary;
    for (const modbus::MappedValue& v : mappedValues(exchange, order, map)) {
        nlohmann::json value { { "name", v.entry->name }, { "value", v.text }, { "raw", v.raw } };
        if (const auto number = modbus::EngineeringValue(*v.entry, v.raw, order))
            value["number"] = *number;
        out["mapped"].push_back(value);
    }
    // A map's names are the user's bytes: text that is not UTF-8 is written with U+FFFD.
    return out.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

} // namespace cli
