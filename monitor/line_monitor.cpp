#include "monitor/line_monitor.h"

#include "monitor/bench_bar.h"
#include "monitor/caption.h"
#include "monitor/composer.h"
#include "monitor/copyable_table.h"
#include "monitor/frame_table_model.h"
#include "monitor/listen_bar.h"
#include "monitor/message_label.h"
#include "monitor/monitor_run.h"
#include "monitor/number_cells.h"
#include "monitor/poll_panel.h"
#include "monitor/run_views.h"
#include "monitor/trend_view.h"

#include "benchfiles/named_details.h"

#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QScrollBar>
#include <QSettings>
#include <QShortcut>
#include <QSplitter>
#include <QStandardItemModel>
#include <QTabBar>
#include <QTime>
#include <QVBoxLayout>

#include <algorithm>
#include <string_view>

namespace monitor {
namespace {

    QComboBox* choice(QWidget* parent, const QStringList& items)
    {
        auto* box = new QComboBox(parent);
        box->addItems(items);
        return box;
    }

    // The parity choices in the order the box lists them.
    constexpr std::string_view kParities = "neo";

    // Numbers right-aligned so their digits line up; hex in equal-width digits.
    QStandardItem* detailItem(const QString& text)
    {
        auto* item = new QStandardItem(text);
        if (LooksHex(text))
            item->setFont(HexFont());
        if (LooksNumeric(text) || LooksHex(text))
            item->setTextAlignment(kNumberAlignment);
        return item;
    }

} // namespace

LineMonitor::LineMonitor(QWidget* parent)
    : QWidget(parent, Qt::Window)
    , model_(new FrameTableModel(kCapacity, this))
    , detailModel_(new QStandardItemModel(this))
{
    // Only the recording is made here; the widgets wait for the monitor to be shown.
    setObjectName("LineMonitor");
    setLineTitle({});
    recording_.onRows = [this](std::vector<modbus::FrameRow> rows) { showRows(std::move(rows)); };
    recording_.onSendRequest = [this](const std::string& frame) {
        if (onSendRequest)
            onSendRequest(frame);
    };
    recording_.onSendProbe = [this](const std::string& frame) {
        if (onSendProbe)
            onSendProbe(frame);
    };
    refresh_.setSingleShot(true);
    refresh_.setInterval(100);
    connect(&refresh_, &QTimer::timeout, this, &LineMonitor::refreshView);
}

void LineMonitor::build()
{
    if (built_)
        return;
    built_ = true;
    bench_ = new BenchBar(this);
    composer_ = new Composer(this);
    pollPanel_ = new PollPanel(this);
    listenBar_ = new ListenBar(this);
    frames_ = new CopyableTable(this);
    details_ = new CopyableTable(this);
    views_ = new RunViews(details_, this);
    makeChoices();
    status_ = new MessageLabel(this);
    portNote_ = new MessageLabel(this);
    nameChildren();
    frames_->setModel(model_);
    frames_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    sizeColumns();
    details_->setModel(detailModel_);
    layOut();
    composer_->assignAccessKeys(); // now that the window's other keys are known
    // Tall enough that the frames, what a line monitor is for, show a dozen rows at least.
    resize(1100, 860);
    applyHeldChoices();
    connectControls();
    connectRun();
    connectBench();
    connectListening();
    showCounts();
    if (onBuilt)
        onBuilt();
}

void LineMonitor::makeChoices()
{
    parity_ = choice(this, { "none", "even", "odd" });
    stopBits_ = choice(this, { "1", "2" });
    framing_ = choice(this, { "RTU", "ASCII" });
    dataBits_ = choice(this, { "8", "7" });
    speed_ = choice(this,
        { "as the main window", "1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200",
            "230400" });
    wordOrder_ = choice(this, { "ABCD", "CDAB", "BADC", "DCBA" });
    echo_ = choice(this, { "auto", "off", "on" });
}

void LineMonitor::applyHeldChoices()
{
    showLineChoice(parityChoice_, stopBitsChoice_);
    showFramingChoice(framingChoice_, dataBitsChoice_);
    showSpeedChoice(speedChoice_);
    greyLineChoices();
    wordOrder_->setCurrentIndex(int(order_));
    setEcho(recording_.echo());
    portNote_->setText(portNoteText_);
    pollPanel_->setTimeoutMs(recording_.noReplyMs());
    composer_->setPortOpen(recording_.portState() == PortState::Open);
    pollPanel_->setPortOpen(recording_.portState() == PortState::Open);
    composer_->setListening(recording_.listening());
    pollPanel_->setListening(recording_.listening());
    listenBar_->showListening(recording_.listening());
}

void LineMonitor::nameChildren()
{
    parity_->setObjectName("parity");
    speed_->setObjectName("speed");
    stopBits_->setObjectName("stopBits");
    framing_->setObjectName("framing");
    framing_->setToolTip("How frames go on the line: RTU (binary, ended by a silence) or ASCII "
                         "(':', hex, LRC, CR LF)");
    dataBits_->setObjectName("dataBits");
    dataBits_->setToolTip("7 carries ASCII frames only (the standard's ASCII line is 7E1)");
    wordOrder_->setObjectName("wordOrder");
    wordOrder_->setToolTip("How the device lays 32-bit values over two registers; ABCD is "
                           "high word first");
    echo_->setObjectName("echo");
    echo_->setToolTip("Whether the adapter hands back what it sends (two-wire RS-485): on sets "
                      "the request's copy aside, auto tells it from what comes back");
    frames_->setObjectName("frames");
    details_->setObjectName("details");
    status_->setObjectName("status");
    portNote_->setObjectName("portNote");
}

void LineMonitor::sizeColumns()
{
    // Time, Dir and ms as wide as what they show, the bytes as a short reply's; the verdict
    // takes the rest, so that hints read whole. Widths come from the font, not from scanning
    // 100,000 rows; a longer frame's bytes are whole in the details and on a hover.
    QHeaderView* header = frames_->horizontalHeader();
    header->setStretchLastSection(false);
    const QFontMetrics metrics(frames_->font());
    const auto fit = [&](int column, const QString& widest) {
        header->setSectionResizeMode(column, QHeaderView::Interactive);
        header->resizeSection(column, metrics.horizontalAdvance(widest) + 16);
    };
    fit(FrameTableModel::Time, "00:00:00.000");
    fit(FrameTableModel::Dir, "hint");
    fit(FrameTableModel::Ms, "99999.9");
    fit(FrameTableModel::Function, "3 Read Holding Registers");
    header->setSectionResizeMode(FrameTableModel::Bytes, QHeaderView::Interactive);
    header->resizeSection(FrameTableModel::Bytes,
        QFontMetrics(HexFont()).horizontalAdvance("30 03 04 00 0A 00 14 DE 6A 00") + 16);
    header->setSectionResizeMode(FrameTableModel::Verdict, QHeaderView::Stretch);
}

// The line's settings, captions over their boxes so that the row holds from 900 px wide up:
// those that apply at the next Open, then those that apply at once.
QGridLayout* LineMonitor::lineGrid()
{
    auto* grid = new QGridLayout;
    grid->setVerticalSpacing(0);
    int column = 0;
    const auto add = [&](const char* text, QComboBox* box) {
        grid->addWidget(Caption(text, box), 0, column);
        grid->addWidget(box, 1, column++);
    };
    add("Spee&d", speed_);
    add("Parit&y", parity_);
    add("Stop bits", stopBits_);
    add("Framin&g", framing_);
    add("Data bits", dataBits_);
    grid->addWidget(new QLabel("(at the next Open)", this), 1, column++);
    add("&Word order", wordOrder_);
    add("Ec&ho", echo_);
    grid->addWidget(portNote_, 1, column);
    grid->setColumnStretch(column, 1);
    return grid;
}

void LineMonitor::layOut()
{
    QGridLayout* top = lineGrid();
    auto* split = new QSplitter(Qt::Vertical, this);
    split->setObjectName("split");
    split->addWidget(frames_);
    split->addWidget(views_);
    keepSplit(split);
    auto* layout = new QVBoxLayout(this);
    auto* first = new QHBoxLayout;
    first->addWidget(bench_, 1);
    first->addWidget(listenBar_, 1);
    layout->addLayout(first);
    layout->addWidget(composer_);
    layout->addWidget(pollPanel_);
    layout->addLayout(top);
    layout->addWidget(split, 1);
    layout->addWidget(status_);
    orderTabs();
}

void LineMonitor::keepSplit(QSplitter* split)
{
    // The frames take what the window gains; the views below keep their own height. A size the
    // user gave them is remembered for the next session.
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 0);
    QSettings store(QSettings::IniFormat, QSettings::UserScope, "Quillet", "quillet");
    if (const QByteArray kept = store.value(kSplitKey).toByteArray(); !kept.isEmpty())
        split->restoreState(kept);
    else
        split->setSizes({ 10'000, views_->minimumSizeHint().height() });
    connect(split, &QSplitter::splitterMoved, this, [split] {
        QSettings(QSettings::IniFormat, QSettings::UserScope, "Quillet", "quillet")
            .setValue(kSplitKey, split->saveState());
    });
}

void LineMonitor::orderTabs()
{
    // Reading order: the bench's files and the composer as made, then the run's controls, the
    // line, the frames, the views.
    std::vector<QWidget*> chain { composer_->findChild<QWidget*>("send") };
    for (const char* name : { "pollList", "add", "remove", "interval", "count", "timeout",
             "backOff", "poll", "stop", "record" })
        chain.push_back(pollPanel_->findChild<QWidget*>(name));
    chain.insert(chain.end(),
        { speed_, parity_, stopBits_, framing_, dataBits_, wordOrder_, echo_, frames_ });
    for (std::size_t i = 1; i < chain.size(); ++i)
        setTabOrder(chain[i - 1], chain[i]);
    // The listening buttons share the bench's row: after its files, before the composer.
    QWidget* before = bench_->findChild<QWidget*>("recentWorkspaces");
    for (const char* name : { "listen", "findSpeed", "saveCapture" }) {
        QWidget* next = listenBar_->findChild<QWidget*>(name);
        setTabOrder(before, next);
        before = next;
    }
}

void LineMonitor::connectControls()
{
    const auto chosen = [this] {
        if (onLineChosen)
            onLineChosen(kParities[parity_->currentIndex()], stopBits_->currentIndex() + 1);
    };
    connect(parity_, &QComboBox::currentIndexChanged, this, chosen);
    connect(stopBits_, &QComboBox::currentIndexChanged, this, chosen);
    const auto framed = [this] {
        if (onFramingChosen)
            onFramingChosen(
                framing_->currentIndex() == 1 ? modbus::Framing::Ascii : modbus::Framing::Rtu,
                dataBits_->currentIndex() == 1 ? 7 : 8);
    };
    connect(framing_, &QComboBox::currentIndexChanged, this, framed);
    connect(dataBits_, &QComboBox::currentIndexChanged, this, framed);
    connect(echo_, &QComboBox::currentIndexChanged, this, [this](int at) {
        // In the box's order: auto, off, on.
        constexpr modbus::EchoMode kModes[]
            = { modbus::EchoMode::Auto, modbus::EchoMode::Off, modbus::EchoMode::On };
        recording_.setEcho(kModes[std::clamp(at, 0, 2)]);
    });
    connect(speed_, &QComboBox::currentIndexChanged, this, [this](int at) {
        if (onSpeedChosen)
            onSpeedChosen(at == 0 ? 0 : speed_->itemText(at).toInt());
    });
    connect(frames_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
        &LineMonitor::showDetails);
    composer_->onSend = [this](const std::string& frame) {
        recording_.sendComposed(frame, composer_->readBackWrite());
    };
    composer_->wireText = [this](const std::string& frame) { return recording_.wireText(frame); };
    // F2 closes the monitor as it opened it, whichever control has the focus.
    connect(new QShortcut(Qt::Key_F2, this), &QShortcut::activated, this, &QWidget::close);
}

void LineMonitor::setPortNote(const QString& note)
{
    portNoteText_ = note;
    if (built_)
        portNote_->setText(note);
}

void LineMonitor::setPortState(PortState state)
{
    if (state == PortState::Open && openFailed_) {
        openFailed_ = false;
        showTitle();
    }
    recording_.setPortState(state);
    if (built_) {
        composer_->setPortOpen(state == PortState::Open);
        pollPanel_->setPortOpen(state == PortState::Open);
    }
    refreshView();
}

LineMonitor::~LineMonitor() = default;

void LineMonitor::setLineTitle(const QString& line)
{
    lineTitle_ = line;
    openFailed_ = false; // another port or setting: not the one that failed
    showTitle();
}

void LineMonitor::openFailed()
{
    openFailed_ = true;
    showTitle();
}

void LineMonitor::showTitle()
{
    setWindowTitle(
        (lineTitle_.isEmpty() ? "Quillet line monitor" : "Quillet line monitor " + lineTitle_)
        + (openFailed_ ? " (could not be opened)" : ""));
}

void LineMonitor::showLineChoice(char parity, int stopBits)
{
    parityChoice_ = parity;
    stopBitsChoice_ = stopBits;
    if (!built_)
        return;
    const QSignalBlocker a(parity_), b(stopBits_);
    const std::size_t at = kParities.find(parity);
    parity_->setCurrentIndex(at == std::string_view::npos ? 0 : int(at));
    stopBits_->setCurrentIndex(stopBits == 2 ? 1 : 0);
}

void LineMonitor::showFramingChoice(modbus::Framing framing, int dataBits)
{
    framingChoice_ = framing;
    dataBitsChoice_ = dataBits;
    if (!built_)
        return;
    const QSignalBlocker a(framing_), b(dataBits_);
    framing_->setCurrentIndex(framing == modbus::Framing::Ascii ? 1 : 0);
    dataBits_->setCurrentIndex(dataBits == 7 ? 1 : 0);
}

void LineMonitor::showSpeedChoice(int bitsPerSecond)
{
    speedChoice_ = bitsPerSecond;
    if (!built_)
        return;
    const QSignalBlocker block(speed_);
    const int at = speed_->findText(QString::number(bitsPerSecond));
    speed_->setCurrentIndex(at < 0 ? 0 : at);
}

void LineMonitor::sessionOpened(
    const QString& line, std::optional<modbus::Framing> network, modbus::Framing lineFraming)
{
    recording_.sessionOpened(line.toStdString(), network, lineFraming);
    network_ = network.has_value();
    greyLineChoices();
    refreshView();
}

void LineMonitor::greyLineChoices()
{
    if (!built_)
        return;
    const QString why = network_
        ? "A network link has no speed, parity or stop bits here: a gateway's serial side is set "
          "on the gateway"
        : QString();
    for (QComboBox* box : { speed_, parity_, stopBits_, framing_, dataBits_ }) {
        box->setEnabled(!network_);
        box->setToolTip(why);
    }
    listenBar_->setRefusal(network_ ? "A network link has no line to hear: listening needs a "
                                      "serial port"
                                    : QString());
}

modbus::EchoMode LineMonitor::echo() const { return recording_.echo(); }

void LineMonitor::setEcho(modbus::EchoMode mode)
{
    recording_.setEcho(mode);
    if (built_)
        echo_->setCurrentIndex(mode == modbus::EchoMode::Auto ? 0
                : mode == modbus::EchoMode::Off               ? 1
                                                              : 2);
}

void LineMonitor::written(
    const std::string& frame, int count, bool rawText, const std::string& notSent)
{
    recording_.written(frame, count, rawText, notSent);
}

void LineMonitor::read(const std::string& chunk) { recording_.read(chunk); }

void LineMonitor::showRows(std::vector<modbus::FrameRow> rows)
{
    if (!isVisible()) {
        // Hidden, rows wait outside the table: a model with a view costs more per row than the
        // analysis, and nobody looks. Shown, they join the table at once.
        for (modbus::FrameRow& row : rows)
            hidden_.push_back(std::move(row));
        while (hidden_.size() > kCapacity)
            hidden_.pop_front();
        return;
    }
    if (!refresh_.isActive()) {
        // Follow new rows only while the view is at the end, so a row being read stays put.
        const QScrollBar* bar = frames_->verticalScrollBar();
        follow_ = bar->value() == bar->maximum();
        refresh_.start();
    }
    model_->append(std::move(rows));
}

void LineMonitor::setVisible(bool visible)
{
    if (visible)
        build();
    QWidget::setVisible(visible);
}

void LineMonitor::showEvent(QShowEvent* event)
{
    if (!hidden_.empty()) {
        model_->append(std::vector<modbus::FrameRow>(
            std::make_move_iterator(hidden_.begin()), std::make_move_iterator(hidden_.end())));
        hidden_.clear();
        follow_ = true;
    }
    QWidget::showEvent(event);
    refreshView();
}

void LineMonitor::refreshView()
{
    if (!built_)
        return; // nothing shows the counts yet
    if (follow_)
        frames_->scrollToBottom();
    if (!frames_->currentIndex().isValid())
        showDetails(); // the newest reply, until a row is chosen
    showCounts();
    const PollRun* run = recording_.run();
    // What was heard shows while listening, and until a run has something to show.
    if (recording_.listenSession() && (recording_.listening() || !run))
        return showListening();
    if (!run)
        return;
    // A pty or a network has no latency timer: its steps are the window's own pauses.
    views_->show(run, recording_.characterUs(), mayBeUsb_ && recording_.characterUs() > 0);
    pollPanel_->setRunning(!run->finished());
    pollPanel_->setRecording(!recording_.recordPath().empty());
    pollPanel_->setStatus(runState(*run));
}

// "59 polls, 59 good, done; backed off: 3; recording to data.csv, 59 rows; <a log problem>".
QString LineMonitor::runState(const PollRun& run) const
{
    const modbus::PollStatistics& s = run.statistics();
    // The run goes on without its data log, and says so for as long as it is shown.
    const QString problem = recording_.recordProblem();
    const QString recorded = recording_.recordPath().empty() || !problem.isEmpty()
        ? QString()
        : QString("; recording to %1, %2 row%3")
              .arg(QFileInfo(QString::fromStdString(recording_.recordPath())).fileName())
              .arg(run.recordedRows())
              .arg(run.recordedRows() == 1 ? "" : "s");
    QString backedOff;
    for (const int slave : run.backOff().backedOffSlaves())
        backedOff += (backedOff.isEmpty() ? "; backed off: " : ", ") + QString::number(slave);
    return QString("%1 polls, %2 good%3%4%5%6")
        .arg(s.requests())
        .arg(s.count(modbus::PollOutcome::Good))
        .arg(run.finished() ? ", done" : "")
        .arg(backedOff)
        .arg(recorded)
        .arg(problem.isEmpty() ? "" : "; " + problem);
}

void LineMonitor::connectRun()
{
    pollPanel_->currentRequest
        = [this] { return std::pair(composer_->command().toStdString(), composer_->frame()); };
    pollPanel_->onStart = [this](std::vector<std::string> frames, modbus::PollSettings settings) {
        startRun(std::move(frames), settings);
    };
    pollPanel_->onStop = [this] { stopRun(); };
    pollPanel_->onRecord = [this](const std::string& path) {
        recordTo(path);
        refreshView();
    };
    pollPanel_->onTimeoutChanged = [this](int ms) { recording_.setNoReplyMs(ms); };
}

void LineMonitor::startRun(std::vector<std::string> frames, modbus::PollSettings settings)
{
    build(); // a run shows in the views
    views_->trend()->clear();
    PollRun* run = recording_.startRun(std::move(frames), settings);
    if (!run)
        return;
    const std::int64_t startUs = recording_.now().monoUs;
    run->onValues = [this, startUs](const modbus::ReadValues& values, std::int64_t monoUs) {
        views_->trend()->add(values, double(monoUs - startUs) / 1e6);
    };
    pollPanel_->setRunning(true);
    refreshView();
}

void LineMonitor::stopRun()
{
    recording_.stopRun();
    refreshView();
}

bool LineMonitor::recordTo(const std::string& path) { return recording_.recordTo(path); }

// The row the details show: the one selected, else the newest reply or exception among the
// last rows (a search bounded so that a long session of noise costs nothing).
std::optional<int> LineMonitor::detailedRow() const
{
    if (const QModelIndex current = frames_->currentIndex(); current.isValid())
        return current.row();
    const int last = model_->rowCount() - 1;
    for (int i = last; i >= 0 && i > last - 1000; --i)
        if (const modbus::RowKind kind = model_->row(i).kind;
            kind == modbus::RowKind::Reply || kind == modbus::RowKind::Exception)
            return i;
    return std::nullopt;
}

void LineMonitor::showDetails()
{
    detailModel_->clear();
    details_->setCopyFooter({});
    const std::optional<int> shown = detailedRow();
    if (!shown)
        return;
    const modbus::FrameRow& row = model_->row(*shown);
    // A no reply's hint follows it as a row of its own: it is shown whole with it.
    const bool hinted = row.kind == modbus::RowKind::NoReply && *shown + 1 < model_->rowCount()
        && model_->row(*shown + 1).kind == modbus::RowKind::Hint;
    modbus::DetailTable table = modbus::RowDetails(
        row, wordOrder(), hinted ? model_->row(*shown + 1).verdict : std::string());
    if (map_ && row.kind == modbus::RowKind::Reply)
        table = modbus::NamedDetails(std::move(table), row, *map_, wordOrder());
    QStringList headers;
    for (const std::string& h : table.headers)
        headers << QString::fromStdString(h);
    detailModel_->setHorizontalHeaderLabels(headers);
    details_->setCopyFooter(QString::fromStdString(table.summary));
    for (const auto& cells : table.rows) {
        QList<QStandardItem*> items;
        for (const std::string& cell : cells)
            items << detailItem(QString::fromStdString(cell));
        detailModel_->appendRow(items);
    }
    details_->resizeColumnsToContents(); // a float's digits whole; the rows are few
}

QString LineMonitor::statusText() const
{
    if (recording_.listening())
        return listeningStatus();
    const modbus::LineCounts& c = recording_.counts();
    return QString("Since Open: %1 requests, %2 replies, %3 CRC BAD, %4 exceptions, %5 no reply")
        .arg(c.requests)
        .arg(c.replies)
        .arg(c.crcBad)
        .arg(c.exceptions)
        .arg(c.noReply);
}

void LineMonitor::showCounts() { status_->setText(statusText()); }

} // namespace monitor
