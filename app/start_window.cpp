#include "start_window.h"

#include "monitor/bench_bar.h"
#include "monitor/line_monitor.h"
#include "window/frm_serial.h"

#include <cstdio>

#include <QTimer>

namespace {

// The workspace, then the map: what cannot be used is told on stderr too, as the monitor
// may not be looked at first.
void openBenchFiles(window::frmSerial& frm, const StartOptions& start)
{
    monitor::LineMonitor* monitor = frm.monitor();
    const auto tell = [monitor] {
        std::fprintf(stderr, "quillet: %s\n", qPrintable(monitor->benchBar()->note()));
    };
    if (!start.workspace.isEmpty() && !monitor->openWorkspace(start.workspace))
        tell();
    if (!start.map.isEmpty() && !monitor->loadMap(start.map))
        tell();
    if (start.echo)
        monitor->setEcho(*start.echo); // over the workspace's, as every option given
}

} // namespace

void StartWindow(window::frmSerial& frm, const StartOptions& start)
{
    openBenchFiles(frm, start);
    if (!start.port.isEmpty())
        frm.presetPort(start.port);
    if (start.speed) {
        frm.presetSpeed(*start.speed);
        frm.presetSpeedOverride(0); // over a workspace's speed
    }
    if (start.lineGiven || start.workspace.isEmpty())
        frm.presetLine(start.parity, start.stopBits);
    frm.show();
    if (start.monitor)
        frm.toggleMonitor();
    if (start.open)
        QTimer::singleShot(0, &frm, &window::frmSerial::pressOpen);
    if (start.listen)
        QTimer::singleShot(0, &frm, [&frm] { frm.setListening(true); });
    if (!start.polls.isEmpty()) {
        std::vector<std::string> commands;
        for (const QString& command : start.polls)
            commands.push_back(command.toStdString());
        // After the Open above (queued first), with the slave address the window then holds.
        QTimer::singleShot(0, &frm, [&frm, commands, start] {
            frm.startPolling(commands, start.everyMs, start.count, start.record.toStdString());
            // Asked for on the command line, a data log that cannot be written is told there.
            if (const QString problem = frm.monitor()->recordProblem(); !problem.isEmpty())
                std::fprintf(stderr, "quillet: %s\n", qPrintable(problem));
        });
    }
}
