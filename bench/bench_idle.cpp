// Idle cost: the port open, nothing arriving. CPU used and the lamp's blink period.
#include "bench_util.h"
#include "bench_window.h"

#include "window/lamp.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char** argv)
{
    bench::offscreenUnlessSet();
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    bench::OpenWindow w;
    auto* lamp = w.frm.findChild<window::Lamp*>("Pic");
    unsigned colour = lamp->fillColor();
    int changes = 0;
    QObject::connect(&w.frm.TMRComm, &QTimer::timeout, [&] {
        if (lamp->fillColor() != colour) {
            colour = lamp->fillColor();
            ++changes;
        }
    });
    const double cpuBefore = bench::cpuMs();
    const auto start = bench::Clock::now();
    QTimer::singleShot(seconds * 1000, &app, &QApplication::quit);
    app.exec();
    const double wall = bench::msBetween(start, bench::Clock::now());
    const double cpu = bench::cpuMs() - cpuBefore;
    std::printf(
        "idle %.0f s: CPU %.0f ms = %.2f %% of a core; lamp changed %d times, every %.0f ms\n",
        wall / 1000, cpu, 100 * cpu / wall, changes, changes ? wall / changes : 0.0);
    bench::rerun("scripts/bench idle [seconds]");
    return 0;
}
