// The one font of the whole window.
#pragma once

#include <QFont>

namespace window {

// The window's geometry was laid out for captions of an 8-point font of 11-pixel lines.
// Liberation Sans at 11 pixels fits every caption with room to spare; where it is not
// installed, the desktop's default family, condensed, still fits them.
QFont CaptionFont();

inline constexpr const char* kCaptionFamily = "Liberation Sans";

// Loads fonts/LiberationSans-Regular.ttf from beside the program, where the Windows build
// carries it (Windows has no such font); before the window is built. Linux uses the system's.
void LoadBundledCaptionFont();

} // namespace window
