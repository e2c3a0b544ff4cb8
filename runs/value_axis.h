// A value axis for a plot: the range padded so that no series lies on the frame (a flat one
// sits in the middle), and 4 to 6 grid lines at round steps (1, 2 or 5 times a power of ten),
// labelled with 4 significant digits.
#pragma once

#include <string>
#include <vector>

namespace modbus {

struct ValueAxis
{
    double lo = 0;
    double hi = 1;
    std::vector<double> ticks; // from lo up, each within [lo, hi]
};

// The axis for values from least to greatest (least <= greatest; both finite).
ValueAxis NiceAxis(double least, double greatest);

// A grid line's label: "0.25", "20000", "-3.5e-05"; 4 significant digits, whole numbers whole.
std::string TickText(double value);

} // namespace modbus
