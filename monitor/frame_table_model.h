// The monitor's frame rows as a table: a model over a ring of the newest rows, so a night of
// traffic stays bounded and the view asks only for the rows it paints.
#pragma once

#include "modbus/frame_analysis.h"

#include <QAbstractTableModel>

#include <deque>
#include <vector>

namespace monitor {

class FrameTableModel : public QAbstractTableModel
{
public:
    enum Column { Time, Dir, Bytes, Function, Verdict, Ms, ColumnCount };
    // A cell's whole text; the display role shows at most kShownCharacters of it.
    static constexpr int kFullTextRole = Qt::UserRole;
    static constexpr int kShownCharacters = 120;

    explicit FrameTableModel(std::size_t capacity, QObject* parent = nullptr);

    // Appends the rows, dropping the oldest past the capacity.
    void append(std::vector<modbus::FrameRow> rows);
    const modbus::FrameRow& row(int index) const { return rows_[std::size_t(index)]; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::size_t capacity_;
    std::deque<modbus::FrameRow> rows_;
};

// What a row's cell shows, as the table and its copy give it.
QString CellText(const modbus::FrameRow& row, int column);

} // namespace monitor
