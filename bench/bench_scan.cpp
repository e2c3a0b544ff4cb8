// quillet-cli scan of addresses 1..247 at one setting against the demo slave at address 247 on a
// line paced at 19200 bit/s, beside its floor: 247 probes of (request on the line + time-out).
#include "bench_util.h"

#include "sim/pty_slave.h"
#include "tests/support/paced_line.h"

#include <cstdio>
#include <string>

int main()
{
    PtySlave slave(247, 10);
    std::atomic<bool> stop { false };
    std::thread server([&] {
        while (!stop)
            slave.serveOnce(50);
    });
    bench::PacedLine line(slave.path(), 19200);
    if (!slave.ok() || !line.ok())
        return 1;
    const std::string command = std::string(QUILLET_CLI) + " --port " + line.path()
        + " scan --speeds 19200 --parity even 2>/dev/null";
    const auto start = bench::Clock::now();
    const std::string out = bench::output(command);
    const double took = bench::msBetween(start, bench::Clock::now());
    stop = true;
    server.join();
    // 246 silent probes and one answered: each request is 8 bytes of 11 bits at 19200 bit/s.
    const double requestMs = 8 * 11'000.0 / 19200;
    const double floorMs = 246 * (requestMs + 100) + requestMs;
    std::printf("%s", out.c_str());
    std::printf("scan of 1..247 at 19200 8E1, slave at 247: %.0f ms; floor %.0f ms (247 probes of "
                "%.2f ms on the line + 100 ms time-out); %.1f %% over the floor\n",
        took, floorMs, requestMs, 100 * (took - floorMs) / floorMs);
    bench::rerun("scripts/bench scan");
    return 0;
}
