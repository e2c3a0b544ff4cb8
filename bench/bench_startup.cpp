// Start-up: process start to window shown, and resident memory then. The parent times a
// child that shows the window and says so, and a child that shows a bare window of the same
// size, so the ratio tells what the terminal adds to what the toolkit costs anyway.
#include "bench_util.h"

#include "window/frm_serial.h"

#include <QApplication>
#include <QTest>

#include <cstring>
#include <memory>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace {

int child(int argc, char** argv, bool bare)
{
    QApplication app(argc, argv);
    std::unique_ptr<QWidget> shown;
    if (bare) {
        shown = std::make_unique<QWidget>();
        shown->setFixedSize(734, 381);
    } else {
        shown = std::make_unique<window::frmSerial>();
    }
    shown->show();
    if (!QTest::qWaitForWindowExposed(shown.get()))
        return 1;
    std::printf("%ld\n", bench::rssKb());
    return 0;
}

struct Runs
{
    std::vector<double> times;
    long rss = 0;
};

Runs timeChildren(char* self, const char* mode, int runs)
{
    Runs r;
    for (int i = 0; i < runs; ++i) {
        int out[2];
        if (pipe(out) != 0)
            return r;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        char* args[] = { self, const_cast<char*>(mode), nullptr };
        const auto start = bench::Clock::now();
        pid_t pid = 0;
        posix_spawn(&pid, self, &actions, nullptr, args, environ);
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        char buf[64] = {};
        const ssize_t n = read(out[0], buf, sizeof buf - 1); // the child writes once it is shown
        r.times.push_back(bench::msBetween(start, bench::Clock::now()));
        if (n > 0)
            r.rss = std::atol(buf);
        close(out[0]);
        int status = 0;
        waitpid(pid, &status, 0);
    }
    return r;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && (std::strcmp(argv[1], "--child") == 0 || std::strcmp(argv[1], "--bare") == 0))
        return child(argc, argv, std::strcmp(argv[1], "--bare") == 0);
    const int runs = argc > 1 ? std::atoi(argv[1]) : 20;
    // Interleaved halves, so a machine that slows down part-way weighs on both alike.
    Runs terminal, bare;
    for (int half = 0; half < 2; ++half) {
        for (auto [into, mode] : { std::pair { &terminal, "--child" }, { &bare, "--bare" } }) {
            const Runs r = timeChildren(argv[0], mode, (runs + 1) / 2);
            into->times.insert(into->times.end(), r.times.begin(), r.times.end());
            into->rss = r.rss;
        }
    }
    const char* platform
        = qgetenv("QT_QPA_PLATFORM").isEmpty() ? "display" : qgetenv("QT_QPA_PLATFORM").constData();
    const double p50 = bench::percentile(terminal.times, 50);
    const double bareP50 = bench::percentile(bare.times, 50);
    std::printf("start-up (%s) over %zu runs: to window shown p50 %.1f ms, max %.1f ms; resident "
                "%.1f MB; bare window p50 %.1f ms; ratio %.2f\n",
        platform, terminal.times.size(), p50, bench::percentile(terminal.times, 100),
        terminal.rss / 1024.0, bareP50, bareP50 > 0 ? p50 / bareP50 : 0.0);
    bench::rerun("scripts/bench startup [runs]");
    return 0;
}
