// The reply poller's ticks, fed by a recording port.
#include "log_dir.h"
#include "window_fixture.h"

#include "tests/support/fake_comm.h"
#include "window/display_box.h"

#include <QScrollBar>

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

} // namespace
