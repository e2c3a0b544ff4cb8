// The ports the port box offers, and how it offers them.
#include "ports/port_completion.h"
#include "ports/port_list.h"
#include "tests/support/pty_peer.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QCoreApplication>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

namespace {

using ports::PortEntry;

std::vector<std::pair<std::string, std::string>> plain(const std::vector<PortEntry>& entries)
{
    std::vector<std::pair<std::string, std::string>> out;
    for (const PortEntry& e : entries)
        out.emplace_back(e.name.toStdString(), e.description.toStdString());
    return out;
}

TEST(PortEntries, NaturalOrderDescriptionsAndStableNamesAfterTheirDevice)
{
    const std::vector<ports::FoundPort> found = {
        { "/dev/ttyUSB10", "FT232R USB UART", "FTDI", "A1B2" },
        { "/dev/ttyUSB2", "CP2102", "Silicon Labs", "" },
        { "/dev/ttyACM0", "", "", "" },
        { "/dev/ttyS0", "", "", "" },
        { "", "nameless", "", "" },
        { "/dev/ttyUSB3", "USB-Serial", "USB-Serial", "" },
    };
    const std::vector<std::pair<QString, QString>> byId = {
        { "/dev/serial/by-id/usb-FTDI_FT232R_A1B2-if00-port0", "/dev/ttyUSB10" },
        { "/dev/serial/by-id/usb-gone-if00", "/dev/ttyUSB7" },
        { "/dev/serial/by-id/usb-Silicon_Labs_CP2102-if00-port0", "/dev/ttyUSB2" },
    };
    const std::vector<std::pair<std::string, std::string>> expected = {
        { "/dev/ttyACM0", "serial port" },
        { "/dev/ttyS0", "serial port" },
        { "/dev/ttyUSB2", "CP2102, Silicon Labs" },
        { "/dev/serial/by-id/usb-Silicon_Labs_CP2102-if00-port0", "stable name of /dev/ttyUSB2" },
        { "/dev/ttyUSB3", "USB-Serial" },
        { "/dev/ttyUSB10", "FT232R USB UART, FTDI, serial number A1B2" },
        { "/dev/serial/by-id/usb-FTDI_FT232R_A1B2-if00-port0", "stable name of /dev/ttyUSB10" },
    };
    EXPECT_EQ(plain(ports::PortEntries(found, byId)), expected);
    EXPECT_TRUE(ports::PortEntries({}, byId).empty());
}

TEST(PortEntries, WindowsNamesSortAsNumbers)
{
    const auto entries = ports::PortEntries({ { "COM10", "USB Serial Port (COM10)", "", "" },
                                                { "COM3", "Communications Port (COM3)", "", "" } },
        {});
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].name, "COM3");
    EXPECT_EQ(entries[1].name, "COM10");
}

TEST(PortEntries, WindowsFriendlyNamesFirstThenTheRegisteredNamesSetupApiMissed)
{
    const std::vector<ports::SetupApiPort> devices = {
        { "COM5", "USB Serial Port (COM5)" },
        { "LPT1", "Printer Port (LPT1)" },
        { "", "Broken device" },
        { "COM3", "Communications Port (COM3)" },
    };
    const std::vector<QString> serialComm = { "COM3", "com5", "COM7", "" };
    std::vector<std::pair<std::string, std::string>> merged;
    for (const ports::FoundPort& p : ports::MergeWindowsPorts(devices, serialComm))
        merged.emplace_back(p.name.toStdString(), p.description.toStdString());
    const std::vector<std::pair<std::string, std::string>> expected = {
        { "COM5", "USB Serial Port (COM5)" }, { "COM3", "Communications Port (COM3)" },
        { "COM7", "" }, // SetupAPI does not know it (Wine has no port devices)
    };
    EXPECT_EQ(merged, expected);
    EXPECT_EQ(ports::MergeWindowsPorts({}, { "COM1" }).size(), 1u);
    EXPECT_EQ(plain(ports::PortEntries(ports::MergeWindowsPorts(devices, serialComm), {}))[0],
        std::make_pair(std::string("COM3"), std::string("Communications Port (COM3)")));
}

TEST(AvailablePorts, APtyIsNotOffered)
{
    PtyPeer peer;
    ASSERT_FALSE(peer.path.empty());
    for (const PortEntry& entry : ports::AvailablePorts())
        EXPECT_NE(entry.name.toStdString(), peer.path);
}

TEST(PortCompletion, ReadsTheListAfreshOnFocusAndInsertsTheNameAlone)
{
    QWidget top;
    auto* other = new QLineEdit(&top);
    auto* box = new QLineEdit(&top);
    int reads = 0;
    std::vector<PortEntry> present = { { "/dev/ttyUSB0", "FT232R" } };
    new ports::PortCompletion(box, [&] {
        ++reads;
        return present;
    });
    box->setFocus(); // as at start: the box has the focus before the window is drawn
    top.show();
    EXPECT_EQ(reads, 0);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&top));
    QCoreApplication::processEvents();
    EXPECT_EQ(reads, 0) << "not read at start: the box is not used yet";
    QTest::keyClick(box, Qt::Key_Slash);
    EXPECT_EQ(reads, 1) << "read at the first key typed";
    EXPECT_EQ(box->completer()->model()->rowCount(), 1);
    present.push_back({ "/dev/ttyACM0", "Arduino" }); // plugged in after start
    other->setFocus();
    box->setFocus();
    EXPECT_EQ(reads, 2);
    EXPECT_EQ(box->completer()->model()->rowCount(), 2);

    box->clear();
    QTest::keyClicks(box, "ACM");
    QAbstractItemView* popup = box->completer()->popup();
    ASSERT_TRUE(QTest::qWaitFor([&] { return popup->isVisible(); }, 5000));
    QTest::keyClick(popup, Qt::Key_Down);
    QTest::keyClick(popup, Qt::Key_Return);
    EXPECT_EQ(box->text(), "/dev/ttyACM0");

    // A name no port has survives the list being read again.
    box->clear();
    QTest::keyClicks(box, "COM7:");
    const int before = reads;
    other->setFocus();
    box->setFocus();
    EXPECT_EQ(reads, before + 1);
    EXPECT_EQ(box->text(), "COM7:");
}

} // namespace
