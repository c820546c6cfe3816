#pragma once

#include "base/status.h"
#include "checksum.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// A line of the send bar turned into the bytes that go out. Pure functions; any
// thread.
//
// Text mode: the characters as typed, spaces included, in code page 936, with the
// escapes \r \n \t \\ and \xHH (exactly two hexadecimal digits). Hex mode: pairs of
// hexadecimal digits, grouped by any number of spaces, tabs or commas; a group may
// start with 0x. The bytes are followed by the checksum over them, then the ending.

enum class LineMode { Text, Hex };
enum class LineEnding { None, Cr, Lf, CrLf };

// Why a line cannot be sent, and where: `offset` and `length` count bytes of the
// UTF-8 text handed in.
struct LineProblem
{
    enum class Kind {
        None,
        LoneBackslash, // a backslash ends the text
        UnknownEscape, // a backslash before a character that starts no escape
        ShortHexEscape, // \x not followed by two hexadecimal digits
        NotInCodePage, // a character code page 936 cannot hold
        NotHexDigit, // hex mode: a character that is no digit, separator or 0x
        OddDigits, // hex mode: a group with an odd number of digits
        EmptyGroup, // hex mode: 0x with no digits after it
    };
    Kind kind = Kind::None;
    std::size_t offset = 0;
    std::size_t length = 0;
    friend bool operator==(const LineProblem &, const LineProblem &) = default;
};

// The code page 936 bytes of one UTF-8 character other than ASCII, nullopt when the
// code page cannot hold it. ASCII never reaches it: it is the same in both.
using CharacterEncoder = std::function<std::optional<std::string>(std::string_view utf8)>;

// The bytes of `utf8` in `mode`, without ending or checksum. On failure the Status
// (kind Invalid) says why in English, and `problem`, when given, says what and where.
[[nodiscard]] Result<std::string> ParseLine(std::string_view utf8, LineMode mode,
    const CharacterEncoder &encode, LineProblem *problem = nullptr);

// `data`, then its checksum, then the ending. Empty data has no checksum, so an
// empty line without an ending frames to nothing.
[[nodiscard]] std::string FrameLine(std::string data, Checksum checksum, LineEnding ending);

// The bytes as "01 03 0A", upper case, one space between.
[[nodiscard]] std::string HexPreview(std::string_view bytes);

// Names in files and byteway.conf: "text", "hex"; "none", "cr", "lf", "crlf".
[[nodiscard]] std::string_view LineModeKey(LineMode mode);
[[nodiscard]] std::optional<LineMode> LineModeFromKey(std::string_view key);
[[nodiscard]] std::string_view LineEndingKey(LineEnding ending);
[[nodiscard]] std::optional<LineEnding> LineEndingFromKey(std::string_view key);
