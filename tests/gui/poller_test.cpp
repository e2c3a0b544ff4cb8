// The reply poller's ticks, fed by a recording port.
#include "tests/support/log_dir.h"
#include "tests/support/window_fixture.h"

#include "tests/support/fake_comm.h"
#include "window/display_box.h"

#include <QScrollBar>
#include <QTextBlock>

namespace {

class Poller : public WindowFixture
{
protected:
    void SetUp() override
    {
        platform = &fake::Reset();
        WindowFixture::SetUp();
        QTest::mouseClick(button("BTNOpenCom"), Qt::LeftButton);
        frm.TMRComm.stop(); // ticks are driven by hand here
        platform->calls.clear();
        logStart = LogDir::read("Quillet_log_COM5.txt").size();
    }
    void tick(const std::string& chunk)
    {
        if (!chunk.empty())
            platform->reads.push_back(chunk);
        frm.TMRComm_Timer();
    }
    std::string entries()
    {
        return Normalised(LogDir::read("Quillet_log_COM5.txt").substr(logStart));
    }

    LogDir dir;
    fake::Platform* platform = nullptr;
    std::size_t logStart = 0;
};

TEST_F(Poller, LampStartsYellowThenBlinksWhiteGreyAndShowsRedOnData)
{
    EXPECT_EQ(lamp()->fillColor(), window::kYellow);
    const unsigned idle[] = { window::kWhite, window::kGrey, window::kWhite, window::kGrey };
    for (unsigned colour : idle) {
        tick("");
        EXPECT_EQ(lamp()->fillColor(), colour);
    }
    tick("x");
    EXPECT_EQ(lamp()->fillColor(), window::kRed);
    tick("");
    EXPECT_EQ(lamp()->fillColor(), window::kWhite);
    EXPECT_EQ(entries(), "T  :< Reply DATA :\r\nx\r\n78 \r\n\r\n\r\n");
}

TEST_F(Poller, RawDumpOfAnotherSenderInText2AndTheLog)
{
    tick("\x41\x54\x0D\x0A");
    EXPECT_EQ(box("Text2")->toPlainText(), "Reply DATA :\nAT\n41 54 D A \n\n");
    EXPECT_EQ(entries(), "T  :< Reply DATA :\r\nAT\r\n41 54 D A \r\n\r\n\r\n");
    // The drain follows the read on a tick with data, and again at its end.
    std::vector<std::string> names;
    for (const auto& c : platform->calls)
        names.push_back(c.name);
    EXPECT_EQ(
        names, (std::vector<std::string> { "ReadFile", "FlushFileBuffers", "FlushFileBuffers" }));
}

TEST_F(Poller, RecognisedRepliesGoToTheirGroupsBoxesAfterWhatTheUserTyped)
{
    box("Text6")->setPlainText("typed by hand");
    tick(std::string("\x30\x06\x00\x01\x00\x0A\x5C\x2C", 8));
    tick(std::string("\x30\x10\x00\x01\x00\x01\x54\x28", 8));
    tick(std::string("\x30\x03\x02\x00\x0A\x45\x87", 7));
    EXPECT_EQ(
        box("Text6")->toPlainText(), "typed by handReply : ADDR : 1: Data :  10: CRC : 5C 2C\n");
    EXPECT_EQ(box("Text10")->toPlainText(), "Reply : ADDR : 1: Data :  1: CRC : 54 28\n");
    EXPECT_EQ(box("Text8")->toPlainText(), "Reply  2 butes :  Data :  10: CRC : 45 87\n");
    EXPECT_EQ(frm.designVariables().FirstHi, 10);
    EXPECT_EQ(entries(),
        "T  :< Reply : ADDR : 1: Data :  10: CRC : 5C 2C\r\n\r\n"
        "T  :< Reply : ADDR : 1: Data :  1: CRC : 54 28\r\n\r\n"
        "T  :< Reply  2 butes :  Data :  10: CRC : 45 87\r\n\r\n");
    EXPECT_TRUE(box("Text2")->toPlainText().isEmpty());
}

TEST_F(Poller, ShortRecognisedChunksAndOtherFunctionsAreRawUnderReply)
{
    tick("\x30");
    tick(std::string("\x30\x06\x00\x01", 4));
    tick(std::string("\x30\x11\x03OK", 5));
    EXPECT_EQ(box("Text2")->toPlainText(),
        "Reply \n0\n30 \n\nReply \n0\n30 6 0 1 \n\nReply \n0OK\n30 11 3 4F 4B \n\n");
    line("Text1")->setText(".5");
    tick(std::string("\x00\x03\x02\x00\x01\x00\x00", 7));
    EXPECT_TRUE(box("Text2")->toPlainText().endsWith("Reply DATA :\n\n0 3 2 0 1 0 0 \n\n"));
    line("Text1")->clear(); // an empty address box reads as 0
    tick(std::string("\x00\x03\x02\x00\x01\x00\x00", 7));
    EXPECT_EQ(box("Text8")->toPlainText(), "Reply  2 butes :  Data :  1: CRC : 0 0\n");
}

TEST_F(Poller, ViewFollowsNewRepliesOnlyWhileAtTheEnd)
{
    QPlainTextEdit* text8 = box("Text8");
    for (int i = 0; i < 200; ++i)
        window::AppendToBox(text8, QString("line %1\r\n").arg(i));
    QScrollBar* bar = text8->verticalScrollBar();
    EXPECT_EQ(bar->value(), bar->maximum());
    bar->setValue(10); // the user reads back
    window::AppendToBox(text8, "more\r\n");
    EXPECT_EQ(bar->value(), 10);
    bar->setValue(bar->maximum());
    window::AppendToBox(text8, "more\r\n");
    EXPECT_EQ(bar->value(), bar->maximum());
}

TEST_F(Poller, DisplayBoxKeepsItsNewestWholeLinesWithinItsCapacity)
{
    // By characters in one box, by lines in the other.
    const std::pair<const char*, window::BoxCapacity> boxes[] = {
        { "Text2", { 1000, 1'000'000 } },
        { "Text8", { 1'000'000, 50 } },
    };
    for (const auto& [name, capacity] : boxes) {
        QPlainTextEdit* display = box(name);
        for (int i = 0; i < 500; ++i) {
            window::AppendToBox(
                display, QString("line %1 %2\r\n").arg(i).arg(QString(i % 7, 'x')), capacity);
            ASSERT_LE(window::HeldCharacters(display), capacity.characters) << name << " " << i;
            ASSERT_LE(window::HeldLines(display), capacity.lines) << name << " " << i;
        }
        const QStringList lines = display->toPlainText().split('\n');
        EXPECT_GT(std::max(window::HeldCharacters(display) * 2 / capacity.characters,
                      window::HeldLines(display) * 2 / capacity.lines),
            0)
            << name << ": trimmed far below the capacity";
        EXPECT_TRUE(lines.front().startsWith("line "))
            << "a line cut in half: " << lines.front().toStdString();
        EXPECT_EQ(lines[lines.size() - 2], "line 499 xx");
        // Consecutive, newest last: only the oldest went.
        const int first = lines.front().section(' ', 1, 1).toInt();
        for (int i = 0; i + 1 < lines.size(); ++i)
            EXPECT_EQ(lines[i].section(' ', 1, 1).toInt(), first + i) << name;
    }
    // A line longer than the whole capacity is kept whole, alone.
    QPlainTextEdit* text6 = box("Text6");
    window::AppendToBox(text6, "old\r\n", { 1000, 50 });
    window::AppendToBox(text6, QString(1500, 'y'), { 1000, 50 });
    EXPECT_EQ(text6->toPlainText(), QString(1500, 'y'));
}

TEST_F(Poller, ScrolledBackViewStaysOnItsLinesWhileOldOnesDrop)
{
    QPlainTextEdit* text8 = box("Text8");
    for (int i = 0; i < 400; ++i)
        window::AppendToBox(text8, QString("line %1\r\n").arg(i), { 4000, 1'000'000 });
    QScrollBar* bar = text8->verticalScrollBar();
    bar->setValue(bar->maximum() - 40); // the user reads back
    const QString reading = text8->cursorForPosition(QPoint(2, 2)).block().text();
    for (int i = 400; i < 460; ++i)
        window::AppendToBox(text8, QString("line %1\r\n").arg(i), { 4000, 1'000'000 });
    ASSERT_FALSE(text8->toPlainText().startsWith("line 0\n")) << "nothing was dropped";
    EXPECT_EQ(text8->cursorForPosition(QPoint(2, 2)).block().text(), reading);
    bar->setValue(bar->maximum());
    window::AppendToBox(text8, "line 460\r\n", { 4000, 1'000'000 });
    EXPECT_EQ(bar->value(), bar->maximum());
}

} // namespace
