// quillet-cli over network links: the demo slave behind each of the four at once, and
// libmodbus's own Modbus TCP server as an independent peer. Every function of the table, a
// poll run, a check run, a scan of unit ids, a broadcast.
#include "cli_run.h"
#include "sim/served_links.h"
#include "tests/support/free_port.h"

#include <modbus/modbus.h>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

// The demo slave on its pty and all four network links, served on a thread of the fixture's
// own while in scope; its tables are safe to read once it has gone.
class DemoOnTheNetwork
{
public:
    DemoOnTheNetwork()
        : links_(slave)
    {
        for (int n = 0; n < 20; ++n) {
            slave.registers()[n] = std::uint16_t(10 * (n + 1));
            slave.coils()[n] = n % 2;
        }
        slave.setIdentification({ "Quillet", "QSIM", "1.0", "", "", "", "" });
        for (ServedAs as : { ServedAs::Tcp, ServedAs::RtuTcp, ServedAs::Udp, ServedAs::RtuUdp,
                 ServedAs::AsciiTcp, ServedAs::AsciiUdp })
            EXPECT_TRUE(links_.add(as, 0));
        thread_ = std::thread([this] {
            while (!stop_)
                links_.serveOnce(20);
        });
    }
    ~DemoOnTheNetwork() { stop(); }
    void stop()
    {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
    }
    std::vector<std::string> addresses() const { return links_.addresses(); }

    PtySlave slave { 48, 20 };

private:
    ServedLinks links_;
    std::atomic<bool> stop_ = false;
    std::thread thread_;
};

// libmodbus's Modbus TCP server on 127.0.0.1 at a free port, one client at a time.
class LibmodbusServer
{
public:
    LibmodbusServer()
        : ctx_(modbus_new_tcp("127.0.0.1", 0))
        , map_(modbus_mapping_new(10, 10, 10, 10))
    {
        listener_ = modbus_tcp_listen(ctx_, 1);
        sockaddr_in bound {};
        socklen_t length = sizeof bound;
        getsockname(listener_, reinterpret_cast<sockaddr*>(&bound), &length);
        port_ = ntohs(bound.sin_port);
        map_->tab_registers[0] = 4321;
        thread_ = std::thread([this] { serve(); });
    }
    ~LibmodbusServer()
    {
        stop_ = true;
        thread_.join();
        close(listener_);
        modbus_mapping_free(map_);
        modbus_free(ctx_);
    }
    std::string address() const { return "tcp://127.0.0.1:" + std::to_string(port_); }

private:
    void serve()
    {
        modbus_set_indication_timeout(ctx_, 0, 50'000);
        while (!stop_) {
            pollfd waiting { listener_, POLLIN, 0 };
            if (poll(&waiting, 1, 20) <= 0 || modbus_tcp_accept(ctx_, &listener_) < 0)
                continue;
            std::uint8_t query[MODBUS_TCP_MAX_ADU_LENGTH];
            for (int rc = 0; !stop_ && (rc >= 0 || errno == ETIMEDOUT);) {
                rc = modbus_receive(ctx_, query);
                if (rc > 0)
                    modbus_reply(ctx_, query, rc, map_);
            }
            modbus_close(ctx_);
        }
    }

    modbus_t* ctx_;
    modbus_mapping_t* map_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_ = false;
    std::thread thread_;
};

// pymodbus's server as its own process, ended with the test.
class PymodbusServer
{
public:
    PymodbusServer(const char* transport, const char* framing, int port)
    {
        const std::string portText = std::to_string(port);
        const char* argv[] = { "/usr/bin/python3", QUILLET_PYMODBUS_SERVER, transport, framing,
            portText.c_str(), nullptr };
        posix_spawn(&pid_, argv[0], nullptr, nullptr, const_cast<char**>(argv), environ);
    }
    ~PymodbusServer()
    {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }

private:
    pid_t pid_ = 0;
};

} // namespace

TEST(CliOnNetworkLinks, EveryFunctionAndEveryWayOfAskingOverEachLink)
{
    DemoOnTheNetwork demo;
    // Every function of the table as a check run's steps: one process a link.
    const std::string steps = writeFile("network.check",
        "read-coils 0 10 expect ok\nread-discrete 0 4 expect ok\nread-holding 1 2 expect 20 ?\n"
        "read-input 0 2 expect ok\nwrite-coil 4 1 expect ok\nwrite-register 3 7 expect ok\n"
        "write-coils 0 1 1 0 expect ok\nwrite-registers 5 1 2 3 expect ok\n"
        "mask-write 2 0xF0 0x0F expect ok\nread-write 0 2 10 5 6 expect 10 20\n"
        "diagnostics 0 A5 37 expect ok\nserver-id expect ok\ndevice-id expect ok\n");
    for (const std::string& address : demo.addresses()) {
        const std::string base = "--port " + address + " --address 48 ";
        const CliRun check = runCli(base + "check " + steps, true);
        EXPECT_EQ(check.status, 0) << address << "\n" << check.out;
        EXPECT_NE(check.out.find("ok 13 - device-id"), std::string::npos) << check.out;
        const CliRun polls = runCli(base + "--every 0 --count 3 read-holding 0 1", true);
        EXPECT_EQ(polls.status, 0) << address << "\n" << polls.out;
        EXPECT_NE(polls.out.find("requests 3, good replies 3"), std::string::npos) << polls.out;
        const CliRun scan
            = runCli("--port " + address + " scan --addresses 46-49 --timeout 100", true);
        EXPECT_EQ(scan.status, 0) << address << "\n" << scan.out;
        EXPECT_NE(scan.out.find("48 "), std::string::npos) << scan.out;
        // A broadcast: nothing is waited for, yet the slave carries it out.
        const CliRun broadcast
            = runCli("--port " + address + " --address 0 write-register 11 99", true);
        EXPECT_EQ(broadcast.status, 0) << broadcast.out;
        EXPECT_NE(broadcast.out.find("broadcast: no reply expected"), std::string::npos);
        EXPECT_NE(runCli(base + "read-holding 11 1").out.find("\t99\t"), std::string::npos);
    }
    const CliRun read0
        = runCli("--port " + demo.addresses()[0] + " --address 0 read-holding 0 1", true);
    EXPECT_EQ(read0.status, 2);
    EXPECT_NE(read0.out.find("address 0 is a broadcast"), std::string::npos) << read0.out;
    // Unit 255, a device's own id on Modbus TCP, reaches the demo slave there.
    EXPECT_EQ(
        runCli("--port " + demo.addresses()[0] + " --address 255 read-holding 0 1").status, 0);
}

TEST(CliOnNetworkLinks, AnIndependentServerAndTheFailuresToReachOne)
{
    LibmodbusServer server;
    const std::string base = "--port " + server.address() + " --address 1 ";
    const std::string steps = writeFile("libmodbus.check",
        "read-holding 0 1 expect 4321\nread-input 0 2 expect ok\nread-coils 0 8 expect ok\n"
        "read-discrete 0 8 expect ok\nwrite-coil 1 1 expect ok\nwrite-register 2 3 expect ok\n"
        "write-coils 0 1 0 expect ok\nwrite-registers 3 4 5 expect ok\n"
        "mask-write 2 0xF0 0x0F expect ok\nread-write 0 1 4 9 expect 4321\nserver-id expect ok\n");
    const CliRun check = runCli(base + "check " + steps, true);
    EXPECT_EQ(check.status, 0) << check.out;
    EXPECT_NE(check.out.find("ok 11 - server-id"), std::string::npos) << check.out;
    EXPECT_NE(runCli(base + "read-holding 0 1").out.find("\t4321\t"), std::string::npos);
    const CliRun exception = runCli(base + "read-holding 100 1", true);
    EXPECT_EQ(exception.status, 1);
    EXPECT_NE(exception.out.find("exception 2 ILLEGAL DATA ADDRESS"), std::string::npos);
    const CliRun refused = runCli("--port tcp://127.0.0.1:1 read-holding 0 1", true);
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.out, "quillet-cli: nothing listens at 127.0.0.1:1\n");
    // Link texts that cannot be used, and line settings a network has not: usage errors.
    const std::pair<const char*, const char*> usage[] = {
        { "--port tcp://:99999 read-holding 0 1", "tcp://:99999: no host" },
        { "--port tcp://gw:99999 read-holding 0 1", "the port must be 1..65535" },
        { "--port foo://gw:502 read-holding 0 1", "foo:// is not a link kind: tcp://" },
        { "--port tcp://127.0.0.1:1 scan --speeds 9600", "a network link has none" },
    };
    for (const auto& [arguments, says] : usage) {
        const CliRun run = runCli(arguments, true);
        EXPECT_EQ(run.status, 2) << arguments << "\n" << run.out;
        EXPECT_NE(run.out.find(says), std::string::npos) << arguments << "\n" << run.out;
    }
    const CliRun unknown = runCli("--port tcp://no-such-host.invalid read-holding 0 1", true);
    EXPECT_EQ(unknown.status, 1);
    EXPECT_EQ(unknown.out, "quillet-cli: unknown host no-such-host.invalid\n");
}

// A name server that takes every question and answers none, at ip:53; -1 when that cannot be
// had here.
int silentNameServer(const char* ip)
{
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in at {};
    at.sin_family = AF_INET;
    at.sin_port = htons(53);
    inet_pton(AF_INET, ip, &at.sin_addr);
    if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0)
        return fd;
    if (fd >= 0)
        close(fd);
    return -1;
}

// A name server that never answers must not hold a run for its own minutes: the look-up is
// given up on within the time-out. The run sees that name server alone, in a mount namespace
// of its own.
TEST(CliOnNetworkLinks, AHostNoNameServerAnswersForIsGivenUpOnWithinTheTimeOut)
{
    const int server = silentNameServer("127.0.0.77");
    if (server < 0 || runShell("unshare -rm true 2>/dev/null").status != 0)
        GTEST_SKIP() << "needs port 53 on the loopback net and a mount namespace";
    // Unbounded, the library would ask three times, waiting 30 s for each answer.
    const std::string conf
        = writeFile("silent-resolv.conf", "nameserver 127.0.0.77\noptions timeout:30 attempts:3\n");
    const std::string run = "--timeout 500 --port tcp://gw.quillet.test:502 read-holding 0 1";
    const auto start = std::chrono::steady_clock::now();
    const CliRun lookUp
        = runShell("unshare -rm sh -c 'mount --bind \"$0\" /etc/resolv.conf && exec "
            + std::string(QUILLET_CLI) + " " + run + "' " + conf + " 2>&1");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_EQ(lookUp.status, 1) << lookUp.out;
    EXPECT_EQ(lookUp.out,
        "quillet-cli: no answer from the name server for gw.quillet.test within the time-out\n");
    close(server);
}

// pymodbus's own server behind each of the six links: an independent peer for the framings
// libmodbus does not serve (RTU or ASCII in a stream or in datagrams, MBAP in datagrams).
TEST(CliOnNetworkLinks, PymodbusOverEachLink)
{
    if (std::system("/usr/bin/python3 -c 'import pymodbus.server' 2>/dev/null") != 0)
        GTEST_SKIP() << "python3-pymodbus is not installed (scripts/test installs it)";
    const std::string steps = writeFile("pymodbus.check",
        "read-holding 0 1 expect 4321\nread-input 0 2 expect ok\nread-coils 0 8 expect ok\n"
        "read-discrete 0 8 expect ok\nwrite-coil 1 1 expect ok\nwrite-register 2 3 expect ok\n"
        "write-coils 0 1 0 expect ok\nwrite-registers 3 4 5 expect ok\n"
        "mask-write 2 0xF0 0x0F expect ok\nread-write 0 1 4 9 expect 4321\n");
    const struct
    {
        const char* scheme;
        const char* transport;
        const char* framing;
    } links[] = { { "tcp://", "tcp", "socket" }, { "rtu+tcp://", "tcp", "rtu" },
        { "udp://", "udp", "socket" }, { "rtu+udp://", "udp", "rtu" },
        { "ascii+tcp://", "tcp", "ascii" }, { "ascii+udp://", "udp", "ascii" } };
    for (const auto& link : links) {
        const int port
            = FreeLoopbackPort(std::string(link.transport) == "tcp" ? SOCK_STREAM : SOCK_DGRAM);
        const PymodbusServer server(link.transport, link.framing, port);
        const std::string base = "--port " + std::string(link.scheme)
            + "127.0.0.1:" + std::to_string(port) + " --address 1 --timeout 500 ";
        // The server takes a moment to start: asked until it answers, a bounded number of times.
        bool up = false;
        for (int tries = 0; tries < 40 && !up; ++tries)
            up = runCli(base + "read-holding 0 1").status == 0;
        ASSERT_TRUE(up) << link.scheme;
        const CliRun check = runCli(base + "check " + steps, true);
        EXPECT_EQ(check.status, 0) << link.scheme << "\n" << check.out;
    }
}
