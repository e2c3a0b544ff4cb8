#include "monitor/frame_table_model.h"

#include "monitor/number_cells.h"

#include "modbus/ascii_frame.h"
#include "modbus/mbap_frame.h"

#include <QFont>
#include <QTime>

#include <algorithm>

namespace monitor {
namespace {

    using modbus::RowKind;

    const char* direction(RowKind kind)
    {
        switch (kind) {
        case RowKind::Request:
            return "TX";
        case RowKind::NoReply:
        case RowKind::Interrupted:
            return "--";
        case RowKind::Hint:
            return "hint";
        case RowKind::Note:
            return "note";
        default:
            return "RX";
        }
    }

    // Rows that need the engineer's attention; the verdict says why, the weight only helps.
    bool isProblem(RowKind kind)
    {
        return kind == RowKind::CrcBad || kind == RowKind::Exception || kind == RowKind::NotFrame
            || kind == RowKind::NoReply || kind == RowKind::OtherAddress
            || kind == RowKind::Mismatch || kind == RowKind::Late;
    }

    QFont styled(QFont font, bool bold, bool italic)
    {
        font.setBold(bold);
        font.setItalic(italic);
        return font;
    }

    // The frame as the wire carried it: hex bytes; ASCII's text with its address and PDU as
    // bytes beside it; MBAP's ids apart from its PDU.
    std::string bytesText(const modbus::FrameRow& row)
    {
        if (row.wire.empty())
            return modbus::HexBytes(row.bytes);
        if (modbus::CutAscii(row.wire, true).kind == modbus::AsciiCut::Kind::Frame)
            return modbus::AsciiText(row.wire) + " \u00B7 "
                + modbus::HexBytes(std::string_view(row.bytes).substr(0, row.bytes.size() - 2));
        return modbus::MbapText(row.wire);
    }

} // namespace

QString CellText(const modbus::FrameRow& row, int column)
{
    switch (column) {
    case FrameTableModel::Time:
        return QTime::fromMSecsSinceStartOfDay(int(row.time.wallMs % 86'400'000))
            .toString("HH:mm:ss.zzz");
    case FrameTableModel::Dir:
        return direction(row.kind);
    case FrameTableModel::Bytes:
        return QString::fromStdString(bytesText(row));
    case FrameTableModel::Function:
        return QString::fromStdString(row.function);
    case FrameTableModel::Verdict:
        return QString::fromStdString(row.verdict);
    case FrameTableModel::Ms:
        return row.replyMs ? QString::number(*row.replyMs, 'f', 1) : QString();
    default:
        return {};
    }
}

FrameTableModel::FrameTableModel(std::size_t capacity, QObject* parent)
    : QAbstractTableModel(parent)
    , capacity_(capacity)
{ }

void FrameTableModel::append(std::vector<modbus::FrameRow> rows)
{
    if (rows.empty())
        return;
    if (rows.size() > capacity_)
        rows.erase(rows.begin(), rows.end() - std::ptrdiff_t(capacity_));
    const std::size_t over
        = rows_.size() + rows.size() > capacity_ ? rows_.size() + rows.size() - capacity_ : 0;
    if (over) {
        beginRemoveRows({}, 0, int(over) - 1);
        rows_.erase(rows_.begin(), rows_.begin() + std::ptrdiff_t(over));
        endRemoveRows();
    }
    beginInsertRows({}, int(rows_.size()), int(rows_.size() + rows.size()) - 1);
    std::move(rows.begin(), rows.end(), std::back_inserter(rows_));
    endInsertRows();
}

int FrameTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(rows_.size());
}

int FrameTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant FrameTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const modbus::FrameRow& r = row(index.row());
    if (role == kFullTextRole)
        return CellText(r, index.column());
    if (role == Qt::DisplayRole) {
        // A long frame is shown by its start: laying out hundreds of hex digits per cell on
        // every redraw cost more than the analysis. Copying takes the whole text.
        QString text = CellText(r, index.column());
        if (text.size() > kShownCharacters)
            text = text.left(kShownCharacters) + u'\u2026';
        return text;
    }
    const bool aside = r.kind == RowKind::Hint || r.kind == RowKind::Note;
    const bool hex = index.column() == Bytes;
    if (role == Qt::FontRole && (isProblem(r.kind) || aside || hex)) {
        // Asked for every painted cell: made once. Bytes in equal-width digits.
        static const QFont fonts[2][3]
            = { { styled(QFont(), false, false), styled(QFont(), true, false),
                    styled(QFont(), false, true) },
                  { styled(HexFont(), false, false), styled(HexFont(), true, false),
                      styled(HexFont(), false, true) } };
        return fonts[hex][aside ? 2 : isProblem(r.kind) ? 1 : 0];
    }
    if (role == Qt::TextAlignmentRole && index.column() == Ms)
        return QVariant::fromValue(kNumberAlignment);
    if (role == Qt::ToolTipRole && (index.column() == Verdict || index.column() == Bytes))
        return CellText(r, index.column()); // longer than the column
    return {};
}

QVariant FrameTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const char* const kHeaders[] = { "Time", "Dir", "Bytes", "Function", "Verdict", "ms" };
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0
        || section >= ColumnCount)
        return {};
    return kHeaders[section];
}

} // namespace monitor
