#include "modbus/crc16.h"
#include "tests/support/byte_list.h"

#include <gtest/gtest.h>

using modbus::ByteString;
using modbus::CRC16;

namespace {

struct CrcCase
{
    const char* what;
    ByteString input;
    ByteString check;
};

TEST(Crc16, PublishedAndWorkedVectors)
{
    const CrcCase cases[] = {
        { "FC3 slave 1", bytes({ 0x01, 0x03, 0x00, 0x00, 0x00, 0x01 }), bytes({ 0x84, 0x0A }) },
        { "FC3 slave 48", bytes({ 0x30, 0x03, 0x00, 0x00, 0x00, 0x01 }), bytes({ 0x80, 0x2B }) },
        { "ASCII 1..9", "123456789", bytes({ 0x37, 0x4B }) },
        { "empty", "", bytes({ 0xFF, 0xFF }) },
        { "one NUL is a byte like any other", bytes({ 0x00 }), bytes({ 0xBF, 0x40 }) },
        { "high byte 0 still sent", bytes({ 0x30, 0xBF }), bytes({ 0x54, 0x00 }) },
        { "FC6 258 1000", bytes({ 0x30, 0x06, 0x01, 0x02, 0x03, 0xE8 }), bytes({ 0x2D, 0x69 }) },
        { "Info", bytes({ 0x30, 0x11 }), bytes({ 0xD5, 0xBC }) },
    };
    for (const auto& c : cases) {
        const auto check = CRC16(c.input);
        ASSERT_TRUE(check.has_value()) << c.what;
        EXPECT_EQ(*check, c.check) << c.what;
    }
}

TEST(Crc16, LengthLimitOfSignedCounter)
{
    const ByteString atLimit(modbus::kCrcMaxLength, 'A');
    EXPECT_TRUE(CRC16(atLimit).has_value());
    EXPECT_FALSE(CRC16(atLimit + "A").has_value());
}

TEST(Crc16, FrameClosedWithItsCheckValidatesToZeroResidue)
{
    // A frame followed by its own CRC (low byte first) has the residue 0x0000 under CRC-16/MODBUS:
    // this catches a swapped byte order for every length, not only the listed vectors.
    ByteString frame;
    for (int n = 0; n < 300; ++n) {
        frame.push_back(static_cast<char>((n * 37 + 11) & 0xFF));
        const ByteString closed = frame + *CRC16(frame);
        EXPECT_EQ(*CRC16(closed), bytes({ 0x00, 0x00 })) << "length " << n + 1;
    }
}

} // namespace
