#include "tests/support/caption_fit.h"
#include "tests/support/window_fixture.h"

#include "window/widget_table.h"

#include <QApplication>
#include <QFontInfo>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QStyle>
#include <QStyleOptionButton>

#include <algorithm>

namespace {

const char* const kNoTagged[] = { "BTNOpenCom", "txt(0)" };
const char* const kNcTagged[]
    = { "BTNCloseCom", "Command1", "Command2", "Command3", "Command4", "Command9", "BTNSend" };

using WindowStart = WindowFixture;

TEST_F(WindowStart, ClosedArrangementAndStartValues)
{
    EXPECT_EQ(frm.windowTitle(), "Quillet  v2.2");
    for (const char* name : kNoTagged)
        EXPECT_TRUE(w(name)->isEnabled()) << name;
    for (const char* name : kNcTagged)
        EXPECT_FALSE(w(name)->isEnabled()) << name;
    EXPECT_TRUE(w<QRadioButton>("Option2")->isChecked());
    EXPECT_FALSE(w<QRadioButton>("Option1")->isChecked());
    EXPECT_FALSE(w<QRadioButton>("Option3")->isChecked());
    const std::pair<const char*, const char*> texts[] = {
        { "Text1", "48" },
        { "Text7", "0" },
        { "Text4", "0" },
        { "Text5", "0" },
        { "Text11", "0" },
        { "Text12", "0" },
        { "Text9", "1" },
        { "txt(0)", "COM5:" },
        { "Text3", "" },
    };
    for (const auto& [name, text] : texts)
        EXPECT_EQ(line(name)->text(), text) << name;
    for (const char* name : { "Text2", "Text6", "Text8", "Text10" })
        EXPECT_TRUE(box(name)->toPlainText().isEmpty()) << name;
    EXPECT_EQ(lamp()->fillColor(), window::kYellow);
    EXPECT_FALSE(frm.TMRComm.isActive());
    EXPECT_EQ(frm.TMRComm.interval(), 10);
    EXPECT_EQ(button("BTNSend")->text(), "&Send Txt");
    EXPECT_EQ(frm.windowIcon().pixmap(24, 24).toImage().size(), QSize(24, 24));
}

TEST_F(WindowStart, EveryTableRowIsAWidgetWithItsGeometry)
{
    for (const window::WidgetRow& row : window::WidgetTable()) {
        QWidget* widget = w(row.name);
        ASSERT_NE(widget, nullptr);
        const QRect expected(qRound(row.left / 15.0), qRound(row.top / 15.0),
            qRound(row.width / 15.0), qRound(row.height / 15.0));
        EXPECT_EQ(widget->geometry(), expected) << row.name;
        const QString parent = row.container ? row.container : "frmSerial";
        EXPECT_EQ(widget->parentWidget()->objectName(), parent) << row.name;
    }
    // A few in pixels, worked by hand: 11010 x 5715 twips, Text2 at 0,3840 sized 5475 x 1815.
    EXPECT_EQ(frm.size(), QSize(734, 381));
    EXPECT_EQ(w("Text2")->geometry(), QRect(0, 256, 365, 121));
    EXPECT_EQ(w("Text8")->geometry(), QRect(372, 40, 353, 129));
    EXPECT_EQ(frm.minimumSize(), frm.maximumSize());
    EXPECT_FALSE(frm.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(frm.windowFlags() & Qt::WindowMinimizeButtonHint);
}

TEST_F(WindowStart, CommsCaptionIsDrawnDarkBlueAndChildrenAreNot)
{
    const QImage image = w("Frame2")->grab().toImage();
    int blue = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 60; ++x) {
            const QColor c = image.pixelColor(x, y);
            blue += c.blue() > 120 && c.red() < 80 && c.green() < 80;
        }
    EXPECT_GT(blue, 5) << "no dark blue caption pixels";
    EXPECT_EQ(w<QLabel>("Label2")->palette().color(QPalette::WindowText),
        frm.palette().color(QPalette::WindowText));
}

TEST_F(WindowStart, SwitchTagsFlipsTaggedWidgetsOnly)
{
    // By widget: the monitor's controls, children too, do not all have names.
    QHash<QWidget*, bool> before;
    for (QWidget* widget : frm.findChildren<QWidget*>())
        before[widget] = widget->isEnabled();
    frm.SwitchTags();
    for (const char* name : kNoTagged)
        EXPECT_FALSE(w(name)->isEnabled()) << name;
    for (const char* name : kNcTagged)
        EXPECT_TRUE(w(name)->isEnabled()) << name;
    EXPECT_TRUE(w("Text1")->isEnabled());
    EXPECT_TRUE(w("Command5")->isEnabled());
    frm.SwitchTags();
    for (QWidget* widget : frm.findChildren<QWidget*>())
        EXPECT_EQ(widget->isEnabled(), before[widget]) << widget->objectName().toStdString();
}

TEST_F(WindowStart, ClearButtonsEmptyOnlyTheirBoxInBothArrangements)
{
    const std::pair<const char*, const char*> clears[] = {
        { "Command5", "Text6" },
        { "Command6", "Text8" },
        { "Command7", "Text2" },
        { "Command8", "Text10" },
    };
    for (int arrangement = 0; arrangement < 2; ++arrangement) {
        for (const auto& [buttonName, target] : clears) {
            for (const auto& [_, name] : clears)
                box(name)->setPlainText(QString("text of ") + name);
            QTest::mouseClick(button(buttonName), Qt::LeftButton);
            for (const auto& [_, name] : clears)
                EXPECT_EQ(box(name)->toPlainText().isEmpty(), name == target)
                    << buttonName << " " << name;
            QTest::mouseClick(button(buttonName), Qt::LeftButton); // on an empty box too
            EXPECT_TRUE(box(target)->toPlainText().isEmpty());
        }
        frm.SwitchTags();
    }
}

TEST_F(WindowStart, AddressBoxRefusesAThirdCharacter)
{
    QLineEdit* text1 = line("Text1");
    text1->clear();
    text1->setFocus();
    QTest::keyClicks(text1, "123");
    EXPECT_EQ(text1->text(), "12");
}

TEST_F(WindowStart, EnterAndEscapeDoNothingWhileClosedAndPressButtonsWhileOpen)
{
    int sends = 0, closes = 0;
    QObject::connect(button("BTNSend"), &QPushButton::clicked, [&] { ++sends; });
    QObject::connect(button("BTNCloseCom"), &QPushButton::clicked, [&] { ++closes; });
    line("Text3")->setFocus();
    QTest::keyClick(line("Text3"), Qt::Key_Return);
    QTest::keyClick(line("Text3"), Qt::Key_Escape);
    EXPECT_EQ(sends + closes, 0);

    // The access key of the disabled "&Send Txt" types nothing into the focused box.
    const QString typed = line("Text3")->text();
    QTest::keyClick(line("Text3"), Qt::Key_S, Qt::AltModifier);
    EXPECT_EQ(line("Text3")->text(), typed);
    EXPECT_EQ(sends, 0);

    frm.SwitchTags();
    line("Text3")->setFocus();
    QTest::keyClick(line("Text3"), Qt::Key_Return);
    EXPECT_EQ(sends, 1);
    // Enter on another push button presses that button, not the default one.
    int clears = 0;
    QObject::connect(button("Command7"), &QPushButton::clicked, [&] { ++clears; });
    button("Command7")->setFocus();
    QTest::keyClick(button("Command7"), Qt::Key_Return);
    EXPECT_EQ(clears, 1);
    EXPECT_EQ(sends, 1);
    QTest::keyClick(line("Text4"), Qt::Key_Escape);
    EXPECT_EQ(closes, 1);
}

TEST_F(WindowStart, SpeedButtonsExcludeEachOther)
{
    auto* o1 = w<QRadioButton>("Option1");
    auto* o3 = w<QRadioButton>("Option3");
    QTest::mouseClick(o1, Qt::LeftButton, {}, QPoint(6, o1->height() / 2));
    EXPECT_TRUE(o1->isChecked());
    EXPECT_FALSE(w<QRadioButton>("Option2")->isChecked());
    QTest::mouseClick(o3, Qt::LeftButton, {}, QPoint(6, o3->height() / 2));
    EXPECT_TRUE(o3->isChecked());
    EXPECT_FALSE(o1->isChecked());
}

// Every enabled widget that takes focus, in tab-index order; the speed buttons are one stop,
// at the selected one.
std::vector<QString> expectedTabStops(window::frmSerial& frm)
{
    std::vector<std::pair<int, QString>> stops;
    for (const window::WidgetRow& row : window::WidgetTable()) {
        using window::Kind;
        QWidget* w = frm.findChild<QWidget*>(row.name);
        const bool focusable = row.kind == Kind::TextBox || row.kind == Kind::Button
            || (row.kind == Kind::Radio && static_cast<QRadioButton*>(w)->isChecked());
        if (focusable && w->isEnabled())
            stops.emplace_back(row.tab, row.name);
    }
    std::sort(stops.begin(), stops.end());
    std::vector<QString> names;
    for (const auto& stop : stops)
        names.push_back(stop.second);
    return names;
}

std::vector<QString> tabWalk(QWidget* start, std::size_t steps)
{
    start->setFocus();
    std::vector<QString> seen { QApplication::focusWidget()->objectName() };
    for (std::size_t i = 1; i < steps; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        seen.push_back(QApplication::focusWidget()->objectName());
    }
    return seen;
}

TEST_F(WindowStart, TabVisitsEveryEnabledStopOnceInTableOrderInBothArrangements)
{
    for (int arrangement = 0; arrangement < 2; ++arrangement) {
        const std::vector<QString> expected = expectedTabStops(frm);
        ASSERT_GT(expected.size(), 15u);
        // Once round and back to the start: display boxes pass focus on like any other box.
        auto walked = tabWalk(w(expected.front().toLatin1()), expected.size() + 1);
        EXPECT_EQ(walked.back(), expected.front());
        walked.pop_back();
        EXPECT_EQ(walked, expected) << "arrangement " << arrangement;
        EXPECT_TRUE(box("Text2")->toPlainText().isEmpty()) << "a Tab was typed into a box";
        frm.SwitchTags();
    }
}

TEST_F(WindowStart, TabLandsOnTheSelectedSpeedButton)
{
    for (const char* selected : { "Option3", "Option1", "Option2" }) {
        w<QRadioButton>(selected)->setChecked(true);
        const auto walked = tabWalk(line("Text1"), 2);
        EXPECT_EQ(walked[1], selected);
    }
}

TEST_F(WindowStart, EnterInADisplayBoxIsALineBreakWhileSendIsDisabled)
{
    int sends = 0;
    QObject::connect(button("BTNSend"), &QPushButton::clicked, [&] { ++sends; });
    for (const char* name : { "Text2", "Text6", "Text8", "Text10" }) {
        box(name)->setFocus();
        QTest::keyClick(box(name), Qt::Key_Return);
        EXPECT_EQ(box(name)->toPlainText(), "\n") << name;
    }
    EXPECT_EQ(sends, 0);
}

TEST_F(WindowStart, EveryCaptionFitsItsBoxInTheWindowsFont)
{
    EXPECT_EQ(QFontInfo(frm.font()).pixelSize(), 11);
    for (const window::WidgetRow& row : window::WidgetTable())
        EXPECT_EQ(w(row.name)->font(), frm.font()) << row.name << " sets a font of its own";
    EXPECT_EQ(CaptionFaults(frm), std::vector<std::string> {});
}

TEST(WindowStyles, CaptionsFitAndEndBeforeTheLampInEveryStyle)
{
    const QString before = QApplication::style()->name();
    for (const char* style : { "Fusion", "Windows" }) {
        ASSERT_TRUE(QApplication::setStyle(style)) << style;
        window::frmSerial frm;
        EXPECT_EQ(CaptionFaults(frm), std::vector<std::string> {}) << style;
    }
    QApplication::setStyle(before);
}

TEST_F(WindowStart, IconHasA48PixelRenderingAndFreeTextHasNoLengthCap)
{
    const QList<QSize> sizes = frm.windowIcon().availableSizes();
    EXPECT_TRUE(sizes.contains(QSize(24, 24)));
    EXPECT_TRUE(sizes.contains(QSize(48, 48)));
    line("Text3")->setText(QString(100000, 'x'));
    EXPECT_EQ(line("Text3")->text().size(), 100000);
    EXPECT_EQ(line("Text1")->maxLength(), 2);
}

} // namespace
