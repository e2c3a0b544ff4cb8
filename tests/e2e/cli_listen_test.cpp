// quillet-cli listen on a line another master drives: another quillet-cli polls the demo slave
// through a paced line at 19200 bit/s, and a third port on that wire hears both directions. The
// master waits long for the fixture's slave: a busy machine wakes its thread late.
#include "cli_run.h"
#include "listening/pcap_file.h"
#include "modbus/crc16.h"
#include "sim/pty_slave.h"
#include "tests/support/byte_list.h"
#include "tests/support/paced_line.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <pty.h>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace {

std::vector<std::string> linesWith(const std::string& text, const std::string& part)
{
    std::vector<std::string> found;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (line.find(part) != std::string::npos)
            found.push_back(line);
    return found;
}

} // namespace

TEST(CliListen, HearsAnotherMastersPollsPairsThemAndCapturesThem)
{
    PtySlave slave(48, 10);
    for (int n = 0; n < 10; ++n)
        slave.registers()[n] = std::uint16_t(10 * (n + 1));
    std::atomic<bool> stop = false;
    std::thread server([&] {
        while (!stop)
            slave.serveOnce(20);
    });
    std::string heard;
    int status = -1;
    const std::string capture = ::testing::TempDir() + "heard.pcap";
    std::vector<double> onLine;
    {
        bench::PacedLine line(slave.path(), 19200);
        ASSERT_TRUE(line.ok());
        FILE* listener = popen((std::string(QUILLET_CLI) + " --port " + line.tapPath()
                                   + " listen --duration 4 --csv --pcap " + capture + " 2>&1")
                                   .c_str(),
            "r");
        char header[256] = {};
        ASSERT_TRUE(std::fgets(header, sizeof header, listener)); // it listens from now on
        const std::string master = "--port " + line.path() + " --timeout 1000 ";
        EXPECT_EQ(runCli(master + "--address 48 --every 20 --count 10 read-holding 0 2").status, 0);
        EXPECT_EQ(runCli(master + "--address 47 read-holding 0 1").status, 1);
        EXPECT_EQ(runCli(master + "--address 48 write-register 3 7").status, 0);
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, listener)) > 0;)
            heard.append(buffer, n);
        const int raw = pclose(listener);
        status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        // The line's own record: a reply's last byte on the wire, from its request's last byte.
        const auto requests = line.requests();
        const auto replies = line.replies();
        for (std::size_t r = 0, p = 0;
             r + 8 <= requests.size() && p + 9 <= replies.size() && onLine.size() < 10;
             r += 8, p += 9)
            onLine.push_back(std::chrono::duration<double, std::milli>(
                replies[p + 8].tapped - requests[r + 7].tapped)
                                 .count());
    }
    stop = true;
    server.join();
    EXPECT_EQ(linesWith(heard, ",request,48,3,").size(), 10u) << heard;
    EXPECT_EQ(linesWith(heard, ",reply,48,3,").size(), 10u) << heard;
    EXPECT_EQ(linesWith(heard, ",-,47,3,,no reply,").size(), 1u) << heard;
    EXPECT_EQ(linesWith(heard, ",reply,48,6,").size(), 1u) << heard;
    EXPECT_NE(heard.find("slave 48: requests 11, good replies 11"), std::string::npos) << heard;
    EXPECT_NE(heard.find("slave 47: requests 1, good replies 0"), std::string::npos) << heard;
    EXPECT_EQ(status, 1) << "slave 47 never answered";
    // Reply times beside the line's record of them.
    std::vector<double> listened;
    for (const std::string& l : linesWith(heard, ",reply,48,3,"))
        listened.push_back(std::atof(l.substr(l.rfind(',') + 1).c_str()));
    ASSERT_EQ(listened.size(), onLine.size());
    // Each reply against its own record (sorted medians jumped between the two clusters reply
    // times fall in), within a bound a loaded machine keeps.
    for (std::size_t i = 0; i < listened.size(); ++i)
        EXPECT_NEAR(listened[i], onLine[i], 5.0) << "reply " << i << "\n"
                                                 << ::testing::PrintToString(listened) << "\n"
                                                 << ::testing::PrintToString(onLine);
    std::ifstream file(capture, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)), {});
    const auto frames = modbus::ReadPcap(bytes);
    ASSERT_TRUE(frames);
    // The write was preceded by the echo probe (to 248, which nobody answers): a quillet-cli
    // session that has not yet learnt its adapter's echo finds it before a write of 6.
    ASSERT_EQ(frames->size(), 10u * 2 + 1 + 1 + 2);
    EXPECT_EQ(modbus::ByteAt((*frames)[21].bytes, 0), 248);
}

// One search for the line's speed while another master polls, in RTU or in ASCII.
void findSpeed(bool ascii)
{
    PtySlave slave(48, 10);
    slave.setFraming(ascii ? modbus::Framing::Ascii : modbus::Framing::Rtu);
    std::atomic<bool> stop = false;
    std::thread server([&] {
        while (!stop)
            slave.serveOnce(20);
    });
    std::string heard;
    double tookS = 0;
    {
        bench::PacedLine line(slave.path(), 9600, true);
        ASSERT_TRUE(line.ok());
        FILE* master
            = popen((std::string(QUILLET_CLI) + " --port " + line.path()
                        + " --speed 9600 --address 48 --every 20 --count 300 "
                        + (ascii ? "--framing ascii " : "") + "read-holding 0 1 >/dev/null 2>&1")
                        .c_str(),
                "r");
        const auto start = std::chrono::steady_clock::now();
        const CliRun run
            = runCli("--port " + line.tapPath() + " listen --find-speed --duration 1 --csv", true);
        tookS = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        heard = run.out;
        pclose(master);
    }
    stop = true;
    server.join();
    EXPECT_NE(
        heard.find("quillet-cli: 19200 8E1: 0 frames with good check bytes"), std::string::npos)
        << heard;
    EXPECT_NE(heard.find(ascii ? "quillet-cli: the line is at 9600 8E1 ASCII\n"
                               : "quillet-cli: the line is at 9600 8E1\n"),
        std::string::npos)
        << heard;
    EXPECT_FALSE(linesWith(heard, ",request,48,3,").empty()) << heard;
    EXPECT_LT(tookS, 10.0);
}

// The demo slave answers at 9600 bit/s while another master polls it, in RTU or in ASCII; a
// listener at another speed hears garbage: --find-speed keeps the setting whose frames have good
// check bytes, and tells how they are framed.
TEST(CliListen, FindsTheLinesSpeedWithinTenSeconds)
{
    for (const bool ascii : { false, true })
        findSpeed(ascii);
}

// A four-wire line: the master's wire and the slaves' heard on two ports, merged by time, so
// that each reply follows its request and is timed from it.
TEST(CliListen, TwoWiresOfAFourWireLineMergedByTime)
{
    struct Wire
    {
        int master = -1, client = -1;
        std::string path;
    } wires[2];
    for (Wire& w : wires) {
        char name[256] = {};
        ASSERT_EQ(openpty(&w.master, &w.client, name, nullptr, nullptr), 0);
        w.path = name;
    }
    FILE* listener = popen((std::string(QUILLET_CLI) + " --port " + wires[0].path + " --port "
                               + wires[1].path + " listen --duration 2 --csv 2>&1")
                               .c_str(),
        "r");
    char header[256] = {};
    ASSERT_TRUE(std::fgets(header, sizeof header, listener));
    const auto send = [](const Wire& w, std::initializer_list<int> body, int thenMs) {
        const modbus::ByteString frame = bytes(body) + *modbus::CRC16(bytes(body));
        EXPECT_EQ(write(w.master, frame.data(), frame.size()), ssize_t(frame.size()));
        std::this_thread::sleep_for(std::chrono::milliseconds(thenMs)); // the line's pace
    };
    for (int n = 0; n < 5; ++n) {
        send(wires[0], { 17, 3, 0, 0, 0, 1 }, 10);
        send(wires[1], { 17, 3, 2, 0, 42 }, 30);
    }
    send(wires[0], { 9, 3, 0, 0, 0, 1 }, 0); // nobody answers
    std::string heard;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, listener)) > 0;)
        heard.append(buffer, n);
    pclose(listener);
    for (const Wire& w : wires) {
        close(w.master);
        close(w.client);
    }
    const auto replies = linesWith(heard, ",reply,17,3,");
    EXPECT_EQ(linesWith(heard, ",request,17,3,").size(), 5u) << heard;
    ASSERT_EQ(replies.size(), 5u) << heard;
    for (const std::string& l : replies)
        EXPECT_GT(std::atof(l.substr(l.rfind(',') + 1).c_str()), 0.0) << l;
    EXPECT_NE(heard.find("slave 17: requests 5, good replies 5"), std::string::npos) << heard;
    EXPECT_NE(heard.find("slave 9: requests 1, good replies 0"), std::string::npos) << heard;
    EXPECT_NE(heard.find("no reply 1"), std::string::npos) << heard;
}
