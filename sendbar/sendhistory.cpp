#include "sendhistory.h"

#include <utility>

SendHistory::SendHistory(std::vector<std::string> lines)
    : m_lines(std::move(lines))
{
    if (m_lines.size() > kLimit) {
        m_lines.erase(m_lines.begin(), m_lines.end() - static_cast<std::ptrdiff_t>(kLimit));
    }
}

void SendHistory::Add(std::string_view line)
{
    m_cursor.reset();
    if (line.empty() || (!m_lines.empty() && m_lines.back() == line)) {
        return;
    }
    m_lines.emplace_back(line);
    if (m_lines.size() > kLimit) {
        m_lines.erase(m_lines.begin());
    }
}

std::optional<std::string> SendHistory::Older(std::string_view current)
{
    if (m_lines.empty() || m_cursor == 0U) {
        return std::nullopt;
    }
    if (!m_cursor) {
        m_draft = current;
        m_cursor = m_lines.size();
    }
    m_cursor = *m_cursor - 1;
    return m_lines[*m_cursor];
}

std::optional<std::string> SendHistory::Newer()
{
    if (!m_cursor) {
        return std::nullopt;
    }
    m_cursor = *m_cursor + 1;
    if (*m_cursor >= m_lines.size()) {
        m_cursor.reset();
        return m_draft;
    }
    return m_lines[*m_cursor];
}
