// The simulator's faults in the window: a polling run and a composed request against a slave
// that misbehaves, each fault named by the verdict of a row in the monitor, as quillet-cli names
// it, and the run counting each poll under the fault's outcome.
#include "tests/support/window_fixture.h"

#include "modbus/function_table.h"
#include "monitor/composer.h"
#include "monitor/copyable_table.h"
#include "monitor/frame_table_model.h"
#include "monitor/line_monitor.h"
#include "monitor/monitor_run.h"
#include "monitor/poll_panel.h"
#include "requests/request_language.h"
#include "sim/pty_slave.h"
#include "tests/support/paced_line.h"

#include <QCheckBox>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <atomic>
#include <optional>
#include <string_view>
#include <thread>

namespace {

// Whether a row of the monitor's table has a verdict that holds part.
bool shows(monitor::LineMonitor* monitor, const std::string& part)
{
    const auto* rows = static_cast<const monitor::FrameTableModel*>(monitor->frames()->model());
    for (int r = 0; r < rows->rowCount(); ++r)
        if (rows->row(r).verdict.find(part) != std::string::npos)
            return true;
    return false;
}

// The window's own event loop until the monitor shows part, or 5 s.
bool waitFor(monitor::LineMonitor* monitor, const std::string& part)
{
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (shows(monitor, part))
            loop.quit();
    });
    check.start(20);
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    loop.exec();
    return shows(monitor, part);
}

// How many of the monitor's rows have a verdict that begins with part.
int rowsStartingWith(monitor::LineMonitor* monitor, const std::string& part)
{
    const auto* rows = static_cast<const monitor::FrameTableModel*>(monitor->frames()->model());
    int n = 0;
    for (int r = 0; r < rows->rowCount(); ++r)
        n += rows->row(r).verdict.starts_with(part) ? 1 : 0;
    return n;
}

} // namespace

// The monitor's polling run with a data log on a line that hands bytes over byte by byte, at
// once, or as a USB adapter does: each poll counted under what happened, a data log row for
// each good reply only, and a late reply of the same shape read away in the grace, never
// taken for the next poll's answer.
TEST(WindowOnFaultyLines, ARunWithADataLogCountsWhatHappenedOnEachDelivery)
{
    using modbus::PollOutcome;
    const struct
    {
        const char* what;
        bench::LineFaults faults;
        int polls;
        PollOutcome outcome;
        int counted;
        int late; // rows told late
    } rows[] = {
        { "a stray byte before each reply", { .strayByte = true }, 4, PollOutcome::Good, 4, 0 },
        { "an adapter that hears itself, no slave", { .echo = true, .noSlave = true }, 3,
            PollOutcome::NoReply, 3, 0 },
        { "another address answers", { .otherAddress = true }, 3, PollOutcome::OtherAddress, 3, 0 },
        { "every fifth reply 150 ms late", { .delayMs = 150, .lateEvery = 5 }, 9, PollOutcome::Good,
            8, 1 },
    };
    for (const auto& [delivery, how] : { std::pair(bench::Delivery::ByteByByte, "byte by byte"),
             std::pair(bench::Delivery::AtOnce, "at once"),
             std::pair(bench::Delivery::Usb, "USB") }) {
        for (const auto& row : rows) {
            const std::string what = std::string(row.what) + ", " + how;
            PtySlave slave(48, 10);
            std::atomic<bool> stop = false;
            std::thread server([&] {
                while (!stop)
                    slave.serveOnce(20);
            });
            bench::LineFaults faults = row.faults;
            faults.delivery = delivery;
            {
                bench::PacedLine line(slave.path(), 19200, false, faults);
                ASSERT_TRUE(line.ok());
                window::frmSerial frm;
                frm.setMessageHook([](const QString&, const QString&, window::MessageIcon) {});
                frm.findChild<QLineEdit*>("txt(0)")->setText(QString::fromStdString(line.path()));
                frm.toggleMonitor();
                monitor::LineMonitor* monitor = frm.monitor();
                frm.pressOpen();
                frm.findChild<QLineEdit*>("Text1")->setText("48");
                monitor->pollPanel()->setTimeoutMs(100);
                const std::string csv = ::testing::TempDir() + "faulty-line.csv";
                QFile::remove(QString::fromStdString(csv));
                frm.startPolling({ "read-holding 0 1" }, 0, row.polls, csv);
                EXPECT_TRUE(QTest::qWaitFor([&] { return monitor->run()->finished(); }, 20000))
                    << what;
                const modbus::PollStatistics& s = monitor->run()->statistics();
                EXPECT_EQ(s.requests(), row.polls) << what;
                EXPECT_EQ(s.count(row.outcome), row.counted) << what;
                // Rows reach the table at most ten times a second.
                EXPECT_TRUE(QTest::qWaitFor(
                    [&] { return rowsStartingWith(monitor, "late reply") >= row.late; }, 2000));
                EXPECT_EQ(rowsStartingWith(monitor, "late reply"), row.late) << what;
                QFile file(QString::fromStdString(csv));
                EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << what;
                const int dataRows = file.readAll().count('\n') - 1; // less the header
                EXPECT_EQ(dataRows, row.outcome == PollOutcome::Good ? row.counted : 0) << what;
                frm.close();
            }
            stop = true;
            server.join();
        }
    }
}

namespace {

// A fault of the simulator and the row that names it in the monitor.
struct WindowFault
{
    const char* fault;
    const char* command;
    const char* shows;
    std::optional<modbus::PollOutcome> polls; // how a polling run counts each poll; none: no run
    const char* ascii = nullptr; // what ASCII frames show instead; nullptr: the same
};

// One fault through a polling run and a composed request, in RTU or ASCII frames.
void checkWindowFault(const WindowFault& f, bool ascii)
{
    const std::string what = std::string(f.fault) + (ascii ? ", ASCII" : ", RTU");
    const std::string shown = ascii && f.ascii ? f.ascii : f.shows;
    PtySlave slave(48, 20);
    for (int n = 0; n < 20; ++n)
        slave.registers()[n] = std::uint16_t(10 * (n + 1));
    FaultPlan plan;
    ASSERT_EQ(plan.add(f.fault), "");
    slave.setFaults(std::move(plan));
    slave.setFraming(ascii ? modbus::Framing::Ascii : modbus::Framing::Rtu);
    std::atomic<bool> stop = false;
    std::thread server([&] {
        while (!stop)
            slave.serveOnce(20);
    });
    {
        window::frmSerial frm;
        frm.setMessageHook([](const QString&, const QString&, window::MessageIcon) {});
        frm.findChild<QLineEdit*>("txt(0)")->setText(QString::fromStdString(slave.path()));
        frm.presetFraming(ascii ? modbus::Framing::Ascii : modbus::Framing::Rtu, 8);
        frm.toggleMonitor();
        monitor::LineMonitor* monitor = frm.monitor();
        frm.pressOpen();
        if (f.polls) {
            frm.findChild<QLineEdit*>("Text1")->setText("48");
            monitor->pollPanel()->setTimeoutMs(300);
            frm.startPolling({ f.command }, 100, 3, "");
            EXPECT_TRUE(waitFor(monitor, shown)) << what;
            EXPECT_TRUE(QTest::qWaitFor([&] { return monitor->run()->finished(); }, 5000));
            monitor->frames()->selectAll();
            EXPECT_EQ(monitor->run()->statistics().count(*f.polls), 3)
                << what << "\n"
                << monitor->frames()->selectedAsText().toStdString();
            if (std::string_view(f.fault) == "delay=60") {
                EXPECT_GE(monitor->run()->statistics().minMs().value_or(0), 60.0);
            }
        }
        monitor::Composer* composer = monitor->composer();
        composer->setSlave("48");
        composer->setCommand(f.command);
        monitor->findChild<QCheckBox*>("readBack")->setChecked(true);
        composer->send();
        EXPECT_TRUE(waitFor(monitor, shown)) << what;
        frm.close();
    }
    stop = true;
    server.join();
}

} // namespace

// Each fault named by a row of the monitor, in RTU and in ASCII frames.
TEST(WindowAgainstFaults, EachFaultIsNamedByARowOfTheMonitor)
{
    using modbus::PollOutcome;
    const WindowFault faults[] = {
        { "delay=60", "read-holding 0 1", "CRC OK", PollOutcome::Good, "LRC OK" }, // time: below
        { "exception=0-9/2", "read-holding 0 1", "exception 2 ILLEGAL DATA ADDRESS",
            PollOutcome::Exception },
        { "bad-crc", "read-holding 0 1", "CRC BAD (expected", PollOutcome::CrcBad,
            "LRC BAD (expected" },
        { "no-reply", "read-holding 0 1", "no reply", PollOutcome::NoReply },
        { "half-frame", "read-holding 0 2", "not a frame: cut short, 4 of 9 bytes",
            PollOutcome::NotFrame, "not a frame: no CR LF" },
        { "stray", "read-holding 0 1", "2 stray bytes before the reply", PollOutcome::Good },
        { "wrong-function", "read-holding 0 1", "reply to function 2, asked 3",
            PollOutcome::WrongReply },
        { "wrong-length", "read-holding 0 2", "not a frame: wrong length, 8 of 9 bytes",
            PollOutcome::NotFrame, "not a frame: its length does not fit its function" },
        { "echo", "read-holding 0 1", "echo", PollOutcome::Good },
        { "ignore-writes", "write-register 5 9", "read back: holding 5: wrote 9, read 60", {} },
    };
    for (const bool ascii : { false, true })
        for (const WindowFault& f : faults)
            checkWindowFault(f, ascii);
}
