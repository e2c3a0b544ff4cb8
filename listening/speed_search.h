// Finding the speed and parity of a line another master drives: a few seconds heard at each
// common setting, and the one whose frames have good check bytes kept.
#pragma once

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
    // What the rows of a listener say of a setting.
    void count(const std::vector<FrameRow>& rows);
    // "19200 8E1: 6 frames with good check bytes, 0 bytes of noise"
    std::string text() const;
};

// Enough heard to stop looking: several good frames, and little noise beside them.
bool ClearlyRight(const HeardAt& heard);

// The setting with the most good frames, garbled bytes deciding a tie; none when no setting
// heard a good frame.
std::optional<ScanSetting> BestSetting(const std::vector<HeardAt>& heard);

} // namespace modbus
