#include "reply_json.h"

#include "benchfiles/map_values.h"
#include "modbus/byte_string.h"
#include "modbus/device_identification.h"
#include "modbus/function_table.h"
#include "modbus/modbus_names.h"
#include "modbus/read_values.h"
#include "modbus/reply_details.h"

#include <nlohmann/json.hpp>

#include <bit>
#include <cmath>

namespace cli {
namespace {

    using nlohmann::json;

    json number(double value) { return std::isfinite(value) ? json(value) : json(nullptr); }

    // A read's values: bits as booleans, registers unsigned and signed, and each pair from
    // its first register as the word order makes it.
    void putRead(json& out, const modbus::ReadValues& read, modbus::WordOrder order)
    {
        const bool bits
            = read.table == modbus::DataTable::Coils || read.table == modbus::DataTable::Inputs;
        json items = json::array();
        for (std::size_t i = 0; i < read.values.size(); ++i) {
            const std::uint16_t v = read.values[i];
            json item { { "address", read.start + i } };
            if (bits)
                item["value"] = v != 0;
            else
                item.update({ { "unsigned", v }, { "signed", std::int16_t(v) } });
            if (!bits && i % 2 == 0 && i + 1 < read.values.size()) {
                const std::uint32_t pair = modbus::Combine(v, read.values[i + 1], order);
                item.update({ { "float", number(std::bit_cast<float>(pair)) },
                    { "int32", std::int32_t(pair) }, { "uint32", pair } });
            }
            items.push_back(item);
        }
        out[bits ? "bits" : "registers"] = items;
    }

    // What a write's reply repeats, as the table names it.
    void putWrite(json& out, std::string_view reply)
    {
        const modbus::FunctionInfo* info = modbus::FindFunction(modbus::ByteAt(reply, 1));
        if (!info || info->echoed.empty() || info->code == 8)
            return; // diagnostics: its sub-function goes with its data
        json written = json::object();
        std::size_t at = 2;
        for (const modbus::EchoedField& f : info->echoed) {
            written[std::string(f.name)]
                = f.bit ? json(modbus::WordAt(reply, at) != 0) : json(modbus::WordAt(reply, at));
            at += 2;
        }
        out["written"] = written;
    }

    void putOther(json& out, std::string_view reply)
    {
        const std::uint8_t function = modbus::ByteAt(reply, 1);
        const std::string_view body = reply.substr(2, reply.size() - 4);
        if (function == 8)
            out["diagnostics"] = { { "sub_function", modbus::WordAt(reply, 2) },
                { "data", modbus::HexBytes(body.substr(2)) } };
        if (function == 17)
            out["server_id"] = { { "data", modbus::HexBytes(body.substr(1)) },
                { "text", modbus::details::Printable(body.substr(1)) } };
        if (const auto id = function == 43 ? modbus::ParseDeviceId(reply) : std::nullopt) {
            json objects = json::array();
            for (const modbus::DeviceObject& o : id->objects)
                objects.push_back({ { "id", o.id }, { "name", modbus::DeviceObjectName(o.id) },
                    { "value", modbus::details::Printable(o.value) } });
            out["objects"] = objects;
        }
    }

    void putAnswer(json& out, const modbus::Exchange& exchange, modbus::WordOrder order)
    {
        const modbus::FrameRow& answer = *exchange.answer();
        const std::string_view reply = answer.bytes;
        if (answer.kind == modbus::RowKind::Exception)
            out["exception"] = { { "code", modbus::ByteAt(reply, 2) },
                { "name", modbus::ExceptionVerdict(modbus::ByteAt(reply, 2)) } };
        if (!exchange.good())
            return; // a reply that is not good gives no values
        if (const auto read = modbus::ValuesOfReply(exchange.request().bytes, reply))
            putRead(out, *read, order);
        putWrite(out, reply);
        putOther(out, reply);
    }

    void putMapped(json& out, const modbus::Exchange& exchange, modbus::WordOrder order,
        const modbus::RegisterMap* map)
    {
        const auto read = map && exchange.good()
            ? modbus::ValuesOfReply(exchange.request().bytes, exchange.answer()->bytes)
            : std::nullopt;
        if (!read)
            return;
        for (const modbus::MappedValue& v : modbus::MappedValues(*map, *read, order)) {
            json value { { "name", v.entry->name }, { "value", v.text }, { "raw", v.raw } };
            if (const auto n = modbus::EngineeringValue(*v.entry, v.raw, order))
                value["number"] = number(*n);
            out["mapped"].push_back(value);
        }
    }

} // namespace

std::string JsonOutput(
    const modbus::Exchange& exchange, modbus::WordOrder order, const modbus::RegisterMap* map)
{
    const std::string_view request = exchange.request().bytes;
    const modbus::FrameRow* answer = exchange.answer();
    // What came: the answer, or the bytes that came instead (not a frame, another slave's).
    const modbus::FrameRow* came = exchange.outcomeRow();
    // The frames as they went over the wire: on Modbus TCP with their MBAP headers.
    const auto onWire = [](const modbus::FrameRow& row) {
        return modbus::HexBytes(row.wire.empty() ? row.bytes : row.wire);
    };
    json out { { "request", onWire(exchange.request()) }, { "slave", modbus::ByteAt(request, 0) },
        { "function", modbus::ByteAt(request, 1) }, { "reply", came ? onWire(*came) : "" },
        { "code", exchange.code() }, { "verdict", exchange.verdict() }, { "good", exchange.good() },
        { "word_order", modbus::details::OrderName(order) }, { "notes", exchange.notes() } };
    if (answer && answer->replyMs)
        out["reply_ms"] = *answer->replyMs;
    if (answer)
        putAnswer(out, exchange, order);
    putMapped(out, exchange, order, map);
    // A map's names are the user's bytes: text that is not UTF-8 is written with U+FFFD.
    return out.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

} // namespace cli
