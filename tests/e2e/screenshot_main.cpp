// Drives the real window through one function 3 round trip with the simulated slave and
// saves a picture of the screen; with a second file name, also one of the window with the
// line monitor beside it; then a polling run, and the monitor with a workspace and its map.
#include "monitor/composer.h"
#include "monitor/copyable_table.h"
#include "monitor/line_monitor.h"
#include "monitor/run_views.h"
#include "monitor/trend_view.h"
#include "sim/pty_slave.h"
#include "window/frm_serial.h"

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include <atomic>
#include <cmath>
#include <thread>

// A polling run of input registers every 100 ms for a while: its trend, then its statistics.
bool shootRun(window::frmSerial& frm, const QString& file)
{
    frm.findChild<QLineEdit*>("Text1")->setText("48");
    frm.startPolling({ "read-input 0 4" }, 100, 0, {});
    monitor::RunViews* views = frm.monitor()->views();
    QTest::qWait(1000); // the watch has its rows
    views->watch()->model()->setData(
        views->watch()->model()->index(1, 0), Qt::Checked, Qt::CheckStateRole);
    views->setCurrentWidget(views->trend());
    QTest::qWait(8000);
    const bool trend = frm.monitor()->grab().save(file);
    views->setCurrentIndex(2);
    QTest::qWait(300);
    QString statistics = file;
    statistics.replace(".png", "-statistics.png");
    return trend && frm.monitor()->grab().save(statistics);
}

// The demo slave's example workspace and map opened: a read of input registers with their names.
bool shootMap(window::frmSerial& frm, const QString& file, const QString& workspace)
{
    monitor::LineMonitor* monitor = frm.monitor();
    if (monitor->run())
        monitor->stopRun();
    QTest::qWait(1200); // the run's last reply, or its "no reply", before the picture's request
    if (!monitor->openWorkspace(workspace))
        return false;
    monitor->views()->setCurrentIndex(0);
    monitor->composer()->setCommand("read-input 0 2");
    monitor->composer()->send();
    QTest::qWait(400);
    monitor::CopyableTable* frames = monitor->frames();
    frames->selectRow(frames->model()->rowCount() - 1);
    frames->setFocus();
    QTest::qWait(300);
    return monitor->grab().save(file);
}

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2)
        return 2;
    PtySlave slave(48, 100);
    for (int n = 0; n < 100; ++n) {
        slave.registers()[n] = static_cast<std::uint16_t>(10 * (n + 1));
        slave.inputRegisters()[n] = static_cast<std::uint16_t>(1000 + n);
    }
    std::atomic<bool> stop { false };
    std::thread server([&] {
        // Input register 1 rises and falls as a measurement would, changed between requests.
        for (int served = 0; !stop; ++served) {
            if (!slave.serveOnce(50).empty())
                slave.inputRegisters()[1]
                    = static_cast<std::uint16_t>(1000 + 40 * std::sin(served / 8.0));
        }
    });
    window::frmSerial frm;
    frm.move(20, 20);
    frm.show();
    (void)QTest::qWaitForWindowExposed(&frm);
    const bool withMonitor = argc > 2;
    if (withMonitor) {
        frm.toggleMonitor();
        frm.monitor()->move(800, 20);
        frm.monitor()->resize(1100, 600);
    }
    frm.findChild<QLineEdit*>("txt(0)")->setText(QString::fromStdString(slave.path()));
    QTest::mouseClick(frm.findChild<QPushButton*>("BTNOpenCom"), Qt::LeftButton);
    if (withMonitor)
        frm.findChild<QLineEdit*>("Text9")->setText("2");
    QTest::mouseClick(frm.findChild<QPushButton*>("Command3"), Qt::LeftButton);
    const bool shown = QTest::qWaitFor(
        [&] { return !frm.findChild<QPlainTextEdit*>("Text8")->toPlainText().isEmpty(); }, 5000);
    frm.findChild<QLineEdit*>("Text4")->setText("1");
    frm.findChild<QLineEdit*>("Text5")->setText("1234");
    QTest::mouseClick(frm.findChild<QPushButton*>("Command1"), Qt::LeftButton);
    QTest::qWait(400); // replies closer than 20 ms apart would arrive as one chunk
    QTest::mouseClick(frm.findChild<QPushButton*>("Command2"), Qt::LeftButton);
    QTest::qWait(800);
    bool saved = app.primaryScreen()->grabWindow(0).copy(0, 0, 800, 440).save(argv[1]);
    if (withMonitor) {
        frm.findChild<QLineEdit*>("Text1")->setText("47"); // nobody answers: no reply, a hint
        QTest::mouseClick(frm.findChild<QPushButton*>("Command3"), Qt::LeftButton);
        QTest::qWait(1600);
        // A request from the composer: input registers, their values in the details.
        monitor::Composer* composer = frm.monitor()->composer();
        composer->setSlave("48");
        composer->setCommand("read-input 0 4");
        composer->send();
        QTest::qWait(400);
        monitor::CopyableTable* frames = frm.monitor()->frames();
        frames->selectRow(frames->model()->rowCount() - 1);
        frames->setFocus();
        QTest::qWait(300);
        saved = saved && app.primaryScreen()->grabWindow(0).copy(0, 0, 1920, 640).save(argv[2]);
    }
    if (withMonitor && argc > 3)
        saved = saved && shootRun(frm, argv[3]);
    if (withMonitor && argc > 5)
        saved = saved && shootMap(frm, argv[4], argv[5]);
    frm.close();
    stop = true;
    server.join();
    return shown && saved ? 0 : 1;
}
