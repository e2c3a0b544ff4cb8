#include "own_answers.h"

#include "modbus/byte_string.h"
#include "modbus/crc16.h"
#include "modbus/function_table.h"
#include "modbus/reply_match.h"

#include <algorithm>
#include <utility>

namespace {

std::string withCrc(std::string body) { return body + *modbus::CRC16(body); }

std::string exception(const std::string& frame, int code)
{
    return withCrc({ frame[0], char(modbus::ByteAt(frame, 1) | 0x80), char(code) });
}

// Return Query Data gives the request back; other diagnostics are not kept here.
std::optional<std::string> diagnostics(const std::string& frame, const SlaveData&)
{
    return frame.size() >= 6 && modbus::ReplyCopiesRequest(frame) ? frame : exception(frame, 1);
}

void put16(std::string& bytes, std::size_t value)
{
    bytes += { char(value >> 8 & 0xFF), char(value & 0xFF) };
}

// A queue kept in holding registers, as devices commonly keep one: the register at the FIFO
// address holds the count, the values follow it.
std::optional<std::string> fifo(const std::string& frame, const SlaveData& slave)
{
    if (modbus::RequestFrameLength(frame, 0) != frame.size())
        return exception(frame, 3);
    const std::size_t at = modbus::WordAt(frame, 2);
    if (at >= slave.registers.size())
        return exception(frame, 2);
    const std::size_t count = slave.registers[at];
    if (count > modbus::match::kFifoMost)
        return exception(frame, 3);
    if (at + 1 + count > slave.registers.size())
        return exception(frame, 2);
    std::string reply = frame.substr(0, 2);
    put16(reply, 2 + 2 * count);
    put16(reply, count);
    for (std::size_t i = 1; i <= count; ++i)
        put16(reply, slave.registers[at + i]);
    return withCrc(reply);
}

// MEI type 14 alone. Basic: objects 0..2; regular and extended: 0..6; one object: the one asked.
std::optional<std::string> deviceId(const std::string& frame, const SlaveData& slave)
{
    if (modbus::RequestFrameLength(frame, 0) != frame.size() || modbus::ByteAt(frame, 2) != 0x0E)
        return std::nullopt;
    const unsigned code = modbus::ByteAt(frame, 3), first = modbus::ByteAt(frame, 4);
    if (code < 1 || code > 4 || first >= slave.objects.size())
        return exception(frame, code < 1 || code > 4 ? 3 : 2);
    std::string reply { frame[0], '\x2B', '\x0E', char(code), '\x82', 0, 0, 0 };
    const unsigned last = code == 4 ? first : code == 1 ? 2 : 6;
    for (unsigned id = code == 4 ? first : std::min(first, last); id <= last; ++id) {
        reply += { char(id), char(slave.objects[id].size()) };
        reply += slave.objects[id];
        ++reply[7];
    }
    return withCrc(reply);
}

using Answer = std::optional<std::string> (*)(const std::string& frame, const SlaveData& slave);
constexpr std::pair<std::uint8_t, Answer> kAnswers[]
    = { { 8, diagnostics }, { 24, fifo }, { 43, deviceId } };

} // namespace

std::optional<std::string> OwnAnswer(const std::string& frame, const SlaveData& slave)
{
    for (const auto& [function, answer] : kAnswers)
        if (modbus::ByteAt(frame, 1) == function)
            return answer(frame, slave);
    return std::nullopt;
}
