#include "notation.h"

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
    static constexpr char kDigits[] = "0123456789ABCDEF";
    return { '\\', 'x', kDigits[byte >> 4], kDigits[byte & 0x0F] };
}
