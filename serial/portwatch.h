#pragma once

#include "serialport.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// Keeps a port alive from a thread of its own: every period it asks whether the
// open device is still there (so an idle port notices an unplugged adapter too) and,
// while the port is lost, tries to open it again, from the look after the one that
// found it lost (so that the loss is reported before the port connects again). A
// port closed with Close is left alone. `changed` runs on the watch's thread whenever the port's
// state differs from the state it had at the previous look (it must not block).
class PortWatch
{
public:
    static constexpr std::chrono::milliseconds kPeriod { 500 };

    explicit PortWatch(SerialPort &port, std::function<void()> changed = {},
        std::chrono::milliseconds period = kPeriod);
    // Stops the thread and waits for it (at most one look at the port).
    ~PortWatch();
    PortWatch(const PortWatch &) = delete;
    PortWatch &operator=(const PortWatch &) = delete;

private:
    void run();

    SerialPort &m_port;
    const std::function<void()> m_changed;
    const std::chrono::milliseconds m_period;
    std::mutex m_lock;
    std::condition_variable m_wake;
    bool m_stop = false;
    std::thread m_thread;
};
