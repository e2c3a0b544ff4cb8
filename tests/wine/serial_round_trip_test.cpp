// SerialPort over the Win32 backend, against the demo slave on a COM port. The port's name
// comes from QUILLET_WINE_PORT; without it the test is skipped.
#include "serial/serial_port.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

TEST(WineSerial, RoundTripIdleReadAndClose)
{
    const char* port = std::getenv("QUILLET_WINE_PORT");
    if (!port || !*port)
        GTEST_SKIP() << "QUILLET_WINE_PORT names no COM port";
    std::string reported;
    ASSERT_TRUE(SerialPort::OpenPort(port, "19200,n,8,1", [&](const std::string& text) {
        reported = text;
    })) << reported;

    // Read holding register 0 of slave 48.
    const std::string request("\x30\x03\x00\x00\x00\x01\x80\x2B", 8);
    ASSERT_EQ(SerialPort::WritePort(request), 8);
    std::string reply;
    const auto sent = Clock::now();
    while (reply.empty() && msSince(sent) < 5000)
        reply = SerialPort::ReadPort();
    const double replyMs = msSince(sent);
    EXPECT_EQ(reply, std::string("\x30\x03\x02\x00\x0A\x45\x87", 7));
    // A reply ends 20 ms after its last byte; the slave answers within a few milliseconds.
    EXPECT_GE(replyMs, 19.0);
    EXPECT_LT(replyMs, 2000.0);

    const auto idle = Clock::now();
    EXPECT_EQ(SerialPort::ReadPort(), "");
    const double idleMs = msSince(idle);
    EXPECT_GE(idleMs, 250.0); // 255 x 1 ms + 1 ms
    EXPECT_LT(idleMs, 3000.0);

    SerialPort::ClosePort();
    EXPECT_EQ(SerialPort::ReadPort(), ""); // a closed port reaches nothing
    EXPECT_EQ(SerialPort::WritePort(request), 0);
}

} // namespace
