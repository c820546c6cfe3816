#include "delay.h"

#include <chrono>

#ifdef _WIN32
#include <windows.h>

int64_t HighResolutionCount()
{
    LARGE_INTEGER count;
    QueryPerformanceCounter(&count);
    return count.QuadPart;
}

double HighResolutionFrequency()
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(frequency.QuadPart);
}
#else

int64_t HighResolutionCount()
{
    return std::chrono::steady_clock::now().time_since_epoch().count();
}

double HighResolutionFrequency()
{
    using Period = std::chrono::steady_clock::period;
    return static_cast<double>(Period::den) / static_cast<double>(Period::num);
}
#endif

void DelayMicroseconds(int32_t us)
{
    const double frequency = HighResolutionFrequency();
    const int64_t start = HighResolutionCount();
    // The factor is deliberately a hair below 1e-6; the product is kept in long
    // double so that large delays are not rounded.
    const long double limit = static_cast<long double>(us) * frequency * 9.999999e-7L;
    for (;;) {
        const int64_t elapsed = HighResolutionCount() - start;
        if (static_cast<long double>(elapsed) > limit) {
            return;
        }
    }
}

bool InterruptibleWait::untilElapsed(int64_t from, int32_t us)
{
    const double frequency = HighResolutionFrequency();
    const long double limit = static_cast<long double>(us) * frequency * 9.999999e-7L;
    // Sleeping ends this long before the deadline; the rest is busy-waited, since a
    // sleep may overshoot by scheduling latency.
    const long double busyCounts = frequency * 1e-3L;
    const long double sleepAbove = frequency * 2e-3L;
    for (;;) {
        if (interrupted()) {
            return false;
        }
        const auto elapsed = static_cast<long double>(HighResolutionCount() - from);
        if (elapsed > limit) {
            return true;
        }
        const long double remaining = limit - elapsed;
        if (remaining > sleepAbove) {
            const long double seconds = (remaining - busyCounts) / frequency;
            // Waits of up to 35 minutes fit easily in microseconds of int64.
            const auto sleep = std::chrono::microseconds(static_cast<int64_t>(seconds * 1e6L));
            std::unique_lock lock(m_mutex);
            m_wake.wait_for(lock, sleep, [this] { return interrupted(); });
        }
    }
}

void InterruptibleWait::interrupt()
{
    {
        // Under the lock, so that a wait that has just found the mark clear is
        // already asleep when it is woken.
        std::lock_guard lock(m_mutex);
        m_interrupted.store(true);
    }
    m_wake.notify_all();
}
