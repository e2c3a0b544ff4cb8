// The POSIX comm layer over real ptys. Time bounds are loose above and tight below, and gaps
// are chosen so that a loaded machine cannot turn a pass into a fail.
#include "serial/open_hint.h"
#include "serial/posix/device_path.h"
#include "serial/posix/open_failure.h"
#include "serial/pseudo_terminal.h"
#include "serial/serial_link.h"
#include "serial/win32_comm.h"
#include "tests/support/pty_peer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sys/resource.h>
#include <thread>

using namespace comm;
using Clock = std::chrono::steady_clock;

namespace {

constexpr CommTimeouts kModuleTimeouts = { 20, 1, 1, 1, 10 };

long msSince(Clock::time_point start)
{
    return long(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

class PtyPort : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_FALSE(peer.path.empty());
        h = CreateFileA(
            peer.path.c_str(), kGenericRead | kGenericWrite, 0, nullptr, kOpenExisting, 0, 0);
        ASSERT_NE(h, kInvalidHandle) << GetLastError();
        peer.closeSlave();
        CommTimeouts t = kModuleTimeouts;
        ASSERT_TRUE(SetCommTimeouts(h, &t));
        Dcb dcb {};
        ASSERT_TRUE(BuildCommDCBA("19200,n,8,1", &dcb));
        ASSERT_TRUE(SetCommState(h, &dcb));
    }
    void TearDown() override { CloseHandle(h); }

    std::string read255()
    {
        char buf[255];
        Dword got = 0;
        ReadFile(h, buf, sizeof buf, &got, nullptr);
        return std::string(buf, got);
    }

    PtyPeer peer;
    Handle h = kInvalidHandle;
};

TEST_F(PtyPort, EveryByteValuePassesBothWaysUnchanged)
{
    std::string all;
    for (int b = 0; b < 256; ++b)
        all.push_back(static_cast<char>(b));
    Dword written = 0;
    ASSERT_TRUE(WriteFile(h, all.data(), Dword(all.size()), &written, nullptr));
    EXPECT_EQ(written, 256u);
    EXPECT_EQ(peer.receive(256), all);

    ASSERT_TRUE(peer.send(all));
    std::string back = read255();
    back += read255();
    EXPECT_EQ(back, all);
}

TEST_F(PtyPort, ThreeHundredWaitingBytesReadAs255Then45)
{
    ASSERT_TRUE(peer.send(std::string(300, 'x')));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(read255().size(), 255u);
    EXPECT_EQ(read255().size(), 45u);
}

TEST_F(PtyPort, IdleReadReturnsEmptyAfterTheTotalTimeout)
{
    const auto start = Clock::now();
    EXPECT_EQ(read255(), "");
    const long ms = msSince(start);
    EXPECT_GE(ms, 250);
    EXPECT_LT(ms, 3000);
}

TEST_F(PtyPort, GapLongerThanTheIntervalSplitsAReply)
{
    // Long totals, so only the interval ends a read, and gaps far from the interval either way.
    const auto sendWithGap = [this](Dword intervalMs, int gapMs) {
        CommTimeouts t = { intervalMs, 0, 5000, 1, 10 };
        SetCommTimeouts(h, &t);
        return std::thread([this, gapMs] {
            peer.send("ABCD");
            std::this_thread::sleep_for(std::chrono::milliseconds(gapMs));
            peer.send("EFGH");
        });
    };
    std::thread slow = sendWithGap(20, 600);
    EXPECT_EQ(read255(), "ABCD");
    EXPECT_EQ(read255(), "EFGH");
    slow.join();

    std::thread quick = sendWithGap(1000, 5);
    EXPECT_EQ(read255(), "ABCDEFGH");
    quick.join();
}

TEST_F(PtyPort, SecondOpenOfTheSamePortIsRefused)
{
    EXPECT_EQ(CreateFileA(
                  peer.path.c_str(), kGenericRead | kGenericWrite, 0, nullptr, kOpenExisting, 0, 0),
        kInvalidHandle);
    EXPECT_EQ(GetLastError(), kErrorAccessDenied);
    EXPECT_NE(OpenFailureHint().find("in use"), std::string::npos) << OpenFailureHint();
}

TEST(OpenFailure, PermissionNamesTheGroupAndTheRemedyAndAMissingPortIsSaid)
{
    const std::string denied = OpenFailureText(EACCES, "/dev/ttyUSB0", "uucp");
    EXPECT_NE(denied.find("/dev/ttyUSB0"), std::string::npos) << denied;
    EXPECT_NE(denied.find("sudo usermod -aG uucp $USER"), std::string::npos) << denied;
    EXPECT_NE(OpenFailureText(EPERM, "/dev/ttyS0", "").find("dialout"), std::string::npos);
    EXPECT_EQ(OpenFailureText(EBUSY, "/dev/ttyS0", "dialout").find("dialout"), std::string::npos);
    for (int err : { 0, EIO })
        EXPECT_EQ(OpenFailureText(err, "/dev/ttyS0", "dialout"), "") << err;
    for (int err : { ENOENT, ENODEV, ENXIO }) // said in words, not as "Error: 2" alone
        EXPECT_EQ(
            OpenFailureText(err, "/dev/ttyS0", "dialout").find("No such port: /dev/ttyS0"), 0u)
            << err;
    // A missing device is no permission problem, whatever the last open before it said.
    EXPECT_EQ(CreateFileA("/dev/quillet-missing", 0, 0, nullptr, 0, 0, 0), kInvalidHandle);
    EXPECT_EQ(OpenFailureHint().find("No such port: /dev/quillet-missing"), 0u)
        << OpenFailureHint();
}

TEST_F(PtyPort, PeerGoneFailsReadsFastAndRepeatedlyWithoutSpinning)
{
    // A read that would wait 20 s: only the hang-up can end it within the bound.
    CommTimeouts patient = { 0, 0, 20000, 1, 10 };
    ASSERT_TRUE(SetCommTimeouts(h, &patient));
    std::thread closer([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        peer.closeMaster();
    });
    const auto start = Clock::now();
    EXPECT_EQ(read255(), ""); // a read in progress ends when the peer goes
    EXPECT_LT(msSince(start), 10000);
    closer.join();

    rusage before {}, after {};
    getrusage(RUSAGE_SELF, &before);
    for (int i = 0; i < 20; ++i) {
        char buf[255];
        Dword got = 1;
        const auto t = Clock::now();
        EXPECT_FALSE(ReadFile(h, buf, 255, &got, nullptr));
        EXPECT_EQ(got, 0u);
        EXPECT_EQ(GetLastError(), kErrorGenFailure);
        EXPECT_LT(msSince(t), 5000); // a waiting read would take the full 20 s
    }
    Dword written = 1;
    EXPECT_FALSE(WriteFile(h, "x", 1, &written, nullptr));
    EXPECT_EQ(written, 0u);
    getrusage(RUSAGE_SELF, &after);
    const long cpuMs = (after.ru_utime.tv_sec - before.ru_utime.tv_sec) * 1000
        + (after.ru_utime.tv_usec - before.ru_utime.tv_usec) / 1000;
    EXPECT_LT(cpuMs, 200);
}

TEST_F(PtyPort, WriteGivesUpAfterItsTimeoutWithTheShortCount)
{
    // Nobody reads the master: the pty's buffer fills and a write must stop, not block.
    const std::string piece(255, 'w');
    Dword written = 255;
    int pieces = 0;
    Clock::time_point start;
    while (written == 255 && pieces < 20000) {
        start = Clock::now();
        WriteFile(h, piece.data(), 255, &written, nullptr);
        ++pieces;
    }
    EXPECT_LT(written, 255u);
    EXPECT_GE(msSince(start), 200);
    EXPECT_LT(msSince(start), 5000);
}

TEST_F(PtyPort, CloseIsFinalAndHarmlessTwice)
{
    ASSERT_TRUE(CloseHandle(h));
    EXPECT_FALSE(CloseHandle(h));
    EXPECT_EQ(GetLastError(), kErrorInvalidHandle);
    Dword got = 1;
    EXPECT_FALSE(ReadFile(h, nullptr, 0, &got, nullptr));
    EXPECT_EQ(got, 0u);
    // The lock went with the close: the port opens again.
    h = CreateFileA(
        peer.path.c_str(), kGenericRead | kGenericWrite, 0, nullptr, kOpenExisting, 0, 0);
    EXPECT_NE(h, kInvalidHandle);
}

TEST_F(PtyPort, LineSettingsTakeAndBadOnesAreRefused)
{
    for (const char* mode : { "9600,n,8,1", "115200,n,8,2", "baud=19200 parity=N data=8 stop=1" }) {
        Dcb dcb {};
        ASSERT_TRUE(BuildCommDCBA(mode, &dcb)) << mode;
        EXPECT_TRUE(SetCommState(h, &dcb)) << mode;
    }
    // A pty keeps 8 data bits without parity whatever it is told; it carries bytes with no
    // framing, so nothing is lost by taking such settings. Its stop bits do stick.
    EXPECT_TRUE(comm::IsPseudoTerminal(h));
    for (const char* mode : { "9600,e,8,1", "19200,o,8,2", "9600,e,7,1" }) {
        Dcb dcb {};
        ASSERT_TRUE(BuildCommDCBA(mode, &dcb)) << mode;
        EXPECT_TRUE(SetCommState(h, &dcb)) << mode;
    }
    Dcb odd {};
    odd.BaudRate = 12345;
    odd.ByteSize = 8;
    EXPECT_FALSE(SetCommState(h, &odd));
    EXPECT_EQ(GetLastError(), kErrorInvalidParameter);
}

TEST(PosixOpen, RefusesWhatIsNotASerialDevice)
{
    char dir[] = "/tmp/quillet-openXXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string file = std::string(dir) + "/notaport";
    std::ofstream(file) << "keep me";
    const std::pair<std::string, Dword> cases[] = {
        { file, kErrorNotSupported },
        { dir, kErrorNotSupported },
        { "/dev/null", kErrorNotSupported },
        { std::string(dir) + "/missing", kErrorFileNotFound },
        { "", kErrorFileNotFound },
    };
    for (const auto& [path, code] : cases) {
        EXPECT_EQ(CreateFileA(
                      path.c_str(), kGenericRead | kGenericWrite, 0, nullptr, kOpenExisting, 0, 0),
            kInvalidHandle)
            << path;
        EXPECT_EQ(GetLastError(), code) << path;
    }
    std::ifstream in(file);
    std::string content((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(content, "keep me");
    std::remove(file.c_str());
    rmdir(dir);
}

TEST(DevicePath, WindowsNamesMapOntoLinuxDevices)
{
    const std::pair<const char*, const char*> cases[] = {
        { "COM1", "/dev/ttyS0" },
        { "COM5:", "/dev/ttyS4" },
        { "com12:", "/dev/ttyS11" },
        { "\\\\.\\COM3", "/dev/ttyS2" },
        { "COM0", "" },
        { "", "" },
        { "ttyUSB0", "/dev/ttyUSB0" },
        { "/dev/pts/3", "/dev/pts/3" },
        { "./ttyX", "./ttyX" },
        { "COMx", "/dev/COMx" },
        { "COM5:9600", "/dev/COM5:9600" },
    };
    for (const auto& [name, path] : cases)
        EXPECT_EQ(DevicePath(name), path) << name;
}

} // namespace

namespace {

// The link knows its line's timing from the settings it was opened with; a pty is no timed
// line.
TEST(SerialLink, TimingFromItsOwnSettings)
{
    PtyPeer peer;
    ASSERT_FALSE(peer.path.empty());
    const struct
    {
        const char* mode;
        std::int64_t characterUs, interFrameUs, silenceUs;
    } rows[] = {
        { "9600,e,8,1", 1145, 4010, 20'000 }, // 11 bits
        { "1200,e,8,1", 9166, 32'083, 32'081 }, // 3.5 of 11-bit characters
        { "19200,n,8,1", 520, 2005, 20'000 }, // 10 bits: the standard's gaps count 11
        { "115200,n,8,2", 95, 1750, 20'000 },
    };
    for (const auto& r : rows) {
        comm::SerialLink link;
        const comm::SerialLink::Failure failed = link.open(peer.path, kModuleTimeouts, r.mode);
        ASSERT_EQ(failed.step, comm::SerialLink::Step::None) << r.mode;
        EXPECT_EQ(std::tuple(link.characterUs(), link.interFrameUs(), link.silenceUs()),
            std::tuple(r.characterUs, r.interFrameUs, r.silenceUs))
            << r.mode;
        EXPECT_FALSE(link.timed()) << "a pty passes bytes at once";
    }
    comm::SerialLink missing;
    EXPECT_EQ(missing.open("/dev/no-such-port", kModuleTimeouts, "9600,n,8,1").step,
        comm::SerialLink::Step::Open);
    EXPECT_FALSE(missing.isOpen());
}

} // namespace
