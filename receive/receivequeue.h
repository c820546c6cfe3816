#pragma once

#include "receiveops.h"

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <vector>

// The bounded hand-off between the receive thread (producer) and the thread that
// owns the document (consumer). The producer waits while the queue is full and
// never drops a change; it calls `notify` each time the queue goes from empty to
// non-empty. The consumer takes everything waiting in one go. When the consumer
// fails (the document is gone or refused a line) it marks the queue failed: what is
// waiting is dropped and every later push is refused, which ends the producer.
class ReceiveQueue
{
public:
    ReceiveQueue(std::size_t capacity, std::function<void()> notify);

    // Producer. Appends the changes in order, waiting for room as often as needed.
    // False (nothing more appended) once the consumer has failed.
    bool Push(const ReceiveOp *ops, std::size_t count);
    // Producer. Its last call: no more changes will come.
    void Finish();

    // Consumer. Moves everything waiting into `out` (replacing its contents).
    void TakeAll(std::vector<ReceiveOp> &out);
    // Consumer. Like TakeAll, but first waits until something is waiting or the
    // producer has finished. True when the producer has finished and nothing is left.
    bool WaitAndTake(std::vector<ReceiveOp> &out);
    // Consumer. Drops what is waiting and refuses every later push.
    void Fail();

    // Any thread.
    bool failed() const;
    bool finished() const;
    // The largest number of changes that were waiting at one time.
    std::size_t highWater() const;

    // Between two receptions only (no producer running): empties the queue and
    // clears the failed and finished marks and the high-water mark.
    void Reset();

private:
    const std::size_t m_capacity;
    const std::function<void()> m_notify;
    mutable std::mutex m_mutex;
    std::condition_variable m_roomOrFailed;
    std::condition_variable m_dataOrFinished;
    std::vector<ReceiveOp> m_ops;
    std::size_t m_highWater = 0;
    bool m_failed = false;
    bool m_finished = false;
};
