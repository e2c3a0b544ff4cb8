#include "widget_table.h"

namespace window {
namespace {

    using enum Kind;
    constexpr const char* W = nullptr; // placed on the window itself

    // clang-format off
    constexpr WidgetRow kRows[] = {
        // name          kind      container  left  top   width height caption/text       tag  enabled tab  extra

        // Group "Comm's": port, speed, lamp, open/close, slave address
        { "Frame2",      GroupBox, W,            0,    0, 5475,  735, "Comm's",           "",   true,   0, DarkBlueCaption },
        { "Label1(0)",   Label,    "Frame2",    60,  300,  795,  255, "Port: (1-9)",      "",   true,   4, None },
        { "txt(0)",      TextBox,  "Frame2",   900,  240,  855,  315, "COM5:",            "NO", true,   1, None },
        { "Pic",         Shape,    "Frame2",   720,    0,  195,  255, "",                 "",   true, kNoTab, None },
        { "Option1",     Radio,    "Frame2",  1800,  160,  195,  255, "Option1",          "",   true,   7, None },
        { "Option2",     Radio,    "Frame2",  2220,  160,  255,  255, "Option2",          "",   true,   8, Selected },
        { "Option3",     Radio,    "Frame2",  2640,  160,  195,  255, "Option3",          "",   true,   9, None },
        { "Label4",      Label,    "Frame2",  1800,  430, 1095,  255, "9.6 19.2 115.2",   "",   true,  10, None },
        { "BTNOpenCom",  Button,   "Frame2",  3000,  240,  615,  255, "Open",             "NO", true,   2, None },
        { "BTNCloseCom", Button,   "Frame2",  3720,  240,  615,  255, "Close",            "NC", false,  3, CancelButton },
        { "Label2",      Label,    "Frame2",  4500,  240,  375,  255, "Addr",             "",   true,   5, None },
        { "Text1",       TextBox,  "Frame2",  4920,  240,  375,  285, "48",               "",   true,   6, MaxLength2 },

        // Group "Send FUN 6 WR"
        { "Frame1",      GroupBox, W,            0,  720, 5475, 2655, "Send FUN 6 WR",    "",   true,  12, None },
        { "Label3",      Label,    "Frame1",    60,  240, 1155,  255, "Address param",    "",   true,  14, None },
        { "Text4",       TextBox,  "Frame1",  1380,  240,  795,  285, "0",                "",   true,  15, None },
        { "Label5",      Label,    "Frame1",  2220,  240,  555,  255, "Data",             "",   true,  16, None },
        { "Text5",       TextBox,  "Frame1",  2700,  240,  855,  285, "0",                "",   true,  17, None },
        { "Command1",    Button,   "Frame1",  3720,  240,  975,  255, "Send",             "NC", false, 18, None },
        { "Command5",    Button,   "Frame1",  4860,  240,  495,  255, "CLR",              "",   true,  30, None },
        { "Text6",       TextBox,  "Frame1",    60,  600, 5295, 1935, "",                 "",   true,  19, MultiLineBoth },

        // Group "Send FUN 3 RD"; its reply box Text8 belongs to the window, drawn above it
        { "Frame3",      GroupBox, W,         5520,    0, 5475, 2655, "Send FUN 3 RD",    "",   true,  20, None },
        { "Label6",      Label,    "Frame3",   120,  240, 1155,  255, "Address param",    "",   true,  23, None },
        { "Text7",       TextBox,  "Frame3",  1320,  240,  795,  285, "0",                "",   true,  24, None },
        { "Label7",      Label,    "Frame3",  2160,  240,  675,  255, "Count",            "",   true,  27, None },
        { "Text9",       TextBox,  "Frame3",  2760,  240,  855,  285, "1",                "",   true,  28, None },
        { "Command3",    Button,   "Frame3",  3720,  240,  975,  255, "Send",             "NC", false, 25, None },
        { "Command6",    Button,   "Frame3",  4800,  240,  495,  255, "CLR",              "",   true,  31, None },
        { "Text8",       TextBox,  W,         5580,  600, 5295, 1935, "",                 "",   true,  26, MultiLineBoth },

        // Group "Send FUN 10 WR" (function 16)
        { "Frame4",      GroupBox, W,         5520, 2640, 5475, 3015, "Send FUN 10 WR",   "",   true,  33, None },
        { "Label9",      Label,    "Frame4",    60,  240, 1155,  255, "Address param",    "",   true,  40, None },
        { "Text12",      TextBox,  "Frame4",  1380,  240,  795,  285, "0",                "",   true,  38, None },
        { "Label8",      Label,    "Frame4",  2220,  240,  555,  255, "Data",             "",   true,  39, None },
        { "Text11",      TextBox,  "Frame4",  2700,  240,  855,  285, "0",                "",   true,  37, None },
        { "Command9",    Button,   "Frame4",  3720,  240,  975,  255, "Send",             "NC", false, 36, None },
        { "Command8",    Button,   "Frame4",  4860,  240,  495,  255, "CLR",              "",   true,  34, None },
        { "Text10",      TextBox,  "Frame4",    60,  600, 5295, 2295, "",                 "",   true,  35, MultiLineBoth },

        // Free-text row and the general reply display
        { "Text3",       TextBox,  W,            0, 3480, 3135,  285, "",                 "",   true,  13, None },
        { "BTNSend",     Button,   W,         3180, 3480,  855,  255, "&Send Txt",        "NC", false, 11, DefaultButton },
        { "Command4",    Button,   W,         4080, 3480,  375,  255, "MB",               "NC", false, 29, None },
        { "Command2",    Button,   W,         4500, 3480,  495,  255, "Info",             "NC", false, 22, None },
        { "Command7",    Button,   W,         5100, 3480,  255,  255, "X",                "",   true,  32, None },
        { "Text2",       TextBox,  W,            0, 3840, 5475, 1815, "",                 "",   true,  21, MultiLineVScroll },
    };
    // clang-format on

} // namespace

std::span<const WidgetRow> WidgetTable() { return kRows; }

} // namespace window
