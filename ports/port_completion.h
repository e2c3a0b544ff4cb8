// Completion for the port box from the serial ports present. Typing stays free: any text is
// still accepted.
#pragma once

#include "ports/port_list.h"

#include <QObject>

#include <functional>

class QCompleter;
class QLineEdit;
class QStandardItemModel;

namespace ports {

class PortCompletion : public QObject
{
    Q_OBJECT

public:
    using Lister = std::function<std::vector<PortEntry>()>;

    // The list is read when the box is first used (typed in, or Down), afresh each time it
    // gains focus after start and when Down opens the full list, so an adapter plugged in after
    // start appears without a restart. Not at start: a window that is only looked at, or
    // opened on a port given, never walks the system's ports.
    PortCompletion(QLineEdit* box, Lister lister);

    void refresh();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* box_;
    Lister lister_;
    QStandardItemModel* model_;
    QCompleter* completer_;
    bool drawn_ = false; // the focus it has at start is not a use
    bool listed_ = false;
};

} // namespace ports
