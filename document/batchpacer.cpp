#include "batchpacer.h"

#include <algorithm>

BatchPacer::BatchPacer(std::function<void()> apply)
    : m_apply(std::move(apply))
{
    m_timer.setSingleShot(true);
    QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { m_apply(); });
}

void BatchPacer::request()
{
    if (m_timer.isActive()) {
        return;
    }
    const qint64 since = m_sinceBatch.isValid() ? m_sinceBatch.elapsed() : m_spacingMs;
    if (since < m_spacingMs) {
        m_timer.start(static_cast<int>(m_spacingMs - since));
        return;
    }
    m_apply();
}

void BatchPacer::batchDone(qint64 costNs, bool flood)
{
    m_spacingMs = flood
        ? kMinSpacingMs
        : std::clamp<qint64>(costNs * kCostFactor / 1000000, kMinSpacingMs, kMaxSpacingMs);
    m_sinceBatch.start();
}
