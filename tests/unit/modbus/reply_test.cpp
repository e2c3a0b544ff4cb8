#include "modbus/hex_digits.h"
#include "modbus/reply_display.h"
#include "modbus/reply_text.h"
#include "tests/support/byte_list.h"

#include <gtest/gtest.h>

using namespace modbus;

namespace {

struct LineCase
{
    ByteString chunk;
    const char* line;
    double firstHi;
};

TEST(ReplyLines, WriteReplyByteForByte)
{
    const LineCase cases[] = {
        { bytes({ 0x30, 0x06, 0x00, 0x01, 0x00, 0x0A, 0x5C, 0x2C }),
            "Reply : ADDR : 1: Data :  10: CRC : 5C 2C", 10 },
        { bytes({ 0x30, 0x10, 0x00, 0x01, 0x00, 0x01, 0x54, 0x28 }),
            "Reply : ADDR : 1: Data :  1: CRC : 54 28", 1 },
        { bytes({ 0x30, 0x06, 0x80, 0x00, 0xFF, 0xFF, 0x0A, 0xF1 }),
            "Reply : ADDR : 32768: Data :  65535: CRC : A F1", 65535 },
        { bytes({ 0x30, 0x06, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x99,
              0x98 }), // trailing bytes ignored
            "Reply : ADDR : 65535: Data :  0: CRC : 0 0", 0 },
    };
    for (const auto& c : cases) {
        double firstHi = -1;
        EXPECT_EQ(WriteReplyText(c.chunk, firstHi), c.line);
        EXPECT_EQ(firstHi, c.firstHi);
    }
}

TEST(ReplyLines, ReadReplyByteForByte)
{
    const LineCase cases[] = {
        { bytes({ 0x30, 0x03, 0x02, 0x00, 0x0A, 0x45, 0x87 }),
            "Reply  2 butes :  Data :  10: CRC : 45 87", 10 },
        { bytes({ 0x30, 0x03, 0x02, 0xFF, 0xFF, 0x0A, 0xF1, 0x12 }),
            "Reply  2 butes :  Data :  65535: CRC : A F1", 65535 },
        // A two-register reply is read at the one-register positions.
        { bytes({ 0x30, 0x03, 0x04, 0x00, 0x01, 0x00, 0x02, 0xAA, 0xBB }),
            "Reply  4 butes :  Data :  1: CRC : 0 2", 1 },
    };
    for (const auto& c : cases) {
        double firstHi = -1;
        EXPECT_EQ(ReadReplyText(c.chunk, firstHi), c.line);
        EXPECT_EQ(firstHi, c.firstHi);
    }
}

TEST(ReplyLines, RawDumpKeepsPrintableAndHexLines)
{
    EXPECT_EQ(RawReplyText("Reply DATA :", bytes({ 0x41, 0x54, 0x0D, 0x0A })),
        "Reply DATA :\r\nAT\r\n41 54 D A \r\n");
    // 127..255 print, 0..31 only in hex; NUL does not end the chunk.
    EXPECT_EQ(RawReplyText("Reply ", bytes({ 0x00, 0x7F, 0xFF, 0x1F, 0x20 })),
        ByteString("Reply \r\n\x7F\xFF \r\n0 7F FF 1F 20 \r\n"));
    EXPECT_EQ(RawReplyText("Reply ", ""), "Reply \r\n\r\n\r\n");
}

TEST(ReplyLines, DecodeAndDecode2)
{
    const std::pair<const char*, int> decode[] = {
        { "0", 0 },
        { "9", 9 },
        { "A", 10 },
        { "F", 15 },
        { "G", 0 },
        { "a", 0 },
        { "10", 0 },
        { "", 0 },
    };
    for (const auto& [text, value] : decode)
        EXPECT_EQ(Decode(text), value) << text;
    const std::pair<const char*, int> decode2[] = {
        { "4B", 75 },
        { "F", 15 },
        { "4b", 64 },
        { "0x4B", 0 },
        { "FF", 255 },
        { "", 0 },
        { "ABC", 0 },
    };
    for (const auto& [text, value] : decode2)
        EXPECT_EQ(Decode2(text), value) << text;
}

struct ClassifyCase
{
    const char* what;
    ByteString chunk;
    double address;
    ReplyKind kind;
    const char* start; // how the display text begins
};

TEST(ClassifyReply, RoutesByAddressThenFunctionCode)
{
    const ClassifyCase cases[] = {
        { "FC16 echo", bytes({ 48, 16, 0, 1, 0, 1, 0x54, 0x28 }), 48, ReplyKind::WriteMultipleEcho,
            "Reply : ADDR : 1" },
        { "FC6 echo", bytes({ 48, 6, 0, 1, 0, 10, 0x5C, 0x2C }), 48, ReplyKind::WriteSingleEcho,
            "Reply : ADDR : 1" },
        { "FC3 reply", bytes({ 48, 3, 2, 0, 10, 0x45, 0x87 }), 48, ReplyKind::ReadHolding,
            "Reply  2 butes" },
        { "other slave", bytes({ 0x41, 0x54, 0x0D, 0x0A }), 48, ReplyKind::Raw,
            "Reply DATA :\r\n" },
        { "FC17 raw", bytes({ 48, 17, 3, 'A', 'B', 'C' }), 48, ReplyKind::Raw,
            "Reply \r\n0ABC\r\n30 11 3 41 42 43 \r\n" },
        { "exception", bytes({ 48, 0x83, 2, 0xC1, 0x34 }), 48, ReplyKind::Raw, "Reply \r\n" },
        { "address 0 from empty box", bytes({ 0, 3, 2, 0, 1, 0, 0 }), 0, ReplyKind::ReadHolding,
            "Reply  2" },
        { "fractional address never matches", bytes({ 0, 3, 2, 0, 1, 0, 0 }), 0.5, ReplyKind::Raw,
            "Reply DATA :" },
        { "lone address byte", bytes({ 48 }), 48, ReplyKind::Raw, "Reply \r\n0\r\n30 " },
        { "short FC6", bytes({ 48, 6, 0, 1, 0, 10, 0x5C }), 48, ReplyKind::Raw, "Reply \r\n" },
        { "short FC3", bytes({ 48, 3, 2, 0, 10, 0x45 }), 48, ReplyKind::Raw, "Reply \r\n" },
        { "short FC16", bytes({ 48, 16 }), 48, ReplyKind::Raw, "Reply \r\n" },
    };
    for (const auto& c : cases) {
        const ReplyDisplay d = ClassifyReply(c.chunk, c.address);
        EXPECT_EQ(d.kind, c.kind) << c.what;
        EXPECT_EQ(d.text.rfind(c.start, 0), 0u) << c.what << ": " << d.text;
        EXPECT_EQ(d.firstHi.has_value(), c.kind != ReplyKind::Raw) << c.what;
    }
}

TEST(ClassifyReply, TwoRepliesInOneChunkDecodeOnlyTheFirst)
{
    const ByteString two
        = bytes({ 48, 6, 0, 1, 0, 10, 0x5C, 0x2C, 48, 6, 0, 2, 0, 20, 0x11, 0x22 });
    const ReplyDisplay d = ClassifyReply(two, 48);
    EXPECT_EQ(d.text, "Reply : ADDR : 1: Data :  10: CRC : 5C 2C");
    EXPECT_EQ(d.firstHi, 10.0);
}

} // namespace
