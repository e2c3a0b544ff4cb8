// Finding the speed and parity of a line another master drives: a few seconds heard at each
// common setting, as RTU and as ASCII, and the one whose frames have good check bytes kept.
#pragma once

#include "line_listener.h"

#include "modbus/frame_analysis.h"
#include "runs/scan_plan.h"

#include <optional>
#include <string>
#include <vector>

namespace modbus {

struct HeardAt
{
    ScanSetting setting;
    long goodFrames = 0; // frames whose check bytes were good
    long badBytes = 0; // bytes that made no frame, or frames with bad check bytes
    Framing framing = Framing::Rtu; // how the frames counted were cut
    // What the rows of a listener say of a setting.
    void count(const std::vector<FrameRow>& rows);
    // "19200 8E1: 6 frames with good check bytes, 0 bytes of noise"; "9600 8N1 ASCII: ..."
    std::string text() const;
};

// Enough heard to stop looking: several good frames, and little noise beside them.
bool ClearlyRight(const HeardAt& heard);

// The setting with the most good frames, garbled bytes deciding a tie; none when no setting
// heard a good frame.
std::optional<ScanSetting> BestSetting(const std::vector<HeardAt>& heard);

// The search as the caller drives it, with reads and the time passed in: the setting to listen at
// now, and when to move on (its time up, or clearly right).
class SpeedHunt
{
public:
    SpeedHunt(std::vector<ScanSetting> order, std::int64_t dwellUs);

    const ScanSetting& current() const { return order_[at_]; }
    // Listening at the current setting begins at atUs; timed: reads tell the line's time (not
    // a pty).
    void begin(bool timed, std::int64_t atUs);
    // A read at the current setting; false once it has had its time or is clearly right.
    bool read(const ByteString& chunk, std::int64_t atUs);
    // What the current setting heard so far.
    const HeardAt& heardNow() const { return heard_.back(); }
    // On to the next setting; false when the search is over (one clearly right, or none left).
    bool next();
    std::optional<ScanSetting> best() const { return BestSetting(heard_); }
    // How the best setting's frames were cut: RTU or ASCII.
    Framing bestFraming() const;

private:
    std::vector<ScanSetting> order_;
    std::int64_t dwellUs_;
    std::size_t at_ = 0;
    std::vector<HeardAt> heard_;
    std::optional<LineListener> listener_;
    std::optional<LineListener> ascii_; // the same bytes cut as ASCII
    HeardAt rtuNow_, asciiNow_; // what each heard at the current setting
    std::int64_t endUs_ = 0;
};

} // namespace modbus
