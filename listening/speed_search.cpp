#include "speed_search.h"

#include "serial/line_timing.h"

#include <algorithm>

namespace modbus {

void HeardAt::count(const std::vector<FrameRow>& rows)
{
    for (const FrameRow& row : rows) {
        switch (row.kind) {
        case RowKind::Request:
        case RowKind::Reply:
        case RowKind::Exception:
        case RowKind::Mismatch:
        case RowKind::Late:
            ++goodFrames;
            break;
        case RowKind::NotFrame:
        case RowKind::CrcBad:
            badBytes += long(row.bytes.size());
            break;
        default:
            break;
        }
    }
}

std::string HeardAt::text() const
{
    return setting.name() + (framing == Framing::Ascii ? " ASCII" : "") + ": "
        + std::to_string(goodFrames) + " frames with good check bytes, " + std::to_string(badBytes)
        + " bytes of noise";
}

bool ClearlyRight(const HeardAt& heard)
{
    // A port opened mid-frame, or bytes held from the setting before, start with a little
    // noise even at the right setting: it must stay under the good frames' own bytes.
    return heard.goodFrames >= 4 && heard.badBytes < 8 * heard.goodFrames;
}

std::optional<ScanSetting> BestSetting(const std::vector<HeardAt>& heard)
{
    const auto better = [](const HeardAt& a, const HeardAt& b) {
        return a.goodFrames != b.goodFrames ? a.goodFrames < b.goodFrames : a.badBytes > b.badBytes;
    };
    const auto best = std::max_element(heard.begin(), heard.end(), better);
    if (best == heard.end() || best->goodFrames == 0)
        return std::nullopt;
    return best->setting;
}

SpeedHunt::SpeedHunt(std::vector<ScanSetting> order, std::int64_t dwellUs)
    : order_(std::move(order))
    , dwellUs_(dwellUs)
{
    heard_.push_back({ current(), 0, 0 });
}

void SpeedHunt::begin(bool timed, std::int64_t atUs)
{
    const ScanSetting& s = current();
    const std::int64_t characterUs = timed ? CharacterUs(s.speed, s.parity, s.stopBits) : 0;
    listener_.emplace(characterUs, InterFrameUs(s.speed));
    ascii_.emplace(characterUs, InterFrameUs(s.speed), Framing::Ascii);
    rtuNow_ = { s, 0, 0, Framing::Rtu };
    asciiNow_ = { s, 0, 0, Framing::Ascii };
    endUs_ = atUs + dwellUs_;
}

bool SpeedHunt::read(const ByteString& chunk, std::int64_t atUs)
{
    if (!listener_)
        return false; // the port did not open at this setting
    listener_->read(chunk, atUs);
    ascii_->read(chunk, atUs);
    rtuNow_.count(listener_->take());
    asciiNow_.count(ascii_->take());
    heard_.back() = asciiNow_.goodFrames > rtuNow_.goodFrames ? asciiNow_ : rtuNow_;
    if (atUs < endUs_ && !ClearlyRight(heard_.back()))
        return true;
    // What is held is a frame cut by moving on, not noise: left uncounted.
    listener_.reset();
    ascii_.reset();
    return false;
}

Framing SpeedHunt::bestFraming() const
{
    const std::optional<ScanSetting> setting = best();
    for (const HeardAt& heard : heard_)
        if (setting && heard.setting == *setting)
            return heard.framing;
    return Framing::Rtu;
}

bool SpeedHunt::next()
{
    listener_.reset();
    ascii_.reset();
    if (ClearlyRight(heard_.back()) || at_ + 1 >= order_.size())
        return false;
    ++at_;
    heard_.push_back({ current(), 0, 0 });
    return true;
}

} // namespace modbus
