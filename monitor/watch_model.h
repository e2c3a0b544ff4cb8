// The watch as a table: a row per register or bit a run reads, its newest value, when it last
// changed and how often; bold when the last poll changed it, "stale" when its request's last
// poll failed. The first column's check box chooses the rows the trend plots (up to 8).
#pragma once

#include "benchfiles/register_map.h"
#include "runs/watch_table.h"

#include <QAbstractTableModel>

#include <set>
#include <vector>

namespace monitor {

class WatchModel : public QAbstractTableModel
{
public:
    // Name and Engineering hold what a register map says; without one they stay empty.
    enum Column {
        Row,
        Name,
        Engineering,
        Value,
        Signed,
        Hex,
        Changed,
        Changes,
        State,
        ColumnCount
    };
    static constexpr std::size_t kMostTrended = 8;

    using QAbstractTableModel::QAbstractTableModel;

    void show(std::vector<modbus::WatchRow> rows);
    // The map that names rows (nullptr: none) and the word order for its values.
    void setMap(const modbus::RegisterMap* map, modbus::WordOrder order);
    const std::set<modbus::WatchKey>& trended() const { return trended_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QString text(const modbus::WatchRow& row, int column) const;

    void name();

    std::vector<modbus::WatchRow> rows_;
    std::vector<std::pair<std::string, std::string>> names_; // per row, with a map
    const modbus::RegisterMap* map_ = nullptr;
    modbus::WordOrder order_ = modbus::WordOrder::ABCD;
    std::set<modbus::WatchKey> trended_;
};

// "holding 100 @48": what a watch row and a trend series are called; with a map, a mapped
// entry's name and unit: "temperature (°C) @48".
QString WatchName(const modbus::WatchKey& key, const modbus::RegisterMap* map = nullptr);

} // namespace monitor
