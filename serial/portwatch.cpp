#include "portwatch.h"

PortWatch::PortWatch(
    SerialPort &port, std::function<void()> changed, std::chrono::milliseconds period)
    : m_port(port)
    , m_changed(std::move(changed))
    , m_period(period)
    , m_thread([this] { run(); })
{ }

PortWatch::~PortWatch()
{
    {
        const std::lock_guard<std::mutex> lock(m_lock);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void PortWatch::run()
{
    SerialPort::State seen = m_port.state();
    std::unique_lock<std::mutex> lock(m_lock);
    for (;;) {
        if (m_wake.wait_for(lock, m_period, [this] { return m_stop; })) {
            return;
        }
        lock.unlock();
        SerialPort::State now = m_port.CheckDevice();
        // A port found lost at this look shows so, with its reason, until the next
        // one: a network port opened again at once would be connecting before anybody
        // saw why it was lost.
        if (now == SerialPort::State::Lost && seen == SerialPort::State::Lost
            && m_port.Reconnect()) {
            now = m_port.state();
        }
        if (now != seen && m_changed) {
            m_changed();
        }
        seen = now;
        lock.lock();
    }
}
