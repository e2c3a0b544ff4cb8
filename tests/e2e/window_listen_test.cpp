// The window listening to a line another master drives: quillet-cli polls the demo slave through
// a paced line at 19200 bit/s, the window hears the wire through a third port, writes nothing,
// and times each reply as the line's own record does.
#include "tests/support/paced_line.h"
#include "tests/support/window_fixture.h"

#include "monitor/copyable_table.h"
#include "monitor/frame_table_model.h"
#include "monitor/line_monitor.h"
#include "monitor/listen_bar.h"
#include "sim/pty_slave.h"

#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <thread>

namespace {

class WindowListening : public WindowFixture
{
protected:
    void SetUp() override
    {
        server = std::thread([this] {
            while (!stop)
                slave.serveOnce(20);
        });
        WindowFixture::SetUp();
    }
    void TearDown() override
    {
        frm.close();
        stop = true;
        server.join();
    }

    PtySlave slave { 48, 10 };
    std::atomic<bool> stop = false;
    std::thread server;
};

// Reply times in ms, sorted.
std::vector<double> sorted(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    return times;
}

} // namespace

TEST_F(WindowListening, HearsAnotherMastersPollsWritesNothingAndTimesRepliesAsTheLineDoes)
{
    std::vector<double> heard, onLine;
    int paired = 0;
    {
        bench::PacedLine wire(slave.path(), 19200);
        ASSERT_TRUE(wire.ok());
        line("txt(0)")->setText(QString::fromStdString(wire.tapPath()));
        frm.toggleMonitor(); // shown, its table holds the rows
        monitor::LineMonitor* monitor = frm.monitor();
        monitor->listenBar()->findChild<QPushButton*>("listen")->click();
        ASSERT_TRUE(monitor->listening());
        FILE* master = popen((std::string(QUILLET_CLI) + " --port " + wire.path()
                                 + " --timeout 1000 --address 48 --every 20 --count 10 "
                                   "read-holding 0 2 >/dev/null 2>&1")
                                 .c_str(),
            "r");
        // The application's own event loop (qWaitFor sleeps between its rounds, which a
        // listener would feel as reads late by 10 ms).
        QEventLoop loop;
        QTimer check;
        QObject::connect(&check, &QTimer::timeout, [&] {
            if (monitor->statusText().contains("10 good replies"))
                loop.quit();
        });
        check.start(50);
        QTimer::singleShot(20'000, &loop, &QEventLoop::quit);
        loop.exec();
        EXPECT_TRUE(monitor->statusText().contains("10 good replies"))
            << monitor->statusText().toStdString();
        EXPECT_EQ(pclose(master), 0);
        EXPECT_EQ(wire.tapWritten(), "") << "a listener never writes";
        const auto* rows = static_cast<const monitor::FrameTableModel*>(monitor->frames()->model());
        for (int r = 0; r < rows->rowCount(); ++r)
            if (rows->row(r).kind == modbus::RowKind::Reply) {
                ++paired;
                if (rows->row(r).replyMs) // none when one read brought request and reply
                    heard.push_back(*rows->row(r).replyMs);
            }
        const auto requests = wire.requests();
        const auto replies = wire.replies();
        for (std::size_t q = 0, p = 0; q + 8 <= requests.size() && p + 9 <= replies.size();
             q += 8, p += 9)
            onLine.push_back(std::chrono::duration<double, std::milli>(
                replies[p + 8].tapped - requests[q + 7].tapped)
                                 .count());
    }
    EXPECT_EQ(paired, 10);
    ASSERT_EQ(onLine.size(), 10u);
    // The window was busy being shown as the first poll went: its time may be unknown.
    ASSERT_GE(heard.size(), 8u);
    // The medians: a reply whose read brought its request late reads short, and one whose time
    // is unknown leaves the lists out of step. The bound keeps a loaded machine's scheduling and
    // the two clusters reply times fall in (about 1.5 ms apart).
    EXPECT_NEAR(sorted(heard)[heard.size() / 2], sorted(onLine)[5], 2.0)
        << ::testing::PrintToString(sorted(heard)) << "\n"
        << ::testing::PrintToString(sorted(onLine));
}
