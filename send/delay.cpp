#include "delay.h"

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
#include <chrono>

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
