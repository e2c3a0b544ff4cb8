// Ctrl+C ends a run between reads, and the run still tells its statistics.
#pragma once

#include <csignal>

namespace cli {

inline volatile std::sig_atomic_t ctrlCPressed = 0;

inline void CatchCtrlC()
{
    std::signal(SIGINT, [](int) { ctrlCPressed = 1; });
}

inline bool CtrlCPressed() { return ctrlCPressed != 0; }

} // namespace cli
