// The window over network links, against the demo slave behind each of the six links:
// the design's buttons, the composer and a polling run, the monitor's frames as they were on
// the wire, the log named after the link, and a refusal told as an Open failure.
#include "tests/support/free_port.h"
#include "tests/support/log_dir.h"
#include "tests/support/started_program.h"
#include "tests/support/window_fixture.h"

#include "monitor/composer.h"
#include "monitor/copyable_table.h"
#include "monitor/line_monitor.h"
#include "monitor/monitor_run.h"
#include "sim/served_links.h"
#include "window/log_file_name.h"

#include <QComboBox>
#include <QElapsedTimer>

#include <atomic>
#include <thread>

namespace {

class OverTheNetwork : public WindowFixture
{
protected:
    void SetUp() override
    {
        slave.registers()[0] = 10;
        serve({ 0, 0 });
        WindowFixture::SetUp();
    }
    void TearDown() override
    {
        frm.close();
        stopServing();
    }
    // The slave on Modbus TCP and RTU over TCP at these ports (0: any free one), and on the
    // datagram links and ASCII's at any free port.
    void serve(std::pair<int, int> ports)
    {
        links = std::make_unique<ServedLinks>(slave);
        ASSERT_TRUE(links->add(ServedAs::Tcp, ports.first)
            && links->add(ServedAs::RtuTcp, ports.second) && links->add(ServedAs::Udp, 0)
            && links->add(ServedAs::RtuUdp, 0) && links->add(ServedAs::AsciiTcp, 0)
            && links->add(ServedAs::AsciiUdp, 0));
        stop = false;
        server = std::thread([this] {
            while (!stop)
                links->serveOnce(20);
        });
    }
    // Gone as a rebooting gateway goes: listeners and connections closed.
    void stopServing()
    {
        stop = true;
        if (server.joinable())
            server.join();
        links.reset();
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
    std::unique_ptr<ServedLinks> links;
    std::thread server;
    std::atomic<bool> stop { false };
};

} // namespace

TEST_F(OverTheNetwork, EveryWayOfAskingWorksAndTheMonitorShowsTheWire)
{
    for (const std::string& address : links->addresses()) {
        ASSERT_TRUE(open(address)) << (messages.empty() ? "" : messages[0].text.toStdString());
        monitor::LineMonitor* monitor = frm.monitor();
        monitor->show();
        EXPECT_FALSE(monitor->findChild<QComboBox*>("speed")->isEnabled());
        EXPECT_EQ(monitor->windowTitle().toStdString(), "Quillet line monitor " + address);
        line("Text1")->setText("48");
        QTest::mouseClick(button("Command3"), Qt::LeftButton);
        ASSERT_TRUE(waitForText("Text8", "Data :  10: ")) << address;
        monitor::Composer* composer = monitor->composer();
        composer->setSlave("48");
        composer->setCommand("write-register 4 77");
        ASSERT_TRUE(composer->canSend());
        composer->send();
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return monitor->frames()->model()->rowCount() >= 4; }, 5000));
        monitor->frames()->selectAll();
        const QString shown = monitor->frames()->selectedAsText();
        if (address.starts_with("tcp://")) {
            EXPECT_NE(
                shown.indexOf(QString::fromUtf8("tid 1 \u00B7 unit 48 \u00B7 03 00 00 00 01")), -1)
                << shown.toStdString();
        }
        if (address.starts_with("ascii+")) { // as its text, and its bytes beside it
            // The table keeps the links before: this link's rows are waited for by their words.
            const auto seen = [&](const char* text) {
                return QTest::qWaitFor(
                    [&] {
                        monitor->frames()->selectAll();
                        return monitor->frames()->selectedAsText().contains(
                            QString::fromUtf8(text));
                    },
                    5000);
            };
            EXPECT_TRUE(seen(":300300000001CC<CR><LF> \u00B7 30 03 00 00 00 01")) << address;
            EXPECT_TRUE(seen("LRC OK")) << address;
        }
        frm.startPolling({ "read-holding 4 1" }, 20, 5, "");
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return monitor->run() && monitor->run()->finished(); }, 10000));
        monitor->frames()->selectAll();
        EXPECT_EQ(monitor->run()->statistics().count(modbus::PollOutcome::Good), 5)
            << address << "\n"
            << monitor->frames()->selectedAsText().toStdString();
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
    EXPECT_EQ(
        messages[0].text, "Unable to open port tcp://127.0.0.1:1: nothing listens at 127.0.0.1:1");
}

// A gateway that reboots during a polling run: told once in the general box, the connection made
// again at the next poll, and the run going on within 2 s of the gateway being back.
TEST_F(OverTheNetwork, APollingRunGoesOnAfterTheGatewayRestarts)
{
    const std::string address = links->addresses()[0];
    const int port = std::stoi(address.substr(address.rfind(':') + 1));
    ASSERT_TRUE(open(address));
    line("Text1")->setText("48");
    monitor::LineMonitor* monitor = frm.monitor();
    frm.startPolling({ "read-holding 0 1" }, 50, 0, "");
    const auto good = [&] { return monitor->run()->statistics().count(modbus::PollOutcome::Good); };
    ASSERT_TRUE(QTest::qWaitFor([&] { return good() >= 3; }, 5000));
    stopServing();
    ASSERT_TRUE(waitForText("Text2", "closed the connection; made again at the next request"));
    ASSERT_TRUE(waitForText("Text2", "nothing listens at 127.0.0.1:" + QString::number(port)));
    const long before = good();
    serve({ port, 0 });
    QElapsedTimer back;
    back.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return good() > before; }, 5000));
    EXPECT_LT(back.elapsed(), 2000);
    EXPECT_TRUE(box("Text2")->toPlainText().contains(
        "connected to 127.0.0.1:" + QString::number(port) + " again"));
    EXPECT_EQ(box("Text2")->toPlainText().count("closed the connection"), 1) << "told once";
}

namespace {

class AgainstPymodbus : public WindowFixture
{
protected:
    // Opened on port (a pty, or ascii+tcp://) in ASCII; Command3 read 0 until pymodbus, which
    // takes a moment to start, answers with the 4321 its register 0 holds.
    bool answers(const std::string& port)
    {
        line("txt(0)")->setText(QString::fromStdString(port));
        frm.presetFraming(modbus::Framing::Ascii, 8);
        QTest::mouseClick(button("BTNOpenCom"), Qt::LeftButton);
        line("Text1")->setText("1");
        line("Text7")->setText("0");
        line("Text9")->setText("1");
        for (int tries = 0; tries < 20; ++tries) {
            QTest::mouseClick(button("Command3"), Qt::LeftButton);
            if (QTest::qWaitFor([&] { return box("Text8")->toPlainText().contains("4321"); }, 500))
                return true;
        }
        return false;
    }
    LogDir dir;
};

} // namespace

// The window and its monitor in Modbus ASCII against pymodbus's own ASCII framer: its serial
// server behind a pty, and its TCP server.
TEST_F(AgainstPymodbus, TheWindowSpeaksAsciiToPymodbusOnAPtyAndOverTcp)
{
    if (PymodbusMissing())
        GTEST_SKIP() << "python3-pymodbus is not installed (scripts/test installs it)";
    StartedProgram serial("/usr/bin/python3 " QUILLET_PYMODBUS_SERIAL " ascii");
    const int port = FreeLoopbackPort(SOCK_STREAM);
    StartedProgram tcp(std::string("/usr/bin/python3 " QUILLET_PYMODBUS_SERVER " tcp ascii ")
        + std::to_string(port));
    for (const std::string& link :
        { serial.line(), "ascii+tcp://127.0.0.1:" + std::to_string(port) }) {
        ASSERT_TRUE(answers(link)) << link;
        monitor::LineMonitor* monitor = frm.monitor();
        monitor->show();
        monitor::Composer* composer = monitor->composer();
        composer->setSlave("1");
        composer->setCommand("write-register 2 3");
        composer->send();
        frm.startPolling({ "read-holding 2 1" }, 20, 3, "");
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return monitor->run() && monitor->run()->finished(); }, 10000));
        monitor->frames()->selectAll();
        const QString shown = monitor->frames()->selectedAsText();
        EXPECT_EQ(monitor->run()->statistics().count(modbus::PollOutcome::Good), 3)
            << link << "\n"
            << shown.toStdString();
        EXPECT_NE(
            shown.indexOf(QString::fromUtf8(":010300020001F9<CR><LF> \u00B7 01 03 00 02 00 01")),
            -1)
            << shown.toStdString();
        EXPECT_NE(shown.indexOf("LRC OK"), -1);
        QTest::mouseClick(button("BTNCloseCom"), Qt::LeftButton);
    }
    EXPECT_EQ(messages.size(), 0u);
}
