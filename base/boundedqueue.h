#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <utility>
#include <vector>

// The bounded hand-off between a worker thread (producer) and the thread that owns
// the document the items change (consumer): the receive thread's document changes
// and the send thread's echo. The producer waits while the queue has no room and
// never drops an item; it calls `notify` each time the queue goes from empty to
// non-empty. The consumer takes everything waiting in one go. When the consumer
// fails (the document is gone or refused a change) it marks the queue failed: what
// is waiting is dropped and every later push is refused, which ends the producer.
//
// Items are plain values, copied in and out under one short lock; the memory the
// queue holds is bounded by `capacity` items whatever the producer does.
template <typename Item>
class BoundedQueue
{
public:
    BoundedQueue(std::size_t capacity, std::function<void()> notify)
        : m_capacity(std::max<std::size_t>(capacity, 1))
        , m_notify(std::move(notify))
    { }

    // Producer. Appends the items in order, waiting for room as often as needed.
    // Up to `capacity` of them go in together, so that the consumer takes the items
    // of one push in one batch whenever they fit. False (nothing more appended)
    // once the consumer has failed.
    bool Push(const Item *items, std::size_t count)
    {
        while (count > 0) {
            const std::size_t chunk = std::min(count, m_capacity);
            bool wasEmpty = false;
            {
                std::unique_lock lock(m_mutex);
                m_roomOrFailed.wait(lock, [&] {
                    return m_failed || m_items.empty() || m_items.size() + chunk <= m_capacity;
                });
                if (m_failed) {
                    return false;
                }
                wasEmpty = m_items.empty();
                m_items.insert(m_items.end(), items, items + chunk);
                m_highWater = std::max(m_highWater, m_items.size());
            }
            if (wasEmpty) {
                m_dataOrFinished.notify_one();
                if (m_notify) {
                    m_notify();
                }
            }
            items += chunk;
            count -= chunk;
        }
        return true;
    }

    // Producer. Its last call: no more items will come.
    void Finish()
    {
        {
            std::lock_guard lock(m_mutex);
            m_finished = true;
        }
        m_dataOrFinished.notify_all();
    }

    // Any thread. A consumer waiting in WaitAndTakeUntil looks at its condition
    // again; call it after making that condition true.
    void Wake()
    {
        {
            // Taking the lock orders the change before the consumer's next look, so
            // the wake-up cannot fall between its look and its wait.
            std::lock_guard lock(m_mutex);
        }
        m_dataOrFinished.notify_all();
    }

    // Consumer. Moves everything waiting into `out` (replacing its contents).
    void TakeAll(std::vector<Item> &out)
    {
        out.clear();
        {
            std::lock_guard lock(m_mutex);
            out.swap(m_items);
        }
        m_roomOrFailed.notify_all();
    }

    // Consumer. Like TakeAll, but first waits until something is waiting or the
    // producer has finished. True when the producer has finished and nothing is left.
    bool WaitAndTake(std::vector<Item> &out)
    {
        return WaitAndTakeUntil(out, [] { return false; });
    }

    // Consumer. Like WaitAndTake, but `until()` (looked at under the queue's lock,
    // after every Wake) also ends the wait. True when nothing was left and the
    // producer had finished or `until()` held: the producer's items up to that
    // point have all been taken.
    template <typename Until>
    bool WaitAndTakeUntil(std::vector<Item> &out, Until until)
    {
        out.clear();
        bool done = false;
        {
            std::unique_lock lock(m_mutex);
            m_dataOrFinished.wait(lock, [&] { return !m_items.empty() || m_finished || until(); });
            out.swap(m_items);
            done = out.empty() && (m_finished || until());
        }
        m_roomOrFailed.notify_all();
        return done;
    }

    // Consumer. Drops what is waiting and refuses every later push.
    void Fail()
    {
        {
            std::lock_guard lock(m_mutex);
            m_failed = true;
            m_items.clear();
        }
        m_roomOrFailed.notify_all();
    }

    // Any thread.
    bool failed() const
    {
        std::lock_guard lock(m_mutex);
        return m_failed;
    }
    bool finished() const
    {
        std::lock_guard lock(m_mutex);
        return m_finished;
    }
    // The largest number of items that were waiting at one time.
    std::size_t highWater() const
    {
        std::lock_guard lock(m_mutex);
        return m_highWater;
    }

    // Between two runs of the producer only (none running): empties the queue and
    // clears the failed and finished marks and the high-water mark.
    void Reset()
    {
        std::lock_guard lock(m_mutex);
        m_items.clear();
        m_highWater = 0;
        m_failed = false;
        m_finished = false;
    }

private:
    const std::size_t m_capacity;
    const std::function<void()> m_notify;
    mutable std::mutex m_mutex;
    std::condition_variable m_roomOrFailed;
    std::condition_variable m_dataOrFinished;
    std::vector<Item> m_items;
    std::size_t m_highWater = 0;
    bool m_failed = false;
    bool m_finished = false;
};
