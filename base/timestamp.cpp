#include "timestamp.h"

#include <chrono>
#include <cstdio>

std::atomic<bool> HeaderTimes { false };

int32_t HeaderTimeNow()
{
    if (!HeaderTimes.load(std::memory_order_relaxed)) {
        return 0;
    }
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::tm local = LocalTime(system_clock::to_time_t(now));
    const auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    return 1 + ((local.tm_hour * 60 + local.tm_min) * 60 + local.tm_sec) * 1000
        + static_cast<int32_t>(ms < 0 ? ms + 1000 : ms);
}

std::tm LocalTime(std::time_t seconds)
{
    std::tm local {};
#ifdef _WIN32
    localtime_s(&local, &seconds);
#else
    localtime_r(&seconds, &local);
#endif
    return local;
}

std::string HeaderTimePrefix(int32_t headerTime)
{
    if (headerTime <= 0) {
        return {};
    }
    const int32_t ms = headerTime - 1;
    char text[64] = {};
    std::snprintf(text, sizeof text, "[%02d:%02d:%02d.%03d] ", ms / 3600000 % 100, ms / 60000 % 60,
        ms / 1000 % 60, ms % 1000);
    return text;
}
