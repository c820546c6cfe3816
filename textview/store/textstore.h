#pragma once

#include "base/status.h"
#include "document/documentops.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// The index of a run's colour in its store's palette.
using ColorIndexType = std::uint16_t;

// One chunk of a TextStore's text with its lines and colour runs, as offsets into it.
struct TextChunk
{
    std::unique_ptr<char[]> bytes;
    std::uint32_t used = 0;
    // Double-byte characters; in the last chunk only up to the store's counted end.
    mutable std::uint32_t doubles = 0;
    // The longest line between two line breaks of this chunk.
    std::uint32_t longestInside = 0;
    std::vector<std::uint16_t> breaks;
    // The first run starts at 0; neighbours differ in colour.
    std::vector<std::uint16_t> runStarts;
    std::vector<ColorIndexType> runColors;
};

// A document's text held compactly: code page 936 bytes as received (one byte a
// character for receive text), the start of every line, and the colour of every run
// as the position where it starts. The text lives in chunks of at most ChunkSize()
// bytes; each chunk keeps its own line breaks and colour runs as 16-bit offsets and
// counts its double-byte characters, and the store keeps where every chunk starts
// (in bytes, characters and lines). Appending fills the last chunk and never moves
// what is stored, so a document that keeps a whole session costs about its size; a
// line or a colour run costs about two bytes more. An edit anywhere rewrites the
// chunks it touches (splitting or merging them) and the chunk starts behind them:
// it costs about a chunk plus the text it inserts plus the number of chunks.
//
// Positions count bytes from 0; "\n" ends a line and belongs to it. Characters
// follow code page 936: a lead byte 0x81..0xFE takes the next byte with it, every
// other byte is a character of its own; a chunk never ends inside a character.
// The text given to the store must end on a whole character, and edits happen at
// character boundaries (the store refuses anything else), so every character
// converts to one UTF-16 unit and CharsBefore/ByteOfChar translate positions to
// and from the text as shown.
//
// Positions are 32 bits wide: a store holds less than 4 GiB, far above the
// documents' bound. Not thread-safe.
class TextStore
{
public:
    // Bytes of text a chunk holds at most (chunk offsets are 16 bits wide).
    static constexpr std::size_t kChunkSize = std::size_t { 1 } << 16;
    // The smallest chunk size a store accepts (room for a character and a split).
    static constexpr std::size_t kMinChunkSize = 4;
    // Colours a store tells apart; runs keep an index into them.
    static constexpr std::size_t kMaxColors = std::size_t { 1 } << 16;

    struct Run
    {
        std::size_t start = 0;
        Rgb color;
        friend bool operator==(const Run &, const Run &) = default;
    };

    struct FindOptions
    {
        // Otherwise ASCII letters match either case; other characters match exactly.
        bool matchCase = false;
        // A hit has no letter or digit right before or after it on its line.
        bool wholeWord = false;
        // Whether a double-byte character (lead << 8 | trail) is a letter or digit;
        // the caller decodes it. Without one every double-byte character is.
        bool (*isWordChar)(std::uint16_t code) = nullptr;
    };

    // `chunkSize` is clamped to [kMinChunkSize, kChunkSize]; tests use small chunks.
    explicit TextStore(std::size_t chunkSize = kChunkSize);

    // Appends `text` in `color`. On failure nothing is stored: Refused when the
    // store would pass its size limit or `color` would be a colour beyond
    // kMaxColors, Invalid when `text` ends inside a character.
    [[nodiscard]] Status Append(std::string_view text, Rgb color);
    // Replaces the `count` bytes at `from` (clamped to the text) by `text` in
    // `color`. On failure nothing changes: what Append refuses, and Invalid when
    // `from` is past the end or either end of the replaced range is inside a
    // character.
    [[nodiscard]] Status Replace(
        std::size_t from, std::size_t count, std::string_view text, Rgb color);
    [[nodiscard]] Status Insert(std::size_t pos, std::string_view text, Rgb color)
    {
        return Replace(pos, 0, text, color);
    }
    [[nodiscard]] Status Remove(std::size_t from, std::size_t count)
    {
        return Replace(from, count, {}, Rgb {});
    }
    // Replaces the `count` bytes at each of `at` (ascending, not overlapping) by
    // `text` in `color`, in one pass over the chunks they touch; on failure nothing
    // changes, for the reasons Replace gives.
    [[nodiscard]] Status ReplaceEach(
        const std::vector<std::size_t> &at, std::size_t count, std::string_view text, Rgb color);
    // Gives the `count` bytes at `from` (clamped) the colour `color`; Refused (and
    // nothing changed) when `color` would be a colour beyond kMaxColors.
    [[nodiscard]] Status Recolor(std::size_t from, std::size_t count, Rgb color);
    // Removes everything and gives the chunks back.
    void Clear();

    std::size_t Size() const { return m_size; }
    std::size_t ChunkSize() const { return m_chunkSize; }
    // Lines, the last one included even when it is empty (an empty store has one).
    std::size_t Lines() const { return m_breaks + 1; }
    std::size_t LineStart(std::size_t line) const;
    // The length of `line` without its line break.
    std::size_t LineLength(std::size_t line) const;
    // The line that holds position `pos` (a position at the end is in the last line).
    std::size_t LineOf(std::size_t pos) const;
    // The length of the longest line in bytes, without its line break.
    std::size_t LongestLine() const { return m_longest; }

    // Characters in the text (each one UTF-16 unit once decoded).
    std::size_t Chars() const;
    // The characters before byte position `pos` (clamped); `pos` is a boundary.
    std::size_t CharsBefore(std::size_t pos) const;
    // The byte position of character position `chars` (clamped to the end).
    std::size_t ByteOfChar(std::size_t chars) const;
    // Whether `pos` is the start of a character or the end of the text.
    bool IsCharBoundary(std::size_t pos) const;

    // A copy of the text in [from, from + count), clamped to the text.
    std::string Slice(std::size_t from, std::size_t count) const;
    // The runs that cover [from, to): the first starts at `from` (the colour there),
    // each later one where the colour changes. Empty when the range is.
    std::vector<Run> RunsIn(std::size_t from, std::size_t to) const;

    // The first hit of `what` that starts at or after `from`, as the document's own
    // search finds it: hits never span a line break, and after a hit that is not a
    // whole word the search goes on one character behind its end.
    std::optional<std::size_t> Find(
        std::string_view what, std::size_t from, const FindOptions &options) const;
    // The last hit of `what` that starts before `before`.
    std::optional<std::size_t> FindBefore(
        std::string_view what, std::size_t before, const FindOptions &options) const;

    // Bytes the store has allocated for what it holds (text chunks and indexes).
    std::size_t AllocatedBytes() const;

private:
    // What comes before a chunk.
    struct Start
    {
        std::size_t bytes = 0;
        std::size_t doubles = 0;
        std::size_t breaks = 0;
    };
    struct Place
    {
        std::size_t chunk = 0;
        std::size_t offset = 0;
    };
    struct FlatRuns
    {
        std::vector<std::size_t> starts;
        std::vector<ColorIndexType> colors;
    };

    // The index of `color` in m_colors, added when new; -1 when there is no room.
    int ColorIndex(Rgb color);
    // The chunk and offset of `pos`; a position between two chunks is in the later.
    Place PlaceOf(std::size_t pos) const;
    std::size_t EndOf(std::size_t chunk) const
    {
        return m_starts[chunk].bytes + m_chunks[chunk].used;
    }
    void AppendToLast(std::string_view text, ColorIndexType color);
    void StartChunk(ColorIndexType color);
    // Counts the double-byte characters appended to the last chunk since last time.
    void CountAppended() const;
    void CopyOut(std::size_t from, std::size_t count, char *to) const;
    // Adds the runs of [from, to) to `runs`, moved to start at `at`.
    void AddRuns(FlatRuns &runs, std::size_t from, std::size_t to, std::size_t at) const;
    // Puts `flat` (with its runs) in place of chunks [first, last].
    void Relayout(
        std::size_t first, std::size_t last, const std::string &flat, const FlatRuns &runs);
    // Recounts the chunk starts from `chunk` on, the totals and the longest line.
    void RecountFrom(std::size_t chunk);
    std::size_t BreakPosition(std::size_t index) const;
    // The character that ends at or starts at `pos` (one byte or lead << 8 | trail).
    std::uint16_t CharBefore(std::size_t pos) const;
    std::uint16_t CharAt(std::size_t pos) const;
    // Whether a letter or digit stands right before `from` or right at `to`.
    bool IsWordAround(std::size_t from, std::size_t to, const FindOptions &options) const;

    std::size_t m_chunkSize;
    std::vector<TextChunk> m_chunks;
    std::vector<Start> m_starts;
    std::size_t m_size = 0;
    // Appending leaves the double-byte characters of the last chunk to be counted
    // when asked for, in one pass instead of one per item: m_counted is how far.
    mutable std::size_t m_doubles = 0;
    mutable std::size_t m_counted = 0;
    std::size_t m_breaks = 0;
    std::size_t m_longest = 0;
    std::size_t m_lastLineStart = 0;
    std::vector<Rgb> m_colors;
    // Where each colour of m_colors is in it, by its 24-bit value.
    std::unordered_map<std::uint32_t, int> m_colorIndex;
};
