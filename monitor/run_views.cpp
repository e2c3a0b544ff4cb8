#include "run_views.h"

#include "copyable_table.h"
#include "histogram_view.h"
#include "monitor_run.h"
#include "scan_panel.h"
#include "trend_view.h"
#include "watch_model.h"

#include "modbus/number_format.h"

#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QVBoxLayout>

namespace monitor {
namespace {

    // What a reply time is made of, as the README says.
    const char* const kReplyTimeNote
        = "A reply time runs from the end of the request's write to the end of the read that "
          "brought the reply's last byte: it includes the 10 ms pause after each request and "
          "the 20 ms of silence a read waits for after the last byte.";

    QString msText(std::optional<double> ms)
    {
        return ms ? QString::fromStdString(modbus::FloatText(*ms, 4)) + " ms" : "-";
    }

    // What a run comes to, first and large: its error rate, then its median and p95 reply times.
    QString headline(double errorPercent, long requests, const modbus::PollStatistics& times)
    {
        if (requests == 0)
            return "No requests yet";
        return QString("Errors %1 %   ·   median %2   ·   p95 %3")
            .arg(QString::fromStdString(modbus::FloatText(errorPercent, 3)))
            .arg(msText(times.percentileMs(0.5)))
            .arg(msText(times.percentileMs(0.95)));
    }

    // Requests heard and their good replies, broadcasts left out: nobody answers them.
    std::pair<long, long> heardCounts(const modbus::ListenStatistics& heard)
    {
        long requests = 0, good = 0;
        for (const auto& [slave, s] : heard.slaves())
            if (slave != 0) {
                requests += s.requests;
                good += s.good;
            }
        return { requests, good };
    }

} // namespace

RunViews::RunViews(CopyableTable* details, QWidget* parent)
    : QTabWidget(parent)
    , watchModel_(new WatchModel(this))
    , watch_(new CopyableTable(this))
    , headline_(new QLabel(this))
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
    addTab(details, "Details");
    addTab(watch_, "Watch");
    addTab(statisticsPage(), "Statistics");
    addTab(trend_, "Trend");
    addTab(scan_, "Scan");
    connect(watchModel_, &QAbstractItemModel::dataChanged, this,
        [this] { trend_->setChosen(watchModel_->trended()); });
    clear();
    setMap(nullptr, modbus::WordOrder::ABCD);
}

QWidget* RunViews::statisticsPage()
{
    headline_->setObjectName("headline");
    QFont large = headline_->font();
    large.setPointSizeF(large.pointSizeF() * 1.4);
    large.setBold(true);
    headline_->setFont(large);
    auto* split = new QSplitter(Qt::Horizontal, this);
    split->addWidget(statistics_);
    split->addWidget(histogram_);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 1);
    auto* page = new QWidget(this);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(headline_);
    layout->addWidget(split, 1);
    return page;
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
    headline_->setText("No polling run yet");
    histogram_->show({});
    trend_->clear();
}

void RunViews::show(const PollRun* run, std::int64_t characterUs, bool mayBeUsb)
{
    if (!run)
        return;
    watchModel_->show(run->watch().rows());
    const QString text
        = QString::fromStdString(run->report(characterUs, mayBeUsb)) + "\n" + kReplyTimeNote;
    if (statistics_->toPlainText() != text)
        statistics_->setPlainText(text);
    const modbus::PollStatistics& s = run->statistics();
    headline_->setText(headline(s.errorPercent(), s.requests(), s));
    histogram_->show(s.histogram());
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
    const auto [requests, good] = heardCounts(heard.statistics());
    headline_->setText(headline(requests ? 100.0 * double(requests - good) / double(requests) : 0,
        requests, heard.replyTimes()));
    histogram_->show(heard.replyTimes().histogram());
}

QString RunViews::statisticsText() const { return statistics_->toPlainText(); }

QString RunViews::headlineText() const { return headline_->text(); }

} // namespace monitor
