// Search in a TextStore by the rules of the document's own search.
#include "cp936chars.h"
#include "textstore.h"

#include <cstring>

namespace {

char Fold(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Compares the text at a character boundary with the search text. Without
// matchCase ASCII letters are folded to lower case, trail bytes never (they are in
// the range of letters too).
class Matcher
{
public:
    Matcher(std::string_view what, bool matchCase)
        : m_what(what)
        , m_matchCase(matchCase)
    {
        for (std::size_t i = 0; i < m_what.size(); ++i) {
            if (Cp936::IsLead(m_what[i])) {
                ++i;
            } else if (!matchCase) {
                m_what[i] = Fold(m_what[i]);
            }
        }
    }

    // The first offset in [from, to) of text without double-byte characters where
    // a hit may start, or `to`.
    std::size_t SkipInAscii(const char *data, std::size_t from, std::size_t to) const
    {
        const char first = m_what.front();
        if (from >= to) {
            return from;
        }
        if (m_matchCase || first < 'a' || first > 'z') {
            const void *hit = std::memchr(data + from, first, to - from);
            return hit ? static_cast<std::size_t>(static_cast<const char *>(hit) - data) : to;
        }
        // Eight bytes a step: a byte that is `first` once folded is a zero byte of x.
        constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
        const std::uint64_t wanted = kOnes * static_cast<unsigned char>(first);
        for (; from + 8 <= to; from += 8) {
            std::uint64_t word = 0;
            std::memcpy(&word, data + from, 8);
            const std::uint64_t x = (word | kOnes * 0x20) ^ wanted;
            if (((x - kOnes) & ~x & kOnes * 0x80) != 0) {
                break;
            }
        }
        while (from < to && (data[from] | 0x20) != first) {
            ++from;
        }
        return from;
    }

    bool FirstMatches(char c) const { return (m_matchCase ? c : Fold(c)) == m_what.front(); }

    bool At(const std::vector<TextChunk> &chunks, std::size_t chunk, std::size_t offset) const
    {
        bool trail = false;
        for (const char wanted : m_what) {
            while (offset >= chunks[chunk].used) {
                if (++chunk == chunks.size()) {
                    return false;
                }
                offset = 0;
            }
            const char c = chunks[chunk].bytes[offset++];
            const bool exact = trail || m_matchCase || Cp936::IsLead(c);
            if ((exact ? c : Fold(c)) != wanted) {
                return false;
            }
            trail = !trail && Cp936::IsLead(c);
        }
        return true;
    }

    std::size_t size() const { return m_what.size(); }

private:
    std::string m_what;
    bool m_matchCase;
};

bool IsSearchable(std::string_view what)
{
    return !what.empty() && what.find('\n') == std::string_view::npos;
}

} // namespace

std::uint16_t TextStore::CharAt(std::size_t pos) const
{
    const Place place = PlaceOf(pos);
    const char *at = m_chunks[place.chunk].bytes.get() + place.offset;
    const auto lead = static_cast<unsigned char>(at[0]);
    return Cp936::IsLead(at[0])
        ? static_cast<std::uint16_t>(lead << 8 | static_cast<unsigned char>(at[1]))
        : lead;
}

std::uint16_t TextStore::CharBefore(std::size_t pos) const
{
    Place place = PlaceOf(pos);
    if (place.offset == 0) {
        --place.chunk;
        place.offset = m_chunks[place.chunk].used;
    }
    const char *begin = m_chunks[place.chunk].bytes.get();
    const char *end = begin + place.offset;
    if (Cp936::WidthBefore(begin, end) == 1) {
        return static_cast<unsigned char>(end[-1]);
    }
    return static_cast<std::uint16_t>(
        static_cast<unsigned char>(end[-2]) << 8 | static_cast<unsigned char>(end[-1]));
}

bool TextStore::IsWordAround(std::size_t from, std::size_t to, const FindOptions &options) const
{
    const auto isWordChar = [&options](std::uint16_t code) {
        if (code > 0xFF) {
            return options.isWordChar == nullptr || options.isWordChar(code);
        }
        return (code >= '0' && code <= '9') || (code >= 'A' && code <= 'Z')
            || (code >= 'a' && code <= 'z');
    };
    return (from > 0 && isWordChar(CharBefore(from))) || (to < m_size && isWordChar(CharAt(to)));
}

std::optional<std::size_t> TextStore::Find(
    std::string_view what, std::size_t from, const FindOptions &options) const
{
    CountAppended();
    if (!IsSearchable(what) || from >= m_size) {
        return std::nullopt;
    }
    const Matcher matcher(what, options.matchCase);
    Place place = PlaceOf(IsCharBoundary(from) ? from : from + 1);
    while (place.chunk < m_chunks.size()) {
        const TextChunk &chunk = m_chunks[place.chunk];
        if (chunk.doubles == 0) {
            place.offset = matcher.SkipInAscii(chunk.bytes.get(), place.offset, chunk.used);
        }
        if (place.offset >= chunk.used) {
            place = { place.chunk + 1, 0 };
            continue;
        }
        const char c = chunk.bytes[place.offset];
        if (matcher.FirstMatches(c) && matcher.At(m_chunks, place.chunk, place.offset)) {
            const std::size_t at = m_starts[place.chunk].bytes + place.offset;
            const std::size_t after = at + matcher.size();
            if (!options.wholeWord || !IsWordAround(at, after, options)) {
                return at;
            }
            // The document's search goes on one character behind a hit that is not a
            // whole word, so a hit that starts inside that one is never found.
            if (after >= m_size) {
                return std::nullopt;
            }
            place = PlaceOf(after + (CharAt(after) > 0xFF ? 2 : 1));
            continue;
        }
        place.offset += Cp936::IsLead(c) ? 2 : 1;
    }
    return std::nullopt;
}

std::optional<std::size_t> TextStore::FindBefore(
    std::string_view what, std::size_t before, const FindOptions &options) const
{
    CountAppended();
    if (!IsSearchable(what) || before == 0 || m_chunks.empty()) {
        return std::nullopt;
    }
    before = std::min(before, m_size);
    const Matcher matcher(what, options.matchCase);
    // Boundaries are known going forwards from a chunk's start: each chunk is
    // searched forwards for its last hit, the chunks from the end.
    for (std::size_t c = PlaceOf(before - 1).chunk + 1; c-- > 0;) {
        const TextChunk &chunk = m_chunks[c];
        const std::size_t limit = std::min<std::size_t>(chunk.used, before - m_starts[c].bytes);
        std::optional<std::size_t> last;
        for (std::size_t offset = 0; offset < limit;) {
            if (chunk.doubles == 0) {
                offset = matcher.SkipInAscii(chunk.bytes.get(), offset, limit);
                if (offset >= limit) {
                    break;
                }
            }
            const char byte = chunk.bytes[offset];
            if (matcher.FirstMatches(byte) && matcher.At(m_chunks, c, offset)) {
                const std::size_t at = m_starts[c].bytes + offset;
                if (!options.wholeWord || !IsWordAround(at, at + matcher.size(), options)) {
                    last = at;
                }
            }
            offset += Cp936::IsLead(byte) ? 2 : 1;
        }
        if (last) {
            return last;
        }
    }
    return std::nullopt;
}
