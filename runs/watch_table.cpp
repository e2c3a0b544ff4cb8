#include "watch_table.h"

#include "modbus/byte_string.h"

namespace modbus {
namespace {

    constexpr std::int64_t kDayMs = 86'400'000;

} // namespace

void WatchTable::update(const ReadValues& read, std::int64_t wallMs)
{
    for (std::size_t i = 0; i < read.values.size(); ++i) {
        const WatchKey key { read.slave, read.table, (read.start + unsigned(i)) & 0xFFFF };
        const auto [it, added] = rows_.try_emplace(key);
        WatchRow& row = it->second;
        row.key = key;
        row.stale = false;
        const bool changed = !added && row.value != read.values[i];
        if (added || changed)
            row.changedWallMs = wallMs;
        if (changed)
            ++row.changes;
        row.value = read.values[i];
    }
    // Times of day: a change just before midnight is still recent just after it.
    for (auto& [key, row] : rows_) {
        const std::int64_t age = ((wallMs - row.changedWallMs) % kDayMs + kDayMs) % kDayMs;
        row.changedRecently = row.changes > 0 && !row.stale && age < kChangedShownMs;
    }
}

void WatchTable::markBackedOff(std::uint8_t slave, bool backedOff)
{
    for (auto& [key, row] : rows_)
        if (key.slave == slave)
            row.backedOff = backedOff;
}

void WatchTable::markStale(std::string_view request)
{
    const std::optional<ReadSpan> span = SpanOfRequest(request);
    if (!span)
        return;
    for (unsigned i = 0; i < span->count; ++i) {
        const auto it = rows_.find({ span->slave, span->table, (span->start + i) & 0xFFFF });
        if (it != rows_.end()) {
            it->second.stale = true;
            it->second.changedRecently = false;
        }
    }
}

std::vector<WatchRow> WatchTable::rows() const
{
    std::vector<WatchRow> out;
    out.reserve(rows_.size());
    for (const auto& [key, row] : rows_)
        out.push_back(row);
    return out;
}

const WatchRow* WatchTable::find(const WatchKey& key) const
{
    const auto it = rows_.find(key);
    return it == rows_.end() ? nullptr : &it->second;
}

} // namespace modbus
