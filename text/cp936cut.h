#pragma once

#include <cstddef>
#include <string_view>

// The length of the longest start of `bytes` that has at most `maxBytes` bytes and
// does not end inside a code page 936 double-byte character. A lead byte is
// 0x81..0xFE and always takes the next byte with it. The one rule for cutting
// code page 936 text short (the settings file's send text, bounded edits).
std::size_t Cp936PrefixLength(std::string_view bytes, std::size_t maxBytes);
