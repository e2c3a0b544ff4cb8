// Function 43 with MEI type 14, Read Device Identification: its reply's layout.
#pragma once

#include "detail_table.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace modbus {

struct DeviceObject
{
    unsigned id = 0;
    std::string value;
};

struct DeviceIdReply
{
    unsigned readCode = 0;
    unsigned conformity = 0;
    bool moreFollows = false;
    unsigned nextObject = 0;
    std::vector<DeviceObject> objects;
    std::size_t length = 0; // the whole frame, check bytes included
};

// The reply starting at bytes[at] (address first): nullopt when more bytes are needed to tell
// where it ends. A frame that is not MEI 14 gives length 0.
std::optional<DeviceIdReply> ParseDeviceId(std::string_view bytes, std::size_t at = 0);

// "VendorName", "ProductCode", ...; "object 0x80" for a private one.
std::string DeviceObjectName(unsigned id);

namespace details {
    DetailTable DeviceId(std::string_view reply, std::string_view request, WordOrder);
}

} // namespace modbus
