#include "sendconvert.h"

#include "text/hexdigits.h"
#include "text/texttoint.h"

#include <algorithm>

namespace {

// "0x", the upper-case digits of `value` (at least `minDigits`, up to 8), a space.
// Formatted by hand: a range send formats one echo per byte sent.
std::string HexEcho(uint32_t value, int minDigits)
{
    int digits = 1;
    while (digits < 8 && (value >> (4 * digits)) != 0) {
        ++digits;
    }
    digits = std::max(digits, minDigits);
    std::string echo(static_cast<std::size_t>(digits) + 3, ' ');
    echo[0] = '0';
    echo[1] = 'x';
    for (int i = 0; i < digits; ++i) {
        echo[2 + static_cast<std::size_t>(i)]
            = kHexDigitChars[(value >> (4 * (digits - 1 - i))) & 0x0F];
    }
    return echo;
}

std::string DecimalEcho(int32_t value)
{
    return std::to_string(value) + ' ';
}

} // namespace

std::vector<std::string> SplitSendText(std::string_view text)
{
    std::vector<std::string> tokens;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || IsSendSeparator(text[i])) {
            if (i > start) {
                tokens.emplace_back(text.substr(start, i - start));
            }
            start = i + 1;
        }
    }
    return tokens;
}

uint8_t HexToByte(std::string_view token)
{
    int result = 0;
    for (std::size_t pos = 0; pos < token.size(); ++pos) {
        const int digit = HexDigitValue(token[pos]);
        if (digit < 0) {
            continue;
        }
        if (pos >= 2) {
            break;
        }
        if (pos == 0 && token.size() >= 2) {
            result = digit * 16;
        } else {
            result += digit;
        }
    }
    return static_cast<uint8_t>(result);
}

SendUnit ConvertToken(std::string_view token, Notation notation)
{
    switch (notation) {
    case Notation::Decimal: {
        const int32_t value = TextToInt(token).value_or(0);
        return { { static_cast<uint8_t>(value & 0xFF), DecimalEcho(value) } };
    }
    case Notation::Chars: {
        SendUnit unit;
        unit.reserve(token.size());
        for (const char c : token) {
            const auto byte = static_cast<uint8_t>(c);
            unit.push_back({ byte, '\'' + ByteAsCharacter(byte) + "' " });
        }
        return unit;
    }
    case Notation::Hex:
        break;
    }
    const uint8_t byte = HexToByte(token);
    return { { byte, HexEcho(byte, 2) } };
}

SendPiece ConvertRangeValue(int32_t value, Notation notation)
{
    const auto byte = static_cast<uint8_t>(value & 0xFF);
    switch (notation) {
    case Notation::Decimal:
        return { byte, DecimalEcho(value) };
    case Notation::Chars:
        return { byte, ByteAsCharacter(byte) + ' ' };
    case Notation::Hex:
        break;
    }
    // A negative value shows its 32-bit two's complement, which always has 8 digits.
    return { byte, HexEcho(static_cast<uint32_t>(value), 2) };
}

SendPiece ConvertByte(uint8_t byte, Notation notation)
{
    switch (notation) {
    case Notation::Decimal:
        return { byte, DecimalEcho(byte) };
    case Notation::Chars:
        return { byte, '\'' + ByteAsCharacter(byte) + "' " };
    case Notation::Hex:
        break;
    }
    return { byte, HexEcho(byte, 2) };
}
