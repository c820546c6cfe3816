#pragma once

#include "automationfile.h"
#include "bytepattern.h"
#include "recordsplitter.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

// The rules at work: received bytes go in, the replies they cause come out when due.
// Times are the caller's milliseconds on a steady clock. One thread; the engine keeps
// no clock and does no I/O, so the window and the tests drive it alike.
//
// Matching work is bounded per byte received: a text or hex pattern keeps only its
// length less one byte between reads; a regular expression runs as a BytePattern,
// whose cost per byte is bounded by the expression's size.
class TriggerEngine
{
public:
    struct Reply
    {
        std::size_t rule = 0;
        std::string bytes;
    };
    struct Counts
    {
        uint64_t matched = 0;
        uint64_t fired = 0;
        bool paused = false; // by the rate limit, until Resume
        bool done = false; // fired as often as it may
    };

    // The enabled and disabled rules alike (a disabled one never matches), with the
    // bytes of their patterns and replies made by `encode`. Fails with the rule's name
    // when one cannot be used.
    [[nodiscard]] static Result<std::unique_ptr<TriggerEngine>> Create(
        const std::vector<TriggerRule> &rules, const CharacterEncoder &encode);
    ~TriggerEngine();
    TriggerEngine(const TriggerEngine &) = delete;
    TriggerEngine &operator=(const TriggerEngine &) = delete;

    // Bytes received at `nowMs`: matches them and schedules the replies.
    void Feed(std::string_view bytes, int64_t nowMs);
    // The replies due by `nowMs`, in the order they fell due; each counts as fired.
    [[nodiscard]] std::vector<Reply> TakeDue(int64_t nowMs);
    // When the next reply falls due; -1 when none waits.
    [[nodiscard]] int64_t nextDueMs() const;
    // Messages for the user since the last call (a rule paused by the rate limit).
    [[nodiscard]] std::vector<std::string> TakeMessages();

    [[nodiscard]] std::size_t ruleCount() const;
    [[nodiscard]] Counts counts(std::size_t rule) const;
    // Lets a paused rule fire again.
    void Resume(std::size_t rule);
    // Forgets what was matched so far and the replies not yet due; keeps the counts.
    void Reset();

private:
    struct Rule;
    TriggerEngine() = default;
    void match(Rule &rule, std::size_t index, std::string_view piece, int64_t nowMs);
    void matched(Rule &rule, std::size_t index, int64_t nowMs);

    std::vector<std::unique_ptr<Rule>> m_rules;
    struct Pending
    {
        int64_t dueMs;
        uint64_t order;
        std::size_t rule;
    };
    std::vector<Pending> m_pending; // kept sorted by due time, then order
    uint64_t m_order = 0;
    std::vector<std::string> m_messages;
};
