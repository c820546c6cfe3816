#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

// Character boundaries in code page 936 text, by the project's one rule: a lead
// byte 0x81..0xFE takes the next byte with it, every other byte stands alone. A
// byte outside 0x81..0xFE always ends a character, which lets the boundaries be
// found backwards from one without going back to the start of the text.
namespace Cp936 {

inline bool IsLead(char c)
{
    const auto b = static_cast<unsigned char>(c);
    return b >= 0x81 && b <= 0xFE;
}

// The double-byte characters in `n` bytes that start on a boundary; `endsInside`
// tells whether the last one needs a byte beyond them. Text without a byte of 0x80
// or more (most received text) is only looked over once, a word at a time.
inline std::size_t CountDoubles(const char *p, std::size_t n, bool &endsInside)
{
    std::uint64_t high = 0;
    std::size_t at = 0;
    for (; at + 8 <= n; at += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, p + at, 8);
        high |= word;
    }
    for (; at < n; ++at) {
        high |= static_cast<unsigned char>(p[at]);
    }
    endsInside = false;
    if ((high & 0x8080808080808080ULL) == 0) {
        return 0;
    }
    std::size_t doubles = 0;
    std::size_t i = 0;
    while (i < n) {
        if (IsLead(p[i])) {
            ++doubles;
            i += 2;
        } else {
            ++i;
        }
    }
    endsInside = i > n;
    return doubles;
}

// The bytes of 0x81..0xFE that end right before `end`, going back no further than
// `begin` (a boundary).
inline std::size_t LeadsBefore(const char *begin, const char *end)
{
    const char *p = end;
    while (p != begin && IsLead(p[-1])) {
        --p;
    }
    return static_cast<std::size_t>(end - p);
}

// Whether `end` (after `begin`, a boundary) is inside a character.
inline bool IsInside(const char *begin, const char *end)
{
    return LeadsBefore(begin, end) % 2 != 0;
}

inline bool EndsInsideChar(std::string_view text)
{
    return IsInside(text.data(), text.data() + text.size());
}

// The size of the character that ends at `end` (a boundary after `begin`).
inline std::size_t WidthBefore(const char *begin, const char *end)
{
    if (LeadsBefore(begin, end) > 0) {
        return 2;
    }
    return end - begin >= 2 && IsInside(begin, end - 1) ? 2 : 1;
}

} // namespace Cp936
