// Check files: the steps and what they expect, every bad line named, and the verdict of a step
// from what its exchange came to.
#include "benchfiles/check_file.h"
#include "modbus/crc16.h"
#include "modbus/function_table.h"
#include "requests/request_language.h"
#include "tests/support/byte_list.h"

#include <gtest/gtest.h>

using namespace modbus;

namespace {

// 100 ms for the reply, 100 ms between its pieces, no character time: reads at invented times.
const ExchangeTiming kTiming { 100'000, 100'000, 0, 20'000 };

TEST(CheckFile, StepsExpectationsAndRefusals)
{
    const CheckFile file = ReadCheckFile("# a bench test\n"
                                         "read-holding 0 2   expect 10 20\n"
                                         "read-input 0 2     expect 15..35 ?   # a range, any\n"
                                         "\n"
                                         "write-register 5 1234 expect ok\n"
                                         "read-holding 300 1 expect exception 2\n"
                                         "wait 500\n");
    EXPECT_TRUE(file.refused.empty());
    ASSERT_EQ(file.steps.size(), 5u);
    EXPECT_EQ(std::tuple(file.steps[0].line, file.steps[0].text),
        std::tuple(2, std::string("read-holding 0 2")));
    const Expected& range = file.steps[1].expected;
    ASSERT_EQ(range.values.size(), 2u);
    EXPECT_EQ(*range.values[0], std::pair(15.0, 35.0));
    EXPECT_FALSE(range.values[1]);
    EXPECT_EQ(file.steps[2].expected.kind, Expected::Kind::Ok);
    EXPECT_EQ(std::tuple(file.steps[3].expected.kind, file.steps[3].expected.exception),
        std::tuple(Expected::Kind::Exception, 2));
    EXPECT_EQ(file.steps[4].waitMs, 500);

    EXPECT_EQ(ReadCheckFile("read-holding 0 2\n"
                            "read-holding 0 expect 1\n"
                            "read-holding 0 1 expect 5..3\n"
                            "wait soon\n"
                            "read-holding 0 1 expect exception\n"
                            "read-holding 0 126 expect ok\n"
                            "write-register 5 70000 expect ok\n"
                            "read-holding 0 2 expect 10\n"
                            "read-coils 0 3 expect 1 0 1 1\n"
                            "mask-write 4 1 2 verify expect ok\n"
                            "write-register 5 1 expect 1\n")
                  .refused,
        std::vector<std::string>({ "line 1: no \"expect\": read-holding 0 2 expect 10 20",
            "line 2: takes 2 arguments (read-holding START COUNT)",
            "line 3: cannot read what is expected: values (? for any, 15..35 for a range), ok, or "
            "exception N",
            "line 4: wait takes milliseconds: wait 500",
            "line 5: cannot read what is expected: values (? for any, 15..35 for a range), ok, or "
            "exception N",
            "line 6: the quantity of registers must be 1..125",
            "line 7: the value 70000 is outside 16 bits (-32768..65535)",
            "line 8: 1 values expected of a read of 2", "line 9: 4 values expected of a read of 3",
            "line 10: verify reads back a write: write-coil, write-register, write-coils, "
            "write-registers or read-write",
            "line 11: a write's reply carries no values to expect: expect ok (or verify, to read "
            "it back)" }));
    // Steps for address 0, a broadcast: a read is refused when the file is read.
    EXPECT_EQ(ReadCheckFile("write-register 5 1 expect ok\nread-holding 0 1 expect ok\n", nullptr,
                  WordOrder::ABCD, 0)
                  .refused,
        std::vector<std::string>(
            { "line 2: " + BuildRequest(0, ParseRequest("read-holding 0 1").fields).notSent }));
}

ByteString framed(std::initializer_list<int> body)
{
    const ByteString b = bytes(body);
    return b + *CRC16(b);
}

TEST(CheckFile, AStepPassesOnlyOnWhatItExpects)
{
    const struct
    {
        const char* step;
        ByteString reply; // empty: nothing came
        bool passed;
        const char* got;
    } cases[] = {
        { "read-holding 0 2 expect 10 20", framed({ 1, 3, 4, 0, 10, 0, 20 }), true, "10 20" },
        { "read-holding 0 2 expect 10 21", framed({ 1, 3, 4, 0, 10, 0, 20 }), false, "10 20" },
        { "read-holding 0 2 expect 5..15 ?", framed({ 1, 3, 4, 0, 10, 0xFF, 0xFF }), true,
            "10 65535" },
        { "read-holding 0 1 expect -5", framed({ 1, 3, 2, 0xFF, 0xFB }), true, "65531" },
        { "read-holding 0 2 expect 10 ?", framed({ 1, 3, 2, 0, 10 }), false,
            "2 data bytes, asked 4" },
        { "read-holding 0 1 expect 10", framed({ 1, 4, 2, 0, 10 }), false,
            "reply to function 4, asked 3" },
        { "read-holding 0 1 expect ok", framed({ 1, 3, 2, 0, 10 }), true, "CRC OK" },
        { "read-holding 0 1 expect exception 2", framed({ 1, 0x83, 2 }), true,
            "exception 2 ILLEGAL DATA ADDRESS" },
        { "read-holding 0 1 expect exception 2", framed({ 1, 3, 2, 0, 10 }), false, "10" },
        { "read-holding 0 1 expect exception 3", framed({ 1, 0x83, 2 }), false,
            "exception 2 ILLEGAL DATA ADDRESS" },
        { "read-holding 0 1 expect ok", framed({ 1, 0x83, 2 }), false,
            "exception 2 ILLEGAL DATA ADDRESS" },
        { "read-holding 0 1 expect 10", {}, false, "no reply" },
        { "read-holding 0 1 expect ok", bytes({ 1, 3, 2, 0, 10, 0, 0 }), false,
            "CRC BAD (expected 38 43)" },
    };
    for (const auto& c : cases) {
        const CheckStep step = ReadCheckFile(c.step).steps.at(0);
        const ByteString request = BuildRequest(1, step.request).frame;
        FrameAnalyzer line;
        Exchange exchange(line, request, int(request.size()), kTiming, { 0, 0 });
        exchange.read(c.reply, { 5'000, 5 });
        if (!exchange.done())
            exchange.read({}, { 100'000, 100 });
        const StepResult r = JudgeStep(step, exchange);
        EXPECT_EQ(r.passed, c.passed) << c.step;
        EXPECT_EQ(r.got, c.got) << c.step;
    }
    // To address 0 nothing answers: a broadcast sent whole passes "expect ok" and only that.
    for (const auto& [text, passed] : { std::pair("write-register 5 1 expect ok", true),
             std::pair("write-register 5 1 expect exception 2", false) }) {
        const CheckStep step = ReadCheckFile(text).steps.at(0);
        const ByteString request = BuildRequest(0, step.request).frame;
        FrameAnalyzer line;
        const Exchange exchange(line, request, int(request.size()), kTiming, { 0, 0 });
        EXPECT_EQ(JudgeStep(step, exchange).passed, passed) << text;
        EXPECT_EQ(JudgeStep(step, exchange).got, "broadcast: no reply expected");
    }
}

// With a map, steps name registers and expect engineering values, or an enum's names.
TEST(CheckFile, MappedStepsExpectEngineeringValues)
{
    const RegisterMap map = ReadRegisterMap("table,address,name,type,scale,unit,enum\n"
                                            "input,0,temperature,s16,0.1,°C,\n"
                                            "holding,7,mode,u16,,,0=off;1=on\n");
    const struct
    {
        const char* step;
        ByteString reply;
        bool passed;
        const char* got;
    } cases[] = {
        { "read-input temperature expect 15..35", framed({ 1, 4, 2, 0, 234 }), true, "23.4 °C" },
        { "read temperature expect 23.4", framed({ 1, 4, 2, 0, 234 }), true, "23.4 °C" },
        { "read temperature expect 15..35", framed({ 1, 4, 2, 0xFF, 0x16 }), false, "-23.4 °C" },
        { "read mode expect on", framed({ 1, 3, 2, 0, 1 }), true, "on" },
        { "read mode expect off", framed({ 1, 3, 2, 0, 1 }), false, "on" },
        { "read mode expect ?", framed({ 1, 3, 2, 0, 9 }), true, "9" },
    };
    for (const auto& c : cases) {
        const CheckFile file = ReadCheckFile(c.step, &map);
        ASSERT_EQ(file.refused, std::vector<std::string>()) << c.step;
        const ByteString request = BuildRequest(1, file.steps.at(0).request).frame;
        FrameAnalyzer line;
        Exchange exchange(line, request, int(request.size()), kTiming, { 0, 0 });
        exchange.read(c.reply, { 5'000, 5 });
        const StepResult r = JudgeStep(file.steps[0], exchange);
        EXPECT_EQ(std::tuple(r.passed, r.got), std::tuple(c.passed, std::string(c.got))) << c.step;
    }
    EXPECT_EQ(ReadCheckFile("read mode expect broken\nread pressure expect 1\n", &map).refused,
        std::vector<std::string>({ "line 1: cannot read what is expected: values (? for any, "
                                   "15..35 for a range), ok, or exception N",
            "line 2: no register named \"pressure\" in the map" }));
}

} // namespace
