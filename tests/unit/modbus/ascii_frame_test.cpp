// Modbus ASCII frames built and cut on the standard's worked examples, fed whole, byte by byte
// and in chunks, with noise before and between frames, a pause inside, a wrong LRC, lower-case
// hex and a missing LF: every way of delivering gives the same cuts.
#include "modbus/ascii_frame.h"
#include "modbus/byte_string.h"
#include "requests/request_language.h"

#include <gtest/gtest.h>

using namespace modbus;

namespace {

ByteString hexBytes(const char* hex) { return *ParseHexBytes(hex); }

// What cutting the text gives, fed in pieces of size chunk (0: whole); the line falls silent
// only after the last piece.
std::vector<std::string> cuts(const std::string& text, std::size_t chunk)
{
    std::vector<std::string> out;
    std::string buffer;
    const std::size_t step = chunk == 0 ? text.size() : chunk;
    for (std::size_t at = 0; at < text.size() || !buffer.empty(); at += step) {
        buffer += text.substr(std::min(at, text.size()), step);
        const bool silent = at + step >= text.size();
        for (AsciiCut cut; !buffer.empty() && (cut = CutAscii(buffer, silent)).length > 0;) {
            switch (cut.kind) {
            case AsciiCut::Kind::Frame:
                out.push_back(HexBytes(cut.adu) + (cut.lrcGood ? "" : " | " + cut.why));
                break;
            case AsciiCut::Kind::Noise:
                out.push_back("noise " + std::to_string(cut.length));
                break;
            default:
                out.push_back(cut.why);
            }
            buffer.erase(0, cut.length);
        }
        if (silent)
            break;
    }
    return out;
}

TEST(AsciiFrame, WorkedExamplesAreBuiltAsTheStandardWritesThem)
{
    EXPECT_EQ(BuildAscii(hexBytes("11 03 00 6B 00 03")), ":1103006B00037E\r\n");
    EXPECT_EQ(BuildAscii(hexBytes("11 03 06 02 2B 00 00 00 64")), ":110306022B0000006455\r\n");
    EXPECT_EQ(BuildAscii(hexBytes("11 03 00 00 00 02")), ":110300000002EA\r\n");
    EXPECT_EQ(Lrc(hexBytes("11 03 04 00 0A 00 14")), 0xCA);
    EXPECT_EQ(AsciiText(":01\r\n\x01"), ":01<CR><LF><01>");
}

TEST(AsciiFrame, EveryDeliveryCutsTheSameFrames)
{
    const struct
    {
        const char* what;
        std::string text;
        std::vector<std::string> cuts;
    } rows[] = {
        { "a request", ":1103006B00037E\r\n", { "11 03 00 6B 00 03" } },
        { "its reply", ":110306022B0000006455\r\n", { "11 03 06 02 2B 00 00 00 64" } },
        { "two frames back to back", ":110300000002EA\r\n:110304000A0014CA\r\n",
            { "11 03 00 00 00 02", "11 03 04 00 0A 00 14" } },
        { "noise before and between",
            std::string("\x00\xFF", 2) + ":110300000002EA\r\nxy:110304000A0014CA\r\n",
            { "noise 2", "11 03 00 00 00 02", "noise 2", "11 03 04 00 0A 00 14" } },
        { "lower-case hex", ":1103006b00037e\r\n", { "11 03 00 6B 00 03" } },
        { "a wrong LRC", ":1103006B00037F\r\n", { "11 03 00 6B 00 03 | LRC BAD (expected 7E)" } },
        { "a missing LF, then a frame", ":1103006B00037E\r:110300000002EA\r\n",
            { "not a frame: no CR LF (CR alone)", "11 03 00 00 00 02" } },
        { "cut short by the next frame", ":110306022B00:110300000002EA\r\n",
            { "not a frame: cut short by a new ':' before CR LF", "11 03 00 00 00 02" } },
        { "odd hex", ":1103006B00037\r\n", { "not a frame: odd hex (13 digits)" } },
        { "not hex", ":11030G6B00037E\r\n", { "not a frame: a character that is not hex (G)" } },
        { "too short", ":11EF\r\n",
            { "not a frame: too short for an address, a function and an LRC" } },
        { "silence before the end", ":1103006B", { "not a frame: no CR LF" } },
        { "no ':' at all", "1103006B00037E\r\n", { "not a frame: no ':'" } },
    };
    for (const auto& row : rows)
        for (const std::size_t chunk : { std::size_t(0), std::size_t(1), std::size_t(5) })
            EXPECT_EQ(cuts(row.text, chunk), row.cuts) << row.what << ", in pieces of " << chunk;
    // A pause inside a frame: what has come waits for the rest while the line may still bring it.
    EXPECT_EQ(CutAscii(":1103006B", false).kind, AsciiCut::Kind::NeedMore);
    EXPECT_EQ(CutAscii(":1103006B00037E\r", false).kind, AsciiCut::Kind::NeedMore);
    EXPECT_EQ(CutAscii("  ", false).kind, AsciiCut::Kind::NeedMore) << "a ':' may still come";
}

} // namespace
