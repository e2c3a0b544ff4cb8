// The watch of a polling run: one row per register or bit its reads return, with the newest
// value, when it last changed and how often, whether the last poll changed it, and whether its
// request's last poll failed (stale).
#pragma once

#include "modbus/read_values.h"

#include <cstdint>
#include <map>
#include <string_view>
#include <tuple>
#include <vector>

namespace modbus {

struct WatchKey
{
    std::uint8_t slave = 0;
    DataTable table = DataTable::Holding;
    unsigned address = 0;
    auto operator<=>(const WatchKey&) const = default;
};

struct WatchRow
{
    WatchKey key;
    std::uint16_t value = 0;
    std::int64_t changedWallMs = 0; // local time of day of the last change (or first value)
    long changes = 0; // changes after the first value
    bool changedRecently = false; // within kChangedShownMs of the newest update
    bool stale = false;
    bool backedOff = false; // its slave stopped answering and is polled less often
};

class WatchTable
{
public:
    // How long a change stays marked: one poll (200 ms) was too short to see.
    static constexpr std::int64_t kChangedShownMs = 2000;

    // A good reply to a read request, at a local time of day.
    void update(const ReadValues& read, std::int64_t wallMs);
    // The request's last poll failed: its rows keep their values, marked stale.
    void markStale(std::string_view request);
    // The slave is backed off (or polled as before again): its rows say so.
    void markBackedOff(std::uint8_t slave, bool backedOff);
    void clear() { rows_.clear(); }

    // In order of slave, table and address.
    std::vector<WatchRow> rows() const;
    const WatchRow* find(const WatchKey& key) const;

private:
    std::map<WatchKey, WatchRow> rows_;
};

} // namespace modbus
