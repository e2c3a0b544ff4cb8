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

    // The list is read once the window has been drawn, afresh each time the box gains focus
    // after that, and when Down opens the full list, so an adapter plugged in after start
    // appears without a restart.
    PortCompletion(QLineEdit* box, Lister lister);

    void refresh();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* box_;
    Lister lister_;
    QStandardItemModel* model_;
    QCompleter* completer_;
    bool drawn_ = false;
};

} // namespace ports
