// Appending to the reply boxes, which grow for hours.
#pragma once

#include <QString>

class QPlainTextEdit;

namespace window {

// Inserts at the end through a cursor: cost independent of what the box already holds.
// The view follows the end only when it was already there, so a user reading back is not
// pulled away.
void AppendToBox(QPlainTextEdit* box, const QString& text);

} // namespace window
