#include "textstore.h"

#include <algorithm>
#include <cstring>
#include <limits>

bool TextStore::Append(std::string_view text, Rgb color)
{
    if (text.empty()) {
        return true;
    }
    if (text.size() > std::numeric_limits<std::uint32_t>::max() - m_size) {
        return false;
    }
    const bool newRun = m_runColors.empty() || m_colors[m_runColors.back()] != color;
    int index = 0;
    if (newRun) {
        index = ColorIndex(color);
        if (index < 0) {
            return false;
        }
        m_runStarts.push_back(static_cast<std::uint32_t>(m_size));
        m_runColors.push_back(static_cast<std::uint8_t>(index));
    }
    std::size_t lineStart = m_lineStarts.empty() ? 0 : m_lineStarts.back();
    for (std::size_t done = 0; done < text.size();) {
        const std::size_t inChunk = m_size % kChunkSize;
        if (inChunk == 0 && m_size / kChunkSize == m_chunks.size()) {
            m_chunks.push_back(std::make_unique_for_overwrite<char[]>(kChunkSize));
        }
        const std::size_t n = std::min(kChunkSize - inChunk, text.size() - done);
        char *to = m_chunks[m_size / kChunkSize].get() + inChunk;
        std::memcpy(to, text.data() + done, n);
        for (const char *p = to; (p = static_cast<const char *>(
                                      std::memchr(p, '\n', static_cast<std::size_t>(to + n - p))))
             != nullptr;
             ++p) {
            const std::size_t pos = m_size + static_cast<std::size_t>(p - to);
            m_longest = std::max(m_longest, pos - lineStart);
            lineStart = pos + 1;
            m_lineStarts.push_back(static_cast<std::uint32_t>(lineStart));
        }
        m_size += n;
        done += n;
    }
    m_longest = std::max(m_longest, m_size - lineStart);
    return true;
}

void TextStore::Clear()
{
    m_chunks.clear();
    m_chunks.shrink_to_fit();
    m_size = 0;
    m_longest = 0;
    m_lineStarts.clear();
    m_runStarts.clear();
    std::deque<std::uint8_t>().swap(m_runColors);
    m_colors.clear();
}

int TextStore::ColorIndex(Rgb color)
{
    const auto known = std::find(m_colors.begin(), m_colors.end(), color);
    if (known != m_colors.end()) {
        return static_cast<int>(known - m_colors.begin());
    }
    if (m_colors.size() == kMaxColors) {
        return -1;
    }
    m_colors.push_back(color);
    return static_cast<int>(m_colors.size() - 1);
}

std::size_t TextStore::LineStart(std::size_t line) const
{
    return line == 0 ? 0 : m_lineStarts[line - 1];
}

std::size_t TextStore::LineLength(std::size_t line) const
{
    const std::size_t end = line < m_lineStarts.size() ? m_lineStarts[line] - 1 : m_size;
    return end - LineStart(line);
}

std::size_t TextStore::LineOf(std::size_t pos) const
{
    return m_lineStarts.countUpTo(static_cast<std::uint32_t>(pos));
}

std::string TextStore::Slice(std::size_t from, std::size_t count) const
{
    from = std::min(from, m_size);
    count = std::min(count, m_size - from);
    std::string out(count, '\0');
    for (std::size_t done = 0; done < count;) {
        const std::size_t pos = from + done;
        const std::size_t n = std::min(kChunkSize - pos % kChunkSize, count - done);
        std::memcpy(out.data() + done, m_chunks[pos / kChunkSize].get() + pos % kChunkSize, n);
        done += n;
    }
    return out;
}

// The index of the run that holds `pos`; there is at least one run.
std::size_t TextStore::RunAt(std::size_t pos) const
{
    return m_runStarts.countUpTo(static_cast<std::uint32_t>(pos)) - 1;
}

std::vector<TextStore::Run> TextStore::RunsIn(std::size_t from, std::size_t to) const
{
    std::vector<Run> runs;
    to = std::min(to, m_size);
    if (from >= to) {
        return runs;
    }
    for (std::size_t i = RunAt(from); i < m_runStarts.size() && m_runStarts[i] < to; ++i) {
        runs.push_back({ std::max<std::size_t>(m_runStarts[i], from), m_colors[m_runColors[i]] });
    }
    return runs;
}

std::size_t TextStore::AllocatedBytes() const
{
    return m_chunks.size() * kChunkSize + m_chunks.capacity() * sizeof(m_chunks[0])
        + m_lineStarts.allocatedBytes() + m_runStarts.allocatedBytes() + m_runColors.size()
        + m_colors.capacity() * sizeof(Rgb);
}
