// Frames on the line as the monitor shows them, from the writes and reads that carried them.
#include "benchfiles/named_details.h"
#include "benchfiles/register_map.h"
#include "modbus/ascii_frame.h"
#include "modbus/crc16.h"
#include "modbus/frame_analysis.h"
#include "modbus/frame_details.h"
#include "tests/support/byte_list.h"

#include <gtest/gtest.h>

using namespace modbus;

namespace {

ByteString framed(std::initializer_list<int> body)
{
    const ByteString b = bytes(body);
    return b + *CRC16(b);
}

const ByteString kRead = framed({ 48, 3, 0, 0, 0, 1 }); // 30 03 00 00 00 01 80 2B
const ByteString kReply = framed({ 48, 3, 2, 0, 10 }); // 30 03 02 00 0A 45 87

// 'W' a Modbus request written whole, 'T' raw text written, 'R' a read (empty: silence).
struct Event
{
    char what;
    ByteString bytes;
    int ms;
};

// One line per row: "RX 30 03 02 00 0A 45 87 | CRC OK | 20 ms"; hint rows read "hint".
std::vector<std::string> rowsOf(const std::vector<Event>& events, Framing framing = Framing::Rtu)
{
    const bool line = framing == Framing::Rtu || framing == Framing::Ascii;
    FrameAnalyzer analyzer(line ? "19200 8N1" : "tcp://gw:502");
    if (line)
        analyzer.setFraming(framing);
    else
        analyzer.setNetwork(framing);
    for (const Event& e : events) {
        const LineTime at { e.ms * 1000LL, e.ms };
        if (e.what == 'R')
            analyzer.read(e.bytes, at);
        else
            analyzer.written(e.bytes, int(e.bytes.size()), e.what == 'T', at);
    }
    std::vector<std::string> out;
    for (const FrameRow& row : analyzer.take()) {
        if (row.kind == RowKind::Hint || row.kind == RowKind::Note) {
            out.push_back(row.kind == RowKind::Hint ? "hint" : "note");
            continue;
        }
        std::string line = row.kind == RowKind::Request                        ? "TX "
            : row.kind == RowKind::NoReply || row.kind == RowKind::Interrupted ? "-- "
                                                                               : "RX ";
        const ByteString& wire = row.wire.empty() ? row.bytes : row.wire;
        line
            += (framing == Framing::Ascii ? AsciiText(wire) : HexBytes(wire)) + " | " + row.verdict;
        if (row.replyMs)
            line += " | " + std::to_string(int(*row.replyMs)) + " ms";
        out.push_back(line);
    }
    return out;
}

struct Scenario
{
    const char* what;
    std::vector<Event> events;
    std::vector<std::string> rows;
};

TEST(FrameAnalyzer, RowsFromWritesAndReads)
{
    const std::string tx = "TX 30 03 00 00 00 01 80 2B | sent";
    const std::string ok = "RX 30 03 02 00 0A 45 87 | CRC OK";
    const ByteString kWrite = framed({ 48, 6, 0, 1, 0, 10 });
    const ByteString kCoil = framed({ 48, 5, 0, 0xAC, 0xFF, 0 });
    const std::string txWrite = "TX " + HexBytes(kWrite) + " | sent";
    const std::string rxWrite = "RX " + HexBytes(kWrite) + " | CRC OK";
    const std::string copy = ", a copy of the request: if this adapter hears itself, set echo on";
    const std::string echo = "RX 30 03 00 00 00 01 80 2B | echo of the request";
    const std::string echoWrite = "RX " + HexBytes(kWrite) + " | echo of the request";
    const Scenario scenarios[] = {
        { "good reply", { { 'W', kRead, 0 }, { 'R', kReply, 20 } }, { tx, ok + " | 20 ms" } },
        // Judged at the silence after it: its real end might still have been coming.
        { "bad check bytes",
            { { 'W', kRead, 0 }, { 'R', bytes({ 48, 3, 2, 0, 10, 0, 0 }), 25 }, { 'R', "", 45 } },
            { tx, "RX 30 03 02 00 0A 00 00 | CRC BAD (expected 45 87) | 25 ms" } },
        { "a reply in two reads",
            { { 'W', kRead, 0 }, { 'R', kReply.substr(0, 4), 256 },
                { 'R', kReply.substr(4), 300 } },
            { tx, ok + ", in 2 reads | 300 ms" } },
        { "two frames in one read", { { 'W', kRead, 0 }, { 'R', kReply + kReply, 30 } },
            { tx, ok + " | 30 ms", ok } },
        { "echo, then the reply", { { 'W', kRead, 0 }, { 'R', kRead + kReply, 40 } },
            { tx, echo, "note", ok + " | 40 ms" } },
        { "echo in two reads",
            { { 'W', kRead, 0 }, { 'R', kRead.substr(0, 3), 10 },
                { 'R', kRead.substr(3) + kReply, 40 } },
            { tx, echo, "note", ok + " | 40 ms" } },
        { "once told, the echo is set aside for the rest of the session, said once",
            { { 'W', kRead, 0 }, { 'R', kRead + kReply, 40 }, { 'W', kWrite, 100 },
                { 'R', kWrite, 130 }, { 'R', kWrite, 150 } },
            { tx, echo, "note", ok + " | 40 ms", txWrite, echoWrite, rxWrite + " | 50 ms" } },
        { "no reply within a second", { { 'W', kRead, 0 }, { 'R', "", 500 }, { 'R', "", 1100 } },
            { tx, "--  | no reply", "hint" } },
        { "no reply yet when the next request went out: no wiring blamed",
            { { 'W', kRead, 0 }, { 'W', kRead, 300 } },
            { tx, "--  | no reply yet when the next request went out", tx } },
        { "no reply before a request after the time-out",
            { { 'W', kRead, 0 }, { 'W', kRead, 1300 } }, { tx, "--  | no reply", "hint", tx } },
        { "a function 6 reply is a copy of the request, not an echo",
            { { 'W', kWrite, 0 }, { 'R', kWrite, 20 }, { 'R', "", 276 } },
            { txWrite, rxWrite + copy + " | 20 ms" } },
        { "a function 5 reply likewise",
            { { 'W', kCoil, 0 }, { 'R', kCoil, 15 }, { 'R', "", 271 } },
            { "TX " + HexBytes(kCoil) + " | sent",
                "RX " + HexBytes(kCoil) + " | CRC OK" + copy + " | 15 ms" } },
        { "a lone copy waits for the next read", { { 'W', kWrite, 0 }, { 'R', kWrite, 20 } },
            { txWrite } },
        { "the echo and the reply in separate reads",
            { { 'W', kWrite, 0 }, { 'R', kWrite, 10 }, { 'R', kWrite, 35 }, { 'R', "", 291 } },
            { txWrite, echoWrite, "note", rxWrite + " | 35 ms" } },
        { "a copy, then another slave's frame: the copy was the reply",
            { { 'W', kWrite, 0 }, { 'R', kWrite + framed({ 47, 6, 0, 1, 0, 10 }), 20 } },
            { txWrite, rxWrite + copy + " | 20 ms",
                "RX " + HexBytes(framed({ 47, 6, 0, 1, 0, 10 })) + " | reply from 47, asked 48" } },
        { "two copies: the echo, then the reply",
            { { 'W', kWrite, 0 }, { 'R', kWrite + kWrite, 20 } },
            { txWrite, echoWrite, "note", rxWrite + " | 20 ms" } },
        { "only an echo is no reply", { { 'W', kRead, 0 }, { 'R', kRead, 20 }, { 'R', "", 1100 } },
            { tx, echo, "note", "--  | no reply (only the adapter's echo)", "hint" } },
        { "another address", { { 'W', kRead, 0 }, { 'R', framed({ 47, 3, 2, 0, 10 }), 20 } },
            { tx, "RX " + HexBytes(framed({ 47, 3, 2, 0, 10 })) + " | reply from 47, asked 48" } },
        { "garbage", { { 'W', kRead, 0 }, { 'R', "AT\r\n", 20 }, { 'R', "", 276 } },
            { tx, "RX 41 54 0D 0A | not a frame", "hint" } },
        { "a stray byte before the reply: skipped, the reply and its time kept",
            { { 'W', kRead, 0 }, { 'R', bytes({ 0 }) + kReply, 20 } },
            { tx, "RX 00 | 1 stray byte before the reply", ok + " | 20 ms" } },
        { "a reply to another function is not the answer",
            { { 'W', kRead, 0 }, { 'R', framed({ 48, 4, 2, 0, 10 }), 20 } },
            { tx,
                "RX " + HexBytes(framed({ 48, 4, 2, 0, 10 }))
                    + " | reply to function 4, asked 3 | 20 ms" } },
        { "a reply after the time-out is late",
            { { 'W', kRead, 0 }, { 'R', "", 1100 }, { 'R', kReply, 1200 } },
            { tx, "--  | no reply", "hint",
                "RX 30 03 02 00 0A 45 87 | late reply, after the time-out" } },
        { "a reply to the request before, known by its length",
            { { 'W', framed({ 48, 3, 0, 0, 0, 2 }), 0 }, { 'W', kRead, 300 },
                { 'R', framed({ 48, 3, 4, 0, 1, 0, 2 }), 310 }, { 'R', kReply, 320 } },
            { "TX " + HexBytes(framed({ 48, 3, 0, 0, 0, 2 })) + " | sent",
                "--  | no reply yet when the next request went out", tx,
                "RX " + HexBytes(framed({ 48, 3, 4, 0, 1, 0, 2 }))
                    + " | late reply to the previous request",
                ok + " | 20 ms" } },
        { "raw text expects no reply", { { 'T', "AT", 0 }, { 'R', "", 1100 } },
            { "TX 41 54 | sent" } },
        { "a broadcast: nothing awaited, nothing missed",
            { { 'W', framed({ 0, 6, 0, 1, 0, 10 }), 0 }, { 'R', "", 1100 } },
            { "TX " + HexBytes(framed({ 0, 6, 0, 1, 0, 10 }))
                + " | broadcast: no reply expected" } },
        { "a FIFO reply cut by its two-byte count from the frame after it",
            { { 'W', framed({ 48, 24, 0, 4 }), 0 },
                { 'R', framed({ 48, 24, 0, 4, 0, 1, 0, 10 }) + framed({ 47, 3, 2, 0, 10 }), 20 } },
            { "TX " + HexBytes(framed({ 48, 24, 0, 4 })) + " | sent",
                "RX " + HexBytes(framed({ 48, 24, 0, 4, 0, 1, 0, 10 })) + " | CRC OK | 20 ms",
                "RX " + HexBytes(framed({ 47, 3, 2, 0, 10 })) + " | reply from 47, asked 48" } },
        { "server ID",
            { { 'W', framed({ 48, 17 }), 0 }, { 'R', framed({ 48, 17, 3, 'Q', 'L', 1 }), 15 } },
            { "TX 30 11 D5 BC | sent",
                "RX " + HexBytes(framed({ 48, 17, 3, 'Q', 'L', 1 })) + " | CRC OK | 15 ms" } },
        { "unknown function with good check bytes", { { 'R', framed({ 48, 43, 1, 2 }), 10 } },
            { "RX 30 2B 01 02 " + HexBytes(CRC16(bytes({ 48, 43, 1, 2 })).value())
                + " | CRC OK" } },
        { "cut short, then silence",
            { { 'W', kRead, 0 }, { 'R', kReply.substr(0, 5), 20 }, { 'R', "", 276 } },
            { tx, "RX 30 03 02 00 0A | not a frame: cut short, 5 of 7 bytes", "hint" } },
    };
    for (const Scenario& s : scenarios)
        EXPECT_EQ(rowsOf(s.events), s.rows) << s.what;
}

TEST(FrameAnalyzer, MbapRowsByTransactionAndLength)
{
    // The standard's worked example: transaction 7, unit 0x11, three holding registers.
    const ByteString request = bytes({ 0, 7, 0, 0, 0, 6, 0x11, 3, 0, 0, 0, 3 });
    const ByteString reply = bytes({ 0, 7, 0, 0, 0, 9, 0x11, 3, 6, 0, 10, 0, 20, 0, 30 });
    ByteString other = reply;
    other[1] = 6; // the reply to transaction 6, come late
    const std::string tx = "TX " + HexBytes(request) + " | sent";
    const std::string ok = "RX " + HexBytes(reply) + " | OK";
    const std::string late = "RX " + HexBytes(other) + " | late reply: transaction 6, awaited 7";
    const Scenario stream[] = {
        { "good reply", { { 'W', request, 0 }, { 'R', reply, 20 } }, { tx, ok + " | 20 ms" } },
        { "in pieces",
            { { 'W', request, 0 }, { 'R', reply.substr(0, 5), 10 }, { 'R', reply.substr(5), 30 } },
            { tx, ok + " | 30 ms" } },
        { "a late one and the answer in one read",
            { { 'W', request, 0 }, { 'R', other + reply, 20 } }, { tx, late, ok + " | 20 ms" } },
        { "the late one alone is no answer: silence follows",
            { { 'W', request, 0 }, { 'R', other, 20 }, { 'R', "", 1100 } },
            { tx, late, "--  | no reply", "hint" } },
        { "protocol id",
            { { 'W', request, 0 }, { 'R', bytes({ 0, 7, 0, 5, 0, 3, 0x11, 3, 0 }), 9 } },
            { tx, "RX 00 07 00 05 00 03 11 03 00 | not a frame: protocol id 5, not 0" } },
        { "a PDU that says another length than the header",
            { { 'W', request, 0 }, { 'R', bytes({ 0, 7, 0, 0, 0, 5, 0x11, 3, 6, 0, 10 }), 9 } },
            { tx,
                "RX 00 07 00 00 00 05 11 03 06 00 0A | not a frame: its PDU disagrees with its "
                "length field" } },
        { "cut short by a pause",
            { { 'W', request, 0 }, { 'R', reply.substr(0, 9), 9 }, { 'R', "", 200 } },
            { tx, "RX " + HexBytes(reply.substr(0, 9)) + " | not a frame: cut short" } },
        { "a gateway's exception 11",
            { { 'W', request, 0 }, { 'R', bytes({ 0, 7, 0, 0, 0, 3, 0x11, 0x83, 11 }), 9 } },
            { tx,
                "RX 00 07 00 00 00 03 11 83 0B | exception 11 GATEWAY TARGET DEVICE FAILED TO "
                "RESPOND | 9 ms" } },
        // No adapter hears itself on Modbus TCP: a write's copy is its reply, and no advice.
        { "a write answered by its copy",
            { { 'W', bytes({ 0, 9, 0, 0, 0, 6, 0x11, 6, 0, 1, 0, 5 }), 0 },
                { 'R', bytes({ 0, 9, 0, 0, 0, 6, 0x11, 6, 0, 1, 0, 5 }), 4 } },
            { "TX 00 09 00 00 00 06 11 06 00 01 00 05 | sent",
                "RX 00 09 00 00 00 06 11 06 00 01 00 05 | OK | 4 ms" } },
        { "a broadcast",
            { { 'W', bytes({ 0, 8, 0, 0, 0, 6, 0, 6, 0, 1, 0, 5 }), 0 }, { 'R', "", 1100 } },
            { "TX 00 08 00 00 00 06 00 06 00 01 00 05 | broadcast: no reply expected" } },
    };
    for (const Scenario& s : stream)
        EXPECT_EQ(rowsOf(s.events, Framing::MbapStream), s.rows) << s.what;
    // A datagram is one frame: its length field must agree with it.
    EXPECT_EQ(rowsOf({ { 'W', request, 0 }, { 'R', reply + reply, 20 } }, Framing::MbapDatagram),
        (std::vector<std::string> { tx,
            "RX " + HexBytes(reply + reply)
                + " | not a frame: length field 9, but 24 bytes follow it" }));
    FrameAnalyzer analyzer;
    analyzer.setNetwork(Framing::MbapStream);
    EXPECT_EQ(analyzer.wireOf(framed({ 0x11, 3, 0, 0, 0, 3 })),
        request.substr(0, 1) + '\1' + request.substr(2))
        << "the first request's transaction is 1";
}

TEST(FrameAnalyzer, AsciiFramesAreJudgedOnTheirText)
{
    const ByteString request = ":1103006B00037E\r\n";
    const ByteString reply = ":110306022B0000006455\r\n";
    const ByteString write = ":110600010003E5\r\n"; // its good reply is a copy
    const std::string tx = "TX :1103006B00037E<CR><LF> | sent";
    const std::string ok = "RX :110306022B0000006455<CR><LF> | LRC OK";
    const Scenario rows[] = {
        { "good reply", { { 'W', request, 0 }, { 'R', reply, 20 } }, { tx, ok + " | 20 ms" } },
        { "in pieces, lower-case",
            { { 'W', request, 0 }, { 'R', ":110306022b", 10 }, { 'R', "0000006455\r\n", 30 } },
            { tx, "RX :110306022b0000006455<CR><LF> | LRC OK | 30 ms" } },
        { "noise before", { { 'W', request, 0 }, { 'R', "\xFF\xFE" + reply, 20 } },
            { tx, "RX <FF><FE> | 2 stray bytes before the reply", ok + " | 20 ms" } },
        { "a wrong LRC", { { 'W', request, 0 }, { 'R', ":110306022B0000006456\r\n", 20 } },
            { tx, "RX :110306022B0000006456<CR><LF> | LRC BAD (expected 55) | 20 ms" } },
        { "odd hex", { { 'W', request, 0 }, { 'R', ":1103060\r\n", 20 } },
            { tx, "RX :1103060<CR><LF> | not a frame: odd hex (7 digits)", "hint" } },
        { "no CR LF before the pause",
            { { 'W', request, 0 }, { 'R', ":110306022B", 20 }, { 'R', "", 1020 } },
            { tx, "RX :110306022B | not a frame: no CR LF", "hint" } },
        { "a length its function does not give",
            { { 'W', request, 0 }, { 'R', ":110306022BB9\r\n", 20 } },
            { tx, "RX :110306022BB9<CR><LF> | not a frame: its length does not fit its function",
                "hint" } },
        { "the echo, then the reply", { { 'W', request, 0 }, { 'R', request + reply, 20 } },
            { tx, "RX :1103006B00037E<CR><LF> | echo of the request", "note", ok + " | 20 ms" } },
        { "a write's echo and its copy",
            { { 'W', write, 0 }, { 'R', write, 10 }, { 'R', write, 20 } },
            { "TX :110600010003E5<CR><LF> | sent",
                "RX :110600010003E5<CR><LF> | echo of the request", "note",
                "RX :110600010003E5<CR><LF> | LRC OK | 20 ms" } },
        { "an exception", { { 'W', request, 0 }, { 'R', ":1183026A\r\n", 15 } },
            { tx, "RX :1183026A<CR><LF> | exception 2 ILLEGAL DATA ADDRESS | 15 ms" } },
        { "silence", { { 'W', request, 0 }, { 'R', "", 1100 } }, { tx, "--  | no reply", "hint" } },
    };
    for (const Scenario& s : rows)
        EXPECT_EQ(rowsOf(s.events, Framing::Ascii), s.rows) << s.what;
    FrameAnalyzer analyzer;
    analyzer.setFraming(Framing::Ascii);
    EXPECT_EQ(analyzer.wireOf(framed({ 0x11, 3, 0, 0x6B, 0, 3 })), request);
    EXPECT_EQ(analyzer.wireOf(bytes({ 0x11, 3, 0, 0x6B, 0, 3, 0, 0 })), ":1103006B000370\r\n")
        << "wrong check bytes on purpose: a wrong LRC";
}

TEST(FrameAnalyzer, ExceptionNamesAndCounts)
{
    const std::pair<int, const char*> names[] = {
        { 1, "exception 1 ILLEGAL FUNCTION" },
        { 2, "exception 2 ILLEGAL DATA ADDRESS" },
        { 3, "exception 3 ILLEGAL DATA VALUE" },
        { 4, "exception 4 SERVER DEVICE FAILURE" },
        { 5, "exception 5 ACKNOWLEDGE" },
        { 6, "exception 6 SERVER DEVICE BUSY" },
        { 7, "exception 7" },
        { 8, "exception 8 MEMORY PARITY ERROR" },
        { 10, "exception 10 GATEWAY PATH UNAVAILABLE" },
        { 11, "exception 11 GATEWAY TARGET DEVICE FAILED TO RESPOND" },
        { 12, "exception 12" },
    };
    FrameAnalyzer analyzer;
    for (const auto& [code, verdict] : names) {
        analyzer.written(kRead, 8, false, {});
        analyzer.read(framed({ 48, 0x83, code }), {});
        const std::vector<FrameRow> rows = analyzer.take();
        ASSERT_EQ(rows.size(), 2u) << code;
        EXPECT_EQ(rows[1].verdict, verdict);
        EXPECT_EQ(rows[1].function, "3 Read Holding Registers");
    }
    analyzer.read(bytes({ 48, 3, 2, 0, 10, 0, 0 }), {});
    analyzer.written(kRead, 8, false, {});
    analyzer.written(kRead, 8, false, { 2'000'000, 2000 }); // the one before had no reply
    const LineCounts& c = analyzer.counts();
    EXPECT_EQ(std::tuple(c.requests, c.replies, c.crcBad, c.exceptions, c.noReply),
        std::tuple(13, 12, 1, 11, 1));
}

TEST(FrameAnalyzer, A125RegisterReplyAt9600IsOneFrameOverTwoReads)
{
    ByteString body = bytes({ 48, 3, 250 });
    for (int i = 0; i < 250; ++i)
        body.push_back(char(i));
    const ByteString reply = body + *CRC16(body);
    FrameAnalyzer analyzer;
    analyzer.written(framed({ 48, 3, 0, 0, 0, 125 }), 8, false, { 0, 0 });
    analyzer.read(reply.substr(0, 245), { 256'000, 256 }); // the first read's total time-out
    analyzer.read(reply.substr(245), { 286'000, 286 });
    const std::vector<FrameRow> rows = analyzer.take();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1].bytes, reply);
    EXPECT_EQ(rows[1].verdict, "CRC OK, in 2 reads");
    EXPECT_EQ(rows[1].replyMs, 286.0);
}

// A header line and a line per row, cells separated by tabs, as the details are copied.
std::string TabSeparated(const DetailTable& table)
{
    std::string text;
    const auto line = [&](const std::vector<std::string>& cells) {
        for (std::size_t i = 0; i < cells.size(); ++i)
            text += (i ? "\t" : "") + cells[i];
        text += "\n";
    };
    line(table.headers);
    for (const auto& row : table.rows)
        line(row);
    return text;
}

FrameRow readReply(const std::vector<int>& registerBytes, int start)
{
    ByteString body = bytes({ 48, 3, int(registerBytes.size()) });
    for (int b : registerBytes)
        body.push_back(char(b));
    FrameRow row;
    row.bytes = body + *CRC16(body);
    row.request = framed({ 48, 3, start >> 8, start & 255, 0, int(registerBytes.size() / 2) });
    return row;
}

TEST(FrameDetails, RegistersInEveryWordOrder)
{
    const std::pair<WordOrder, std::vector<int>> pi[] = {
        { WordOrder::ABCD, { 0x40, 0x49, 0x0F, 0xDB } },
        { WordOrder::CDAB, { 0x0F, 0xDB, 0x40, 0x49 } },
        { WordOrder::BADC, { 0x49, 0x40, 0xDB, 0x0F } },
        { WordOrder::DCBA, { 0xDB, 0x0F, 0x49, 0x40 } },
    };
    for (const auto& [order, laidOut] : pi) {
        const DetailTable t = FrameDetails(readReply(laidOut, 100), order);
        ASSERT_EQ(t.rows.size(), 2u);
        EXPECT_EQ(t.rows[0][4], "3.1415927") << t.headers[4];
        EXPECT_EQ(t.rows[0][6], "1078530011") << t.headers[6];
        EXPECT_EQ(t.rows[1][4], "") << "a pair is shown once, on its first register";
    }
    const DetailTable t
        = FrameDetails(readReply({ 0xFF, 0xFF, 0xFF, 0xFE, 0x00, 0x0A }, 65535), WordOrder::ABCD);
    EXPECT_EQ(TabSeparated(t),
        "Register\tHex\tUnsigned\tSigned\tFloat ABCD\tInt32 ABCD\tUInt32 ABCD\n"
        "65535 (0xFFFF)\t0xFFFF\t65535\t-1\tNaN\t-2\t4294967294\n"
        "0 (0x0000)\t0xFFFE\t65534\t-2\t\t\t\n"
        "1 (0x0001)\t0x000A\t10\t10\t\t\t\n");
}

TEST(FrameDetails, ServerIdAndWriteEchoes)
{
    FrameRow id;
    id.bytes = framed({ 48, 17, 4, 'Q', 'L', 0, 0xFF });
    EXPECT_EQ(TabSeparated(FrameDetails(id, WordOrder::ABCD)),
        "Field\tValue\nByte count\t4\nData (hex)\t51 4C 00 FF\nData (text)\tQL..\n");

    FrameRow echo;
    echo.request = framed({ 48, 6, 0, 1, 0, 10 });
    echo.bytes = echo.request;
    EXPECT_EQ(FrameDetails(echo, WordOrder::ABCD).rows[0][1], "matches the request");
    echo.bytes = framed({ 48, 6, 0, 1, 0, 11 });
    EXPECT_EQ(FrameDetails(echo, WordOrder::ABCD).rows[0][1],
        "differs from the request: Value 0x000B, asked 0x000A");
    FrameRow multiple;
    multiple.request = framed({ 48, 16, 0, 0, 0, 1, 2, 0, 0 });
    multiple.bytes = framed({ 48, 16, 0, 0, 0, 1 });
    EXPECT_EQ(FrameDetails(multiple, WordOrder::ABCD).rows[0][1], "matches the request");
    multiple.kind = RowKind::NotFrame;
    EXPECT_TRUE(FrameDetails(multiple, WordOrder::ABCD).rows.empty());
}

// With a map, a float at an odd offset is read from its own address, not paired from the start.
TEST(FrameDetails, NamedWithAMapFromTheirMappedAddresses)
{
    const RegisterMap map = ReadRegisterMap("table,address,name,type,scale,unit\n"
                                            "holding,101,level,f32,,m\n"
                                            "holding,100,supply,u16,0.001,V\n"
                                            "input,100,elsewhere,u16,,\n");
    const FrameRow reply = readReply({ 0x03, 0xE8, 0x40, 0x49, 0x0F, 0xDB }, 100);
    EXPECT_EQ(TabSeparated(
                  NamedDetails(FrameDetails(reply, WordOrder::ABCD), reply, map, WordOrder::ABCD)),
        "Register\tName\tValue\tHex\tUnsigned\tSigned\tFloat ABCD\tInt32 ABCD\tUInt32 ABCD\n"
        "100 (0x0064)\tsupply\t1 V\t0x03E8\t1000\t1000\t1.3650494e-36\t65552457\t65552457\n"
        "101 (0x0065)\tlevel\t3.1415927 m\t0x4049\t16457\t16457\t\t\t\n"
        "102 (0x0066)\t(level)\t\t0x0FDB\t4059\t4059\t\t\t\n");
    // Nothing named in what the reply carries: the table as it was.
    const FrameRow other = readReply({ 0, 1 }, 0);
    const DetailTable plain = FrameDetails(other, WordOrder::ABCD);
    EXPECT_EQ(TabSeparated(NamedDetails(plain, other, map, WordOrder::ABCD)), TabSeparated(plain));
}

} // namespace

// Every row shows something: a request decoded field by field, whatever its function; a frame
// with wrong check bytes what came and what was due, its values withheld; any other row its
// verdict whole, with the hint that follows a no reply.
TEST(RowDetails, EveryRowShowsWhatItIs)
{
    const auto request = [](std::initializer_list<int> body) {
        FrameRow row;
        row.kind = RowKind::Request;
        row.bytes = framed(body);
        return row;
    };
    FrameRow rtuBad;
    rtuBad.kind = RowKind::CrcBad;
    rtuBad.verdict = "CRC BAD (expected 45 87)";
    rtuBad.bytes = bytes({ 48, 3, 2, 0, 10, 0x45, 0x88 });
    FrameRow asciiBad = rtuBad;
    asciiBad.verdict = "LRC BAD (expected BF)";
    asciiBad.bytes = framed({ 0x30, 3, 4, 0, 0, 0, 0x0A });
    asciiBad.wire = ":3003040000000AAA\r\n";
    FrameRow missed;
    missed.kind = RowKind::NoReply;
    missed.verdict = "no reply";
    missed.request = kRead;
    const std::string withheld
        = "Values\twithheld: bytes the check does not vouch for are no values\n";
    const struct
    {
        FrameRow row;
        std::string note;
        std::string shown; // the rows after the slave and the function, for requests
    } rows[] = {
        { request({ 17, 3, 0, 0x6B, 0, 3 }), "", "Start\t107\nQuantity\t3\n" },
        { request({ 17, 16, 0, 1, 0, 2, 4, 0, 0x0A, 1, 2 }), "",
            "Start\t1\nQuantity\t2\nValues\t10 258\n" },
        { request({ 17, 15, 0, 0x13, 0, 0x0A, 2, 0xCD, 0x01 }), "",
            "Start\t19\nQuantity\t10\nValues\t1 0 1 1 0 0 1 1 1 0\n" },
        { request({ 17, 15, 0, 0x13, 0, 0x0A, 2, 0xCD }), "",
            "Start\t19\nQuantity\t10\nValues\t1 0 1 1 0 0 1 1 (cut short)\n" },
        { request({ 17, 5, 0, 0xAC, 0xFF, 0 }), "", "Address\t172\nValue\t1 (FF 00)\n" },
        { request({ 17, 6, 0, 1, 0, 3 }), "", "Address\t1\nValue\t3\n" },
        { request({ 17, 22, 0, 4, 0, 0xF2, 0, 0x25 }), "",
            "Address\t4\nAND mask\t0x00F2\nOR mask\t0x0025\n" },
        { request({ 17, 23, 0, 3, 0, 6, 0, 0x0E, 0, 3, 6, 0, 0xFF, 0, 0xFF, 0, 0xFF }), "",
            "Read start\t3\nRead quantity\t6\nWrite start\t14\nWrite quantity\t3\n"
            "Values\t255 255 255\n" },
        { request({ 17, 8, 0, 0, 0xA5, 0x37 }), "", "Sub-function\t0\nData (hex)\tA5 37\n" },
        { request({ 17, 0x2B, 0x0E, 1, 0 }), "", "Read code (1-4)\t1\nObject id\t0\n" },
        { request({ 17, 24, 0x04, 0xDE }), "", "FIFO address\t1246\n" },
        { request({ 17, 0x41, 1, 2 }), "", "Data\t01 02\n" },
        { request({ 17, 3, 0 }), "", "Start\t(missing)\nQuantity\t(missing)\n" },
        { rtuBad, "",
            "Verdict\tCRC BAD (expected 45 87)\nCRC received\t45 88\nCRC expected\t45 87\n"
                + withheld },
        { asciiBad, "",
            "Verdict\tLRC BAD (expected BF)\nLRC received\tAA\nLRC expected\tBF\n" + withheld },
        { missed, "Is the slave at 30 (48) powered and wired?",
            "Verdict\tno reply\nRequest\t30 03 00 00 00 01 80 2B\nHint\tIs the slave at 30 (48) "
            "powered and wired?\n" },
    };
    for (const auto& r : rows) {
        std::string text = TabSeparated(RowDetails(r.row, WordOrder::ABCD, r.note));
        if (r.row.kind == RowKind::Request) {
            const std::string head = "Field\tValue\nSlave\t17\nFunction\t";
            ASSERT_EQ(text.substr(0, head.size()), head) << text;
            text = text.substr(text.find('\n', head.size()) + 1);
        } else {
            text = text.substr(text.find('\n') + 1);
        }
        EXPECT_EQ(text, r.shown) << HexBytes(r.row.bytes);
    }
}

// A hint is said once a run for each slave, fits what the slave has done (one that answers
// most of its requests is intermittent, not miswired), and never suggests the setting the line
// is at already.
TEST(FrameAnalyzer, HintsAreSaidOnceARunAndFitTheSlave)
{
    const auto poll = [](FrameAnalyzer& analyzer, bool answered, int& ms) {
        analyzer.written(kRead, int(kRead.size()), false, { ms * 1000LL, ms });
        if (answered)
            analyzer.read(kReply, { (ms + 20) * 1000LL, ms + 20 });
        ms += 1500; // past the no-reply time: the next request shows a silence
    };
    const auto hints = [](FrameAnalyzer& analyzer) {
        std::vector<std::string> said;
        for (const FrameRow& row : analyzer.take())
            if (row.kind == RowKind::Hint)
                said.push_back(row.verdict.substr(0, row.verdict.find(';')));
        return said;
    };
    const struct
    {
        const char* line;
        std::vector<bool> answered; // poll by poll
        bool newRunAfter;
        std::vector<std::string> said; // each hint up to its first ';'
    } cases[] = {
        { "19200 8N1", { false, false, false }, false, { "try: 1. the slave address (asked 48)" } },
        { "19200 8N1", { true, true, true, false, false }, false,
            { "slave 48 answered 3 of 4: intermittent" } },
        { "19200 8N1", { false, false }, true,
            { "try: 1. the slave address (asked 48)", "try: 1. the slave address (asked 48)" } },
    };
    for (const auto& c : cases) {
        FrameAnalyzer analyzer(c.line);
        int ms = 0;
        std::vector<std::string> said;
        for (int pass = 0; pass < (c.newRunAfter ? 2 : 1); ++pass) {
            for (const bool answered : c.answered)
                poll(analyzer, answered, ms);
            analyzer.timedOut({ ms * 1000LL, ms });
            const std::vector<std::string> run = hints(analyzer);
            said.insert(said.end(), run.begin(), run.end());
            analyzer.newRun();
        }
        EXPECT_EQ(said, c.said) << c.line;
    }
    for (const auto& [line, suggests] :
        { std::pair { "9600 8N1", true }, { "19200 8E1", false } }) {
        FrameAnalyzer analyzer(line);
        int ms = 0;
        poll(analyzer, false, ms);
        analyzer.timedOut({ ms * 1000LL, ms });
        const std::vector<FrameRow> rows = analyzer.take();
        ASSERT_EQ(rows.back().kind, RowKind::Hint) << line;
        EXPECT_EQ(
            rows.back().verdict.find("many devices default to 8E1") != std::string::npos, suggests)
            << rows.back().verdict;
    }
}
