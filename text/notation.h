#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// How bytes are entered and shown, chosen by the main window's data-format combo.
enum class Notation { Hex, Decimal, Chars };

// The combo's item texts, in code page 936.
inline constexpr std::string_view kHexText = "16\xBD\xF8\xD6\xC6"; // "16进制"
inline constexpr std::string_view kDecimalText = "10\xBD\xF8\xD6\xC6"; // "10进制"
inline constexpr std::string_view kCharsText = "ACSII\xD7\xD6\xB7\xFB"; // "ACSII字符"

// The combo text compared byte for byte: decimal and characters by their exact
// texts, anything else hexadecimal.
Notation NotationFromText(std::string_view comboTextCp936);

// One byte as a character between quotes or in an echo: printable ASCII as itself,
// any other byte as a visible escape that contains no control character.
std::string ByteAsCharacter(uint8_t byte);
