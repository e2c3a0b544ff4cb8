// The demo slave answers its own address whatever came before on the line. The test drives it
// one frame at a time (send, serve once), so no scheduling delay can merge two frames.
#include "modbus/crc16.h"
#include "sim/pty_slave.h"
#include "tests/support/byte_list.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

modbus::ByteString framed(modbus::ByteString body) { return body + *modbus::CRC16(body); }

class DemoSlave : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(slave.ok());
        slave.registers()[0] = 10;
        fd = open(slave.path().c_str(), O_RDWR | O_NOCTTY);
        ASSERT_GE(fd, 0);
        termios tio {};
        tcgetattr(fd, &tio);
        cfmakeraw(&tio);
        tcsetattr(fd, TCSANOW, &tio);
    }
    void TearDown() override { close(fd); }
    void send(const std::string& bytes)
    {
        ASSERT_EQ(write(fd, bytes.data(), bytes.size()), ssize_t(bytes.size()));
    }
    // Sends one frame and lets the slave take it: the frame is whole on the line before the
    // slave starts reading, and the slave has answered (or not) when this returns.
    void sendAndServe(const std::string& bytes)
    {
        send(bytes);
        EXPECT_EQ(slave.serveOnce(1000), bytes);
    }
    // What the slave has written back: it answers before serveOnce returns.
    std::string reply()
    {
        std::string got;
        pollfd pfd { fd, POLLIN, 0 };
        while (poll(&pfd, 1, 0) > 0 && (pfd.revents & POLLIN)) {
            char buf[256];
            const ssize_t n = read(fd, buf, sizeof buf);
            if (n <= 0)
                break;
            got.append(buf, std::size_t(n));
        }
        return got;
    }

    PtySlave slave { 48, 10 };
    int fd = -1;
};

const modbus::ByteString kOwnRead = framed(bytes({ 48, 3, 0, 0, 0, 1 }));
const modbus::ByteString kOwnReply = framed(bytes({ 48, 3, 2, 0, 10 }));

TEST_F(DemoSlave, AnswersItsAddressRightAfterForeignAndBrokenFrames)
{
    const std::pair<const char*, modbus::ByteString> before[] = {
        { "request for 47", framed(bytes({ 47, 3, 0, 0, 0, 1 })) },
        { "reply from 47", framed(bytes({ 47, 3, 2, 0, 10 })) },
        { "raw text", "hello\r\n" },
        { "own address, bad check bytes", bytes({ 48, 3, 0, 0, 0, 1, 0, 0 }) },
        { "own address, cut short", bytes({ 48, 3, 0 }) },
    };
    for (const auto& [what, first] : before) {
        sendAndServe(first);
        EXPECT_EQ(reply(), "") << what;
        sendAndServe(kOwnRead);
        EXPECT_EQ(reply(), kOwnReply) << what;
    }
}

TEST_F(DemoSlave, StaysInStepWhileForeignAndOwnRequestsAlternate)
{
    for (int i = 0; i < 10; ++i) {
        sendAndServe(framed(bytes({ 47, 6, 0, 1, 0, i })));
        sendAndServe(kOwnRead);
        ASSERT_EQ(reply(), kOwnReply) << "round " << i;
    }
}

} // namespace

// Faults as the simulator reads them: refused faults say why, every Nth counts the slave's
// replies, a file's bad line is named, a slave's own faults before those for all.
TEST(SlaveFaults, RefusalsEveryNthAndFiles)
{
    const std::pair<const char*, const char*> refused[] = {
        { "delay=abc", "delay takes N or MIN-MAX: delay=abc" },
        { "delay=80-20", "delay takes N or MIN-MAX: delay=80-20" },
        { "no-reply=0", "no-reply takes N, every Nth reply: no-reply=0" },
        { "echo=2", "echo takes no value" },
        { "shout", "unknown fault: shout" },
        { "exception=0-9/x", "an exception's code is 1..255: exception=0-9/x" },
        { "stray=-1", "stray takes N, every Nth reply: stray=-1" },
    };
    for (const auto& [fault, why] : refused)
        EXPECT_EQ(SlaveFaults().add(fault), why) << fault;
    SlaveFaults every3;
    ASSERT_EQ(every3.add("bad-crc=3"), "");
    std::mt19937 random(1);
    const std::string request = framed(bytes({ 48, 3, 0, 0, 0, 1 }));
    const std::string reply = framed(bytes({ 48, 3, 2, 0, 10 }));
    std::string seen;
    for (int i = 0; i < 6; ++i)
        seen += every3.apply(request, reply, random).bytes == reply ? '.' : 'x';
    EXPECT_EQ(seen, "..x..x");
    SlaveFaults delays;
    ASSERT_EQ(delays.add("delay=20-40"), "");
    for (int i = 0; i < 20; ++i) {
        const int ms = delays.apply(request, reply, random).delayMs;
        EXPECT_TRUE(ms >= 20 && ms <= 40) << ms;
    }
    FaultPlan plan;
    EXPECT_EQ(plan.addFile("# a bench\ndelay=5\n48:no-reply  # this one is dead\n"), "");
    EXPECT_TRUE(plan.of(48) && plan.of(48)->apply(request, reply, random).bytes.empty());
    EXPECT_EQ(plan.of(7)->apply(request, reply, random).delayMs, 5) << "the faults for all";
    // A fault for every slave composes with a slave's own; where both set one, its own rules.
    FaultPlan both;
    ASSERT_EQ(both.add("bad-crc=2"), "");
    ASSERT_EQ(both.add("17:delay=30"), "");
    ASSERT_EQ(both.add("delay=5"), "");
    std::string spoilt;
    for (int i = 0; i < 4; ++i) {
        const FaultedReply sent = both.of(17)->apply(request, reply, random);
        EXPECT_EQ(sent.delayMs, 30) << "its own delay, whatever the order given";
        spoilt += sent.bytes == reply ? '.' : 'x';
    }
    EXPECT_EQ(spoilt, ".x.x") << "the bad CRC for all reaches slave 17 too";
    EXPECT_EQ(both.of(9)->apply(request, reply, random).delayMs, 5);
    EXPECT_EQ(FaultPlan().addFile("delay=5\n\n300:echo\n"),
        "line 3: a fault's slave is 1..247: 300:echo");
}
