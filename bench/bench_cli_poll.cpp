// quillet-cli --every 0 against the demo slave on a line paced at 115200 bit/s, taken for a timed
// serial line: polls per second beside the line's own limit for that request, and the reply time
// the program reports beside the line's record of it; before that, what finding the adapter's echo
// costs once, and what the grace costs a failed poll.
#include "tests/support/paced_line.h"

#include "bench_util.h"

#include "modbus/wire_framer.h"
#include "sim/pty_slave.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kSpeed = 115200;

// read-holding 0 1 and its reply on the wire: RTU's bytes, or ASCII's text (twice the data as
// hex, the ':', the LRC and CR LF), and the silence RTU keeps between frames (ASCII keeps none).
struct Wire
{
    const char* name;
    modbus::Framing framing;
    std::size_t requestBytes, replyBytes;
    double silenceMs;
};
constexpr Wire kRtu { "RTU", modbus::Framing::Rtu, 8, 7, 1.75 };
constexpr Wire kAscii { "ASCII", modbus::Framing::Ascii, 17, 15, 0 };

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

// What the line recorded: each request's turnaround and its reply time, from the request's end.
void replyTimes(const bench::PacedLine& line, const Wire& wire, std::vector<double>& turnaround,
    std::vector<double>& onLine)
{
    const auto requests = line.requests();
    const auto replies = line.replies();
    // Each request's reply: the first reply that began after the request ended (a request the
    // slave did not answer has none, and the next request's reply is not taken for it).
    const std::size_t asked = wire.requestBytes, answered = wire.replyBytes;
    std::size_t reply = 0;
    for (std::size_t r = 0; r + asked <= requests.size(); r += asked) {
        const auto requestEnd = requests[r + asked - 1].crossed;
        const auto nextRequest = r + asked < requests.size() ? requests[r + asked].read
                                                             : bench::Clock::time_point::max();
        while (reply + answered <= replies.size() && replies[reply].read < requestEnd)
            reply += answered;
        if (reply + answered > replies.size() || replies[reply].read > nextRequest)
            continue;
        turnaround.push_back(bench::msBetween(requestEnd, replies[reply].read));
        onLine.push_back(bench::msBetween(requestEnd, replies[reply + answered - 1].crossed));
    }
}

// quillet-cli polling as fast as the slave answers in this framing, beside the line's limit.
void measure(const std::string& slavePath, const Wire& wire, int polls)
{
    bench::PacedLine line(slavePath, kSpeed);
    if (!line.ok())
        return;
    const std::string stats = bench::output(std::string(QUILLET_CLI) + " --port " + line.path()
        + " --speed 115200 --address 48 --framing " + std::string(modbus::FramingWord(wire.framing))
        + " --every 0 --count " + std::to_string(polls) + " read-holding 0 1 2>&1 >/dev/null");
    std::vector<double> turnaround, onLine;
    replyTimes(line, wire, turnaround, onLine);
    const double byteMs = 10'000.0 / kSpeed;
    const double limitMs = double(wire.requestBytes + wire.replyBytes) * byteMs
        + bench::percentile(turnaround, 50) + wire.silenceMs;
    const std::size_t pps = stats.find(" polls per second");
    const double perSecond = std::atof(stats.c_str() + stats.rfind('\n', pps) + 1);
    std::printf("== %s\n%s", wire.name, stats.c_str());
    std::printf("line at %d bit/s: %zu polls recorded; slave turnaround p50 %.2f ms; the line's "
                "limit %.2f ms a poll = %.1f polls/s (request and reply at 10 bit times a byte, "
                "the turnaround, %.2f ms of silence)\n",
        kSpeed, onLine.size(), bench::percentile(turnaround, 50), limitMs, 1000.0 / limitMs,
        wire.silenceMs);
    std::printf("quillet-cli: %.1f polls/s = %.0f %% of the line's limit\n", perSecond,
        100.0 * perSecond * limitMs / 1000.0);
    std::printf("reply time: quillet-cli median %.3f ms (from the request's end on the line); the "
                "line's record median %.3f ms (request's last byte crossed to reply's last byte "
                "crossed); the request's own %zu bytes take %.3f ms on the line\n",
        numberAfter(stats, "median "), bench::percentile(onLine, 50), wire.requestBytes,
        double(wire.requestBytes) * byteMs);
}

// The demo slave answering in a framing, on a thread of its own while in scope.
class Serving
{
public:
    Serving(PtySlave& slave, modbus::Framing framing)
    {
        slave.setFraming(framing); // before its thread starts: nothing reads it meanwhile
        thread_ = std::thread([this, &slave] {
            while (!stop_)
                slave.serveOnce(50);
        });
    }
    ~Serving()
    {
        stop_ = true;
        thread_.join();
    }

private:
    std::atomic<bool> stop_ { false };
    std::thread thread_;
};

} // namespace

int main(int argc, char** argv)
{
    setenv("QUILLET_TIMED_PTY", "1", 1); // the paced line stands for a real one
    const int polls = argc > 1 ? std::atoi(argv[1]) : 500;
    PtySlave slave(48, 10);
    if (!slave.ok())
        return 1;
    for (const Wire& wire : { kRtu, kAscii }) {
        const Serving serving(slave, wire.framing);
        // First, each on a line of its own: only one line may read the slave's pty at a time.
        if (wire.framing == modbus::Framing::Rtu)
            echoAndGraceCosts(slave.path());
        measure(slave.path(), wire, polls);
    }
    bench::rerun("scripts/bench cli_poll [polls]");
    return 0;
}
