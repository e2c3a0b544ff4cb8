// An offscreen window opened on one end of a pty, for the timed drivers.
#pragma once

#include "tests/support/pty_peer.h"
#include "window/frm_serial.h"
#include "window/log_file_name.h"

#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>

namespace bench {

struct OpenWindow
{
    QTemporaryDir dir;
    PtyPeer peer;
    window::frmSerial frm;

    // With the line monitor open from the start when asked; as designed otherwise.
    explicit OpenWindow(bool monitor = false)
    {
        QDir::setCurrent(dir.path());
        frm.setMessageHook([](const QString& text, const QString&, window::MessageIcon) {
            std::fprintf(stderr, "message: %s\n", qPrintable(text));
        });
        frm.show();
        if (monitor)
            frm.toggleMonitor();
        frm.findChild<QLineEdit*>("txt(0)")->setText(QString::fromStdString(peer.path));
        frm.findChild<QPushButton*>("BTNOpenCom")->click();
        peer.closeSlave();
    }
    QPlainTextEdit* box(const char* name) { return frm.findChild<QPlainTextEdit*>(name); }
    QLineEdit* line(const char* name) { return frm.findChild<QLineEdit*>(name); }
    std::string logPath() const
    {
        const QString name = window::LogFileName(QString::fromStdString(peer.path));
        return (dir.path() + "/" + name).toStdString();
    }
};

} // namespace bench
