#pragma once

#include <QIcon>

namespace window {

// 24 x 24 true colour, drawn at start-up: a serial plug with a lamp.
QIcon WindowIcon();

} // namespace window
