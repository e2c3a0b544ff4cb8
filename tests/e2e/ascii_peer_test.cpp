// Modbus ASCII against pymodbus, an independent implementation: quillet-cli as the master of
// pymodbus's serial server on a paced line, and pymodbus's client as the master of quillet-sim
// on its pty and over TCP.
#include "cli_run.h"
#include "tests/support/paced_line.h"
#include "tests/support/started_program.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::string output(const std::string& command)
{
    std::string out;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    char buffer[4096];
    for (std::size_t n; pipe && (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        out.append(buffer, n);
    if (pipe)
        pclose(pipe);
    return out;
}

} // namespace

TEST(AsciiAgainstPymodbus, TheCliAsksPymodbusSerialServerOnAPacedLine)
{
    if (PymodbusMissing())
        GTEST_SKIP() << "python3-pymodbus is not installed (scripts/test installs it)";
    StartedProgram server("/usr/bin/python3 " QUILLET_PYMODBUS_SERIAL " ascii");
    // Reads that follow the line's speed, as behind a bridge to a real port: the time rules
    // apply.
    setenv("QUILLET_TIMED_PTY", "1", 1);
    const std::string far = server.line();
    ASSERT_FALSE(far.empty());
    for (const bench::Delivery delivery :
        { bench::Delivery::ByteByByte, bench::Delivery::AtOnce, bench::Delivery::Usb }) {
        bench::PacedLine line(far, 19200, false, { .delivery = delivery });
        ASSERT_TRUE(line.ok());
        const std::string base
            = "--port " + line.path() + " --framing ascii --address 1 --timeout 1000 ";
        // The server takes a moment to start: asked until it answers, a bounded number of times.
        bool up = false;
        for (int tries = 0; tries < 40 && !up; ++tries)
            up = runCli(base + "read-holding 0 1").status == 0;
        ASSERT_TRUE(up);
        const CliRun read = runCli(base + "read-holding 0 2", true);
        EXPECT_EQ(read.status, 0) << read.out;
        EXPECT_NE(read.out.find("\t4321\t"), std::string::npos) << read.out;
        EXPECT_NE(read.out.find("LRC OK"), std::string::npos) << read.out;
        const std::string steps = writeFile("ascii.check",
            "read-holding 0 1 expect 4321\nread-input 0 2 expect ok\nread-coils 0 8 expect ok\n"
            "write-coil 1 1 expect ok\nwrite-register 2 3 expect ok\n"
            "write-registers 3 4 5 expect ok\nread-holding 2 3 expect 3 4 5\n");
        const CliRun check = runCli(base + "check " + steps, true);
        EXPECT_EQ(check.status, 0) << check.out;
        const CliRun polls = runCli(base + "--every 0 --count 5 read-holding 0 1", true);
        EXPECT_NE(polls.out.find("requests 5, good replies 5"), std::string::npos) << polls.out;
        const CliRun exception = runCli(base + "read-holding 300 1", true);
        EXPECT_EQ(exception.status, 1);
        EXPECT_NE(exception.out.find("exception 2 ILLEGAL DATA ADDRESS"), std::string::npos)
            << exception.out;
    }
    unsetenv("QUILLET_TIMED_PTY");
}

TEST(AsciiAgainstPymodbus, PymodbusClientAsksTheSimulatorOnItsPtyAndOverTcp)
{
    if (PymodbusMissing())
        GTEST_SKIP() << "python3-pymodbus is not installed (scripts/test installs it)";
    StartedProgram sim(std::string(QUILLET_SIM) + " --framing ascii --ascii-tcp 0");
    const std::string pty = sim.line();
    const std::string tcp = sim.line();
    ASSERT_TRUE(tcp.starts_with("ascii+tcp://")) << tcp;
    for (const std::string& port : { pty, tcp.substr(std::strlen("ascii+tcp://")) }) {
        const std::string said
            = output("/usr/bin/python3 " QUILLET_PYMODBUS_CLIENT " ascii " + port + " 48");
        EXPECT_EQ(said, "read 10 20 30\nwrite ok\nread back 77\ncoils 0\n") << port;
    }
}
