// One request and its answer as quillet-cli runs it, with invented times: when it is done, how
// long a read may wait, what the verdict is.
#include "modbus/crc16.h"
#include "modbus/exchange.h"
#include "tests/support/byte_list.h"

#include <gtest/gtest.h>

using namespace modbus;

namespace {

ByteString framed(std::initializer_list<int> body)
{
    const ByteString b = bytes(body);
    return b + *CRC16(b);
}

// Each step: a read at ms bringing bytes (empty: the wait passed); then the expected state.
struct Read
{
    int ms;
    ByteString chunk;
    bool done;
};

TEST(Exchange, DoneAtTheAnswerAtTheTimeOutOrAfterTheSilence)
{
    const ByteString read = framed({ 1, 3, 0, 0, 0, 1 });
    const ByteString reply = framed({ 1, 3, 2, 0, 10 });
    const ByteString write = framed({ 1, 6, 0, 1, 0, 3 });
    const struct
    {
        const char* what;
        ByteString request;
        std::vector<Read> reads;
        const char* verdict;
        bool good;
    } cases[] = {
        { "the reply ends it at once", read, { { 5, reply, true } }, "CRC OK", true },
        { "a reply in two reads", read,
            { { 3, reply.substr(0, 3), false }, { 5, reply.substr(3), true } },
            "CRC OK, in 2 reads", true },
        { "a copy waits for the silence after it", write, { { 4, write, false }, { 24, "", true } },
            "CRC OK", true },
        { "nothing within the time-out", read, { { 100, "", true } }, "no reply", false },
        { "an exception", read, { { 4, framed({ 1, 0x83, 2 }), true } },
            "exception 2 ILLEGAL DATA ADDRESS", false },
        { "garbage, then silence", read, { { 4, bytes({ 0xFF, 0x00 }), false }, { 24, "", true } },
            "not a frame", false },
    };
    for (const auto& c : cases) {
        Exchange exchange(c.request, int(c.request.size()), 100'000, 20'000, { 0, 0 });
        EXPECT_EQ(exchange.nextWaitUs(0), 100'000) << c.what;
        for (const Read& r : c.reads) {
            exchange.read(r.chunk, { r.ms * 1000LL, r.ms });
            EXPECT_EQ(exchange.done(), r.done) << c.what << " at " << r.ms << " ms";
        }
        EXPECT_EQ(exchange.verdict(), c.verdict) << c.what;
        EXPECT_EQ(exchange.good(), c.good) << c.what;
    }
    // Once bytes came, a read waits only for the silence, never past the time-out.
    Exchange partial(read, 8, 100'000, 20'000, { 0, 0 });
    partial.read(reply.substr(0, 3), { 90'000, 90 });
    EXPECT_EQ(partial.nextWaitUs(90'000), 10'000);
    EXPECT_EQ(partial.nextWaitUs(50'000), 20'000);
    // A short write is done before it began: nothing can answer half a request.
    EXPECT_TRUE(Exchange(read, 3, 100'000, 20'000, { 0, 0 }).done());
}

} // namespace
