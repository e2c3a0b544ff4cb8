// A table view whose copy (Ctrl+C) gives the selected rows as tab-separated text with a header
// row, the way a spreadsheet takes them.
#pragma once

#include <QTableView>

namespace monitor {

class CopyableTable : public QTableView
{
public:
    explicit CopyableTable(QWidget* parent = nullptr);

    // The header row, then each selected row in order, then the footer.
    QString selectedAsText() const;
    // What a copy adds after the rows (bits as 0/1 runs); empty for none.
    void setCopyFooter(const QString& footer) { footer_ = footer; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QString footer_;
};

} // namespace monitor
