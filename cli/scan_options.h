// quillet-cli scan's own options, after the word "scan".
#pragma once

#include "runs/scan_plan.h"

#include <string>
#include <vector>

namespace cli {

struct ScanParsed
{
    modbus::ScanOptions options;
    bool csv = false;
    bool lineGiven = false; // --speeds, --parity or --stop-bits: settings of a serial line
    std::string error; // empty when the words parsed
    std::string help; // set for --help
};

// words: what follows "scan".
ScanParsed ParseScanOptions(const std::vector<std::string>& words);

std::string ScanUsage();

} // namespace cli
