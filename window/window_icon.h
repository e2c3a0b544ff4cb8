#pragma once

#include <QIcon>
#include <QPixmap>

namespace window {

// A serial plug with a lamp, drawn at any size from one 24-pixel drawing.
QPixmap WindowIconPixmap(int size);

// The window's icon: true colour, 24 x 24, with a 48 x 48 rendering beside it.
QIcon WindowIcon();

} // namespace window
