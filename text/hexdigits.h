#pragma once

// Hexadecimal digits, read and written the same way everywhere (integer reading,
// send tokens, the RTF reader; the notations and echoes write upper case).

// The value 0..15 of one hexadecimal digit of either case, -1 for any other byte.
int HexDigitValue(char c);

// The upper-case digit of each value 0..15.
inline constexpr char kHexDigitChars[] = "0123456789ABCDEF";
