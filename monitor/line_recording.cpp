#include "monitor/line_recording.h"

#include "monitor/monitor_run.h"

#include "modbus/ascii_frame.h"
#include "modbus/function_table.h"
#include "requests/read_back.h"

#include <QDateTime>
#include <QTime>

#include <algorithm>
#include <utility>

namespace monitor {

namespace {

    // Whether a row ends the exchange of the request before it: an answer, or what came
    // instead.
    bool endsExchange(const modbus::FrameRow& row)
    {
        return (row.replyMs && row.kind != modbus::RowKind::Echo)
            || row.kind == modbus::RowKind::NoReply || row.kind == modbus::RowKind::NotFrame
            || row.kind == modbus::RowKind::Interrupted;
    }

} // namespace

LineRecording::LineRecording()
    : analyzer_(std::make_unique<modbus::FrameAnalyzer>())
{
    clock_.start();
    epochUsAtStart_ = QDateTime::currentMSecsSinceEpoch() * 1000;
}

LineRecording::~LineRecording() = default;

modbus::LineTime LineRecording::now() const
{
    return { clock_.nsecsElapsed() / 1000, QTime::currentTime().msecsSinceStartOfDay() };
}

void LineRecording::sessionOpened(
    const std::string& line, std::optional<modbus::Framing> network, modbus::Framing lineFraming)
{
    takeRows();
    analyzer_ = std::make_unique<modbus::FrameAnalyzer>(line);
    if (network)
        analyzer_->setNetwork(*network);
    else
        analyzer_->setFraming(lineFraming);
    setNoReplyMs(noReplyMs_);
    analyzer_->setEcho(echo_); // "auto" learns anew: another adapter may be in use
    mbap_ = network
        && (*network == modbus::Framing::MbapStream || *network == modbus::Framing::MbapDatagram);
    resetGate();
    buttonOutUntilUs_.reset();
}

void LineRecording::written(
    const std::string& frame, int count, bool rawText, const std::string& notSent)
{
    if (listeningNow_)
        return; // nothing is written while listening
    if (probe_) {
        // A design button's request goes at once: the echo is found another time.
        probe_.reset();
        composedWaiting_ = std::exchange(afterProbe_, {});
    }
    analyzer_->written(frame, count, rawText, now(), notSent);
    // Our own request that did not go whole, or a broadcast, has no answer to wait for.
    if (sendingOwn_ && (count < int(frame.size()) || analyzer_->broadcastSent()))
        composedOut_.clear();
    // A button's request (its answer or its no-reply time) is waited for by what we send.
    buttonOutUntilUs_.reset();
    if (!sendingOwn_ && !rawText && count > 0 && !analyzer_->broadcastSent())
        buttonOutUntilUs_ = now().monoUs + noReplyMs_ * 1000LL;
    buttonSeen_ = false; // rows before its own request row end earlier requests
    takeRows();
}

bool LineRecording::buttonOut() const
{
    return buttonOutUntilUs_ && now().monoUs < *buttonOutUntilUs_;
}

std::string LineRecording::wireText(const std::string& frame) const
{
    if (analyzer_->framing() != modbus::Framing::Ascii || frame.size() < 4)
        return {};
    return modbus::AsciiText(analyzer_->wireOf(frame)) + " \u00B7 "
        + modbus::HexBytes(std::string_view(frame).substr(0, frame.size() - 2));
}

std::string LineRecording::wireOf(const std::string& frame, bool rawText) const
{
    return analyzer_->wireOf(frame, rawText);
}

void LineRecording::note(const std::string& text, bool streamEnded)
{
    analyzer_->note(text, now(), streamEnded);
    takeRows();
}

void LineRecording::startListening(
    std::int64_t characterUs, std::int64_t silenceUs, modbus::Framing framing)
{
    stopRun(); // a run would write
    probe_.reset();
    afterProbe_.clear();
    composedWaiting_.clear();
    composedOut_.clear();
    listen_
        = std::make_unique<modbus::ListenSession>(characterUs, silenceUs, epochUsAtStart_, framing);
    listeningNow_ = true;
}

void LineRecording::stopListening()
{
    if (!listeningNow_)
        return;
    listeningNow_ = false;
    listen_->finish(now());
    takeHeard();
}

void LineRecording::takeHeard()
{
    std::vector<modbus::FrameRow> rows = listen_->take();
    if (!rows.empty() && onRows)
        onRows(std::move(rows));
}

void LineRecording::read(const std::string& chunk)
{
    if (listeningNow_) {
        lastReply_.clear(); // the design's boxes show replies to the window's own requests
        listen_->read(chunk, now());
        takeHeard();
        return;
    }
    if (probe_) {
        lastReply_.clear(); // the probe's echo is nobody's reply in the design's boxes
        probeRead(chunk);
        return;
    }
    analyzer_->read(chunk, now());
    if (!chunk.empty())
        gate_.heard(now().monoUs);
    lastReply_ = chunk;
    if (analyzer_->framing() != modbus::Framing::Rtu)
        lastReply_.clear(); // takeRows keeps the replies the read carried
    takeRows();
    // The read-back goes a read after the write's answer: its exchange is over by then.
    if (readBack_ && readBack_->readInReads >= 0 && readBack_->readInReads-- == 0) {
        readBack_->readSent = true;
        composedWaiting_ = readBack_->readFrame;
    }
    sendNext();
}

void LineRecording::sendNext()
{
    // The one place that decides what goes on the line next, after each read or when something
    // is asked for; never from within a write. Nothing goes while a request is out (a poll, a
    // button's, the composer's) or the echo is being found: the composer's request first
    // (after the echo probe where one is needed), then the run's polls, each when the line's
    // grace allows.
    if (listeningNow_ || probe_)
        return;
    const bool out = (run_ && run_->outstanding()) || buttonOut() || !composedOut_.empty();
    if (!out && !composedWaiting_.empty() && !gateHolds(composedWaiting_)) {
        const std::string frame = std::exchange(composedWaiting_, {});
        if (!needsEchoProbe(frame))
            return transmit(frame);
        afterProbe_ = frame;
        const std::string probe = analyzer_->wireOf(modbus::EchoProbeFrame());
        probe_.emplace(now().monoUs, characterUs_, probe);
        onSendProbe(probe);
        return;
    }
    // An ASCII reply on its way (no CR LF yet) is judged before its poll can time out: the
    // time-out runs to a reply's first character, as in quillet-cli.
    const bool replyFlows
        = analyzer_->framing() == modbus::Framing::Ascii && analyzer_->pendingBytes() > 0;
    if (run_ && composedOut_.empty() && !buttonOut() && !replyFlows)
        run_->tick(now().monoUs); // its time-out, and what is due, through the window's path
}

void LineRecording::takeRows()
{
    std::vector<modbus::FrameRow> rows = analyzer_->take();
    if (rows.empty())
        return;
    feedGate(rows);
    if (run_)
        run_->rows(rows, now().wallMs);
    settleComposed(rows);
    keepReplies(rows);
    if (onRows)
        onRows(std::move(rows));
    if (!readBackNote_.empty())
        note(std::exchange(readBackNote_, {}), false); // after the reply it judges
}

void LineRecording::keepReplies(const std::vector<modbus::FrameRow>& rows)
{
    using modbus::RowKind;
    if (analyzer_->framing() == modbus::Framing::Rtu)
        return;
    for (const modbus::FrameRow& row : rows)
        if (row.kind == RowKind::Reply || row.kind == RowKind::Exception
            || row.kind == RowKind::Mismatch || row.kind == RowKind::OtherAddress)
            lastReply_ += row.bytes;
        else if (row.kind == RowKind::NotFrame)
            lastReply_ += row.wire; // as it came: it is nobody's frame
}

void LineRecording::sendComposed(
    const std::string& frame, std::optional<modbus::RequestFields> verify)
{
    if (listeningNow_)
        return;
    if (verify) {
        const auto read = modbus::ReadBackOf(*verify);
        readBack_ = ReadBack { *verify, modbus::BuildRequest(modbus::ByteAt(frame, 0), *read).frame,
            false, -1, frame };
    } else if (readBack_ && frame != readBack_->readFrame && frame != readBack_->writeFrame) {
        readBack_.reset(); // another request: the last write's read-back is not waited for
    }
    composedWaiting_ = frame; // never two requests out: it goes once nothing is
    sendNext();
}

bool LineRecording::needsEchoProbe(const std::string& frame) const
{
    return onSendProbe && analyzer_->echoApplies() && analyzer_->echo() == modbus::EchoMode::Auto
        && !analyzer_->echoHeard() && characterUs_ > 0 && frame.size() >= 4
        && modbus::ByteAt(frame, 0) != 0 && modbus::ReplyCopiesRequest(frame);
}

void LineRecording::probeRead(const std::string& chunk)
{
    probe_->read(chunk, now().monoUs);
    if (!probe_->done())
        return;
    const modbus::LineTime at = now();
    if (!probe_->others().empty())
        analyzer_->readAway(probe_->others(), at);
    if (probe_->heard() || probe_->silent()) // other bytes tell nothing
        analyzer_->learnEcho(probe_->heard(), at,
            probe_->heard() ? modbus::kHearsItself : modbus::kDoesNotHearItself);
    probe_.reset();
    takeRows();
    // It goes at the next read: a silence after the probe.
    composedWaiting_ = std::exchange(afterProbe_, {});
}

bool LineRecording::gateHolds(const std::string& frame) const
{
    return gate_.holdUs(frame, now().monoUs) > 0;
}

void LineRecording::feedGate(const std::vector<modbus::FrameRow>& rows)
{
    using modbus::RowKind;
    for (const modbus::FrameRow& row : rows)
        if (endsExchange(row) && !row.request.empty())
            gate_.ended(row.request,
                row.kind == RowKind::NoReply || row.kind == RowKind::Interrupted, now().monoUs);
}

void LineRecording::transmit(const std::string& frame)
{
    gate_.sending(frame, now().monoUs);
    composedOut_ = frame;
    composedSeen_ = false;
    sendingOwn_ = true;
    if (onSendRequest)
        onSendRequest(frame);
    sendingOwn_ = false;
}

void LineRecording::settleComposed(const std::vector<modbus::FrameRow>& rows)
{
    for (const modbus::FrameRow& row : rows) {
        buttonSeen_ = buttonSeen_ || row.kind == modbus::RowKind::Request;
        if (buttonSeen_ && endsExchange(row))
            buttonOutUntilUs_.reset();
        if (composedOut_.empty())
            continue;
        if (row.kind == modbus::RowKind::Request)
            composedSeen_ = row.bytes == composedOut_;
        if (composedSeen_ && endsExchange(row)) {
            composedOut_.clear();
            composedEnded(row);
        }
    }
}

// A composed write to be read back: its answer sends the read, the read's answer is compared.
void LineRecording::composedEnded(const modbus::FrameRow& row)
{
    if (!readBack_)
        return;
    const bool good = row.kind == modbus::RowKind::Reply;
    if (!readBack_->readSent && good) {
        readBack_->readInReads = 1;
        return;
    }
    const std::string differs = good
        ? modbus::ReadBackMismatch(readBack_->write, readBack_->readFrame, row.bytes)
        : std::string();
    readBackNote_ = !good
        ? "read back: not done, " + std::string(readBack_->readSent ? "the read" : "the write")
            + " came to " + row.verdict
        : differs.empty() ? "read back: as written"
                          : "read back: " + differs;
    readBack_.reset();
}

void LineRecording::setPortState(PortState state)
{
    portState_ = state;
    if (state != PortState::Open) {
        probe_.reset();
        afterProbe_.clear();
        composedWaiting_.clear(); // a request for a port that is gone is not sent later
        composedOut_.clear();
        buttonOutUntilUs_.reset();
    }
    if (!run_)
        return;
    // A device that goes away pauses the run; Close ends it, its counts kept.
    run_->setPaused(state != PortState::Open);
    if (state == PortState::Closed)
        run_->stop();
}

void LineRecording::setNoReplyMs(int ms)
{
    noReplyMs_ = ms;
    analyzer_->setNoReplyUs(ms * 1000LL);
    // An ASCII frame that pauses longer than a request may wait is cut short by then: its
    // request's verdict is not left to the time-out alone.
    analyzer_->setPauseUs(std::min<std::int64_t>(ms * 1000LL, 1'000'000));
}

void LineRecording::setGraceMs(int ms)
{
    graceMs_ = ms;
    resetGate();
}

void LineRecording::resetGate()
{
    // The window keeps its own silence after each write; transaction ids tell late replies
    // apart on MBAP links.
    gate_ = modbus::RequestGate(0, mbap_ ? 0 : graceMs_ * 1000LL);
}

void LineRecording::setEcho(modbus::EchoMode mode)
{
    echo_ = mode;
    analyzer_->setEcho(mode);
}

PollRun* LineRecording::startRun(std::vector<std::string> frames, modbus::PollSettings settings)
{
    if (portState_ != PortState::Open || frames.empty() || listeningNow_)
        return nullptr;
    const std::int64_t startUs = now().monoUs;
    run_ = std::make_unique<PollRun>(std::move(frames), settings, startUs);
    analyzer_->newRun(); // each slave's hint may be said once again
    if (analyzer_->framing() == modbus::Framing::Ascii)
        run_->setCheckName(std::string(modbus::CheckName(modbus::Framing::Ascii)));
    run_->mayGo = [this](const std::string& frame) { return !gateHolds(frame); };
    run_->onSend = [this](const std::string& frame) {
        gate_.sending(frame, now().monoUs);
        sendingOwn_ = true;
        if (onSendRequest)
            onSendRequest(frame);
        sendingOwn_ = false;
    };
    run_->onTimedOut = [this] { analyzer_->timedOut(now()); };
    probe_.reset(); // the run goes now; the echo is found another time
    afterProbe_.clear();
    composedWaiting_.clear();
    composedOut_.clear();
    recordProblem_.clear();
    if (!recordPath_.empty() && !run_->recordTo(recordPath_))
        recordProblem_ = "cannot open the data log " + QString::fromStdString(recordPath_);
    if (!buttonOut())
        run_->tick(startUs); // the first request goes at once, unless a button's is out
    return run_.get();
}

void LineRecording::stopRun()
{
    if (run_)
        run_->stop();
}

int LineRecording::idleReadLimitMs() const
{
    if (!run_ || run_->finished() || portState_ != PortState::Open)
        return 0;
    // A poll out: no read runs past its time-out, or a reply later than that would be taken
    // for its answer in the read that began before it.
    const std::optional<std::int64_t> timeoutAt = run_->schedule().timeoutAtUs();
    const std::int64_t us = timeoutAt.value_or(run_->schedule().dueAtUs()) - now().monoUs;
    return int(std::clamp<std::int64_t>((us + 999) / 1000, 1, 256));
}

bool LineRecording::recordTo(const std::string& path)
{
    recordPath_ = path;
    recordProblem_.clear();
    if (!run_ || run_->recordTo(path))
        return true;
    recordProblem_ = "cannot open the data log " + QString::fromStdString(path);
    return false;
}

QString LineRecording::recordProblem() const
{
    if (recordProblem_.isEmpty() && run_ && !run_->recordFailure().empty())
        return "the data log cannot be written: " + QString::fromStdString(run_->recordFailure());
    return recordProblem_;
}

} // namespace monitor
