#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

// Busy-waits until the high-resolution counter has advanced by more than
// us × frequency × 9.999999e-7 counts (computed in long double, us signed). It
// neither sleeps nor yields: with us = 0 it returns once the counter has moved,
// with a negative us after the first reading. The Windows build reads the
// performance counter, the others std::chrono::steady_clock. Any thread.
void DelayMicroseconds(int32_t us);

// The counter that DelayMicroseconds waits on, and its counts per second.
int64_t HighResolutionCount();
double HighResolutionFrequency();

// A wait for a deadline on the high-resolution counter that another thread can cut
// short. The deadline is reached when the counter stands more than
// us × frequency × 9.999999e-7 counts past a given reading, the comparison of
// DelayMicroseconds. A wait with more than about 2 ms to go sleeps for all but the
// last millisecond, then busy-waits to the deadline, so that long waits cost no
// CPU while short ones keep the precision of the busy-wait.
class InterruptibleWait
{
public:
    // Waits until the deadline `us` after the counter reading `from`. True when it
    // was reached, false at once (or as soon as it happens) when interrupted.
    // The thread that waits.
    bool untilElapsed(int64_t from, int32_t us);

    // Sets the interrupt mark and wakes a sleeping wait. Any thread.
    void interrupt();
    // Clears the interrupt mark. Any thread.
    void clear() { m_interrupted.store(false); }
    bool interrupted() const { return m_interrupted.load(std::memory_order_relaxed); }
    // The mark itself, for transfers that give up when it is set.
    const std::atomic<bool> &mark() const { return m_interrupted; }

private:
    std::atomic<bool> m_interrupted { false };
    std::mutex m_mutex;
    std::condition_variable m_wake;
};
