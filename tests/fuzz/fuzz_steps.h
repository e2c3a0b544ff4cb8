// What the analysis targets share: inputs read as steps of writes and reads, and the checks
// every row they make must pass.
#pragma once

#include "fuzz_check.h"

#include "modbus/frame_analysis.h"
#include "modbus/frame_details.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>

struct FuzzStep
{
    bool write = false;
    bool marked = false; // the 0x40 bit: a long pause before it, or a write of raw text
    std::string bytes;
};

// Each step: a byte that says what and how long (top bit: a write, else a read; low bits: the
// length), then that many bytes. nullopt past the end.
inline std::optional<FuzzStep> NextStep(const std::uint8_t* data, std::size_t size, std::size_t& at)
{
    if (at >= size)
        return std::nullopt;
    const std::uint8_t step = data[at++];
    const std::size_t length = std::min<std::size_t>(step & 0x3F, size - at);
    FuzzStep next { (step & 0x80) != 0, (step & 0x40) != 0,
        std::string(reinterpret_cast<const char*>(data + at), length) };
    at += length;
    return next;
}

// A row that carries bytes the line brought (not a request, a silence or a note).
inline bool Received(const modbus::FrameRow& row)
{
    return row.kind != modbus::RowKind::Request && row.kind != modbus::RowKind::NoReply
        && row.kind != modbus::RowKind::Interrupted && row.kind != modbus::RowKind::Hint
        && row.kind != modbus::RowKind::Note;
}

// Whatever the row, its details are whole rows of cells under their headers.
inline void CheckDetails(const modbus::FrameRow& row, modbus::WordOrder order)
{
    for (const modbus::DetailTable& table :
        { modbus::FrameDetails(row, order), modbus::RowDetails(row, order) })
        for (const auto& cells : table.rows)
            FUZZ_CHECK(cells.size() == table.headers.size());
}
