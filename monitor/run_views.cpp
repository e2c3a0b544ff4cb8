#include "run_views.h"

#include "copyable_table.h"
#include "histogram_view.h"
#include "monitor_run.h"
#include "scan_panel.h"
#include "trend_view.h"
#include "watch_model.h"

#include <QHeaderView>
#include <QPlainTextEdit>
#include <QSplitter>

namespace monitor {
namespace {

    // What a reply time is made of, as the README says.
    const char* const kReplyTimeNote
        = "A reply time runs from the end of the request's write to the end of the read that "
          "brought the reply's last byte: it includes the 10 ms pause after each request and "
          "the 20 ms of silence a read waits for after the last byte.";

} // namespace

RunViews::RunViews(CopyableTable* details, QWidget* parent)
    : QTabWidget(parent)
    , watchModel_(new WatchModel(this))
    , watch_(new CopyableTable(this))
    , statistics_(new QPlainTextEdit(this))
    , histogram_(new HistogramView(this))
    , trend_(new TrendView(this))
    , scan_(new ScanPanel(this))
{
    setObjectName("views");
    watch_->setObjectName("watch");
    watch_->setModel(watchModel_);
    watch_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    statistics_->setObjectName("statistics");
    statistics_->setReadOnly(true);
    statistics_->setUndoRedoEnabled(false);
    auto* split = new QSplitter(Qt::Horizontal, this);
    split->addWidget(statistics_);
    split->addWidget(histogram_);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 1);
    addTab(details, "Details");
    addTab(watch_, "Watch");
    addTab(split, "Statistics");
    addTab(trend_, "Trend");
    addTab(scan_, "Scan");
    connect(watchModel_, &QAbstractItemModel::dataChanged, this,
        [this] { trend_->setChosen(watchModel_->trended()); });
    clear();
    setMap(nullptr, modbus::WordOrder::ABCD);
}

void RunViews::setMap(const modbus::RegisterMap* map, modbus::WordOrder order)
{
    watchModel_->setMap(map, order);
    trend_->setMap(map, order);
    for (const int column : { WatchModel::Name, WatchModel::Engineering })
        watch_->setColumnHidden(column, !map);
}

void RunViews::clear()
{
    watchModel_->show({});
    statistics_->setPlainText(QString("No polling run yet.\n\n") + kReplyTimeNote);
    histogram_->show({});
    trend_->clear();
}

void RunViews::show(const PollRun* run, std::int64_t characterUs)
{
    if (!run)
        return;
    watchModel_->show(run->watch().rows());
    const QString text = QString::fromStdString(run->report(characterUs)) + "\n" + kReplyTimeNote;
    if (statistics_->toPlainText() != text)
        statistics_->setPlainText(text);
    histogram_->show(run->statistics().histogram());
    trend_->setChosen(watchModel_->trended());
}

void RunViews::showListening(const modbus::ListenSession& heard)
{
    watchModel_->show(heard.watch().rows());
    const QString text = "Heard on the line, slave by slave:\n"
        + QString::fromStdString(heard.statistics().report())
        + "\nA reply time runs from the end of its request to the end of the reply, as the "
          "reads were stamped when their bytes arrived.";
    if (statistics_->toPlainText() != text)
        statistics_->setPlainText(text);
    histogram_->show(heard.replyTimes().histogram());
}

QString RunViews::statisticsText() const { return statistics_->toPlainText(); }

} // namespace monitor
