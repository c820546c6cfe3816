#pragma once

#include "base/status.h"
#include "modem.h"
#include "send/delay.h"

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

class TransferLink;

// One transfer on its own thread: the protocol runs there against a link, while
// the owner (the user-interface thread) reads the progress and may cancel.
// Start, cancel, finished, wait and the destructor belong to the owner.
class TransferJob
{
public:
    using Work = std::function<Status(
        TransferLink &link, InterruptibleWait &wait, TransferProgress &progress)>;

    // Runs `work` over `link` (kept alive by the job) on the transfer thread.
    TransferJob(std::unique_ptr<TransferLink> link, Work work);
    // Cancels a transfer still running and waits for its thread.
    ~TransferJob();
    TransferJob(const TransferJob &) = delete;
    TransferJob &operator=(const TransferJob &) = delete;

    // Asks the transfer to end: the protocol tells the far side (CAN CAN) and
    // ends with Cancelled within about a read attempt.
    void cancel();
    [[nodiscard]] bool finished() const { return m_finished.load(std::memory_order_acquire); }
    // Waits for the end and returns how it went.
    [[nodiscard]] Status wait();
    // How it went; meaningful once finished().
    [[nodiscard]] const Status &status() const { return m_status; }

    TransferProgress progress;

private:
    std::unique_ptr<TransferLink> m_link;
    std::atomic<bool> m_cancel { false };
    std::atomic<bool> m_finished { false };
    InterruptibleWait m_wait;
    Status m_status;
    std::thread m_thread;
};
