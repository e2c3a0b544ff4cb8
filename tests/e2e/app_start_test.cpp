// The installed program started from a command line: options pre-set the window, --open opens.
#include "serial/win32_comm.h"
#include "sim/pty_slave.h"
#include "window/session_log.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

TEST(AppStart, PortAndOpenOptionsOpenThatPortAtStart)
{
    PtySlave slave(48, 10);
    ASSERT_TRUE(slave.ok());
    QTemporaryDir dir;
    QProcess quillet;
    quillet.setWorkingDirectory(dir.path());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    quillet.setProcessEnvironment(env);
    const QString port = QString::fromStdString(slave.path());
    quillet.start(QUILLET_APP, { "--port", port, "--speed", "115200", "--open" });
    ASSERT_TRUE(quillet.waitForStarted(10000));
    const QString log = dir.filePath(window::LogFileName(port));
    const bool opened = QTest::qWaitFor(
        [&] {
            QFile file(log);
            return file.open(QIODevice::ReadOnly) && file.readAll().contains("START Quillet V2.0");
        },
        20000);
    EXPECT_TRUE(opened) << quillet.readAllStandardError().toStdString();
    // The terminal holds the port now: nobody else may open it.
    const comm::HANDLE second = comm::CreateFileA(slave.path().c_str(),
        comm::GENERIC_READ | comm::GENERIC_WRITE, 0, nullptr, comm::OPEN_EXISTING, 0, 0);
    EXPECT_EQ(second, comm::INVALID_HANDLE_VALUE);
    EXPECT_EQ(comm::GetLastError(), comm::ERROR_ACCESS_DENIED);
    quillet.terminate();
    EXPECT_TRUE(quillet.waitForFinished(10000));
}

TEST(AppStart, BadOptionExitsTwoBeforeAnyWindow)
{
    QProcess quillet;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY"); // no window could appear: the check must come first
    env.remove("QT_QPA_PLATFORM");
    quillet.setProcessEnvironment(env);
    quillet.start(QUILLET_APP, { "--speed", "300" });
    ASSERT_TRUE(quillet.waitForFinished(10000));
    EXPECT_EQ(quillet.exitCode(), 2);
    EXPECT_TRUE(quillet.readAllStandardError().contains("unknown speed \"300\""));
}

} // namespace
