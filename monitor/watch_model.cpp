#include "watch_model.h"

#include "number_cells.h"

#include "benchfiles/map_values.h"
#include "modbus/number_format.h"
#include "runs/named_watch.h"

#include <QFont>
#include <QTime>

namespace monitor {

QString WatchName(const modbus::WatchKey& key, const modbus::RegisterMap* map)
{
    if (const modbus::MapEntry* e = map ? EntryAt(*map, key.table, key.address) : nullptr)
        return QString("%1%2 @%3")
            .arg(QString::fromStdString(e->name),
                e->unit.empty() ? QString() : " (" + QString::fromStdString(e->unit) + ")")
            .arg(key.slave);
    return QString("%1 %2 @%3").arg(modbus::TableName(key.table)).arg(key.address).arg(key.slave);
}

void WatchModel::name()
{
    names_ = map_ ? modbus::WatchNames(rows_, *map_, order_)
                  : std::vector<std::pair<std::string, std::string>>(rows_.size());
}

void WatchModel::setMap(const modbus::RegisterMap* map, modbus::WordOrder order)
{
    beginResetModel();
    map_ = map;
    order_ = order;
    name();
    endResetModel();
}

void WatchModel::show(std::vector<modbus::WatchRow> rows)
{
    if (rows.size() != rows_.size()) {
        beginResetModel();
        rows_ = std::move(rows);
        name();
        endResetModel();
        return;
    }
    rows_ = std::move(rows);
    name();
    if (!rows_.empty())
        emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
}

int WatchModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(rows_.size());
}

int WatchModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString WatchModel::text(const modbus::WatchRow& row, int column) const
{
    const bool bit
        = row.key.table == modbus::DataTable::Coils || row.key.table == modbus::DataTable::Inputs;
    switch (column) {
    case Row:
        return WatchName(row.key);
    case Name:
        return QString::fromStdString(names_[std::size_t(&row - rows_.data())].first);
    case Engineering:
        return QString::fromStdString(names_[std::size_t(&row - rows_.data())].second);
    case Value:
        return QString::number(row.value);
    case Signed:
        return bit ? QString() : QString::number(std::int16_t(row.value));
    case Hex:
        return bit ? QString() : QString::fromStdString(modbus::HexNumber(row.value));
    case Changed:
        return QTime::fromMSecsSinceStartOfDay(int(row.changedWallMs % 86'400'000))
            .toString("HH:mm:ss.zzz");
    case Changes:
        return QString::number(row.changes);
    case State:
        return row.backedOff      ? "backed off"
            : row.stale           ? "stale"
            : row.changedRecently ? "changed"
                                  : QString();
    default:
        return {};
    }
}

QVariant WatchModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || std::size_t(index.row()) >= rows_.size())
        return {};
    const modbus::WatchRow& row = rows_[std::size_t(index.row())];
    if (role == Qt::DisplayRole)
        return text(row, index.column());
    if (role == Qt::CheckStateRole && index.column() == Row)
        return trended_.count(row.key) ? Qt::Checked : Qt::Unchecked;
    const int column = index.column();
    if (role == Qt::TextAlignmentRole
        && (column == Value || column == Signed || column == Hex || column == Changes))
        return QVariant::fromValue(kNumberAlignment);
    if (role == Qt::FontRole && column == Hex && !row.changedRecently && !row.stale)
        return HexFont();
    if (role == Qt::FontRole && (row.changedRecently || row.stale)) {
        // Told by the State column's word too, never by the font alone.
        QFont font = column == Hex ? HexFont() : QFont();
        font.setBold(row.changedRecently);
        font.setItalic(row.stale);
        return font;
    }
    return {};
}

bool WatchModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::CheckStateRole || index.column() != Row || !index.isValid()
        || std::size_t(index.row()) >= rows_.size())
        return false;
    const modbus::WatchKey key = rows_[std::size_t(index.row())].key;
    if (value.toInt() == Qt::Checked && trended_.size() < kMostTrended)
        trended_.insert(key);
    else
        trended_.erase(key);
    emit dataChanged(index, index);
    return true;
}

Qt::ItemFlags WatchModel::flags(const QModelIndex& index) const
{
    const Qt::ItemFlags base = QAbstractTableModel::flags(index);
    return index.column() == Row ? base | Qt::ItemIsUserCheckable : base;
}

QVariant WatchModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const char* kHeaders[] = { "Register or bit (trend)", "Name", "Engineering", "Value",
        "Signed", "Hex", "Changed", "Changes", "State" };
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section >= ColumnCount)
        return {};
    return kHeaders[section];
}

} // namespace monitor
