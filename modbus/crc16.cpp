#include "crc16.h"

namespace modbus {

std::optional<ByteString> CRC16(const ByteString& sString)
{
    if (sString.size() > kCrcMaxLength)
        return std::nullopt;
    // Bit by bit on purpose: frames are a few bytes long and built once per button press.
    std::uint32_t crc = 0xFFFF;
    for (std::size_t i = 0; i < sString.size(); ++i) {
        crc ^= ByteAt(sString, i);
        for (int step = 0; step < 8; ++step) {
            const bool lowBit = crc & 1u;
            crc >>= 1;
            if (lowBit)
                crc ^= 0xA001;
        }
    }
    ByteString check;
    check.push_back(CharOf(crc & 0xFF));
    check.push_back(CharOf(crc >> 8));
    return check;
}

} // namespace modbus
