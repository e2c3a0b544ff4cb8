// Frames heard on a line another master drives: cut, checked and paired from reads alone, fed
// whole, byte by byte and in a USB adapter's 16 ms slices; noise skipped; random bytes making
// (almost) no pairs; the capture written and read back.
#include "exchange/exchange.h"
#include "listening/line_listener.h"
#include "listening/listen_session.h"
#include "listening/pcap_file.h"
#include "listening/speed_search.h"
#include "modbus/crc16.h"
#include "modbus/function_table.h"
#include "requests/request_language.h"
#include "serial/line_timing.h"
#include "tests/support/byte_list.h"

#include <gtest/gtest.h>

#include <random>

using namespace modbus;

namespace {

ByteString framed(std::initializer_list<int> body)
{
    const ByteString b = bytes(body);
    return b + *CRC16(b);
}

ByteString request(int slave, const char* command)
{
    return BuildRequest(slave, ParseRequest(command).fields).frame;
}

// A poll of another master: each request and its reply (empty: none came), two slaves.
const std::vector<std::pair<ByteString, ByteString>>& trace()
{
    static const std::vector<std::pair<ByteString, ByteString>> t = {
        { request(17, "read-coils 0 10"), framed({ 17, 1, 2, 0xAA, 0x02 }) },
        { request(17, "read-discrete 0 4"), framed({ 17, 2, 1, 0x05 }) },
        { request(17, "read-holding 0 3"), framed({ 17, 3, 6, 0, 10, 0, 20, 0, 30 }) },
        { request(5, "read-input 8 1"), framed({ 5, 4, 2, 0x03, 0xE8 }) },
        { request(5, "write-coil 4 1"), request(5, "write-coil 4 1") },
        { request(17, "write-register 2 7"), request(17, "write-register 2 7") },
        { request(17, "write-coils 0 1 0 1"), framed({ 17, 15, 0, 0, 0, 3 }) },
        { request(5, "write-registers 3 4 5"), framed({ 5, 16, 0, 3, 0, 2 }) },
        { request(17, "read-write 0 1 4 9"), framed({ 17, 23, 2, 0, 10 }) },
        { request(5, "read-fifo 4"), framed({ 5, 24, 0, 6, 0, 2, 1, 0xB8, 0x12, 0x84 }) },
        { request(17, "device-id"), framed({ 17, 0x2B, 0x0E, 1, 1, 0, 0, 1, 0, 2, 'Q', 'S' }) },
        { request(5, "read-holding 300 1"), framed({ 5, 0x83, 2 }) },
        { request(9, "read-holding 0 1"), {} }, // a slave that is not there
        { request(17, "read-holding 1 1"), framed({ 17, 3, 2, 0, 20 }) },
    };
    return t;
}

// "request 17 3", "reply 17 3 CRC OK 1.23", ... without times where untimed.
std::vector<std::string> heard(const std::vector<FrameRow>& rows)
{
    std::vector<std::string> out;
    for (const FrameRow& r : rows) {
        const std::string who = r.bytes.size() >= 2
            ? std::to_string(ByteAt(r.bytes, 0)) + " " + std::to_string(ByteAt(r.bytes, 1) & 0x7F)
            : std::to_string(ByteAt(r.request, 0));
        out.push_back(r.kind == RowKind::Request ? "request " + who : r.verdict + " " + who);
    }
    return out;
}

// The trace's bytes at speed, back to back, and the reads an adapter makes of them: each read
// returns at the moment its last byte has crossed.
std::vector<std::pair<ByteString, std::int64_t>> reads(
    const ByteString& line, std::int64_t characterUs, std::size_t perRead)
{
    std::vector<std::pair<ByteString, std::int64_t>> out;
    for (std::size_t at = 0; at < line.size(); at += perRead)
        out.emplace_back(line.substr(at, perRead),
            std::int64_t(std::min(at + perRead, line.size())) * characterUs);
    return out;
}

ByteString lineOf(const std::vector<std::pair<ByteString, ByteString>>& pairs)
{
    ByteString line;
    for (const auto& [asked, answer] : pairs)
        line += asked + answer;
    return line;
}

std::vector<FrameRow> listen(const ByteString& line, std::int64_t characterUs, std::size_t perRead,
    Framing framing = Framing::Rtu)
{
    LineListener listener(characterUs, 7 * characterUs / 2, framing);
    for (const auto& [chunk, atUs] : reads(line, characterUs, perRead))
        listener.read(chunk, atUs);
    listener.finish(std::int64_t(line.size() + 100) * characterUs);
    return listener.take();
}

} // namespace

// A line fed whole, byte by byte and in a USB adapter's slices at several speeds.
void checkFeeds(const ByteString& line, Framing framing, const std::vector<std::string>& expected)
{
    const struct
    {
        const char* how;
        int speed;
        std::size_t perRead;
    } feeds[] = { { "whole", 19200, line.size() }, { "byte by byte", 9600, 1 },
        { "16 ms slices at 115200", 115200, 184 }, { "16 ms slices at 1200", 1200, 2 },
        { "16 ms slices at 230400", 230400, 368 }, { "16 ms slices at 19200", 19200, 30 } };
    for (const auto& f : feeds) {
        const std::vector<FrameRow> rows
            = listen(line, CharacterUs(f.speed, 'n', 1), f.perRead, framing);
        EXPECT_EQ(heard(rows), expected) << f.how << ", " << FramingWord(framing);
        // A reply time only where the request's end and the reply's came in separate reads:
        // one read gives both one time, and "0 ms" would be false.
        for (const FrameRow& r : rows) {
            if (r.kind == RowKind::Reply && f.perRead == line.size()) {
                EXPECT_FALSE(r.replyMs) << f.how;
            } else if (r.kind == RowKind::Reply && f.perRead == 1) {
                EXPECT_GT(r.replyMs.value_or(0), 0) << f.how;
            }
        }
    }
}

// The trace as ASCII frames.
std::vector<std::pair<ByteString, ByteString>> asciiTrace()
{
    const auto text = [](const ByteString& rtu) {
        return rtu.empty() ? rtu : FramerOf(Framing::Ascii).wrap(rtu.substr(0, rtu.size() - 2));
    };
    std::vector<std::pair<ByteString, ByteString>> out;
    for (const auto& [asked, answer] : trace())
        out.emplace_back(text(asked), text(answer));
    return out;
}

TEST(LineListener, FramesArePairedHoweverTheReadsCutThem)
{
    for (const Framing framing : { Framing::Rtu, Framing::Ascii }) {
        const bool ascii = framing == Framing::Ascii;
        std::vector<std::string> expected;
        for (const auto& [asked, answer] : trace()) {
            const std::string who
                = std::to_string(ByteAt(asked, 0)) + " " + std::to_string(ByteAt(asked, 1));
            expected.push_back("request " + who);
            if (!answer.empty())
                expected.push_back((ByteAt(answer, 1) & 0x80 ? "exception 2 ILLEGAL DATA ADDRESS "
                                           : ascii           ? "LRC OK "
                                                             : "CRC OK ")
                    + who);
        }
        expected.insert(expected.end() - 2, "no reply 9"); // told when the next request shows it
        checkFeeds(lineOf(ascii ? asciiTrace() : trace()), framing, expected);
    }
}

TEST(LineListener, SilenceSplitsNoiseFromFramesAndRepliesAreTimedFromTheirRequest)
{
    const std::int64_t charUs = CharacterUs(19200, 'e', 1);
    LineListener listener(charUs, 7 * charUs / 2);
    const auto& [asked, answer] = trace()[2];
    std::int64_t t = 0;
    const auto at = [&](const ByteString& b, std::int64_t pauseUs) {
        t += pauseUs + std::int64_t(b.size()) * charUs;
        listener.read(b, t);
    };
    at(bytes({ 0xFF, 0x00, 0x13 }), 0); // noise, then a silence
    at(bytes({ 91, 3, 2, 0, 5, 0, 0 }), 5'000); // a reply's shape, from a slave never asked
    at(asked, 5'000);
    at(answer.substr(0, 2), 4'000); // 4 ms of turnaround before the reply's bytes
    at(answer.substr(2), 5'000); // and a stall inside it: its check bytes still join it
    at(answer.substr(0, 5), 2'000); // a reply cut short: its length, not its bytes
    at(bytes({ 17, 3, 6, 0, 10, 0, 20, 0, 30, 0, 0 }), 9'000); // its length, wrong check bytes
    listener.finish(t + 50'000);
    const std::vector<FrameRow> rows = listener.take();
    EXPECT_EQ(heard(rows),
        (std::vector<std::string> { "3 bytes that make no frame 255 0",
            "CRC BAD (expected 20 4A) 91 3", "request 17 3", "CRC OK 17 3",
            "5 bytes that make no frame 17 3", "CRC BAD (expected B4 B8) 17 3" }));
    ASSERT_TRUE(rows[3].replyMs);
    EXPECT_NEAR(*rows[3].replyMs, 9.0 + double(answer.size() * charUs) / 1000.0, 0.01);
    const SlaveHeard& s = listener.statistics().slaves().at(17);
    EXPECT_EQ(std::tuple(s.requests, s.good, s.crcBad), std::tuple(1L, 1L, 1L));
    // Noise is no slave's: slave 91 was never asked, so no line is made up for it.
    EXPECT_EQ(listener.statistics().slaves().count(91), 0u);
    EXPECT_NE(listener.statistics().report().find(
                  "noise: 1 frame with bad check bytes from slaves never asked\n"),
        std::string::npos)
        << listener.statistics().report();
    EXPECT_FALSE(listener.statistics().allGood());
}

// A driver or a loaded machine stalls inside a reply the wire carried whole: the pieces, even a
// lone first byte with a quiet read after it, still make one frame its check bytes confirm.
TEST(LineListener, AReplyInPiecesWithStallsBetweenIsOneFrame)
{
    const auto& [asked, answer] = trace()[2];
    const std::int64_t charUs = CharacterUs(19200, 'n', 1);
    const std::vector<std::vector<std::pair<std::size_t, std::int64_t>>> cuts = {
        { { 1, 5'000 }, { answer.size(), 9'000 } }, // first byte alone, then the rest
        { { 1, 5'000 }, { 1, 7'500 }, { answer.size(), 9'000 } }, // a quiet read between
        { { 1, 5'000 }, { 2, 9'000 }, { answer.size(), 12'000 } }, // one byte more, stalled too
    };
    for (std::size_t i = 0; i < cuts.size(); ++i) {
        LineListener listener(charUs, 7 * charUs / 2);
        listener.read(asked, 1'000'000);
        std::size_t from = 0;
        for (const auto& [to, afterUs] : cuts[i]) {
            listener.read(answer.substr(from, to - from), 1'000'000 + afterUs);
            from = to;
        }
        listener.finish(2'000'000);
        EXPECT_EQ(
            heard(listener.take()), (std::vector<std::string> { "request 17 3", "CRC OK 17 3" }))
            << "cut " << i;
    }
}

// The last request heard, nobody answering: "no reply" once a second has passed, told by an
// empty read or at the end, and once only; cut off by the end sooner, it is not counted.
TEST(LineListener, AnUnansweredRequestIsNoReplyOnceNoReplyCanCome)
{
    const ByteString asked = request(9, "read-holding 0 1");
    const struct
    {
        const char* how;
        std::vector<std::int64_t> quietReadsUs;
        std::int64_t endUs;
        std::vector<std::string> rows;
        long counted;
    } cases[] = {
        { "ended 10 ms after", {}, 10'000, { "request 9 3" }, 0 },
        { "ended a second after", {}, 1'000'000, { "request 9 3", "no reply 9" }, 1 },
        { "an idle read told it", { 500'000, 1'200'000, 1'400'000 }, 1'500'000,
            { "request 9 3", "no reply 9" }, 1 },
    };
    for (const auto& c : cases) {
        LineListener listener(CharacterUs(19200, 'n', 1), 2'000);
        listener.read(asked, 0);
        for (const std::int64_t atUs : c.quietReadsUs)
            listener.read({}, atUs);
        listener.finish(c.endUs);
        EXPECT_EQ(heard(listener.take()), c.rows) << c.how;
        const auto& slaves = listener.statistics().slaves();
        EXPECT_EQ(slaves.count(9) ? slaves.at(9).noReply : 0, c.counted) << c.how;
        EXPECT_EQ(slaves.count(9) ? slaves.at(9).requests : 0, c.counted) << c.how;
    }
}

TEST(LineListener, TenThousandFramesInSlicesAndAMegabyteOfNoise)
{
    std::vector<std::pair<ByteString, ByteString>> many;
    while (many.size() < 5'000)
        for (const auto& pair : trace())
            if (!pair.second.empty() && many.size() < 5'000)
                many.push_back(pair);
    const std::vector<FrameRow> rows = listen(lineOf(many), CharacterUs(115200, 'n', 1), 184);
    const auto paired = std::count_if(rows.begin(), rows.end(), [](const FrameRow& r) {
        return (r.kind == RowKind::Reply || r.kind == RowKind::Exception) && !r.request.empty();
    });
    EXPECT_GE(paired, 4'995) << "at least 99.9 % of 5,000 exchanges";
    std::mt19937 random(31);
    ByteString noise(1 << 20, '\0');
    for (char& c : noise)
        c = char(random() & 0xFF);
    const std::vector<FrameRow> fromNoise = listen(noise, CharacterUs(115200, 'n', 1), 184);
    const auto falsePairs = std::count_if(fromNoise.begin(), fromNoise.end(),
        [](const FrameRow& r) { return r.kind == RowKind::Reply || r.kind == RowKind::Exception; });
    EXPECT_LE(falsePairs, 1);
}

TEST(SpeedSearch, TheSettingWhoseFramesHaveGoodCheckBytes)
{
    const ScanSetting fast { 19200, 'e', 1 }, slow { 9600, 'e', 1 }, plain { 9600, 'n', 1 };
    HeardAt garbled { fast, 0, 0 }, right { slow, 0, 0 };
    garbled.count(listen(bytes({ 0xCF, 0xFC, 0xFF, 0x7F }) + bytes({ 0x3F, 0x80 }), 0, 3));
    right.count(listen(lineOf({ trace()[0], trace()[2] }), 0, 8));
    EXPECT_EQ(garbled.text(), "19200 8E1: 0 frames with good check bytes, 6 bytes of noise");
    EXPECT_EQ(right.text(), "9600 8E1: 4 frames with good check bytes, 0 bytes of noise");
    EXPECT_TRUE(ClearlyRight(right));
    EXPECT_FALSE(ClearlyRight(garbled));
    EXPECT_TRUE(ClearlyRight({ slow, 6, 11 })) << "a frame cut by the port's opening";
    EXPECT_FALSE(ClearlyRight({ slow, 3, 0 })) << "too few to be sure";
    EXPECT_FALSE(ClearlyRight({ fast, 4, 400 })) << "frames by chance in much noise";
    EXPECT_EQ(BestSetting({ garbled, right }), slow);
    EXPECT_EQ(BestSetting({ garbled, { plain, 4, 3 }, right }), slow) << "less noise wins a tie";
    EXPECT_EQ(BestSetting({ garbled }), std::nullopt) << "no good frame: no setting";

    // Driven read by read, the time passed in: a second at each setting until one is clearly
    // right; garbage at the others, and the last setting tried without reads when nothing fits.
    const ByteString good = lineOf(trace()), noise = bytes({ 0xCF, 0xFC, 0xFF, 0x7F, 0x3F });
    const ByteString ascii = lineOf(asciiTrace());
    const struct
    {
        const char* how;
        std::vector<ByteString> heardAt; // per setting in turn
        std::vector<std::string> told;
        std::optional<ScanSetting> best;
        Framing framing = Framing::Rtu;
    } hunts[] = {
        { "right at the second", { noise, good, good },
            { "19200 8E1: 0 frames with good check bytes, 5 bytes of noise",
                "9600 8E1: 4 frames with good check bytes, 0 bytes of noise" },
            slow },
        { "ASCII, right at the second", { noise, ascii, ascii },
            { "19200 8E1: 0 frames with good check bytes, 5 bytes of noise",
                "9600 8E1 ASCII: 4 frames with good check bytes, 0 bytes of noise" },
            slow, Framing::Ascii },
        { "nothing fits", { noise, noise, noise }, {}, std::nullopt },
    };
    for (const auto& h : hunts) {
        SpeedHunt hunt({ fast, slow, plain }, 1'000'000);
        std::vector<std::string> told;
        std::int64_t t = 0;
        do {
            hunt.begin(false, t);
            const ByteString& line = h.heardAt[told.size()];
            for (std::size_t at = 0;
                 hunt.read(at < line.size() ? line.substr(at, 8) : ByteString(), t += 100'000);
                 at += 8) { }
            told.push_back(hunt.heardNow().text());
        } while (hunt.next());
        EXPECT_EQ(hunt.best(), h.best) << h.how;
        EXPECT_EQ(hunt.bestFraming(), h.framing) << h.how;
        if (!h.told.empty())
            EXPECT_EQ(told, h.told) << h.how;
        else
            EXPECT_EQ(told.size(), 3u) << h.how << ": every setting tried";
    }
}

TEST(PcapFile, WrittenAndReadBack)
{
    ByteString file = PcapHeader();
    const std::int64_t t0 = 1'765'180'800'123'456; // 2025-12-08 08:00:00.123456 UTC
    for (std::size_t i = 0; i < trace().size(); ++i)
        file += PcapRecord(trace()[i].first, t0 + std::int64_t(i) * 1500);
    EXPECT_EQ(HexBytes(file.substr(0, 24)),
        "D4 C3 B2 A1 02 00 04 00 00 00 00 00 00 00 00 00 FF FF 00 00 93 00 00 00");
    const auto frames = ReadPcap(file);
    ASSERT_TRUE(frames);
    ASSERT_EQ(frames->size(), trace().size());
    EXPECT_EQ((*frames)[3].bytes, trace()[3].first);
    EXPECT_EQ((*frames)[3].atUs, t0 + 4500);
    EXPECT_FALSE(ReadPcap(file.substr(0, file.size() - 1))) << "a record cut short";
}

// What the monitor keeps of a listening session: every register and bit the other master read
// or wrote (a write once its slave acknowledged it), rows at their time of day, the capture.
TEST(ListenSession, TheWatchHoldsWhatWasReadAndWrittenAndTheCaptureEveryFrame)
{
    const std::int64_t charUs = CharacterUs(19200, 'n', 1);
    const std::int64_t epochUs = 1'765'180'800'000'000;
    ListenSession session(charUs, 7 * charUs / 2, epochUs);
    const ByteString line = lineOf(trace());
    for (const auto& [chunk, atUs] : reads(line, charUs, 30))
        session.read(chunk, { atUs, 3'600'000 + atUs / 1000 }); // from 01:00 local time
    const std::int64_t endUs = std::int64_t(line.size() + 100) * charUs;
    session.finish({ endUs, 3'600'000 + endUs / 1000 });
    const std::vector<FrameRow> rows = session.take();
    const struct
    {
        int slave;
        DataTable table;
        unsigned address;
        int value; // -1: never seen
    } expected[] = {
        { 17, DataTable::Coils, 0, 1 }, { 17, DataTable::Coils, 1, 0 }, // read 0 / 1, written 1 / 0
        { 17, DataTable::Coils, 3, 1 }, { 17, DataTable::Coils, 9, 1 },
        { 17, DataTable::Inputs, 2, 1 }, { 17, DataTable::Holding, 2, 7 },
        { 17, DataTable::Holding, 4, 9 }, // 6, and 23's write
        { 17, DataTable::Holding, 1, 20 }, { 5, DataTable::Coils, 4, 1 },
        { 5, DataTable::Holding, 3, 4 }, { 5, DataTable::Holding, 4, 5 },
        { 5, DataTable::InputRegisters, 8, 1000 },
        { 5, DataTable::Holding, 300, -1 }, // an exception: nothing read
        { 9, DataTable::Holding, 0, -1 }, // no reply: nothing read
    };
    for (const auto& e : expected) {
        const WatchRow* row = session.watch().find({ std::uint8_t(e.slave), e.table, e.address });
        EXPECT_EQ(row ? int(row->value) : -1, e.value)
            << e.slave << " " << TableName(e.table) << " " << e.address;
    }
    const auto frames = ReadPcap(session.capture());
    ASSERT_TRUE(frames);
    ASSERT_EQ(frames->size(), session.captured());
    std::size_t framesHeard = 0;
    for (const FrameRow& row : rows) {
        EXPECT_NEAR(double(row.time.wallMs), 3'600'000 + double(row.time.monoUs) / 1000, 1.0);
        if (row.kind == RowKind::NoReply)
            continue;
        EXPECT_EQ((*frames)[framesHeard].bytes, row.bytes);
        EXPECT_EQ((*frames)[framesHeard++].atUs, epochUs + row.time.monoUs);
    }
    EXPECT_EQ(framesHeard, frames->size());
    // Every timed reply (an exception's too) is in the histogram's times.
    const auto timed = std::count_if(rows.begin(), rows.end(), [](const FrameRow& r) {
        return r.replyMs && (r.kind == RowKind::Reply || r.kind == RowKind::Exception);
    });
    EXPECT_GT(timed, 0);
    EXPECT_EQ(long(session.replyTimes().replyTimes().size()), long(timed));
}
