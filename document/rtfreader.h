#pragma once

#include "base/status.h"
#include "documentops.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A run of text read from an RTF file: the characters between two changes of
// colour or of encoding. Line breaks are "\n", tabs "\t"; no other control
// character is ever produced.
struct RtfRun
{
    enum class Encoding {
        Cp936, // plain text and \'hh bytes: code page 936 bytes
        Utf8, // \uN characters and symbols: UTF-8
    };
    Encoding encoding = Encoding::Cp936;
    std::string text;
    // No colour: the document's own text colour (\cf0 of an automatic entry, or no \cf).
    std::optional<Rgb> color;

    friend bool operator==(const RtfRun &, const RtfRun &) = default;
};

struct RtfDocument
{
    std::vector<RtfRun> runs;
    // Invalid when the data is not well-formed RTF; `runs` then hold what was read
    // before the fault and the reason says what it was and at which byte.
    Status status;
};

// Groups may nest this deep; deeper data is refused.
inline constexpr int kRtfMaxDepth = 512;

// True when `data` starts with the RTF signature "{\rtf".
[[nodiscard]] bool LooksLikeRtf(std::string_view data);

// Reads the text and text colours of an RTF document: \colortbl and \cf, \par,
// \line, \tab and a few symbols, \'hh bytes (taken as code page 936), \uN with its
// \ucN fallback skipped, hidden text (\v) left out. Unknown control words are
// ignored; ignorable destinations ({\* ...}), font, style and colour tables,
// document information, pictures, headers, footers, fields' instructions and
// other non-text destinations are skipped. Text after the outermost group is
// ignored.
//
// Time and memory are linear in the size of `data` (the text is never longer than
// the data); nesting is limited to kRtfMaxDepth. No recursion. Any thread.
[[nodiscard]] RtfDocument ReadRtf(std::string_view data);
