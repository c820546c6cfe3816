#include "triggerrunner.h"

#include <chrono>

namespace {

int64_t NowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

TriggerRunner::TriggerRunner(LineChannel &line, std::unique_ptr<TriggerEngine> engine,
    std::function<void(const std::string &)> onMessage)
    : m_line(line)
    , m_engine(std::move(engine))
    , m_onMessage(std::move(onMessage))
{ }

TriggerRunner::~TriggerRunner()
{
    Stop();
}

void TriggerRunner::Start()
{
    m_thread = std::jthread([this](const std::stop_token &stop) { run(stop); });
}

void TriggerRunner::Stop()
{
    if (m_thread.joinable()) {
        m_thread.request_stop();
        m_thread.join();
    }
}

TriggerEngine::Counts TriggerRunner::counts(std::size_t rule) const
{
    const std::lock_guard lock(m_lock);
    return m_engine->counts(rule);
}

Status TriggerRunner::failure() const
{
    const std::lock_guard lock(m_lock);
    return m_failure;
}

void TriggerRunner::run(const std::stop_token &stop)
{
    std::string buffer(4096, '\0');
    const auto fail = [this](const Status &status) {
        const std::lock_guard lock(m_lock);
        m_failure = status;
    };
    while (!stop.stop_requested()) {
        int waitMs = 20;
        std::vector<TriggerEngine::Reply> due;
        std::vector<std::string> messages;
        {
            const std::lock_guard lock(m_lock);
            const int64_t next = m_engine->nextDueMs();
            if (next >= 0) {
                waitMs = static_cast<int>(std::clamp<int64_t>(next - NowMs(), 0, 20));
            }
        }
        Result<std::size_t> read
            = m_line.Read(reinterpret_cast<uint8_t *>(buffer.data()), buffer.size(), waitMs);
        if (!read) {
            fail(read.status());
            return;
        }
        m_received.fetch_add(*read);
        {
            const std::lock_guard lock(m_lock);
            if (*read > 0) {
                m_engine->Feed(std::string_view(buffer.data(), *read), NowMs());
            }
            due = m_engine->TakeDue(NowMs());
            messages = m_engine->TakeMessages();
        }
        for (const std::string &message : messages) {
            if (m_onMessage) {
                m_onMessage(message);
            }
        }
        for (const TriggerEngine::Reply &reply : due) {
            std::size_t sent = 0;
            while (sent < reply.bytes.size() && !stop.stop_requested()) {
                Result<std::size_t> wrote
                    = m_line.Write(reinterpret_cast<const uint8_t *>(reply.bytes.data()) + sent,
                        reply.bytes.size() - sent, 20);
                if (!wrote) {
                    fail(wrote.status());
                    return;
                }
                sent += *wrote;
            }
        }
    }
}
