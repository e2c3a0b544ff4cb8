// A continuous stream at 115200 bit/s: 255-byte chunks paced as the line would carry them
// (22.1 ms each). Reports bytes sent against bytes shown and logged, the poller's work per tick
// as the general box grows, and resident memory.
#include "bench_util.h"
#include "bench_window.h"

#include <QApplication>
#include <QTimer>

#include <atomic>
#include <random>
#include <sstream>
#include <thread>

int main(int argc, char** argv)
{
    bench::offscreenUnlessSet();
    QApplication app(argc, argv);
    const double seconds = argc > 1 ? std::atof(argv[1]) : 600;
    bench::OpenWindow w;
    w.line("Text1")->setText(".5"); // matches no slave: every chunk is a raw dump in Text2
    w.frm.TMRComm.stop(); // ticks are driven below, to time each one

    const auto chunkTime = std::chrono::microseconds(255 * 10 * 1000000LL / 115200);
    std::string sent;
    std::atomic<std::int64_t> lastWrite { 0 };
    std::atomic<bool> writing { true };
    std::thread writer([&] {
        std::mt19937 random(7);
        auto next = bench::Clock::now();
        const auto end = next + std::chrono::milliseconds(std::int64_t(seconds * 1000));
        while (next < end) {
            std::string chunk(255, '\0');
            for (char& c : chunk)
                c = char(random());
            sent += chunk;
            lastWrite = bench::Clock::now().time_since_epoch().count();
            w.peer.send(chunk);
            next += chunkTime;
            std::this_thread::sleep_until(next);
        }
        writing = false;
    });

    struct Band
    {
        std::vector<double> work;
    };
    std::vector<Band> bands(1); // one band per 10 million characters in Text2
    QPlainTextEdit* text2 = w.box("Text2");
    int blocks = text2->document()->blockCount();
    int idleAfterEnd = 0;
    const auto began = bench::Clock::now();
    auto nextSample = began;
    QTimer ticks;
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        const auto start = bench::Clock::now();
        w.frm.TMRComm_Timer();
        const auto end = bench::Clock::now();
        const int now = text2->document()->blockCount();
        if (now != blocks) {
            blocks = now;
            const auto written = bench::Clock::time_point(bench::Clock::duration(lastWrite.load()));
            const std::size_t band = std::size_t(text2->document()->characterCount() / 10000000);
            if (band >= bands.size())
                bands.resize(band + 1);
            bands[band].work.push_back(bench::msBetween(std::max(start, written), end));
        } else if (!writing && ++idleAfterEnd > 3) {
            app.quit();
        }
        if (end >= nextSample) {
            std::printf("t %6.0f s  Text2 %6.1f M chars  rss %7.1f MB\n",
                bench::msBetween(began, end) / 1000.0, text2->document()->characterCount() / 1e6,
                bench::rssKb() / 1024.0);
            std::fflush(stdout);
            nextSample = end + std::chrono::seconds(60);
        }
    });
    ticks.start(10);
    app.exec();
    writer.join();

    std::printf("stream: %.0f s of line time, %zu bytes sent\n",
        bench::msBetween(began, bench::Clock::now()) / 1000, sent.size());
    for (std::size_t b = 0; b < bands.size(); ++b) {
        if (!bands[b].work.empty())
            std::printf("  Text2 %3zu-%3zu M chars: %6zu ticks with data, work p50 %.2f ms, p99 "
                        "%.2f ms, max %.2f ms\n",
                b * 10, b * 10 + 10, bands[b].work.size(), bench::percentile(bands[b].work, 50),
                bench::percentile(bands[b].work, 99), bench::percentile(bands[b].work, 100));
    }
    const std::string shown
        = bench::dumpedBytes(text2->toPlainText().toLatin1().toStdString(), "\n");
    std::ifstream logFile(w.logPath(), std::ios::binary);
    const std::string log((std::istreambuf_iterator<char>(logFile)), {});
    const std::string logged = bench::dumpedBytes(log, "\r\n");
    std::printf("bytes sent %zu, shown %zu (%s), logged %zu (%s); rss %.1f MB; log %.1f MB\n",
        sent.size(), shown.size(), shown == sent ? "identical" : "DIFFERENT", logged.size(),
        logged == sent ? "identical" : "DIFFERENT", bench::rssKb() / 1024.0, log.size() / 1e6);
    bench::rerun("scripts/bench stream [seconds]");
    return shown == sent && logged == sent ? 0 : 1;
}
