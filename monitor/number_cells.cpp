#include "number_cells.h"

#include <QFontDatabase>
#include <QRegularExpression>

namespace monitor {

QFont HexFont()
{
    static const QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    return font;
}

bool LooksNumeric(const QString& cell)
{
    static const QRegularExpression number(R"(^[-+]?(\d+\.?\d*|\.\d+)([eE][-+]?\d+)?( .*)?$)");
    return number.match(cell).hasMatch();
}

bool LooksHex(const QString& cell)
{
    static const QRegularExpression hex(R"(^(0x[0-9A-F]+|[0-9A-F]{2}( [0-9A-F]{2})+)$)");
    return hex.match(cell).hasMatch();
}

} // namespace monitor
