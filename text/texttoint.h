#pragma once

#include "hexdigits.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Reads a whole text as a signed 32-bit integer: leading spaces (0x20 only), then
// a sign and decimal digits, or $ / x / X / 0x / 0X and up to 0xFFFFFFFF in
// hexadecimal taken as two's complement, or decimal digits. Nothing may follow
// the digits. Returns nothing when the text does not have one of these forms.
std::optional<int32_t> TextToInt(std::string_view text);

// The signed decimal text of a value, as the settings edits show numbers.
std::string IntToText(int32_t value);
