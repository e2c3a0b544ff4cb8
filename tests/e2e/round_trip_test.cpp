// The real window against an independent Modbus RTU slave (libmodbus) over a pty.
#include "tests/support/log_dir.h"
#include "tests/support/window_fixture.h"

#include "app/start_window.h"
#include "modbus/byte_string.h"
#include "monitor/bench_bar.h"
#include "monitor/composer.h"
#include "monitor/copyable_table.h"
#include "monitor/line_monitor.h"
#include "monitor/monitor_run.h"
#include "monitor/poll_panel.h"
#include "monitor/run_views.h"
#include "monitor/scan_panel.h"
#include "monitor/trend_view.h"
#include "monitor/watch_model.h"
#include "sim/pty_slave.h"
#include "tests/support/paced_line.h"
#include "window/log_file_name.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFile>
#include <QProgressBar>
#include <QRadioButton>
#include <QSpinBox>

#include <sys/resource.h>

#include <atomic>
#include <mutex>
#include <thread>

namespace {

void writeFile(const QString& path, const std::string& text)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text.data(), qint64(text.size()));
}

// Ctrl+A, Ctrl+C in a table, and the lines the clipboard then holds.
QStringList copyAll(monitor::CopyableTable* table)
{
    table->setFocus();
    QTest::keyClick(table, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(table, Qt::Key_C, Qt::ControlModifier);
    return QApplication::clipboard()->text().split('\n', Qt::SkipEmptyParts);
}

class EndToEnd : public WindowFixture
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(slave->ok());
        slave->registers()[0] = 10;
        server = std::thread([this] {
            while (!stop) {
                const std::string request = slave->serveOnce(50);
                if (!request.empty()) {
                    std::lock_guard lock(mutex);
                    requests.push_back(modbus::HexBytes(request));
                }
            }
        });
        WindowFixture::SetUp();
        logName = window::LogFileName(QString::fromStdString(slave->path()));
        line("txt(0)")->setText(QString::fromStdString(slave->path()));
        QTest::mouseClick(button("BTNOpenCom"), Qt::LeftButton);
        ASSERT_TRUE(button("BTNCloseCom")->isEnabled())
            << (messages.empty() ? "" : messages[0].text.toStdString());
    }
    void TearDown() override
    {
        frm.close();
        stopServer();
    }
    void stopServer()
    {
        stop = true;
        if (server.joinable())
            server.join();
    }

    bool waitForText(const char* boxName, const QString& text)
    {
        return QTest::qWaitFor([&] { return box(boxName)->toPlainText().contains(text); }, 10000);
    }
    std::vector<std::string> received()
    {
        std::lock_guard lock(mutex);
        return requests;
    }
    std::string log() { return Normalised(LogDir::read(logName)); }
    // A map and a workspace for the slave, the map beside it.
    void writeBench(const QString& folder)
    {
        writeFile(folder + "/bench-map.csv",
            "table;address;name;type;order;scale;unit\n"
            "holding;40001;setpoint;u16;;0.1;°C\n"
            "holding;1;level;f32;CDAB;;m\n"
            "input;0;supply;u16;;0.001;V\n");
        writeFile(folder + "/bench.json",
            "{ \"port\": \"" + slave->path()
                + "\", \"slave\": 48, \"command\": "
                  "\"read-holding 0 3\", \"requests\": [\"read supply\"], \"poll\": { "
                  "\"intervalMs\": 20, \"count\": 3 }, \"map\": \"bench-map.csv\" }");
    }

    LogDir dir;
    QString logName;
    std::unique_ptr<PtySlave> slave = std::make_unique<PtySlave>(48, 10);
    std::thread server;
    std::atomic<bool> stop { false };
    std::mutex mutex;
    std::vector<std::string> requests;
};

TEST_F(EndToEnd, ReadHoldingRegisterIsDecodedShownAndLogged)
{
    QTest::mouseClick(button("Command3"), Qt::LeftButton);
    ASSERT_TRUE(waitForText("Text8", "Reply  2 butes :  Data :  10: CRC : 45 87\n"));
    EXPECT_EQ(received(), std::vector<std::string> { "30 03 00 00 00 01 80 2B" });
    EXPECT_EQ(frm.designVariables().FirstHi, 10);
    EXPECT_NE(
        log().find("T FUN3 :>0:1\r\n\r\nT  :< Reply  2 butes :  Data :  10: CRC : 45 87\r\n\r\n"),
        std::string::npos)
        << log();
}

TEST_F(EndToEnd, WritesAreEchoedIntoTheirGroupsBoxesAndTakeEffect)
{
    line("Text4")->setText("1");
    line("Text5")->setText("10");
    QTest::mouseClick(button("Command1"), Qt::LeftButton);
    ASSERT_TRUE(waitForText("Text6", "Reply : ADDR : 1: Data :  10: CRC : 5C 2C\n"));

    line("Text12")->setText("2");
    line("Text11")->setText("513");
    QTest::mouseClick(button("Command9"), Qt::LeftButton);
    ASSERT_TRUE(waitForText("Text10", "Reply : ADDR : 2: Data :  1: CRC : "));

    line("Text7")->setText("1");
    line("Text9")->setText("1");
    QTest::mouseClick(button("Command3"), Qt::LeftButton);
    ASSERT_TRUE(waitForText("Text8", "Data :  10: CRC"));
    line("Text7")->setText("2");
    QTest::mouseClick(button("Command3"), Qt::LeftButton);
    ASSERT_TRUE(waitForText("Text8", "Data :  513: CRC"));
    const auto got = received();
    ASSERT_EQ(got.size(), 4u);
    EXPECT_EQ(got[0], "30 06 00 01 00 0A 5C 2C");
    EXPECT_EQ(got[1].substr(0, 26), "30 10 00 02 00 01 02 02 01");
}

TEST_F(EndToEnd, IdentificationAndExceptionRepliesAreShownRaw)
{
    QTest::mouseClick(button("Command2"), Qt::LeftButton);
    ASSERT_TRUE(waitForText("Text2", "Reply \n"));
    ASSERT_TRUE(waitForText("Text2", "LMB"));
    EXPECT_TRUE(box("Text2")->toPlainText().contains("\n30 11 "))
        << box("Text2")->toPlainText().toStdString();

    box("Text2")->clear();
    line("Text7")->setText("500"); // beyond the slave's registers
    QTest::mouseClick(button("Command3"), Qt::LeftButton);
    ASSERT_TRUE(waitForText("Text2", "\n30 83 2 "));
    EXPECT_TRUE(box("Text2")->toPlainText().startsWith("Reply \n"));
    EXPECT_TRUE(box("Text8")->toPlainText().isEmpty());
}

TEST_F(EndToEnd, ReplyFromAnotherAddressIsShownUnderReplyData)
{
    QTest::mouseClick(button("Command3"), Qt::LeftButton);
    line("Text1")->setText("47"); // the reply is classified when it arrives
    ASSERT_TRUE(waitForText("Text2", "Reply DATA :\n"));
    EXPECT_TRUE(box("Text2")->toPlainText().contains("30 3 2 0 A 45 87 "));
    EXPECT_TRUE(box("Text8")->toPlainText().isEmpty());
}

TEST_F(EndToEnd, CloseAndOpenAgainAddsASecondHeader)
{
    QTest::mouseClick(button("BTNCloseCom"), Qt::LeftButton);
    QTest::mouseClick(button("BTNOpenCom"), Qt::LeftButton);
    QTest::mouseClick(button("Command3"), Qt::LeftButton);
    ASSERT_TRUE(waitForText("Text8", "Data :  10"));
    const std::string text = log();
    std::size_t headers = 0;
    for (std::size_t at = 0;
         (at = text.find("\r\nSTART Quillet V2.0\r\n\r\n", at)) != std::string::npos; ++at)
        ++headers;
    EXPECT_EQ(headers, 2u);
}

TEST_F(EndToEnd, LampBlinksWhileIdleAndTurnsRedOnData)
{
    std::vector<unsigned> seen;
    (void)QTest::qWaitFor(
        [&] {
            if (seen.empty() || seen.back() != lamp()->fillColor())
                seen.push_back(lamp()->fillColor());
            return seen.size() >= 4;
        },
        10000);
    ASSERT_GE(seen.size(), 4u);
    for (std::size_t i = 1; i < seen.size(); ++i)
        EXPECT_TRUE(seen[i] == window::kWhite || seen[i] == window::kGrey) << std::hex << seen[i];
    QTest::mouseClick(button("Command3"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return lamp()->fillColor() == window::kRed; }, 10000));
}

TEST_F(EndToEnd, SlaveGoingAwayIsToldOnceAndCloseStillWorks)
{
    stopServer();
    slave.reset(); // closes the pty master: the device is gone
    ASSERT_TRUE(waitForText("Text2", "stopped answering"));
    rusage before {}, after {};
    getrusage(RUSAGE_SELF, &before);
    QTest::qWait(1000);
    getrusage(RUSAGE_SELF, &after);
    const auto cpuMs = [](const rusage& u) {
        return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000
            + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000;
    };
    EXPECT_LT(cpuMs(after) - cpuMs(before), 300) << "busy loop after the device went";
    EXPECT_EQ(box("Text2")->toPlainText().count("stopped answering"), 1);
    EXPECT_NE(log().find("stopped answering"), std::string::npos);
    QTest::mouseClick(button("BTNCloseCom"), Qt::LeftButton);
    EXPECT_TRUE(button("BTNOpenCom")->isEnabled());
}

TEST_F(EndToEnd, StartedWithTheMonitorItsCopiedRowsTellWhatEachFrameMeans)
{
    QTest::mouseClick(button("BTNCloseCom"), Qt::LeftButton);
    const QString port = QString::fromStdString(slave->path());
    StartWindow(frm, ParseCommandLine({ "quillet", "--monitor", "--port", port, "--open" }).start);
    ASSERT_TRUE(QTest::qWaitFor([&] { return button("BTNCloseCom")->isEnabled(); }, 5000));
    monitor::LineMonitor* monitor = frm.monitor();
    ASSERT_TRUE(monitor && monitor->isVisible());
    EXPECT_EQ(monitor->windowTitle(), "Quillet line monitor " + port + " 19200 8N1");

    monitor::CopyableTable* frames = monitor->frames();
    const auto rowsReach = [&](int n) {
        return QTest::qWaitFor([&] { return frames->model()->rowCount() >= n; }, 10000);
    };
    line("Text9")->setText("2");
    QTest::mouseClick(button("Command3"), Qt::LeftButton);
    ASSERT_TRUE(rowsReach(2));
    line("Text7")->setText("500"); // beyond the slave's registers
    QTest::mouseClick(button("Command3"), Qt::LeftButton);
    ASSERT_TRUE(rowsReach(4));

    QStringList lines = copyAll(frames);
    ASSERT_EQ(lines.size(), 5) << QApplication::clipboard()->text().toStdString();
    EXPECT_EQ(lines[0], "Time\tDir\tBytes\tFunction\tVerdict\tms");
    std::vector<std::string> seen;
    for (const QString& row : lines.mid(1)) {
        const QStringList cells = row.split('\t');
        ASSERT_EQ(cells.size(), 6) << row.toStdString();
        seen.push_back((cells[1] + " " + cells[2] + " | " + cells[4]).toStdString());
        if (cells[1] == "RX") {
            EXPECT_GT(cells[5].toDouble(), 0.0) << "a reply time";
        }
    }
    EXPECT_EQ(seen,
        (std::vector<std::string> { "TX 30 03 00 00 00 02 C0 2A | sent",
            "RX 30 03 04 00 0A 00 00 " + seen[1].substr(24, 5) + " | CRC OK",
            "TX 30 03 01 F4 00 02 " + seen[2].substr(21, 5) + " | sent",
            "RX 30 83 02 " + seen[3].substr(12, 5) + " | exception 2 ILLEGAL DATA ADDRESS" }));

    frames->selectRow(1);
    lines = copyAll(monitor->details());
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[1].startsWith("0 (0x0000)\t0x000A\t10\t10\t")) << lines[1].toStdString();
    EXPECT_TRUE(lines[2].startsWith("1 (0x0001)\t0x0000\t0\t0")) << lines[2].toStdString();
}

// The composer's requests reach the slave, and the copied details read the slave's values.
TEST_F(EndToEnd, TheComposerSendsEveryKindOfFunctionAndTheDetailsReadTheSlave)
{
    for (int n = 0; n < 10; ++n) {
        slave->inputRegisters()[n] = std::uint16_t(1000 + n);
        slave->coils()[n] = n % 2;
        slave->registers()[n] = std::uint16_t(10 * (n + 1));
    }
    slave->setIdentification({ "Quillet", "QSIM", "1.0", "", "", "", "" });
    frm.toggleMonitor(); // shown: its table holds the rows
    monitor::LineMonitor* monitor = frm.monitor();
    monitor::Composer* composer = monitor->composer();
    composer->setSlave("48");
    const std::pair<const char*, const char*> sends[] = {
        { "read-coils 0 10", "Coils 0..9: 01010101 01" },
        { "read-input 2 2", "3 (0x0003)\t0x03EB\t1003\t1003" },
        { "write-coil 4 1", "Echo\tmatches the request" },
        { "write-coils 0 1 1 1", "Quantity\t3 (0x0003)" },
        { "read-write 0 2 5 77", "1 (0x0001)\t0x0014\t20\t20" },
        { "device-id", "0 VendorName\tQuillet\n1 ProductCode\tQSIM\n" },
    };
    monitor::CopyableTable* frames = monitor->frames();
    for (const auto& [command, shows] : sends) {
        const int before = frames->model()->rowCount();
        composer->setCommand(command);
        ASSERT_TRUE(composer->canSend()) << command << composer->problem().toStdString();
        composer->send();
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return frames->model()->rowCount() >= before + 2; }, 5000))
            << command;
        frames->selectRow(before + 1);
        monitor::CopyableTable* details = monitor->details();
        details->selectAll();
        EXPECT_NE(details->selectedAsText().indexOf(shows), -1)
            << command << "\n"
            << details->selectedAsText().toStdString();
    }
    EXPECT_EQ(slave->coils()[4], 1);
    EXPECT_EQ(slave->registers()[5], 77);
    EXPECT_NE(log().find("REQ :>30 2B 0E 01 00 "), std::string::npos) << log();
}

// A run of 20 polls of function 4 against the demo slave, its data log read back.
TEST_F(EndToEnd, TwentyPollsOfInputRegistersAreRecordedRowByRow)
{
    for (int n = 0; n < 4; ++n)
        slave->inputRegisters()[n] = std::uint16_t(1000 + n);
    monitor::LineMonitor* monitor = frm.monitor();
    const std::string path = (dir.dir.path() + "/data.csv").toStdString();
    ASSERT_TRUE(monitor->recordTo(path));
    frm.startPolling({ "read-input 0 4" }, 20, 20, path);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return monitor->run() && monitor->run()->finished(); }, 20000));
    EXPECT_EQ(monitor->run()->statistics().count(modbus::PollOutcome::Good), 20);
    const std::string csv = LogDir::read(QString::fromStdString(path));
    ASSERT_EQ(csv.substr(0, csv.find('\n') + 1), "time,slave,function,start,values\r\n");
    std::size_t rows = 0;
    for (std::size_t at = 0;
         (at = csv.find(",48,4,0,1000,1001,1002,1003\r\n", at)) != std::string::npos; ++at)
        ++rows;
    EXPECT_EQ(rows, 20u) << csv;
}

// A workspace with its map, opened from the command line: the details are copied with names
// and units, the composer writes in engineering units, a run's watch and trend are named, and
// the workspace saved again keeps the map beside it.
TEST_F(EndToEnd, AWorkspaceAndItsMapNameWhatTheMonitorShows)
{
    QTest::mouseClick(button("BTNCloseCom"), Qt::LeftButton);
    slave->registers()[2] = 0x4050; // 3.25 as a float, low word first
    slave->inputRegisters()[0] = 1000;
    const QString folder = dir.dir.path();
    writeBench(folder);
    StartWindow(frm,
        ParseCommandLine({ "quillet", "--workspace", folder + "/bench.json", "--open" }).start);
    ASSERT_TRUE(QTest::qWaitFor([&] { return button("BTNCloseCom")->isEnabled(); }, 5000));
    monitor::LineMonitor* monitor = frm.monitor();
    ASSERT_TRUE(monitor->isVisible());
    ASSERT_NE(monitor->map(), nullptr) << monitor->benchBar()->note().toStdString();
    // A pty has no latency timer: the window's own pauses must not be taken for one's steps.
    EXPECT_FALSE(monitor->mayBeUsb());

    monitor::Composer* composer = monitor->composer();
    ASSERT_TRUE(composer->canSend()) << composer->problem().toStdString();
    composer->send();
    monitor::CopyableTable* frames = monitor->frames();
    ASSERT_TRUE(QTest::qWaitFor([&] { return frames->model()->rowCount() >= 2; }, 5000));
    frames->selectRow(1);
    const QStringList lines = copyAll(monitor->details());
    ASSERT_EQ(lines.size(), 4) << QApplication::clipboard()->text().toStdString();
    EXPECT_TRUE(lines[0].startsWith("Register\tName\tValue\tHex")) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].startsWith("0 (0x0000)\tsetpoint\t1 °C\t0x000A"))
        << lines[1].toStdString();
    EXPECT_TRUE(lines[2].startsWith("1 (0x0001)\tlevel\t3.25 m\t0x0000")) << lines[2].toStdString();

    composer->setCommand("setpoint = 21.5");
    composer->send();
    ASSERT_TRUE(QTest::qWaitFor([&] { return slave->registers()[0] == 215; }, 5000));

    monitor->pollPanel()->start();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return monitor->run() && monitor->run()->finished(); }, 10000));
    monitor->views()->show(monitor->run());
    const QAbstractItemModel* watch = monitor->views()->watch()->model();
    ASSERT_EQ(watch->rowCount(), 1);
    EXPECT_EQ(watch->index(0, monitor::WatchModel::Name).data().toString(), "supply");
    EXPECT_EQ(watch->index(0, monitor::WatchModel::Engineering).data().toString(), "1 V");
    EXPECT_EQ(monitor->views()->trend()->newest({ 48, modbus::DataTable::InputRegisters, 0 }), 1.0);

    ASSERT_TRUE(monitor->saveWorkspace(folder + "/again.json"));
    const std::string saved = LogDir::read(folder + "/again.json");
    EXPECT_NE(saved.find("\"map\": \"bench-map.csv\""), std::string::npos) << saved;
    EXPECT_NE(saved.find("\"read supply\""), std::string::npos) << saved;
    EXPECT_EQ(monitor->benchBar()->recent().value(0), folder + "/again.json");
}

// The monitor's scan against the demo slave at 9600 bit/s, address 17, behind a line that garbles
// replies read at another speed: it hears garbage at 19200 first, finds the slave at 9600 with
// its identification, and "Use" sets the main window to talk to it.
class MonitorScan : public WindowFixture
{
protected:
    LogDir dir;
};

TEST_F(MonitorScan, FindsTheSlaveAtItsSpeedAndUseSetsTheWindow)
{
    PtySlave slave(17, 10);
    slave.setIdentification({ "Quillet", "QSIM", "1.0", "", "", "", "" });
    std::atomic<bool> stop { false };
    std::thread server([&] {
        while (!stop)
            slave.serveOnce(50);
    });
    bench::PacedLine paced(slave.path(), 9600, true);
    ASSERT_TRUE(paced.ok());
    line("txt(0)")->setText(QString::fromStdString(paced.path()));
    monitor::ScanPanel* scan = frm.monitor()->views()->scan();
    scan->findChild<QSpinBox*>("scanFirst")->setValue(16);
    scan->findChild<QSpinBox*>("scanLast")->setValue(18);
    scan->findChild<QLineEdit*>("scanParities")->setText("even");
    // Generous: on a loaded machine the slave's thread may answer late, and a late answer
    // would be judged at the next setting.
    scan->findChild<QSpinBox*>("scanTimeout")->setValue(400);
    ASSERT_TRUE(scan->start());
    const bool ended = QTest::qWaitFor([&] { return !scan->running(); }, 20000);
    stop = true;
    server.join();
    ASSERT_TRUE(ended);
    EXPECT_EQ(scan->statusText(), "Done: 1 found.");
    EXPECT_EQ(scan->findChild<QProgressBar*>()->value(), 100) << "done, not left where it was";
    scan->results()->selectAll();
    const QString table = scan->results()->selectedAsText();
    EXPECT_TRUE(table.contains("?\t19200 8E1\tsomething answers at 19200 8E1 (bad frames)"))
        << table.toStdString();
    EXPECT_TRUE(table.contains("17\t9600 8E1\tCRC OK\t")) << table.toStdString();
    EXPECT_TRUE(table.contains("VendorName Quillet, ProductCode QSIM")) << table.toStdString();
    scan->results()->selectRow(1);
    scan->findChild<QPushButton*>("use")->click();
    EXPECT_EQ(line("Text1")->text(), "17");
    EXPECT_TRUE(w<QRadioButton>("Option1")->isChecked()) << "9600 is one of the three buttons";
    EXPECT_EQ(frm.lineSettings().shortForm(), "9600 8E1");
    EXPECT_EQ(scan->statusText(),
        "Using slave 17 at 9600 8E1: set as the slave address, speed, "
        "parity and stop bits (the line's at the next Open)")
        << "a changed parity is said";
    // With the main window's port open, a scan does not start, and says why.
    QTest::mouseClick(button("BTNOpenCom"), Qt::LeftButton);
    EXPECT_FALSE(scan->start());
    EXPECT_TRUE(scan->statusText().startsWith("Cannot scan: close the port in the main window"));
}

// One address found at two settings (a pty takes any): "Use" takes the row chosen, not the
// first row of that address.
TEST_F(MonitorScan, UseTakesTheRowChosen)
{
    PtySlave slave(17, 10);
    std::atomic<bool> stop { false };
    std::thread server([&] {
        while (!stop)
            slave.serveOnce(50);
    });
    line("txt(0)")->setText(QString::fromStdString(slave.path()));
    monitor::ScanPanel* scan = frm.monitor()->views()->scan();
    scan->findChild<QSpinBox*>("scanFirst")->setValue(17);
    scan->findChild<QSpinBox*>("scanLast")->setValue(17);
    scan->findChild<QLineEdit*>("scanSpeeds")->setText("9600,19200");
    scan->findChild<QLineEdit*>("scanParities")->setText("even");
    scan->findChild<QCheckBox*>("scanStopAtFirst")
        ->setChecked(false); // every device at every setting
    ASSERT_TRUE(scan->start());
    const bool ended = QTest::qWaitFor([&] { return !scan->running(); }, 20000);
    stop = true;
    server.join();
    ASSERT_TRUE(ended);
    EXPECT_EQ(scan->statusText(), "Done: 2 found.");
    scan->results()->selectRow(1); // 17 at 9600 8E1, after 17 at 19200 8E1
    scan->findChild<QPushButton*>("use")->click();
    EXPECT_TRUE(w<QRadioButton>("Option1")->isChecked()) << "the chosen row's 9600";
    scan->results()->selectRow(0);
    scan->findChild<QPushButton*>("use")->click();
    EXPECT_TRUE(w<QRadioButton>("Option2")->isChecked()) << "the chosen row's 19200";
}

} // namespace
