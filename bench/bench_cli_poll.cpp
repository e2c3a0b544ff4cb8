// quillet-cli --every 0 against the demo slave on a line paced at 115200 bit/s, taken for a timed
// serial line: polls per second beside the line's own limit for that request, and the reply time
// the program reports beside the line's record of it; before that, what finding the adapter's echo
// costs once, and what the grace costs a failed poll.
#include "tests/support/paced_line.h"

#include "bench_util.h"

#include "sim/pty_slave.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr int kSpeed = 115200;
constexpr std::size_t kRequestBytes = 8, kReplyBytes = 7; // read-holding 0 1

double numberAfter(const std::string& text, const std::string& label)
{
    const std::size_t at = text.find(label);
    return at == std::string::npos ? 0 : std::atof(text.c_str() + at + label.size());
}

// Wall time of one quillet-cli run, ms.
double runMs(const std::string& arguments)
{
    const auto start = bench::Clock::now();
    bench::output(std::string(QUILLET_CLI) + " " + arguments + " >/dev/null 2>&1");
    return bench::msBetween(start, bench::Clock::now());
}

double medianRunMs(const std::string& arguments, int runs = 15)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i)
        times.push_back(runMs(arguments));
    return bench::percentile(times, 50);
}

void echoAndGraceCosts(const std::string& slavePath)
{
    {
        // A write whose reply is a copy, on a line without echo: with the probe (auto) and
        // without it (off), one run each time, the process's start included in both.
        bench::PacedLine line(slavePath, kSpeed);
        const std::string base = "--port " + line.path() + " --speed 115200 --address 48 ";
        const double probed = medianRunMs(base + "write-register 5 1");
        const double plain = medianRunMs(base + "--echo off write-register 5 1");
        std::printf("echo probe: write-register 5 1 median %.2f ms in auto (probe first), %.2f ms "
                    "with --echo off: %.2f ms once a session\n",
            probed, plain, probed - plain);
    }
    {
        // No slave: each poll waits its 100 ms time-out, then the grace before the next one.
        bench::PacedLine line(slavePath, kSpeed, false, { .noSlave = true });
        const std::string base = "--port " + line.path()
            + " --speed 115200 --address 48 --timeout 100 --every 0 --count 10 ";
        // The first poll has no failed one before it: nine graces in ten polls.
        const double graced = runMs(base + "read-holding 0 1");
        const double bare = runMs(base + "--grace 0 read-holding 0 1");
        std::printf("grace: ten failed polls in %.1f ms with --grace 100, %.1f ms with --grace 0: "
                    "%.1f ms for each failed poll followed by another\n",
            graced, bare, (graced - bare) / 9);
    }
}

} // namespace

int main(int argc, char** argv)
{
    setenv("QUILLET_TIMED_PTY", "1", 1); // the paced line stands for a real one
    const int polls = argc > 1 ? std::atoi(argv[1]) : 500;
    PtySlave slave(48, 10);
    std::atomic<bool> stop { false };
    std::thread server([&] {
        while (!stop)
            slave.serveOnce(50);
    });
    // First, each on a line of its own: only one line may read the slave's pty at a time.
    echoAndGraceCosts(slave.path());
    bench::PacedLine line(slave.path(), kSpeed);
    if (!slave.ok() || !line.ok())
        return 1;
    const std::string stats = bench::output(std::string(QUILLET_CLI) + " --port " + line.path()
        + " --speed 115200 --address 48 --every 0 --count " + std::to_string(polls)
        + " read-holding 0 1 2>&1 >/dev/null");
    stop = true;
    server.join();
    const auto requests = line.requests();
    const auto replies = line.replies();
    // Each request's reply: the first reply that began after the request ended (a request the
    // slave did not answer has none, and the next request's reply is not taken for it).
    std::vector<double> turnaround, onLine;
    std::size_t reply = 0;
    for (std::size_t r = 0; r + kRequestBytes <= requests.size(); r += kRequestBytes) {
        const auto requestEnd = requests[r + kRequestBytes - 1].crossed;
        const auto nextRequest = r + kRequestBytes < requests.size()
            ? requests[r + kRequestBytes].read
            : bench::Clock::time_point::max();
        while (reply + kReplyBytes <= replies.size() && replies[reply].read < requestEnd)
            reply += kReplyBytes;
        if (reply + kReplyBytes > replies.size() || replies[reply].read > nextRequest)
            continue;
        turnaround.push_back(bench::msBetween(requestEnd, replies[reply].read));
        onLine.push_back(bench::msBetween(requestEnd, replies[reply + kReplyBytes - 1].crossed));
    }
    const std::size_t done = onLine.size();
    const double byteMs = 10'000.0 / kSpeed;
    const double silenceMs = 1.75; // 3.5 characters above 19200 bit/s
    const double limitMs = double(kRequestBytes + kReplyBytes) * byteMs
        + bench::percentile(turnaround, 50) + silenceMs;
    const std::size_t pps = stats.find(" polls per second");
    const std::size_t lineStart = stats.rfind('\n', pps) + 1;
    const double perSecond = std::atof(stats.c_str() + lineStart);
    std::printf("%s", stats.c_str());
    std::printf("line at %d bit/s: %zu polls recorded; slave turnaround p50 %.2f ms; the line's "
                "limit %.2f ms a poll = %.1f polls/s (request and reply at 10 bit times a byte, "
                "the turnaround, 3.5 characters of silence)\n",
        kSpeed, done, bench::percentile(turnaround, 50), limitMs, 1000.0 / limitMs);
    std::printf("quillet-cli: %.1f polls/s = %.0f %% of the line's limit\n", perSecond,
        100.0 * perSecond * limitMs / 1000.0);
    std::printf("reply time: quillet-cli median %.3f ms (from the request's end on the line); the "
                "line's "
                "record median %.3f ms (request's last byte crossed to reply's last byte "
                "crossed); the request's own %zu bytes take %.3f ms on the line\n",
        numberAfter(stats, "median "), bench::percentile(onLine, 50), kRequestBytes,
        double(kRequestBytes) * byteMs);
    bench::rerun("scripts/bench cli_poll [polls]");
    return 0;
}
