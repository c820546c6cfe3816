#include "traffic.h"

#include <chrono>
#include <cstdio>
#include <ctime>

TrafficTap Traffic;
std::atomic<bool> HeaderTimes { false };

namespace {

// The later count less the earlier one; a driver whose counts went back (reset)
// counts from zero again.
uint32_t Since(uint32_t now, uint32_t base)
{
    return now >= base ? now - base : now;
}

LineErrorCounts Since(const LineErrorCounts &now, const LineErrorCounts &base)
{
    return { Since(now.frame, base.frame), Since(now.parity, base.parity),
        Since(now.overrun, base.overrun), Since(now.bufferOverrun, base.bufferOverrun),
        Since(now.breaks, base.breaks) };
}

} // namespace

TrafficSnapshot TrafficMeter::update(int64_t nowMs, uint64_t receivedTotal, uint64_t sentTotal,
    uint64_t openCount, const std::optional<LineErrorCounts> &driverErrors)
{
    if (!m_started || openCount != m_openCount) {
        m_started = true;
        m_openCount = openCount;
        m_receivedBase = receivedTotal;
        m_sentBase = sentTotal;
        m_errorBase = driverErrors;
        m_samples.clear();
    }
    if (driverErrors && !m_errorBase) {
        m_errorBase = driverErrors;
    }
    m_samples.emplace_back(nowMs, receivedTotal);
    // Keep the newest sample that is at least a window old, and all after it.
    while (m_samples.size() > 2 && m_samples[1].first <= nowMs - kRateWindowMs) {
        m_samples.pop_front();
    }
    TrafficSnapshot snapshot;
    snapshot.received = receivedTotal - m_receivedBase;
    snapshot.sent = sentTotal - m_sentBase;
    const auto &[oldMs, oldReceived] = m_samples.front();
    if (nowMs > oldMs) {
        snapshot.receiveRate
            = static_cast<double>(receivedTotal - oldReceived) * 1000.0 / double(nowMs - oldMs);
    }
    if (driverErrors && m_errorBase) {
        snapshot.errors = Since(*driverErrors, *m_errorBase);
    }
    return snapshot;
}

int32_t HeaderTimeNow()
{
    if (!HeaderTimes.load(std::memory_order_relaxed)) {
        return 0;
    }
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t seconds = system_clock::to_time_t(now);
    std::tm local {};
#ifdef _WIN32
    localtime_s(&local, &seconds);
#else
    localtime_r(&seconds, &local);
#endif
    const auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    return 1 + ((local.tm_hour * 60 + local.tm_min) * 60 + local.tm_sec) * 1000
        + static_cast<int32_t>(ms < 0 ? ms + 1000 : ms);
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
