#include "speed_search.h"

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
    return setting.name() + ": " + std::to_string(goodFrames) + " frames with good check bytes, "
        + std::to_string(badBytes) + " bytes of noise";
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

} // namespace modbus
