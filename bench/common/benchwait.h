#pragma once

// Lets the event loop run for `ms` milliseconds, so queued work, timers and paints
// happen as they would in the program (Qt benchmarks only).

#include <QEventLoop>
#include <QTimer>

inline void Wait(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}
