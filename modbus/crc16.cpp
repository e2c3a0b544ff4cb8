#include "crc16.h"

namespace modbus {

std::uint16_t Crc16Step(std::uint16_t crc, std::uint8_t byte)
{
    // Bit by bit on purpose: frames are a few bytes long and built once per button press.
    crc ^= byte;
    for (int step = 0; step < 8; ++step) {
        const bool lowBit = crc & 1u;
        crc >>= 1;
        if (lowBit)
            crc ^= 0xA001;
    }
    return crc;
}

std::optional<ByteString> CRC16(const ByteString& sString)
{
    if (sString.size() > kCrcMaxLength)
        return std::nullopt;
    std::uint16_t crc = 0xFFFF;
    for (std::size_t i = 0; i < sString.size(); ++i)
        crc = Crc16Step(crc, ByteAt(sString, i));
    ByteString check;
    check.push_back(CharOf(crc & 0xFF));
    check.push_back(CharOf(crc >> 8));
    return check;
}

bool CrcGood(std::string_view frame)
{
    if (frame.size() < 4)
        return false;
    std::uint16_t crc = 0xFFFF;
    for (std::size_t i = 0; i + 2 < frame.size(); ++i)
        crc = Crc16Step(crc, ByteAt(frame, i));
    return ByteAt(frame, frame.size() - 2) == (crc & 0xFF)
        && ByteAt(frame, frame.size() - 1) == (crc >> 8);
}

} // namespace modbus
