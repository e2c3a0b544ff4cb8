// Each framer on the standard's worked examples: the wire it writes, and what it cuts from that
// wire fed whole, byte by byte and in chunks, with noise before and a fault inside.
#include "modbus/byte_string.h"
#include "modbus/wire_framer.h"
#include "requests/request_language.h"

#include <gtest/gtest.h>

using namespace modbus;

namespace {

ByteString hexBytes(const char* hex) { return *ParseHexBytes(hex); }

// The cuts of wire fed in pieces of chunk bytes (0: whole), the line silent after the last.
std::vector<std::string> cutsOf(
    const WireFramer& framer, const ByteString& wire, std::size_t chunk, Sender sender)
{
    std::vector<std::string> out;
    ByteString held;
    const std::size_t step = chunk == 0 ? wire.size() : chunk;
    for (std::size_t at = 0; at < wire.size(); at += step) {
        held += wire.substr(at, step);
        const bool silent = at + step >= wire.size();
        for (WireCut cut; !held.empty() && (cut = framer.cut(held, silent, sender)).length > 0;) {
            out.push_back(cut.kind == WireCut::Kind::Frame
                    ? HexBytes(cut.adu) + (cut.checkGood ? "" : " | " + cut.why)
                    : cut.kind == WireCut::Kind::Noise ? "noise " + std::to_string(cut.length)
                                                       : cut.why);
            held.erase(0, cut.length);
        }
    }
    return out;
}

TEST(WireFramer, EachFormatWritesAndCutsTheWorkedExamples)
{
    const struct
    {
        Framing framing;
        Sender sender;
        const char* adu;
        ByteString wire; // what wrap writes
        ByteString around; // what arrives: the wire with noise or a fault
        std::vector<std::string> cuts;
    } rows[] = {
        { Framing::Ascii, Sender::Master, "11 03 00 6B 00 03", ":1103006B00037E\r\n",
            "xy:1103006B00037E\r\n", { "noise 2", "11 03 00 6B 00 03" } },
        { Framing::Ascii, Sender::Slave, "11 03 06 02 2B 00 00 00 64", ":110306022B0000006455\r\n",
            ":110306022b0000006456\r\n", { "11 03 06 02 2B 00 00 00 64 | LRC BAD (expected 55)" } },
        { Framing::Rtu, Sender::Master, "11 03 00 6B 00 03", hexBytes("11 03 00 6B 00 03 76 87"),
            hexBytes("11 03 00 6B 00 03 76 87"), { "11 03 00 6B 00 03" } },
        { Framing::Rtu, Sender::Slave, "11 03 06 02 2B 00 00 00 64",
            hexBytes("11 03 06 02 2B 00 00 00 64 C8 BA"),
            hexBytes("11 03 06 02 2B 00 00 00 64 C8 BB"),
            { "11 03 06 02 2B 00 00 00 64 | CRC BAD (expected C8 BA)" } },
        { Framing::Rtu, Sender::Slave, "11 83 02", hexBytes("11 83 02 C1 34"),
            hexBytes("11 03 06 02 2B"), { "not a frame: cut short, 5 of 11 bytes" } },
        { Framing::MbapStream, Sender::Master, "11 03 00 6B 00 03",
            hexBytes("00 00 00 00 00 06 11 03 00 6B 00 03"),
            hexBytes("00 00 00 05 00 03 11 03 00 00 00 00 00 00 06 11 03 00 6B 00 03"),
            { "not a frame: protocol id 5, not 0", "11 03 00 6B 00 03" } },
    };
    for (const auto& row : rows) {
        const WireFramer& framer = FramerOf(row.framing);
        EXPECT_EQ(framer.framing(), row.framing);
        EXPECT_EQ(framer.wrap(hexBytes(row.adu)), row.wire) << row.adu;
        EXPECT_EQ(framer.wireLength(hexBytes(row.adu).size()), row.wire.size()) << row.adu;
        EXPECT_EQ(cutsOf(framer, row.wire, 0, row.sender),
            std::vector<std::string> { HexBytes(hexBytes(row.adu)) })
            << "its own wire, " << row.adu;
        for (const std::size_t chunk : { std::size_t(0), std::size_t(1), std::size_t(4) })
            EXPECT_EQ(cutsOf(framer, row.around, chunk, row.sender), row.cuts)
                << row.adu << ", in pieces of " << chunk;
    }
}

TEST(WireFramer, PausesInsideAFrameAndTheirEnds)
{
    // 19200 bit/s 8N1: a character takes 521 us; RTU allows 1.5 of them, ASCII a second.
    EXPECT_EQ(FramerOf(Framing::Rtu).pauseInsideUs(521), 781);
    EXPECT_EQ(FramerOf(Framing::Ascii).pauseInsideUs(521), 1'000'000);
    EXPECT_FALSE(FramerOf(Framing::Rtu).delimited()) << "RTU frames end at a silence";
    EXPECT_TRUE(FramerOf(Framing::Ascii).delimited());
    // An RTU frame of a function the table cannot measure waits for the silence.
    const ByteString unknown = FramerOf(Framing::Rtu).wrap(hexBytes("11 41 01"));
    EXPECT_EQ(
        FramerOf(Framing::Rtu).cut(unknown, false, Sender::Slave).kind, WireCut::Kind::NeedMore);
    EXPECT_EQ(FramerOf(Framing::Rtu).cut(unknown, true, Sender::Slave).kind, WireCut::Kind::Frame);
    EXPECT_EQ(FramerOf(Framing::Ascii).text(":01\r\n"), ":01<CR><LF>");
}

} // namespace
