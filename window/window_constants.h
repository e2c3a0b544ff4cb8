// The window's fixed values: caption, size, timer pace and colours.
#pragma once

namespace window {

inline constexpr int kClientWidth = 11010;
inline constexpr int kClientHeight = 5715;
inline constexpr int kTwipsPerPixel = 15; // at 96 dots per inch
inline constexpr const char* kCaption = "Quillet  v2.2";
inline constexpr int kTimerIntervalMs = 10;

// The line speeds in bit/s of the three speed buttons, Option1 to Option3.
inline constexpr int kSpeeds[] = { 9600, 19200, 115200 };

// 0x00BBGGRR colours, as the lamp is set and read.
inline constexpr unsigned kYellow = 0x00FFFF;
inline constexpr unsigned kWhite = 0xFFFFFF;
inline constexpr unsigned kGrey = 0x808080;
inline constexpr unsigned kRed = 0x0000FF;
inline constexpr unsigned kDarkBlue = 0xC00000;

} // namespace window
