#pragma once

#include "linetest/linechannel.h"
#include "triggers.h"

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

// Runs a TriggerEngine on a line of its own: a thread reads the line, feeds the
// engine and writes the replies when they fall due. For the command line, the
// benchmark and the tests; the window feeds its engine from the receive path instead.
class TriggerRunner
{
public:
    // `onMessage` is called on the runner's thread (a rule paused, the line lost).
    TriggerRunner(LineChannel &line, std::unique_ptr<TriggerEngine> engine,
        std::function<void(const std::string &)> onMessage = {});
    ~TriggerRunner(); // stops
    TriggerRunner(const TriggerRunner &) = delete;
    TriggerRunner &operator=(const TriggerRunner &) = delete;

    void Start();
    // Ends the thread within one read (20 ms).
    void Stop();
    // The engine's counts of rule `rule`; any thread.
    [[nodiscard]] TriggerEngine::Counts counts(std::size_t rule) const;
    // Bytes read from the line so far; any thread.
    [[nodiscard]] uint64_t received() const { return m_received.load(); }
    // Why the thread ended early (the line failed); success while it runs.
    [[nodiscard]] Status failure() const;

private:
    void run(const std::stop_token &stop);

    LineChannel &m_line;
    std::unique_ptr<TriggerEngine> m_engine;
    std::function<void(const std::string &)> m_onMessage;
    mutable std::mutex m_lock; // the engine between its thread and counts()
    std::atomic<uint64_t> m_received { 0 };
    Status m_failure;
    std::jthread m_thread;
};
