// Appending to the reply boxes, which grow for hours.
#pragma once

#include <QString>

class QPlainTextEdit;

namespace window {

// What each display box keeps, like a terminal's scrollback; the session log keeps everything.
// A box's memory goes by characters and by lines (the text layout costs per line), so both
// are capped: 3 million characters or 40,000 lines, whichever comes first. Measured with all
// four boxes full of the costliest text (75-character lines, where both caps fill together)
// the terminal stays near 145 MB resident, well within the 250 MB a terminal left listening
// overnight may take.
struct BoxCapacity
{
    int characters;
    int lines;
};
inline constexpr BoxCapacity kDisplayBoxCapacity { 3'000'000, 40'000 };

// Inserts at the end through a cursor: cost independent of what the box already holds.
// Past either capacity the oldest whole lines go, a slice at a time so that trimming is rare; the
// newest line always stays whole. The view follows the end only when it was already there,
// so a user reading back is not pulled away, and stays on the same lines as old ones go.
void AppendToBox(
    QPlainTextEdit* box, const QString& text, BoxCapacity capacity = kDisplayBoxCapacity);

// Characters the box holds, line breaks included.
int HeldCharacters(const QPlainTextEdit* box);
// Lines the box holds; text after the last line break counts as a line.
int HeldLines(const QPlainTextEdit* box);

} // namespace window
