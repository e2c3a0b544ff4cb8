// A label that names a control and gives it its access key.
#pragma once

#include <QLabel>

namespace monitor {

inline QLabel* Caption(const QString& text, QWidget* buddy)
{
    auto* label = new QLabel(text, buddy->parentWidget());
    label->setBuddy(buddy);
    return label;
}

} // namespace monitor
