// What the monitor records from the start, apart from the widgets that show it: the line's
// frame analysis, the polling run, and whose turn the line is (a composed request waits for the
// poll or a button's request out, and no poll goes while either is out). The window feeds it what
// was written and read; it hands on the rows the analysis made.
#pragma once

#include "exchange/echo_probe.h"
#include "exchange/request_gate.h"
#include "listening/listen_session.h"
#include "modbus/frame_analysis.h"
#include "modbus/request_fields.h"
#include "runs/poll_schedule.h"

#include <QElapsedTimer>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace monitor {

class PollRun;

// Whether the main window's port is open, closed by the user, or gone until it comes back.
enum class PortState { Closed, Open, Gone };

class LineRecording
{
public:
    LineRecording();
    ~LineRecording();
    LineRecording(const LineRecording&) = delete;
    LineRecording& operator=(const LineRecording&) = delete;

    // The rows the analysis made, oldest first.
    std::function<void(std::vector<modbus::FrameRow>)> onRows;
    // Sends a whole frame the window's own way.
    std::function<void(const std::string& frame)> onSendRequest;
    // Writes the echo probe as it is, logged nowhere: it is no request of the user's.
    std::function<void(const std::string& frame)> onSendProbe;

    // A port session begins: counts start again, hints name the line ("19200 8N1") or the
    // network link ("tcp://10.0.0.5:502"), which carries frames its own way.
    // lineFraming: how a serial line carries frames (RTU or ASCII).
    void sessionOpened(const std::string& line, std::optional<modbus::Framing> network = {},
        modbus::Framing lineFraming = modbus::Framing::Rtu);
    // The bytes that carry a frame on this session's link (an MBAP header on Modbus TCP).
    std::string wireOf(const std::string& frame, bool rawText) const;
    // An ASCII line's frame as its text and its address and PDU as bytes; empty elsewhere.
    std::string wireText(const std::string& frame) const;
    void written(
        const std::string& frame, int count, bool rawText, const std::string& notSent = {});
    void read(const std::string& chunk);
    // What the last read brought as RTU frames, for what shows replies the design's way: on
    // Modbus TCP the replies it carried (a late one is nobody's); elsewhere the read itself.
    const std::string& lastReplyBytes() const { return lastReply_; }
    // What the link learnt: a connection closed or made again.
    void note(const std::string& text, bool streamEnded);
    // The composer's request: at once, or after the answer to the poll, button's or composed
    // request out (or that request's no-reply time): never two requests out. verify: the write it
    // carries, read back once it is answered well, the outcome told as a row ("read back: as
    // written", "read back: holding 5: wrote 1234, read 1000").
    void sendComposed(
        const std::string& frame, std::optional<modbus::RequestFields> verify = std::nullopt);
    void setPortState(PortState state);
    PortState portState() const { return portState_; }

    // One character's time on the session's line (0: a network): for the timing advice.
    void setCharacterUs(std::int64_t us) { characterUs_ = us; }
    std::int64_t characterUs() const { return characterUs_; }
    void setNoReplyMs(int ms);
    int noReplyMs() const { return noReplyMs_; }
    void setEcho(modbus::EchoMode mode);
    modbus::EchoMode echo() const { return echo_; }
    // The quiet kept after an unanswered request before one whose reply would look the same.
    void setGraceMs(int ms);
    int graceMs() const { return graceMs_; }

    // A run of these frames, its first request sent at once; null when the port is not open
    // or nothing is to be polled.
    PollRun* startRun(std::vector<std::string> frames, modbus::PollSettings settings);
    void stopRun();
    PollRun* run() const { return run_.get(); }
    // How long an idle read may wait so that the run's next request goes on time, or the poll
    // out times out on time (1..256 ms); 0 without a run.
    int idleReadLimitMs() const;
    // The data log of the runs from now on; false when the file cannot be opened.
    bool recordTo(const std::string& path);
    // Why the data log is not being written, once that is known; empty while it is.
    // The data log being written; empty: none.
    const std::string& recordPath() const { return recordPath_; }
    QString recordProblem() const;

    // Listening to a line another master drives: reads go to a listener instead of the
    // analysis, and nothing is sent. The last session stays for its statistics, watch and
    // capture once listening stops.
    void startListening(std::int64_t characterUs, std::int64_t silenceUs,
        modbus::Framing framing = modbus::Framing::Rtu);
    void stopListening();
    bool listening() const { return listeningNow_; }
    const modbus::ListenSession* listenSession() const { return listen_.get(); }

    const modbus::LineCounts& counts() const { return analyzer_->counts(); }
    modbus::LineTime now() const;

private:
    void takeRows();
    void settleComposed(const std::vector<modbus::FrameRow>& rows);
    void keepReplies(const std::vector<modbus::FrameRow>& rows);
    void takeHeard();
    void composedEnded(const modbus::FrameRow& row);
    void sendNext();
    void transmit(const std::string& frame);
    // In auto, before a composed write answered by a copy of itself, while the echo is unknown.
    bool needsEchoProbe(const std::string& frame) const;
    void probeRead(const std::string& chunk);
    // What the line's grace learns from rows that end an exchange.
    void feedGate(const std::vector<modbus::FrameRow>& rows);
    bool gateHolds(const std::string& frame) const;
    void resetGate();
    // A button's request out and within its no-reply time: a composed request or a poll waits.
    bool buttonOut() const;

    std::unique_ptr<modbus::FrameAnalyzer> analyzer_;
    QElapsedTimer clock_;
    std::unique_ptr<PollRun> run_;
    PortState portState_ = PortState::Closed;
    int noReplyMs_ = 1000;
    std::int64_t characterUs_ = 0;
    modbus::EchoMode echo_ = modbus::EchoMode::Auto;
    std::string recordPath_;
    QString recordProblem_;
    std::string composedWaiting_; // a composed request held while another request is out
    std::string composedOut_; // a composed request sent and not answered yet
    bool sendingOwn_ = false; // what is being written is the run's or the composer's
    // Until when a design button's request may still be answered; nullopt: none is out.
    std::optional<std::int64_t> buttonOutUntilUs_;
    bool buttonSeen_ = false; // its own row has come: what follows may answer it
    bool composedSeen_ = false; // its own row has come: what follows may answer it
    std::string lastReply_;
    struct ReadBack
    {
        modbus::RequestFields write;
        std::string readFrame;
        bool readSent = false;
        int readInReads = -1; // reads before the read-back goes; -1: not yet due
        std::string writeFrame; // the write it follows, which may wait for its turn
    };
    std::optional<ReadBack> readBack_; // a composed write to be read back
    std::string readBackNote_; // its outcome, told once the rows that settled it are out
    // The adapter's echo being found; the composed write waits for it.
    std::optional<modbus::EchoProbe> probe_;
    std::string afterProbe_;
    int graceMs_ = 100;
    bool mbap_ = false; // this session's link carries transaction ids
    modbus::RequestGate gate_ { 0, graceMs_ * 1000LL }; // the window keeps its own silence
    std::unique_ptr<modbus::ListenSession> listen_;
    bool listeningNow_ = false;
    std::int64_t epochUsAtStart_ = 0; // the epoch time at which clock_ read 0
};

} // namespace monitor
