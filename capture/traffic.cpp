#include "traffic.h"

TrafficTap Traffic;

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
