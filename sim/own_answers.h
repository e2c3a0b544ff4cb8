// The replies the simulated slave frames itself, for the functions libmodbus does not answer
// (it cannot even tell where their requests end): Diagnostics (8), Read FIFO Queue (24) and
// Read Device Identification (43/14). Plain C++: the frame and the slave's data are passed in.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

struct SlaveData
{
    std::span<const std::uint16_t> registers; // the holding registers
    std::span<const std::string> objects; // what Read Device Identification reports, by id
};

// The reply to a whole frame for this slave whose check bytes hold; nullopt when it is
// libmodbus's to answer.
std::optional<std::string> OwnAnswer(const std::string& frame, const SlaveData& slave);
