// Polling runs, driven by invented times: the schedule, the statistics, the watch, the data log.
#include "benchfiles/map_values.h"
#include "modbus/crc16.h"
#include "modbus/function_table.h"
#include "modbus/number_format.h"
#include "requests/request_language.h"
#include "runs/data_log.h"
#include "runs/named_watch.h"
#include "runs/poll_schedule.h"
#include "runs/poll_statistics.h"
#include "runs/run_statistics.h"
#include "runs/slave_back_off.h"
#include "runs/timing_advice.h"
#include "runs/value_axis.h"
#include "runs/watch_table.h"

#include <gtest/gtest.h>

using namespace modbus;

namespace {

// What a run does, one step a row: at ms, "?" asks what is due (the answer: "-" or the index
// sent), "a" the answer came, "t?" asks whether the request out timed out.
struct Step
{
    int ms;
    const char* what;
    const char* expect;
};

std::string drive(PollSchedule& s, const Step& step)
{
    const std::int64_t now = step.ms * 1000LL;
    const std::string what = step.what;
    if (what == "?") {
        const std::optional<int> due = s.due(now);
        if (!due)
            return "-";
        s.sent(now);
        return std::to_string(*due);
    }
    if (what == "a") {
        s.answered(now);
        return "";
    }
    if (what == "t?")
        return s.timedOut(now) ? "timed out" : "waiting";
    if (what == "stop") {
        s.stop();
        return "";
    }
    return s.finished() ? "finished" : "running";
}

TEST(PollSchedule, IntervalsAnswersTimeOutsListsAndStop)
{
    const struct
    {
        const char* what;
        int requests;
        PollSettings settings;
        std::vector<Step> steps;
    } runs[] = {
        { "the interval is kept", 1, { 100'000, 0, 50'000 },
            { { 0, "?", "0" }, { 10, "a", "" }, { 50, "?", "-" }, { 99, "?", "-" },
                { 100, "?", "0" }, { 105, "a", "" }, { 200, "?", "0" } } },
        { "a slow reply delays the next poll, with no burst after it", 1, { 100'000, 0, 1'000'000 },
            { { 0, "?", "0" }, { 100, "?", "-" }, { 250, "a", "" }, { 250, "?", "0" },
                { 260, "a", "" }, { 300, "?", "-" }, { 349, "?", "-" }, { 350, "?", "0" } } },
        { "a time-out releases the request", 1, { 100'000, 0, 50'000 },
            { { 0, "?", "0" }, { 49, "t?", "waiting" }, { 50, "t?", "timed out" }, { 50, "a", "" },
                { 100, "?", "0" } } },
        { "a list is polled in order, back to back within a cycle", 3, { 100'000, 0, 50'000 },
            { { 0, "?", "0" }, { 5, "a", "" }, { 5, "?", "1" }, { 9, "?", "-" }, { 10, "a", "" },
                { 10, "?", "2" }, { 15, "a", "" }, { 15, "?", "-" }, { 100, "?", "0" } } },
        { "a count ends the run after its cycles", 2, { 0, 2, 50'000 },
            { { 0, "?", "0" }, { 1, "a", "" }, { 1, "?", "1" }, { 2, "a", "" }, { 2, "?", "0" },
                { 3, "a", "" }, { 3, "?", "1" }, { 3, "", "running" }, { 4, "a", "" },
                { 4, "?", "-" }, { 4, "", "finished" } } },
        { "stop lets the request out finish, then sends nothing", 1, { 0, 0, 50'000 },
            { { 0, "?", "0" }, { 1, "stop", "" }, { 1, "", "running" }, { 2, "a", "" },
                { 2, "?", "-" }, { 2, "", "finished" } } },
    };
    for (const auto& run : runs) {
        PollSchedule schedule(run.requests, run.settings, 0);
        for (const Step& step : run.steps)
            EXPECT_EQ(drive(schedule, step), step.expect) << run.what << " at " << step.ms << " ms";
    }
}

// A list reaching slaves 1, 2 and 3, cycle by cycle: "." answered, "x" no reply, "-" not
// polled (backed off). Slave 2 falls silent after cycle 1 and is back from cycle 23 on: its next
// probe, in cycle 24, finds it.
TEST(SlaveBackOff, ASilentSlaveIsPolledOnceEveryTenCyclesAndAsBeforeWhenItAnswers)
{
    SlaveBackOff backOff(10);
    std::vector<std::string> expected { "..." };
    expected.insert(expected.end(), 3, ".x.");
    expected.insert(expected.end(), 9, ".-.");
    expected.push_back(".x."); // cycle 14: its probe
    expected.insert(expected.end(), 9, ".-.");
    expected.push_back("...");
    std::vector<std::string> told;
    for (int cycle = 1; cycle <= int(expected.size()); ++cycle) {
        std::string seen;
        for (int slave = 1; slave <= 3; ++slave) {
            if (!backOff.polls(slave, cycle)) {
                seen += '-';
                continue;
            }
            const bool answers = slave != 2 || cycle == 1 || cycle >= 23;
            seen += answers ? '.' : 'x';
            if (const std::string t = backOff.text(slave, backOff.record(slave, cycle, answers));
                !t.empty())
                told.push_back(std::to_string(cycle) + ": " + t);
        }
        EXPECT_EQ(seen, expected[cycle - 1]) << "cycle " << cycle;
    }
    EXPECT_EQ(told,
        (std::vector<std::string> {
            "4: slave 2 backed off: no reply 3 times running, polled once every 10 cycles",
            "24: slave 2 answers again: polled as before" }));
    EXPECT_FALSE(backOff.backedOff(2));
    // Two requests to a backed-off slave: one is its probe, the other waits for an answer.
    SlaveBackOff two(5);
    for (int cycle = 1; cycle <= 3; ++cycle)
        two.record(7, cycle, false);
    EXPECT_EQ(two.backedOffSlaves(), std::vector { 7 });
    EXPECT_TRUE(two.polls(7, 8));
    two.record(7, 8, false);
    EXPECT_FALSE(two.polls(7, 8)) << "its second request in the same cycle";
    SlaveBackOff never(1);
    for (int cycle = 1; cycle <= 5; ++cycle)
        never.record(7, cycle, false);
    EXPECT_TRUE(never.polls(7, 6)) << "1: no back-off";
}

TEST(RunStatistics, SlaveBySlaveOnlyWhenSeveralArePolled)
{
    RunStatistics one, three;
    for (RunStatistics* s : { &one, &three })
        s->started(0);
    for (int i = 1; i <= 4; ++i) {
        one.record(5, PollOutcome::Good, 4.0, 0, i * 100'000);
        for (int slave : { 1, 2, 3 })
            three.record(slave, slave == 2 ? PollOutcome::NoReply : PollOutcome::Good,
                slave == 2 ? std::nullopt : std::optional(4.0), 0, i * 100'000);
    }
    EXPECT_EQ(one.report(), one.total().report()) << "one slave: as before";
    EXPECT_TRUE(one.allGood());
    EXPECT_FALSE(three.allGood());
    SlaveBackOff backOff(10);
    for (int cycle = 1; cycle <= 3; ++cycle)
        backOff.record(2, cycle, false);
    const std::string report = three.report(&backOff);
    EXPECT_EQ(report.substr(0, three.total().report().size()), three.total().report());
    EXPECT_NE(report.find("slave 2: requests 4, good replies 0, no reply 4, other failures 0, "
                          "10 polls per second, backed off\n"),
        std::string::npos)
        << report;
    EXPECT_NE(report.find("slave 3: requests 4, good replies 4, no reply 0, other failures 0, "
                          "reply time median 4 ms, 10 polls per second\n"),
        std::string::npos)
        << report;
}

// What reply times advise: a time-out that fits them, and a USB adapter's 16 ms steps.
TEST(TimingAdvice, ATimeOutThatFitsAndTheLatencyTimersSteps)
{
    const auto times = [](std::initializer_list<double> pattern, int copies) {
        std::vector<double> all;
        for (int i = 0; i < copies; ++i)
            all.insert(all.end(), pattern);
        return all;
    };
    const struct
    {
        const char* how;
        std::vector<double> ms;
        bool steps;
    } cases[] = {
        { "a fast slave behind a 16 ms timer", times({ 15.9, 16.2, 16.6, 17.1 }, 5), true },
        { "a slower one straddling two steps", times({ 16.4, 31.8, 32.5 }, 5), true },
        { "a fast slave on a good adapter", times({ 4.4, 4.6, 4.5 }, 5), false },
        { "times all over", times({ 5, 9, 13, 16, 21, 26, 30, 33, 38, 41 }, 2), false },
        { "too few to tell", times({ 16.1 }, 9), false },
    };
    for (const auto& c : cases)
        EXPECT_EQ(InUsbLatencySteps(c.ms), c.steps) << c.how;

    const std::string request = *ParseHexBytes("01 03 00 00 00 02 C4 0B");
    EXPECT_NEAR(WireMs(request, 520), 17 * 0.52, 1e-9) << "8 bytes out, 9 back";
    EXPECT_NEAR(WireMs(request, 520, Framing::Ascii), (17 + 19) * 0.52, 1e-9)
        << "ASCII: 17 characters out, 19 back";
    // Bytes out and back at 1 ms each: a reply whose length only the slave says counts 8.
    const std::pair<const char*, double> wires[] = {
        { "read-coils 0 9", 8 + 7 },
        { "write-register 1 3", 8 + 8 },
        { "mask-write 4 0xF2 0x25", 10 + 10 },
        { "diagnostics 0 01 02 03 04", 10 + 10 },
        { "server-id", 4 + 8 },
    };
    for (const auto& [command, ms] : wires)
        EXPECT_NEAR(WireMs(BuildRequest(1, ParseRequest(command).fields).frame, 1000), ms, 1e-9)
            << command;
    PollStatistics stats;
    stats.started(0);
    for (int i = 0; i < 9; ++i)
        stats.record(PollOutcome::Good, 16.0 + 0.1 * i, 0, i * 100'000);
    EXPECT_EQ(TimingAdvice(stats, 8.84), "") << "nine replies: too few";
    stats.record(PollOutcome::Good, 16.9, 0, 1'000'000);
    EXPECT_EQ(TimingAdvice(stats, 8.84),
        "suggested time-out 51 ms (the larger of 3 × p99 16.9 ms and the wire's 8.84 ms + 20 ms)\n"
        "reply times come in steps of 16 ms: the signature of a USB adapter's latency timer (16 "
        "ms by default); set it to 1 ms (Linux: /sys/bus/usb-serial/devices/ttyUSB0/"
        "latency_timer; Windows: the port's Advanced settings, Latency Timer)\n");
    EXPECT_EQ(TimingAdvice(stats, 8.84, false),
        "suggested time-out 51 ms (the larger of 3 × p99 16.9 ms and the wire's 8.84 ms + 20 ms)\n")
        << "a pseudo-terminal or a network: no adapter, a slave steady at 16 ms";
    PollStatistics quick;
    quick.started(0);
    for (int i = 0; i < 10; ++i)
        quick.record(PollOutcome::Good, 4.0, 0, i * 100'000);
    EXPECT_EQ(TimingAdvice(quick, 8.84).substr(0, 26), "suggested time-out 29 ms (") << "wire + 20";
}

TEST(PollStatistics, CountsPercentilesAndBins)
{
    PollStatistics s;
    s.started(0);
    // 1..20 ms replies, then one of each failure.
    for (int ms = 1; ms <= 20; ++ms)
        s.record(PollOutcome::Good, double(ms) + 0.5, 0, ms * 1000LL);
    s.record(PollOutcome::Exception, 3.0, 2, 30'000);
    s.record(PollOutcome::CrcBad, 120.0, 0, 40'000);
    s.record(PollOutcome::NoReply, std::nullopt, 0, 1'040'000);
    s.record(PollOutcome::OtherAddress, 4.0, 0, 2'000'000);
    EXPECT_EQ(s.requests(), 24);
    EXPECT_EQ(s.count(PollOutcome::Good), 20);
    EXPECT_EQ(s.exceptions().at(2), 1);
    EXPECT_DOUBLE_EQ(s.errorPercent(), 100.0 * 4 / 24);
    EXPECT_EQ(s.minMs(), 1.5);
    EXPECT_EQ(s.maxMs(), 120.0);
    // 23 times: 1.5..20.5, 3, 120, 4. Nearest rank: the 12th is 10.5, the 22nd 20.5.
    EXPECT_EQ(s.percentileMs(0.5), 10.5);
    EXPECT_EQ(s.percentileMs(0.95), 20.5);
    EXPECT_DOUBLE_EQ(s.pollsPerSecond(), 23 / 1.999) << "24 polls, 23 intervals";
    PollStatistics ten;
    ten.started(0);
    for (int i = 0; i < 10; ++i) // each answered 8 ms after it went
        ten.record(PollOutcome::Good, 8.0, 0, i * 100'000LL + 8'000);
    EXPECT_DOUBLE_EQ(ten.pollsPerSecond(), 10.0) << "ten polls 100 ms apart: not 11.01";
    EXPECT_EQ(RateText(10'190.4), "10190");
    EXPECT_EQ(RateText(11.0), "11");
    const std::vector<HistogramBin>& bins = s.histogram();
    EXPECT_EQ(bins[1].count, 1); // 1.5
    EXPECT_EQ(bins[3].count, 2); // 3.0 and 3.5
    const auto wide = std::find_if(
        bins.begin(), bins.end(), [](const HistogramBin& b) { return b.fromMs == 100; });
    ASSERT_NE(wide, bins.end());
    EXPECT_EQ(wide->toMs, 150);
    EXPECT_EQ(wide->count, 1); // 120
    EXPECT_NE(s.report().find("exception 2 ILLEGAL DATA ADDRESS: 1"), std::string::npos);
    for (const std::int64_t us : { 0, 400, 2'500, 9'000 })
        s.recordLateness(us);
    EXPECT_EQ(s.latenessPercentileMs(0.5), 1.0); // within the first millisecond
    EXPECT_EQ(s.latenessPercentileMs(0.99), 10.0);
    EXPECT_NE(s.report().find("reply time min 1.5 ms, median 10.5 ms, p95 20.5 ms, max 120 ms"),
        std::string::npos)
        << s.report();
    for (int n = 0; n < 3; ++n)
        s.recordLateness(1'000'000 + n * 700'000); // a second late, and more
    EXPECT_NE(s.report().find("cycles started within 10 ms of their time (median), a second or "
                              "more late (p99)\n"),
        std::string::npos)
        << s.report();
    // One poll has no rate to tell.
    PollStatistics one;
    one.started(0);
    one.record(PollOutcome::Good, 4.5, 0, 4'469);
    EXPECT_EQ(one.report().find("polls per second"), std::string::npos) << one.report();
}

ByteString framed(ByteString body) { return body + *CRC16(body); }

TEST(WatchTable, ChangesStaleRowsAndTheDataLog)
{
    const ByteString request = BuildRequest(17, ParseRequest("read-input 8 2").fields).frame;
    const auto reply = [](int a, int b) {
        return framed(ByteString { '\x11', '\x04', '\x04', '\x00', char(a), '\x00', char(b) });
    };
    WatchTable watch;
    watch.update(*ValuesOfReply(request, reply(10, 20)), 1000);
    watch.update(*ValuesOfReply(request, reply(10, 21)), 2000);
    const WatchKey eight { 17, DataTable::InputRegisters, 8 },
        nine { 17, DataTable::InputRegisters, 9 };
    ASSERT_TRUE(watch.find(eight) && watch.find(nine));
    EXPECT_EQ(std::tuple(watch.find(eight)->value, watch.find(eight)->changes,
                  watch.find(eight)->changedRecently, watch.find(eight)->changedWallMs),
        std::tuple(10, 0, false, 1000));
    EXPECT_EQ(std::tuple(watch.find(nine)->value, watch.find(nine)->changes,
                  watch.find(nine)->changedRecently, watch.find(nine)->changedWallMs),
        std::tuple(21, 1, true, 2000));
    watch.markStale(request);
    EXPECT_TRUE(watch.find(nine)->stale);
    EXPECT_EQ(watch.find(nine)->value, 21);
    watch.update(*ValuesOfReply(request, reply(10, 21)), 3000);
    EXPECT_FALSE(watch.find(nine)->stale);
    // A change stays marked for two seconds, however many polls come meanwhile.
    for (const auto& [atMs, marked] :
        { std::pair { 3000, true }, { 3999, true }, { 4000, false } }) {
        watch.update(*ValuesOfReply(request, reply(10, 21)), atMs);
        EXPECT_EQ(watch.find(nine)->changedRecently, marked) << atMs;
    }
    watch.update(*ValuesOfReply(request, reply(10, 22)), 86'399'500); // just before midnight
    watch.update(*ValuesOfReply(request, reply(10, 22)), 500);
    EXPECT_TRUE(watch.find(nine)->changedRecently) << "a second later, past midnight";

    // Coils: padding bits are not values; a reply to another request is none.
    const ByteString coils = BuildRequest(1, ParseRequest("read-coils 19 19").fields).frame;
    const auto bits = ValuesOfReply(coils, framed({ 1, 1, 3, char(0xCD), 0x6B, 0x05 }));
    ASSERT_TRUE(bits);
    EXPECT_EQ(bits->values.size(), 19u);
    EXPECT_EQ(DataLogRow("2026-12-07T14:02:07.351", *bits),
        "2026-12-07T14:02:07.351,1,1,19,1,0,1,1,0,0,1,1,1,1,0,1,0,1,1,0,1,0,1\r\n");
    EXPECT_FALSE(ValuesOfReply(coils, reply(1, 2)));
    EXPECT_FALSE(ValuesOfReply(BuildRequest(1, ParseRequest("write-register 0 1").fields).frame,
        framed({ 1, 6, 0, 0, 0, 1 })));
}

// With a map, the watch names its rows; a value over two registers waits for both.
TEST(WatchTable, NamesAndEngineeringValuesFromAMap)
{
    const RegisterMap map = ReadRegisterMap("table,address,name,type,order,scale,unit\n"
                                            "input,9,level,f32,CDAB,,m\n"
                                            "input,8,supply,u16,,0.001,V\n"
                                            "input,20,far,u32,,,\n");
    WatchTable watch;
    const ByteString request = BuildRequest(17, ParseRequest("read-input 8 3").fields).frame;
    watch.update(
        *ValuesOfReply(request,
            framed(ByteString { 17, 4, 6, 0x03, char(0xE8), 0x0F, char(0xDB), 0x40, 0x49 })),
        1000);
    watch.update(*ValuesOfReply(BuildRequest(17, ParseRequest("read-input 20 1").fields).frame,
                     framed(ByteString { 17, 4, 2, 0, 5 })),
        1000);
    const std::vector<std::pair<std::string, std::string>> expected { { "supply", "1 V" },
        { "level", "3.1415927 m" }, { "(level)", "" }, { "far", "" } };
    EXPECT_EQ(WatchNames(watch.rows(), map, WordOrder::ABCD), expected);
    // The trend's value for an entry: its engineering value when the read holds it whole.
    const ReadValues read { 17, 4, DataTable::InputRegisters, 8, { 1000, 0x0FDB, 0x4049 } };
    EXPECT_NEAR(*EngineeringAt(map, read, 9, WordOrder::ABCD), 3.1415927, 1e-6);
    EXPECT_EQ(EngineeringAt(map, read, 8, WordOrder::ABCD), 1.0);
    EXPECT_FALSE(EngineeringAt(map, read, 10, WordOrder::ABCD));
}

} // namespace

// The trend's value axis: never a series on the frame, a flat one in the middle, 4 to 6 grid
// lines at round steps, labels of 4 significant digits (a tiny float read "2041e-38", clipped).
TEST(ValueAxis, PaddedRoundAndReadable)
{
    const struct
    {
        double least, greatest;
        const char* labels; // the grid lines' labels
    } cases[] = {
        { 0, 100, "0 20 40 60 80 100" },
        { 20.5, 21.7, "20.6 20.8 21 21.2 21.4 21.6" },
        { 500, 500, "460 480 500 520 540" },
        { 0, 0, "-1 -0.5 0 0.5 1" },
        { -3.2, -1.1, "-3 -2.5 -2 -1.5 -1" },
        { 2.041e-38, 2.041e-38, "1.9e-38 2e-38 2.1e-38 2.2e-38" },
        { 0, 65535, "0 20000 40000 60000" },
    };
    for (const auto& c : cases) {
        const ValueAxis axis = NiceAxis(c.least, c.greatest);
        std::string labels;
        for (const double tick : axis.ticks)
            labels += (labels.empty() ? "" : " ") + TickText(tick);
        EXPECT_EQ(labels, c.labels) << c.least << ".." << c.greatest;
        EXPECT_GE(axis.ticks.size(), 4u);
        EXPECT_LE(axis.ticks.size(), 6u);
        EXPECT_LT(axis.lo, c.least) << "off the frame";
        EXPECT_GT(axis.hi, c.greatest) << "off the frame";
        if (c.least == c.greatest)
            EXPECT_NEAR((axis.lo + axis.hi) / 2, c.least, 1e-9 * std::abs(c.least) + 1e-12)
                << "a flat series in the middle";
    }
}
