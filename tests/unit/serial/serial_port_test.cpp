// The SerialPort module against a recording platform layer.
#include "serial/serial_port.h"
#include "tests/support/fake_comm.h"

#include <gtest/gtest.h>

namespace {

class SerialPortModule : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SerialPort::ClosePort();
        platform = &fake::Reset();
    }
    bool open(const char* port, const char* settings)
    {
        return SerialPort::OpenPort(
            port, settings, [this](const std::string& text) { reports.push_back(text); });
    }

    fake::Platform* platform = nullptr;
    std::vector<std::string> reports;
};

std::string pattern(std::size_t n)
{
    std::string s;
    for (std::size_t i = 0; i < n; ++i)
        s.push_back(static_cast<char>(i * 7));
    return s;
}

TEST_F(SerialPortModule, WritesGoOutIn255BytePiecesInOrder)
{
    ASSERT_TRUE(open("COM5:", "19200,n,8,1"));
    const std::pair<std::size_t, std::vector<std::size_t>> cases[] = {
        { 0, { 0 } },
        { 255, { 255 } },
        { 256, { 255, 1 } },
        { 600, { 255, 255, 90 } },
    };
    for (const auto& [length, pieces] : cases) {
        platform->calls.clear();
        const std::string data = pattern(length);
        const std::string before = data;
        EXPECT_EQ(SerialPort::WritePort(data), static_cast<int>(length));
        EXPECT_EQ(data, before);
        const auto writes = platform->writes();
        ASSERT_EQ(writes.size(), pieces.size()) << length;
        std::string joined;
        for (std::size_t i = 0; i < pieces.size(); ++i) {
            EXPECT_EQ(writes[i].size(), pieces[i]) << length << " piece " << i;
            joined += writes[i];
        }
        EXPECT_EQ(joined, data);
    }
}

TEST_F(SerialPortModule, ShortPieceEndsTheWriteAndCountsWhatWent)
{
    ASSERT_TRUE(open("COM5:", "19200,n,8,1"));
    platform->writeLimits = { 255, 100 };
    EXPECT_EQ(SerialPort::WritePort(pattern(600)), 355);
    EXPECT_EQ(platform->writes().size(), 2u);
    platform->calls.clear();
    platform->writeLimits = { 3 };
    EXPECT_EQ(SerialPort::WritePort(pattern(8)), 3);
}

TEST_F(SerialPortModule, OpenSetsTimeoutsThenBuildsThenAppliesTheLineSettings)
{
    ASSERT_TRUE(open("COM5:", "115200,n,8,1"));
    std::vector<std::string> names;
    for (const auto& c : platform->calls)
        names.push_back(c.name);
    EXPECT_EQ(names,
        (std::vector<std::string> {
            "CreateFileA", "SetCommTimeouts", "BuildCommDCBA", "SetCommState" }));
    EXPECT_EQ(platform->calls[0].bytes, "COM5:");
    EXPECT_EQ(platform->lastSettings, "115200,n,8,1");
    const auto& t = platform->lastTimeouts;
    EXPECT_EQ(std::vector<comm::Dword>(
                  { t.ReadIntervalTimeout, t.ReadTotalTimeoutMultiplier, t.ReadTotalTimeoutConstant,
                      t.WriteTotalTimeoutMultiplier, t.WriteTotalTimeoutConstant }),
        std::vector<comm::Dword>({ 20, 1, 1, 1, 10 }));
    EXPECT_TRUE(reports.empty());
}

TEST_F(SerialPortModule, EachConfigurationFailureShowsItsTextAndClosesThePort)
{
    const std::pair<const char*, const char*> cases[] = {
        { "SetCommTimeouts", "Unable to set timeouts for port COM5: Error: 5" },
        { "BuildCommDCBA", "Unable to build Comm DCB 9600,n,8,1 Error: 5" },
        { "SetCommState", "Unable to set Comm DCB 9600,n,8,1 Error: 5" },
    };
    for (const auto& [step, text] : cases) {
        platform = &fake::Reset();
        platform->failStep = step;
        platform->failCode = 5;
        reports.clear();
        EXPECT_FALSE(open("COM5:", "9600,n,8,1")) << step;
        ASSERT_EQ(reports.size(), 1u) << step;
        EXPECT_EQ(reports[0], text);
        EXPECT_TRUE(platform->open.empty()) << step << " left the port open";
        EXPECT_EQ(platform->calls.back().name, "CloseHandle");
    }
    platform = &fake::Reset();
    platform->failStep = "SetCommState";
    platform->failCode = 87;
    reports.clear();
    open("COM5:", "9600,n,8,1");
    EXPECT_EQ(reports.at(0), "Unable to set Comm DCB 9600,n,8,1 Error: 87");
}

TEST_F(SerialPortModule, PortThatCannotBeOpenedIsReported)
{
    platform->openFails = true;
    EXPECT_FALSE(open("COM9:", "9600,n,8,1"));
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0], "Unable to open port COM9: Error: 2");
    EXPECT_EQ(SerialPort::WritePort("abc"), 0);
    EXPECT_EQ(SerialPort::ReadPort(), "");
}

TEST_F(SerialPortModule, ReadsReturnWhatCameInPiecesOfAtMost255)
{
    ASSERT_TRUE(open("COM5:", "19200,n,8,1"));
    platform->reads.push_back(pattern(300));
    EXPECT_EQ(SerialPort::ReadPort(), pattern(300).substr(0, 255));
    EXPECT_EQ(SerialPort::ReadPort(), pattern(300).substr(255));
    platform->calls.clear();
    EXPECT_EQ(SerialPort::ReadPort(), "");
    ASSERT_EQ(platform->calls.size(), 2u);
    EXPECT_EQ(platform->calls[1].name, "FlushFileBuffers"); // an empty read drains the output
}

TEST_F(SerialPortModule, ALossAWriteNoticedStaysUntilClose)
{
    ASSERT_TRUE(open("COM5:", "19200,n,8,1"));
    platform->writeLimits = { -1 };
    platform->failCode = 1167; // ERROR_DEVICE_NOT_CONNECTED
    SerialPort::WritePort("abc");
    platform->reads.push_back("");
    SerialPort::ReadPort(); // an empty read that succeeds
    EXPECT_TRUE(SerialPort::PortGone());
    SerialPort::ClosePort();
    EXPECT_FALSE(SerialPort::PortGone());
}

TEST_F(SerialPortModule, AfterCloseNothingReachesTheOldHandle)
{
    ASSERT_TRUE(open("COM5:", "19200,n,8,1"));
    const comm::Handle old = platform->calls[0].handle == 0 ? platform->open.at(0) : 0;
    SerialPort::ClosePort();
    platform->calls.clear();
    SerialPort::ClosePort();
    SerialPort::WritePort("abc");
    SerialPort::ReadPort();
    SerialPort::FlushPort();
    for (const auto& c : platform->calls)
        EXPECT_NE(c.handle, old) << c.name << " reached the closed port";
    EXPECT_TRUE(platform->open.empty());
}

} // namespace
