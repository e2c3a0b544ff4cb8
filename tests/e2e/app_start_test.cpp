// The installed program started from a command line: options pre-set the window, --open opens.
#include "serial/win32_comm.h"
#include "sim/pty_slave.h"
#include "window/log_file_name.h"

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
    const comm::Handle second = comm::CreateFileA(slave.path().c_str(),
        comm::kGenericRead | comm::kGenericWrite, 0, nullptr, comm::kOpenExisting, 0, 0);
    EXPECT_EQ(second, comm::kInvalidHandle);
    EXPECT_EQ(comm::GetLastError(), comm::kErrorAccessDenied);
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
