// What the terminal survives: a log it cannot write, a shared port, ports that are no ports,
// being killed.
#include "tests/support/log_dir.h"
#include "tests/support/pty_peer.h"
#include "tests/support/window_fixture.h"

#include "sim/pty_slave.h"
#include "window/log_file_name.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>

#include <atomic>
#include <csignal>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <thread>

extern char** environ;

namespace {

// A libmodbus slave answering on its own thread for the life of the test.
struct ServedSlave
{
    std::unique_ptr<PtySlave> slave = std::make_unique<PtySlave>(48, 10);
    std::atomic<bool> stop { false };
    std::thread server;

    ServedSlave()
    {
        slave->registers()[0] = 10;
        server = std::thread([this] {
            while (!stop)
                slave->serveOnce(50);
        });
    }
    ~ServedSlave()
    {
        stop = true;
        server.join();
    }
    QString path() const { return QString::fromStdString(slave->path()); }
};

// Another terminal process (quillet-kill-child) on the given port, its stdout read here.
class ChildTerminal
{
public:
    explicit ChildTerminal(const std::string& port)
    {
        int out[2];
        if (pipe(out) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        char* args[]
            = { const_cast<char*>(QUILLET_KILL_CHILD), const_cast<char*>(port.c_str()), nullptr };
        if (posix_spawn(&pid_, QUILLET_KILL_CHILD, &actions, nullptr, args, environ) != 0)
            pid_ = 0;
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        out_ = out[0];
    }
    ~ChildTerminal()
    {
        kill();
        close(out_);
    }
    void kill()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            int status = 0;
            waitpid(pid_, &status, 0);
        }
        pid_ = 0;
    }
    // Waits up to twenty seconds for the child to print the line.
    bool waitFor(const std::string& line)
    {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (said_.find(line) == std::string::npos && std::chrono::steady_clock::now() < until) {
            pollfd pfd { out_, POLLIN, 0 };
            if (poll(&pfd, 1, 50) > 0) {
                char buf[256];
                const ssize_t n = read(out_, buf, sizeof buf);
                if (n <= 0)
                    break;
                said_.append(buf, std::size_t(n));
            }
        }
        return said_.find(line) != std::string::npos;
    }
    const std::string& said() const { return said_; }

private:
    pid_t pid_ = 0;
    int out_ = -1;
    std::string said_;
};

const std::string kReadReply("\x30\x03\x02\x00\x0A\x45\x87", 7);

class FaultTrial : public WindowFixture
{
protected:
    void openOn(window::frmSerial& window, const QString& port)
    {
        window.findChild<QLineEdit*>("txt(0)")->setText(port);
        QTest::mouseClick(window.findChild<QPushButton*>("BTNOpenCom"), Qt::LeftButton);
    }
    bool roundTrip()
    {
        const int before = int(box("Text8")->toPlainText().count('\n'));
        QTest::mouseClick(button("Command3"), Qt::LeftButton);
        return QTest::qWaitFor(
            [&] { return box("Text8")->toPlainText().count('\n') > before; }, 10000);
    }

    // Points the link (as /dev/serial/by-id/ links are) at the device, as udev does on a plug.
    static void pointLink(const QString& link, const QString& device)
    {
        QFile::remove(link);
        ASSERT_TRUE(QFile::link(device, link));
    }
    bool saysInText2(const QString& text, int ms)
    {
        return QTest::qWaitFor([&] { return box("Text2")->toPlainText().contains(text); }, ms);
    }

    LogDir dir;
};

TEST_F(FaultTrial, PortNamedByALinkIsReopenedWhenTheDeviceComesBackBehindIt)
{
    auto pulled = std::make_unique<ServedSlave>();
    const QString link = QDir::current().absoluteFilePath("usb-adapter-if00");
    pointLink(link, pulled->path());
    openOn(frm, link);
    ASSERT_TRUE(roundTrip());
    pulled.reset();
    ASSERT_TRUE(saysInText2("stopped answering (device gone)", 10000));

    ServedSlave plugged; // a new device node, as a replugged adapter gets
    pointLink(link, plugged.path());
    QElapsedTimer sinceReplug;
    sinceReplug.start();
    ASSERT_TRUE(saysInText2("Port " + link + " is back; reopened.", 10000));
    EXPECT_LT(sinceReplug.elapsed(), 5000);
    EXPECT_EQ(box("Text2")->toPlainText().count("is back"), 1);
    EXPECT_TRUE(roundTrip());
    const std::string log = LogDir::read(window::LogFileName(link));
    EXPECT_NE(
        log.find(" Port " + link.toStdString() + " is back; reopened.\r\n"), std::string::npos)
        << log;
}

TEST_F(FaultTrial, CloseWhileTheDeviceIsGoneStopsLookingForIt)
{
    auto pulled = std::make_unique<ServedSlave>();
    const QString link = QDir::current().absoluteFilePath("usb-adapter-if00");
    pointLink(link, pulled->path());
    openOn(frm, link);
    pulled.reset();
    ASSERT_TRUE(saysInText2("stopped answering (device gone)", 10000));
    QTest::mouseClick(button("BTNCloseCom"), Qt::LeftButton);

    ServedSlave plugged;
    pointLink(link, plugged.path());
    QTest::qWait(2500); // two and a half looks' worth, had the looking gone on
    EXPECT_FALSE(frm.TMRComm.isActive());
    EXPECT_TRUE(button("BTNOpenCom")->isEnabled());
    EXPECT_EQ(LogDir::read(window::LogFileName(link)).find("is back"), std::string::npos);
}

TEST_F(FaultTrial, LogThatStopsTakingWritesIsToldOnceAndRepliesStillShow)
{
    ServedSlave slave;
    openOn(frm, slave.path());
    ASSERT_TRUE(roundTrip());
    const QString logName = window::LogFileName(slave.path());
    const auto size = LogDir::read(logName).size();
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old {};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit tight = old;
    tight.rlim_cur = size + 10;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tight), 0);
    bool shown = true;
    for (int i = 0; i < 3; ++i)
        shown = shown && roundTrip();
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_TRUE(shown);
    EXPECT_EQ(box("Text8")->toPlainText().count('\n'), 4);
    EXPECT_EQ(box("Text2")->toPlainText().count("The log file cannot be written"), 1);
    EXPECT_LE(LogDir::read(logName).size(), size + 10);
}

TEST_F(FaultTrial, SecondTerminalOnTheSamePortIsRefusedAndTheFirstKeepsWorking)
{
    PtyPeer peer;
    ChildTerminal first(peer.path);
    ASSERT_TRUE(first.waitFor("open\n")) << first.said();
    peer.closeSlave();
    openOn(frm, QString::fromStdString(peer.path));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text,
        "Unable to open port " + QString::fromStdString(peer.path)
            + " Error: 5\n\nThe port is in use: another program holds it. Close that program, "
              "or choose another port.");
    EXPECT_TRUE(button("BTNOpenCom")->isEnabled());
    ASSERT_TRUE(peer.send(kReadReply));
    EXPECT_TRUE(first.waitFor("shown 1\n")) << first.said();
}

TEST_F(FaultTrial, PortTextsThatNameNoSerialDeviceAreRefusedAndNeverWritten)
{
    std::ofstream("plain.txt") << "unchanged";
    QDir().mkdir("folder");
    for (const char* port : { "./plain.txt", "./folder", "/dev/null", "/dev/zero" }) {
        messages.clear();
        openOn(frm, port);
        ASSERT_EQ(messages.size(), 1u) << port;
        EXPECT_EQ(messages[0].text, QString("Unable to open port %1 Error: 50").arg(port));
        EXPECT_TRUE(button("BTNOpenCom")->isEnabled()) << port;
        EXPECT_FALSE(frm.TMRComm.isActive());
    }
    EXPECT_EQ(LogDir::read("plain.txt"), "unchanged");
}

TEST_F(FaultTrial, HugeFreeTextGoesOutWithinTheWriteTimeoutsWhenNobodyReads)
{
    PtyPeer peer; // nobody reads the far end: the pty fills up
    openOn(frm, QString::fromStdString(peer.path));
    peer.closeSlave();
    ASSERT_TRUE(button("BTNSend")->isEnabled());
    line("Text3")->setText(QString(100000, 'z'));
    QElapsedTimer timer;
    timer.start();
    QTest::mouseClick(button("BTNSend"), Qt::LeftButton);
    EXPECT_LT(timer.elapsed(), 10000);
    QTest::mouseClick(button("Command4"), Qt::LeftButton);
    EXPECT_LT(timer.elapsed(), 12000);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].text.startsWith("not sent: the request of 100001 bytes"))
        << messages[0].text.toStdString();
    EXPECT_NE(
        LogDir::read(window::LogFileName(QString::fromStdString(peer.path))).find("short write: "),
        std::string::npos);
}

TEST(KillTrial, LogHoldsEveryReplyShownBeforeAKill)
{
    LogDir dir;
    PtyPeer peer;
    ChildTerminal child(peer.path);
    ASSERT_TRUE(child.waitFor("open\n")) << child.said();
    peer.closeSlave();
    for (int i = 1; i <= 5; ++i) {
        ASSERT_TRUE(peer.send(kReadReply));
        ASSERT_TRUE(child.waitFor("shown " + std::to_string(i) + "\n")) << child.said();
    }
    child.kill();
    const std::string log = LogDir::read(window::LogFileName(QString::fromStdString(peer.path)));
    std::size_t entries = 0;
    for (std::size_t at = 0;
         (at = log.find("  :< Reply  2 butes :  Data :  10: CRC : 45 87\r\n\r\n", at))
         != std::string::npos;
         ++at)
        ++entries;
    EXPECT_EQ(entries, 5u) << log;
}

} // namespace
