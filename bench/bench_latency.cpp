// Reply latency: from a reply's last byte on the pty to its display line and log entry.
// The 20 ms interval time-out that ends a reply is the floor by design; the overhead above it
// is what the terminal adds.
#include "bench_util.h"
#include "bench_window.h"

#include <QApplication>
#include <QTimer>

#include <atomic>
#include <random>
#include <thread>

int main(int argc, char** argv)
{
    bench::offscreenUnlessSet();
    QApplication app(argc, argv);
    const int n = argc > 1 ? std::atoi(argv[1]) : 1000;
    bench::OpenWindow w;
    std::vector<bench::Clock::time_point> written(std::size_t(n) + 1), shownAt(std::size_t(n) + 1);
    std::atomic<int> shown { 0 };

    std::thread writer([&] {
        std::mt19937 random(42);
        const std::string reply("\x30\x03\x02\x00\x0A\x45\x87", 7);
        for (int i = 0; i < n; ++i) {
            while (shown.load(std::memory_order_acquire) < i)
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            // Land anywhere in the poller's cycle.
            std::this_thread::sleep_for(std::chrono::microseconds(random() % 30000));
            written[std::size_t(i)] = bench::Clock::now();
            w.peer.send(reply);
        }
    });
    int lines = 0;
    // Connected after the window's own handler, so this runs when the tick has shown and logged.
    QObject::connect(&w.frm.TMRComm, &QTimer::timeout, [&] {
        const int now = w.box("Text8")->document()->blockCount();
        if (now != lines) {
            lines = now;
            const int i = shown.load();
            shownAt[std::size_t(i)] = bench::Clock::now();
            shown.store(i + 1, std::memory_order_release);
            if (i + 1 == n)
                app.quit();
        }
    });
    app.exec();
    writer.join();

    std::vector<double> overhead;
    for (int i = 0; i < n; ++i)
        overhead.push_back(
            bench::msBetween(written[std::size_t(i)], shownAt[std::size_t(i)]) - 20.0);
    std::printf("reply latency over %d replies: overhead above the 20 ms interval p50 %.2f ms, p99 "
                "%.2f ms, max %.2f ms\n",
        n, bench::percentile(overhead, 50), bench::percentile(overhead, 99),
        bench::percentile(overhead, 100));
    bench::rerun("scripts/bench latency [replies]");
    return 0;
}
