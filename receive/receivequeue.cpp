#include "receivequeue.h"

#include <algorithm>

ReceiveQueue::ReceiveQueue(std::size_t capacity, std::function<void()> notify)
    : m_capacity(std::max<std::size_t>(capacity, 1))
    , m_notify(std::move(notify))
{ }

bool ReceiveQueue::Push(const ReceiveOp *ops, std::size_t count)
{
    while (count > 0) {
        const std::size_t chunk = std::min(count, m_capacity);
        bool wasEmpty = false;
        {
            std::unique_lock lock(m_mutex);
            m_roomOrFailed.wait(lock,
                [&] { return m_failed || m_ops.empty() || m_ops.size() + chunk <= m_capacity; });
            if (m_failed) {
                return false;
            }
            wasEmpty = m_ops.empty();
            m_ops.insert(m_ops.end(), ops, ops + chunk);
            m_highWater = std::max(m_highWater, m_ops.size());
        }
        if (wasEmpty) {
            m_dataOrFinished.notify_one();
            if (m_notify) {
                m_notify();
            }
        }
        ops += chunk;
        count -= chunk;
    }
    return true;
}

void ReceiveQueue::Finish()
{
    {
        std::lock_guard lock(m_mutex);
        m_finished = true;
    }
    m_dataOrFinished.notify_all();
}

void ReceiveQueue::TakeAll(std::vector<ReceiveOp> &out)
{
    out.clear();
    {
        std::lock_guard lock(m_mutex);
        out.swap(m_ops);
    }
    m_roomOrFailed.notify_all();
}

bool ReceiveQueue::WaitAndTake(std::vector<ReceiveOp> &out)
{
    out.clear();
    bool done = false;
    {
        std::unique_lock lock(m_mutex);
        m_dataOrFinished.wait(lock, [&] { return !m_ops.empty() || m_finished; });
        out.swap(m_ops);
        done = out.empty() && m_finished;
    }
    m_roomOrFailed.notify_all();
    return done;
}

void ReceiveQueue::Fail()
{
    {
        std::lock_guard lock(m_mutex);
        m_failed = true;
        m_ops.clear();
    }
    m_roomOrFailed.notify_all();
}

bool ReceiveQueue::failed() const
{
    std::lock_guard lock(m_mutex);
    return m_failed;
}

bool ReceiveQueue::finished() const
{
    std::lock_guard lock(m_mutex);
    return m_finished;
}

std::size_t ReceiveQueue::highWater() const
{
    std::lock_guard lock(m_mutex);
    return m_highWater;
}

void ReceiveQueue::Reset()
{
    std::lock_guard lock(m_mutex);
    m_ops.clear();
    m_highWater = 0;
    m_failed = false;
    m_finished = false;
}
