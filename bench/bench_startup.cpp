// Start-up: process start to window shown, and resident memory then. The parent times a
// child that shows the window and says so.
#include "bench_util.h"

#include "window/frm_serial.h"

#include <QApplication>
#include <QTest>

#include <cstring>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace {

int child(int argc, char** argv)
{
    QApplication app(argc, argv);
    window::frmSerial frm;
    frm.show();
    if (!QTest::qWaitForWindowExposed(&frm))
        return 1;
    std::printf("%ld\n", bench::rssKb());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--child") == 0)
        return child(argc, argv);
    const int runs = argc > 1 ? std::atoi(argv[1]) : 20;
    std::vector<double> times;
    long rss = 0;
    for (int i = 0; i < runs; ++i) {
        int out[2];
        if (pipe(out) != 0)
            return 1;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        char* args[] = { argv[0], const_cast<char*>("--child"), nullptr };
        const auto start = bench::Clock::now();
        pid_t pid = 0;
        posix_spawn(&pid, argv[0], &actions, nullptr, args, environ);
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        char buf[64] = {};
        const ssize_t n = read(out[0], buf, sizeof buf - 1); // the child writes once it is shown
        times.push_back(bench::msBetween(start, bench::Clock::now()));
        if (n > 0)
            rss = std::atol(buf);
        close(out[0]);
        int status = 0;
        waitpid(pid, &status, 0);
    }
    std::printf(
        "start-up (%s) over %d runs: to window shown p50 %.0f ms, max %.0f ms; resident %.1f MB\n",
        qgetenv("QT_QPA_PLATFORM").isEmpty() ? "display" : qgetenv("QT_QPA_PLATFORM").constData(),
        runs, bench::percentile(times, 50), bench::percentile(times, 100), rss / 1024.0);
    bench::rerun("scripts/bench startup [runs]");
    return 0;
}
