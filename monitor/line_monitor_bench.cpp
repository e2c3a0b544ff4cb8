// The monitor's bench files: the register map and workspaces.
#include "monitor/bench_bar.h"
#include "monitor/composer.h"
#include "monitor/line_monitor.h"
#include "monitor/poll_panel.h"
#include "monitor/run_views.h"

#include "benchfiles/file_limits.h"
#include "benchfiles/named_request.h"
#include "modbus/function_table.h"

#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace monitor {
namespace {

    // A file's text, or nullopt when it cannot be read or is larger than limit.
    std::optional<std::string> fileText(const QString& path, std::size_t limit)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly) || std::size_t(file.size()) > limit)
            return std::nullopt;
        const QByteArray bytes = file.readAll();
        return std::string(bytes.constData(), std::size_t(bytes.size()));
    }

    QString lines(const std::vector<std::string>& texts)
    {
        QStringList list;
        for (const std::string& t : texts)
            list << QString::fromStdString(t);
        return list.join('\n');
    }

    std::string utf8(const QString& text) { return text.toUtf8().toStdString(); }
    QString fromUtf8(const std::string& text) { return QString::fromUtf8(text); }

} // namespace

void LineMonitor::connectBench()
{
    bench_->onMap = [this](const QString& path) { loadMap(path); };
    bench_->onOpen = [this](const QString& path) { openWorkspace(path); };
    bench_->onSave = [this](const QString& path) { saveWorkspace(path); };
    // The order reads the details' pairs and the map's values: all follow it.
    connect(wordOrder_, &QComboBox::currentIndexChanged, this, [this](int at) {
        order_ = modbus::WordOrder(at);
        mapChanged();
    });
}

modbus::WordOrder LineMonitor::wordOrder() const { return order_; }

modbus::ParsedRequest LineMonitor::parse(const std::string& command) const
{
    // As the composer reads it, whether or not the composer is made yet.
    if (!map_)
        return modbus::ParseRequest(command);
    return modbus::ParseNamedRequest(command, *map_, order_).parsed;
}

bool LineMonitor::loadMap(const QString& path)
{
    build(); // the bench bar tells how it loaded
    const QString name = QFileInfo(path).fileName();
    const std::optional<std::string> text = fileText(path, modbus::kLargestTextFile);
    if (!text) {
        mapNote_ = "Cannot read the map " + name + " (or it is over 16 MiB)";
        bench_->setNote(mapNote_);
        return false;
    }
    auto map = std::make_shared<modbus::RegisterMap>(modbus::ReadRegisterMap(*text));
    mapNote_
        = QString("Map %1: %2 registers named%3")
              .arg(name)
              .arg(map->entries.size())
              .arg(map->refused.empty()
                      ? QString()
                      : QString(", %1 lines refused (hover for why)").arg(map->refused.size()));
    bench_->setNote(mapNote_, lines(map->refused));
    map_ = std::move(map);
    mapPath_ = QFileInfo(path).absoluteFilePath();
    mapChanged();
    return true;
}

void LineMonitor::mapChanged()
{
    composer_->setMap(map_.get(), wordOrder());
    views_->setMap(map_.get(), wordOrder());
    showDetails();
}

modbus::Workspace LineMonitor::workspace(const QString& path) const
{
    modbus::Workspace w;
    if (fillMainPart)
        fillMainPart(w);
    if (const auto slave = modbus::ParseInteger(utf8(composer_->slave().trimmed())))
        w.slave = int(*slave);
    w.command = utf8(composer_->command());
    w.requests = pollPanel_->commands();
    w.intervalMs = pollPanel_->intervalMs();
    w.count = pollPanel_->count();
    w.timeoutMs = pollPanel_->timeoutMs();
    w.byteTimeoutMs = byteTimeoutMs_;
    w.graceMs = graceMs_;
    w.echo = echo();
    if (!mapPath_.isEmpty())
        w.map = modbus::MapPathForWorkspace(utf8(mapPath_), utf8(path));
    w.order = wordOrder();
    return w;
}

bool LineMonitor::saveWorkspace(const QString& path)
{
    build();
    QSaveFile file(path);
    const std::string text = modbus::WriteWorkspace(workspace(path));
    const bool saved = file.open(QIODevice::WriteOnly)
        && file.write(text.data(), qint64(text.size())) == qint64(text.size()) && file.commit();
    bench_->setNote((saved ? "Saved " : "Cannot save ") + QFileInfo(path).fileName());
    if (saved)
        bench_->remember(QFileInfo(path).absoluteFilePath());
    return saved;
}

bool LineMonitor::openWorkspace(const QString& path)
{
    build();
    const QString name = QFileInfo(path).fileName();
    // The reader says when a workspace is too large; files beyond all reason are not read.
    const std::optional<std::string> text = fileText(path, modbus::kLargestTextFile);
    const modbus::OpenedWorkspace opened = text
        ? modbus::ReadWorkspace(*text)
        : modbus::OpenedWorkspace { {}, { "cannot read the file (or it is over 16 MiB)" }, {} };
    if (!opened.refused.empty()) {
        bench_->setNote(
            "Cannot open " + name + ": " + fromUtf8(opened.refused.front()), lines(opened.refused));
        return false;
    }
    std::vector<std::string> told = opened.notices;
    const std::vector<std::string> unread
        = applyWorkspace(opened.workspace, QFileInfo(path).absoluteFilePath());
    told.insert(told.end(), unread.begin(), unread.end());
    const QString mapNote = opened.workspace.map ? mapNote_ : QString(); // how its map loaded
    bench_->setNote("Opened " + name
            + (told.empty() ? QString() : QString(", %1 notices (hover for them)").arg(told.size()))
            + (mapNote.isEmpty() ? QString() : "; " + mapNote),
        lines(told));
    bench_->remember(QFileInfo(path).absoluteFilePath());
    return true;
}

std::vector<std::string> LineMonitor::listRequests(const std::vector<std::string>& commands)
{
    const auto slave = modbus::ParseInteger(utf8(composer_->slave().trimmed())).value_or(1);
    std::vector<std::string> unread;
    std::vector<std::pair<std::string, std::string>> listed;
    for (const std::string& command : commands) {
        const modbus::ParsedRequest parsed = parse(command);
        const std::string frame = parsed.error.empty()
            ? modbus::BuildRequest(int(slave), parsed.fields).frame
            : std::string();
        if (frame.empty())
            unread.push_back("a request left out: " + command);
        else
            listed.emplace_back(command, frame);
    }
    pollPanel_->setList(listed);
    return unread;
}

std::vector<std::string> LineMonitor::applyWorkspace(
    const modbus::Workspace& w, const QString& path)
{
    std::vector<std::string> unread;
    if (applyMainPart)
        applyMainPart(w);
    if (w.slave)
        composer_->setSlave(QString::number(*w.slave));
    if (w.order)
        wordOrder_->setCurrentIndex(int(*w.order));
    if (w.map)
        loadMap(fromUtf8(modbus::MapPathFromWorkspace(*w.map, utf8(path))));
    if (w.command)
        composer_->setCommand(fromUtf8(*w.command));
    if (w.requests)
        unread = listRequests(*w.requests);
    if (w.intervalMs || w.count)
        pollPanel_->setSettings(
            w.intervalMs.value_or(pollPanel_->intervalMs()), w.count.value_or(pollPanel_->count()));
    if (w.timeoutMs)
        pollPanel_->setTimeoutMs(*w.timeoutMs);
    if (w.byteTimeoutMs)
        byteTimeoutMs_ = w.byteTimeoutMs;
    if (w.graceMs) {
        graceMs_ = w.graceMs;
        recording_.setGraceMs(*w.graceMs);
    }
    if (w.echo)
        setEcho(*w.echo);
    return unread;
}

} // namespace monitor
