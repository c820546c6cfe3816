#include "transferjob.h"

#include "transferlink.h"

TransferJob::TransferJob(std::unique_ptr<TransferLink> link, Work work)
    : m_link(std::move(link))
{
    m_link->setCancelMark(&m_cancel);
    m_thread = std::thread([this, work = std::move(work)]() {
        m_status = work(*m_link, m_wait, progress);
        m_finished.store(true, std::memory_order_release);
    });
}

TransferJob::~TransferJob()
{
    if (m_thread.joinable()) {
        cancel();
        m_thread.join();
    }
}

void TransferJob::cancel()
{
    m_cancel.store(true);
    m_wait.interrupt();
}

Status TransferJob::wait()
{
    if (m_thread.joinable()) {
        m_thread.join();
    }
    return m_status;
}
