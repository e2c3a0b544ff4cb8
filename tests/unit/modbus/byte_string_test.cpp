#include "modbus/byte_string.h"
#include "modbus/number_text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>

using namespace modbus;

namespace {

TEST(NumberFromText, ReadsTheNumberTheTextBeginsWith)
{
    const std::pair<const char*, double> cases[] = {
        { "48", 48 }, { "12abc", 12 }, { "1.5", 1.5 }, { "1E3", 1000 }, { "1e3", 1000 },
        { "2.5E-1", 0.25 }, { "", 0 }, { "x1", 0 }, { "0x10", 0 }, { "&H10", 16 }, { "&hff", 255 },
        { "&HFFFF", 65535 }, { "&O17", 15 }, { "&O19", 1 }, // 9 is no octal digit
        { "&Hxyz", 0 }, { "1 000", 1000 }, { " \t\n42", 42 }, { "- 5", -5 }, { "+7", 7 },
        { "-1", -1 }, { ".5", 0.5 }, { "9.", 9 }, { "1A", 1 },
        { "1E", 1 }, // an exponent needs digits
        { "1E+", 1 }, { "1.2.3", 1.2 }, { "-", 0 }, { ".", 0 }, { "-.e5", 0 },
        { "1,5", 1 }, // only "." separates decimals
        { "\r5", 0 }, // CR is not skipped
    };
    for (const auto& [text, expected] : cases)
        EXPECT_DOUBLE_EQ(NumberFromText(text), expected) << '"' << text << '"';
}

TEST(NumberFromText, OnlyATrueOverflowIsInfinite)
{
    const std::string zeros(330, '0');
    const std::pair<std::string, double> cases[] = {
        { "1E999", HUGE_VAL },
        { "-1E999", -HUGE_VAL },
        { "1" + zeros, HUGE_VAL },
        { "0.5E+999", HUGE_VAL },
        { "1E-999", 0.0 },
        { "0." + zeros + "1", 0.0 },
        { "-0." + zeros + "1", -0.0 },
        { "." + zeros + "1", 0.0 },
        { "0." + zeros + "1E+5", 0.0 },
        { "0." + zeros + "1E-99999999999999999999", 0.0 },
        { "1" + zeros + "E-99999999999999999999", 0.0 },
        { "0." + zeros + "1E+400", 1E69 },
    };
    for (const auto& [text, expected] : cases) {
        const double value = NumberFromText(text);
        EXPECT_EQ(value, expected) << text.substr(0, 40) << "... (" << text.size() << ")";
        EXPECT_EQ(std::signbit(value), std::signbit(expected)) << text.substr(0, 40);
    }
}

TEST(NumberFromText, CommaDecimalLocaleDoesNotChangeThePoint)
{
    const std::string found = std::setlocale(LC_NUMERIC, nullptr);
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8"))
        GTEST_SKIP() << "locale de_DE.UTF-8 is not installed";
    const double value = NumberFromText("2.5");
    std::setlocale(LC_NUMERIC, found.c_str());
    EXPECT_DOUBLE_EQ(value, 2.5);
}

TEST(NumberToByte, RoundsHalfToEvenAndRefusesOutOfRange)
{
    const std::pair<double, int> cases[] = {
        { 0.5, 0 },
        { 1.5, 2 },
        { 2.5, 2 },
        { 3.5, 4 },
        { 255.4, 255 },
        { -0.5, 0 },
        { 254.5, 254 },
        { 0, 0 },
        { 255, 255 },
        { 127.6, 128 },
        { 255.5, -1 },
        { -0.6, -1 },
        { 256, -1 },
        { -1, -1 },
        { 1e300, -1 },
        { NAN, -1 },
        { INFINITY, -1 },
    };
    for (const auto& [value, expected] : cases) {
        const auto b = NumberToByte(value);
        if (expected < 0)
            EXPECT_FALSE(b.has_value()) << value;
        else
            EXPECT_EQ(b, std::optional<std::uint8_t>(expected)) << value;
    }
}

TEST(ByteStrings, HexTextAndSingleByteCharacters)
{
    EXPECT_EQ(HexText(0), "0");
    EXPECT_EQ(HexText(10), "A");
    EXPECT_EQ(HexText(75), "4B");
    EXPECT_EQ(HexText(0x0A84), "A84");
    EXPECT_EQ(HexText(255), "FF");

    std::u32string every;
    for (char32_t c = 0; c < 256; ++c)
        every.push_back(c);
    const auto bytes = BytesFromCodePoints(every);
    ASSERT_TRUE(bytes.has_value());
    ASSERT_EQ(bytes->size(), 256u);
    for (std::size_t i = 0; i < 256; ++i)
        EXPECT_EQ(ByteAt(*bytes, i), i);
    EXPECT_FALSE(BytesFromCodePoints(U"ab\u20ACc").has_value()); // the euro sign has no byte
}

} // namespace
