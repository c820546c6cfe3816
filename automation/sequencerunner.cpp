#include "sequencerunner.h"

#include "bytepattern.h"

#include <algorithm>
#include <cstdio>

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Printable ASCII as it is, the rest as escapes.
std::string Visible(std::string_view bytes)
{
    std::string out;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\\') {
            out += "\\\\";
        } else if (byte < 0x20 || byte >= 0x7F) {
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\x%02X", byte);
            out += escape;
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace

const char *VerdictName(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Running:
        return "running";
    case Verdict::Passed:
        return "passed";
    case Verdict::Failed:
        return "failed";
    case Verdict::CouldNotRun:
        return "could not run";
    case Verdict::Stopped:
        break;
    }
    return "stopped";
}

struct SequenceRunner::Outcome
{
    enum class Kind { Next, Passed, Failed, CouldNotRun, Stopped };
    Kind kind = Kind::Next;
    std::string detail;
};

SequenceRunner::SequenceRunner(
    Sequence sequence, LineChannel &line, ControlLines &controls, CharacterEncoder encode)
    : m_sequence(std::move(sequence))
    , m_line(line)
    , m_controls(controls)
    , m_encode(std::move(encode))
{ }

SequenceRunner::~SequenceRunner()
{
    Stop();
    Wait();
}

void SequenceRunner::Start()
{
    m_thread = std::jthread([this](const std::stop_token &stop) { static_cast<void>(Run(stop)); });
}

void SequenceRunner::Stop()
{
    m_thread.request_stop();
}

void SequenceRunner::Wait()
{
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

bool SequenceRunner::finished() const
{
    return m_finished.load();
}

SequenceProgress SequenceRunner::progress() const
{
    const std::lock_guard lock(m_lock);
    SequenceProgress copy = m_progress;
    if (copy.verdict == Verdict::Running && m_started != Clock::time_point()) {
        copy.seconds = SecondsSince(m_started);
        copy.stepSeconds = SecondsSince(m_stepStarted);
    }
    return copy;
}

void SequenceRunner::finish(Verdict verdict, std::string reason)
{
    {
        const std::lock_guard lock(m_lock);
        m_progress.verdict = verdict;
        m_progress.reason = std::move(reason);
        m_progress.seconds = SecondsSince(m_started);
    }
    m_finished = true;
}

SequenceProgress SequenceRunner::Run(const std::stop_token &stop)
{
    {
        const std::lock_guard lock(m_lock);
        m_progress = SequenceProgress();
        m_started = m_stepStarted = Clock::now();
    }
    // Everything is made and matched before the first step, so a fault is found
    // before the line is touched.
    const std::vector<Step> &steps = m_sequence.steps;
    m_bytes.assign(steps.size(), {});
    m_jumps.assign(steps.size(), 0);
    std::vector<std::size_t> open;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const Step &step = steps[i];
        Result<std::string> bytes = step.kind == StepKind::Send
            ? PayloadBytes(step.payload, m_encode)
            : step.kind == StepKind::Expect ? PatternBytes(step.pattern, m_encode)
                                            : Result<std::string>(std::string());
        if (!bytes) {
            finish(Verdict::CouldNotRun,
                "step " + std::to_string(i + 1) + ": " + bytes.status().reason());
            return progress();
        }
        m_bytes[i] = std::move(*bytes);
        if (step.kind == StepKind::Repeat) {
            open.push_back(i);
        } else if (step.kind == StepKind::End) {
            if (open.empty()) {
                finish(
                    Verdict::CouldNotRun, "step " + std::to_string(i + 1) + ": end without repeat");
                return progress();
            }
            m_jumps[i] = open.back();
            m_jumps[open.back()] = i;
            open.pop_back();
        }
    }
    if (!open.empty()) {
        finish(Verdict::CouldNotRun, "a repeat block has no end");
        return progress();
    }

    std::vector<std::pair<std::size_t, int>> loops; // repeat step, rounds left (0: forever)
    std::size_t pc = 0;
    while (pc < steps.size()) {
        const Step &step = steps[pc];
        if (step.kind == StepKind::Repeat) {
            loops.emplace_back(pc, step.count);
            ++pc;
            continue;
        }
        if (step.kind == StepKind::End) {
            auto &[start, left] = loops.back();
            if (left == 0 || --left > 0) {
                pc = start + 1;
                if (stop.stop_requested()) {
                    finish(Verdict::Stopped, "stopped");
                    return progress();
                }
            } else {
                loops.pop_back();
                ++pc;
            }
            continue;
        }
        {
            const std::lock_guard lock(m_lock);
            m_progress.step = pc;
            m_stepStarted = Clock::now();
        }
        const Outcome outcome = runStep(step, pc, stop);
        if (outcome.kind == Outcome::Kind::Stopped) {
            finish(Verdict::Stopped, "stopped");
            return progress();
        }
        if (outcome.kind == Outcome::Kind::CouldNotRun) {
            finish(Verdict::CouldNotRun, "step " + std::to_string(pc + 1) + ": " + outcome.detail);
            return progress();
        }
        const bool passed = outcome.kind != Outcome::Kind::Failed;
        {
            const std::lock_guard lock(m_lock);
            (passed ? m_progress.passed : m_progress.failed) += 1;
            if (m_progress.results.size() < kMaxResults) {
                m_progress.results.push_back(
                    { pc, step.fileLine, passed, SecondsSince(m_stepStarted), outcome.detail });
            }
        }
        if (outcome.kind == Outcome::Kind::Failed) {
            finish(Verdict::Failed, outcome.detail);
            return progress();
        }
        if (outcome.kind == Outcome::Kind::Passed) {
            finish(Verdict::Passed, step.message);
            return progress();
        }
        ++pc;
    }
    finish(Verdict::Passed, {});
    return progress();
}

SequenceRunner::Outcome SequenceRunner::runStep(
    const Step &step, std::size_t index, const std::stop_token &stop)
{
    using Kind = Outcome::Kind;
    const auto result = [&stop](const Status &status) {
        if (status.ok()) {
            return Outcome {};
        }
        return Outcome { stop.stop_requested() ? Kind::Stopped : Kind::CouldNotRun,
            status.reason() };
    };
    switch (step.kind) {
    case StepKind::Send:
        return result(sendBytes(m_bytes[index], stop));
    case StepKind::Wait:
        return result(pause(step.ms, stop));
    case StepKind::Expect: {
        const auto deadline = Clock::now() + std::chrono::milliseconds(step.ms);
        for (;;) {
            if (takeMatch(index)) {
                return {};
            }
            const auto left
                = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now())
                      .count();
            if (left <= 0) {
                return { Kind::Failed,
                    "no " + PatternText(step.pattern) + " within " + std::to_string(step.ms)
                        + " ms; " + receivedInstead() };
            }
            if (stop.stop_requested()) {
                return { Kind::Stopped, {} };
            }
            if (Status read = readSome(static_cast<int>(std::min<int64_t>(left, kSliceMs)));
                !read) {
                return result(read);
            }
        }
    }
    case StepKind::SetLine:
        return result(m_controls.setLine(step.line, step.on));
    case StepKind::Pulse: {
        if (Status set = m_controls.setLine(step.line, step.on); !set) {
            return result(set);
        }
        const Status held = pause(step.ms, stop);
        // The line goes back even when stopped mid-pulse: a pulse is one step.
        if (Status back = m_controls.setLine(step.line, !step.on); !back) {
            return result(back);
        }
        return result(held);
    }
    case StepKind::Break: {
        if (Status on = m_controls.setBreak(true); !on) {
            return result(on);
        }
        const Status held = pause(step.ms, stop);
        if (Status off = m_controls.setBreak(false); !off) {
            return result(off);
        }
        return result(held);
    }
    case StepKind::Pass:
        return { Kind::Passed, step.message };
    case StepKind::Fail:
        return { Kind::Failed, step.message.empty() ? std::string("fail step") : step.message };
    case StepKind::Repeat:
    case StepKind::End:
        break;
    }
    return {};
}

Status SequenceRunner::pause(int ms, const std::stop_token &stop)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        const auto left
            = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now())
                  .count();
        if (left <= 0) {
            return {};
        }
        if (stop.stop_requested()) {
            return { ErrorKind::Cancelled, "stopped" };
        }
        if (Status read = readSome(static_cast<int>(std::min<int64_t>(left, kSliceMs))); !read) {
            return read;
        }
    }
}

Status SequenceRunner::readSome(int waitMs)
{
    char buffer[1024];
    Result<std::size_t> read
        = m_line.Read(reinterpret_cast<uint8_t *>(buffer), sizeof buffer, waitMs);
    if (!read) {
        return read.status();
    }
    const std::string_view got(buffer, *read);
    m_seen.append(got);
    if (m_seen.size() > kKeep) {
        m_seen.erase(0, m_seen.size() - kKeep);
    }
    m_last.append(got);
    if (m_last.size() > kShownOnFailure) {
        m_last.erase(0, m_last.size() - kShownOnFailure);
    }
    return {};
}

Status SequenceRunner::sendBytes(const std::string &bytes, const std::stop_token &stop)
{
    std::size_t sent = 0;
    auto lastProgress = Clock::now();
    while (sent < bytes.size()) {
        if (stop.stop_requested()) {
            return { ErrorKind::Cancelled, "stopped" };
        }
        Result<std::size_t> wrote = m_line.Write(
            reinterpret_cast<const uint8_t *>(bytes.data()) + sent, bytes.size() - sent, kSliceMs);
        if (!wrote) {
            return wrote.status();
        }
        if (*wrote > 0) {
            sent += *wrote;
            lastProgress = Clock::now();
        } else if (SecondsSince(lastProgress) * 1000 > kWriteGiveUpMs) {
            return { ErrorKind::Timeout,
                "the line took nothing for " + std::to_string(kWriteGiveUpMs / 1000) + " s" };
        }
    }
    return {};
}

bool SequenceRunner::takeMatch(std::size_t step)
{
    const Pattern &pattern = m_sequence.steps[step].pattern;
    if (pattern.kind == Pattern::Kind::Regex) {
        Result<BytePattern> regex = BytePattern::Compile(m_bytes[step]);
        const std::size_t end = regex ? regex->FindEnd(m_seen) : std::string::npos;
        if (end == std::string::npos) {
            return false;
        }
        m_seen.erase(0, end);
        return true;
    }
    const auto at = m_seen.find(m_bytes[step]);
    if (at == std::string::npos) {
        return false;
    }
    m_seen.erase(0, at + m_bytes[step].size());
    return true;
}

std::string SequenceRunner::receivedInstead() const
{
    if (m_last.empty()) {
        return "received nothing";
    }
    return "received instead (last " + std::to_string(m_last.size()) + " bytes): \""
        + Visible(m_last) + "\" hex " + HexPreview(m_last);
}
