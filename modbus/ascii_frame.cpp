#include "ascii_frame.h"

#include <cstdio>

namespace modbus {
namespace {

    // The longest frame: 256 bytes of address, PDU and LRC as hex, the ':' and CR LF.
    constexpr std::size_t kMaxText = 1 + 2 * 256 + 2;

    int hexValue(char c)
    {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        return -1;
    }

    std::string hexByte(unsigned value)
    {
        char text[3];
        std::snprintf(text, sizeof text, "%02X", value & 0xFFu);
        return text;
    }

    AsciiCut notFrame(std::size_t length, const std::string& why)
    {
        return { AsciiCut::Kind::NotFrame, length, {}, false, "not a frame: " + why };
    }

    // The hex between ':' and CR LF, decoded and its LRC checked.
    AsciiCut decode(std::string_view hex, std::size_t length)
    {
        for (const char c : hex)
            if (hexValue(c) < 0)
                return notFrame(length,
                    std::string("a character that is not hex (")
                        + (c >= ' ' && c < 127 ? std::string(1, c)
                                               : "0x" + hexByte(std::uint8_t(c)))
                        + ")");
        if (hex.size() % 2 != 0)
            return notFrame(length, "odd hex (" + std::to_string(hex.size()) + " digits)");
        if (hex.size() < 6)
            return notFrame(length, "too short for an address, a function and an LRC");
        ByteString bytes;
        for (std::size_t i = 0; i < hex.size(); i += 2)
            bytes.push_back(char(hexValue(hex[i]) * 16 + hexValue(hex[i + 1])));
        AsciiCut cut { AsciiCut::Kind::Frame, length, bytes.substr(0, bytes.size() - 1), false,
            {} };
        const std::uint8_t expected = Lrc(cut.adu);
        cut.lrcGood = std::uint8_t(bytes.back()) == expected;
        if (!cut.lrcGood)
            cut.why = "LRC BAD (expected " + hexByte(expected) + ")";
        return cut;
    }

} // namespace

std::uint8_t Lrc(std::string_view bytes)
{
    unsigned sum = 0;
    for (const char b : bytes)
        sum += std::uint8_t(b);
    return std::uint8_t(-sum);
}

ByteString BuildAscii(std::string_view adu)
{
    ByteString text = ":";
    for (const char b : adu)
        text += hexByte(std::uint8_t(b));
    return text + hexByte(Lrc(adu)) + "\r\n";
}

AsciiCut CutAscii(std::string_view bytes, bool lineSilent)
{
    if (bytes.empty())
        return {};
    if (bytes[0] != ':') {
        const std::size_t colon = bytes.find(':');
        if (colon != std::string_view::npos)
            return { AsciiCut::Kind::Noise, colon, {}, false, {} };
        // No frame has begun: noise, once nothing more can turn it into one.
        return lineSilent || bytes.size() >= kMaxText ? notFrame(bytes.size(), "no ':'")
                                                      : AsciiCut {};
    }
    const std::size_t end = bytes.find_first_of(":\r\n", 1);
    if (end == std::string_view::npos)
        return lineSilent || bytes.size() >= kMaxText ? notFrame(bytes.size(), "no CR LF")
                                                      : AsciiCut {};
    if (bytes[end] == ':')
        return notFrame(end, "cut short by a new ':' before CR LF");
    if (bytes[end] == '\n')
        return notFrame(end + 1, "no CR LF (LF alone)");
    if (end + 1 == bytes.size())
        return lineSilent ? notFrame(bytes.size(), "no CR LF (CR alone)") : AsciiCut {};
    if (bytes[end + 1] != '\n')
        return notFrame(end + 1, "no CR LF (CR alone)");
    return decode(bytes.substr(1, end - 1), end + 2);
}

std::string AsciiText(std::string_view wire)
{
    std::string text;
    for (const char c : wire) {
        if (c == '\r')
            text += "<CR>";
        else if (c == '\n')
            text += "<LF>";
        else if (c >= ' ' && c < 127)
            text += c;
        else
            text += "<" + hexByte(std::uint8_t(c)) + ">";
    }
    return text;
}

} // namespace modbus
