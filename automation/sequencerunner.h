#pragma once

#include "automationfile.h"
#include "linetest/linechannel.h"
#include "serial/controllines.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

// How a run of a sequence ended (Running while it goes on).
enum class Verdict { Running, Passed, Failed, CouldNotRun, Stopped };
[[nodiscard]] const char *VerdictName(Verdict verdict); // "passed", "could not run", ...

struct StepResult
{
    std::size_t step = 0; // index in Sequence::steps
    int fileLine = 0;
    bool passed = true;
    double seconds = 0;
    std::string detail; // why it failed; what a failed wait received instead
};

// Where a run is: the step going on and its time, the results so far, the summary.
struct SequenceProgress
{
    Verdict verdict = Verdict::Running;
    std::size_t step = 0; // the step going on (or the last one, once ended)
    double stepSeconds = 0;
    double seconds = 0;
    uint64_t passed = 0;
    uint64_t failed = 0;
    std::string reason; // for CouldNotRun, and the message of a fail or pass step
    std::vector<StepResult> results; // the first kMaxResults
};

// Runs one sequence over a line and its control lines: on a thread of its own
// (Start) or on the caller's (Run). Every wait is cut in slices of at most 20 ms,
// so Stop takes effect within one slice at any step; a stop leaves the line and
// its control lines as they are. Data received is kept from one expect to the next
// (at most kKeep bytes), so an answer to a send is not missed.
class SequenceRunner
{
public:
    static constexpr std::size_t kMaxResults = 10000;
    static constexpr std::size_t kKeep = 4096;
    static constexpr std::size_t kShownOnFailure = 64;
    static constexpr int kSliceMs = 20;
    static constexpr int kWriteGiveUpMs = 5000;

    SequenceRunner(
        Sequence sequence, LineChannel &line, ControlLines &controls, CharacterEncoder encode);
    ~SequenceRunner(); // stops and waits
    SequenceRunner(const SequenceRunner &) = delete;
    SequenceRunner &operator=(const SequenceRunner &) = delete;

    void Start();
    void Stop();
    void Wait();
    [[nodiscard]] bool finished() const;
    // Any thread.
    [[nodiscard]] SequenceProgress progress() const;
    // Runs to the end on the calling thread.
    SequenceProgress Run(const std::stop_token &stop);

private:
    struct Outcome;
    Outcome runStep(const Step &step, std::size_t index, const std::stop_token &stop);
    Status pause(int ms, const std::stop_token &stop);
    Status readSome(int waitMs);
    Status sendBytes(const std::string &bytes, const std::stop_token &stop);
    bool takeMatch(std::size_t step);
    std::string receivedInstead() const;
    void finish(Verdict verdict, std::string reason);

    Sequence m_sequence;
    LineChannel &m_line;
    ControlLines &m_controls;
    CharacterEncoder m_encode;
    std::vector<std::string> m_bytes; // per step: what a send sends, what an expect seeks
    std::vector<std::size_t> m_jumps; // per step: a repeat's end, an end's repeat
    std::string m_seen; // received and not yet taken by an expect
    std::string m_last; // the last kShownOnFailure bytes received

    mutable std::mutex m_lock;
    SequenceProgress m_progress;
    std::chrono::steady_clock::time_point m_started, m_stepStarted;
    std::atomic<bool> m_finished { false };
    std::jthread m_thread;
};
