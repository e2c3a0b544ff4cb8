#include "command_line.h"
#include "start_window.h"

#include "logfile/log_file.h"
#include "ports/port_list.h"
#include "window/caption_font.h"
#include "window/frm_serial.h"

#include <QApplication>

#include <cstdio>

namespace {

QStringList argumentsOf(int argc, char* argv[])
{
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    return args;
}

int listPorts()
{
    for (const ports::PortEntry& entry : ports::AvailablePorts())
        std::printf("%s\t%s\n", qPrintable(entry.name), qPrintable(entry.description));
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    // Read before the toolkit starts, so that --help, --version and mistakes need no display.
    const CommandLine line = ParseCommandLine(argumentsOf(argc, argv));
    if (line.exitCode) {
        std::fputs(qPrintable(line.out), stdout);
        std::fputs(qPrintable(line.err), stderr);
        return *line.exitCode;
    }
    if (line.listPorts)
        return listPorts();

    logfile::PrepareProcess();
    QApplication app(argc, argv);
    window::LoadBundledCaptionFont();
    window::frmSerial frm;
    StartWindow(frm, line.start);
    return app.exec();
}
