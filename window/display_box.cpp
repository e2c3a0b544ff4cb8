#include "display_box.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>

namespace window {

void AppendToBox(QPlainTextEdit* box, const QString& text)
{
    QScrollBar* bar = box->verticalScrollBar();
    const bool atEnd = bar->value() == bar->maximum();
    QTextCursor cursor(box->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(text);
    if (atEnd)
        bar->setValue(bar->maximum());
}

} // namespace window
