#include "device_identification.h"

#include "byte_string.h"
#include "number_format.h"
#include "reply_details.h"

namespace modbus {
namespace {

    constexpr std::size_t kHeader = 8; // address, 2B, 0E, read code, conformity, more, next, count
    constexpr std::size_t kMaxFrame = 256;

} // namespace

std::optional<DeviceIdReply> ParseDeviceId(std::string_view bytes, std::size_t at)
{
    const std::string_view frame = bytes.substr(std::min(at, bytes.size()));
    if (frame.size() < 3)
        return std::nullopt;
    DeviceIdReply reply;
    if (ByteAt(frame, 2) != 0x0E)
        return reply; // another MEI type: its length is not known here
    if (frame.size() < kHeader)
        return std::nullopt;
    reply.readCode = ByteAt(frame, 3);
    reply.conformity = ByteAt(frame, 4);
    reply.moreFollows = ByteAt(frame, 5) == 0xFF;
    reply.nextObject = ByteAt(frame, 6);
    std::size_t pos = kHeader;
    for (unsigned n = ByteAt(frame, 7); n > 0; --n) {
        if (frame.size() < pos + 2)
            return pos + 2 > kMaxFrame ? std::optional(DeviceIdReply {}) : std::nullopt;
        const std::size_t length = ByteAt(frame, pos + 1);
        if (pos + 2 + length + 2 > kMaxFrame)
            return DeviceIdReply {}; // no frame is this long: let the check bytes decide
        if (frame.size() < pos + 2 + length)
            return std::nullopt;
        reply.objects.push_back({ ByteAt(frame, pos), std::string(frame.substr(pos + 2, length)) });
        pos += 2 + length;
    }
    reply.length = pos + 2;
    return reply;
}

std::string DeviceObjectName(unsigned id)
{
    static constexpr const char* kNames[] = { "VendorName", "ProductCode", "MajorMinorRevision",
        "VendorUrl", "ProductName", "ModelName", "UserApplicationName" };
    if (id < std::size(kNames))
        return kNames[id];
    return "object " + HexNumber(id, 2);
}

namespace details {

    DetailTable DeviceId(std::string_view reply, std::string_view, WordOrder)
    {
        const std::optional<DeviceIdReply> parsed = ParseDeviceId(reply);
        if (!parsed || parsed->length == 0)
            return {};
        static constexpr const char* kCodes[]
            = { "?", "basic", "regular", "extended", "one object" };
        DetailTable table { { "Field", "Value" },
            { { "Read code",
                  Decimal(parsed->readCode) + " "
                      + kCodes[parsed->readCode < 5 ? parsed->readCode : 0] },
                { "Conformity level", HexNumber(parsed->conformity, 2) },
                { "More follows", parsed->moreFollows ? "yes" : "no" },
                { "Next object id", Decimal(parsed->nextObject) } },
            {} };
        for (const DeviceObject& object : parsed->objects)
            table.rows.push_back({ Decimal(object.id) + " " + DeviceObjectName(object.id),
                Printable(object.value) });
        return table;
    }

} // namespace details
} // namespace modbus
