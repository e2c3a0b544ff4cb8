// The bench's files in the monitor: "Map…" loads a register map, "Open workspace…" and
// "Save workspace…" a workspace, "Recent" lists the workspaces last opened or saved. The monitor
// does the loading and saving; a line beside the buttons tells how it went.
#pragma once

#include <QWidget>

#include <functional>

class QLabel;
class QPushButton;
class QToolButton;

namespace monitor {

class BenchBar : public QWidget
{
public:
    static constexpr int kRecent = 8;

    explicit BenchBar(QWidget* parent = nullptr);

    std::function<void(const QString& path)> onMap;
    std::function<void(const QString& path)> onOpen;
    std::function<void(const QString& path)> onSave;

    // The line beside the buttons; details (every refused line) show as its tooltip.
    void setNote(const QString& text, const QString& details = {});
    QString note() const;
    // A workspace opened or saved: first in the recent list, which is stored then and only then
    // (nothing is kept unless the user saves or opens a workspace).
    void remember(const QString& path);
    QStringList recent() const;

private:
    void layOut();
    void connectButtons();
    void fillRecent();
    QString chooseFile(const char* title, bool saving, const char* filter);

    QPushButton* map_;
    QPushButton* open_;
    QPushButton* save_;
    QToolButton* recent_;
    QLabel* note_;
};

} // namespace monitor
