#include "triggers.h"

#include <algorithm>
#include <optional>

struct TriggerEngine::Rule
{
    TriggerRule source;
    std::string literal; // the pattern's bytes (text and hex)
    std::optional<BytePattern> regex;
    std::string reply;
    RecordSplitter splitter;
    std::string window; // what may still take part in a match
    Counts counts;
    uint64_t scheduled = 0;
    std::deque<int64_t> recentFires; // times of the fires in the last second
};

TriggerEngine::~TriggerEngine() = default;

Result<std::unique_ptr<TriggerEngine>> TriggerEngine::Create(
    const std::vector<TriggerRule> &rules, const CharacterEncoder &encode)
{
    std::unique_ptr<TriggerEngine> engine(new TriggerEngine);
    for (const TriggerRule &source : rules) {
        auto rule = std::make_unique<Rule>();
        rule->source = source;
        const auto fail = [&source](const Status &status) {
            return Status(status.kind(), "rule \"" + source.name + "\": " + status.reason());
        };
        if (Status checked = CheckPattern(source.match); !checked) {
            return fail(checked);
        }
        if (source.match.kind == Pattern::Kind::Regex) {
            Result<BytePattern> compiled = BytePattern::Compile(source.match.source);
            if (!compiled) {
                return fail(compiled.status());
            }
            rule->regex = std::move(*compiled);
        } else {
            Result<std::string> bytes = PatternBytes(source.match, encode);
            if (!bytes) {
                return fail(bytes.status());
            }
            rule->literal = std::move(*bytes);
        }
        Result<std::string> reply = PayloadBytes(source.reply, encode);
        if (!reply) {
            return fail(reply.status());
        }
        rule->reply = std::move(*reply);
        const RecordSplitter::Mode mode = source.scope == MatchScope::Line
            ? RecordSplitter::Mode::Lines
            : source.scope == MatchScope::Frame ? RecordSplitter::Mode::Frames
                                                : RecordSplitter::Mode::None;
        rule->splitter = RecordSplitter(mode);
        engine->m_rules.push_back(std::move(rule));
    }
    return engine;
}

void TriggerEngine::Feed(std::string_view bytes, int64_t nowMs)
{
    for (std::size_t index = 0; index < m_rules.size(); ++index) {
        Rule &rule = *m_rules[index];
        if (!rule.source.enabled) {
            continue;
        }
        rule.splitter.Split(bytes, nowMs, [&](std::string_view piece, bool startsRecord) {
            if (startsRecord) {
                rule.window.clear();
                if (rule.regex) {
                    rule.regex->Restart();
                }
            }
            match(rule, index, piece, nowMs);
        });
    }
}

void TriggerEngine::match(Rule &rule, std::size_t index, std::string_view piece, int64_t nowMs)
{
    if (rule.regex) {
        for (std::size_t found = rule.regex->Feed(piece); found > 0; --found) {
            matched(rule, index, nowMs);
        }
        return;
    }
    rule.window.append(piece);
    std::size_t at = 0;
    while ((at = rule.window.find(rule.literal, at)) != std::string::npos) {
        matched(rule, index, nowMs);
        at += rule.literal.size();
        rule.window.erase(0, at);
        at = 0;
    }
    const std::size_t keep = rule.literal.size() - 1;
    if (rule.window.size() > keep) {
        rule.window.erase(0, rule.window.size() - keep);
    }
}

void TriggerEngine::matched(Rule &rule, std::size_t index, int64_t nowMs)
{
    ++rule.counts.matched;
    if (rule.counts.paused || rule.counts.done) {
        return;
    }
    while (!rule.recentFires.empty() && nowMs - rule.recentFires.front() >= 1000) {
        rule.recentFires.pop_front();
    }
    if (rule.recentFires.size() >= static_cast<std::size_t>(rule.source.ratePerSecond)) {
        rule.counts.paused = true;
        m_messages.push_back("rule \"" + rule.source.name + "\" fired more than "
            + std::to_string(rule.source.ratePerSecond) + " times a second and is paused");
        return;
    }
    rule.recentFires.push_back(nowMs);
    ++rule.scheduled;
    if (rule.source.fireLimit > 0
        && rule.scheduled >= static_cast<uint64_t>(rule.source.fireLimit)) {
        rule.counts.done = true;
    }
    const Pending pending { nowMs + rule.source.delayMs, m_order++, index };
    const auto place = std::upper_bound(
        m_pending.begin(), m_pending.end(), pending, [](const Pending &a, const Pending &b) {
            return a.dueMs != b.dueMs ? a.dueMs < b.dueMs : a.order < b.order;
        });
    m_pending.insert(place, pending);
}

std::vector<TriggerEngine::Reply> TriggerEngine::TakeDue(int64_t nowMs)
{
    std::vector<Reply> due;
    const auto end = std::find_if(
        m_pending.begin(), m_pending.end(), [nowMs](const Pending &p) { return p.dueMs > nowMs; });
    for (auto it = m_pending.begin(); it != end; ++it) {
        Rule &rule = *m_rules[it->rule];
        ++rule.counts.fired;
        due.push_back({ it->rule, rule.reply });
    }
    m_pending.erase(m_pending.begin(), end);
    return due;
}

int64_t TriggerEngine::nextDueMs() const
{
    return m_pending.empty() ? -1 : m_pending.front().dueMs;
}

std::vector<std::string> TriggerEngine::TakeMessages()
{
    return std::exchange(m_messages, {});
}

std::size_t TriggerEngine::ruleCount() const
{
    return m_rules.size();
}

TriggerEngine::Counts TriggerEngine::counts(std::size_t rule) const
{
    return m_rules.at(rule)->counts;
}

void TriggerEngine::Resume(std::size_t rule)
{
    Rule &target = *m_rules.at(rule);
    target.counts.paused = false;
    target.recentFires.clear();
}

void TriggerEngine::Reset()
{
    m_pending.clear();
    for (auto &rule : m_rules) {
        rule->window.clear();
        rule->splitter.Restart();
        if (rule->regex) {
            rule->regex->Restart();
        }
    }
}
