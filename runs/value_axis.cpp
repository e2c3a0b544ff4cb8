#include "value_axis.h"

#include "modbus/number_format.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace modbus {
namespace {

    // Multiples of step within [lo, hi].
    std::vector<double> multiples(double lo, double hi, double step)
    {
        std::vector<double> ticks;
        for (double n = std::ceil(lo / step); n * step <= hi * (1 + 1e-12) && ticks.size() < 50;
             ++n)
            ticks.push_back(n == 0 ? 0.0 : n * step);
        return ticks;
    }

    // The round step (1, 2 or 5 times a power of ten) whose grid lines within [lo, hi] number
    // nearest five, four to six where any does.
    double roundStep(double lo, double hi)
    {
        const double power = std::floor(std::log10(hi - lo));
        double best = 0;
        std::size_t bestMiss = SIZE_MAX;
        for (double e = power - 2; e <= power + 1; ++e)
            for (const double factor : { 1.0, 2.0, 5.0 }) {
                const double step = factor * std::pow(10.0, e);
                const std::size_t count = multiples(lo, hi, step).size();
                const std::size_t miss = count > 5 ? count - 5 : 5 - count;
                if (miss <= bestMiss) { // ties go to the larger step
                    best = step;
                    bestMiss = miss;
                }
            }
        return best;
    }

} // namespace

ValueAxis NiceAxis(double least, double greatest)
{
    // A flat series gets room around it in proportion to its size (a unit when it is 0).
    if (greatest - least < 1e-12 * std::max(1.0, std::abs(least))) {
        const double room = least == 0 ? 1 : std::abs(least) * 0.1;
        least -= room;
        greatest += room;
    }
    const double pad = (greatest - least) * 0.05; // off the frame
    ValueAxis axis { least - pad, greatest + pad, {} };
    axis.ticks = multiples(axis.lo, axis.hi, roundStep(axis.lo, axis.hi));
    return axis;
}

std::string TickText(double value)
{
    // Whole numbers as people write them ("20000", not "2e+04"); the rest to 4 digits.
    if (value == std::round(value) && std::abs(value) < 1e7)
        return std::to_string(static_cast<long long>(value));
    return FloatText(value, 4);
}

} // namespace modbus
