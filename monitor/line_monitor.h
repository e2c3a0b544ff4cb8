// The line monitor: a second window that tells what every frame on the line means. The main
// window hands it what was written and read; it never touches the port.
#pragma once

#include "benchfiles/register_map.h"
#include "benchfiles/workspace.h"
#include "modbus/frame_analysis.h"
#include "modbus/frame_details.h"
#include "monitor/line_recording.h"
#include "requests/request_language.h"
#include "runs/poll_schedule.h"

#include <QTimer>
#include <QWidget>

#include <deque>
#include <functional>
#include <memory>
#include <optional>

class QComboBox;
class QGridLayout;
class QLabel;
class QSplitter;
class QStandardItemModel;

namespace monitor {

class BenchBar;
class Composer;
class ListenBar;
class CopyableTable;
class FrameTableModel;
class PollPanel;
class PollRun;
class RunViews;

class LineMonitor : public QWidget
{
public:
    // The newest rows kept: a night of traffic at the poller's full pace stays bounded.
    static constexpr std::size_t kCapacity = 100'000;

    explicit LineMonitor(QWidget* parent = nullptr);
    ~LineMonitor() override;

    // A port session begins: counts start again, hints name the line. On a network link
    // (network: how it carries frames) speed, parity and stop bits are greyed, with the reason.
    void sessionOpened(const QString& line, std::optional<modbus::Framing> network = {},
        modbus::Framing lineFraming = modbus::Framing::Rtu);
    // The bytes that carry a request on the session's link: an MBAP header on Modbus TCP.
    std::string wireOf(const std::string& frame, bool rawText) const
    {
        return recording_.wireOf(frame, rawText);
    }
    // What a request button wrote, and what one read returned (empty: nothing came).
    // notSent: why nothing could be written (a network link with no connection).
    void written(
        const std::string& frame, int count, bool rawText, const std::string& notSent = {});
    void read(const std::string& chunk);
    // The last read's replies as RTU frames (see LineRecording).
    const std::string& lastReplyBytes() const { return recording_.lastReplyBytes(); }
    // The response time-out the monitor waits before "no reply", in ms.
    int noReplyMs() const { return recording_.noReplyMs(); }
    // What the link learnt, as a row: a connection closed or made again.
    void note(const std::string& text, bool streamEnded) { recording_.note(text, streamEnded); }

    // One character's time on the session's line (0: a network), for the timing advice.
    void setCharacterUs(std::int64_t us) { recording_.setCharacterUs(us); }
    // Whether the port opened may be a USB adapter (a pty is not), for the timing advice.
    void setMayBeUsb(bool may) { mayBeUsb_ = may; }
    bool mayBeUsb() const { return mayBeUsb_; }
    // The line as the title shows it: "COM5: 9600 8E1".
    void setLineTitle(const QString& line);
    // The last Open failed: the title says so until the port opens or the line changes.
    void openFailed();
    // Parity ('n', 'e', 'o') and stop bits shown in the top row; changes go to onLineChosen.
    void showLineChoice(char parity, int stopBits);
    std::function<void(char parity, int stopBits)> onLineChosen;
    // RTU or ASCII and the data bits (7 for ASCII only) in the top row; changes go to
    // onFramingChosen.
    void showFramingChoice(modbus::Framing framing, int dataBits);
    std::function<void(modbus::Framing framing, int dataBits)> onFramingChosen;
    // The speed for the next Open: 0, "as the main window" (its three buttons rule), or one of
    // the standard speeds, which then overrides them. Changes go to onSpeedChosen.
    void showSpeedChoice(int bitsPerSecond);
    std::function<void(int bitsPerSecond)> onSpeedChosen;
    // What the composer sends: the whole frame.
    std::function<void(const std::string& frame)> onSendRequest;
    // The echo probe, written as it is and logged nowhere.
    std::function<void(const std::string& frame)> onSendProbe;
    void setPortState(PortState state);
    // A line about the port beside the line settings, e.g. that parity does not apply on it.
    void setPortNote(const QString& note);
    // The widgets are made when the monitor is first shown, or first asked for one: a monitor
    // that records from the start costs the window's start no more than its recording.
    Composer* composer() { return build(), composer_; }
    PollPanel* pollPanel() { return build(), pollPanel_; }
    RunViews* views() { return build(), views_; }
    bool built() const { return built_; }
    // Once the widgets are made: the window connects what it needs of them then.
    std::function<void()> onBuilt;
    const PollRun* run() const { return recording_.run(); }

    // A polling run of these frames: it sends through onSendRequest on the poller's ticks.
    void startRun(std::vector<std::string> frames, modbus::PollSettings settings);
    void stopRun();
    // How long an idle read may wait so that the run's next request goes on time (1..256 ms);
    // 0 when no run waits to send.
    int idleReadLimitMs() const { return recording_.idleReadLimitMs(); }
    // The data log of the runs from now on; false when the file cannot be opened.
    bool recordTo(const std::string& path);
    // Why the data log is not being written, once that is known; empty while it is.
    QString recordProblem() const { return recording_.recordProblem(); }

    // A register map: names and engineering values in the details, the watch, the trend and
    // the composer from now on. Refused lines are told beside the bench's buttons; false when
    // the file cannot be read (the map in use stays).
    bool loadMap(const QString& path);
    const modbus::RegisterMap* map() const { return map_.get(); }
    QString mapPath() const { return mapPath_; }
    modbus::WordOrder wordOrder() const;
    // Whether the adapter hands back what it sends; applies at once, and to each new session.
    modbus::EchoMode echo() const;
    void setEcho(modbus::EchoMode mode);
    // A command as the composer reads it: with a map, names too.
    modbus::ParsedRequest parse(const std::string& command) const;

    // Workspaces. The main window's part (port, speed, parity, stop bits) goes through these;
    // the monitor keeps the rest. Opening changes only what the file holds; false, and nothing
    // changed, when it is refused.
    std::function<void(modbus::Workspace&)> fillMainPart;
    std::function<void(const modbus::Workspace&)> applyMainPart;
    bool saveWorkspace(const QString& path);
    bool openWorkspace(const QString& path);
    BenchBar* benchBar() { return build(), bench_; }

    // Listening to a line another master drives: the window reads, the monitor makes the rows,
    // and nothing is sent (the composer and the poll panel say why). The window is asked
    // through onListenChosen and answers with startListening or stopListening.
    std::function<void(bool on)> onListenChosen;
    std::function<void()> onFindSpeed;
    void startListening(std::int64_t characterUs, std::int64_t silenceUs,
        modbus::Framing framing = modbus::Framing::Rtu);
    void stopListening();
    bool listening() const { return recording_.listening(); }
    // Listening, and a frame or an exchange is under way: no moment to redraw.
    bool midExchange() const
    {
        return recording_.listening() && recording_.listenSession()->midExchange();
    }
    // The frames heard in the last listening session as a pcap file; false when it cannot be
    // written (told beside the Listen button).
    bool saveCapture(const QString& path);
    ListenBar* listenBar() { return build(), listenBar_; }

    CopyableTable* frames() { return build(), frames_; }
    CopyableTable* details() { return build(), details_; }
    QString statusText() const;

    // Made before it is first shown, so that it shows laid out.
    void setVisible(bool visible) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void build();
    void makeChoices(); // the line's and the values' choice boxes
    void applyHeldChoices();
    void greyLineChoices();
    void nameChildren();
    void sizeColumns();
    QGridLayout* lineGrid();
    void layOut();
    void orderTabs();
    void showTitle();
    // The frames above the views: they take the room; the heights the user sets are kept.
    void keepSplit(QSplitter* split);
    void connectControls();
    // The rows the recording made: into the table when shown, else held until it is.
    void showRows(std::vector<modbus::FrameRow> rows);
    std::optional<int> detailedRow() const;
    QString runState(const PollRun& run) const;
    void showDetails();
    void showCounts();
    void refreshView();
    void connectRun();
    void connectBench();
    void connectListening();
    void showListening();
    QString listeningStatus() const;
    void mapChanged();
    modbus::Workspace workspace(const QString& path) const;
    // The run's list from commands, with the composer's slave and map; those that build no
    // request are left out and returned.
    std::vector<std::string> listRequests(const std::vector<std::string>& commands);
    // What it could not use: requests that do not build.
    std::vector<std::string> applyWorkspace(const modbus::Workspace& w, const QString& path);

    LineRecording recording_;
    FrameTableModel* model_;
    QStandardItemModel* detailModel_;
    bool built_ = false;
    // What the widgets show, held while they are not made yet.
    modbus::WordOrder order_ = modbus::WordOrder::ABCD;
    char parityChoice_ = 'n';
    int stopBitsChoice_ = 1;
    modbus::Framing framingChoice_ = modbus::Framing::Rtu;
    int dataBitsChoice_ = 8;
    int speedChoice_ = 0;
    bool network_ = false; // the session's link has no line settings
    QString portNoteText_;
    BenchBar* bench_ = nullptr; // before the composer: first in the Tab order, as on screen
    Composer* composer_ = nullptr;
    std::shared_ptr<const modbus::RegisterMap> map_;
    QString mapPath_;
    QString mapNote_; // how the last map loaded, or why it did not
    PollPanel* pollPanel_ = nullptr;
    ListenBar* listenBar_ = nullptr;
    CopyableTable* frames_ = nullptr;
    CopyableTable* details_ = nullptr;
    RunViews* views_ = nullptr; // after details_: it holds them in its first tab
    QComboBox* parity_ = nullptr;
    QComboBox* stopBits_ = nullptr;
    QComboBox* framing_ = nullptr; // RTU, ASCII
    static constexpr const char* kSplitKey = "monitor/split"; // the frames' and views' heights
    QComboBox* dataBits_ = nullptr; // 8, 7
    QComboBox* speed_ = nullptr;
    QComboBox* wordOrder_ = nullptr;
    QComboBox* echo_ = nullptr;
    std::optional<int> byteTimeoutMs_; // a workspace's, kept for saving it again
    std::optional<int> graceMs_; // a workspace's, kept for saving it again
    QLabel* status_ = nullptr;
    QString lineTitle_;
    bool openFailed_ = false;
    bool mayBeUsb_ = true;
    QLabel* portNote_ = nullptr;
    // New rows are shown at most ten times a second: following them and redrawing the counts
    // at the poller's full pace would cost more than the analysis.
    QTimer refresh_;
    bool follow_ = false;
    std::deque<modbus::FrameRow> hidden_; // rows made while the monitor was hidden
};

} // namespace monitor
