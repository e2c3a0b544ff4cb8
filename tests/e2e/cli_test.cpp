// quillet-cli against the demo slave: every command, and the exit status for a good reply, an
// exception, no reply and a usage error. The slave serves on a thread of the fixture's own.
#include "cli_run.h"
#include "modbus/crc16.h"
#include "sim/pty_slave.h"
#include "tests/support/paced_line.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>

namespace {

class CliAgainstDemoSlave : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(slave.ok());
        for (int n = 0; n < 20; ++n) {
            slave.registers()[n] = std::uint16_t(10 * (n + 1));
            slave.inputRegisters()[n] = std::uint16_t(1000 + n);
            slave.coils()[n] = n % 2;
        }
        slave.setIdentification({ "Quillet", "QSIM", "1.0", "", "", "", "" });
        server = std::thread([this] {
            while (!stop)
                slave.serveOnce(50);
        });
    }
    void TearDown() override { stopServing(); }
    // The slave's tables are read only once its thread has ended: no read races its writes.
    void stopServing()
    {
        stop = true;
        if (server.joinable())
            server.join();
    }
    std::string port() const { return "--port " + slave.path() + " --address 48 "; }

    PtySlave slave { 48, 20 };
    std::atomic<bool> stop = false;
    std::thread server;
};

TEST_F(CliAgainstDemoSlave, EveryCommandAndItsExitStatus)
{
    const struct
    {
        const char* arguments;
        int status;
        const char* shows;
    } runs[] = {
        { "read-coils 0 10", 0, "Coils 0..9: 01010101 01" },
        { "read-discrete 0 4", 0, "Inputs 0..3: 0000" },
        { "read-holding 1 2", 0, "1 (0x0001)\t0x0014\t20\t20\t" },
        { "read-input 0 2", 0, "1 (0x0001)\t0x03E9\t1001\t1001\n" },
        { "write-coil 4 1", 0, "Echo\tmatches the request" },
        { "write-register 3 -2", 0, "Value\t65534 (0xFFFE)" },
        { "write-coils 0 1 1 0", 0, "Quantity\t3 (0x0003)" },
        { "write-registers 5 1 2 3", 0, "Start\t5 (0x0005)" },
        { "mask-write 2 0xF0 0x0F", 0, "OR mask\t15 (0x000F)" },
        { "read-write 0 2 10 5 6", 0, "0 (0x0000)\t0x000A\t10" },
        { "diagnostics 0 A5 37", 0, "Data (hex)\tA5 37" },
        { "server-id", 0, "Byte count\t" },
        { "device-id", 0, "0 VendorName\tQuillet\n1 ProductCode\tQSIM" },
        { "read-fifo 0", 0, "FIFO count\t10\nValue 1\t20 (0x0014)\n" }, // holding 0 counts
        { "read-fifo 15", 1, "exception 3 ILLEGAL DATA VALUE" }, // 160 values: over 31
        { "raw 03 00 00 00 01", 0, "0 (0x0000)\t0x000A" },
        { "--json read-input 0 1", 0,
            "\"address\": 0,\n      \"signed\": 1000,\n      \"unsigned\": 1000" },
        { "--json read-coils 0 2", 0, "\"address\": 1,\n      \"value\": true" },
        { "--json write-register 3 -2", 0,
            "\"written\": {\n    \"address\": 3,\n    \"value\": 65534" },
        { "--json --address 47 --timeout 50 read-holding 0 1", 1, "\"code\": \"no-reply\"" },
        { "--json read-holding 300 1", 1, "\"exception\": {\n    \"code\": 2," },
        { "--word-order CDAB read-holding 0 2", 0, "0x000A\t10\t10\t1.8367239e-39\t1310730" },
        { "read-holding 300 1", 1, "exception 2 ILLEGAL DATA ADDRESS" },
        { "raw 03 00 00 00 01 bad-crc", 1, "no reply" },
        { "--timeout 200 --address 47 read-holding 0 1", 1, "no reply" },
        { "read-holding 0 126", 2, "" },
        { "read-holding 0", 2, "" },
        { "--parity mark read-holding 0 1", 2, "" },
        { "--csv read-holding 0 1", 2, "" },
        { "--count 3 read-holding 0 1", 2, "" },
        { "--every 10 --json read-holding 0 1", 2, "" },
    };
    for (const auto& r : runs) {
        const CliRun run = runCli(port() + r.arguments);
        EXPECT_EQ(run.status, r.status) << r.arguments << "\n" << run.out;
        EXPECT_NE(run.out.find(r.shows), std::string::npos) << r.arguments << "\n" << run.out;
    }
    // The writes reached the slave.
    stopServing();
    EXPECT_EQ(slave.registers()[3], 65534);
    EXPECT_EQ(slave.coils()[4], 1);
    EXPECT_EQ(slave.registers()[2], (30 & 0xF0) | (0x0F & ~0xF0));
}

TEST_F(CliAgainstDemoSlave, PollingRunsPrintALinePerPollAndTheirStatistics)
{
    const CliRun good = runCli(port() + "--every 10 --count 50 read-input 0 2", true);
    EXPECT_EQ(good.status, 0) << good.out;
    std::size_t lines = 0;
    for (std::size_t at = 0; (at = good.out.find("\t1000\t1001\n", at)) != std::string::npos; ++at)
        ++lines;
    EXPECT_EQ(lines, 50u) << good.out;
    EXPECT_NE(good.out.find("requests 50, good replies 50, CRC BAD 0, exceptions 0, no reply 0"),
        std::string::npos)
        << good.out;

    const CliRun csv = runCli(port() + "--every 0 --count 3 --csv read-coils 0 4");
    EXPECT_EQ(csv.out.substr(0, csv.out.find('\n') + 1), "time,slave,function,start,values\r\n");
    EXPECT_NE(csv.out.find(",48,1,0,0,1,0,1\r\n"), std::string::npos) << csv.out;

    const CliRun silent
        = runCli(port() + "--address 47 --timeout 50 --every 0 --count 2 read-input 0 1", true);
    EXPECT_EQ(silent.status, 1);
    EXPECT_NE(silent.out.find("no reply 2"), std::string::npos) << silent.out;
    EXPECT_EQ(runCli(port() + "--every 10 write-register 0 1").status, 2) << "polls read only";
    // A list of slaves: each asked in turn and named; a write to several is refused.
    const CliRun two = runCli("--port " + slave.path()
            + " --address 48,47 --timeout 100 "
              "read-holding 0 1",
        true);
    EXPECT_EQ(two.status, 1);
    EXPECT_NE(two.out.find("slave 48\n"), std::string::npos) << two.out;
    EXPECT_NE(two.out.find("quillet-cli: slave 47: no reply"), std::string::npos) << two.out;
    EXPECT_EQ(runCli("--port " + slave.path() + " --address 48,47 write-register 0 1").status, 2);
    const CliRun twoPorts = runCli(port() + "--port /dev/null read-input 0 1", true);
    EXPECT_EQ(twoPorts.status, 2);
    EXPECT_NE(twoPorts.out.find("--port twice is for listen"), std::string::npos) << twoPorts.out;
}

TEST_F(CliAgainstDemoSlave, AScanFindsTheSlaveAndNamesItAndADeadRangeExitsOne)
{
    const std::string portOnly = "--port " + slave.path() + " ";
    const CliRun found = runCli(portOnly + "scan --addresses 45-50");
    EXPECT_EQ(found.status, 0) << found.out;
    // A pty takes any setting: the first tried, the Modbus default 8E1 at 19200, finds it.
    // Both questions are asked: the identification objects, then the server id.
    EXPECT_EQ(found.out.substr(0, found.out.find("OK, ") + 4), "found 48 at 19200 8E1: CRC OK, ");
    EXPECT_NE(found.out.find(
                  " ms; VendorName Quillet, ProductCode QSIM, MajorMinorRevision 1.0; server id "),
        std::string::npos)
        << found.out;
    const CliRun csv
        = runCli(portOnly + "scan --addresses 47-48 --speeds 9600 --parity none --all --csv");
    EXPECT_EQ(csv.status, 0);
    EXPECT_NE(csv.out.find("\n48,9600 8N1,CRC OK,"), std::string::npos) << csv.out;
    // An exception counts as found: the probe asks for a register the slave lacks.
    const CliRun exception = runCli(portOnly + "scan --addresses 48-48 --probe read-holding 300 1");
    EXPECT_NE(exception.out.find("found 48 at 19200 8E1: exception 2 ILLEGAL DATA ADDRESS"),
        std::string::npos)
        << exception.out;
    // Nobody at 1..3: exit 1, within the estimate (3 probes of 100 ms) and a generous margin.
    const auto start = std::chrono::steady_clock::now();
    const CliRun none = runCli(portOnly + "scan --addresses 1-3 --speeds 9600 --parity none");
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.out, "");
    EXPECT_LT(took, std::chrono::seconds(3));
    EXPECT_EQ(runCli(portOnly + "scan --addresses 5-2").status, 2);
    // A probe that cannot be built is refused at once, not a scan that sends nothing.
    const CliRun probe = runCli(portOnly + "scan --probe read-holding 0 126", true);
    EXPECT_EQ(probe.status, 2);
    EXPECT_NE(
        probe.out.find("--probe: the quantity of registers must be 1..125"), std::string::npos)
        << probe.out;
}

// The demo slave answering on a thread of its own while in scope; stopped (and its tables safe
// to read) when it goes.
class Served
{
public:
    explicit Served(PtySlave& slave)
        : thread_([this, &slave] {
            while (!stop_)
                slave.serveOnce(20);
        })
    { }
    ~Served()
    {
        stop_ = true;
        thread_.join();
    }

private:
    std::atomic<bool> stop_ = false;
    std::thread thread_;
};

// The paced line taken for a serial port, as a bridge to a real line is: its reads follow the
// line's speed, so the line's time rules apply.
class TimedPty
{
public:
    TimedPty() { setenv("QUILLET_TIMED_PTY", "1", 1); }
    ~TimedPty() { unsetenv("QUILLET_TIMED_PTY"); }
};

// The faults of real lines, each between quillet-cli and the demo slave at 19200 bit/s, with
// the bytes handed over byte by byte, a chunk at once and as a USB adapter does: one request, a
// poll, a check step. No false success, no value to the wrong request, every good reply kept,
// each verdict naming what was wrong.
TEST(CliOnFaultyLines, EveryWayOfAskingGetsTheVerdictThatNamesTheFault)
{
    const TimedPty timed;
    const struct
    {
        const char* what;
        bench::LineFaults faults;
        const char* options;
        const char* command;
        const char* code; // the outcome as --json gives it
        const char* verdict;
        const char* reply = nullptr; // the start of --json's "reply", where it is checked
    } rows[] = {
        { "a good line", {}, "", "read-holding 0 2", "ok", "CRC OK" },
        { "an adapter that hears itself, no slave", { .echo = true, .noSlave = true }, "",
            "read-holding 0 1", "echo-only", "no reply (only the adapter's echo)" },
        { "the same, echo on, a write", { .echo = true, .noSlave = true }, "--echo on ",
            "write-register 5 1234", "echo-only", "no reply (only the adapter's echo)" },
        // In auto, the echo is found before a write whose reply is a copy of it.
        { "the same, echo auto, a write", { .echo = true, .noSlave = true }, "",
            "write-register 5 1234", "echo-only", "no reply (only the adapter's echo)" },
        { "the same, echo auto, a coil", { .echo = true, .noSlave = true }, "", "write-coil 5 1",
            "echo-only", "no reply (only the adapter's echo)" },
        { "an echo, echo auto, a write answered", { .echo = true }, "", "write-register 5 1234",
            "ok", "CRC OK" },
        { "no echo, echo auto, a write answered", {}, "", "write-register 5 1234", "ok", "CRC OK" },
        { "a reply from another address", { .otherAddress = true }, "", "read-holding 0 2",
            "other-address", "reply from 49, asked 48", "31 03 04 00 0A 00 14" },
        { "an echo and a slave that takes 50 ms", { .echo = true, .delayMs = 50 }, "",
            "read-holding 0 2", "ok", "CRC OK" },
        { "a stray byte before the reply", { .strayByte = true }, "", "read-holding 0 2", "ok",
            "1 stray byte before the reply" },
        // Wide enough that a loaded machine's scheduling does not merge the two reads.
        { "a gap of 60 ms inside the reply", { .gapMs = 60 }, "--byte-timeout 300 ",
            "read-holding 0 2", "ok", " ms inside the reply" },
        { "a reply to another function", { .wrongFunction = true }, "", "read-holding 0 2",
            "wrong-reply", "reply to function 4, asked 3" },
        { "fewer registers than asked", { .shortReply = true }, "", "read-holding 0 2",
            "wrong-reply", "2 data bytes, asked 4" },
    };
    for (const auto& [delivery, how] :
        { std::pair(bench::Delivery::ByteByByte, "byte by byte"),
            std::pair(bench::Delivery::AtOnce, "at once"), std::pair(bench::Delivery::Usb, "USB") })
        for (const auto& row : rows) {
            auto r = row;
            r.faults.delivery = delivery;
            // Handed over whole, a reply shows no gap inside it: nothing can tell one.
            if (delivery == bench::Delivery::AtOnce && r.faults.gapMs)
                r.verdict = "CRC OK";
            const std::string what = std::string(r.what) + ", " + how;
            PtySlave slave(48, 10);
            for (int n = 0; n < 10; ++n)
                slave.registers()[n] = std::uint16_t(10 * (n + 1));
            const Served served(slave);
            bench::PacedLine line(slave.path(), 19200, false, r.faults);
            ASSERT_TRUE(line.ok());
            const std::string base
                = "--port " + line.path() + " --address 48 --timeout 300 " + r.options;
            const bool good = std::string_view(r.code) == "ok";
            const CliRun once = runCli(base + r.command, true);
            EXPECT_EQ(once.status, good ? 0 : 1) << what << "\n" << once.out;
            EXPECT_NE(once.out.find(r.verdict), std::string::npos) << what << "\n" << once.out;
            if (std::string(r.command).starts_with("read")) {
                const CliRun polls = runCli(base + "--every 0 --count 2 " + r.command, true);
                EXPECT_EQ(polls.status, good ? 0 : 1) << what << "\n" << polls.out;
                if (good)
                    EXPECT_NE(polls.out.find("\t10\t20\n"), std::string::npos) << polls.out;
                else
                    EXPECT_NE(polls.out.find(r.verdict), std::string::npos) << polls.out;
            }
            const std::string steps
                = writeFile("faulty.check", std::string(r.command) + " expect ok\n");
            const CliRun check = runCli(base + "check " + steps, true);
            EXPECT_EQ(check.status, good ? 0 : 1) << what << "\n" << check.out;
            EXPECT_NE(check.out.find(good ? "ok 1 - " : "not ok 1 - "), std::string::npos)
                << what << "\n"
                << check.out;
            const CliRun json = runCli(base + "--json " + r.command);
            EXPECT_NE(json.out.find("\"code\": \"" + std::string(r.code) + "\""), std::string::npos)
                << what << "\n"
                << json.out;
            if (r.reply) { // what came instead of an answer is shown too
                EXPECT_NE(json.out.find("\"reply\": \"" + std::string(r.reply)), std::string::npos)
                    << what << "\n"
                    << json.out;
            }
        }
}

// At 1200 8E1 a 125-register reply takes over 2 s on the line: the default time-outs wait for
// it, since the response time-out runs only to its first byte.
TEST(CliOnFaultyLines, ASlowLineDeliversTheLongestReadWithTheDefaultTimeOuts)
{
    PtySlave slave(48, 130);
    const Served served(slave);
    {
        bench::PacedLine line(slave.path(), 1200);
        ASSERT_TRUE(line.ok());
        const CliRun run = runCli(
            "--port " + line.path() + " --address 48 --speed 1200 --parity even read-holding 0 125",
            true);
        EXPECT_EQ(run.status, 0) << run.out;
        EXPECT_NE(run.out.find("\n124 (0x007C)\t"), std::string::npos) << run.out;
    }
}

// A reply that comes after the time-out is read away before the next poll and counted, never
// taken for that poll's answer; an echo told by a read is set aside for a write after it.
TEST(CliOnFaultyLines, LateRepliesAndAnEchoToldOnce)
{
    PtySlave slave(48, 10);
    const Served served(slave);
    {
        bench::PacedLine late(slave.path(), 19200, false, { .delayMs = 150 });
        const CliRun polls = runCli("--port " + late.path()
                + " --address 48 --timeout 100 --every 200 --count 3 read-holding 0 1",
            true);
        EXPECT_EQ(polls.status, 1);
        EXPECT_NE(polls.out.find("late reply to the previous request"), std::string::npos)
            << polls.out;
        EXPECT_EQ(polls.out.find("\t0\n"), std::string::npos) << "no value from a late reply";
    }
    // Every fifth reply 150 ms late against a 100 ms time-out, to a request of the same shape:
    // the grace reads each away and counts it, so no poll takes another's reply.
    const TimedPty timed;
    for (const bench::Delivery delivery :
        { bench::Delivery::ByteByByte, bench::Delivery::AtOnce, bench::Delivery::Usb }) {
        bench::PacedLine late(
            slave.path(), 19200, false, { .delayMs = 150, .lateEvery = 5, .delivery = delivery });
        const CliRun polls = runCli("--port " + late.path()
                + " --address 48 --timeout 100 --every 0 --count 30 read-holding 0 1",
            true);
        EXPECT_NE(polls.out.find("requests 30, good replies 24, CRC BAD 0, exceptions 0, no reply "
                                 "6, other address 0, not a frame 0, wrong reply 0"),
            std::string::npos)
            << int(delivery) << "\n"
            << polls.out;
        // The last poll's late reply comes after the run has ended.
        EXPECT_NE(polls.out.find("late replies 5,"), std::string::npos) << polls.out;
    }
    {
        bench::PacedLine echo(slave.path(), 19200, false, { .echo = true, .noSlave = true });
        const std::string steps = writeFile(
            "echo.check", "read-holding 0 1 expect ?\nwrite-register 5 1234 expect ok\n");
        const CliRun check
            = runCli("--port " + echo.path() + " --address 48 --timeout 100 check " + steps, true);
        EXPECT_EQ(check.status, 1);
        EXPECT_NE(check.out.find("not ok 2 - write-register 5 1234\n  # line 2: got no reply "
                                 "(only the adapter's echo)"),
            std::string::npos)
            << check.out;
        EXPECT_EQ(check.out.find("this adapter hears itself"),
            check.out.rfind("this adapter hears itself"))
            << "said once";
    }
}

// The demo slave at 9600 bit/s behind a line that garbles its replies while the program's end
// is at another speed: the scan tries 19200 first, hears only garbage, and finds it at 9600.
TEST(CliScan, FindsTheSlaveAtItsSpeedAfterGarbageAtAnother)
{
    PtySlave slave(17, 10);
    slave.setIdentification({ "Quillet", "QSIM", "1.0", "", "", "", "" });
    std::atomic<bool> stop = false;
    std::thread server([&] {
        while (!stop)
            slave.serveOnce(50);
    });
    {
        bench::PacedLine line(slave.path(), 9600, true);
        ASSERT_TRUE(line.ok());
        const CliRun run = runCli(
            "--port " + line.path() + " scan --addresses 16-18 --parity even --timeout 400");
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out.substr(0, run.out.find('\n') + 1),
            "something answers at 19200 8E1 (bad frames): the speed or parity is probably near\n");
        EXPECT_NE(run.out.find("\nfound 17 at 9600 8E1: CRC OK, "), std::string::npos) << run.out;
        EXPECT_NE(run.out.find("VendorName Quillet"), std::string::npos) << run.out;
    }
    stop = true;
    server.join();
}

// xmllint's verdict on a JUnit file against the format's schema.
bool validJunit(const std::string& path)
{
    const std::string command = std::string("xmllint --noout --schema ") + QUILLET_JUNIT_SCHEMA
        + " " + path + " 2>/dev/null";
    return std::system(command.c_str()) == 0;
}

TEST_F(CliAgainstDemoSlave, CheckFilesReportInTapAndJunitWithTheirExitStatus)
{
    const std::string good = writeFile("good.check",
        "read-holding 0 2      expect 10 20\n"
        "read-input 0 2        expect 1000..1001 ?\n"
        "write-register 5 1234 expect ok\n"
        "read-holding 5 1      expect 1234\n"
        "read-holding 300 1    expect exception 2\n"
        "wait 10\n"
        "read-coils 0 4        expect 0 1 ? 1   # ? = any\n");
    const std::string junit = ::testing::TempDir() + "check.xml";
    const CliRun passed = runCli(port() + "check " + good + " --junit " + junit);
    EXPECT_EQ(passed.status, 0) << passed.out;
    EXPECT_EQ(passed.out.substr(0, passed.out.find('\n')), "1..6");
    EXPECT_NE(passed.out.find("ok 6 - read-coils 0 4\n"), std::string::npos) << passed.out;
    std::FILE* f = std::fopen(junit.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    char xml[4096] = {};
    std::fread(xml, 1, sizeof xml - 1, f);
    std::fclose(f);
    EXPECT_NE(std::string(xml).find("tests=\"6\" failures=\"0\""), std::string::npos) << xml;
    EXPECT_TRUE(validJunit(junit)) << xml;

    const std::string bad
        = writeFile("bad.check", "read-holding 0 2 expect 10 21\nread-holding 0 1 expect ok\n");
    const CliRun failed = runCli(port() + "check " + bad);
    EXPECT_EQ(failed.status, 1);
    EXPECT_NE(failed.out.find("not ok 1 - read-holding 0 2\n  # line 1: got 10 20\nok 2 -"),
        std::string::npos)
        << failed.out;
    const std::string broken = writeFile("broken.check", "read-holding 0 2 expect x\n");
    const CliRun refused = runCli(port() + "check " + broken, true);
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.out.find("line 1: cannot read what is expected"), std::string::npos);
    EXPECT_EQ(runCli(port() + "check /nonexistent/file").status, 2);
    // A report that cannot be written is a failure told before anything is sent.
    const CliRun unwritable
        = runCli(port() + "check " + good + " --junit /nonexistent/x.xml", true);
    EXPECT_EQ(unwritable.status, 2);
    EXPECT_EQ(unwritable.out, "quillet-cli: cannot write /nonexistent/x.xml\n");
}

TEST_F(CliAgainstDemoSlave, AWorkspaceAndItsMapNameTheStepsOfACheck)
{
    writeFile("bench-map.csv",
        "table;address;name;type;scale;unit;enum\n"
        "input;30001;supply;u16;0.001;V;\n"
        "holding;5;setpoint;s16;0.1;°C;\n"
        "holding;40001;mode;u16;;;10=auto;20=manual\n");
    const std::string workspace = writeFile("bench.quillet.json",
        "{ \"port\": \"" + slave.path()
            + "\", \"slave\": 48, \"map\": \"bench-map.csv\", \"colour\": 1 }");
    const std::string steps = writeFile("named.check",
        "read supply          expect 0.9..1.1\n"
        "setpoint = 21.5      expect ok\n"
        "read setpoint        expect 21.5\n"
        "read mode            expect auto\n"
        "read-input supply    expect 2\n");
    const std::string junit = ::testing::TempDir() + "named.xml";
    const CliRun run
        = runCli("--workspace " + workspace + " check " + steps + " --junit " + junit, true);
    EXPECT_EQ(run.status, 1) << run.out;
    EXPECT_NE(run.out.find("\"colour\" is not known to this version"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("ok 4 - read mode\nnot ok 5 - read-input supply\n  # line 5: got 1 V\n"),
        std::string::npos)
        << run.out;
    EXPECT_TRUE(validJunit(junit));
    // Options given win over the workspace's.
    EXPECT_EQ(
        runCli("--workspace " + workspace + " --address 7 --timeout 50 read supply").status, 1);
    stopServing();
    EXPECT_EQ(slave.registers()[5], 215);
}

TEST_F(CliAgainstDemoSlave, AMapNamesWhatAReadReturnsInEngineeringUnits)
{
    const std::string map = writeFile("demo.csv",
        "table;address;name;type;scale;unit;enum\n"
        "input;30001;supply;u16;0.001;V;\n"
        "input;1;broken;u17;;;\n"
        "holding;0;mode;u16;;;10=auto;20=manual\n");
    const CliRun run = runCli(port() + "--map " + map + " read-input 0 2", true);
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(
        run.out.find("line 3: the type \"u17\" is not one for table input"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("\nsupply\t1 V\traw 1000\n"), std::string::npos) << run.out;
    const CliRun named = runCli(port() + "--map " + map + " read-holding 0 1");
    EXPECT_NE(named.out.find("\nmode\tauto\traw 10\n"), std::string::npos) << named.out;
    const CliRun json = runCli(port() + "--map " + map + " --json read supply");
    EXPECT_NE(
        json.out.find("\"mapped\": [\n    {\n      \"name\": \"supply\",\n      \"number\": 1.0,"),
        std::string::npos)
        << json.out;
}

TEST(Cli, HelpAndVersionNeedNoPort)
{
    EXPECT_EQ(runCli("--version").out, std::string("quillet-cli ") + QUILLET_VERSION + "\n");
    const CliRun help = runCli("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("read-write RSTART RCOUNT WSTART VALUE..."), std::string::npos);
}

} // namespace

// Each slave of a bench answers on its own, as on a real bus: a slow one's delay does not hold
// back the others' replies.
TEST(CliOnABench, ASlowSlaveDoesNotHoldBackTheOthers)
{
    PtySlave slave(1, 10);
    slave.answerAs({ 1, 2 });
    FaultPlan plan;
    ASSERT_EQ(plan.add("1:delay=200"), "");
    slave.setFaults(std::move(plan));
    const Served served(slave);
    const CliRun run = runCli("--port " + slave.path()
            + " --address 1,2 --timeout 50 --every 300 --count 4 read-holding 0 1",
        true);
    EXPECT_NE(run.out.find("slave 2: requests 4, good replies 4"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("slave 1: requests "), std::string::npos) << run.out;
}

// Ten slaves on one line, slave 7 silent, a 200 ms time-out and a cycle every 150 ms: slave 7
// is backed off after three polls without a reply and probed every tenth cycle, and the other
// nine keep at least 90 % of their pace (without the back-off every cycle would take 200 ms
// more: under 60 % measured).
TEST(CliOnABench, ASilentSlaveIsBackedOffAndTheOthersKeepTheirPace)
{
    PtySlave slave(1, 10);
    slave.answerAs({ 1, 2, 3, 4, 5, 6, 8, 9, 10 });
    std::atomic<bool> stop = false;
    std::thread server([&] {
        while (!stop)
            slave.serveOnce(20);
    });
    const CliRun run = runCli("--port " + slave.path()
            + " --address 1-10 --timeout 200 --every 150 --count 40 read-holding 0 1",
        true);
    // Each device its own tables: a write to one leaves the others as they were.
    const std::string port = "--port " + slave.path() + " --timeout 200 ";
    EXPECT_EQ(runCli(port + "--address 2 write-register 0 77").status, 0);
    EXPECT_NE(runCli(port + "--address 2 read-holding 0 1").out.find("\t77\t"), std::string::npos);
    EXPECT_NE(runCli(port + "--address 3 read-holding 0 1").out.find("\t0\t"), std::string::npos);
    stop = true;
    server.join();
    EXPECT_EQ(run.status, 1) << "slave 7 never answered";
    EXPECT_NE(run.out.find("quillet-cli: slave 7 backed off: no reply 3 times running, polled "
                           "once every 10 cycles"),
        std::string::npos)
        << run.out;
    const auto count = [&](const std::string& part) {
        std::size_t n = 0;
        for (std::size_t at = 0; (at = run.out.find(part, at)) != std::string::npos; ++at)
            ++n;
        return n;
    };
    EXPECT_EQ(count("\tslave 7\tno reply"), 6u) << "3 polls, then cycles 13, 23 and 33";
    EXPECT_NE(run.out.find("slave 7: requests 6, good replies 0, no reply 6"), std::string::npos);
    for (int good : { 1, 2, 3, 4, 5, 6, 8, 9, 10 }) {
        const std::string head = "slave " + std::to_string(good) + ": requests 40, good replies 40";
        const std::size_t at = run.out.find(head);
        ASSERT_NE(at, std::string::npos) << run.out;
        const std::size_t rate = run.out.rfind(", ", run.out.find(" polls per second", at));
        EXPECT_GE(std::atof(run.out.c_str() + rate + 2), 0.9 * 1000 / 150) << head;
    }
}

// Write and verify against a slave that keeps its writes and one that acknowledges them and
// keeps its old values: every verify passes on the first and fails on the second, naming each
// address with what was written and what was read; the same in a check file.
TEST(CliVerify, WritesReadBackAsWrittenOrEveryDifferenceIsNamed)
{
    const std::string steps = writeFile("verify.check",
        "write-register 5 1234 verify  expect ok\n"
        "write-coils 3 1 0 1 verify  expect ok\n"
        "write-registers 10 7 8 verify  expect ok\n"
        "write-coil 0 1 verify  expect ok\n");
    for (const bool ignores : { false, true }) {
        PtySlave slave(48, 20);
        slave.ignoreWrites(ignores);
        std::atomic<bool> stop = false;
        std::thread server([&] {
            while (!stop)
                slave.serveOnce(20);
        });
        const std::string port = "--port " + slave.path() + " --address 48 ";
        const struct
        {
            std::string arguments;
            const char* keptShows;
            const char* ignoredShows;
        } runs[] = {
            { "write-register 5 1234 --verify", "verified: read back as written (read-holding 5 1)",
                "quillet-cli: verify failed: holding 5: wrote 1234, read 0" },
            { "--verify write-coils 3 1 0 1", "verified",
                "verify failed: coil 3: wrote 1, read 0; coil 5: wrote 1, read 0" },
            { "write-register 6 -2 --write-with 16 --verify", "Start\t6 (0x0006)",
                "holding 6: wrote 65534, read 0" },
        };
        for (const auto& r : runs) {
            const CliRun run = runCli(port + r.arguments, true);
            EXPECT_EQ(run.status, ignores ? 1 : 0) << r.arguments << "\n" << run.out;
            EXPECT_NE(run.out.find(ignores ? r.ignoredShows : r.keptShows), std::string::npos)
                << r.arguments << "\n"
                << run.out;
        }
        const CliRun json = runCli(port + "--json write-register 5 1234 --verify");
        EXPECT_EQ(json.out.find("verified"), std::string::npos) << "stdout stays one object";
        EXPECT_EQ(json.out.substr(0, 1) + json.out.substr(json.out.size() - 2), "{}\n") << json.out;
        const CliRun check = runCli(port + "check " + steps);
        EXPECT_EQ(check.status, ignores ? 1 : 0) << check.out;
        const std::size_t failed = [&] {
            std::size_t n = 0;
            for (std::size_t at = 0; (at = check.out.find("not ok", at)) != std::string::npos; ++at)
                ++n;
            return n;
        }();
        EXPECT_EQ(failed, ignores ? 4u : 0u) << check.out;
        if (ignores) {
            EXPECT_NE(check.out.find("# line 1: got read back: holding 5: wrote 1234, read 0"),
                std::string::npos)
                << check.out;
        }
        stop = true;
        server.join();
    }
    EXPECT_EQ(runCli("--port /dev/null --verify read-holding 0 1").status, 2) << "not a write";
    EXPECT_EQ(runCli("--port /dev/null --write-with 16 write-coil 0 1").status, 2);
    EXPECT_EQ(runCli("--port /dev/null --address 0 write-register 0 1 --verify").status, 2);
}

// A fault of the simulator and what quillet-cli says of it.
struct FaultRow
{
    const char* fault;
    const char* arguments;
    int status;
    const char* shows; // in the CLI's output, and in the check's "got" where it fails
    const char* polls; // in a polling run's statistics; nullptr: writes are not polled
    const char* ascii = nullptr; // what ASCII frames show instead; nullptr: the same
    const char* asciiPolls = nullptr; // a polling run's count in ASCII; nullptr: the same
};

// One fault through a single request, a polling run and a check step.
void checkFault(const FaultRow& f, bool ascii)
{
    const std::string what = std::string(f.fault) + (ascii ? ", ASCII" : ", RTU");
    const char* shows = ascii && f.ascii ? f.ascii : f.shows;
    PtySlave slave(48, 20);
    FaultPlan plan;
    ASSERT_EQ(plan.add(f.fault), "") << f.fault;
    slave.setFaults(std::move(plan));
    slave.setFraming(ascii ? modbus::Framing::Ascii : modbus::Framing::Rtu);
    const Served served(slave);
    const std::string port = "--port " + slave.path() + " --address 48 --timeout 300 "
        + (ascii ? "--framing ascii " : "");
    const CliRun run = runCli(port + f.arguments, true);
    EXPECT_EQ(run.status, f.status) << what << "\n" << run.out;
    EXPECT_NE(run.out.find(shows), std::string::npos) << what << "\n" << run.out;
    if (std::string(f.fault) == "delay=60") {
        EXPECT_GE(std::atof(run.out.c_str() + run.out.find(shows) + 8), 60.0) << run.out;
    }
    if (f.polls) {
        const CliRun polls = runCli(port + "--every 100 --count 3 " + f.arguments, true);
        const char* counted = ascii && f.asciiPolls ? f.asciiPolls : f.polls;
        EXPECT_NE(polls.out.find(counted), std::string::npos) << what << "\n" << polls.out;
    }
    if (f.status == 1 && std::string(f.fault) != "ignore-writes") {
        const CliRun check = runCli(
            port + "check " + writeFile("fault.check", std::string(f.arguments) + "  expect ok\n"));
        EXPECT_NE(check.out.find(std::string("got ") + shows), std::string::npos) << what << "\n"
                                                                                  << check.out;
    }
}

// The simulator's faults as the exchange's corners, the verdict naming the fault, in RTU and in
// ASCII frames.
TEST(CliAgainstFaults, EachFaultIsNamedByItsVerdict)
{
    const FaultRow rows[] = {
        { "delay=60", "read-holding 0 1", 0, "CRC OK, ", "good replies 3", "LRC OK, " },
        { "exception=0-9/2", "read-holding 0 1", 1, "exception 2 ILLEGAL DATA ADDRESS",
            "exceptions 3" },
        { "bad-crc", "read-holding 0 1", 1, "CRC BAD (expected", "CRC BAD 3", "LRC BAD (expected",
            "LRC BAD 3" },
        { "no-reply", "read-holding 0 1", 1, "no reply", "no reply 3" },
        { "half-frame", "read-holding 0 2", 1, "not a frame: cut short, 4 of 9 bytes",
            "not a frame 3", "not a frame: no CR LF" },
        { "stray", "read-holding 0 1", 0, "2 stray bytes before the reply", "good replies 3" },
        { "wrong-function", "read-holding 0 1", 1, "reply to function 2, asked 3",
            "wrong reply 3" },
        { "wrong-length", "read-holding 0 2", 1, "not a frame: wrong length, 8 of 9 bytes",
            "not a frame 3", "not a frame: its length does not fit its function" },
        { "echo", "read-holding 0 1", 0, "this adapter hears itself", "good replies 3" },
        { "ignore-writes", "write-register 5 9 --verify", 1, "verify failed: holding 5: wrote 9",
            nullptr },
    };
    for (const bool ascii : { false, true })
        for (const FaultRow& row : rows)
            checkFault(row, ascii);
}

// quillet-sim's own command line: several slaves, an identity, a fault, and what it refuses.
TEST(CliAgainstTheSimulator, ItsCommandLineMakesTheBenchItSays)
{
    const std::string sim = QUILLET_SIM;
    const std::string map = writeFile("bench.csv",
        "table,address,name,type,scale,unit,enum,value\n"
        "holding,10,setpoint,u16,0.1,degC,,21.5\n"
        "holding,20,flow,f32,,,,2.5\n"
        "coil,3,pump,bool,,,0=off;1=on,on\n"
        "holding,30,mode,u16,,,0=idle;2=run,run\n");
    // The shell's pid first: it becomes the simulator's.
    FILE* running = popen(("echo $$; exec " + sim
                              + " --slaves 3,4 --identify 'Acme,Pump,2.1' --fault "
                                "4:exception=0-9/3 --map "
                              + map + " 2>/dev/null")
                              .c_str(),
        "r");
    char pid[32] = {}, path[256] = {};
    ASSERT_TRUE(std::fgets(pid, sizeof pid, running) && std::fgets(path, sizeof path, running));
    const std::string port = "--port " + std::string(path, std::strcspn(path, "\n")) + " ";
    EXPECT_NE(
        runCli(port + "--address 3 device-id").out.find("0 VendorName\tAcme"), std::string::npos);
    EXPECT_NE(runCli(port + "--address 3 read-holding 0 1").out.find("\t10\t"), std::string::npos);
    // The map's start values, in every slave's tables: 215 for 21.5 x 0.1, 2.5 as a float.
    EXPECT_NE(
        runCli(port + "--address 4 read-holding 10 1").out.find("\t215\t"), std::string::npos);
    EXPECT_NE(
        runCli(port + "--address 3 --map " + map + " read-holding 20 2").out.find("flow\t2.5"),
        std::string::npos);
    EXPECT_NE(
        runCli(port + "--address 3 read-coils 3 1").out.find("Coils 3..3: 1"), std::string::npos);
    EXPECT_NE(runCli(port + "--address 3 read-holding 30 1").out.find("\t2\t"), std::string::npos);
    EXPECT_NE(runCli(port + "--address 4 read-holding 0 1", true).out.find("exception 3"),
        std::string::npos);
    EXPECT_EQ(runCli(port + "--address 48 --timeout 100 read-holding 0 1").status, 1)
        << "48 is not on this bench";
    kill(pid_t(std::atoi(pid)), SIGTERM);
    pclose(running);
    const std::string beyond
        = writeFile("beyond.csv", "table,address,name,type,value\nholding,100,x,u16,1\n");
    for (const std::string& bad : std::vector<std::string> {
             "--fault shout", "--slaves 0", "--faults /nonexistent", "--map " + beyond })
        EXPECT_EQ(WEXITSTATUS(std::system((sim + " " + bad + " >/dev/null 2>&1").c_str())), 2)
            << bad;
    EXPECT_EQ(WEXITSTATUS(std::system((sim + " --help >/dev/null").c_str())), 0);
}

// On a serial port (a pty's far end stands for the adapter): the line set as asked, as far as a
// pty keeps it (it drops parity), a request answered there.
TEST(CliAgainstTheSimulator, ServesASerialPortAtTheLineItIsGiven)
{
    int master = -1, device = -1;
    char name[128] = {};
    ASSERT_EQ(openpty(&master, &device, name, nullptr, nullptr), 0);
    FILE* running = popen(("echo $$; exec " + std::string(QUILLET_SIM) + " --port " + name
                              + " --speed 9600 --parity even --stop-bits 2 2>/dev/null")
                              .c_str(),
        "r");
    char pid[32] = {}, path[256] = {};
    ASSERT_TRUE(std::fgets(pid, sizeof pid, running) && std::fgets(path, sizeof path, running));
    EXPECT_EQ(std::string(path), std::string(name) + "\n");
    termios line {};
    ASSERT_EQ(tcgetattr(device, &line), 0);
    EXPECT_EQ(cfgetospeed(&line), speed_t(B9600));
    EXPECT_TRUE(line.c_cflag & CSTOPB);
    const std::string request("\x30\x03\x00\x00\x00\x01\x80\x2B", 8);
    ASSERT_EQ(write(master, request.data(), request.size()), ssize_t(request.size()));
    std::string reply;
    pollfd wait { master, POLLIN, 0 };
    for (char buf[64]; reply.size() < 7 && poll(&wait, 1, 2000) > 0;)
        reply.append(buf, std::size_t(std::max<ssize_t>(0, read(master, buf, sizeof buf))));
    EXPECT_EQ(reply.substr(0, 5), std::string("\x30\x03\x02\x00\x0A", 5));
    EXPECT_TRUE(modbus::CrcGood(reply));
    kill(pid_t(std::atoi(pid)), SIGTERM);
    pclose(running);
    close(master);
    close(device);
}
