#pragma once

#include <cstdint>

// Busy-waits until the high-resolution counter has advanced by more than
// us × frequency × 9.999999e-7 counts (computed in long double, us signed). It
// neither sleeps nor yields: with us = 0 it returns once the counter has moved,
// with a negative us after the first reading. The Windows build reads the
// performance counter, the others std::chrono::steady_clock. Any thread.
void DelayMicroseconds(int32_t us);

// The counter that DelayMicroseconds waits on, and its counts per second.
int64_t HighResolutionCount();
double HighResolutionFrequency();
