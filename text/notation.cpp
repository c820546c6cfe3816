#include "notation.h"

#include "hexdigits.h"

Notation NotationFromText(std::string_view comboTextCp936)
{
    if (comboTextCp936 == kDecimalText) {
        return Notation::Decimal;
    }
    if (comboTextCp936 == kCharsText) {
        return Notation::Chars;
    }
    return Notation::Hex;
}

std::string ByteAsCharacter(uint8_t byte)
{
    if (byte >= 0x20 && byte <= 0x7E) {
        return std::string(1, static_cast<char>(byte));
    }
    return { '\\', 'x', kHexDigitChars[byte >> 4], kHexDigitChars[byte & 0x0F] };
}
