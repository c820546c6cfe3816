#pragma once

#include <QObject>
#include <QTimer>

// A repeating timer with an interval and an enabled switch that can be set in
// any order, as the send timer of the main window needs:
// - an interval of 0 or less never ticks, even while enabled;
// - setting a different interval on an enabled timer restarts its count;
// - enabling an enabled timer, or setting the interval it already has, changes
//   nothing.
// Ticks come from the event loop of the thread that owns the timer, only when it
// is idle; a tick missed while the thread was busy is not made up.
// User-interface thread only.
class IntervalTimer : public QObject
{
    Q_OBJECT

public:
    explicit IntervalTimer(QObject *parent = nullptr);

    void setInterval(int ms);
    int interval() const { return m_interval; }
    void setEnabled(bool enabled);
    bool isEnabled() const { return m_enabled; }

signals:
    void timeout();

private:
    void apply();

    QTimer m_timer;
    int m_interval = 1000;
    bool m_enabled = false;
};
