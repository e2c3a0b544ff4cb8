// A table view whose copy (Ctrl+C) gives the selected rows as tab-separated text with a header
// row, the way a spreadsheet takes them.
#pragma once

#include <QTableView>

namespace window {

class CopyableTable : public QTableView
{
public:
    explicit CopyableTable(QWidget* parent = nullptr);

    // The header row, then each selected row in order.
    QString selectedAsText() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

} // namespace window
