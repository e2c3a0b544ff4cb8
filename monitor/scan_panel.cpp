#include "scan_panel.h"

#include "caption.h"
#include "copyable_table.h"
#include "message_label.h"

#include "modbus/number_format.h"
#include "requests/request_language.h"

#include <QCheckBox>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardItemModel>

namespace monitor {
namespace {

    QSpinBox* spin(QWidget* parent, int low, int high, int value, const char* name)
    {
        auto* box = new QSpinBox(parent);
        box->setRange(low, high);
        box->setValue(value);
        box->setObjectName(name);
        return box;
    }

    QLineEdit* edit(QWidget* parent, const char* text, const char* name)
    {
        auto* box = new QLineEdit(text, parent);
        box->setObjectName(name);
        return box;
    }

    constexpr int kHitRole = Qt::UserRole + 1;

} // namespace

ScanPanel::ScanPanel(QWidget* parent)
    : QWidget(parent)
    , first_(spin(this, 0, 255, 1, "scanFirst"))
    , last_(spin(this, 0, 255, 247, "scanLast"))
    , speeds_(edit(this, "9600,19200,115200", "scanSpeeds"))
    , parities_(edit(this, "even,none", "scanParities"))
    , stopBits_(edit(this, "1", "scanStopBits"))
    , timeout_(spin(this, 0, 60000, 0, "scanTimeout"))
    , stopAtFirst_(new QCheckBox("Stop at the first device", this))
    , composerProbe_(new QCheckBox("Probe with the composer's request", this))
    , start_(new QPushButton("Start scan", this))
    , stop_(new QPushButton("Stop scan", this))
    , progress_(new QProgressBar(this))
    , status_(new MessageLabel(this))
    , model_(new QStandardItemModel(0, 5, this))
    , results_(new CopyableTable(this))
    , use_(new QPushButton("Use", this))
    , save_(new QPushButton("Save CSV…", this))
{
    setObjectName("scanPanel");
    timeout_->setSpecialValueText("by speed");
    timeout_->setSuffix(" ms");
    stopAtFirst_->setChecked(true);
    start_->setObjectName("startScan");
    stop_->setObjectName("stopScan");
    status_->setObjectName("scanStatus");
    use_->setObjectName("use");
    stopAtFirst_->setObjectName("scanStopAtFirst");
    results_->setObjectName("scanResults");
    model_->setHorizontalHeaderLabels({ "Address", "Line", "Verdict", "ms", "Identification" });
    results_->setModel(model_);
    layOut();
    connectButtons();
}

void ScanPanel::connectButtons()
{
    stop_->setEnabled(false);
    connect(start_, &QPushButton::clicked, this, &ScanPanel::start);
    connect(stop_, &QPushButton::clicked, this, &ScanPanel::stop);
    connect(use_, &QPushButton::clicked, this, &ScanPanel::use);
    connect(save_, &QPushButton::clicked, this, &ScanPanel::save);
    steps_.setInterval(0); // a step per event: the window handles its own events between them
    connect(&steps_, &QTimer::timeout, this, &ScanPanel::step);
}

void ScanPanel::layOut()
{
    auto* grid = new QGridLayout(this);
    int column = 0;
    for (const auto& [text, w] : std::initializer_list<std::pair<const char*, QWidget*>> {
             { "Addresses from", first_ }, { "to", last_ }, { "Speeds", speeds_ },
             { "Parity", parities_ }, { "Stop bits", stopBits_ }, { "Time-out", timeout_ } }) {
        grid->addWidget(Caption(text, w), 0, column++);
        grid->addWidget(w, 0, column++);
    }
    grid->addWidget(stopAtFirst_, 1, 0, 1, 4);
    grid->addWidget(composerProbe_, 1, 4, 1, 4);
    grid->addWidget(start_, 1, 8);
    grid->addWidget(stop_, 1, 9);
    grid->addWidget(progress_, 2, 0, 1, 6);
    grid->addWidget(status_, 2, 6, 1, 6);
    grid->addWidget(results_, 3, 0, 1, 12);
    grid->addWidget(use_, 4, 0, 1, 2);
    grid->addWidget(save_, 4, 2, 1, 2);
}

ScanPanel::~ScanPanel()
{
    if (run_ && closePort)
        closePort();
}

void ScanPanel::readLineLists(modbus::ScanOptions& o, QString& why) const
{
    o.speeds.clear();
    for (const QString& s : speeds_->text().split(',', Qt::SkipEmptyParts))
        if (const int speed = s.trimmed().toInt(); speed >= 1200 && speed <= 230400)
            o.speeds.push_back(speed);
        else
            why = "unknown speed \"" + s.trimmed() + "\"";
    o.parities.clear();
    for (const QString& p : parities_->text().split(',', Qt::SkipEmptyParts)) {
        const QString name = p.trimmed();
        if (name == "none" || name == "even" || name == "odd")
            o.parities.push_back(name[0].toLatin1());
        else
            why = "unknown parity \"" + name + "\": none, even or odd";
    }
    o.stopBits.clear();
    for (const QString& s : stopBits_->text().split(',', Qt::SkipEmptyParts))
        o.stopBits.push_back(s.trimmed() == "2" ? 2 : 1);
}

modbus::ScanOptions ScanPanel::options(QString& why) const
{
    modbus::ScanOptions o;
    o.firstAddress = first_->value();
    o.lastAddress = last_->value();
    readLineLists(o, why);
    if (timeout_->value() > 0)
        o.timeoutMs = timeout_->value();
    o.all = !stopAtFirst_->isChecked();
    if (networkLink)
        o.network = networkLink();
    if (lineFraming)
        o.lineFraming = lineFraming();
    o.probe = composerProbe_->isChecked() && composerRequest
        ? composerRequest()
        : modbus::ParseRequest("read-holding 0 1").fields;
    if (o.firstAddress > o.lastAddress)
        why = "the first address is after the last";
    return o;
}

bool ScanPanel::start()
{
    QString why;
    const modbus::ScanOptions o = options(why);
    if (why.isEmpty() && portInUse && portInUse())
        why = "close the port in the main window first: the scan opens it at each setting";
    if (!why.isEmpty()) {
        status_->setText("Cannot scan: " + why);
        return false;
    }
    model_->removeRows(0, model_->rowCount());
    hits_.clear();
    shownHits_ = shownNotes_ = 0;
    run_ = std::make_unique<modbus::ScanRun>(o, 0);
    clock_.start();
    start_->setEnabled(false);
    stop_->setEnabled(true);
    steps_.start();
    showProgress();
    return true;
}

void ScanPanel::stop()
{
    if (run_)
        run_->stop(); // the next step closes the port and ends the scan
}

void ScanPanel::step()
{
    const auto at = [this] {
        return modbus::LineTime { clock_.nsecsElapsed() / 1000, clock_.elapsed() };
    };
    switch (run_->need()) {
    case modbus::ScanRun::Need::Open:
        closePort();
        run_->opened(openPort(run_->setting()));
        break;
    case modbus::ScanRun::Need::Send: {
        const modbus::LineTime sentAt = at(); // the request leaves the line from here
        run_->sent(writePort(run_->frame()), sentAt);
        break;
    }
    case modbus::ScanRun::Need::Read: {
        const int waitMs
            = int(std::clamp<std::int64_t>((run_->readWaitUs(at().monoUs) + 999) / 1000, 1, 256));
        const std::string chunk = readPort(waitMs);
        run_->read(chunk, at());
        break;
    }
    case modbus::ScanRun::Need::Done:
        finish();
        return;
    }
    showProgress();
}

void ScanPanel::finish()
{
    steps_.stop();
    closePort(); // left closed, however the scan ended
    showProgress();
    const bool failed = !run_->failure().empty();
    if (!failed)
        progress_->setValue(100); // every address asked, though some were passed over
    status_->setText(failed ? "Scan ended: " + QString::fromStdString(run_->failure())
            : hits_.empty() ? "Nothing answered."
                            : QString("Done: %1 found.").arg(hits_.size()));
    run_.reset();
    start_->setEnabled(true);
    stop_->setEnabled(false);
}

void ScanPanel::showProgress()
{
    if (!run_)
        return;
    progress_->setValue(int(run_->fraction() * 100));
    for (; shownNotes_ < run_->notes().size(); ++shownNotes_)
        model_->appendRow({ new QStandardItem("?"),
            new QStandardItem(QString::fromStdString(run_->setting().name())),
            new QStandardItem(QString::fromStdString(run_->notes()[shownNotes_])) });
    // A hit is shown once identified: when the scan has moved on from it.
    while (shownHits_ < run_->hits().size()
        && (shownHits_ + 1 < run_->hits().size() || run_->need() == modbus::ScanRun::Need::Done
            || !run_->hits().back().identification.empty()))
        addHit(run_->hits()[shownHits_++]);
    if (run_->need() != modbus::ScanRun::Need::Done)
        status_->setText(QString("%1, address %2, about %3 s left")
                             .arg(QString::fromStdString(run_->setting().name()))
                             .arg(run_->address())
                             .arg(QString::fromStdString(
                                 modbus::FloatText(double(run_->remainingUs()) / 1e6, 3))));
}

void ScanPanel::addHit(const modbus::ScanHit& hit)
{
    hits_.push_back(hit);
    auto* address = new QStandardItem(QString::number(hit.address));
    address->setData(int(hits_.size() - 1), kHitRole); // Use takes this row's own hit
    model_->appendRow({ address, new QStandardItem(QString::fromStdString(hit.setting.name())),
        new QStandardItem(QString::fromStdString(hit.verdict)),
        new QStandardItem(
            hit.replyMs ? QString::fromStdString(modbus::FloatText(*hit.replyMs, 4)) : ""),
        new QStandardItem(QString::fromStdString(hit.identification)) });
}

void ScanPanel::use()
{
    // The row chosen, or the first found: one address may answer at several settings.
    int row = results_->currentIndex().isValid() ? results_->currentIndex().row() : -1;
    for (int r = 0; row < 0 && r < model_->rowCount(); ++r)
        if (model_->index(r, 0).data(kHitRole).isValid())
            row = r;
    const QVariant at = row < 0 ? QVariant() : model_->index(row, 0).data(kHitRole);
    if (!at.isValid() || !onUse)
        return;
    const modbus::ScanHit& hit = hits_[std::size_t(at.toInt())];
    onUse(hit.address, hit.setting);
    // Said, not done silently: the line the terminal will open is no longer the one it had.
    status_->setText(hit.setting.speed == 0
            ? QString("Using unit %1: set as the slave address").arg(hit.address)
            : QString("Using slave %1 at %2: set as the slave address, speed, parity and stop "
                      "bits (the line's at the next Open)")
                  .arg(hit.address)
                  .arg(QString::fromStdString(hit.setting.name())));
}

void ScanPanel::save()
{
    const QString path = QFileDialog::getSaveFileName(
        this, "Save scan results", "quillet-scan.csv", "CSV files (*.csv);;All files (*)");
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    file.write("address,line,verdict,reply_ms,identification\n");
    for (const modbus::ScanHit& h : hits_)
        file.write(
            (QString("%1,%2,\"%3\",%4,\"%5\"\n")
                    .arg(h.address)
                    .arg(QString::fromStdString(h.setting.name()),
                        QString::fromStdString(h.verdict).replace('"', "\"\""),
                        h.replyMs ? QString::fromStdString(modbus::FloatText(*h.replyMs, 4)) : "",
                        QString::fromStdString(h.identification).replace('"', "\"\"")))
                .toUtf8());
}

QString ScanPanel::statusText() const { return status_->text(); }

} // namespace monitor
