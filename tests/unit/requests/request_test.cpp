#include "modbus/crc16.h"
#include "requests/request_frames.h"

#include <gtest/gtest.h>

using namespace modbus;

namespace {

TEST(RequestFrames, WorkedExamplesByteForByte)
{
    const std::pair<Request, const char*> cases[] = {
        { ReadHoldingRequest("48", { "Address param", "0" }, { "Count", "1" }),
            "30 03 00 00 00 01 80 2B" },
        { WriteSingleRequest("48", { "Address param", "0" }, { "Data", "0" }),
            "30 06 00 00 00 00 8D EB" },
        { WriteSingleRequest("48", { "Address param", "258" }, { "Data", "1000" }),
            "30 06 01 02 03 E8 2D 69" },
        { WriteMultipleRequest("48", { "Address param", "0" }, { "Data", "0" }),
            "30 10 00 00 00 01 02 00 00 FF C1" },
        { ReportIdRequest("48"), "30 11 D5 BC" },
        { FreeFormRequest("48", U"ABC"), "30 41 42 43 2E 61" },
        { FreeFormRequest("48", U"\u00FF\u0080"), "30 FF 80 31 9F" },
        { RawTextRequest(U"ABC"), "41 42 43" },
        { FreeFormRequest("48", U""), "30 BF 54" },
        { ReadHoldingRequest("1", { "Address param", "0" }, { "Count", "1" }),
            "01 03 00 00 00 01 84 0A" },
    };
    for (const auto& [request, expected] : cases) {
        EXPECT_TRUE(request.notSent.empty()) << request.notSent;
        EXPECT_EQ(HexBytes(request.frame), expected);
    }
}

TEST(RequestFrames, FieldSplitAndRounding)
{
    const std::pair<const char*, const char*> fields[] = {
        { "2.5", "00 02" },
        { "3.5", "00 04" },
        { "256", "01 00" },
        { "65535", "FF FF" },
        { "1E3", "03 E8" },
        { "12abc", "00 0C" },
        { "", "00 00" },
        { "&HFF", "00 FF" },
        { "511.4", "01 FF" },
        { "255.49", "00 FF" },
    };
    for (const auto& [text, bytes] : fields) {
        const Request r = WriteSingleRequest("48", { "Address param", "0" }, { "Data", text });
        ASSERT_TRUE(r.notSent.empty()) << text << ": " << r.notSent;
        EXPECT_EQ(HexBytes(r.frame).substr(12, 5), bytes) << text;
    }
    const std::pair<const char*, const char*> addresses[]
        = { { ".5", "00" }, { "9.", "09" }, { "1A", "01" }, { "", "00" } };
    for (const auto& [text, byte] : addresses)
        EXPECT_EQ(HexBytes(ReportIdRequest(text).frame).substr(0, 2), byte) << text;

    const FieldSplit negative = SplitField("-1");
    EXPECT_EQ(negative.hi, -1);
    EXPECT_EQ(negative.lo, 255);
    const FieldSplit fraction = SplitField("258.25");
    EXPECT_EQ(fraction.numScratch, 258.25);
    EXPECT_EQ(fraction.hi, 1);
    EXPECT_EQ(fraction.lo, 2.25);
}

TEST(RequestFrames, ValuesOutsideTheLimitsRefuseTheWholeFrame)
{
    const std::pair<Request, const char*> cases[] = {
        { ReadHoldingRequest("48", { "Address param", "0" }, { "Count", "70000" }),
            "Count \"70000\" is outside 0..65535" },
        { ReadHoldingRequest("48", { "Address param", "65536" }, { "Count", "1" }),
            "Address param \"65536\" is outside 0..65535" },
        { WriteSingleRequest("48", { "Address param", "-1" }, { "Data", "0" }),
            "Address param \"-1\" is outside 0..65535" },
        { WriteSingleRequest("48", { "Address param", "0" }, { "Data", "255.5" }),
            "Data \"255.5\" is outside 0..65535" },
        { WriteMultipleRequest("48", { "Address param", "0" }, { "Data", "1E99" }),
            "Data \"1E99\" is outside 0..65535" },
        { ReportIdRequest("-1"), "Addr \"-1\" is outside 0..255" },
        // The first value that does not fit, in line order, is the one named.
        { WriteSingleRequest("-5", { "Address param", "-1" }, { "Data", "-1" }),
            "Addr \"-5\" is outside 0..255" },
        { FreeFormRequest("48", std::u32string(kCrcMaxLength, U'x')),
            "the request of 32767 bytes is over the 32766-byte limit" },
        { FreeFormRequest("48", U"x\u20ACy"),
            "the free text holds U+20AC, which has no single-byte code" },
        { RawTextRequest(U"\U0001F600"),
            "the free text holds U+1F600, which has no single-byte code" },
    };
    for (const auto& [request, why] : cases) {
        EXPECT_EQ(request.notSent, why);
        EXPECT_TRUE(request.frame.empty()) << why;
    }
    EXPECT_TRUE(FreeFormRequest("48", std::u32string(kCrcMaxLength - 1, U'x')).notSent.empty());
}

} // namespace
