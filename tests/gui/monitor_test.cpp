// The line monitor over the recording port: F2, the line it names, the rows, the details,
// copying, and the main window left exactly as designed.
#include "tests/support/fake_comm.h"
#include "tests/support/log_dir.h"
#include "tests/support/window_fixture.h"

#include "listening/pcap_file.h"
#include "modbus/crc16.h"
#include "modbus/function_table.h"
#include "monitor/bench_bar.h"
#include "monitor/composer.h"
#include "monitor/copyable_table.h"
#include "monitor/frame_table_model.h"
#include "monitor/histogram_view.h"
#include "monitor/line_monitor.h"
#include "monitor/listen_bar.h"
#include "monitor/message_label.h"
#include "monitor/monitor_run.h"
#include "monitor/poll_panel.h"
#include "monitor/run_views.h"
#include "monitor/scan_panel.h"
#include "monitor/trend_view.h"
#include "monitor/watch_model.h"
#include "requests/request_language.h"

#include "benchfiles/register_map.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QSpinBox>
#include <QSplitter>
#include <QTabBar>

namespace {

std::string bytesOf(const char* hex) { return *modbus::ParseHexBytes(hex); }

const std::string kReply("\x30\x03\x02\x00\x0A\x45\x87", 7);

class Monitor : public WindowFixture
{
protected:
    void SetUp() override
    {
        platform = &fake::Reset();
        WindowFixture::SetUp();
    }
    monitor::LineMonitor* openMonitor()
    {
        QTest::keyClick(&frm, Qt::Key_F2);
        return frm.monitor();
    }
    void open()
    {
        QTest::mouseClick(button("BTNOpenCom"), Qt::LeftButton);
        frm.TMRComm.stop(); // ticks are driven by hand here
    }
    void tick(const std::string& chunk)
    {
        platform->reads.push_back(chunk);
        frm.TMRComm_Timer();
    }
    std::string log() { return Normalised(LogDir::read("Quillet_log_COM5.txt")); }

    LogDir dir;
    fake::Platform* platform = nullptr;
};

TEST_F(Monitor, F2OpensAndClosesItAndTheTitleNamesTheLine)
{
    ASSERT_NE(frm.monitor(), nullptr) << "it records from the start";
    EXPECT_FALSE(frm.monitor()->isVisible());
    monitor::LineMonitor* monitor = openMonitor();
    EXPECT_TRUE(monitor->isVisible());
    EXPECT_EQ(monitor->windowTitle(), "Quillet line monitor COM5: 19200 8N1");
    monitor->findChild<QComboBox*>("parity")->setCurrentIndex(1);
    QTest::mouseClick(w<QRadioButton>("Option1"), Qt::LeftButton);
    EXPECT_EQ(monitor->windowTitle(), "Quillet line monitor COM5: 9600 8E1");
    monitor->findChild<QComboBox*>("framing")->setCurrentIndex(1);
    EXPECT_EQ(monitor->windowTitle(), "Quillet line monitor COM5: 9600 8E1 ASCII");
    monitor->findChild<QComboBox*>("framing")->setCurrentIndex(0);
    // Every control in turn by Tab, in reading order.
    QWidget* at = monitor->findChild<QComboBox*>("parity");
    at->setFocus();
    std::vector<std::string> order;
    for (int i = 0; i < 29 && (order.empty() || order.back() != "parity"); ++i) {
        QTest::keyClick(at, Qt::Key_Tab);
        at = monitor->focusWidget();
        ASSERT_NE(at, nullptr);
        // A spin box's focus is its text box's: named by the spin box.
        const QObject* named = at->objectName() == "qt_spinbox_lineedit" ? at->parent() : at;
        order.push_back(named->objectName().toStdString());
    }
    EXPECT_EQ(order,
        std::vector<std::string>({ "stopBits", "framing", "dataBits", "wordOrder", "echo", "frames",
            "details", "qt_tabwidget_tabbar", "map", "openWorkspace", "saveWorkspace", "listen",
            "findSpeed", "function", "slave", "start", "quantity", "command", "readBack",
            "writeWith16", "pollList", "add", "interval", "count", "timeout", "backOff", "record",
            "speed", "parity" }));
    QTest::keyClick(monitor->frames(), Qt::Key_F2); // from the table too
    EXPECT_FALSE(monitor->isVisible());
    QTest::keyClick(&frm, Qt::Key_F2);
    EXPECT_TRUE(monitor->isVisible());
    QTest::keyClick(&frm, Qt::Key_F2);
    EXPECT_FALSE(monitor->isVisible());
}

// At its default size the frames show a dozen rows at least; the heights the user gives the
// frames and the views are the next monitor's too.
TEST_F(Monitor, TheFramesHaveTheRoomAndTheSplitIsKept)
{
    monitor::LineMonitor* monitor = openMonitor();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(monitor));
    const int row = monitor->frames()->verticalHeader()->defaultSectionSize();
    EXPECT_GE(monitor->frames()->viewport()->height() / row, 12)
        << monitor->frames()->viewport()->height() << " px at " << monitor->width() << " x "
        << monitor->height();
    auto* split = monitor->findChild<QSplitter*>("split");
    ASSERT_NE(split, nullptr);
    split->setSizes({ 200, split->sizes()[0] + split->sizes()[1] - 200 });
    emit split->splitterMoved(200, 1); // as a drag of the handle says it
    window::frmSerial another;
    another.toggleMonitor();
    auto* kept = another.monitor()->findChild<QSplitter*>("split");
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(kept->saveState(), split->saveState());
    QSettings(QSettings::IniFormat, QSettings::UserScope, "Quillet", "quillet")
        .remove("monitor/split"); // the other tests see the default
}

// On an ASCII line the composer's request goes as its text, previewed and logged as such, and
// the reply is read from its text: decoded in the details, its LRC named, a wrong one told.
TEST_F(Monitor, AnAsciiLineCarriesTheComposersRequestAsText)
{
    monitor::LineMonitor* monitor = openMonitor();
    monitor->findChild<QComboBox*>("framing")->setCurrentIndex(1);
    open();
    monitor::Composer* composer = monitor->composer();
    composer->setSlave("1");
    composer->setCommand("read-input 8 1");
    EXPECT_EQ(
        composer->preview().toStdString(), ":010400080001F2<CR><LF> \u00B7 01 04 00 08 00 01");
    composer->send();
    ASSERT_EQ(platform->writes().size(), 1u);
    EXPECT_EQ(platform->writes()[0], ":010400080001F2\r\n");
    const std::string entries = log().substr(log().find("START Quillet V2.0\r\n\r\n") + 22);
    EXPECT_TRUE(
        entries.starts_with("LINE 19200,n,8,1 ASCII\r\nT REQ :>:010400080001F2<CR><LF>\r\n"))
        << entries;
    tick(":01040203E80E\r\n");
    const auto* rows = static_cast<const monitor::FrameTableModel*>(monitor->frames()->model());
    ASSERT_EQ(rows->rowCount(), 2);
    EXPECT_EQ(rows->row(1).verdict.substr(0, 6), "LRC OK");
    monitor->frames()->selectRow(1);
    EXPECT_EQ(monitor->details()->model()->index(0, 2).data().toString(), "1000");
    composer->send();
    tick(":01040203E80F\r\n");
    ASSERT_EQ(rows->rowCount(), 4);
    EXPECT_EQ(rows->row(3).verdict, "LRC BAD (expected 0E)");
}

TEST_F(Monitor, ParityAndStopBitsReachTheSettingsTextAndNameTheLineInTheLog)
{
    struct Case
    {
        int parity, stopBits, framing, dataBits; // the boxes' indexes
        const char* settings;
        const char* lineInLog;
    };
    const Case cases[] = {
        { 0, 0, 0, 0, "19200,n,8,1", nullptr }, // the design's 8N1: the log stays as designed
        { 1, 0, 0, 0, "19200,e,8,1", "LINE 19200,e,8,1" },
        { 2, 1, 0, 0, "19200,o,8,2", "LINE 19200,o,8,2" },
        { 0, 1, 0, 0, "19200,n,8,2", "LINE 19200,n,8,2" },
        { 1, 0, 1, 1, "19200,e,7,1", "LINE 19200,e,7,1 ASCII" },
        { 0, 0, 1, 0, "19200,n,8,1", "LINE 19200,n,8,1 ASCII" },
        { 0, 0, 0, 1, "19200,n,8,1", nullptr }, // RTU takes 8 data bits whatever the box says
    };
    monitor::LineMonitor* monitor = openMonitor();
    for (const Case& c : cases) {
        monitor->findChild<QComboBox*>("parity")->setCurrentIndex(c.parity);
        monitor->findChild<QComboBox*>("stopBits")->setCurrentIndex(c.stopBits);
        monitor->findChild<QComboBox*>("framing")->setCurrentIndex(c.framing);
        monitor->findChild<QComboBox*>("dataBits")->setCurrentIndex(c.dataBits);
        open();
        EXPECT_EQ(platform->lastSettings, c.settings);
        const std::string text = LogDir::read("Quillet_log_COM5.txt");
        const std::string expected = c.lineInLog ? std::string(c.lineInLog) + "\r\n" : "";
        EXPECT_EQ(text.substr(text.rfind("START Quillet V2.0\r\n\r\n") + 22), expected);
        QTest::mouseClick(button("BTNCloseCom"), Qt::LeftButton);
    }
    // A pseudo-terminal takes any parity, and the monitor says that it does not apply there.
    platform->pseudoTerminal = true;
    monitor->findChild<QComboBox*>("parity")->setCurrentIndex(1);
    open();
    EXPECT_EQ(monitor->findChild<QLabel*>("portNote")->text(),
        "COM5: is a pseudo-terminal: parity does not apply there");
    QTest::mouseClick(button("BTNCloseCom"), Qt::LeftButton);
    // A speed beyond the three buttons overrides them at the next Open, in the title and the log.
    monitor->findChild<QComboBox*>("parity")->setCurrentIndex(0);
    monitor->findChild<QComboBox*>("stopBits")->setCurrentIndex(0);
    monitor->findChild<QComboBox*>("speed")->setCurrentText("38400");
    EXPECT_EQ(monitor->windowTitle(), "Quillet line monitor COM5: 38400 8N1");
    open();
    EXPECT_EQ(platform->lastSettings, "38400,n,8,1");
    const std::string logged = LogDir::read("Quillet_log_COM5.txt");
    EXPECT_EQ(
        logged.substr(logged.rfind("START Quillet V2.0\r\n\r\n") + 22), "LINE 38400,n,8,1\r\n");
    QTest::mouseClick(button("BTNCloseCom"), Qt::LeftButton);
    monitor->findChild<QComboBox*>("speed")->setCurrentIndex(0); // the buttons rule again
    EXPECT_EQ(monitor->windowTitle(), "Quillet line monitor COM5: 19200 8N1");
    EXPECT_FALSE(frm.presetLine('m', 1));
    EXPECT_FALSE(frm.presetLine('n', 3));
}

TEST_F(Monitor, ARequestAndItsReplyBecomeTwoRowsWithTheVerdictAndTheReplyTime)
{
    monitor::LineMonitor* monitor = openMonitor();
    open();
    QTest::mouseClick(button("Command3"), Qt::LeftButton);
    tick(kReply);
    monitor::CopyableTable* frames = monitor->frames();
    ASSERT_EQ(frames->model()->rowCount(), 2);
    QAbstractItemModel* details = monitor->details()->model();
    // The view refreshes on its timer: with no row chosen it shows the newest reply.
    ASSERT_TRUE(QTest::qWaitFor([&] { return details->rowCount() == 1; }));
    EXPECT_EQ(details->index(0, 0).data().toString(), "0 (0x0000)");
    frames->setFocus();
    QTest::keyClick(frames, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(frames, Qt::Key_C, Qt::ControlModifier);
    const QStringList lines = QApplication::clipboard()->text().split('\n');
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(lines[0], "Time\tDir\tBytes\tFunction\tVerdict\tms");
    EXPECT_TRUE(
        lines[1].endsWith("\tTX\t30 03 00 00 00 01 80 2B\t3 Read Holding Registers\tsent\t"))
        << lines[1].toStdString();
    const QStringList reply = lines[2].split('\t');
    ASSERT_EQ(reply.size(), 6);
    EXPECT_EQ(reply.mid(1, 4).join('|'), "RX|30 03 02 00 0A 45 87|3 Read Holding Registers|CRC OK");
    EXPECT_GE(reply[5].toDouble(), 0.0);
    EXPECT_LT(reply[5].toDouble(), 5000.0);
    EXPECT_FALSE(reply[5].isEmpty());
    EXPECT_TRUE(QTime::fromString(reply[0], "HH:mm:ss.zzz").isValid()) << reply[0].toStdString();

    frames->selectRow(0);
    QStringList request;
    for (int r = 0; r < details->rowCount(); ++r)
        request << details->index(r, 0).data().toString() + " "
                + details->index(r, 1).data().toString();
    EXPECT_EQ(
        request.join(", "), "Slave 48, Function 3 Read Holding Registers, Start 0, Quantity 1");
    frames->selectRow(1);
    EXPECT_EQ(details->rowCount(), 1);
    EXPECT_EQ(details->index(0, 0).data().toString(), "0 (0x0000)");
    // Numbers line up on the right; hex is in equal-width digits.
    const auto right = [](const QModelIndex& at) {
        return (at.data(Qt::TextAlignmentRole).toInt() & Qt::AlignRight) != 0;
    };
    EXPECT_TRUE(right(details->index(0, 2))) << "Unsigned";
    EXPECT_TRUE(right(frames->model()->index(1, monitor::FrameTableModel::Ms)));
    EXPECT_FALSE(right(frames->model()->index(1, monitor::FrameTableModel::Verdict)));
    EXPECT_TRUE(QFontInfo(details->index(0, 1).data(Qt::FontRole).value<QFont>()).fixedPitch())
        << "Hex";
    EXPECT_TRUE(QFontInfo(frames->model()
                              ->index(1, monitor::FrameTableModel::Bytes)
                              .data(Qt::FontRole)
                              .value<QFont>())
                    .fixedPitch());
    EXPECT_EQ(monitor->statusText(),
        "Since Open: 1 requests, 1 replies, 0 CRC BAD, 0 exceptions, 0 no reply");

    // The main window shows and logs what it always did.
    EXPECT_EQ(box("Text8")->toPlainText(), "Reply  2 butes :  Data :  10: CRC : 45 87\n");
    const std::string entries = log().substr(log().find("START Quillet V2.0\r\n\r\n") + 22);
    EXPECT_EQ(
        entries, "T FUN3 :>0:1\r\n\r\nT  :< Reply  2 butes :  Data :  10: CRC : 45 87\r\n\r\n");
}

TEST_F(Monitor, RecordsBeforeItIsFirstShown)
{
    open();
    QTest::mouseClick(button("Command3"), Qt::LeftButton);
    tick("");
    EXPECT_FALSE(frm.monitor()->built()) << "recording needs no widgets: made at the first F2";
    EXPECT_EQ(openMonitor()->frames()->model()->rowCount(), 1) << "the request sent before F2";
    EXPECT_EQ(frm.monitor()->windowTitle(), "Quillet line monitor COM5: 19200 8N1");
    EXPECT_EQ(frm.monitor()->findChild<QComboBox*>("parity")->currentText(), "none")
        << "the line chosen before it was made";
}

TEST_F(Monitor, TheComposerSendsAFunction4RequestLogsItAndShowsItsRows)
{
    monitor::LineMonitor* monitor = openMonitor();
    monitor::Composer* composer = monitor->composer();
    composer->setCommand("read-input 8 1");
    EXPECT_EQ(composer->problem(), "Cannot send: open the port to send");
    EXPECT_FALSE(monitor->findChild<QPushButton*>("send")->isEnabled());
    open();
    composer->setSlave("1");
    EXPECT_EQ(composer->preview(), "01 04 00 08 00 01 B0 08");
    EXPECT_EQ(monitor->findChild<QLineEdit*>("start")->text(), "8") << "the fields follow";
    QLineEdit* command = monitor->findChild<QComboBox*>("command")->lineEdit();
    command->setFocus();
    QTest::keyClick(command, Qt::Key_Return, Qt::ControlModifier);
    ASSERT_EQ(platform->writes().size(), 1u)
        << composer->problem().toStdString() << composer->canSend();
    EXPECT_EQ(modbus::HexBytes(platform->writes()[0]), "01 04 00 08 00 01 B0 08");
    const std::string entries = log().substr(log().find("START Quillet V2.0\r\n\r\n") + 22);
    EXPECT_EQ(entries, "T REQ :>01 04 00 08 00 01 B0 08\r\n\r\n");
    const std::string reply = bytesOf("01 04 02 00 0A") + *modbus::CRC16(bytesOf("01 04 02 00 0A"));
    tick(reply);
    monitor::CopyableTable* frames = monitor->frames();
    ASSERT_EQ(frames->model()->rowCount(), 2);
    EXPECT_EQ(monitor::CellText(static_cast<monitor::FrameTableModel*>(frames->model())->row(1),
                  monitor::FrameTableModel::Function),
        "4 Read Input Registers");
    frames->selectRow(1);
    EXPECT_EQ(monitor->details()->model()->index(0, 0).data().toString(), "8 (0x0008)");
    EXPECT_EQ(monitor->details()->model()->index(0, 2).data().toString(), "10");
    // Reaching the general box as any reply from another address does; not decoded there.
    EXPECT_NE(box("Text2")->toPlainText().indexOf("Reply DATA :"), -1);

    // Fields drive the command, and what cannot be sent says why.
    auto* quantity = monitor->findChild<QLineEdit*>("quantity");
    quantity->selectAll();
    QTest::keyClicks(quantity, "126");
    EXPECT_EQ(composer->command(), "read-input 8 126");
    EXPECT_EQ(composer->problem(), "Cannot send: the quantity of registers must be 1..125");
    EXPECT_FALSE(monitor->findChild<QPushButton*>("send")->isEnabled());
    composer->setCommand("raw 04 00 00 00 02 no-crc");
    EXPECT_EQ(composer->preview(), "01 04 00 00 00 02");
    EXPECT_EQ(monitor->findChild<QLineEdit*>("values")->text(), "04 00 00 00 02");
    composer->setCommand("write-coils 3 1 0 x");
    EXPECT_EQ(composer->problem(), "Cannot send: not a number: \"x\" (write-coils START BIT...)");
}

// The command box sends exactly what was typed: its history is offered, never inserted, so a
// value typed after a longer one sent before is not completed into it.
TEST_F(Monitor, TheCommandBoxSendsExactlyTheTextTypedAndOffersItsHistory)
{
    monitor::LineMonitor* monitor = openMonitor();
    monitor->setEcho(modbus::EchoMode::Off); // an adapter known not to hear itself: no probe
    open();
    monitor->composer()->setSlave("48");
    auto* box = monitor->findChild<QComboBox*>("command");
    QLineEdit* command = box->lineEdit();
    command->setFocus();
    const char* typed[][2] = {
        { "write-register 3 500", "30 06 00 03 01 F4" },
        { "write-register 3 50", "30 06 00 03 00 32" },
        { "write-register 3 5", "30 06 00 03 00 05" },
        { "write-register 3 500", "30 06 00 03 01 F4" },
    };
    for (const auto& t : typed) {
        command->selectAll();
        QTest::keyClick(command, Qt::Key_Delete);
        QTest::keyClicks(command, t[0]);
        EXPECT_EQ(command->text().toStdString(), t[0]);
        QTest::keyClick(command, Qt::Key_Return, Qt::ControlModifier);
        ASSERT_FALSE(platform->writes().empty());
        EXPECT_EQ(modbus::HexBytes(platform->writes().back()).substr(0, 17), t[1]) << t[0];
        tick(platform->writes().back()); // answered by a copy, told from an echo by the
        tick(""); //                        read after it: the next may go
    }
    EXPECT_EQ(platform->writes().size(), std::size(typed));
    // The history, newest first and each once, is there to be chosen with Up and Down.
    ASSERT_EQ(box->count(), 3);
    EXPECT_EQ(box->itemText(1), "write-register 3 5");
    QTest::keyClick(box, Qt::Key_Down);
    EXPECT_EQ(command->text(), "write-register 3 5");
    QTest::keyClick(box, Qt::Key_Down);
    EXPECT_EQ(command->text(), "write-register 3 50");
    EXPECT_EQ(monitor->findChild<QLineEdit*>("values")->text(), "50") << "the fields follow";
}

// A composed write answered by a copy of itself, while the adapter's echo is not known: a frame
// for address 248 goes first, its echo tells, a row says so once, and nothing of it reaches the
// design's log or boxes.
TEST_F(Monitor, AComposedWriteFindsTheAdaptersEchoFirstAndSaysSoOnce)
{
    monitor::LineMonitor* monitor = openMonitor();
    open();
    monitor::Composer* composer = monitor->composer();
    composer->setSlave("1");
    composer->setCommand("write-register 5 1234");
    const std::string write = composer->frame();
    composer->send();
    ASSERT_EQ(platform->writes().size(), 1u);
    const std::string probe = platform->writes()[0];
    EXPECT_EQ(modbus::HexBytes(probe).substr(0, 17), "F8 03 00 00 00 01");
    tick(probe); // the adapter gives it back
    EXPECT_EQ(platform->writes().size(), 1u) << "a silence after the probe";
    tick("");
    ASSERT_EQ(platform->writes().size(), 2u);
    EXPECT_EQ(platform->writes()[1], write);
    tick(write); // its echo
    tick(write); // its reply
    const auto* rows = static_cast<monitor::FrameTableModel*>(monitor->frames()->model());
    std::vector<std::string> verdicts;
    for (int r = 0; r < rows->rowCount(); ++r)
        verdicts.push_back(rows->row(r).verdict);
    EXPECT_EQ(verdicts,
        std::vector<std::string>(
            { modbus::kHearsItself, "sent", "echo of the request", "CRC OK" }));
    composer->send();
    tick("");
    ASSERT_EQ(platform->writes().size(), 3u);
    EXPECT_EQ(platform->writes()[2], write) << "known once: no second probe";
    EXPECT_EQ(log().find("F8 03"), std::string::npos) << "the probe is logged nowhere";
    EXPECT_EQ(box("Text2")->toPlainText().indexOf("F8 03"), -1);
}

// "Read back" with a composed write: once the write is answered, the same registers are read,
// and a row tells whether they hold what was written; "One register with 16" writes it as 16.
TEST_F(Monitor, AComposedWriteIsReadBackAndTheOutcomeIsARow)
{
    monitor::LineMonitor* monitor = openMonitor();
    monitor->setEcho(modbus::EchoMode::Off); // an adapter known not to hear itself: no probe
    open();
    monitor::Composer* composer = monitor->composer();
    composer->setSlave("1");
    monitor->findChild<QCheckBox*>("readBack")->setChecked(true);
    const auto framed = [](const char* hex) {
        const std::string body = bytesOf(hex);
        return body + *modbus::CRC16(body);
    };
    const struct
    {
        const char* command;
        bool with16;
        const char* write; // the write as it went
        std::string ack;
        const char* read;
        std::string readReply;
        const char* told;
    } cases[] = {
        { "write-register 5 1234", false, "01 06 00 05 04 D2", framed("01 06 00 05 04 D2"),
            "01 03 00 05 00 01", framed("01 03 02 04 D2"), "read back: as written" },
        { "write-register 5 1234", true, "01 10 00 05 00 01 02 04 D2", framed("01 10 00 05 00 01"),
            "01 03 00 05 00 01", framed("01 03 02 03 E8"),
            "read back: holding 5: wrote 1234, read 1000" },
        { "write-coils 2 1 1", false, "01 0F 00 02 00 02 01 03", framed("01 0F 00 02 00 02"),
            "01 01 00 02 00 02", framed("01 01 01 01"), "read back: coil 3: wrote 1, read 0" },
    };
    for (const auto& c : cases) {
        platform->calls.clear();
        monitor->findChild<QCheckBox*>("writeWith16")->setChecked(c.with16);
        composer->setCommand(c.command);
        composer->send();
        tick(c.ack);
        // The read-back goes a tick after the write's answer is settled (an echo of 6 is told
        // from a reply a read later).
        for (int n = 0; n < 4 && platform->writes().size() < 2; ++n)
            tick("");
        tick(c.readReply);
        const auto writes = platform->writes();
        ASSERT_EQ(writes.size(), 2u) << c.command;
        EXPECT_EQ(modbus::HexBytes(writes[0]).substr(0, std::strlen(c.write)), c.write);
        EXPECT_EQ(modbus::HexBytes(writes[1]).substr(0, std::strlen(c.read)), c.read);
        const auto* rows = static_cast<monitor::FrameTableModel*>(monitor->frames()->model());
        EXPECT_EQ(rows->row(rows->rowCount() - 1).verdict, c.told) << c.command;
    }
}

TEST_F(Monitor, APollingRunOfThreePollsShowsItsCountsAndItsWatch)
{
    monitor::LineMonitor* monitor = openMonitor();
    open();
    const std::string request = bytesOf("01 04 00 08 00 01 B0 08");
    const auto reply = [](int value) {
        const std::string body = bytesOf("01 04 02 00") + char(value);
        return body + *modbus::CRC16(body);
    };
    monitor->startRun({ request }, { 0, 3, 1'000'000 });
    ASSERT_EQ(platform->writes().size(), 1u) << "the first request goes at once";
    tick(reply(10));
    tick(reply(10));
    tick(reply(11));
    tick(""); // nothing more goes out: three polls were asked
    const auto writes = platform->writes();
    ASSERT_EQ(writes.size(), 3u);
    EXPECT_EQ(writes[2], request);
    ASSERT_TRUE(monitor->run()->finished());
    const modbus::PollStatistics& s = monitor->run()->statistics();
    EXPECT_EQ(std::tuple(s.requests(), s.count(modbus::PollOutcome::Good)), std::tuple(3, 3));
    monitor->views()->show(monitor->run());
    EXPECT_NE(monitor->views()->statisticsText().indexOf("requests 3, good replies 3"), -1);
    EXPECT_TRUE(monitor->views()->headlineText().startsWith("Errors 0 %   ·   median "))
        << monitor->views()->headlineText().toStdString();
    const QAbstractItemModel* watch = monitor->views()->watch()->model();
    ASSERT_EQ(watch->rowCount(), 1);
    EXPECT_EQ(watch->index(0, monitor::WatchModel::Row).data().toString(), "input register 8 @1");
    EXPECT_EQ(watch->index(0, monitor::WatchModel::Value).data().toString(), "11");
    EXPECT_EQ(watch->index(0, monitor::WatchModel::Changes).data().toString(), "1");
    EXPECT_EQ(watch->index(0, monitor::WatchModel::State).data().toString(), "changed");
    // Each poll went the composer's way: logged as a request.
    const std::string entries = log();
    EXPECT_EQ(std::count(entries.begin(), entries.end(), '>'), 3);
    EXPECT_FALSE(monitor->recordTo(dir.dir.path().toStdString() + "/no/such/folder/data.csv"))
        << "a data log that cannot be opened is said to be so";
}

// Never two requests out: a composed request waits for the poll out and goes after its answer,
// and no poll goes while it is out; a design button's request goes at once, the poll it cuts
// short is not counted lost, and what we send waits for the button's answer. A data log that cannot
// be opened is said in the run's status.
TEST_F(Monitor, ARequestComposedDuringARunWaitsForThePollsAnswer)
{
    monitor::LineMonitor* monitor = openMonitor();
    open();
    const std::string poll = bytesOf("01 04 00 08 00 01 B0 08");
    const std::string pollReply
        = bytesOf("01 04 02 00 0A") + *modbus::CRC16(bytesOf("01 04 02 00 0A"));
    monitor->recordTo(dir.dir.path().toStdString() + "/no/such/folder/data.csv");
    monitor->startRun({ poll }, { 0, 0, 1'000'000 });
    ASSERT_EQ(platform->writes().size(), 1u);
    monitor->composer()->setSlave("1");
    monitor->composer()->setCommand("write-register 5 1234");
    const std::string write = monitor->composer()->frame();
    monitor->findChild<QPushButton*>("send")->click();
    EXPECT_EQ(platform->writes().size(), 1u) << "held while the poll is out";
    tick(pollReply);
    ASSERT_EQ(platform->writes().size(), 2u);
    EXPECT_EQ(platform->writes()[1], write) << "sent once the poll was answered";
    tick("");
    EXPECT_EQ(platform->writes().size(), 2u) << "no poll while the write is out";
    tick(write); // its reply, a copy: told from an echo by the read after it
    tick("");
    ASSERT_EQ(platform->writes().size(), 3u);
    EXPECT_EQ(platform->writes()[2], poll) << "the run goes on";

    QTest::mouseClick(button("Command3"), Qt::LeftButton); // at once, as designed
    const std::size_t sent = platform->writes().size();
    monitor->findChild<QPushButton*>("send")->click();
    tick("");
    EXPECT_EQ(platform->writes().size(), sent) << "nothing more while the button's request is out";
    tick(kReply);
    ASSERT_EQ(platform->writes().size(), sent + 1);
    EXPECT_EQ(platform->writes().back(), write) << "the composed request follows its answer";
    // The composer's own earlier request is waited for too.
    monitor->composer()->setCommand("read-holding 0 1");
    monitor->findChild<QPushButton*>("send")->click();
    EXPECT_EQ(platform->writes().size(), sent + 1) << "held while the composed write is out";
    tick(write);
    tick("");
    ASSERT_EQ(platform->writes().size(), sent + 2);
    EXPECT_EQ(modbus::HexBytes(platform->writes().back()), "01 03 00 00 00 01 84 0A");
    const modbus::PollStatistics& s = monitor->run()->statistics();
    EXPECT_EQ(std::tuple(s.requests(), s.count(modbus::PollOutcome::Good),
                  s.count(modbus::PollOutcome::NoReply)),
        std::tuple(1, 1, 0))
        << "the poll cut short is not the slave's loss";
    monitor->stopRun(); // and the panel says how it went
    EXPECT_TRUE(
        monitor->pollPanel()
            ->findChild<QLabel*>("pollStatus")
            ->text()
            .endsWith("; cannot open the data log " + dir.dir.path() + "/no/such/folder/data.csv"))
        << monitor->pollPanel()->findChild<QLabel*>("pollStatus")->text().toStdString();
}

// The faults of real lines in the monitor's runs with a data log: a good reply is kept (after
// a stray byte, after the adapter's echo); one that does not answer its request counts as a
// wrong reply and writes no row.
TEST_F(Monitor, ARunWithADataLogKeepsOnlyRepliesThatAnswerTheirRequest)
{
    monitor::LineMonitor* monitor = openMonitor();
    open();
    const std::string poll = bytesOf("01 04 00 08 00 02 F1 C9");
    const auto framed = [](const char* hex) { return bytesOf(hex) + *modbus::CRC16(bytesOf(hex)); };
    const std::string good = framed("01 04 04 00 0A 00 0B");
    const struct
    {
        const char* what;
        std::string chunk;
        modbus::PollOutcome outcome;
    } rows[] = {
        { "a good reply", good, modbus::PollOutcome::Good },
        { "a stray byte before it", std::string(1, '\0') + good, modbus::PollOutcome::Good },
        { "the adapter's echo, then the reply", poll + good, modbus::PollOutcome::Good },
        { "another function", framed("01 03 04 00 0A 00 0B"), modbus::PollOutcome::WrongReply },
        { "one register of two", framed("01 04 02 00 0A"), modbus::PollOutcome::WrongReply },
    };
    const std::string path = dir.dir.path().toStdString() + "/faults.csv";
    int kept = 0;
    for (const auto& r : rows) {
        ASSERT_TRUE(monitor->recordTo(path));
        monitor->startRun({ poll }, { 0, 1, 1'000'000 });
        tick(r.chunk);
        tick("");
        const modbus::PollStatistics& s = monitor->run()->statistics();
        EXPECT_EQ(std::tuple(s.requests(), s.count(r.outcome)), std::tuple(1, 1)) << r.what;
        kept += r.outcome == modbus::PollOutcome::Good ? 1 : 0;
        const std::string csv = LogDir::read(QString::fromStdString(path));
        EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 1 + kept) << r.what << "\n" << csv;
    }
    // Recording shows: the button stops it, the run's state names the file and its rows.
    auto* record = monitor->findChild<QPushButton*>("record");
    auto* state = monitor->findChild<QLabel*>("pollStatus");
    monitor->startRun({ poll }, { 0, 1, 1'000'000 });
    tick(good);
    ASSERT_TRUE(QTest::qWaitFor([&] { return state->text().startsWith("1 polls"); }));
    EXPECT_TRUE(state->text().contains("; recording to faults.csv, 1 row"))
        << state->text().toStdString();
    EXPECT_EQ(record->text(), "Stop recording");
    record->click();
    EXPECT_EQ(record->text(), "Record to CSV…");
    monitor->startRun({ poll }, { 0, 1, 1'000'000 });
    tick(good);
    const std::string csv = LogDir::read(QString::fromStdString(path));
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 2 + kept) << "nothing after Stop recording";
}

TEST_F(Monitor, AScanThatCannotStartSaysWhyAndTouchesNoPort)
{
    monitor::ScanPanel* scan = frm.monitor()->views()->scan();
    const struct
    {
        const char* field;
        const char* text;
        const char* why;
    } cases[] = {
        { "scanSpeeds", "9600,fast", "Cannot scan: unknown speed \"fast\"" },
        { "scanParities", "even,mark", "Cannot scan: unknown parity \"mark\": none, even or odd" },
    };
    for (const auto& c : cases) {
        auto* box = scan->findChild<QLineEdit*>(c.field);
        const QString was = box->text();
        box->setText(c.text);
        EXPECT_FALSE(scan->start()) << c.field;
        EXPECT_EQ(scan->statusText(), c.why);
        box->setText(was);
    }
    scan->findChild<QSpinBox*>("scanFirst")->setValue(10);
    scan->findChild<QSpinBox*>("scanLast")->setValue(9);
    EXPECT_FALSE(scan->start());
    EXPECT_EQ(scan->statusText(), "Cannot scan: the first address is after the last");
    EXPECT_TRUE(platform->calls.empty()) << "no port was opened";
}

// Bench files: a refused workspace changes nothing and names its line; an accepted one changes
// only what it holds and joins the recent list; a map's refused lines are counted and kept.
TEST_F(Monitor, WorkspacesChangeOnlyWhatTheyHoldAndMapsTellWhatTheyRefused)
{
    monitor::LineMonitor* monitor = openMonitor();
    const QString folder = dir.dir.path();
    const auto write = [&](const char* name, const char* text) {
        QFile file(folder + "/" + name);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
        return folder + "/" + name;
    };
    monitor->composer()->setCommand("read-input 8 1");
    EXPECT_FALSE(
        monitor->openWorkspace(write("bad.json", "{\n \"slave\": 7,\n \"wordOrder\": 5\n}")));
    EXPECT_EQ(monitor->benchBar()->note(),
        "Cannot open bad.json: line 3: the word order must be ABCD, CDAB, BADC or DCBA");
    EXPECT_EQ(monitor->composer()->slave().toStdString(), "48") << "a refused file changes nothing";

    const QString partial = write("partial.json", "{ \"slave\": 7, \"colour\": \"red\" }");
    ASSERT_TRUE(monitor->openWorkspace(partial));
    EXPECT_EQ(monitor->composer()->slave(), "7");
    EXPECT_EQ(line("Text1")->text(), "7") << "the window's address box too";
    EXPECT_EQ(monitor->composer()->command(), "read-input 8 1") << "not in the file: kept";
    EXPECT_EQ(line("txt(0)")->text().toStdString(), "COM5:");
    EXPECT_EQ(monitor->benchBar()->note(), "Opened partial.json, 1 notices (hover for them)");
    EXPECT_EQ(monitor->benchBar()->recent().value(0), partial);

    // The echo setting is the line's: in the box, and saved with the bench.
    ASSERT_TRUE(monitor->openWorkspace(write("echo.json", "{ \"line\": { \"echo\": \"on\" } }")));
    EXPECT_EQ(monitor->findChild<QComboBox*>("echo")->currentText(), "on");
    ASSERT_TRUE(monitor->saveWorkspace(folder + "/saved.json"));
    QFile saved(folder + "/saved.json");
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_TRUE(saved.readAll().contains("\"echo\": \"on\"")) << "saved as it was opened";

    ASSERT_TRUE(monitor->loadMap(write("map.csv",
        "table,address,name,type\n"
        "input,8,level,u16\n"
        "input,9,broken,u17\n")));
    EXPECT_EQ(monitor->benchBar()->note(),
        "Map map.csv: 1 registers named, 1 lines refused (hover for why)");
    monitor->composer()->setCommand("read level");
    EXPECT_TRUE(monitor->composer()->preview().startsWith("07 04 00 08 00 01 "))
        << monitor->composer()->preview().toStdString();
    EXPECT_FALSE(monitor->loadMap(folder + "/missing.csv"));
    EXPECT_NE(monitor->map(), nullptr) << "the map in use stays";
}

TEST(TrendView, EachSeriesKeepsItsNewestPoints)
{
    monitor::TrendView trend;
    modbus::ReadValues values { 1, 4, modbus::DataTable::InputRegisters, 8, { 7, 9 } };
    for (std::size_t i = 0; i < monitor::TrendView::kPoints + 50; ++i)
        trend.add(values, double(i) / 10);
    EXPECT_EQ(
        trend.points({ 1, modbus::DataTable::InputRegisters, 8 }), monitor::TrendView::kPoints);
    EXPECT_EQ(
        trend.points({ 1, modbus::DataTable::InputRegisters, 9 }), monitor::TrendView::kPoints);
    EXPECT_EQ(trend.points({ 1, modbus::DataTable::Holding, 8 }), 0u);
}

// Series in one unit share an axis; metres and °C get one each (the second on the right); past
// two units the axis is normalised, each series over its own range.
TEST(TrendView, AnAxisForEachUnit)
{
    const modbus::RegisterMap map = modbus::ReadRegisterMap(
        "table;address;name;type;order;scale;offset;unit;enum;description\n"
        "holding;0;setpoint;u16;;;;°C;;\nholding;1;limit;u16;;;;°C;;\n"
        "holding;2;level;u16;;;;m;;\nholding;3;supply;u16;;;;V;;\n");
    monitor::TrendView trend;
    trend.setMap(&map, modbus::WordOrder::ABCD);
    trend.add({ 1, 3, modbus::DataTable::Holding, 0, { 21, 21, 3, 230 } }, 1);
    const auto at = [](unsigned address) {
        return modbus::WatchKey { 1, modbus::DataTable::Holding, address };
    };
    const struct
    {
        std::set<modbus::WatchKey> chosen;
        QStringList units;
    } cases[] = {
        { { at(0), at(1) }, { "°C" } },
        { { at(0), at(2) }, { "°C", "m" } },
        { { at(0), at(2), at(3) }, { "% of each series' range" } },
    };
    for (const auto& c : cases) {
        trend.setChosen(c.chosen);
        EXPECT_EQ(trend.axisUnits(), c.units);
    }
}

TEST_F(Monitor, BetweenPollsAnIdleReadWaitsNoLongerThanTheNextRequest)
{
    monitor::LineMonitor* monitor = openMonitor();
    open();
    const std::string request = bytesOf("01 04 00 08 00 01 B0 08");
    const std::string body = bytesOf("01 04 02 00 0A");
    monitor->startRun({ request }, { 100'000, 2, 200'000 });
    // A poll out: no read waits past its time-out, so a later reply is told late.
    EXPECT_GE(monitor->idleReadLimitMs(), 1);
    EXPECT_LE(monitor->idleReadLimitMs(), 200);
    tick(body + *modbus::CRC16(body));
    tick(""); // the run waits for its next cycle, at most 100 ms away
    const comm::CommTimeouts& t = platform->lastTimeouts;
    EXPECT_EQ(t.ReadTotalTimeoutMultiplier, 0u);
    EXPECT_GE(t.ReadTotalTimeoutConstant, 1u);
    EXPECT_LE(t.ReadTotalTimeoutConstant, 100u);
    EXPECT_EQ(t.ReadIntervalTimeout, 20u);
    // The device goes away: the run pauses, sends nothing, counts nothing; back, it goes on.
    monitor->setPortState(monitor::PortState::Gone);
    const std::size_t sent = platform->writes().size();
    EXPECT_EQ(monitor->idleReadLimitMs(), 0);
    monitor->setPortState(monitor::PortState::Open);
    EXPECT_EQ(platform->writes().size(), sent);
    EXPECT_EQ(monitor->run()->statistics().requests(), 1);
    EXPECT_FALSE(monitor->run()->finished());
    monitor->stopRun();
    tick("");
    EXPECT_EQ(
        std::tuple(t.ReadIntervalTimeout, t.ReadTotalTimeoutMultiplier, t.ReadTotalTimeoutConstant),
        std::tuple(20u, 1u, 1u))
        << "the designed time-outs once the run is over";
}

TEST(FrameTableModel, KeepsTheNewestRowsAndShowsLongFramesByTheirStart)
{
    monitor::FrameTableModel model(3);
    for (int batch = 0; batch < 2; ++batch) {
        std::vector<modbus::FrameRow> rows(batch == 0 ? 2 : 4);
        for (std::size_t i = 0; i < rows.size(); ++i)
            rows[i].verdict = std::to_string(batch * 10 + int(i));
        model.append(rows);
    }
    ASSERT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.index(0, monitor::FrameTableModel::Verdict).data().toString(), "11");
    EXPECT_EQ(model.index(2, monitor::FrameTableModel::Verdict).data().toString(), "13");

    modbus::FrameRow longFrame;
    longFrame.bytes.assign(255, '\x11');
    model.append({ longFrame });
    const QModelIndex bytes = model.index(2, monitor::FrameTableModel::Bytes);
    EXPECT_EQ(bytes.data().toString().size(), monitor::FrameTableModel::kShownCharacters + 1);
    EXPECT_EQ(bytes.data(monitor::FrameTableModel::kFullTextRole).toString().size(), 255 * 3 - 1);
}

} // namespace

// Listening to another master's polls: nothing is written, the Send buttons, the composer and
// Poll say why, every frame gets its row, the watch holds what was read and written, the
// statistics count per slave, and the capture holds every frame. Close ends listening.
// Another master on an ASCII line: its frames cut by their ':' and CR LF, a wrong LRC counted,
// and no capture offered (Wireshark has no link type for ASCII).
TEST_F(Monitor, ListeningToAnAsciiLineCutsItsText)
{
    monitor::LineMonitor* monitor = openMonitor();
    monitor->findChild<QComboBox*>("framing")->setCurrentIndex(1);
    QTest::mouseClick(monitor->listenBar()->findChild<QPushButton*>("listen"), Qt::LeftButton);
    frm.TMRComm.stop(); // listening opened the port; ticks are driven by hand here
    ASSERT_TRUE(monitor->listening());
    for (const char* chunk : { ":300300000002CB\r\n", ":3003", "04000A0014AB\r\n",
             ":300300000002CB\r\n", ":3003040000000AAA\r\n" })
        tick(chunk);
    EXPECT_TRUE(platform->writes().empty());
    const auto* rows = static_cast<const monitor::FrameTableModel*>(monitor->frames()->model());
    ASSERT_EQ(rows->rowCount(), 4);
    EXPECT_EQ(rows->row(1).verdict, "LRC OK");
    EXPECT_EQ(rows->row(3).verdict, "LRC BAD (expected BF)");
    EXPECT_EQ(monitor->statusText(),
        "Listening: 2 requests, 1 good replies, 1 LRC BAD, 0 exceptions, 0 no reply");
    EXPECT_FALSE(monitor->listenBar()->findChild<QPushButton*>("saveCapture")->isEnabled());
}

TEST_F(Monitor, ListeningWritesNothingAndTellsWhatTheOtherMasterAsked)
{
    monitor::LineMonitor* monitor = openMonitor();
    QTest::mouseClick(monitor->listenBar()->findChild<QPushButton*>("listen"), Qt::LeftButton);
    frm.TMRComm.stop(); // listening opened the port; ticks are driven by hand here
    ASSERT_TRUE(monitor->listening());
    EXPECT_FALSE(button("BTNOpenCom")->isEnabled()) << "opened to listen";
    EXPECT_EQ(platform->lastTimeouts.ReadIntervalTimeout, comm::kMaxDword) << "reads as bytes come";
    for (const char* name :
        { "Command3", "Command1", "Command9", "Command2", "Command4", "BTNSend" }) {
        EXPECT_FALSE(button(name)->isEnabled()) << name;
        EXPECT_TRUE(button(name)->toolTip().startsWith("Listening: the port is never written"));
    }
    EXPECT_NE(monitor->composer()->findChild<QLabel*>("problem")->text().indexOf("listening"), -1);
    EXPECT_FALSE(monitor->pollPanel()->findChild<QPushButton*>("poll")->isEnabled());
    monitor->startRun({ bytesOf("30 03 00 00 00 01 80 2B") }, { 0, 3, 1'000'000 });
    const auto framed = [](const char* hex) {
        const std::string body = bytesOf(hex);
        return body + *modbus::CRC16(body);
    };
    for (const std::string& chunk : { framed("30 03 00 00 00 02"), framed("30 03 04 00 0A 00 14"),
             framed("30 06 00 05 00 07"), framed("30 06 00 05 00 07"), framed("31 03 00 00 00 01"),
             std::string(), framed("30 03 00 01 00 01"), framed("30 83 02") })
        tick(chunk);
    EXPECT_TRUE(platform->writes().empty()) << "neither a run nor anything else wrote";
    EXPECT_EQ(monitor->frames()->model()->rowCount(), 8) << "7 frames and a no reply";
    EXPECT_EQ(monitor->statusText(),
        "Listening: 4 requests, 2 good replies, 0 CRC BAD, 1 exceptions, 1 no reply");
    const QAbstractItemModel* watch = monitor->views()->watch()->model();
    EXPECT_TRUE(QTest::qWaitFor([&] { return watch->rowCount() == 3; }, 5000)) << "shown soon";
    EXPECT_NE(monitor->views()->statisticsText().indexOf("slave 48: requests 3, good replies 2, "
                                                         "exceptions 1 (code 2: 1)"),
        -1)
        << monitor->views()->statisticsText().toStdString();
    ASSERT_EQ(watch->rowCount(), 3);
    for (int row = 0; row < 3; ++row)
        EXPECT_EQ(watch->index(row, monitor::WatchModel::Row).data().toString() + " = "
                + watch->index(row, monitor::WatchModel::Value).data().toString(),
            QStringList({ "holding 0 @48 = 10", "holding 1 @48 = 20", "holding 5 @48 = 7" })[row]);
    const QString capture = dir.dir.path() + "/heard.pcap";
    ASSERT_TRUE(monitor->saveCapture(capture));
    QFile file(capture);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    const auto frames = modbus::ReadPcap(std::string(bytes.constData(), std::size_t(bytes.size())));
    ASSERT_TRUE(frames);
    EXPECT_EQ(frames->size(), 7u);

    QTest::mouseClick(button("BTNCloseCom"), Qt::LeftButton);
    EXPECT_FALSE(monitor->listening()) << "Close ends listening";
    EXPECT_FALSE(monitor->listenBar()->listening());
    EXPECT_TRUE(button("BTNOpenCom")->isEnabled());
    EXPECT_FALSE(button("Command3")->isEnabled()) << "closed: as designed";
    EXPECT_NE(log().find("Port COM5: is listened to: it is never written meanwhile.\r\n"),
        std::string::npos);
    EXPECT_NE(log().find("Listening ended.\r\n"), std::string::npos) << log();
}

// Find speed hears the line at the common settings in turn (the first, 19200 8E1, is the line's
// here), keeps it for the next Open and listens there; nothing is written meanwhile.
TEST_F(Monitor, FindSpeedKeepsTheSettingWhoseFramesAreGoodAndListensThere)
{
    monitor::LineMonitor* monitor = openMonitor();
    open();
    QTest::mouseClick(monitor->listenBar()->findChild<QPushButton*>("findSpeed"), Qt::LeftButton);
    frm.TMRComm.stop(); // ticks are driven by hand here
    EXPECT_TRUE(button("BTNOpenCom")->isEnabled()) << "closed: the search opens it itself";
    EXPECT_EQ(platform->lastSettings, "19200,e,8,1");
    EXPECT_EQ(platform->lastTimeouts.ReadIntervalTimeout, comm::kMaxDword) << "reads as bytes come";
    const auto framed = [](const char* hex) {
        const std::string body = bytesOf(hex);
        return body + *modbus::CRC16(body);
    };
    for (int poll = 0; poll < 3 && !monitor->listening(); ++poll) {
        tick(framed("30 03 00 00 00 01"));
        tick(framed("30 03 02 00 0A"));
    }
    frm.TMRComm.stop();
    EXPECT_TRUE(monitor->listening());
    EXPECT_EQ(monitor->listenBar()->note(), "The line is at 19200 8E1; listening there");
    EXPECT_EQ(platform->lastSettings, "19200,e,8,1") << "opened there to listen";
    EXPECT_TRUE(platform->writes().empty());

    // Searching again, then Open pressed by hand: the search gives the port up.
    QTest::mouseClick(monitor->listenBar()->findChild<QPushButton*>("findSpeed"), Qt::LeftButton);
    EXPECT_FALSE(monitor->listening());
    QTest::mouseClick(button("BTNOpenCom"), Qt::LeftButton);
    frm.TMRComm.stop();
    EXPECT_EQ(monitor->listenBar()->note(), "Find speed stopped: the port was opened by hand");
    tick(framed("30 03 00 00 00 01"));
    EXPECT_EQ(monitor->statusText().left(11), "Since Open:") << "an ordinary session now";
}

// A monitor run over slaves 48 and 49, driven with invented times: 49 answers the first cycle
// only, is backed off after three polls without a reply, probed every tenth cycle, and its
// watch rows and the statistics say so; 48 keeps its pace.
TEST(MonitorRun, ASilentSlaveIsBackedOffAndItsWatchRowsSaySo)
{
    const auto request = [](int slave) {
        return modbus::BuildRequest(slave, modbus::ParseRequest("read-holding 0 1").fields).frame;
    };
    monitor::PollRun run(
        { request(48), request(49) }, modbus::PollSettings { 100'000, 25, 50'000, 10 }, 0);
    std::vector<int> sentTo;
    run.onSend = [&](const std::string& frame) { sentTo.push_back(modbus::ByteAt(frame, 0)); };
    std::size_t told = 0;
    for (std::int64_t ms = 0; !run.finished() && ms < 10'000; ++ms) {
        run.tick(ms * 1000);
        if (sentTo.size() == told)
            continue;
        const int slave = sentTo[told++];
        modbus::FrameRow asked, answer;
        asked.kind = modbus::RowKind::Request;
        asked.bytes = request(slave);
        answer.bytes = std::string { char(slave), 3, 2, 0, 7 };
        answer.bytes += *modbus::CRC16(answer.bytes);
        answer.replyMs = 2.0;
        const bool answers = slave == 48 || sentTo.size() <= 2;
        run.rows(answers ? std::vector { asked, answer } : std::vector { asked }, ms);
    }
    EXPECT_EQ(std::count(sentTo.begin(), sentTo.end(), 48), 25);
    EXPECT_EQ(std::count(sentTo.begin(), sentTo.end(), 49), 6) << "cycles 1-4, 14 and 24";
    ASSERT_TRUE(run.watch().find({ 49, modbus::DataTable::Holding, 0 }));
    EXPECT_TRUE(run.watch().find({ 49, modbus::DataTable::Holding, 0 })->backedOff);
    EXPECT_FALSE(run.watch().find({ 48, modbus::DataTable::Holding, 0 })->backedOff);
    EXPECT_NE(
        run.report().find("slave 49: requests 6, good replies 1, no reply 5"), std::string::npos)
        << run.report();
    EXPECT_NE(run.report().find(", backed off\n"), std::string::npos);
}

namespace {

// Every access key the monitor's captions, buttons and tabs give, with the text giving it;
// captions of boxes the composer hides are left out.
std::multimap<QChar, QString> accessKeys(QWidget* window)
{
    std::multimap<QChar, QString> keys;
    const auto note = [&](const QString& text) {
        const int at = text.indexOf(QRegularExpression("&[^&]"));
        if (at >= 0)
            keys.emplace(text[at + 1].toLower(), text);
    };
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (auto* button = qobject_cast<QAbstractButton*>(w))
            note(button->text());
        else if (auto* label = qobject_cast<QLabel*>(w);
                 label && label->buddy() && !label->isHidden())
            note(label->text());
        else if (auto* tabs = qobject_cast<QTabBar*>(w))
            for (int i = 0; i < tabs->count(); ++i)
                note(tabs->tabText(i));
    }
    return keys;
}

// The controls whose text does not fit them: a button, a caption, a box or a field that shows
// less than its text. Messages shorten themselves by design and are left out.
std::vector<std::string> squeezed(QWidget* window)
{
    std::vector<std::string> found;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(window) || dynamic_cast<monitor::MessageLabel*>(w))
            continue;
        int needs = 0;
        if (auto* edit = qobject_cast<QLineEdit*>(w)) {
            const QString text = edit->text().isEmpty() ? edit->placeholderText() : edit->text();
            needs = edit->fontMetrics().horizontalAdvance(text) + 8; // the frame and margins
        } else if (qobject_cast<QAbstractButton*>(w) || qobject_cast<QLabel*>(w)
            || qobject_cast<QComboBox*>(w)) {
            needs = w->minimumSizeHint().width();
        }
        if (w->width() < needs)
            found.push_back(w->metaObject()->className() + (" " + w->objectName().toStdString())
                + ": " + std::to_string(w->width()) + " < " + std::to_string(needs));
    }
    return found;
}

} // namespace

// From 900 px wide up every control shows its whole text, and messages, however long, never
// widen the window the user sized: they are shortened, whole on hover.
TEST_F(Monitor, EveryControlFitsItsTextFrom900PxAndMessagesNeverWidenTheWindow)
{
    monitor::LineMonitor* monitor = openMonitor();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(monitor));
    for (const auto& [name, widest] : { std::pair { "slave", "247" }, { "start", "65535" },
             { "quantity", "125" }, { "count", "100000" } })
        monitor->findChild<QLineEdit*>(name)->setText(widest);
    const QString longest = QString("a message that says a great deal about the line ").repeated(8);
    for (int width : { 900, 1100, 1600, 1920 }) {
        monitor->resize(width, 860);
        QApplication::processEvents();
        EXPECT_EQ(monitor->width(), width);
        EXPECT_EQ(squeezed(monitor), std::vector<std::string> {}) << width << " px";
        for (QLabel* label : monitor->findChildren<QLabel*>())
            if (dynamic_cast<monitor::MessageLabel*>(label))
                label->setText(longest);
        QApplication::processEvents();
        EXPECT_EQ(monitor->width(), width) << "a message widened it";
        EXPECT_LE(monitor->minimumSizeHint().width(), 900);
        auto* note = dynamic_cast<monitor::MessageLabel*>(monitor->findChild<QLabel*>("portNote"));
        ASSERT_NE(note, nullptr);
        EXPECT_TRUE(note->elided()) << "the whole text is on hover";
    }
}

// Alt and a letter reaches one control only, whatever function the composer shows: no two
// captions, buttons or tabs share a key (Alt+M opened the map while it named Command too).
TEST_F(Monitor, EveryAccessKeyIsUniqueWhateverTheComposerShows)
{
    monitor::LineMonitor* monitor = openMonitor();
    auto* function = monitor->findChild<QComboBox*>("function");
    ASSERT_NE(function, nullptr);
    for (int i = 0; i < function->count(); ++i) {
        function->setCurrentIndex(i);
        const std::multimap<QChar, QString> keys = accessKeys(monitor);
        std::vector<std::string> shared;
        for (const auto& [key, text] : keys)
            if (keys.count(key) > 1)
                shared.push_back(text.toStdString());
        EXPECT_EQ(shared, std::vector<std::string> {}) << function->currentText().toStdString();
        EXPECT_GE(keys.size(), 18u) << "the monitor's keys were found";
    }
    // A box's key follows its caption: function 3's Quantity is reached by Alt+Q.
    function->setCurrentIndex(function->findData(3));
    QApplication::setActiveWindow(monitor);
    function->setFocus();
    QTest::keyClick(function, Qt::Key_Q, Qt::AltModifier);
    EXPECT_EQ(QApplication::focusWidget(), monitor->findChild<QLineEdit*>("quantity"));
}

// The histogram spans the range the replies took, one empty bin before the first: bars of
// replies near 80 ms are not crowded into the right sixth of a scale from 0.
TEST(HistogramView, SpansTheRangeTheRepliesTook)
{
    modbus::PollStatistics times;
    for (const double ms : { 78.0, 81.5, 83.0, 95.0 })
        times.record(modbus::PollOutcome::Good, ms, 0, 0);
    monitor::HistogramView view;
    view.show(times.histogram());
    ASSERT_FALSE(view.shown().empty());
    EXPECT_EQ(view.shown().front().fromMs, 60.0) << "the bin before 70-80 ms, which holds none";
    EXPECT_EQ(view.shown().back().fromMs, 90.0);
    view.show(modbus::PollStatistics().histogram());
    EXPECT_TRUE(view.shown().empty());
}
