// A network link as quillet-cli runs its requests over it, against a peer the test scripts:
// late replies never given to the wrong request, a hang-up told once and the connection made
// again at the next request, half a frame then a hang-up, refusals told plainly; and the
// window's reads of datagrams.
#include "cli/cli_port.h"
#include "modbus/crc16.h"
#include "modbus/function_table.h"
#include "modbus/mbap_frame.h"
#include "modbus/read_values.h"
#include "requests/request_language.h"
#include "serial/network_link.h"
#include "serial/serial_port.h"
#include "tests/support/fault_server.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <thread>
#include <unistd.h>

using namespace modbus;

namespace {

// The peer's side of a script: it runs on a thread of its own and waits only on the socket.
class Peer
{
public:
    explicit Peer(std::function<void()> script)
        : thread_(std::move(script))
    { }
    ~Peer() { join(); }
    void join()
    {
        if (thread_.joinable())
            thread_.join();
    }

private:
    std::thread thread_;
};

// The next whole MBAP request from the server's client, what follows it kept for later.
MbapFrame nextRequest(FaultServer& server, std::string& held)
{
    for (;;) {
        const MbapCut cut = CutMbapStream(held);
        if (cut.kind == MbapCut::Kind::Frame) {
            held.erase(0, cut.length);
            return cut.frame;
        }
        const std::string more = server.receive();
        if (more.empty())
            return {};
        held += more;
    }
}

// A one-register reply carrying value, under the request's transaction id.
std::string replyWith(const MbapFrame& request, int value)
{
    return BuildMbap(
        { request.transaction, request.unit, { 3, 2, char(value >> 8), char(value & 0xFF) } });
}

// A socket of type bound to a free loopback port, at saying where; -1 when none could be had.
int loopbackSocket(int type, sockaddr_in& at)
{
    const int fd = socket(AF_INET, type, 0);
    at = {};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof at;
    if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0
        && getsockname(fd, reinterpret_cast<sockaddr*>(&at), &size) == 0)
        return fd;
    if (fd >= 0)
        close(fd);
    return -1;
}

ByteString readOne() { return BuildRequest(1, ParseRequest("read-holding 0 1").fields).frame; }

struct Client
{
    cli::Port port;
    std::unique_ptr<cli::Link> link;

    explicit Client(const std::string& address, int timeoutMs = 2000)
    {
        EXPECT_EQ(port.open(address, {}, 2'000'000), "");
        link = std::make_unique<cli::Link>(port, cli::LinkOf(timeoutMs, 100, EchoMode::Off));
    }
    std::optional<int> value(const Exchange& e)
    {
        const auto v
            = e.good() ? ValuesOfReply(e.request().bytes, e.answer()->bytes) : std::nullopt;
        return v ? std::optional<int>(v->values.at(0)) : std::nullopt;
    }
};

} // namespace

TEST(NetworkLink, RepliesPastTheTimeOutAreCountedAndNeverGivenToTheNextRequest)
{
    FaultServer server;
    constexpr int kPolls = 2000;
    Peer peer([&] {
        ASSERT_TRUE(server.accept());
        std::string held, late;
        for (int i = 0; i < kPolls; ++i) {
            const MbapFrame request = nextRequest(server, held);
            // Every fifth reply is held back until the next request has gone out.
            if (i % 5 == 0)
                late = replyWith(request, i);
            else
                server.send(std::exchange(late, {}) + replyWith(request, i));
        }
    });
    Client client(server.address(), 10);
    int good = 0, wrong = 0;
    for (int i = 0; i < kPolls; ++i) {
        const Exchange e = client.link->transact(readOne());
        const std::optional<int> v = client.value(e);
        good += v ? 1 : 0;
        wrong += v && *v != i ? 1 : 0;
        if (i % 5 == 0) {
            EXPECT_EQ(e.code(), "no-reply") << i;
        }
    }
    peer.join();
    EXPECT_EQ(wrong, 0);
    // A busy machine may make a good reply miss its 10 ms too: then it is counted late as well.
    // Every reply is either its own request's answer or counted late (the last may be unread).
    const int late = client.link->analysis().counts().late;
    EXPECT_GE(late, kPolls / 5);
    EXPECT_GE(good + late, kPolls - 1);
    EXPECT_LE(good + late, kPolls);
}

TEST(NetworkLink, AHangUpIsToldOnceAndTheConnectionMadeAgainAtTheNextRequest)
{
    FaultServer server;
    // A time-out no longer than the wait to connect again: that wait must not be taken from it.
    Client client(server.address(), 1000);
    const std::string where = server.address("");
    Peer first([&] {
        ASSERT_TRUE(server.accept());
        std::string held;
        server.send(replyWith(nextRequest(server, held), 1));
        const std::string half = replyWith(nextRequest(server, held), 2).substr(0, 9);
        server.send(half); // half a frame, then the gateway reboots
        server.hangUp();
        ASSERT_TRUE(server.accept());
        server.send(replyWith(nextRequest(server, held), 3));
        server.stopListening(); // and now it is gone
        server.hangUp();
    });
    EXPECT_EQ(client.value(client.link->transact(readOne())), 1);
    const Exchange cut = client.link->transact(readOne());
    EXPECT_EQ(cut.verdict(), "not a frame: cut short");
    EXPECT_EQ(cut.notes(),
        std::vector<std::string> {
            where + " closed the connection; made again at the next request" })
        << "told with the exchange it ended";
    const Exchange again = client.link->transact(readOne());
    EXPECT_EQ(client.value(again), 3);
    EXPECT_EQ(again.notes(), std::vector<std::string> { "connected to " + where + " again" });
    first.join();
    const Exchange refused = client.link->transact(readOne());
    EXPECT_EQ(refused.verdict(), "not sent: nothing listens at " + where);
    EXPECT_EQ(refused.code(), "not-connected");
    EXPECT_EQ(client.link->transact(readOne()).notes(), std::vector<std::string> {})
        << "the same refusal is told once";
    server.listenAgain();
    Peer back([&] {
        ASSERT_TRUE(server.accept());
        std::string held;
        server.send(replyWith(nextRequest(server, held), 5));
    });
    EXPECT_EQ(client.value(client.link->transact(readOne())), 5) << "resumed";
}

TEST(NetworkLink, FailuresToConnectAreToldPlainlyWithinTheTimeOut)
{
    FaultServer server;
    server.stopListening();
    const struct
    {
        std::string address;
        std::string told;
    } rows[] = {
        { server.address(), "nothing listens at " + server.address("") },
        { server.address("rtu+tcp://"), "nothing listens at " + server.address("") },
        { "tcp://no-such-host.invalid", "unknown host no-such-host.invalid" },
        { "tcp://[::1", "tcp://[::1: an IPv6 address needs its closing ]" },
        { "rtu+tcp://10.0.0.5", "rtu+tcp://10.0.0.5: the port must be given: HOST:PORT" },
    };
    for (const auto& row : rows) {
        cli::Port port;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(port.open(row.address, {}, 1'000'000), row.told);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << row.address;
    }
}

// The window's reads over a datagram link: a Modbus UDP datagram is a frame by itself, so a read
// brings one even when several wait (joined, they would be no frame); RTU over UDP joins what
// came in pieces, as a gateway may send one reply in several datagrams.
TEST(NetworkLink, TheWindowReadsModbusUdpOneDatagramAtATime)
{
    sockaddr_in at {};
    const int peer = loopbackSocket(SOCK_DGRAM, at);
    ASSERT_GE(peer, 0);
    const std::string port = std::to_string(ntohs(at.sin_port));
    for (const std::string scheme : { "udp://", "rtu+udp://" }) {
        ASSERT_TRUE(SerialPort::OpenPort(scheme + "127.0.0.1:" + port, "", nullptr));
        ASSERT_EQ(SerialPort::WritePort("hello"), 5); // tells the peer where to answer
        char got[16];
        sockaddr_in from {};
        socklen_t fromSize = sizeof from;
        ASSERT_EQ(
            recvfrom(peer, got, sizeof got, 0, reinterpret_cast<sockaddr*>(&from), &fromSize), 5);
        for (const char* datagram : { "first", "second" })
            sendto(peer, datagram, std::strlen(datagram), 0, reinterpret_cast<sockaddr*>(&from),
                fromSize);
        EXPECT_EQ(SerialPort::ReadPort(), scheme == "udp://" ? "first" : "firstsecond") << scheme;
        SerialPort::ClosePort();
    }
    close(peer);
}

namespace {

std::atomic<int> alarms = 0;

// Stops its own timer after 3 s of signals, so that a wait started over at each would end too.
void countAlarm(int)
{
    if (++alarms == 300) {
        const itimerval stop {};
        setitimer(ITIMER_REAL, &stop, nullptr);
    }
}

} // namespace

// Signals during a wait (a terminal resized, a timer) do not start it over: a read that waits
// 200 ms while a signal comes every 10 ms ends after about 200 ms.
TEST(NetworkLink, SignalsDoNotStretchAWait)
{
    FaultServer server;
    comm::NetworkLink link;
    ASSERT_EQ(link.open(comm::ParseLinkAddress(server.address()), 2'000'000), "");
    ASSERT_TRUE(server.accept());
    struct sigaction count
    {
    };
    struct sigaction before
    {
    };
    count.sa_handler = countAlarm; // no SA_RESTART: the wait sees each signal
    sigaction(SIGALRM, &count, &before);
    const itimerval every10Ms { { 0, 10'000 }, { 0, 10'000 } };
    setitimer(ITIMER_REAL, &every10Ms, nullptr);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(link.read(200'000).empty());
    const auto waited = std::chrono::steady_clock::now() - start;
    const itimerval stop {};
    setitimer(ITIMER_REAL, &stop, nullptr);
    sigaction(SIGALRM, &before, nullptr);
    EXPECT_GT(alarms, 5) << "signals came during the wait";
    EXPECT_LT(waited, std::chrono::seconds(2));
}

// The window has one thread: a connection made again that the server is slow to take holds a
// write no longer than a read, goes on between requests, and is told once made.
TEST(NetworkLink, AConnectTheServerIsSlowToTakeDoesNotHoldTheWindowsWrite)
{
    sockaddr_in at {};
    const int listener = loopbackSocket(SOCK_STREAM, at);
    ASSERT_GE(listener, 0);
    ASSERT_EQ(listen(listener, 0), 0); // room for one connection waiting; the next SYN is dropped
    const std::string where = "127.0.0.1:" + std::to_string(ntohs(at.sin_port));
    comm::NetworkLink link;
    link.setReconnectWaitUs(20'000);
    ASSERT_EQ(link.open(comm::ParseLinkAddress("tcp://" + where), 5'000'000), "");
    close(accept(listener, nullptr, nullptr)); // the server hangs up...
    const int filler = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_EQ(connect(filler, reinterpret_cast<sockaddr*>(&at), sizeof at), 0); // ...and is busy
    EXPECT_TRUE(link.read(1'000'000).empty());
    EXPECT_EQ(link.takeNews(), where + " closed the connection; made again at the next request");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(link.write("ping"), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    EXPECT_EQ(link.down(), "connecting to " + where + " again");
    close(accept(listener, nullptr, nullptr)); // room again: the system sends the SYN again
    int sent = 0;
    for (const auto until = start + std::chrono::seconds(10);
         sent == 0 && std::chrono::steady_clock::now() < until;)
        sent = link.write("ping");
    EXPECT_EQ(sent, 4);
    EXPECT_EQ(link.takeNews(), "connected to " + where + " again");
    close(filler);
    close(listener);
}
