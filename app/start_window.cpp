#include "start_window.h"

#include "window/frm_serial.h"

#include <QTimer>

void StartWindow(window::frmSerial& frm, const StartOptions& start)
{
    if (!start.port.isEmpty())
        frm.presetPort(start.port);
    if (start.speed)
        frm.presetSpeed(*start.speed);
    frm.presetLine(start.parity, start.stopBits);
    frm.show();
    if (start.monitor)
        frm.toggleMonitor();
    if (start.open)
        QTimer::singleShot(0, &frm, &window::frmSerial::pressOpen);
    if (!start.polls.isEmpty()) {
        std::vector<std::string> commands;
        for (const QString& command : start.polls)
            commands.push_back(command.toStdString());
        // After the Open above (queued first), with the slave address the window then holds.
        QTimer::singleShot(0, &frm, [&frm, commands, start] {
            frm.startPolling(commands, start.everyMs, start.count, start.record.toStdString());
        });
    }
}
