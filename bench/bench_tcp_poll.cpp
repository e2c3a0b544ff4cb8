// quillet-cli --every 0 over loopback Modbus TCP against the demo slave, beside a minimal
// client (a blocking socket: send, read the 11-byte reply, again) in the same run, and the
// program's resident memory sampled through a long run.
//   bench_tcp_poll [POLLS [LONG_POLLS]]   (default 5000 and 100000)
#include "bench_util.h"

#include "modbus/mbap_frame.h"
#include "sim/served_links.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>

#include <atomic>
#include <cstdlib>
#include <thread>

extern char** environ;

namespace {

// Polls a second of the least a client can do: no analysis, no output.
double minimalClient(int port, int polls)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in to {};
    to.sin_family = AF_INET;
    to.sin_port = htons(std::uint16_t(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    if (connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0)
        return 0;
    const auto start = bench::Clock::now();
    for (int i = 0; i < polls; ++i) {
        const std::string request = modbus::BuildMbap({ std::uint16_t(i), 48, { 3, 0, 0, 0, 1 } });
        send(fd, request.data(), request.size(), 0);
        char reply[64];
        for (std::size_t got = 0; got < 11;) {
            const ssize_t n = recv(fd, reply + got, sizeof reply - got, 0);
            if (n <= 0)
                return 0;
            got += std::size_t(n);
        }
    }
    const double seconds = bench::msBetween(start, bench::Clock::now()) / 1000.0;
    close(fd);
    return polls / seconds;
}

// quillet-cli's run to the end, its resident memory sampled every 200 ms; its statistics.
std::string cliRun(const std::string& address, int polls, std::vector<long>& rssKb)
{
    const std::string errors = "/tmp/bench_tcp_poll.err";
    const std::string count = std::to_string(polls);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&files, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const char* argv[] = { QUILLET_CLI, "--port", address.c_str(), "--address", "48", "--every",
        "0", "--count", count.c_str(), "read-holding", "0", "1", nullptr };
    pid_t pid = 0;
    posix_spawn(&pid, QUILLET_CLI, &files, nullptr, const_cast<char**>(argv), environ);
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        std::ifstream statm("/proc/" + std::to_string(pid) + "/statm");
        long pages = 0, resident = 0;
        if (statm >> pages >> resident)
            rssKb.push_back(resident * (sysconf(_SC_PAGESIZE) / 1024));
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    std::ifstream in(errors);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

double perSecond(const std::string& stats)
{
    const std::size_t at = stats.find(" polls per second");
    return at == std::string::npos ? 0 : std::atof(stats.c_str() + stats.rfind('\n', at) + 1);
}

} // namespace

int main(int argc, char** argv)
{
    const int polls = argc > 1 ? std::atoi(argv[1]) : 5000;
    const int longPolls = argc > 2 ? std::atoi(argv[2]) : 100000;
    PtySlave slave(48, 10);
    ServedLinks links(slave);
    if (!slave.ok() || !links.add(ServedAs::Tcp, 0))
        return 1;
    std::atomic<bool> stop { false };
    std::thread server([&] {
        while (!stop)
            links.serveOnce(50);
    });
    const std::string address = links.addresses()[0];
    const int port = std::atoi(address.c_str() + address.rfind(':') + 1);
    std::vector<long> rss;
    // The minimal client before and after, so neither side gains from going first.
    const double before = minimalClient(port, polls);
    const std::string stats = cliRun(address, polls, rss);
    const double minimal = (before + minimalClient(port, polls)) / 2;
    const double cli = perSecond(stats);
    std::printf("%s", stats.c_str());
    std::printf("loopback Modbus TCP, %d polls of read-holding 0 1: minimal client %.0f polls/s, "
                "quillet-cli %.0f polls/s = %.0f %% of it\n",
        polls, minimal, cli, 100.0 * cli / minimal);
    rss.clear();
    const std::string longStats = cliRun(address, longPolls, rss);
    std::printf("%d polls: %.0f polls/s; quillet-cli resident memory (kB) every 200 ms:", longPolls,
        perSecond(longStats));
    for (const long kb : rss)
        std::printf(" %ld", kb);
    std::printf("\n");
    stop = true;
    server.join();
}
