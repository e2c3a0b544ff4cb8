// The monitor polling the demo slave every 50 ms for a while (default 20 minutes): how late each
// cycle started, resident memory over time, and the terminal's CPU; then the idle cost with no
// run going, for comparison.
#include "bench_util.h"

#include "monitor/line_monitor.h"
#include "monitor/monitor_run.h"
#include "sim/pty_slave.h"
#include "window/frm_serial.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <thread>

int main(int argc, char** argv)
{
    bench::offscreenUnlessSet();
    QApplication app(argc, argv);
    const double minutes = argc > 1 ? std::atof(argv[1]) : 20;
    PtySlave slave(48, 100);
    std::atomic<bool> stop { false };
    std::thread server([&] {
        while (!stop)
            slave.serveOnce(50);
    });
    window::frmSerial frm;
    frm.setMessageHook([](const QString&, const QString&, window::MessageIcon) {});
    frm.show();
    frm.findChild<QLineEdit*>("txt(0)")->setText(QString::fromStdString(slave.path()));
    QTest::mouseClick(frm.findChild<QPushButton*>("BTNOpenCom"), Qt::LeftButton);
    frm.toggleMonitor(); // shown: its table and views do their work too
    frm.startPolling({ "read-holding 0 10" }, 50, 0, {});
    const auto began = bench::Clock::now();
    const double cpuAtStart = bench::cpuMs();
    QTimer sample;
    QObject::connect(&sample, &QTimer::timeout, [&] {
        const double s = bench::msBetween(began, bench::Clock::now()) / 1000;
        std::printf("t %5.0f s  rss %6.1f MB  polls %ld\n", s, bench::rssKb() / 1024.0,
            frm.monitor()->run()->statistics().requests());
        std::fflush(stdout);
        if (s >= minutes * 60)
            app.quit();
    });
    sample.start(60'000);
    QTimer::singleShot(int(minutes * 60'000) + 100, &app, &QApplication::quit);
    app.exec();
    sample.stop();
    const double wallMs = bench::msBetween(began, bench::Clock::now());
    const double cpu = bench::cpuMs() - cpuAtStart;
    std::printf("%s", frm.monitor()->run()->statistics().report().c_str());
    std::printf("polling every 50 ms for %.1f min: CPU %.1f %% of a core (the demo slave's thread "
                "included)\n",
        minutes, 100 * cpu / wallMs);
    frm.monitor()->stopRun();
    QTest::qWait(500);
    const double idleCpu = bench::cpuMs();
    const auto idleStart = bench::Clock::now();
    QTest::qWait(30'000);
    std::printf("then idle 30 s with the port open and no run: CPU %.2f %% of a core\n",
        100 * (bench::cpuMs() - idleCpu) / bench::msBetween(idleStart, bench::Clock::now()));
    stop = true;
    server.join();
    frm.close();
    bench::rerun("scripts/bench monitor_poll [minutes]");
    return 0;
}
