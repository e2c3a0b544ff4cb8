#include "monitor/copyable_table.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QKeyEvent>

#include <algorithm>

namespace monitor {

CopyableTable::CopyableTable(QWidget* parent)
    : QTableView(parent)
{
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    setTabKeyNavigation(false); // Tab moves to the next control, the arrows move in the table
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    horizontalHeader()->setStretchLastSection(true);
}

QString CopyableTable::selectedAsText() const
{
    const QAbstractItemModel* m = model();
    if (!m)
        return {};
    QStringList cells;
    // What is shown is what is copied: hidden columns stay out.
    for (int c = 0; c < m->columnCount(); ++c)
        if (!isColumnHidden(c))
            cells << m->headerData(c, Qt::Horizontal).toString();
    QString text = cells.join('\t') + '\n';
    QModelIndexList rows = selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(),
        [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    for (const QModelIndex& row : rows) {
        cells.clear();
        for (int c = 0; c < m->columnCount(); ++c) {
            if (isColumnHidden(c))
                continue;
            // Models that shorten what they show give the whole text in the user role.
            const QModelIndex cell = m->index(row.row(), c);
            const QVariant whole = cell.data(Qt::UserRole);
            cells << (whole.isValid() ? whole : cell.data()).toString();
        }
        text += cells.join('\t') + '\n';
    }
    return footer_.isEmpty() ? text : text + footer_ + '\n';
}

void CopyableTable::keyPressEvent(QKeyEvent* event)
{
    if (event == QKeySequence::Copy) {
        QApplication::clipboard()->setText(selectedAsText());
        return;
    }
    QTableView::keyPressEvent(event);
}

} // namespace monitor
