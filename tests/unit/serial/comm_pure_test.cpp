// Mode parsing, time-out arithmetic and port names: pure functions, no clock, no device.
#include "serial/comm_mode.h"
#include "serial/comm_timing.h"
#include "serial/link_address.h"
#include "serial/network_link.h"
#include "serial/port_name.h"

#include "serial/win32/device_gone.h"
#include "serial/win32/error_words.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace comm;

namespace {

TEST(CommMode, ParsesBothFormsAndRejectsMalformedText)
{
    struct Case
    {
        const char* text;
        bool ok;
        Dword baud;
        Byte parity, data, stop;
    };
    const Case cases[] = {
        { "9600,n,8,1", true, 9600, kNoParity, 8, kOneStopBit },
        { "19200,n,8,1", true, 19200, kNoParity, 8, kOneStopBit },
        { "115200,N,8,1", true, 115200, kNoParity, 8, kOneStopBit },
        { "2400,e,7,2", true, 2400, kEvenParity, 7, kTwoStopBits },
        { "1200,o,5,1.5", true, 1200, kOddParity, 5, kOne5StopBits },
        { " 9600 , m , 8 , 1 ", true, 9600, kMarkParity, 8, kOneStopBit },
        { "4800", true, 4800, kNoParity, 8, kOneStopBit },
        { "COM1: 9600,s,8,1", true, 9600, kSpaceParity, 8, kOneStopBit },
        { "baud=9600 parity=N data=8 stop=1", true, 9600, kNoParity, 8, kOneStopBit },
        { "data=7 baud=300 stop=2 parity=e", true, 300, kEvenParity, 7, kTwoStopBits },
        { "", false, 0, 0, 0, 0 },
        { "fast,n,8,1", false, 0, 0, 0, 0 },
        { "9600,x,8,1", false, 0, 0, 0, 0 },
        { "9600,n,9,1", false, 0, 0, 0, 0 },
        { "9600,n,8,3", false, 0, 0, 0, 0 },
        { "9600,n,8,1,1", false, 0, 0, 0, 0 },
        { "9600,,8,1", false, 0, 0, 0, 0 },
        { "0,n,8,1", false, 0, 0, 0, 0 },
        { "-9600,n,8,1", false, 0, 0, 0, 0 },
        { "99999999999,n,8,1", false, 0, 0, 0, 0 },
        { "baud=9600 baud=4800", false, 0, 0, 0, 0 },
        { "parity=n data=8", false, 0, 0, 0, 0 },
        { "baud=9600 speed=fast", false, 0, 0, 0, 0 },
    };
    for (const Case& c : cases) {
        const auto dcb = ParseCommMode(c.text);
        ASSERT_EQ(dcb.has_value(), c.ok) << '"' << c.text << '"';
        if (!c.ok)
            continue;
        EXPECT_EQ(dcb->BaudRate, c.baud) << c.text;
        EXPECT_EQ(dcb->Parity, c.parity) << c.text;
        EXPECT_EQ(dcb->ByteSize, c.data) << c.text;
        EXPECT_EQ(dcb->StopBits, c.stop) << c.text;
    }
}

TEST(CommMode, MalformedTextLeavesTheRecordAlone)
{
    Dcb dcb {};
    dcb.BaudRate = 4242;
    EXPECT_FALSE(BuildCommDCBA("9600,q,8,1", &dcb));
    EXPECT_EQ(dcb.BaudRate, 4242u);
    EXPECT_EQ(GetLastError(), kErrorInvalidParameter);
}

TEST(CommTiming, ReadWaitFollowsTotalAndIntervalRules)
{
    const CommTimeouts module = { 20, 1, 1, 1, 10 };
    using W = std::optional<std::int64_t>;
    struct Case
    {
        const char* what;
        CommTimeouts t;
        Dword count;
        std::int64_t sinceStart;
        W sinceLastByte;
        W wait;
    };
    const Case cases[] = {
        { "idle read: total only", module, 255, 0, std::nullopt, 256 },
        { "idle read later", module, 255, 200, std::nullopt, 56 },
        { "idle read over", module, 255, 300, std::nullopt, 0 },
        { "byte just came", module, 255, 10, 0, 20 },
        { "gap running", module, 255, 40, 15, 5 },
        { "gap over", module, 255, 40, 25, 0 },
        { "total ends first", module, 255, 250, 0, 6 },
        { "count scales the total", module, 10, 0, std::nullopt, 11 },
        { "no time-outs: unbounded", { 0, 0, 0, 0, 0 }, 255, 5000, std::nullopt, std::nullopt },
        { "interval only, before a byte", { 20, 0, 0, 0, 0 }, 255, 5000, std::nullopt,
            std::nullopt },
        { "interval only, after a byte", { 20, 0, 0, 0, 0 }, 255, 5000, 5, 15 },
        { "return at once", { kMaxDword, 0, 0, 0, 0 }, 255, 0, std::nullopt, 0 },
        { "as bytes arrive: none yet", { kMaxDword, kMaxDword, 1000, 0, 0 }, 255, 300, std::nullopt,
            700 },
        { "as bytes arrive: one came", { kMaxDword, kMaxDword, 1000, 0, 0 }, 255, 300, 0, 0 },
        { "as bytes arrive: none in time", { kMaxDword, kMaxDword, 1000, 0, 0 }, 255, 1200,
            std::nullopt, 0 },
        { "multiplier kMaxDword with constant 0 is not that rule",
            { kMaxDword, kMaxDword, 0, 0, 0 }, 1, 0, std::nullopt, std::int64_t(kMaxDword) },
    };
    // The table is in milliseconds; the arithmetic runs in microseconds.
    const auto us = [](W ms) { return ms ? W(*ms * 1000) : std::nullopt; };
    for (const Case& c : cases)
        EXPECT_EQ(ReadWaitUs(c.t, c.count, c.sinceStart * 1000, us(c.sinceLastByte)), us(c.wait))
            << c.what;
    // Part of a millisecond counts: 19.5 ms into a gap leaves half a millisecond.
    EXPECT_EQ(ReadWaitUs(module, 255, 40000, 19500), 500);
}

TEST(CommTiming, WriteWaitIsMultiplierTimesCountPlusConstant)
{
    const CommTimeouts module = { 20, 1, 1, 1, 10 };
    EXPECT_EQ(WriteWaitUs(module, 255, 0), 265000);
    EXPECT_EQ(WriteWaitUs(module, 8, 10000), 8000);
    EXPECT_EQ(WriteWaitUs(module, 8, 17999), 1);
    EXPECT_EQ(WriteWaitUs(module, 8, 100000), 0);
    EXPECT_EQ(WriteWaitUs({ 0, 0, 0, 0, 0 }, 8, 100000), std::nullopt);
}

TEST(PortName, ComNamesAndTheDeviceNamespacePrefix)
{
    const std::pair<const char*, std::optional<unsigned long>> cases[] = {
        { "COM1", 1 },
        { "COM5:", 5 },
        { "com12:", 12 },
        { "COM0", 0 },
        { "COM123456", 123456 },
        { "COM1234567", std::nullopt },
        { "COM", std::nullopt },
        { "COMx", std::nullopt },
        { "COM5:9600", std::nullopt },
        { "ttyUSB0", std::nullopt },
    };
    for (const auto& [name, number] : cases)
        EXPECT_EQ(ComPortNumber(name), number) << name;
    EXPECT_EQ(WithoutDevicePrefix("\\\\.\\COM3"), "COM3");
    EXPECT_EQ(WithoutDevicePrefix("/dev/ttyS0"), "/dev/ttyS0");
}

} // namespace

TEST(DeviceGone, TheWindowsCodesThatMeanTheDeviceWentAway)
{
    const std::tuple<comm::Dword, bool, bool, const char*> cases[] = {
        // code, port was open, gone, the words a user reads
        { 31, true, true, "the device stopped answering (unplugged?)" }, // ERROR_GEN_FAILURE
        { 6, true, true, "the port is not open" }, // ERROR_INVALID_HANDLE
        { 22, true, true, "the device did not take the command (unplugged?)" },
        { 995, true, true, "the operation was aborted" }, // ERROR_OPERATION_ABORTED
        { 1167, true, true, "the device is not connected" }, // ERROR_DEVICE_NOT_CONNECTED
        { 1617, true, true, "the device was removed" }, // ERROR_DEVICE_REMOVED
        { 5, true, true, "access denied: another program holds the port" }, // on an open port
        { 2, true, false, "no such device" }, // ERROR_FILE_NOT_FOUND
        { 87, true, false, "a setting the port does not take" }, // ERROR_INVALID_PARAMETER
        { 1460, true, false, "error 1460" }, // ERROR_TIMEOUT: not in the table
        { 0, true, false, "error 0" },
    };
    for (const auto& [code, open, gone, words] : cases) {
        EXPECT_EQ(comm::MeansDeviceGone(code), gone) << code << (open ? " open" : " at Open");
        EXPECT_TRUE(comm::CommErrorWords(code).starts_with(words)) << comm::CommErrorWords(code);
    }
}

namespace {

// Port texts: a network address by its scheme, anything else a serial port as always.
TEST(LinkAddress, SchemesHostsPortsAndWhatIsRefused)
{
    using comm::LinkKind;
    const struct
    {
        const char* text;
        LinkKind kind;
        const char* host;
        int port;
        const char* error;
    } rows[] = {
        { "COM5:", LinkKind::Serial, "", 0, "" },
        { "/dev/ttyUSB0", LinkKind::Serial, "", 0, "" },
        { "tcp://10.0.0.5", LinkKind::Tcp, "10.0.0.5", 502, "" },
        { "tcp://gw-3:1502", LinkKind::Tcp, "gw-3", 1502, "" },
        { "tcp://[::1]", LinkKind::Tcp, "::1", 502, "" },
        { "udp://[fe80::1]:5020", LinkKind::Udp, "fe80::1", 5020, "" },
        { "rtu+tcp://10.0.0.7:4001", LinkKind::RtuTcp, "10.0.0.7", 4001, "" },
        { "rtu+udp://gw:4001", LinkKind::RtuUdp, "gw", 4001, "" },
        { "ascii+tcp://gw:4001", LinkKind::AsciiTcp, "gw", 4001, "" },
        { "ascii+udp://[::1]:4002", LinkKind::AsciiUdp, "::1", 4002, "" },
        { "ascii+tcp://gw", LinkKind::AsciiTcp, "gw", 0,
            "ascii+tcp://gw: the port must be given: HOST:PORT" },
        { "rtu+tcp://10.0.0.7", LinkKind::RtuTcp, "10.0.0.7", 0,
            "rtu+tcp://10.0.0.7: the port must be given: HOST:PORT" },
        { "tcp://", LinkKind::Tcp, "", 0, "tcp://: no host" },
        { "tcp://host:0", LinkKind::Tcp, "host", 0, "tcp://host:0: the port must be 1..65535" },
        { "tcp://host:70000", LinkKind::Tcp, "host", 0,
            "tcp://host:70000: the port must be 1..65535" },
        { "tcp://::1", LinkKind::Tcp, "", 0,
            "tcp://::1: an IPv6 address goes in brackets: [::1]:502" },
        { "tcp://[::1", LinkKind::Tcp, "", 0, "tcp://[::1: an IPv6 address needs its closing ]" },
        { "foo://gw:502", LinkKind::Serial, "", 0,
            "foo://gw:502: foo:// is not a link kind: tcp://, rtu+tcp://, ascii+tcp://, udp://, "
            "rtu+udp:// or ascii+udp://" },
        { "/dev/ttyUSB0", LinkKind::Serial, "", 0, "" },
    };
    for (const auto& r : rows) {
        const comm::LinkAddress a = comm::ParseLinkAddress(r.text);
        EXPECT_EQ(std::tuple(a.kind, a.error), std::tuple(r.kind, std::string(r.error))) << r.text;
        if (a.error.empty()) {
            EXPECT_EQ(std::tuple(a.host, a.port), std::tuple(std::string(r.host), r.port))
                << r.text;
        }
    }
    EXPECT_EQ(comm::HostAndPort(comm::ParseLinkAddress("tcp://[::1]:1502")), "[::1]:1502");
    const std::tuple<const char*, modbus::Framing, bool> framings[] = {
        { "rtu+udp://gw:4001", modbus::Framing::Rtu, false },
        { "udp://gw", modbus::Framing::MbapDatagram, false },
        { "tcp://gw", modbus::Framing::MbapStream, true },
        { "ascii+tcp://gw:1", modbus::Framing::Ascii, true },
        { "ascii+udp://gw:1", modbus::Framing::Ascii, false },
    };
    // A lost connection is tried again at once, then at most once a second until it is back.
    comm::RetryPace pace;
    EXPECT_EQ(pace.waitUs(0), 0) << "lost: tried at once";
    pace.failed(0);
    EXPECT_EQ(pace.waitUs(10), comm::RetryPace::kPeriodUs - 10) << "failed: a second apart";
    EXPECT_EQ(pace.waitUs(comm::RetryPace::kPeriodUs), 0);
    pace.reset();
    EXPECT_EQ(pace.waitUs(10), 0) << "connected again";
    for (const auto& [text, framing, stream] : framings) {
        const comm::LinkAddress a = comm::ParseLinkAddress(text);
        EXPECT_EQ(std::tuple(comm::FramingOf(a.kind), a.stream()), std::tuple(framing, stream))
            << text;
    }
}

} // namespace
