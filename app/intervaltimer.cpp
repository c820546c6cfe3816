#include "intervaltimer.h"

IntervalTimer::IntervalTimer(QObject *parent)
    : QObject(parent)
{
    // Timed sending asks for a period in milliseconds; a coarse timer could be
    // off by 5 %, which shows on short periods.
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &IntervalTimer::timeout);
}

void IntervalTimer::setInterval(int ms)
{
    if (ms == m_interval) {
        return;
    }
    m_interval = ms;
    apply();
}

void IntervalTimer::setEnabled(bool enabled)
{
    if (enabled == m_enabled) {
        return;
    }
    m_enabled = enabled;
    apply();
}

void IntervalTimer::apply()
{
    // QTimer::start() restarts a running timer, which is what a new interval wants.
    if (m_enabled && m_interval > 0) {
        m_timer.start(m_interval);
    } else {
        m_timer.stop();
    }
}
