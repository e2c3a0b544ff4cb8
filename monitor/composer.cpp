#include "composer.h"

#include "access_keys.h"
#include "message_label.h"
#include "requests/read_back.h"

#include "benchfiles/named_request.h"
#include "modbus/function_table.h"
#include "requests/request_language.h"

#include <algorithm>

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>

namespace monitor {
namespace {

    constexpr int kHistory = 20;
    const QString kHex = "hex";

    // Which of the four boxes shows an argument: the start box, the quantity box, the write
    // start box, the values box.
    enum Box { StartBox, QuantityBox, WriteStartBox, ValuesBox };
    Box boxOf(modbus::ArgField field)
    {
        using A = modbus::ArgField;
        switch (field) {
        case A::Start:
        case A::Sub:
        case A::ReadCode:
            return StartBox;
        case A::Quantity:
        case A::ObjectId:
            return QuantityBox;
        case A::WriteStart:
            return WriteStartBox;
        default: // Value, Mask, Values, Data
            return ValuesBox;
        }
    }

    const QStringList kReadCodes { "basic", "regular", "extended", "object" };

    QString text(const std::string& s) { return QString::fromStdString(s); }

} // namespace

Composer::Composer(QWidget* parent)
    : QWidget(parent)
    , function_(new QComboBox(this))
    , slave_(new QLineEdit("1", this))
    , check_(new QComboBox(this))
    , command_(new QComboBox(this))
    , preview_(new MessageLabel(this))
    , problem_(new MessageLabel(this))
    , send_(new QPushButton("S&end", this))
    , readBack_(new QCheckBox("Read back", this))
    , writeWith16_(new QCheckBox("One register with 16", this))
{
    buildFields();
    layOut();
    showSyntax();
    fieldsChanged();
}

Composer::Field Composer::field(const char* name)
{
    Field f { new QLabel(this), new QLineEdit(this) };
    f.edit->setObjectName(name);
    f.label->setProperty(kKeyedAsShown, true); // its caption changes with the function
    f.label->setBuddy(f.edit);
    connect(f.edit, &QLineEdit::textEdited, this, &Composer::fieldsChanged);
    return f;
}

void Composer::buildFields()
{
    setObjectName("composer");
    for (const modbus::FunctionInfo& f : modbus::Functions())
        function_->addItem(text(std::string(f.label) + " " + std::string(f.name)), f.code);
    function_->addItem(kHex + " (a body typed in hex)", -1);
    function_->setObjectName("function");
    slave_->setObjectName("slave");
    start_ = field("start");
    quantity_ = field("quantity");
    writeStart_ = field("writeStart");
    values_ = field("values");
    start_.edit->setText("0");
    quantity_.edit->setText("1");
    writeStart_.edit->setText("0");
    check_->addItems({ "check bytes", "no check bytes", "wrong check bytes" });
    check_->setObjectName("checkBytes");
    check_->setToolTip(
        "Leave the check bytes off or send them wrong, to see how a slave takes a bad frame");
    buildCommandBox();
    preview_->setObjectName("preview");
    preview_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    problem_->setObjectName("problem");
    send_->setObjectName("send");
    readBack_->setObjectName("readBack");
    readBack_->setToolTip("After a write, read the same coils or registers back and say whether "
                          "they hold what was written");
    writeWith16_->setObjectName("writeWith16");
    writeWith16_->setToolTip("Write one register with function 16, for devices that refuse 6");
    connectFields();
}

void Composer::buildCommandBox()
{
    command_->setEditable(true);
    command_->setInsertPolicy(QComboBox::NoInsert);
    // An inline completion would send a value nobody typed ("50" completed to "500" from the
    // history): the history is offered by the list and Up/Down, never inserted.
    command_->setCompleter(nullptr);
    command_->setObjectName("command");
    command_->setToolTip("The same request as a quillet-cli command; typing one fills the fields");
}

void Composer::connectFields()
{
    connect(function_, &QComboBox::currentIndexChanged, this, [this] {
        showSyntax();
        fieldsChanged();
    });
    connect(slave_, &QLineEdit::textEdited, this, &Composer::fieldsChanged);
    connect(check_, &QComboBox::currentIndexChanged, this, &Composer::fieldsChanged);
    connect(writeWith16_, &QCheckBox::toggled, this, [this] { judge(command_->currentText()); });
    connect(command_, &QComboBox::editTextChanged, this, &Composer::commandTyped);
    connect(send_, &QPushButton::clicked, this, &Composer::send);
    for (const auto keys : { Qt::CTRL | Qt::Key_Return, Qt::CTRL | Qt::Key_Enter }) {
        // Anywhere in the monitor: the request being composed is the one thing to send.
        auto* shortcut = new QShortcut(keys, this);
        connect(shortcut, &QShortcut::activated, this, &Composer::send);
    }
}

void Composer::layOut()
{
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    auto* functionLabel = new QLabel("&Function", this);
    functionLabel->setBuddy(function_);
    auto* slaveLabel = new QLabel("Sla&ve", this);
    slaveLabel->setBuddy(slave_);
    auto* commandLabel = new QLabel("&Command", this);
    commandLabel->setBuddy(command_);
    slave_->setMinimumWidth(fontMetrics().horizontalAdvance("247") + 16);
    slave_->setMaximumWidth(std::max(60, slave_->minimumWidth()));
    int column = 0;
    for (QWidget* w : { static_cast<QWidget*>(functionLabel), static_cast<QWidget*>(function_),
             static_cast<QWidget*>(slaveLabel), static_cast<QWidget*>(slave_) })
        grid->addWidget(w, 0, column++);
    for (const Field& f : { start_, quantity_, writeStart_, values_ }) {
        grid->addWidget(f.label, 0, column++);
        grid->addWidget(f.edit, 0, column++);
    }
    grid->addWidget(check_, 0, column++);
    grid->setColumnStretch(column - 2, 1); // the values take the room
    grid->addWidget(commandLabel, 1, 0);
    // Send beside what it sends, however wide the window; the preview takes the rest.
    grid->addWidget(command_, 1, 1, 1, 5);
    grid->addWidget(send_, 1, 6);
    grid->addWidget(preview_, 1, 7, 1, column - 7);
    grid->addWidget(problem_, 2, 1, 1, column - 3);
    grid->addWidget(readBack_, 2, column - 2);
    grid->addWidget(writeWith16_, 2, column - 1);
    orderTabs();
}

void Composer::orderTabs()
{
    QWidget* order[] = { function_, slave_, start_.edit, quantity_.edit, writeStart_.edit,
        values_.edit, check_, command_, readBack_, writeWith16_, send_ };
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
    // Text boxes take Return for themselves before a shortcut sees it.
    for (QWidget* box : { static_cast<QWidget*>(slave_), static_cast<QWidget*>(start_.edit),
             static_cast<QWidget*>(quantity_.edit), static_cast<QWidget*>(writeStart_.edit),
             static_cast<QWidget*>(values_.edit), static_cast<QWidget*>(command_->lineEdit()) })
        box->installEventFilter(this);
}

void Composer::showSyntax()
{
    const int code = function_->currentData().toInt();
    const modbus::FunctionInfo* info
        = code < 0 ? nullptr : modbus::FindFunction(std::uint8_t(code));
    // Each box shows the first argument the table puts in it; a box with none is hidden.
    QString labels[4];
    if (!info)
        labels[ValuesBox] = "Body (hex)";
    for (const modbus::Argument& a : info ? info->arguments : std::span<const modbus::Argument>())
        if (QString& label = labels[boxOf(a.field)]; label.isEmpty())
            label = text(std::string(a.label));
    // Their access keys: the first letters the window leaves free, so Alt reaches one box.
    QString taken = AccessKeysIn(window());
    const Field* boxes[] = { &start_, &quantity_, &writeStart_, &values_ };
    for (int box = 0; box < 4; ++box) {
        boxes[box]->label->setText(WithFreeAccessKey(labels[box], taken));
        boxes[box]->label->setVisible(!labels[box].isEmpty());
        boxes[box]->edit->setVisible(!labels[box].isEmpty());
    }
    check_->setVisible(!info);
}

QString Composer::commandFromFields() const
{
    const int code = function_->currentData().toInt();
    const QString values = values_.edit->text().simplified();
    if (code < 0) {
        static const char* kChecks[] = { "", " no-crc", " bad-crc" };
        return "raw " + values + kChecks[check_->currentIndex()];
    }
    const modbus::FunctionInfo* info = modbus::FindFunction(std::uint8_t(code));
    QStringList words { text(std::string(info->command)) };
    const QString boxes[] = { start_.edit->text().trimmed(), quantity_.edit->text().trimmed(),
        writeStart_.edit->text().trimmed(), values };
    bool said[4] = {};
    // Each box's text once, in the order of the arguments it holds.
    for (const modbus::Argument& a : info->arguments) {
        const Box box = boxOf(a.field);
        if (std::exchange(said[box], true))
            continue;
        const int readCode = boxes[box].toInt();
        const bool named = a.field == modbus::ArgField::ReadCode && readCode >= 1 && readCode <= 4;
        words << (named ? kReadCodes[readCode - 1] : boxes[box]);
    }
    return words.join(' ').simplified();
}

void Composer::fillFields(const modbus::RequestFields& fields)
{
    syncing_ = true;
    function_->setCurrentIndex(function_->findData(fields.raw ? -1 : int(fields.function)));
    showSyntax();
    QStringList values;
    for (const std::int64_t v : fields.values)
        values << QString::number(v);
    // The defaults where the function has no such argument, then each argument in its box.
    start_.edit->setText(QString::number(fields.start));
    quantity_.edit->setText(QString::number(fields.quantity));
    writeStart_.edit->setText(QString::number(fields.writeStart));
    values_.edit->setText(fields.raw ? text(modbus::HexBytes(fields.data)) : values.join(' '));
    const modbus::FunctionInfo* info = fields.raw ? nullptr : modbus::FindFunction(fields.function);
    for (const modbus::Argument& a : info ? info->arguments : std::span<const modbus::Argument>()) {
        using A = modbus::ArgField;
        if (a.field == A::Sub || a.field == A::ReadCode)
            start_.edit->setText(QString::number(a.field == A::Sub ? fields.sub : fields.readCode));
        if (a.field == A::ObjectId)
            quantity_.edit->setText(QString::number(fields.objectId));
        if (a.field == A::Data)
            values_.edit->setText(text(modbus::HexBytes(fields.data)));
    }
    check_->setCurrentIndex(int(fields.check));
    syncing_ = false;
}

void Composer::fieldsChanged()
{
    if (syncing_)
        return;
    const QString command = commandFromFields();
    syncing_ = true;
    command_->setEditText(command);
    syncing_ = false;
    judge(command);
}

void Composer::commandTyped(const QString& typed)
{
    if (syncing_)
        return;
    const modbus::ParsedRequest parsed = parse(typed);
    if (parsed.error.empty())
        fillFields(parsed.fields);
    judge(typed);
}

void Composer::judge(const QString& command)
{
    frame_.clear();
    const modbus::ParsedRequest parsed = parse(command);
    const auto slave = modbus::ParseInteger(slave_->text().trimmed().toStdString());
    std::string why = parsed.error;
    if (why.empty() && (!slave || *slave < 0 || *slave > 255))
        why = "the slave address must be 0..255";
    fields_ = writeWith16_->isChecked() ? modbus::WithFunction16(parsed.fields) : parsed.fields;
    if (why.empty()) {
        const modbus::BuiltRequest built = modbus::BuildRequest(int(*slave), fields_);
        why = built.notSent;
        frame_ = built.frame;
    }
    const std::string wire = wireText && !frame_.empty() ? wireText(frame_) : std::string();
    preview_->setText(frame_.empty() ? QString()
            : wire.empty()           ? text(modbus::HexBytes(frame_))
                                     : text(wire));
    if (why.empty() && listening_)
        why = "listening: the port is never written (Listen is on)";
    if (why.empty() && !portOpen_)
        why = "open the port to send";
    problem_->setText(why.empty() ? QString() : "Cannot send: " + text(why));
    send_->setEnabled(canSend());
}

std::optional<modbus::RequestFields> Composer::readBackWrite() const
{
    if (!readBack_->isChecked() || frame_.empty() || !modbus::ReadBackOf(fields_))
        return std::nullopt;
    return fields_;
}

bool Composer::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
            && (key->modifiers() & Qt::ControlModifier)) {
            send();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool Composer::canSend() const { return portOpen_ && !listening_ && !frame_.empty(); }

void Composer::send()
{
    if (!canSend() || !onSend)
        return;
    const QString command = command_->currentText();
    onSend(frame_);
    // Recall: the newest first, each once, the last kHistory kept.
    syncing_ = true;
    if (const int at = command_->findText(command); at >= 0)
        command_->removeItem(at);
    command_->insertItem(0, command);
    while (command_->count() > kHistory)
        command_->removeItem(command_->count() - 1);
    // The newest is the current entry, so that Down goes to the one sent before it.
    command_->setCurrentIndex(0);
    command_->setEditText(command);
    syncing_ = false;
}

void Composer::setSlave(const QString& slave)
{
    slave_->setText(slave.trimmed());
    judge(command_->currentText());
}

QString Composer::slave() const { return slave_->text(); }

void Composer::setPortOpen(bool open)
{
    portOpen_ = open;
    judge(command_->currentText());
}

void Composer::setListening(bool on)
{
    listening_ = on;
    judge(command_->currentText());
}

modbus::ParsedRequest Composer::parse(const QString& command) const
{
    if (!map_)
        return modbus::ParseRequest(command.toStdString());
    return modbus::ParseNamedRequest(command.toStdString(), *map_, order_).parsed;
}

void Composer::setMap(const modbus::RegisterMap* map, modbus::WordOrder order)
{
    map_ = map;
    order_ = order;
    commandTyped(command_->currentText());
}

void Composer::setCommand(const QString& command) { command_->setEditText(command); }

QString Composer::command() const { return command_->currentText(); }
QString Composer::preview() const { return preview_->text(); }
QString Composer::problem() const { return problem_->text(); }

} // namespace monitor
