// Open, Close and the requests, through a recording port.
#include "tests/support/log_dir.h"
#include "tests/support/window_fixture.h"

#include "monitor/line_monitor.h"

#include "modbus/byte_string.h"
#include "tests/support/fake_comm.h"
#include "window/log_file_name.h"
#include "window/session_log.h"
#include "window/time_stamp.h"

namespace {

const std::string kHeader = "DATE\r\nSTART Quillet V2.0\r\n\r\n";

class Session : public WindowFixture
{
protected:
    void SetUp() override
    {
        platform = &fake::Reset();
        WindowFixture::SetUp();
    }
    void open()
    {
        QTest::mouseClick(button("BTNOpenCom"), Qt::LeftButton);
        platform->calls.clear();
    }
    std::string log() { return Normalised(LogDir::read("Quillet_log_COM5.txt")); }

    LogDir dir;
    fake::Platform* platform = nullptr;
};

TEST_F(Session, OpenWritesHeaderOpensPortAndSwitchesToTheOpenArrangement)
{
    w<QRadioButton>("Option3")->setChecked(true);
    open();
    EXPECT_EQ(platform->lastSettings, "115200,n,8,1");
    EXPECT_EQ(fake::Get().open.size(), 1u);
    EXPECT_TRUE(button("BTNCloseCom")->isEnabled());
    EXPECT_FALSE(button("BTNOpenCom")->isEnabled());
    EXPECT_TRUE(frm.TMRComm.isActive());
    EXPECT_EQ(log(), kHeader);
    EXPECT_TRUE(messages.empty());
}

TEST_F(Session, CloseEmptiesText2StopsTimerAndOpenAgainAddsASecondHeader)
{
    open();
    box("Text2")->setPlainText("raw");
    box("Text6")->setPlainText("kept");
    QTest::mouseClick(button("Command2"), Qt::LeftButton);
    QTest::mouseClick(button("BTNCloseCom"), Qt::LeftButton);
    EXPECT_TRUE(box("Text2")->toPlainText().isEmpty());
    EXPECT_EQ(box("Text6")->toPlainText(), "kept");
    EXPECT_FALSE(frm.TMRComm.isActive());
    EXPECT_TRUE(fake::Get().open.empty());
    EXPECT_TRUE(button("BTNOpenCom")->isEnabled());
    open();
    EXPECT_EQ(log(), kHeader + "T  :>  info \r\n" + kHeader);
    frm.close(); // the unload closes the port and the log
    EXPECT_TRUE(fake::Get().open.empty());
    EXPECT_EQ(window::LogFiles::Write(frm.LogFile, "late", true), EBADF);
}

TEST_F(Session, EachButtonSendsItsFrameAndLogsItsEntry)
{
    open();
    line("Text3")->setText("ABC");
    struct Case
    {
        const char* button;
        const char* frame;
        const char* entry;
    };
    const Case cases[] = {
        { "Command3", "30 03 00 00 00 01 80 2B", "T FUN3 :>0:1\r\n\r\n" },
        { "Command1", "30 06 00 00 00 00 8D EB", "T FUN6 :>0:0\r\n\r\n" },
        { "Command9", "30 10 00 00 00 01 02 00 00 FF C1", "T FUN10 :>0:0\r\n\r\n" },
        { "Command2", "30 11 D5 BC", "T  :>  info \r\n" },
        { "Command4", "30 41 42 43 2E 61", "T  :>48:ABC\r\n\r\n" },
        { "BTNSend", "41 42 43", "T  :>48:ABC\r\n\r\n" },
    };
    std::string expectedLog = kHeader;
    for (const Case& c : cases) {
        platform->calls.clear();
        QTest::mouseClick(button(c.button), Qt::LeftButton);
        const auto writes = platform->writes();
        ASSERT_EQ(writes.size(), 1u) << c.button;
        EXPECT_EQ(modbus::HexBytes(writes[0]), c.frame) << c.button;
        EXPECT_EQ(frm.designVariables().FrameText, writes[0]);
        expectedLog += c.entry;
        EXPECT_EQ(log(), expectedLog) << c.button;
    }
    EXPECT_TRUE(messages.empty());
}

TEST_F(Session, BoxesAreLoggedAsTypedAndSentAsConverted)
{
    open();
    line("Text4")->setText("258");
    line("Text5")->setText("2.5");
    QTest::mouseClick(button("Command1"), Qt::LeftButton);
    line("Text12")->setText("7");
    line("Text11")->setText("3.5");
    QTest::mouseClick(button("Command9"), Qt::LeftButton);
    line("Text3")->clear();
    QTest::mouseClick(button("BTNSend"), Qt::LeftButton);
    QTest::mouseClick(button("Command4"), Qt::LeftButton);
    const auto writes = platform->writes();
    ASSERT_EQ(writes.size(), 4u);
    EXPECT_EQ(modbus::HexBytes(writes[0]).substr(0, 17), "30 06 01 02 00 02");
    EXPECT_EQ(modbus::HexBytes(writes[1]).substr(0, 26), "30 10 00 07 00 01 02 00 04");
    EXPECT_EQ(writes[2], "");
    EXPECT_EQ(modbus::HexBytes(writes[3]), "30 BF 54");
    EXPECT_EQ(frm.designVariables().FirstHi, 0);
    EXPECT_EQ(log(),
        kHeader
            + "T FUN6 :>258:2.5\r\n\r\nT FUN10 :>7:3.5\r\n\r\nT  :>48:\r\n\r\nT  :>48:\r\n\r\n");
}

TEST_F(Session, RequestOutsideTheLimitsIsNotSentAndSaysWhy)
{
    open();
    line("Text9")->setText("70000");
    QTest::mouseClick(button("Command3"), Qt::LeftButton);
    line("Text1")->setText("-1");
    QTest::mouseClick(button("Command2"), Qt::LeftButton);
    line("Text1")->setText("48");
    line("Text3")->setText(QString::fromUtf8("x\u20AC"));
    QTest::mouseClick(button("Command4"), Qt::LeftButton);
    QTest::mouseClick(button("BTNSend"), Qt::LeftButton);
    EXPECT_TRUE(platform->writes().empty());
    ASSERT_EQ(messages.size(), 4u);
    EXPECT_EQ(messages[0].text, "not sent: Count \"70000\" is outside 0..65535");
    EXPECT_EQ(messages[0].title, "Quillet");
    EXPECT_EQ(messages[1].text, "not sent: Addr \"-1\" is outside 0..255");
    EXPECT_EQ(
        messages[2].text, "not sent: the free text holds U+20AC, which has no single-byte code");
    EXPECT_TRUE(frm.TMRComm.isActive()) << "the poller must resume after the message";
    EXPECT_EQ(log(),
        kHeader + "T FUN3 :>0:70000\r\n\r\nnot sent: Count \"70000\" is outside 0..65535\r\n"
            + "T  :>  info \r\nnot sent: Addr \"-1\" is outside 0..255\r\n"
            + "T  :>48:x?\r\n\r\nnot sent: the free text holds U+20AC, which has no single-byte "
              "code\r\n"
            + "T  :>48:x?\r\n\r\nnot sent: the free text holds U+20AC, which has no single-byte "
              "code\r\n");
}

TEST_F(Session, EnterInADisplayBoxSendsTheFreeTextWhileOpen)
{
    open();
    line("Text3")->setText("hi");
    for (const char* name : { "Text2", "Text6", "Text8", "Text10" }) {
        platform->calls.clear();
        box(name)->setFocus();
        QTest::keyClick(box(name), name == std::string("Text8") ? Qt::Key_Enter : Qt::Key_Return);
        EXPECT_EQ(platform->writes(), std::vector<std::string> { "hi" }) << name;
        EXPECT_TRUE(box(name)->toPlainText().isEmpty()) << name;
    }
}

TEST_F(Session, LongFreeTextGoesOutInPiecesAndAShortWriteIsLogged)
{
    open();
    line("Text3")->setText(QString(600, 'x'));
    QTest::mouseClick(button("BTNSend"), Qt::LeftButton);
    const auto writes = platform->writes();
    ASSERT_EQ(writes.size(), 3u);
    EXPECT_EQ(writes[0].size() + writes[1].size() + writes[2].size(), 600u);
    EXPECT_EQ(writes[2].size(), 90u);

    platform->writeLimits = { 255, 255, 90, 2 };
    QTest::mouseClick(button("Command2"), Qt::LeftButton);
    EXPECT_NE(log().find("T  :>  info \r\nshort write: 2 of 4 bytes sent"), std::string::npos)
        << log();
}

TEST_F(Session, EnterSendsTheFreeTextWhileOpen)
{
    open();
    line("Text3")->setText("hi");
    line("Text3")->setFocus();
    QTest::keyClick(line("Text3"), Qt::Key_Return);
    ASSERT_EQ(platform->writes().size(), 1u);
    EXPECT_EQ(platform->writes()[0], "hi");
    QTest::keyClick(line("Text3"), Qt::Key_Escape);
    EXPECT_TRUE(button("BTNOpenCom")->isEnabled());
}

TEST_F(Session, HostileFieldTextsGiveBytesOrANoticeNeverBoth)
{
    open();
    const char* const texts[] = { "abc", "-5", "1E99", "-1E99", "&HFFFFF", "1e-5", "", "65535.4",
        "65535.5", "1.7976931348623157E308", "\t\n 12 3", "&O", "+-1", "..", "1E", "ÿÿÿ" };
    const char* const boxes[] = { "Text4", "Text5", "Text7", "Text9", "Text12", "Text11", "Text1" };
    const char* const senders[]
        = { "Command1", "Command1", "Command3", "Command3", "Command9", "Command9", "Command2" };
    for (std::size_t b = 0; b < std::size(boxes); ++b) {
        for (const char* text : texts) {
            line(boxes[b])->setText(QString::fromUtf8(text));
            platform->calls.clear();
            messages.clear();
            QTest::mouseClick(button(senders[b]), Qt::LeftButton);
            const bool wrote = platform->writes().size() == 1;
            EXPECT_NE(wrote, messages.size() == 1) << boxes[b] << " \"" << text << '"';
            if (wrote && std::string(senders[b]) != "Command2") {
                EXPECT_EQ(
                    platform->writes()[0].size(), std::string(senders[b]) == "Command9" ? 11u : 8u);
            }
        }
        line(boxes[b])->setText(b == 3 ? "1" : (b == 6 ? "48" : "0"));
    }
}

TEST_F(Session, PortThatCannotBeOpenedLeavesTheWindowClosed)
{
    platform->openFails = true;
    QTest::mouseClick(button("BTNOpenCom"), Qt::LeftButton);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Unable to open port COM5: Error: 2");
    EXPECT_EQ(messages[0].title, "Quillet");
    EXPECT_EQ(messages[0].icon, window::MessageIcon::None);
    EXPECT_TRUE(button("BTNOpenCom")->isEnabled());
    EXPECT_FALSE(button("BTNCloseCom")->isEnabled());
    EXPECT_FALSE(frm.TMRComm.isActive());
    EXPECT_EQ(log(), kHeader); // the header stays
    EXPECT_EQ(window::LogFiles::Write(frm.LogFile, "x", true), EBADF) << "log left open";
    // The monitor's title does not read as if the port were open, until it is.
    EXPECT_EQ(
        frm.monitor()->windowTitle(), "Quillet line monitor COM5: 19200 8N1 (could not be opened)");
    platform->openFails = false;
    QTest::mouseClick(button("BTNOpenCom"), Qt::LeftButton);
    EXPECT_EQ(frm.monitor()->windowTitle(), "Quillet line monitor COM5: 19200 8N1");
}

TEST_F(Session, LogThatCannotBeCreatedShowsErrorBoxAndLeavesThePortAlone)
{
    QDir().mkdir("Quillet_log_COM5.txt"); // a directory where the file should be
    QTest::mouseClick(button("BTNOpenCom"), Qt::LeftButton);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].title, QString("Error#%1").arg(EISDIR));
    EXPECT_TRUE(messages[0].text.contains("Quillet_log_COM5.txt"))
        << messages[0].text.toStdString();
    EXPECT_EQ(messages[0].icon, window::MessageIcon::Critical);
    EXPECT_TRUE(platform->calls.empty()) << "the port was touched";
    EXPECT_TRUE(button("BTNOpenCom")->isEnabled());
    EXPECT_FALSE(frm.TMRComm.isActive());
}

TEST_F(Session, LogFileNamesKeepComRuleAndNameOtherDevices)
{
    const std::pair<const char*, const char*> cases[] = {
        { "COM5:", "Quillet_log_COM5.txt" },
        { "COM5", "Quillet_log_COM5.txt" },
        { "COM12:", "Quillet_log_COM1.txt" }, // shares COM1's file, as it always has
        { "\\\\.\\COM7", "Quillet_log_COM7.txt" },
        { "COM5: ", "Quillet_log_COM5.txt" }, // blanks around a COM name do not count
        { " COM5:", "Quillet_log_COM5.txt" },
        { "", "Quillet_log_.txt" }, // the whole text, being shorter than four characters
        { "   ", "Quillet_log_.txt" }, // blanks alone name no device either
        { "/dev/ttyUSB0", "Quillet_log_ttyUSB0.txt" },
        { "ttyUSB0", "Quillet_log_ttyUSB0.txt" },
        { "/dev/ttyUSB1", "Quillet_log_ttyUSB1.txt" },
        { "/dev/pts/3", "Quillet_log_pts_3.txt" },
        { "/dev/serial/by-id/usb-FTDI_FT232R_A1B2-if00-port0",
            "Quillet_log_usb-FTDI_FT232R_A1B2-if00-port0.txt" },
        { "C\\x", "Quillet_log_C_x.txt" },
        { "/dev/tty USB:0\t", "Quillet_log_tty_USB_0_.txt" },
        { "tcp://127.0.0.1:1", "Quillet_log_tcp_127.0.0.1_1.txt" }, // refused: nothing listens
        { "rtu+udp://[::1]:1502", "Quillet_log_rtu_udp___1_1502.txt" },
    };
    for (const auto& [port, file] : cases) {
        EXPECT_EQ(window::LogFileName(port), file) << port;
        line("txt(0)")->setText(port);
        QTest::mouseClick(button("BTNOpenCom"), Qt::LeftButton);
        QTest::mouseClick(button("BTNCloseCom"), Qt::LeftButton);
        EXPECT_TRUE(QFile::exists(file)) << file;
    }
}

TEST(LogFileName, HostileTextsGiveASafeNameInTheCurrentDirectory)
{
    const QString hostile[] = {
        "../../etc/passwd",
        "..",
        "/",
        "",
        "/dev/pts/../../tmp/x\n",
        QString("a\x01\x1b[2Jb/\x7f"),
        QString(1000, u'/') + "x",
        QString(1000, u'\\'),
        QString(1000, u'y'),
        QString::fromUtf8("/dev/ttyÜSB\xc2\xa0"),
    };
    for (const QString& text : hostile) {
        const QString name = window::LogFileName(text);
        const QByteArray bytes = QFile::encodeName(name);
        EXPECT_TRUE(name.startsWith("Quillet_log_") && name.endsWith(".txt")) << bytes.data();
        EXPECT_LT(bytes.size(), 200) << bytes.data();
        for (const char c : bytes)
            EXPECT_TRUE(
                std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_')
                << "byte " << int(c) << " in " << bytes.data();
    }
}

TEST(TimeTexts, TimeStampAndStartStamp)
{
    const std::pair<QTime, const char*> stamps[] = {
        { QTime(9, 5, 7, 45), "9:5:7.45" },
        { QTime(13, 45, 30, 500), "13:45:30.500" },
        { QTime(0, 0, 0, 0), "0:0:0.0" },
        { QTime(23, 59, 59, 999), "23:59:59.999" },
    };
    for (const auto& [time, text] : stamps)
        EXPECT_EQ(window::TimeStampText(time), text);
    // The toolkit's own short date and long time, less the zone: its separators vary by version.
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    const QDate date(2026, 12, 7);
    const QTime time(9, 5, 7);
    const QString longTime = us.toString(time, QLocale::LongFormat);
    const QString zone = us.toString(time, "t");
    ASSERT_FALSE(zone.isEmpty());
    const QString dateText = us.toString(date, QLocale::ShortFormat);
    EXPECT_EQ(dateText, "12/7/26");
    EXPECT_EQ(window::StartStampText(QDateTime(date, QTime(0, 0, 0)), us), dateText);
    EXPECT_EQ(window::StartStampText(QDateTime(date, time), us),
        dateText + " " + longTime.left(longTime.indexOf(zone)).trimmed());
}

} // namespace
