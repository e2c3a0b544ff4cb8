#include "frm_serial.h"

#include "caption_font.h"
#include "group_caption_style.h"
#include "lamp.h"
#include "modbus/function_table.h"
#include "monitor/composer.h"
#include "monitor/line_monitor.h"
#include "monitor/poll_panel.h"
#include "monitor/run_views.h"
#include "monitor/scan_panel.h"
#include "ports/port_completion.h"
#include "requests/request_language.h"
#include "serial/network_link.h"
#include "serial/serial_port.h"
#include "widget_table.h"
#include "window_constants.h"
#include "window_icon.h"

#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>

#include <algorithm>
#include <limits>
#include <vector>

namespace window {
namespace {

    int pixels(int twips) { return qRound(twips / double(kTwipsPerPixel)); }

    QWidget* makeTextBox(const WidgetRow& row, QWidget* parent);

    QWidget* makeWidget(const WidgetRow& row, QWidget* parent)
    {
        switch (row.kind) {
        case Kind::GroupBox:
            return new QGroupBox(row.caption, parent);
        case Kind::Label:
            return new QLabel(row.caption, parent);
        case Kind::Button: {
            auto* b = new QPushButton(row.caption, parent);
            // Enter on a focused button presses that button, as on any dialog.
            b->setAutoDefault(true);
            return b;
        }
        case Kind::Radio: {
            auto* r = new QRadioButton(row.caption, parent);
            // The speed buttons are one Tab stop, at the selected one.
            QObject::connect(r, &QRadioButton::toggled, r,
                [r](bool on) { r->setFocusPolicy(on ? Qt::StrongFocus : Qt::ClickFocus); });
            r->setChecked(row.extra & Selected);
            r->setFocusPolicy(r->isChecked() ? Qt::StrongFocus : Qt::ClickFocus);
            return r;
        }
        case Kind::Shape: {
            auto* lamp = new Lamp(parent);
            lamp->setFillColor(kYellow);
            return lamp;
        }
        case Kind::TextBox:
            break;
        }
        return makeTextBox(row, parent);
    }

    QWidget* makeTextBox(const WidgetRow& row, QWidget* parent)
    {
        if (row.extra & (MultiLineVScroll | MultiLineBoth)) {
            auto* t = new QPlainTextEdit(row.caption, parent);
            const bool both = row.extra & MultiLineBoth;
            t->setLineWrapMode(both ? QPlainTextEdit::NoWrap : QPlainTextEdit::WidgetWidth);
            t->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            t->setHorizontalScrollBarPolicy(both ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
            // Tab moves on, as from every other box; Enter is the window's (see eventFilter).
            t->setTabChangesFocus(true);
            // An undo history would keep every reply ever shown, and every line trimmed.
            t->setUndoRedoEnabled(false);
            return t;
        }
        auto* t = new QLineEdit(row.caption, parent);
        // Without a limit of its own a box takes any length; the toolkit's default would
        // silently cut a long free text at 32767 characters.
        t->setMaxLength(row.extra & MaxLength2 ? 2 : std::numeric_limits<int>::max());
        return t;
    }

    bool takesFocus(const WidgetRow& row)
    {
        return row.tab != kNoTab
            && (row.kind == Kind::TextBox || row.kind == Kind::Button || row.kind == Kind::Radio);
    }

    void setCaptionColour(const WidgetRow& row, QWidget* w, bool parentHasOwnPalette)
    {
        if (row.extra & DarkBlueCaption) {
            // The caption takes the group's text colour; its children keep the window's.
            QPalette blue = w->palette();
            blue.setColor(QPalette::WindowText, ColorFromBgr(kDarkBlue));
            w->setPalette(blue);
        } else if (parentHasOwnPalette) {
            // Setting the colour marks it as the widget's own, so the group's does not win.
            QPalette own = w->palette();
            own.setColor(QPalette::WindowText, w->window()->palette().color(QPalette::WindowText));
            w->setPalette(own);
        }
    }

    void showMessageBox(const QString& text, const QString& title, MessageIcon icon)
    {
        QMessageBox box(icon == MessageIcon::Critical ? QMessageBox::Critical : QMessageBox::NoIcon,
            title, text, QMessageBox::Ok);
        box.exec();
    }

} // namespace

frmSerial::frmSerial(QWidget* parent)
    : QWidget(parent,
        Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
            | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
    , message_(showMessageBox)
{
    setObjectName("frmSerial");
    setWindowTitle(kCaption);
    setWindowIcon(WindowIcon());
    setFixedSize(pixels(kClientWidth), pixels(kClientHeight));
    setFont(CaptionFont());
    buildWidgets();
    resolveWidgets();
    connectButtons();
    TMRComm.setObjectName("TMRComm");
    TMRComm.setInterval(kTimerIntervalMs);
    connect(&TMRComm, &QTimer::timeout, this, &frmSerial::TMRComm_Timer);
    connect(
        new QShortcut(Qt::Key_F2, this), &QShortcut::activated, this, &frmSerial::toggleMonitor);
    makeMonitor();
}

void frmSerial::buildWidgets()
{
    std::vector<std::pair<int, QWidget*>> focusOrder;
    for (const WidgetRow& row : WidgetTable()) {
        QWidget* parent = row.container ? widgets_.value(row.container) : this;
        QWidget* w = makeWidget(row, parent);
        w->setObjectName(row.name);
        w->setProperty("Tag", QString(row.tag));
        w->setGeometry(pixels(row.left), pixels(row.top), pixels(row.width), pixels(row.height));
        if (row.kind != Kind::Shape)
            w->setEnabled(row.enabled);
        setCaptionColour(row, w, parent != this && parent->testAttribute(Qt::WA_SetPalette));
        if (takesFocus(row))
            focusOrder.emplace_back(row.tab, w);
        else if (row.kind != Kind::GroupBox)
            w->setFocusPolicy(Qt::NoFocus);
        if (row.extra & DefaultButton)
            defaultButton_ = qobject_cast<QPushButton*>(w);
        if (row.extra & CancelButton)
            cancelButton_ = qobject_cast<QPushButton*>(w);
        widgets_.insert(row.name, w);
    }
    // The lamp sits on its group's caption line at a fixed place: the caption ends before it.
    KeepCaptionBefore(widgets_.value("Frame2"), widgets_.value("Pic")->x());
    std::sort(focusOrder.begin(), focusOrder.end());
    for (std::size_t i = 1; i < focusOrder.size(); ++i)
        setTabOrder(focusOrder[i - 1].second, focusOrder[i].second);
}

template <typename T> T* frmSerial::child(const char* name) const
{
    T* found = qobject_cast<T*>(widgets_.value(name));
    if (!found)
        qFatal("frmSerial: the widget table has no %s of the kind the code expects", name);
    return found;
}

std::string frmSerial::latin1(const QLineEdit* box) { return box->text().toLatin1().toStdString(); }

void frmSerial::resolveWidgets()
{
    txt0 = child<QLineEdit>("txt(0)");
    Text1 = child<QLineEdit>("Text1");
    Text3 = child<QLineEdit>("Text3");
    Text4 = child<QLineEdit>("Text4");
    Text5 = child<QLineEdit>("Text5");
    Text7 = child<QLineEdit>("Text7");
    Text9 = child<QLineEdit>("Text9");
    Text11 = child<QLineEdit>("Text11");
    Text12 = child<QLineEdit>("Text12");
    Text2 = child<QPlainTextEdit>("Text2");
    Text6 = child<QPlainTextEdit>("Text6");
    Text8 = child<QPlainTextEdit>("Text8");
    Text10 = child<QPlainTextEdit>("Text10");
    Option1 = child<QRadioButton>("Option1");
    Option2 = child<QRadioButton>("Option2");
    Option3 = child<QRadioButton>("Option3");
    Pic = child<Lamp>("Pic");
    for (QPlainTextEdit* display : { Text2, Text6, Text8, Text10 })
        display->installEventFilter(this);
    for (QLineEdit* box : findChildren<QLineEdit*>())
        box->installEventFilter(this);
    new ports::PortCompletion(txt0, ports::AvailablePorts);
}

void frmSerial::presetPort(const QString& text) { txt0->setText(text); }

bool frmSerial::presetSpeed(int bitsPerSecond)
{
    const auto buttons = speedButtons();
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        if (kSpeeds[i] == bitsPerSecond) {
            buttons[i]->setChecked(true);
            return true;
        }
    }
    return false;
}

void frmSerial::pressOpen() { child<QPushButton>("BTNOpenCom")->click(); }

bool frmSerial::presetLine(char parity, int stopBits)
{
    if ((parity != 'n' && parity != 'e' && parity != 'o') || (stopBits != 1 && stopBits != 2))
        return false;
    parity_ = parity;
    stopBits_ = stopBits;
    if (monitor_)
        monitor_->showLineChoice(parity_, stopBits_);
    updateMonitorTitle();
    return true;
}

bool frmSerial::presetFraming(modbus::Framing framing, int dataBits)
{
    // Seven data bits carry ASCII's text only: RTU's bytes need eight.
    if ((framing != modbus::Framing::Rtu && framing != modbus::Framing::Ascii)
        || (dataBits != 7 && dataBits != 8))
        return false;
    framing_ = framing;
    dataBits_ = framing == modbus::Framing::Rtu ? 8 : dataBits;
    if (monitor_)
        monitor_->showFramingChoice(framing_, dataBits_);
    updateMonitorTitle();
    return true;
}

void frmSerial::presetSpeedOverride(int bitsPerSecond)
{
    speedOverride_ = bitsPerSecond;
    monitor_->showSpeedChoice(bitsPerSecond);
    updateMonitorTitle();
}

comm::LineSettings frmSerial::lineSettings() const
{
    comm::LineSettings line { 0, parity_, stopBits_, dataBits_, framing_ };
    const auto buttons = speedButtons();
    for (std::size_t i = 0; i < buttons.size(); ++i)
        if (buttons[i]->isChecked())
            line.speed = kSpeeds[i];
    if (speedOverride_)
        line.speed = speedOverride_;
    return line;
}

void frmSerial::makeMonitor()
{
    // Made hidden with the window, so it records from the start: F2 always shows the session
    // so far, the request that just went wrong included.
    monitor_ = new LineMonitor(this);
    monitor_->showLineChoice(parity_, stopBits_);
    monitor_->onLineChosen = [this](char parity, int stopBits) { presetLine(parity, stopBits); };
    monitor_->showFramingChoice(framing_, dataBits_);
    monitor_->onFramingChosen
        = [this](modbus::Framing framing, int dataBits) { presetFraming(framing, dataBits); };
    monitor_->onSpeedChosen = [this](int bits) { presetSpeedOverride(bits); };
    monitor_->fillMainPart = [this](modbus::Workspace& w) { fillWorkspace(w); };
    monitor_->applyMainPart = [this](const modbus::Workspace& w) { applyWorkspace(w); };
    // The scan panel is the monitor's widget: connected once it is made.
    monitor_->onBuilt = [this] { connectScan(); };
    monitor_->onSendRequest = [this](const std::string& frame) { sendComposed(frame); };
    monitor_->onSendProbe = [](const std::string& frame) { SerialPort::WritePort(frame); };
    monitor_->onListenChosen = [this](bool on) { setListening(on); };
    monitor_->onFindSpeed = [this] { findSpeed(); };
    connect(txt0, &QLineEdit::textChanged, this, &frmSerial::updateMonitorTitle);
    for (QRadioButton* speed : speedButtons())
        connect(speed, &QRadioButton::toggled, this, &frmSerial::updateMonitorTitle);
    updateMonitorTitle();
}

void frmSerial::startPolling(
    const std::vector<std::string>& commands, int everyMs, int count, const std::string& record)
{
    const auto slave = modbus::ParseInteger(Text1->text().trimmed().toStdString()).value_or(1);
    std::vector<std::string> frames;
    std::vector<std::pair<std::string, std::string>> listed;
    for (const std::string& command : commands) {
        // With a map, a command may name registers.
        const modbus::ParsedRequest parsed = monitor_->parse(command);
        const std::string frame = parsed.error.empty()
            ? modbus::BuildRequest(int(slave), parsed.fields).frame
            : std::string();
        if (!frame.empty()) {
            frames.push_back(frame);
            listed.emplace_back(command, frame);
        }
    }
    monitor_->pollPanel()->setList(listed);
    monitor_->pollPanel()->setSettings(everyMs, count);
    if (!record.empty())
        monitor_->recordTo(record);
    monitor_->startRun(
        frames, { everyMs * 1000LL, count, monitor_->pollPanel()->timeoutMs() * 1000LL });
}

void frmSerial::connectScan()
{
    monitor::ScanPanel* scan = monitor_->views()->scan();
    scan->portInUse = [this] { return child<QPushButton>("BTNCloseCom")->isEnabled(); };
    scan->openPort = [this](const modbus::ScanSetting& s) {
        return SerialPort::OpenPort(
            latin1(txt0), comm::LineSettings { s.speed, s.parity, s.stopBits }.modeText(), {});
    };
    scan->writePort = [](const std::string& frame) { return SerialPort::WritePort(frame); };
    scan->readPort = [](int waitMs) {
        SerialPort::SetIdleReadLimit(waitMs); // a probe's wait, not the designed 256 ms
        return SerialPort::ReadPort();
    };
    scan->closePort = [] { SerialPort::ClosePort(); };
    scan->lineFraming = [this] { return framing_; };
    scan->networkLink = [this]() -> std::optional<modbus::Framing> {
        const comm::LinkAddress link = comm::ParseLinkAddress(latin1(txt0));
        return link.network() ? std::optional(comm::FramingOf(link.kind)) : std::nullopt;
    };
    scan->composerRequest
        = [this] { return monitor_->parse(monitor_->composer()->command().toStdString()).fields; };
    scan->onUse = [this](int address, const modbus::ScanSetting& s) {
        Text1->setText(QString::number(address));
        monitor_->composer()->setSlave(QString::number(address));
        if (s.speed == 0)
            return; // found over a network link: no line settings to take
        const bool designed = presetSpeed(s.speed); // one of the three buttons
        presetSpeedOverride(designed ? 0 : s.speed);
        presetLine(s.parity, s.stopBits);
    };
}

void frmSerial::toggleMonitor()
{
    if (!monitor_->isVisible())
        monitor_->composer()->setSlave(Text1->text()); // the composer starts from Text1
    monitor_->setVisible(!monitor_->isVisible());
    if (monitor_->isVisible())
        monitor_->activateWindow();
}

void frmSerial::updateMonitorTitle()
{
    // A network link has no line settings to name.
    if (monitor_)
        monitor_->setLineTitle(txt0->text()
            + (isNetworkLink() ? QString()
                               : " " + QString::fromStdString(lineSettings().shortForm())));
}

void frmSerial::connectButtons()
{
    static constexpr std::pair<const char*, void (frmSerial::*)()> kHandlers[] = {
        { "BTNOpenCom", &frmSerial::BTNOpenCom_Click },
        { "BTNCloseCom", &frmSerial::BTNCloseCom_Click },
        { "Command3", &frmSerial::Command3_Click },
        { "Command1", &frmSerial::Command1_Click },
        { "Command9", &frmSerial::Command9_Click },
        { "Command2", &frmSerial::Command2_Click },
        { "Command4", &frmSerial::Command4_Click },
        { "BTNSend", &frmSerial::BTNSend_Click },
    };
    for (const auto& [name, handler] : kHandlers)
        connect(child<QPushButton>(name), &QPushButton::clicked, this, handler);

    const std::pair<const char*, QPlainTextEdit*> clears[] = {
        { "Command5", Text6 },
        { "Command6", Text8 },
        { "Command7", Text2 },
        { "Command8", Text10 },
    };
    for (const auto& [buttonName, target] : clears)
        connect(child<QPushButton>(buttonName), &QPushButton::clicked, this,
            [box = target] { box->clear(); });
}

void frmSerial::SwitchTags()
{
    // Only the tag's emptiness counts; the arrangement follows from the start state.
    for (QWidget* w : std::as_const(widgets_)) {
        if (!w->property("Tag").toString().isEmpty())
            w->setEnabled(!w->isEnabled());
    }
}

bool frmSerial::pressRoleButton(const QKeyEvent* event)
{
    QPushButton* target = nullptr;
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        target = defaultButton_;
    else if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier)
        target = cancelButton_;
    if (!target || !target->isEnabled())
        return false;
    target->click();
    return true;
}

void frmSerial::keyPressEvent(QKeyEvent* event)
{
    // Keys that no child took: the default and cancel buttons answer them while enabled.
    if (!pressRoleButton(event))
        QWidget::keyPressEvent(event);
}

// Whether a key is the access key (Alt+letter) of a button that is disabled: the box that has
// the focus would otherwise type the letter, and the next "&Send Txt" or "MB" would send it.
bool frmSerial::isDisabledAccessKey(const QKeyEvent* key) const
{
    if (key->modifiers() != Qt::AltModifier)
        return false;
    for (const QPushButton* b : findChildren<QPushButton*>()) {
        const QKeySequence mnemonic = QKeySequence::mnemonic(b->text());
        if (!b->isEnabled() && !mnemonic.isEmpty() && mnemonic[0].key() == Qt::Key(key->key()))
            return true;
    }
    return false;
}

bool frmSerial::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress
        && isDisabledAccessKey(static_cast<const QKeyEvent*>(event)))
        return true;
    // The display boxes would take Enter as a line break; while the default button is
    // enabled it is the button's, as in every other box.
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && pressRoleButton(key))
            return true;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace window
