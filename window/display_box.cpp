#include "display_box.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

#include <algorithm>

namespace window {
namespace {

    // Removes whole lines from the top until at most keep remains, or only the newest line is
    // left. Returns how many view lines went, for the scroll bar.
    int dropOldestLines(QTextDocument* doc, BoxCapacity keep)
    {
        const int excess = (doc->characterCount() - 1) - keep.characters;
        QTextBlock cut = doc->findBlock(std::max(0, excess));
        if (cut.position() < excess)
            cut = cut.next();
        const int byLines = doc->blockCount() - keep.lines;
        if (cut.isValid() && cut.blockNumber() < byLines)
            cut = doc->findBlockByNumber(byLines);
        if (!cut.isValid())
            cut = doc->lastBlock();
        int lines = 0;
        for (QTextBlock b = doc->begin(); b != cut; b = b.next())
            lines += std::max(1, b.lineCount());
        QTextCursor cursor(doc);
        cursor.setPosition(cut.position(), QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
        return lines;
    }

} // namespace

int HeldCharacters(const QPlainTextEdit* box)
{
    // The document counts one paragraph separator more than it shows.
    return box->document()->characterCount() - 1;
}

int HeldLines(const QPlainTextEdit* box) { return box->document()->blockCount(); }

void AppendToBox(QPlainTextEdit* box, const QString& text, BoxCapacity capacity)
{
    QScrollBar* bar = box->verticalScrollBar();
    const bool atEnd = bar->value() == bar->maximum();
    QTextCursor cursor(box->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(text);
    if (HeldCharacters(box) > capacity.characters || HeldLines(box) > capacity.lines) {
        const int value = bar->value();
        // Trim a slice below the capacity, so that the next appends need no trimming.
        const BoxCapacity keep { capacity.characters - capacity.characters / 256,
            capacity.lines - capacity.lines / 256 };
        const int gone = dropOldestLines(box->document(), keep);
        if (!atEnd)
            bar->setValue(std::max(0, value - gone));
    }
    if (atEnd)
        bar->setValue(bar->maximum());
}

} // namespace window
