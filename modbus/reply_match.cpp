#include "reply_match.h"

#include "byte_string.h"
#include "device_identification.h"
#include "function_table.h"

#include <algorithm>

namespace modbus::match {
namespace {

    std::string dataBytes(std::string_view reply, unsigned asked)
    {
        const unsigned got = reply.size() > 2 ? ByteAt(reply, 2) : 0;
        return got == asked ? std::string()
                            : std::to_string(got) + " data bytes, asked " + std::to_string(asked);
    }

} // namespace

std::string Anything(std::string_view, std::string_view) { return {}; }

std::string BitBytes(std::string_view request, std::string_view reply)
{
    return dataBytes(reply, (WordAt(request, 4) + 7) / 8);
}

std::string RegisterBytes(std::string_view request, std::string_view reply)
{
    // 3, 4 and 23 all carry the quantity read at the same place.
    return dataBytes(reply, 2 * WordAt(request, 4));
}

// The 16-bit fields from byte 2 on that the table says a good reply repeats, in order.
std::string Echoed(std::string_view request, std::string_view reply)
{
    const FunctionInfo* info = FindFunction(ByteAt(request, 1));
    std::size_t at = 2;
    for (const EchoedField& f : info ? info->echoed : std::span<const EchoedField>()) {
        if (WordAt(reply, at) != WordAt(request, at)) {
            std::string name(f.name);
            std::replace(name.begin(), name.end(), '_', ' ');
            return name + " " + std::to_string(WordAt(reply, at)) + ", asked "
                + std::to_string(WordAt(request, at));
        }
        at += 2;
    }
    return {};
}

std::string SubFunction(std::string_view request, std::string_view reply)
{
    if (std::string why = Echoed(request, reply); !why.empty())
        return why;
    // Return Query Data promises its data back unchanged.
    if (WordAt(request, 2) == 0 && reply != request)
        return "data differs from the request";
    return {};
}

std::string DeviceObjects(std::string_view request, std::string_view reply)
{
    const auto parsed = ParseDeviceId(reply);
    if (!parsed || parsed->length == 0 || request.size() < 5)
        return "not a device identification reply";
    const unsigned code = ByteAt(request, 3);
    const unsigned object = ByteAt(request, 4);
    if (parsed->readCode != code)
        return "read code " + std::to_string(parsed->readCode) + ", asked " + std::to_string(code);
    // A stream read asked from an object the device lacks starts again at 0, as the standard
    // allows; a read of one object must bring that object.
    const bool restarted = code < 4 && !parsed->objects.empty() && parsed->objects[0].id == 0;
    if (!parsed->objects.empty() && parsed->objects[0].id != object && !restarted)
        return "object " + std::to_string(parsed->objects[0].id) + ", asked "
            + std::to_string(object);
    return {};
}

std::string FifoCount(std::string_view, std::string_view reply)
{
    const unsigned bytes = WordAt(reply, 2);
    const unsigned count = bytes >= 2 ? WordAt(reply, 4) : 0;
    if (bytes != 2 + 2 * count)
        return "byte count " + std::to_string(bytes) + " for a FIFO count of "
            + std::to_string(count);
    if (count > kFifoMost)
        return "FIFO count " + std::to_string(count) + ", over " + std::to_string(kFifoMost);
    return {};
}

} // namespace modbus::match

namespace modbus {

std::string ReplyMismatch(std::string_view request, std::string_view reply)
{
    if (request.size() < 4 || reply.size() < 4)
        return {};
    if (ByteAt(reply, 0) != ByteAt(request, 0))
        return "reply from " + std::to_string(ByteAt(reply, 0)) + ", asked "
            + std::to_string(ByteAt(request, 0));
    const unsigned asked = ByteAt(request, 1);
    const unsigned function = ByteAt(reply, 1);
    if ((function & 0x7F) != asked)
        return "reply to function " + std::to_string(function & 0x7F) + ", asked "
            + std::to_string(asked);
    if (function & 0x80)
        return {}; // an exception names only its function
    const FunctionInfo* info = FindFunction(std::uint8_t(asked));
    return info ? info->fits(request, reply) : std::string();
}

} // namespace modbus
