#pragma once

#include "documentops.h"
#include "packedindex.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// A document's text held compactly: code page 936 bytes as received (one byte a
// character for receive text), the start of every line, and the colour of every run
// as the position where it starts. Appending never moves what is stored (the text
// grows by fixed chunks, the indexes by blocks), so a document that keeps a whole
// session costs about its size, with no copy of it while it grows; a line or a
// colour run costs about two bytes more.
//
// Positions count bytes from 0; "\n" ends a line and belongs to it. Positions are
// 32 bits wide: a store holds less than 4 GiB, far above the documents' bound.
// Not thread-safe.
class TextStore
{
public:
    // Bytes of text a chunk holds.
    static constexpr std::size_t kChunkSize = std::size_t { 1 } << 16;
    // Colours a store tells apart; runs keep an index into them.
    static constexpr std::size_t kMaxColors = 256;

    struct Run
    {
        std::size_t start = 0;
        Rgb color;
        friend bool operator==(const Run &, const Run &) = default;
    };

    // Appends `text` in `color`. False (and nothing stored) when the store would
    // pass its size limit or `color` would be a colour beyond kMaxColors.
    [[nodiscard]] bool Append(std::string_view text, Rgb color);
    // Removes everything and gives the chunks back.
    void Clear();

    std::size_t Size() const { return m_size; }
    // Lines, the last one included even when it is empty (an empty store has one).
    std::size_t Lines() const { return m_lineStarts.size() + 1; }
    std::size_t LineStart(std::size_t line) const;
    // The length of `line` without its line break.
    std::size_t LineLength(std::size_t line) const;
    // The line that holds position `pos` (a position at the end is in the last line).
    std::size_t LineOf(std::size_t pos) const;
    // The length of the longest line, without its line break.
    std::size_t LongestLine() const { return m_longest; }

    // A copy of the text in [from, from + count), clamped to the text.
    std::string Slice(std::size_t from, std::size_t count) const;
    // The runs that cover [from, to): the first starts at `from` (the colour there),
    // each later one where the colour changes. Empty when the range is.
    std::vector<Run> RunsIn(std::size_t from, std::size_t to) const;

    // Bytes the store has allocated for what it holds (text chunks and indexes).
    std::size_t AllocatedBytes() const;

private:
    // The index of `color` in m_colors, added when new; -1 when there is no room.
    int ColorIndex(Rgb color);
    std::size_t RunAt(std::size_t pos) const;

    std::vector<std::unique_ptr<char[]>> m_chunks;
    std::size_t m_size = 0;
    // Where each line after the first starts.
    PackedIndex m_lineStarts;
    std::size_t m_longest = 0;
    PackedIndex m_runStarts;
    std::deque<std::uint8_t> m_runColors;
    std::vector<Rgb> m_colors;
};
