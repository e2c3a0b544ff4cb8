// A classic pcap capture of the frames heard, one record per frame at its time, link type 147
// (USER0), which Wireshark's Modbus RTU dissector reads when that link type is mapped to it.
#pragma once

#include "modbus/byte_string.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace modbus {

inline constexpr std::uint32_t kPcapUser0 = 147;

// The file's header: magic, version 2.4, no time zone, snap length 65535, link type 147.
ByteString PcapHeader();
// One frame heard at atUs (µs since 1970).
ByteString PcapRecord(std::string_view frame, std::int64_t atUs);

struct PcapFrame
{
    std::int64_t atUs = 0;
    ByteString bytes;
};

// The frames of a capture this program wrote; nullopt when it is not one (another link type,
// another byte order, cut short).
std::optional<std::vector<PcapFrame>> ReadPcap(std::string_view file);

} // namespace modbus
