// Access keys (Alt and a letter) kept unique in a window: the fixed ones its buttons and
// captions carry, and those captions that change with what they label take the first letter
// still free as they are shown.
#pragma once

#include <QString>

class QWidget;

namespace monitor {

// The property that marks a caption whose key is given as it is shown, not fixed.
inline constexpr const char* kKeyedAsShown = "keyedAsShown";

// The letters taken in window, lower case: each button's and each buddied caption's, those
// marked kKeyedAsShown left out.
QString AccessKeysIn(const QWidget* window);

// text with its first letter not in taken as its access key (none when all are taken); the
// letter is added to taken. An '&' text had is dropped first.
QString WithFreeAccessKey(QString text, QString& taken);

} // namespace monitor
