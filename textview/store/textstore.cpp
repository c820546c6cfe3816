#include "textstore.h"

#include "cp936chars.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

constexpr std::size_t kMaxBytes = std::numeric_limits<std::uint32_t>::max();

// Adds a run behind runs kept in order, unless it would not change the colour.
template <typename Starts, typename Colors, typename Start>
void AddRun(Starts &starts, Colors &colors, Start start, ColorIndexType color)
{
    if (colors.empty() || colors.back() != color) {
        starts.push_back(start);
        colors.push_back(color);
    }
}

void CountBreaks(TextChunk &chunk, std::size_t from, std::size_t to)
{
    const char *begin = chunk.bytes.get();
    for (const char *p = begin + from; (p = static_cast<const char *>(std::memchr(
                                            p, '\n', static_cast<std::size_t>(begin + to - p))))
         != nullptr;
         ++p) {
        const auto offset = static_cast<std::uint16_t>(p - begin);
        if (!chunk.breaks.empty()) {
            chunk.longestInside
                = std::max<std::uint32_t>(chunk.longestInside, offset - chunk.breaks.back() - 1U);
        }
        chunk.breaks.push_back(offset);
    }
}

// Gives [lo, hi) of `chunk` the colour `color`.
void ColorRange(TextChunk &chunk, std::size_t lo, std::size_t hi, ColorIndexType color)
{
    const auto &starts = chunk.runStarts;
    const std::size_t atHi = static_cast<std::size_t>(
        std::upper_bound(starts.begin(), starts.end(), hi) - starts.begin() - 1);
    std::vector<std::uint16_t> newStarts;
    std::vector<ColorIndexType> newColors;
    for (std::size_t i = 0; i < starts.size() && starts[i] < lo; ++i) {
        AddRun(newStarts, newColors, starts[i], chunk.runColors[i]);
    }
    AddRun(newStarts, newColors, static_cast<std::uint16_t>(lo), color);
    if (hi < chunk.used) {
        AddRun(newStarts, newColors, static_cast<std::uint16_t>(hi), chunk.runColors[atHi]);
    }
    for (std::size_t i = atHi + 1; i < starts.size(); ++i) {
        AddRun(newStarts, newColors, starts[i], chunk.runColors[i]);
    }
    chunk.runStarts = std::move(newStarts);
    chunk.runColors = std::move(newColors);
}

Status Full()
{
    return Status(ErrorKind::Refused, "the document has no room for the text");
}

Status NoColorLeft()
{
    return Status(ErrorKind::Refused, "the document has no room for another colour");
}

Status InsideCharacter()
{
    return Status(ErrorKind::Invalid, "the edit would cut a character in two");
}

} // namespace

TextStore::TextStore(std::size_t chunkSize)
    : m_chunkSize(std::clamp(chunkSize, kMinChunkSize, kChunkSize))
{ }

Status TextStore::Append(std::string_view text, Rgb color)
{
    if (text.empty()) {
        return {};
    }
    if (text.size() > kMaxBytes - m_size) {
        return Full();
    }
    if (Cp936::EndsInsideChar(text)) {
        return InsideCharacter();
    }
    // Receiving appends run after run in the colour of the end: no palette look-up.
    int index = -1;
    if (!m_chunks.empty() && m_colors[m_chunks.back().runColors.back()] == color) {
        index = m_chunks.back().runColors.back();
    } else {
        index = ColorIndex(color);
    }
    if (index < 0) {
        return NoColorLeft();
    }
    AppendToLast(text, static_cast<ColorIndexType>(index));
    return {};
}

void TextStore::StartChunk(ColorIndexType color)
{
    Start start;
    if (!m_chunks.empty()) {
        CountAppended();
        TextChunk &last = m_chunks.back();
        // A chunk is appended to only while it is the last one.
        last.breaks.shrink_to_fit();
        last.runStarts.shrink_to_fit();
        last.runColors.shrink_to_fit();
        const Start &before = m_starts.back();
        start = { before.bytes + last.used, before.doubles + last.doubles,
            before.breaks + last.breaks.size() };
    }
    TextChunk chunk;
    chunk.bytes = std::make_unique_for_overwrite<char[]>(m_chunkSize);
    chunk.runStarts.push_back(0);
    chunk.runColors.push_back(color);
    m_chunks.push_back(std::move(chunk));
    m_starts.push_back(start);
    m_counted = 0;
}

void TextStore::CountAppended() const
{
    if (m_chunks.empty() || m_counted == m_chunks.back().used) {
        return;
    }
    const TextChunk &last = m_chunks.back();
    bool inside = false;
    const std::size_t doubles
        = Cp936::CountDoubles(last.bytes.get() + m_counted, last.used - m_counted, inside);
    last.doubles += static_cast<std::uint32_t>(doubles);
    m_doubles += doubles;
    m_counted = last.used;
}

std::size_t TextStore::Chars() const
{
    CountAppended();
    return m_size - m_doubles;
}

void TextStore::AppendToLast(std::string_view text, ColorIndexType color)
{
    std::size_t lineStart = m_lastLineStart;
    bool closed = m_chunks.empty();
    for (std::size_t done = 0; done < text.size();) {
        if (closed || m_chunks.back().used == m_chunkSize) {
            StartChunk(color);
        }
        TextChunk &chunk = m_chunks.back();
        const std::size_t used = chunk.used;
        std::size_t n = std::min(m_chunkSize - used, text.size() - done);
        char *to = chunk.bytes.get() + used;
        std::memcpy(to, text.data() + done, n);
        // A character never straddles two chunks: its lead byte goes to the next.
        closed = used + n == m_chunkSize && done + n < text.size()
            && Cp936::IsInside(chunk.bytes.get(), to + n);
        if (closed) {
            --n;
        }
        if (n > 0 && chunk.runColors.back() != color) {
            AddRun(chunk.runStarts, chunk.runColors, static_cast<std::uint16_t>(used), color);
        }
        const std::size_t breaksBefore = chunk.breaks.size();
        CountBreaks(chunk, used, used + n);
        const std::size_t chunkStart = m_starts.back().bytes;
        for (std::size_t i = breaksBefore; i < chunk.breaks.size(); ++i) {
            const std::size_t pos = chunkStart + chunk.breaks[i];
            m_longest = std::max(m_longest, pos - lineStart);
            lineStart = pos + 1;
        }
        m_breaks += chunk.breaks.size() - breaksBefore;
        chunk.used += static_cast<std::uint32_t>(n);
        m_size += n;
        done += n;
    }
    m_longest = std::max(m_longest, m_size - lineStart);
    m_lastLineStart = lineStart;
}

Status TextStore::Replace(std::size_t from, std::size_t count, std::string_view text, Rgb color)
{
    if (from > m_size) {
        return Status(ErrorKind::Invalid, "the edit starts past the end of the document");
    }
    count = std::min(count, m_size - from);
    if (count == 0 && text.empty()) {
        return {};
    }
    if (text.size() > kMaxBytes - (m_size - count)) {
        return Full();
    }
    if (Cp936::EndsInsideChar(text) || !IsCharBoundary(from) || !IsCharBoundary(from + count)) {
        return InsideCharacter();
    }
    int index = 0;
    if (!text.empty() && (index = ColorIndex(color)) < 0) {
        return NoColorLeft();
    }
    const auto color8 = static_cast<ColorIndexType>(index);
    if (from == m_size) {
        AppendToLast(text, color8);
        return {};
    }
    // The chunks that hold the replaced range (an insertion between two chunks goes
    // into the earlier), and a neighbour that the result leaves room for: edits that
    // shrink chunks merge them again, so chunks stay reasonably full.
    std::size_t first = from == 0 ? 0 : PlaceOf(from - 1).chunk;
    std::size_t last = count == 0 ? first : PlaceOf(from + count - 1).chunk;
    std::size_t total
        = m_size - count + text.size() - m_starts[first].bytes - (m_size - EndOf(last));
    const std::size_t mergeUpTo = m_chunkSize / 4 * 3;
    if (first > 0 && total + m_chunks[first - 1].used <= mergeUpTo) {
        --first;
        total += m_chunks[first].used;
    }
    if (last + 1 < m_chunks.size() && total + m_chunks[last + 1].used <= mergeUpTo) {
        ++last;
        total += m_chunks[last].used;
    }
    const std::size_t begin = m_starts[first].bytes;
    const std::size_t end = EndOf(last);
    std::string flat(total, '\0');
    CopyOut(begin, from - begin, flat.data());
    std::memcpy(flat.data() + (from - begin), text.data(), text.size());
    CopyOut(from + count, end - from - count, flat.data() + (from - begin) + text.size());
    FlatRuns runs;
    AddRuns(runs, begin, from, 0);
    if (!text.empty()) {
        AddRun(runs.starts, runs.colors, from - begin, color8);
    }
    AddRuns(runs, from + count, end, from - begin + text.size());
    Relayout(first, last, flat, runs);
    return {};
}

Status TextStore::ReplaceEach(
    const std::vector<std::size_t> &at, std::size_t count, std::string_view text, Rgb color)
{
    if (at.empty()) {
        return {};
    }
    if (at.size() == 1) {
        return Replace(at.front(), count, text, color);
    }
    for (std::size_t i = 0; i < at.size(); ++i) {
        if (at[i] + count > m_size || (i > 0 && at[i] < at[i - 1] + count)) {
            return Status(ErrorKind::Invalid, "the replaced ranges overlap or pass the end");
        }
        if (!IsCharBoundary(at[i]) || !IsCharBoundary(at[i] + count)) {
            return InsideCharacter();
        }
    }
    if (Cp936::EndsInsideChar(text)) {
        return InsideCharacter();
    }
    const std::size_t removed = count * at.size();
    if (text.size() != 0 && text.size() * at.size() > kMaxBytes - (m_size - removed)) {
        return Full();
    }
    int index = 0;
    if (!text.empty() && (index = ColorIndex(color)) < 0) {
        return NoColorLeft();
    }
    const auto colorIndex = static_cast<ColorIndexType>(index);
    const std::size_t from = at.front();
    const std::size_t to = at.back() + count;
    const std::size_t first = from == 0 ? 0 : PlaceOf(from - 1).chunk;
    const std::size_t last = to == m_size ? m_chunks.size() - 1 : PlaceOf(to).chunk;
    const std::size_t begin = m_starts[first].bytes;
    const std::size_t end = EndOf(last);
    std::string flat;
    flat.reserve(end - begin - removed + text.size() * at.size());
    FlatRuns runs;
    std::size_t kept = begin;
    for (const std::size_t hit : at) {
        AddRuns(runs, kept, hit, flat.size());
        flat.resize(flat.size() + (hit - kept));
        CopyOut(kept, hit - kept, flat.data() + flat.size() - (hit - kept));
        if (!text.empty()) {
            AddRun(runs.starts, runs.colors, flat.size(), colorIndex);
            flat.append(text);
        }
        kept = hit + count;
    }
    AddRuns(runs, kept, end, flat.size());
    flat.resize(flat.size() + (end - kept));
    CopyOut(kept, end - kept, flat.data() + flat.size() - (end - kept));
    Relayout(first, last, flat, runs);
    return {};
}

void TextStore::CopyOut(std::size_t from, std::size_t count, char *to) const
{
    for (std::size_t done = 0; done < count;) {
        const Place place = PlaceOf(from + done);
        const TextChunk &chunk = m_chunks[place.chunk];
        const std::size_t n = std::min<std::size_t>(chunk.used - place.offset, count - done);
        std::memcpy(to + done, chunk.bytes.get() + place.offset, n);
        done += n;
    }
}

void TextStore::AddRuns(FlatRuns &runs, std::size_t from, std::size_t to, std::size_t at) const
{
    for (std::size_t pos = from; pos < to;) {
        const Place place = PlaceOf(pos);
        const TextChunk &chunk = m_chunks[place.chunk];
        const std::size_t offset = place.offset;
        const std::size_t chunkEnd = std::min<std::size_t>(chunk.used, offset + (to - pos));
        const auto &starts = chunk.runStarts;
        auto i = static_cast<std::size_t>(
            std::upper_bound(starts.begin(), starts.end(), offset) - starts.begin() - 1);
        for (; i < starts.size() && starts[i] < chunkEnd; ++i) {
            const std::size_t start = std::max<std::size_t>(starts[i], offset);
            AddRun(
                runs.starts, runs.colors, at + (pos - from) + (start - offset), chunk.runColors[i]);
        }
        pos += chunkEnd - offset;
    }
}

void TextStore::Relayout(
    std::size_t first, std::size_t last, const std::string &flat, const FlatRuns &runs)
{
    std::vector<TextChunk> made;
    const std::size_t size = flat.size();
    // Even pieces, each ending on the first character boundary at or behind its
    // share: a piece then holds at most a chunk, and a split leaves room in both.
    const std::size_t pieces
        = size <= m_chunkSize ? 1 : (size + m_chunkSize - 2) / (m_chunkSize - 1);
    std::size_t begin = 0;
    std::size_t at = 0;
    std::size_t run = 0;
    for (std::size_t k = 0; k < pieces && size > 0; ++k) {
        const std::size_t target = size * (k + 1) / pieces;
        while (at < target) {
            at += Cp936::IsLead(flat[at]) ? 2 : 1;
        }
        if (at == begin) {
            continue;
        }
        TextChunk chunk;
        chunk.bytes = std::make_unique_for_overwrite<char[]>(m_chunkSize);
        chunk.used = static_cast<std::uint32_t>(at - begin);
        std::memcpy(chunk.bytes.get(), flat.data() + begin, chunk.used);
        bool inside = false;
        chunk.doubles = static_cast<std::uint32_t>(
            Cp936::CountDoubles(chunk.bytes.get(), chunk.used, inside));
        CountBreaks(chunk, 0, chunk.used);
        while (run + 1 < runs.starts.size() && runs.starts[run + 1] <= begin) {
            ++run;
        }
        for (std::size_t i = run; i < runs.starts.size() && runs.starts[i] < at; ++i) {
            chunk.runStarts.push_back(
                static_cast<std::uint16_t>(std::max(runs.starts[i], begin) - begin));
            chunk.runColors.push_back(runs.colors[i]);
        }
        made.push_back(std::move(chunk));
        begin = at;
    }
    const auto firstAt = m_chunks.begin() + static_cast<std::ptrdiff_t>(first);
    m_chunks.erase(firstAt, m_chunks.begin() + static_cast<std::ptrdiff_t>(last + 1));
    m_chunks.insert(m_chunks.begin() + static_cast<std::ptrdiff_t>(first),
        std::make_move_iterator(made.begin()), std::make_move_iterator(made.end()));
    m_starts.resize(m_chunks.size());
    RecountFrom(first);
}

void TextStore::RecountFrom(std::size_t chunk)
{
    if (!m_chunks.empty()) {
        m_starts[0] = {};
    }
    for (std::size_t i = std::max<std::size_t>(chunk, 1); i < m_chunks.size(); ++i) {
        const TextChunk &before = m_chunks[i - 1];
        const Start &start = m_starts[i - 1];
        m_starts[i] = { start.bytes + before.used, start.doubles + before.doubles,
            start.breaks + before.breaks.size() };
    }
    m_size = m_chunks.empty() ? 0 : EndOf(m_chunks.size() - 1);
    m_doubles = m_chunks.empty() ? 0 : m_starts.back().doubles + m_chunks.back().doubles;
    m_counted = m_chunks.empty() ? 0 : m_chunks.back().used;
    m_breaks = m_chunks.empty() ? 0 : m_starts.back().breaks + m_chunks.back().breaks.size();
    // The longest line: inside a chunk, or from the last break of one chunk to the
    // first break of a later one.
    std::size_t longest = 0;
    std::size_t current = 0;
    for (const TextChunk &each : m_chunks) {
        if (each.breaks.empty()) {
            current += each.used;
            continue;
        }
        longest = std::max({ longest, current + each.breaks.front(),
            static_cast<std::size_t>(each.longestInside) });
        current = each.used - each.breaks.back() - 1U;
    }
    m_longest = std::max(longest, current);
    m_lastLineStart = m_breaks == 0 ? 0 : BreakPosition(m_breaks - 1) + 1;
}

Status TextStore::Recolor(std::size_t from, std::size_t count, Rgb color)
{
    from = std::min(from, m_size);
    count = std::min(count, m_size - from);
    if (count == 0) {
        return {};
    }
    const int index = ColorIndex(color);
    if (index < 0) {
        return NoColorLeft();
    }
    for (std::size_t c = PlaceOf(from).chunk;
         c < m_chunks.size() && m_starts[c].bytes < from + count; ++c) {
        const std::size_t start = m_starts[c].bytes;
        ColorRange(m_chunks[c], std::max(from, start) - start,
            std::min(from + count, EndOf(c)) - start, static_cast<ColorIndexType>(index));
    }
    return {};
}

void TextStore::Clear()
{
    std::vector<TextChunk>().swap(m_chunks);
    std::vector<Start>().swap(m_starts);
    m_size = 0;
    m_doubles = 0;
    m_counted = 0;
    m_breaks = 0;
    m_longest = 0;
    m_lastLineStart = 0;
    m_colors.clear();
    m_colorIndex.clear();
}

int TextStore::ColorIndex(Rgb color)
{
    const std::uint32_t key = std::uint32_t { color.r } << 16 | std::uint32_t { color.g } << 8
        | std::uint32_t { color.b };
    const auto known = m_colorIndex.find(key);
    if (known != m_colorIndex.end()) {
        return known->second;
    }
    if (m_colors.size() == kMaxColors) {
        return -1;
    }
    m_colors.push_back(color);
    const auto index = static_cast<int>(m_colors.size() - 1);
    m_colorIndex.emplace(key, index);
    return index;
}

TextStore::Place TextStore::PlaceOf(std::size_t pos) const
{
    const auto after = std::partition_point(
        m_starts.begin(), m_starts.end(), [pos](const Start &start) { return start.bytes <= pos; });
    const auto chunk = static_cast<std::size_t>(after - m_starts.begin()) - 1;
    return { chunk, pos - m_starts[chunk].bytes };
}
