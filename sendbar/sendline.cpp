#include "sendline.h"

#include "text/hexdigits.h"

#include <algorithm>
#include <array>
#include <utility>

namespace {

std::string_view Reason(LineProblem::Kind kind)
{
    using Kind = LineProblem::Kind;
    switch (kind) {
    case Kind::LoneBackslash:
        return "a backslash ends the text";
    case Kind::UnknownEscape:
        return "unknown escape";
    case Kind::ShortHexEscape:
        return "\\x needs two hexadecimal digits";
    case Kind::NotInCodePage:
        return "character outside code page 936";
    case Kind::NotHexDigit:
        return "not a hexadecimal digit";
    case Kind::OddDigits:
        return "odd number of hexadecimal digits";
    case Kind::EmptyGroup:
        return "0x without digits";
    case Kind::None:
        break;
    }
    return "";
}

Status Fail(LineProblem found, LineProblem *problem)
{
    if (problem) {
        *problem = found;
    }
    return { ErrorKind::Invalid,
        std::string(Reason(found.kind)) + " at byte " + std::to_string(found.offset + 1) };
}

// The length of the UTF-8 character that starts with `lead` (1 for a stray byte).
std::size_t Utf8Length(unsigned char lead)
{
    if (lead >= 0xF0) {
        return 4;
    }
    if (lead >= 0xE0) {
        return 3;
    }
    if (lead >= 0xC0) {
        return 2;
    }
    return 1;
}

Result<std::string> ParseText(
    std::string_view text, const CharacterEncoder &encode, LineProblem *problem)
{
    using Kind = LineProblem::Kind;
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80) {
            const std::size_t length = std::min(Utf8Length(c), text.size() - i);
            const std::optional<std::string> bytes
                = encode ? encode(text.substr(i, length)) : std::nullopt;
            if (!bytes) {
                return Fail({ Kind::NotInCodePage, i, length }, problem);
            }
            out += *bytes;
            i += length;
            continue;
        }
        if (c != '\\') {
            out.push_back(static_cast<char>(c));
            ++i;
            continue;
        }
        if (i + 1 == text.size()) {
            return Fail({ Kind::LoneBackslash, i, 1 }, problem);
        }
        switch (text[i + 1]) {
        case 'r':
            out.push_back('\r');
            break;
        case 'n':
            out.push_back('\n');
            break;
        case 't':
            out.push_back('\t');
            break;
        case '\\':
            out.push_back('\\');
            break;
        case 'x': {
            const int high = i + 2 < text.size() ? HexDigitValue(text[i + 2]) : -1;
            const int low = i + 3 < text.size() ? HexDigitValue(text[i + 3]) : -1;
            if (high < 0 || low < 0) {
                // The escape and the two characters after it, whole: a message
                // must never show half of a wide one.
                std::size_t end = i + 2;
                for (int taken = 0; taken < 2 && end < text.size(); ++taken) {
                    end += std::min(
                        Utf8Length(static_cast<unsigned char>(text[end])), text.size() - end);
                }
                return Fail({ Kind::ShortHexEscape, i, end - i }, problem);
            }
            out.push_back(static_cast<char>(high * 16 + low));
            i += 4;
            continue;
        }
        default: {
            const std::size_t length = 1
                + std::min(
                    Utf8Length(static_cast<unsigned char>(text[i + 1])), text.size() - i - 1);
            return Fail({ Kind::UnknownEscape, i, length }, problem);
        }
        }
        i += 2;
    }
    return out;
}

bool IsHexSeparator(char c)
{
    return c == ' ' || c == '\t' || c == ',';
}

Result<std::string> ParseHex(std::string_view text, LineProblem *problem)
{
    using Kind = LineProblem::Kind;
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
        if (IsHexSeparator(text[i])) {
            ++i;
            continue;
        }
        const std::size_t start = i;
        if (text[i] == '0' && i + 1 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
            i += 2;
        }
        const std::size_t digitsStart = i;
        while (i < text.size() && !IsHexSeparator(text[i])) {
            if (HexDigitValue(text[i]) < 0) {
                const std::size_t length
                    = std::min(Utf8Length(static_cast<unsigned char>(text[i])), text.size() - i);
                return Fail({ Kind::NotHexDigit, i, length }, problem);
            }
            ++i;
        }
        const std::size_t digits = i - digitsStart;
        if (digits == 0) {
            return Fail({ Kind::EmptyGroup, start, i - start }, problem);
        }
        if (digits % 2 != 0) {
            return Fail({ Kind::OddDigits, start, i - start }, problem);
        }
        for (std::size_t d = digitsStart; d < i; d += 2) {
            out.push_back(
                static_cast<char>(HexDigitValue(text[d]) * 16 + HexDigitValue(text[d + 1])));
        }
    }
    return out;
}

template <typename T>
struct Named
{
    T value;
    std::string_view key;
};

constexpr std::array<Named<LineMode>, 2> kModes { { { LineMode::Text, "text" },
    { LineMode::Hex, "hex" } } };
constexpr std::array<Named<LineEnding>, 4> kEndings { { { LineEnding::None, "none" },
    { LineEnding::Cr, "cr" }, { LineEnding::Lf, "lf" }, { LineEnding::CrLf, "crlf" } } };

template <typename T, std::size_t N>
std::string_view KeyOf(const std::array<Named<T>, N> &table, T value)
{
    for (const Named<T> &named : table) {
        if (named.value == value) {
            return named.key;
        }
    }
    return table[0].key;
}

template <typename T, std::size_t N>
std::optional<T> ValueOf(const std::array<Named<T>, N> &table, std::string_view key)
{
    for (const Named<T> &named : table) {
        if (named.key == key) {
            return named.value;
        }
    }
    return std::nullopt;
}

} // namespace

Result<std::string> ParseLine(
    std::string_view utf8, LineMode mode, const CharacterEncoder &encode, LineProblem *problem)
{
    if (problem) {
        *problem = {};
    }
    return mode == LineMode::Hex ? ParseHex(utf8, problem) : ParseText(utf8, encode, problem);
}

std::string FrameLine(std::string data, Checksum checksum, LineEnding ending)
{
    // The checksum of nothing is no frame: an empty line carries its ending alone.
    if (!data.empty()) {
        data += ChecksumBytes(checksum, data);
    }
    switch (ending) {
    case LineEnding::None:
        break;
    case LineEnding::Cr:
        data += '\r';
        break;
    case LineEnding::Lf:
        data += '\n';
        break;
    case LineEnding::CrLf:
        data += "\r\n";
        break;
    }
    return data;
}

std::string HexPreview(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size() * 3);
    for (const char c : bytes) {
        if (!out.empty()) {
            out += ' ';
        }
        const auto byte = static_cast<uint8_t>(c);
        out += kHexDigitChars[byte >> 4];
        out += kHexDigitChars[byte & 0x0F];
    }
    return out;
}

std::string_view LineModeKey(LineMode mode)
{
    return KeyOf(kModes, mode);
}

std::optional<LineMode> LineModeFromKey(std::string_view key)
{
    return ValueOf(kModes, key);
}

std::string_view LineEndingKey(LineEnding ending)
{
    return KeyOf(kEndings, ending);
}

std::optional<LineEnding> LineEndingFromKey(std::string_view key)
{
    return ValueOf(kEndings, key);
}
