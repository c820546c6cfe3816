#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The lines sent from the send bar, oldest first, and the walk through them with Up
// and Down as a shell does it: Up from the line being typed goes to the newest,
// Down past the newest gives back what was being typed. Not thread-safe.
class SendHistory
{
public:
    static constexpr std::size_t kLimit = 100;

    // `lines` oldest first (as stored); only the newest kLimit are kept.
    explicit SendHistory(std::vector<std::string> lines = {});

    // A line that was sent: kept unless it is empty or the same as the newest;
    // the oldest goes when there are more than kLimit. Ends a walk.
    void Add(std::string_view line);
    // The next older line, with `current` (the field's text) kept as the draft when
    // the walk starts there; nullopt at the oldest (or with no lines).
    [[nodiscard]] std::optional<std::string> Older(std::string_view current);
    // The next newer line, the draft after the newest; nullopt when not walking.
    [[nodiscard]] std::optional<std::string> Newer();
    // Forgets the walk (the user typed).
    void Reset() { m_cursor.reset(); }

    [[nodiscard]] const std::vector<std::string> &lines() const { return m_lines; }

private:
    std::vector<std::string> m_lines;
    std::optional<std::size_t> m_cursor; // index into m_lines while walking
    std::string m_draft;
};
