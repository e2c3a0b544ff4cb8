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

#include <QCheckBox>
#include <QEventLoop>
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

} // namespace

TEST(WindowAgainstFaults, EachFaultIsNamedByARowOfTheMonitor)
{
    using modbus::PollOutcome;
    const struct
    {
        const char* fault;
        const char* command;
        const char* shows;
        std::optional<PollOutcome> polls; // how a polling run counts each poll; none: no run
    } faults[] = {
        { "delay=60", "read-holding 0 1", "CRC OK", PollOutcome::Good }, // its time: below
        { "exception=0-9/2", "read-holding 0 1", "exception 2 ILLEGAL DATA ADDRESS",
            PollOutcome::Exception },
        { "bad-crc", "read-holding 0 1", "CRC BAD (expected", PollOutcome::CrcBad },
        { "no-reply", "read-holding 0 1", "no reply", PollOutcome::NoReply },
        { "half-frame", "read-holding 0 2", "not a frame: cut short, 4 of 9 bytes",
            PollOutcome::NotFrame },
        { "stray", "read-holding 0 1", "2 stray bytes before the reply", PollOutcome::Good },
        { "wrong-function", "read-holding 0 1", "reply to function 2, asked 3",
            PollOutcome::WrongReply },
        { "wrong-length", "read-holding 0 2", "not a frame: wrong length, 8 of 9 bytes",
            PollOutcome::NotFrame },
        { "echo", "read-holding 0 1", "echo", PollOutcome::Good },
        { "ignore-writes", "write-register 5 9", "read back: holding 5: wrote 9, read 60", {} },
    };
    for (const auto& f : faults) {
        PtySlave slave(48, 20);
        for (int n = 0; n < 20; ++n)
            slave.registers()[n] = std::uint16_t(10 * (n + 1));
        FaultPlan plan;
        ASSERT_EQ(plan.add(f.fault), "");
        slave.setFaults(std::move(plan));
        std::atomic<bool> stop = false;
        std::thread server([&] {
            while (!stop)
                slave.serveOnce(20);
        });
        {
            window::frmSerial frm;
            frm.setMessageHook([](const QString&, const QString&, window::MessageIcon) {});
            frm.findChild<QLineEdit*>("txt(0)")->setText(QString::fromStdString(slave.path()));
            frm.toggleMonitor();
            monitor::LineMonitor* monitor = frm.monitor();
            frm.pressOpen();
            if (f.polls) {
                frm.findChild<QLineEdit*>("Text1")->setText("48");
                monitor->pollPanel()->setTimeoutMs(300);
                frm.startPolling({ f.command }, 100, 3, "");
                EXPECT_TRUE(waitFor(monitor, f.shows)) << f.fault;
                EXPECT_TRUE(QTest::qWaitFor([&] { return monitor->run()->finished(); }, 5000));
                EXPECT_EQ(monitor->run()->statistics().count(*f.polls), 3) << f.fault;
                if (std::string_view(f.fault) == "delay=60") {
                    EXPECT_GE(monitor->run()->statistics().minMs().value_or(0), 60.0);
                }
            }
            monitor::Composer* composer = monitor->composer();
            composer->setSlave("48");
            composer->setCommand(f.command);
            monitor->findChild<QCheckBox*>("readBack")->setChecked(true);
            composer->send();
            EXPECT_TRUE(waitFor(monitor, f.shows)) << f.fault;
            frm.close();
        }
        stop = true;
        server.join();
    }
}
