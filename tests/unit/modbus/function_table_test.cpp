// Every function of the table, from the standard's worked examples: the command that asks it,
// the request bytes, the reply's length, whether the reply copies the request, the details.
#include "modbus/crc16.h"
#include "modbus/frame_details.h"
#include "modbus/function_table.h"
#include "requests/read_back.h"
#include "requests/request_language.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <clocale>

using namespace modbus;

namespace {

ByteString framed(int slave, std::string_view pduHex)
{
    ByteString body(1, CharOf(std::uint8_t(slave)));
    body += *ParseHexBytes(pduHex);
    return body + *CRC16(body);
}

// Each row's first two cells, "Coil=1", joined by "; ", then the summary after " / ".
std::string brief(const DetailTable& table)
{
    std::string text;
    for (const auto& row : table.rows)
        text += (text.empty() ? "" : "; ") + row[0] + "=" + row[1];
    return table.summary.empty() ? text : text + " / " + table.summary;
}

struct Example
{
    const char* command;
    const char* request; // PDU
    const char* reply; // PDU
    bool copies;
    const char* details;
};

TEST(FunctionTable, TheStandardsExamplesByteForByte)
{
    const Example examples[] = {
        { "read-coils 19 19", "01 00 13 00 13", "01 03 CD 6B 05", false,
            nullptr /* 19 rows: checked by the summary */ },
        { "read-discrete 196 22", "02 00 C4 00 16", "02 03 AC DB 35", false, nullptr },
        { "read-holding 107 3", "03 00 6B 00 03", "03 06 02 2B 00 00 00 64", false,
            "107 (0x006B)=0x022B; 108 (0x006C)=0x0000; 109 (0x006D)=0x0064" },
        { "read-input 8 1", "04 00 08 00 01", "04 02 00 0A", false, "8 (0x0008)=0x000A" },
        { "write-coil 172 1", "05 00 AC FF 00", "05 00 AC FF 00", true,
            "Echo=matches the request; Coil=172 (0x00AC); Value=65280 (0xFF00)" },
        { "write-register 1 3", "06 00 01 00 03", "06 00 01 00 03", true,
            "Echo=matches the request; Register=1 (0x0001); Value=3 (0x0003)" },
        { "diagnostics 0 A5 37", "08 00 00 A5 37", "08 00 00 A5 37", true,
            "Sub-function=0 Return Query Data; Data (hex)=A5 37; Echo=matches the request" },
        { "diagnostics 10 00 00", "08 00 0A 00 00", "08 00 0A 00 00", false,
            "Sub-function=10; Data (hex)=00 00" },
        { "write-coils 19 1 0 1 1 0 0 1 1 1 0", "0F 00 13 00 0A 02 CD 01", "0F 00 13 00 0A", false,
            "Echo=matches the request; Start=19 (0x0013); Quantity=10 (0x000A)" },
        { "write-registers 1 10 258", "10 00 01 00 02 04 00 0A 01 02", "10 00 01 00 02", false,
            "Echo=matches the request; Start=1 (0x0001); Quantity=2 (0x0002)" },
        { "server-id", "11", "11 03 51 4C FF", false,
            "Byte count=3; Data (hex)=51 4C FF; Data (text)=QL." },
        { "mask-write 4 0x00F2 0x0025", "16 00 04 00 F2 00 25", "16 00 04 00 F2 00 25", true,
            "Echo=matches the request; Register=4 (0x0004); AND mask=242 (0x00F2); OR mask=37 "
            "(0x0025)" },
        { "read-write 3 6 14 255 255 255", "17 00 03 00 06 00 0E 00 03 06 00 FF 00 FF 00 FF",
            "17 0C 00 FE 0A CD 00 01 00 03 00 0D 00 FF", false,
            "3 (0x0003)=0x00FE; 4 (0x0004)=0x0ACD; 5 (0x0005)=0x0001; 6 (0x0006)=0x0003; 7 "
            "(0x0007)=0x000D; 8 (0x0008)=0x00FF" },
        { "read-fifo 1246", "18 04 DE", "18 00 06 00 02 01 B8 12 84", false,
            "FIFO count=2; Value 1=440 (0x01B8); Value 2=4740 (0x1284)" },
        { "device-id", "2B 0E 01 00",
            "2B 0E 01 01 00 00 03 00 04 41 63 6D 65 01 02 51 31 02 03 31 2E 30", false,
            "Read code=1 basic; Conformity level=0x01; More follows=no; Next object id=0; 0 "
            "VendorName=Acme; 1 ProductCode=Q1; 2 MajorMinorRevision=1.0" },
        { "device-id regular 3", "2B 0E 02 03", "2B 0E 02 02 FF 05 01 03 01 48", false,
            "Read code=2 regular; Conformity level=0x02; More follows=yes; Next object id=5; 3 "
            "VendorUrl=H" },
        { "device-id object 128", "2B 0E 04 80", "2B 0E 04 83 00 00 01 80 00", false,
            "Read code=4 one object; Conformity level=0x83; More follows=no; Next object id=0; "
            "128 object 0x80=" },
        { "read-coils 1185 1", "01 04 A1 00 01", "81 02", false, "" },
    };
    for (const Example& e : examples) {
        const ParsedRequest parsed = ParseRequest(e.command);
        ASSERT_EQ(parsed.error, "") << e.command;
        EXPECT_EQ(PrintRequest(parsed.fields), e.command);
        const BuiltRequest built = BuildRequest(17, parsed.fields);
        const ByteString request = framed(17, e.request), reply = framed(17, e.reply);
        EXPECT_EQ(HexBytes(built.frame), HexBytes(request)) << e.command << built.notSent;
        EXPECT_EQ(ReplyFrameLength(reply + "\x11\x03", 0, request), reply.size()) << e.command;
        EXPECT_EQ(ReplyCopiesRequest(request), e.copies) << e.command;
        FrameRow row;
        row.bytes = reply;
        row.request = request;
        if (e.details) {
            EXPECT_EQ(brief(FrameDetails(row, WordOrder::ABCD)), e.details) << e.command;
        }
    }
}

// How long a reply is from its first bytes: nullopt while more are needed, 0 when the code does
// not say (the check bytes then end it).
TEST(FunctionTable, ReplyLengthsFromTheirFirstBytes)
{
    using L = std::optional<std::size_t>;
    const std::tuple<const char*, const char*, L> cases[] = {
        { "01", "", std::nullopt },
        { "01 03", "", std::nullopt }, // the byte count is next
        { "01 03 04", "", 9 },
        { "01 83", "", 5 }, // an exception
        { "01 16", "", 10 },
        { "01 08", "01 08 00 00 A5 37 12 34 ?? ??", 10 }, // as long as its request
        { "01 08", "", 8 },
        { "01 2B 0E 01 01 00 00 01 00", "", std::nullopt }, // an object's length is next
        { "01 2B 0E 01 01 00 00 01 00 03 41", "", std::nullopt }, // its bytes are
        { "01 2B 0E 01 01 00 00 00", "", 10 },
        { "01 2B 0D", "", 0 }, // another MEI type
        { "01 2B 0E 01 01 00 00 01 00 FF", "", 0 }, // no frame is this long
        { "01 41", "", 0 }, // a code the table lacks
        { "01 18 00", "", std::nullopt },
        { "01 18 00 06", "", 12 }, // a two-byte count
        { "01 18 00 FA", "", 256 },
        { "01 18 00 FB", "", 0 }, // no frame is this long
        { "01 98", "", 5 },
    };
    for (const auto& [bytes, request, length] : cases) {
        std::string req = request;
        std::replace(req.begin(), req.end(), '?', '0');
        EXPECT_EQ(ReplyFrameLength(*ParseHexBytes(bytes), 0, *ParseHexBytes(req)), length) << bytes;
    }
}

// How long a request is from its first bytes, as a listener cuts them, and whether it may go to
// address 0: only what changes things, never what reads.
TEST(FunctionTable, RequestLengthsAndWhatMayBeBroadcast)
{
    using L = std::optional<std::size_t>;
    const std::tuple<const char*, L, bool> cases[] = {
        { "01", std::nullopt, false }, { "01 01", 8, false }, { "01 04", 8, false },
        { "01 05", 8, true }, { "01 06", 8, true }, { "01 08", 8, false },
        { "01 0F 00 13 00 0A", std::nullopt, true }, // the byte count is next
        { "01 0F 00 13 00 0A 02", 11, true }, { "01 10 00 01 00 02 04", 13, true },
        { "01 16", 10, true }, { "01 17 00 03 00 06 00 0E 00 03", std::nullopt, false },
        { "01 17 00 03 00 06 00 0E 00 03 06", 19, false }, // it reads: no broadcast
        { "01 11", 4, false }, { "01 18", 6, false }, { "01 2B", 7, false }, { "01 07", 4, false },
        { "01 0B", 4, false }, { "01 0C", 4, false }, // only heard
        { "01 41", 0, false }, // a code the table lacks
    };
    for (const auto& [hex, length, broadcast] : cases) {
        const ByteString request = *ParseHexBytes(hex);
        EXPECT_EQ(RequestFrameLength(request, 0), length) << hex;
        EXPECT_EQ(BroadcastAllowed(ByteAt(request, 1)), broadcast) << hex;
    }
    EXPECT_EQ(BuildRequest(0, ParseRequest("read-holding 0 1").fields).notSent,
        "address 0 is a broadcast, which nobody answers: only writes (5, 6, 15, 16, 22) may go to "
        "it");
}

TEST(FunctionTable, WholeFramesWithTheirCheckBytes)
{
    const std::pair<int, const char*> frames[] = {
        { 17, "read-holding 107 3" },
        { 17, "read-coils 19 37" },
        { 17, "write-coil 172 1" },
        { 1, "read-input 8 1" },
    };
    const char* expected[] = { "11 03 00 6B 00 03 76 87", "11 01 00 13 00 25 0E 84",
        "11 05 00 AC FF 00 4E 8B", "01 04 00 08 00 01 B0 08" };
    for (std::size_t i = 0; i < std::size(frames); ++i)
        EXPECT_EQ(
            HexBytes(BuildRequest(frames[i].first, ParseRequest(frames[i].second).fields).frame),
            expected[i]);
}

TEST(FrameDetails, NumbersDoNotFollowADecimalCommaLocale)
{
    const std::string found = std::setlocale(LC_ALL, nullptr);
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8"))
        GTEST_SKIP() << "locale de_DE.UTF-8 is not installed (scripts/test makes it)";
    FrameRow row;
    row.request = BuildRequest(1, ParseRequest("read-holding 0 2").fields).frame;
    row.bytes = framed(1, "03 04 40 49 0F DB");
    const DetailTable table = FrameDetails(row, WordOrder::ABCD);
    std::setlocale(LC_ALL, found.c_str());
    ASSERT_EQ(table.rows.size(), 2u);
    EXPECT_EQ(table.rows[0][4], "3.1415927");
}

TEST(FunctionTable, BitsAreNumberedFromTheStartAndPaddingIsDropped)
{
    const std::pair<const char*, const char*> cases[] = {
        { "read-coils 19 19", "Coils 19..37: 10110011 11010110 101" },
        { "read-discrete 196 22", "Inputs 196..217: 00110101 11011011 101011" },
    };
    const char* replies[] = { "01 03 CD 6B 05", "02 03 AC DB 35" };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        FrameRow row;
        row.request = BuildRequest(17, ParseRequest(cases[i].first).fields).frame;
        row.bytes = framed(17, replies[i]);
        const DetailTable t = FrameDetails(row, WordOrder::ABCD);
        EXPECT_EQ(t.summary, cases[i].second);
        EXPECT_EQ(t.rows.size(), i == 0 ? 19u : 22u);
        EXPECT_EQ(t.rows.at(1),
            (std::vector<std::string> { i == 0 ? "20 (0x0014)" : "197 (0x00C5)", "0" }));
    }
}

TEST(RequestLanguage, RefusalsSayWhy)
{
    const std::pair<const char*, const char*> refused[] = {
        { "read-holding 0 126", "the quantity of registers must be 1..125" },
        { "read-holding 0 0", "the quantity of registers must be 1..125" },
        { "read-coils 0 2001", "the quantity of bits must be 1..2000" },
        { "read-input 65535 2", "the block ends past address 65535" },
        { "write-register 0 65536", "the value 65536 is outside 16 bits (-32768..65535)" },
        { "write-register 0 -32769", "the value -32769 is outside 16 bits (-32768..65535)" },
        { "write-coil 0 2", "a coil is written 0 or 1" },
        { "write-coils 0 1 0 2", "coils are written 0 or 1" },
        { "write-registers 0", "no values (write-registers START VALUE...)" },
        { "read-write 0 126 0 1", "the quantity read must be 1..125" },
        { "mask-write 0 0x10000 0", "a mask must be 0..65535" },
        { "device-id object 256", "the object id must be 0..255" },
        { "read-fifo 65536", "the FIFO address must be 0..65535" },
        { "read-input 0", "takes 2 arguments (read-input START COUNT)" },
        { "read-input 0 x", "not a number: \"x\" (read-input START COUNT)" },
        { "read-input -1 1", "a negative address or count: -1 (read-input START COUNT)" },
        { "server-id 1", "takes 0 arguments (server-id)" },
        { "raw 0", "raw takes the body in hex, function code first: raw 04 00 00 00 02" },
        { "raw 04 0G", "raw takes the body in hex, function code first: raw 04 00 00 00 02" },
        { "diagnostics 0 A", "the data is not hex (diagnostics SUB [HEX])" },
        { "frobnicate 1", "unknown command \"frobnicate\"" },
        { "", "no command" },
    };
    for (const auto& [command, why] : refused) {
        const ParsedRequest parsed = ParseRequest(command);
        const std::string said
            = parsed.error.empty() ? BuildRequest(1, parsed.fields).notSent : parsed.error;
        EXPECT_EQ(said, why) << command;
    }
}

// Write and verify: the read that reads a write back, and function 16 for one register.
TEST(ReadBack, TheReadOfEachWrite)
{
    const std::pair<const char*, const char*> reads[] = {
        { "write-coil 7 1", "read-coils 7 1" },
        { "write-coils 3 1 0 1", "read-coils 3 3" },
        { "write-register 5 1234", "read-holding 5 1" },
        { "write-registers 10 7 8", "read-holding 10 2" },
        { "read-write 0 2 40 1 2 3", "read-holding 40 3" }, // what it wrote, not what it read
        { "mask-write 4 0xF0 0x01", "" }, // its result depends on what was there
        { "read-holding 0 1", "" },
        { "raw 06 00 01 00 02", "" },
    };
    for (const auto& [write, read] : reads) {
        const auto back = ReadBackOf(ParseRequest(write).fields);
        EXPECT_EQ(back ? PrintRequest(*back) : "", read) << write;
    }
    const RequestFields one = WithFunction16(ParseRequest("write-register 6 77").fields);
    EXPECT_EQ(HexBytes(BuildRequest(1, one).frame).substr(0, 26), "01 10 00 06 00 01 02 00 4D");
    EXPECT_EQ(WithFunction16(ParseRequest("write-coil 6 1").fields).function, 5);
}

TEST(RequestLanguage, RawBodiesAndValueForms)
{
    const std::pair<const char*, const char*> built[] = {
        { "raw 04 00 00 00 02", "01 04 00 00 00 02 71 CB" },
        { "raw 0400000002 no-crc", "01 04 00 00 00 02" },
        { "raw 04 00 00 00 02 bad-crc", "01 04 00 00 00 02 8E CB" },
    };
    for (const auto& [command, frame] : built) {
        const ParsedRequest parsed = ParseRequest(command);
        EXPECT_EQ(HexBytes(BuildRequest(1, parsed.fields).frame), frame) << command << parsed.error;
    }
    // Bodies without their check bytes, which the rows above cover.
    const std::pair<const char*, const char*> bodies[] = {
        { "write-registers 0 10 0x1F -5 65535", "01 10 00 00 00 04 08 00 0A 00 1F FF FB FF FF" },
        { "read-input 0x10 0X2", "01 04 00 10 00 02" },
        { "diagnostics 10", "01 08 00 0A 00 00" },
        { "device-id extended", "01 2B 0E 03 00" },
    };
    for (const auto& [command, body] : bodies) {
        const ByteString frame = BuildRequest(1, ParseRequest(command).fields).frame;
        EXPECT_EQ(HexBytes(frame.substr(0, frame.size() - 2)), body) << command;
    }
    EXPECT_EQ(PrintRequest(ParseRequest("read-input 0x10 0X2").fields), "read-input 16 2");
    EXPECT_EQ(PrintRequest(ParseRequest("raw 04 00 no-crc").fields), "raw 04 00 no-crc");
    EXPECT_FALSE(ParseInteger("4294967296"));
    EXPECT_EQ(ParseInteger("-0x8000"), -32768);
    // Lists of slave addresses: in the order given, each once; anything else refused.
    const std::pair<const char*, std::optional<std::vector<int>>> lists[] = {
        { "1,3,5-8", std::vector { 1, 3, 5, 6, 7, 8 } },
        { "17", std::vector { 17 } },
        { "9,2-3,3", std::vector { 9, 2, 3 } },
        { "0-0,255", std::vector { 0, 255 } },
        { "5-2", std::nullopt },
        { "256", std::nullopt },
        { "1,,2", std::nullopt },
        { "", std::nullopt },
        { "-1", std::nullopt },
        { "1-", std::nullopt },
        { "a", std::nullopt },
    };
    for (const auto& [text, numbers] : lists)
        EXPECT_EQ(ParseNumberList(text, 0, 255), numbers) << text;
}

} // namespace
