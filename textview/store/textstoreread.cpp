// What a TextStore tells of its text: lines, characters, slices and colour runs.
#include "cp936chars.h"
#include "textstore.h"

#include <algorithm>
#include <cstring>

std::size_t TextStore::BreakPosition(std::size_t index) const
{
    // Views mostly ask for the lines at the end, in the last chunk.
    if (index >= m_starts.back().breaks) {
        return m_starts.back().bytes + m_chunks.back().breaks[index - m_starts.back().breaks];
    }
    const auto after = std::partition_point(m_starts.begin(), m_starts.end(),
        [index](const Start &start) { return start.breaks <= index; });
    const auto chunk = static_cast<std::size_t>(after - m_starts.begin()) - 1;
    return m_starts[chunk].bytes + m_chunks[chunk].breaks[index - m_starts[chunk].breaks];
}

std::size_t TextStore::LineStart(std::size_t line) const
{
    if (line >= m_breaks) {
        return m_lastLineStart;
    }
    return line == 0 ? 0 : BreakPosition(line - 1) + 1;
}

std::size_t TextStore::LineLength(std::size_t line) const
{
    const std::size_t end = line < m_breaks ? BreakPosition(line) : m_size;
    return end - LineStart(line);
}

std::size_t TextStore::LineOf(std::size_t pos) const
{
    if (m_chunks.empty()) {
        return 0;
    }
    const Place place = PlaceOf(std::min(pos, m_size));
    const auto &breaks = m_chunks[place.chunk].breaks;
    return m_starts[place.chunk].breaks
        + static_cast<std::size_t>(
            std::lower_bound(breaks.begin(), breaks.end(), place.offset) - breaks.begin());
}

std::size_t TextStore::CharsBefore(std::size_t pos) const
{
    CountAppended();
    if (m_chunks.empty()) {
        return 0;
    }
    const Place place = PlaceOf(std::min(pos, m_size));
    const TextChunk &chunk = m_chunks[place.chunk];
    bool inside = false;
    const std::size_t doubles
        = chunk.doubles == 0 ? 0 : Cp936::CountDoubles(chunk.bytes.get(), place.offset, inside);
    return m_starts[place.chunk].bytes + place.offset - m_starts[place.chunk].doubles - doubles;
}

std::size_t TextStore::ByteOfChar(std::size_t chars) const
{
    if (chars >= Chars()) {
        return m_size;
    }
    const auto after = std::partition_point(m_starts.begin(), m_starts.end(),
        [chars](const Start &start) { return start.bytes - start.doubles <= chars; });
    const auto c = static_cast<std::size_t>(after - m_starts.begin()) - 1;
    const TextChunk &chunk = m_chunks[c];
    std::size_t left = chars - (m_starts[c].bytes - m_starts[c].doubles);
    if (chunk.doubles == 0) {
        return m_starts[c].bytes + left;
    }
    std::size_t offset = 0;
    for (; left > 0; --left) {
        offset += Cp936::IsLead(chunk.bytes[offset]) ? 2 : 1;
    }
    return m_starts[c].bytes + offset;
}

bool TextStore::IsCharBoundary(std::size_t pos) const
{
    CountAppended();
    if (pos >= m_size) {
        return pos == m_size;
    }
    const Place place = PlaceOf(pos);
    const TextChunk &chunk = m_chunks[place.chunk];
    return chunk.doubles == 0
        || !Cp936::IsInside(chunk.bytes.get(), chunk.bytes.get() + place.offset);
}

std::string TextStore::Slice(std::size_t from, std::size_t count) const
{
    from = std::min(from, m_size);
    count = std::min(count, m_size - from);
    std::string out(count, '\0');
    CopyOut(from, count, out.data());
    return out;
}

std::vector<TextStore::Run> TextStore::RunsIn(std::size_t from, std::size_t to) const
{
    to = std::min(to, m_size);
    if (from >= to) {
        return {};
    }
    FlatRuns flat;
    AddRuns(flat, from, to, from);
    std::vector<Run> runs;
    runs.reserve(flat.starts.size());
    for (std::size_t i = 0; i < flat.starts.size(); ++i) {
        runs.push_back({ flat.starts[i], m_colors[flat.colors[i]] });
    }
    return runs;
}

std::size_t TextStore::AllocatedBytes() const
{
    std::size_t bytes = m_chunks.capacity() * sizeof(TextChunk)
        + m_starts.capacity() * sizeof(Start) + m_colors.capacity() * sizeof(Rgb);
    for (const TextChunk &chunk : m_chunks) {
        bytes += m_chunkSize + chunk.breaks.capacity() * sizeof(std::uint16_t)
            + chunk.runStarts.capacity() * sizeof(std::uint16_t) + chunk.runColors.capacity();
    }
    return bytes;
}
