// The window over network links, against the demo slave behind Modbus TCP and RTU over TCP:
// the design's buttons, the composer and a polling run, the monitor's frames as they were on
// the wire, the log named after the link, and a refusal told as an Open failure.
#include "tests/support/log_dir.h"
#include "tests/support/window_fixture.h"

#include "monitor/composer.h"
#include "monitor/copyable_table.h"
#include "monitor/line_monitor.h"
#include "monitor/monitor_run.h"
#include "sim/served_links.h"
#include "window/log_file_name.h"

#include <QComboBox>

#include <atomic>
#include <thread>

namespace {

class OverTheNetwork : public WindowFixture
{
protected:
    void SetUp() override
    {
        slave.registers()[0] = 10;
        ASSERT_TRUE(links.add(ServedAs::Tcp, 0) && links.add(ServedAs::RtuTcp, 0));
        server = std::thread([this] {
            while (!stop)
                links.serveOnce(20);
        });
        WindowFixture::SetUp();
    }
    void TearDown() override
    {
        frm.close();
        stop = true;
        server.join();
    }
    bool open(const std::string& address)
    {
        line("txt(0)")->setText(QString::fromStdString(address));
        QTest::mouseClick(button("BTNOpenCom"), Qt::LeftButton);
        return button("BTNCloseCom")->isEnabled();
    }
    bool waitForText(const char* boxName, const QString& text)
    {
        return QTest::qWaitFor([&] { return box(boxName)->toPlainText().contains(text); }, 10000);
    }

    LogDir dir;
    PtySlave slave { 48, 10 };
    ServedLinks links { slave };
    std::thread server;
    std::atomic<bool> stop { false };
};

} // namespace

TEST_F(OverTheNetwork, EveryWayOfAskingWorksAndTheMonitorShowsTheWire)
{
    for (const std::string& address : links.addresses()) {
        ASSERT_TRUE(open(address)) << (messages.empty() ? "" : messages[0].text.toStdString());
        monitor::LineMonitor* monitor = frm.monitor();
        monitor->show();
        EXPECT_FALSE(monitor->findChild<QComboBox*>("speed")->isEnabled());
        line("Text1")->setText("48");
        QTest::mouseClick(button("Command3"), Qt::LeftButton);
        ASSERT_TRUE(waitForText("Text8", "Data :  10: ")) << address;
        monitor::Composer* composer = monitor->composer();
        composer->setSlave("48");
        composer->setCommand("write-register 4 77");
        ASSERT_TRUE(composer->canSend());
        composer->send();
        ASSERT_TRUE(QTest::qWaitFor([&] { return monitor->frames()->model()->rowCount() >= 4; }, 5000));
        monitor->frames()->selectAll();
        const QString shown = monitor->frames()->selectedAsText();
        if (address.starts_with("tcp://"))
            EXPECT_NE(shown.indexOf(QString::fromUtf8("tid 1 \u00B7 unit 48 \u00B7 03 00 00 00 01")), -1)
                << shown.toStdString();
        frm.startPolling({ "read-holding 4 1" }, 20, 5, "");
        ASSERT_TRUE(QTest::qWaitFor([&] { return monitor->run() && monitor->run()->finished(); }, 10000));
        EXPECT_EQ(monitor->run()->statistics().count(modbus::PollOutcome::Good), 5) << address;
        QTest::mouseClick(button("BTNCloseCom"), Qt::LeftButton);
        const std::string log = LogDir::read(window::LogFileName(QString::fromStdString(address)));
        EXPECT_NE(log.find("LINK " + address + "\r\n"), std::string::npos) << log;
    }
    EXPECT_EQ(messages.size(), 0u);
}

TEST_F(OverTheNetwork, ARefusedConnectionIsAnOpenFailureToldPlainly)
{
    EXPECT_FALSE(open("tcp://127.0.0.1:1"));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Unable to open port tcp://127.0.0.1:1: nothing listens at 127.0.0.1:1");
}
