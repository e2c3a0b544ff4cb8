// Listening as the monitor keeps it: the listener's rows with their local time of day, a watch of
// every register and bit the other master read or wrote, and the newest frames for a capture.
#pragma once

#include "line_listener.h"
#include "pcap_file.h"

#include "runs/poll_statistics.h"
#include "runs/watch_table.h"

#include <cstdint>
#include <deque>
#include <vector>

namespace modbus {

class ListenSession
{
public:
    // The frames a capture holds: the newest, as many as the monitor's table shows.
    static constexpr std::size_t kCaptured = 100'000;

    // epochUsAtMonoZero: the time since 1970 at which the read times' clock read 0.
    ListenSession(std::int64_t characterUs, std::int64_t silenceUs, std::int64_t epochUsAtMonoZero,
        Framing framing = Framing::Rtu);

    // A read's bytes (empty: a read that brought none), at the time it returned.
    void read(const ByteString& chunk, LineTime at);
    void finish(LineTime at);
    // The rows made since the last call, the watch and the capture brought up to date.
    std::vector<FrameRow> take();

    const ListenStatistics& statistics() const { return listener_.statistics(); }
    bool midExchange() const { return listener_.midExchange(); }
    const WatchTable& watch() const { return watch_; }
    // The reply times heard, for the histogram a polling run shows too.
    const PollStatistics& replyTimes() const { return times_; }
    // The frames heard as a classic pcap file; how many it holds.
    ByteString capture() const;
    std::size_t captured() const { return frames_.size(); }

private:
    void keep(FrameRow& row);

    LineListener listener_;
    // A capture holds RTU frames as the wire carried them: an ASCII line's are not captured
    // (Wireshark has no link type for them).
    bool captures_ = true;
    std::int64_t epochUsAtMonoZero_;
    LineTime lastAt_;
    WatchTable watch_;
    PollStatistics times_;
    std::deque<PcapFrame> frames_;
};

} // namespace modbus
