#include "frm_serial.h"

#include "lamp.h"
#include "serial/serial_port.h"
#include "widget_table.h"
#include "window_icon.h"

#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>
#include <vector>

namespace window {
namespace {

    int pixels(int twips) { return qRound(twips / double(kTwipsPerPixel)); }

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
            r->setChecked(row.extra & Selected);
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
        if (row.extra & (MultiLineVScroll | MultiLineBoth)) {
            auto* t = new QPlainTextEdit(row.caption, parent);
            const bool both = row.extra & MultiLineBoth;
            t->setLineWrapMode(both ? QPlainTextEdit::NoWrap : QPlainTextEdit::WidgetWidth);
            t->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            t->setHorizontalScrollBarPolicy(both ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
            return t;
        }
        auto* t = new QLineEdit(row.caption, parent);
        if (row.extra & MaxLength2)
            t->setMaxLength(2);
        return t;
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
    // The geometry was laid out for an 8-point system font of 11-pixel lines; a larger
    // desktop default would cut the captions.
    QFont small = font();
    small.setPixelSize(11);
    setFont(small);
    buildWidgets();
    connectButtons();
    TMRComm.setObjectName("TMRComm");
    TMRComm.setInterval(kTimerIntervalMs);
    connect(&TMRComm, &QTimer::timeout, this, &frmSerial::TMRComm_Timer);
    SerialPort::SetReportHook([this](const std::string& text) {
        message_(QString::fromLatin1(text), "Quillet", MessageIcon::None);
    });
}

frmSerial::~frmSerial() { SerialPort::SetReportHook(nullptr); }

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
        if (row.extra & DarkBlueCaption) {
            // The caption takes the group's text colour; its children keep the window's.
            QPalette blue = w->palette();
            blue.setColor(QPalette::WindowText, ColorFromBgr(kDarkBlue));
            w->setPalette(blue);
        } else if (parent != this && parent->testAttribute(Qt::WA_SetPalette)) {
            // Setting the colour marks it as the widget's own, so the group's does not win.
            QPalette own = w->palette();
            own.setColor(QPalette::WindowText, palette().color(QPalette::WindowText));
            w->setPalette(own);
        }
        if (row.tab != kNoTab
            && (row.kind == Kind::TextBox || row.kind == Kind::Button || row.kind == Kind::Radio))
            focusOrder.emplace_back(row.tab, w);
        else if (row.kind != Kind::GroupBox)
            w->setFocusPolicy(Qt::NoFocus);
        widgets_.insert(row.name, w);
    }
    std::sort(focusOrder.begin(), focusOrder.end());
    for (std::size_t i = 1; i < focusOrder.size(); ++i)
        setTabOrder(focusOrder[i - 1].second, focusOrder[i].second);
    Pic = static_cast<Lamp*>(widgets_.value("Pic"));
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
        connect(button(name), &QPushButton::clicked, this, handler);

    static constexpr std::pair<const char*, const char*> kClears[] = {
        { "Command5", "Text6" },
        { "Command6", "Text8" },
        { "Command7", "Text2" },
        { "Command8", "Text10" },
    };
    for (const auto& [buttonName, boxName] : kClears) {
        QPlainTextEdit* target = box(boxName);
        connect(button(buttonName), &QPushButton::clicked, this, [target] { target->clear(); });
    }
}

void frmSerial::SwitchTags()
{
    // Only the tag's emptiness counts; the arrangement follows from the start state.
    for (QWidget* w : std::as_const(widgets_)) {
        if (!w->property("Tag").toString().isEmpty())
            w->setEnabled(!w->isEnabled());
    }
}

void frmSerial::keyPressEvent(QKeyEvent* event)
{
    // Keys that no child took: the default and cancel buttons answer them while enabled.
    const char* target = nullptr;
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        target = "BTNSend";
    else if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier)
        target = "BTNCloseCom";
    if (target && button(target)->isEnabled()) {
        button(target)->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

QWidget* frmSerial::widget(const char* name) const { return widgets_.value(name); }

QLineEdit* frmSerial::lineEdit(const char* name) const
{
    return static_cast<QLineEdit*>(widget(name));
}

QPlainTextEdit* frmSerial::box(const char* name) const
{
    return static_cast<QPlainTextEdit*>(widget(name));
}

QPushButton* frmSerial::button(const char* name) const
{
    return static_cast<QPushButton*>(widget(name));
}

QString frmSerial::boxText(const char* name) const { return lineEdit(name)->text(); }

std::string frmSerial::boxLatin1(const char* name) const
{
    return boxText(name).toLatin1().toStdString();
}

} // namespace window
