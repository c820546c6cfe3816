#include "memorydocument.h"

#include <algorithm>

MemoryDocument::MemoryDocument(std::size_t capacity)
    : m_capacity(capacity)
{ }

void MemoryDocument::MoveCaretToEnd()
{
    m_caret = m_text.size();
}

void MemoryDocument::SetInsertColor(Rgb color)
{
    m_insertColor = color;
}

bool MemoryDocument::InsertAtCaret(std::string_view text)
{
    if (text.size() > m_capacity - std::min(m_capacity, m_text.size())) {
        return false;
    }
    m_text.insert(m_caret, text);
    m_colors.insert(
        m_colors.begin() + static_cast<std::ptrdiff_t>(m_caret), text.size(), m_insertColor);
    m_caret += text.size();
    return true;
}

bool MemoryDocument::AppendLine(std::string_view text)
{
    std::string line;
    if (m_text.empty() || m_text.back() == '\n') {
        line.append(text).push_back('\n');
    } else {
        line.append(1, '\n').append(text);
    }
    MoveCaretToEnd();
    return InsertAtCaret(line);
}

int MemoryDocument::LineCount() const
{
    const auto breaks = std::count(m_text.begin(), m_text.end(), '\n');
    const bool openLastLine = !m_text.empty() && m_text.back() != '\n';
    return static_cast<int>(breaks) + (openLastLine ? 1 : 0);
}

void MemoryDocument::ClearDocument()
{
    m_text.clear();
    m_colors.clear();
    m_caret = 0;
}

std::vector<std::string> MemoryDocument::lines() const
{
    std::vector<std::string> result;
    std::size_t start = 0;
    while (start < m_text.size()) {
        const auto end = m_text.find('\n', start);
        if (end == std::string::npos) {
            result.push_back(m_text.substr(start));
            break;
        }
        result.push_back(m_text.substr(start, end - start));
        start = end + 1;
    }
    return result;
}

std::string MemoryDocument::textIn(Rgb color) const
{
    std::string result;
    for (std::size_t i = 0; i < m_text.size(); ++i) {
        if (m_colors[i] == color) {
            result.push_back(m_text[i]);
        }
    }
    return result;
}
