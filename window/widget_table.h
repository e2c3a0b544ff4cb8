// The window's widgets as data: one row per widget, geometry in twips.
#pragma once

#include <span>

namespace window {

enum class Kind { GroupBox, Label, TextBox, Button, Radio, Shape };

// Kind-specific attributes a row may carry.
enum Extra : unsigned {
    None = 0,
    MultiLineVScroll = 1u << 0, // long lines wrap
    MultiLineBoth = 1u << 1, // both scroll bars, no wrap
    MaxLength2 = 1u << 2,
    DefaultButton = 1u << 3, // Enter
    CancelButton = 1u << 4, // Escape
    Selected = 1u << 5,
    DarkBlueCaption = 1u << 6,
};

inline constexpr int kNoTab = -1;

struct WidgetRow
{
    const char* name;
    Kind kind;
    const char* container; // nullptr: the window's client area
    int left, top, width, height;
    const char* caption; // or the text of a text box
    const char* tag; // "NO": closed port only, "NC": open port only
    bool enabled;
    int tab;
    unsigned extra;
};

// Rows in creation order: a container comes before what it holds, and a row that is drawn
// above another comes after it.
std::span<const WidgetRow> WidgetTable();

} // namespace window
