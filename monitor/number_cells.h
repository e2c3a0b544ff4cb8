// How numbers read in the monitor's tables: right-aligned so that their digits line up, and
// hex in a font whose digits are all one width.
#pragma once

#include <QFont>
#include <QString>

namespace monitor {

inline constexpr Qt::Alignment kNumberAlignment = Qt::AlignRight | Qt::AlignVCenter;

// The system's fixed-pitch font, made once.
QFont HexFont();

// A cell that holds a number: "-5", "3.1415927", "12.5 ms", "1 (FF 00)"; not "0x00F2" (hex) or
// words.
bool LooksNumeric(const QString& cell);

// Hex: "0x00F2", or bytes "30 03 02 00 0A" (two at least: "10" alone is a number).
bool LooksHex(const QString& cell);

} // namespace monitor
