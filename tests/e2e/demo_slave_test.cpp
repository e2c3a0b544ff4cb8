// The demo slave answers its own address whatever came before on the line.
#include "modbus/crc16.h"
#include "sim/pty_slave.h"
#include "tests/support/byte_list.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <thread>
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
        server = std::thread([this] {
            while (!stop)
                slave.serveOnce(50);
        });
    }
    void TearDown() override
    {
        stop = true;
        server.join();
        close(fd);
    }
    void send(const std::string& bytes)
    {
        ASSERT_EQ(write(fd, bytes.data(), bytes.size()), ssize_t(bytes.size()));
    }
    // What arrives until 300 ms pass without a byte, or 5 s in all.
    std::string reply()
    {
        std::string got;
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (std::chrono::steady_clock::now() < until) {
            pollfd pfd { fd, POLLIN, 0 };
            if (poll(&pfd, 1, got.empty() ? 100 : 300) <= 0) {
                if (!got.empty())
                    break;
                continue;
            }
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
    std::atomic<bool> stop = false;
    std::thread server;
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
        send(first);
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        send(kOwnRead);
        EXPECT_EQ(reply(), kOwnReply) << what;
    }
}

TEST_F(DemoSlave, StaysInStepWhileForeignAndOwnRequestsAlternate)
{
    for (int i = 0; i < 10; ++i) {
        send(framed(bytes({ 47, 6, 0, 1, 0, i })));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        send(kOwnRead);
        ASSERT_EQ(reply(), kOwnReply) << "round " << i;
    }
}

} // namespace
