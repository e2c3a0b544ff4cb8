// One request and its answer as every caller runs it, with invented times: when it is done, how
// long a read may wait, and a verdict that is right on a real line: echoes, stray bytes, gaps,
// late and wrong replies, slow slaves and slow lines.
#include "exchange/echo_probe.h"
#include "exchange/exchange.h"
#include "exchange/request_gate.h"
#include "modbus/crc16.h"
#include "serial/line_timing.h"
#include "tests/support/byte_list.h"
#include "tests/support/line_delivery.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace modbus;

namespace {

ByteString framed(std::initializer_list<int> body)
{
    const ByteString b = bytes(body);
    return b + *CRC16(b);
}

// A character of 0.5 ms: an 8-byte request has left the line 4 ms after the write began; no
// slave's copy of it can be complete before 4 + 1.75 + 4 ms. The reply may take 100 ms to
// start, then pause up to 100 ms; a frame of unknown length ends after 20 ms of quiet.
const ExchangeTiming kTiming { 100'000, 100'000, 500, 20'000 };

struct Read
{
    int ms;
    ByteString chunk;
};

std::string joined(const std::vector<std::string>& notes)
{
    std::string text;
    for (const std::string& note : notes)
        text += (text.empty() ? "" : "; ") + note;
    return text;
}

// Each read is made only when the exchange asks for one, no sooner than it said to wait.
TEST(Exchange, VerdictsOnRealLines)
{
    const ByteString read = framed({ 1, 3, 0, 0, 0, 1 });
    const ByteString read2 = framed({ 1, 3, 0, 0, 0, 2 });
    const ByteString reply = framed({ 1, 3, 2, 0, 10 });
    const ByteString write = framed({ 1, 6, 0, 1, 0, 3 });
    const ByteString written = framed({ 1, 6, 0, 1, 0, 4 });
    const ByteString fifo = framed({ 1, 24, 0, 4 });
    const ByteString fifoReply = framed({ 1, 24, 0, 6, 0, 2, 1, 0xB8, 0x12, 0x84 });
    const char* copyTaken
        = "CRC OK, a copy of the request: if this adapter hears itself, set echo on";
    const char* echoTold = "this adapter hears itself: its echo is set aside from now on (echo on)";
    ByteString badReply = reply;
    badReply.back() = char(badReply.back() ^ 0x55);
    const std::string badVerdict = "CRC BAD (expected " + HexBytes(reply.substr(5)) + ")";
    const struct
    {
        const char* what;
        ByteString request;
        EchoMode echo;
        std::vector<Read> reads;
        const char* verdict;
        bool good;
        const char* notes;
    } cases[] = {
        { "the reply ends it at once", read, EchoMode::Auto, { { 10, reply } }, "CRC OK", true,
            "" },
        { "a reply in two reads", read, EchoMode::Auto,
            { { 10, reply.substr(0, 3) }, { 12, reply.substr(3) } }, "CRC OK, in 2 reads", true,
            "" },
        { "a gap of 30 ms inside the reply is joined and said", read, EchoMode::Auto,
            { { 10, reply.substr(0, 3) }, { 40, reply.substr(3) } },
            "CRC OK, in 2 reads, a gap of 30 ms inside the reply", true, "" },
        { "nothing within the time-out from the request's end", read, EchoMode::Auto,
            { { 104, "" } }, "no reply", false, "" },
        { "an exception", read, EchoMode::Auto, { { 10, framed({ 1, 0x83, 2 }) } },
            "exception 2 ILLEGAL DATA ADDRESS", false, "" },
        { "garbage, then the byte time-out", read, EchoMode::Auto,
            { { 10, bytes({ 0xFF, 0x00 }) }, { 110, "" } }, "not a frame", false, "" },
        { "a stray byte before a good reply", read, EchoMode::Auto,
            { { 10, bytes({ 0 }) + reply } }, "CRC OK", true, "1 stray byte before the reply" },
        { "a reply to another function", read, EchoMode::Auto,
            { { 10, framed({ 1, 4, 2, 0, 10 }) } }, "reply to function 4, asked 3", false, "" },
        { "fewer registers than asked", read2, EchoMode::Auto, { { 10, reply } },
            "2 data bytes, asked 4", false, "" },
        { "a FIFO reply in two reads, its two-byte count split", fifo, EchoMode::Auto,
            { { 10, fifoReply.substr(0, 3) }, { 12, fifoReply.substr(3) } }, "CRC OK, in 2 reads",
            true, "" },
        { "a FIFO count its byte count does not hold", fifo, EchoMode::Auto,
            { { 10, framed({ 1, 24, 0, 6, 0, 3, 1, 0xB8, 0x12, 0x84 }) } },
            "byte count 6 for a FIFO count of 3", false, "" },
        { "a write answered with another value", write, EchoMode::Auto, { { 10, written } },
            "value 4, asked 3", false, "" },
        { "another slave's frame is not the answer, but says who spoke", read, EchoMode::Auto,
            { { 10, framed({ 47, 3, 2, 0, 10 }) }, { 104, "" } }, "reply from 47, asked 1", false,
            "" },
        { "a read's echo and no slave", read, EchoMode::Auto, { { 4, read }, { 104, "" } },
            "no reply (only the adapter's echo)", false, echoTold },
        { "a read's echo, then a slave that takes 50 ms", read, EchoMode::Auto,
            { { 4, read }, { 54, reply } }, "CRC OK", true, echoTold },
        { "a write's echo, told by time, and no slave", write, EchoMode::Auto,
            { { 4, write }, { 104, "" } }, "no reply (only the adapter's echo)", false, echoTold },
        { "a write's echo, then its reply", write, EchoMode::Auto, { { 4, write }, { 30, write } },
            "CRC OK", true, echoTold },
        { "a copy too late for an echo is the reply, and says so", write, EchoMode::Auto,
            { { 20, write }, { 20, "" } }, copyTaken, true, "" },
        { "echo on: a late copy is still the echo", write, EchoMode::On,
            { { 20, write }, { 104, "" } }, "no reply (only the adapter's echo)", false, "" },
        { "echo on, and the reply after it", write, EchoMode::On, { { 20, write }, { 40, write } },
            "CRC OK", true, "" },
        { "echo off: a copy is the reply", write, EchoMode::Off, { { 20, write } }, "CRC OK", true,
            "" },
        // Too soon for a reply, and echo off says it is no echo: late, never the answer.
        { "a copy complete before a reply could be is no reply, echo off", write, EchoMode::Off,
            { { 4, write }, { 104, "" } }, "no reply", false,
            "too soon to answer this request: a late reply to the one before" },
        // A read's exact copy is an echo whatever the setting: no reply repeats a read.
        { "echo off, yet a read's echo, then its reply", read, EchoMode::Off,
            { { 4, read }, { 10, reply } }, "CRC OK", true, "" },
        { "echo off, yet a read's echo alone", read, EchoMode::Off, { { 4, read }, { 104, "" } },
            "no reply (only the adapter's echo)", false, "" },
        { "stray bytes before a reply with wrong check bytes", read, EchoMode::Auto,
            { { 10, bytes({ 0xFF, 0 }) + badReply }, { 40, "" } }, badVerdict.c_str(), false,
            "2 stray bytes before the reply" },
        { "another slave's frame, then the answer", read, EchoMode::Auto,
            { { 10, framed({ 47, 3, 2, 0, 10 }) + reply } }, "CRC OK", true,
            "reply from 47, asked 1" },
    };
    for (const auto& c : cases) {
        FrameAnalyzer line;
        line.setEcho(c.echo);
        Exchange exchange(line, c.request, int(c.request.size()), kTiming, { 0, 0 });
        std::int64_t now = 0;
        for (const Read& r : c.reads) {
            ASSERT_FALSE(exchange.done()) << c.what << " before " << r.ms << " ms";
            const std::int64_t at = r.ms * 1000LL;
            if (r.chunk.empty())
                EXPECT_LE(exchange.nextWaitUs(now), at - now) << c.what << " at " << r.ms;
            else
                EXPECT_GE(exchange.nextWaitUs(now), at - now) << c.what << " at " << r.ms;
            exchange.read(r.chunk, { at, r.ms });
            now = at;
        }
        EXPECT_TRUE(exchange.done()) << c.what;
        EXPECT_EQ(exchange.verdict(), c.verdict) << c.what;
        EXPECT_EQ(exchange.good(), c.good) << c.what;
        EXPECT_EQ(joined(exchange.notes()), c.notes) << c.what;
    }
    // A short write is done before it began: nothing can answer half a request.
    FrameAnalyzer line;
    const Exchange halfSent(line, read, 3, kTiming, { 0, 0 });
    EXPECT_TRUE(halfSent.done());
    EXPECT_EQ(halfSent.verdict(), "short write: 3 of 8 bytes sent");
}

// A reply that came after its time is read away before the next request and never taken for
// its answer; one that comes during the next wait is known by its other length.
TEST(Exchange, LateRepliesAreNeverTheNextAnswer)
{
    const ByteString one = framed({ 1, 3, 0, 0, 0, 1 });
    const ByteString two = framed({ 1, 3, 0, 0, 0, 2 });
    const ByteString oneReply = framed({ 1, 3, 2, 0, 10 });
    const ByteString twoReply = framed({ 1, 3, 4, 0, 10, 0, 20 });
    FrameAnalyzer line;
    Exchange first(line, one, 8, kTiming, { 0, 0 });
    first.read({}, { 104'000, 104 });
    EXPECT_EQ(first.verdict(), "no reply");

    line.readAway(oneReply, { 150'000, 150 }); // waiting when the next request goes
    Exchange second(line, one, 8, kTiming, { 200'000, 200 });
    EXPECT_EQ(joined(second.notes()), "late reply to the previous request");
    EXPECT_FALSE(second.done());
    second.read({}, { 304'000, 304 });
    EXPECT_EQ(second.verdict(), "no reply");

    Exchange third(line, two, 8, kTiming, { 400'000, 400 });
    third.read(oneReply, { 410'000, 410 }); // the second's reply, late
    EXPECT_FALSE(third.done());
    EXPECT_EQ(third.nextWaitUs(410'000), 94'000) << "the response time-out still runs";
    third.read(twoReply, { 420'000, 420 });
    EXPECT_TRUE(third.good());
    EXPECT_EQ(third.answer()->replyMs, 16.0) << "from the request's end on the line";
    EXPECT_EQ(joined(third.notes()), "late reply to the previous request");
    EXPECT_EQ(line.counts().late, 2);
}

// At 1200 8E1 a 125-register reply takes 2.3 s on the line: it is waited for while it flows.
TEST(Exchange, ASlowLineWaitsWhileTheReplyFlows)
{
    const ExchangeTiming slow { 1'000'000, 100'000, CharacterUs(1200, 'e', 1), 38'500 };
    EXPECT_EQ(slow.characterUs, 9166);
    ByteString body = bytes({ 1, 3, 250 });
    for (int i = 0; i < 250; ++i)
        body.push_back(char(i));
    const ByteString reply = body + *CRC16(body);
    FrameAnalyzer line;
    Exchange exchange(line, framed({ 1, 3, 0, 0, 0, 125 }), 8, slow, { 0, 0 });
    EXPECT_EQ(exchange.nextWaitUs(0), 8 * 9166 + 1'000'000);
    std::int64_t at = 8 * 9166 + 40'000 + 5 * 9166; // the slave took 40 ms
    for (std::size_t sent = 0; sent < reply.size(); sent += 5, at += 5 * 9166) {
        ASSERT_FALSE(exchange.done()) << sent;
        exchange.read(reply.substr(sent, 5), { at, 0 });
    }
    EXPECT_TRUE(exchange.good()) << exchange.verdict();
    // From the request's end on the line: the slave's 40 ms and the reply's 255 characters.
    EXPECT_NEAR(*exchange.answer()->replyMs, 40 + 255 * 9.166, 0.01);
}

// An exchange as a port's reads would drive it over what a line delivered.
Exchange driven(FrameAnalyzer& line, const ByteString& request, const ExchangeTiming& timing,
    linemodel::DeliveredReads& reads, std::int64_t& now)
{
    Exchange exchange(line, request, int(request.size()), timing, { now, 0 });
    for (int step = 0; step < 10'000 && !exchange.done(); ++step) {
        const linemodel::Arrival got = reads.read(now, exchange.nextWaitUs(now));
        now = got.atUs;
        exchange.read(got.bytes, { now, 0 });
    }
    return exchange;
}

// The corners of a real line, each delivered at once, byte by byte and as a USB adapter does:
// the verdict and the reply time must not depend on how the bytes reached the reads.
TEST(Exchange, TheVerdictHoldsHoweverTheLineDelivers)
{
    const std::int64_t c = CharacterUs(19200, 'n', 1);
    const ExchangeTiming timing { 100'000, 100'000, c, 20'000 };
    const ByteString read = framed({ 17, 3, 0, 0, 0, 2 });
    const ByteString reply = framed({ 17, 3, 4, 0, 10, 0, 11 });
    const ByteString write = framed({ 17, 6, 0, 5, 4, 210 });
    ByteString crcBad = reply;
    crcBad.back() = char(crcBad.back() ^ 1);
    const std::int64_t end = std::int64_t(read.size()) * c; // the request has left the line
    const std::int64_t turn = end + 5'000; // the slave answers 5 ms after
    const ByteString gapped = reply.substr(0, 3);
    const struct
    {
        const char* what;
        ByteString request;
        std::optional<bool> echoFound; // what a probe found of the adapter's echo
        std::vector<linemodel::Burst> wire;
        Outcome outcome;
        const char* verdict; // nullptr: not checked (a gap's size depends on the delivery)
        const char* notes; // nullptr: not checked (how a late reply is told depends on it)
    } cases[] = {
        { "a good reply", read, {}, { { reply, turn } }, Outcome::Good, "CRC OK", "" },
        { "a stray 00 just before the reply", read, {},
            { { bytes({ 0 }), turn - c }, { reply, turn } }, Outcome::Good, "CRC OK",
            "1 stray byte before the reply" },
        { "a stray FF just before the reply", read, {},
            { { bytes({ 0xFF }), turn - c }, { reply, turn } }, Outcome::Good, "CRC OK",
            "1 stray byte before the reply" },
        { "check bytes wrong", read, {}, { { crcBad, turn } }, Outcome::CrcBad, nullptr, "" },
        { "a reply from another address", read, {},
            { { framed({ 18, 3, 4, 0, 10, 0, 11 }), turn } }, Outcome::OtherAddress,
            "reply from 18, asked 17", "" },
        { "a gap of 30 ms inside the reply", read, {},
            { { gapped, turn }, { reply.substr(3), turn + 3 * c + 30'000 } }, Outcome::Good,
            nullptr, "" },
        { "an exception", read, {}, { { framed({ 17, 0x83, 2 }), turn } }, Outcome::Exception,
            "exception 2 ILLEGAL DATA ADDRESS", "" },
        { "the adapter's echo and no slave", read, {}, { { read, 0 } }, Outcome::EchoOnly,
            "no reply (only the adapter's echo)", kHearsItself },
        { "the echo, then a slave that takes 50 ms", read, {},
            { { read, 0 }, { reply, end + 50'000 } }, Outcome::Good, "CRC OK", kHearsItself },
        { "the echo, then an exception", read, {},
            { { read, 0 }, { framed({ 17, 0x83, 2 }), turn } }, Outcome::Exception,
            "exception 2 ILLEGAL DATA ADDRESS", kHearsItself },
        { "a write's echo alone, the echo found", write, true, { { write, 0 } }, Outcome::EchoOnly,
            "no reply (only the adapter's echo)", "" },
        { "a write's echo and its reply, the echo found", write, true,
            { { write, 0 }, { write, turn } }, Outcome::Good, "CRC OK", "" },
        { "a write's reply, no echo found", write, false, { { write, turn } }, Outcome::Good,
            "CRC OK", "" },
        // Told by its time where it comes at once, by its content where an adapter delays it.
        { "a late reply to the request before, during this one", read, {},
            { { framed({ 17, 3, 2, 0, 9 }), end - 7 * c }, { reply, turn } }, Outcome::Good,
            "CRC OK", nullptr },
    };
    for (const linemodel::Delivery delivery : { linemodel::Delivery::AtOnce,
             linemodel::Delivery::ByteByByte, linemodel::Delivery::Usb }) {
        for (const auto& c2 : cases) {
            const std::string what = std::string(c2.what) + ", " + DeliveryName(delivery);
            FrameAnalyzer line;
            if (c2.echoFound)
                line.learnEcho(*c2.echoFound, {}, {});
            // The request before: one register, unanswered in its time.
            line.written(framed({ 17, 3, 0, 0, 0, 1 }), 8, false, { -300'000, 0 });
            line.timedOut({ -100'000, 0 });
            line.take();
            linemodel::DeliveredReads reads(
                linemodel::Deliver(c2.wire, c, delivery, 16'000, 3'000));
            std::int64_t now = 0;
            const Exchange exchange = driven(line, c2.request, timing, reads, now);
            EXPECT_TRUE(exchange.done()) << what;
            EXPECT_EQ(exchange.outcome(), c2.outcome) << what << ": " << exchange.verdict();
            if (c2.verdict) { // ", in 9 reads" may follow
                EXPECT_EQ(exchange.verdict().substr(0, std::strlen(c2.verdict)), c2.verdict)
                    << what;
            }
            if (c2.notes) {
                EXPECT_EQ(joined(exchange.notes()), c2.notes) << what;
            } else {
                EXPECT_EQ(line.counts().late, 1) << what;
            }
            if (c2.outcome != Outcome::Good || c2.wire.size() != 1)
                continue;
            // From the request's end on the line to the reply's last byte; a USB adapter only
            // delays it, by its timer at most.
            const double onLine = double(turn + std::int64_t(c2.wire[0].bytes.size()) * c - end);
            const double late = delivery == linemodel::Delivery::Usb ? 16'000 : 0;
            EXPECT_GE(*exchange.answer()->replyMs * 1000, onLine - 1) << what;
            EXPECT_LE(*exchange.answer()->replyMs * 1000, onLine + late + 1) << what;
        }
    }
}

// A slave that answers every fifth request 150 ms late against a 100 ms time-out: with the
// grace, each late reply is read away and counted, and no poll gets another's value.
TEST(Exchange, AGraceKeepsALateReplyOfTheSameShapeFromTheNextRequest)
{
    const std::int64_t c = CharacterUs(19200, 'n', 1);
    const ExchangeTiming timing { 100'000, 100'000, c, 20'000 };
    const ByteString poll = framed({ 17, 3, 0, 0, 0, 1 });
    for (const linemodel::Delivery delivery : { linemodel::Delivery::AtOnce,
             linemodel::Delivery::ByteByByte, linemodel::Delivery::Usb }) {
        FrameAnalyzer line;
        RequestGate gate(InterFrameUs(19200), 100'000);
        linemodel::DeliveredReads reads({});
        std::int64_t now = 0;
        int wrong = 0, good = 0;
        for (int n = 1; n <= 30; ++n) {
            // This poll's reply, value n, joins what the line still owes.
            const std::int64_t end = now + std::int64_t(poll.size()) * c;
            const std::int64_t turn = n % 5 == 0 ? 150'000 : 3'000;
            reads.add(linemodel::Deliver(
                { { framed({ 17, 3, 2, 0, n }), end + turn } }, c, delivery, 16'000, 0));
            const Exchange exchange = driven(line, poll, timing, reads, now);
            gate.ended(poll, !exchange.answer(), now);
            if (exchange.good()) {
                ++good;
                wrong += ByteAt(exchange.answer()->bytes, 4) != n;
            }
            // Before the next poll the line is read until the gate lets it go.
            for (int step = 0; step < 100; ++step) {
                const std::int64_t hold = gate.holdUs(poll, now);
                const linemodel::Arrival got = reads.read(now, hold);
                now = got.atUs;
                if (got.bytes.empty() && hold == 0)
                    break;
                if (!got.bytes.empty()) {
                    line.readAway(got.bytes, { now, 0 });
                    gate.heard(now);
                }
            }
            gate.sending(poll, now);
        }
        EXPECT_EQ(wrong, 0) << DeliveryName(delivery);
        EXPECT_EQ(good, 24) << DeliveryName(delivery);
        EXPECT_EQ(line.counts().late, 6) << DeliveryName(delivery);
    }
}

// A read teaches that the adapter does not hear itself only when its reply came first: bytes
// before it may have been the echo, cut away as stray.
TEST(Exchange, AReadTeachesNoEchoOnlyWhenItsReplyCameFirst)
{
    const ByteString read = framed({ 1, 3, 0, 0, 0, 1 });
    const ByteString reply = framed({ 1, 3, 2, 0, 10 });
    const struct
    {
        const char* what;
        ByteString came;
        std::optional<bool> heard;
    } cases[] = {
        { "the reply alone", reply, false },
        { "its echo, then the reply", read + reply, true },
        { "a noise byte, its echo, then the reply", bytes({ 0 }) + read + reply, std::nullopt },
    };
    for (const auto& k : cases) {
        FrameAnalyzer line;
        Exchange exchange(line, read, int(read.size()), kTiming, { 0, 0 });
        exchange.read(k.came, { 20'000, 20 });
        EXPECT_TRUE(exchange.good()) << k.what << ": " << exchange.verdict();
        EXPECT_EQ(line.echoHeard(), k.heard) << k.what;
    }
}

// The gate: the silence between frames always; a grace only after an unanswered request and
// only before one whose reply would look the same; bytes heard start the quiet again.
TEST(RequestGate, HoldsTheLineOnlyWhenAReplyCouldBeMistaken)
{
    const ByteString a = framed({ 17, 3, 0, 0, 0, 1 });
    const ByteString sameShape = framed({ 17, 3, 0, 9, 0, 1 });
    const ByteString twoRegisters = framed({ 17, 3, 0, 0, 0, 2 });
    const ByteString otherSlave = framed({ 18, 3, 0, 0, 0, 1 });
    const struct
    {
        const char* what;
        bool unanswered;
        ByteString next;
        std::int64_t heardAtUs; // bytes heard after the end; 0: none
        std::int64_t nowUs;
        std::int64_t holdUs;
    } cases[] = {
        { "answered: the silence only", false, a, 0, 1'000'000, 1'750 },
        { "unanswered, the same shape: the grace", true, sameShape, 0, 1'000'000, 100'000 },
        // A late exception to the first would pass for the second's: another length waits too.
        { "unanswered, another length: the grace", true, twoRegisters, 0, 1'000'000, 100'000 },
        { "unanswered, another function goes at once", true, framed({ 17, 4, 0, 0, 0, 1 }), 0,
            1'000'000, 1'750 },
        { "unanswered, another slave goes at once", true, otherSlave, 0, 1'000'000, 1'750 },
        { "the grace counts from the last bytes heard", true, a, 1'050'000, 1'060'000, 90'000 },
        { "quiet long enough", true, a, 0, 1'200'000, 0 },
        { "other exchanges past its grace: stale", true, a, 1'120'000, 1'120'000, 1'750 },
    };
    for (const auto& k : cases) {
        RequestGate gate(1'750, 100'000);
        gate.ended(a, k.unanswered, 1'000'000);
        if (k.heardAtUs)
            gate.heard(k.heardAtUs);
        EXPECT_EQ(gate.holdUs(k.next, k.nowUs), k.holdUs) << k.what;
    }
    RequestGate noGrace(1'750, 0);
    noGrace.ended(a, true, 1'000'000);
    EXPECT_EQ(noGrace.holdUs(a, 1'000'000), 1'750) << "a grace of 0 keeps none";
}

// The echo probe: its frame comes back from an adapter that hears itself, at once or after
// a USB adapter's latency; from one that does not, nothing comes within the allowance.
TEST(EchoProbe, FindsWhetherTheAdapterHearsItself)
{
    const ByteString probe = EchoProbeFrame();
    EXPECT_EQ(ByteAt(probe, 0), 248) << "a reserved address: no slave answers or counts it";
    EXPECT_TRUE(CrcGood(probe));
    const std::int64_t c = CharacterUs(19200, 'n', 1);
    const struct
    {
        const char* what;
        std::vector<linemodel::Burst> wire;
        linemodel::Delivery delivery;
        bool heard;
        bool silent; // nothing at all came: no echo
        std::size_t others;
    } cases[] = {
        { "an echo at once", { { probe, 0 } }, linemodel::Delivery::AtOnce, true, false, 0 },
        { "an echo held 16 ms", { { probe, 0 } }, linemodel::Delivery::Usb, true, false, 0 },
        { "an echo byte by byte", { { probe, 0 } }, linemodel::Delivery::ByteByByte, true, false,
            0 },
        { "nothing", {}, linemodel::Delivery::Usb, false, true, 0 },
        // Neither tells: the write's own verdict says what it can.
        { "a late reply, no echo", { { framed({ 1, 3, 2, 0, 1 }), 2'000 } },
            linemodel::Delivery::AtOnce, false, false, 7 },
        { "a damaged echo", { { probe.substr(0, 7) + '\x01', 0 } }, linemodel::Delivery::Usb, false,
            false, 8 },
        { "stray bytes, then the echo", { { bytes({ 0, 0 }), 0 }, { probe, 2 * c } },
            linemodel::Delivery::ByteByByte, true, false, 2 },
    };
    for (const auto& k : cases) {
        EchoProbe found(0, c);
        linemodel::DeliveredReads reads(linemodel::Deliver(k.wire, c, k.delivery, 16'000, 5'000));
        std::int64_t now = 0;
        for (int step = 0; step < 100 && !found.done(); ++step) {
            const linemodel::Arrival got = reads.read(now, found.nextWaitUs(now));
            now = got.atUs;
            found.read(got.bytes, now);
        }
        EXPECT_TRUE(found.done()) << k.what;
        EXPECT_EQ(found.heard(), k.heard) << k.what;
        EXPECT_EQ(found.silent(), k.silent) << k.what;
        EXPECT_EQ(found.others().size(), k.others) << k.what;
        EXPECT_LE(now, std::int64_t(probe.size()) * c + EchoProbe::kAllowanceUs) << k.what;
    }
}

} // namespace
