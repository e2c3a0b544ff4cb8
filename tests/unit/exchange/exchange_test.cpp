// One request and its answer as every caller runs it, with invented times: when it is done, how
// long a read may wait, and a verdict that is right on a real line: echoes, stray bytes, gaps,
// late and wrong replies, slow slaves and slow lines.
#include "exchange/exchange.h"
#include "modbus/crc16.h"
#include "tests/support/byte_list.h"

#include <gtest/gtest.h>

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
    const char* copyTaken
        = "CRC OK, a copy of the request: if this adapter hears itself, set echo on";
    const char* echoTold = "this adapter hears itself: its echo is set aside from now on (echo on)";
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
        { "a write answered with another value", write, EchoMode::Auto, { { 10, written } },
            "value 4, asked 3", false, "" },
        { "another slave's frame is not the answer", read, EchoMode::Auto,
            { { 10, framed({ 47, 3, 2, 0, 10 }) }, { 104, "" } }, "no reply", false, "" },
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
        { "echo off: a copy is the reply", write, EchoMode::Off, { { 4, write } }, "CRC OK", true,
            "" },
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
    EXPECT_EQ(third.answer()->replyMs, 20.0);
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
    std::int64_t at = 8 * 9166 + 40'000; // the slave took 40 ms
    for (std::size_t sent = 0; sent < reply.size(); sent += 5, at += 5 * 9166) {
        ASSERT_FALSE(exchange.done()) << sent;
        exchange.read(reply.substr(sent, 5), { at, 0 });
    }
    EXPECT_TRUE(exchange.good()) << exchange.verdict();
    EXPECT_GT(*exchange.answer()->replyMs, 2300.0);
}

} // namespace
