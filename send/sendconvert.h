#pragma once

#include "text/notation.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Turning the send text and the send range into bytes for the port and echo texts
// for the document. Pure functions on code page 936 byte strings; any thread.

// One byte for the port and the text that echoes it in the document.
struct SendPiece
{
    uint8_t byte = 0;
    std::string echo;
    friend bool operator==(const SendPiece &, const SendPiece &) = default;
};

// The bytes of one unit, sent back to back: one piece, or one per byte of a token
// in character notation.
using SendUnit = std::vector<SendPiece>;

// The tokens of a send text: maximal runs of bytes other than the four separators
// space, ',', ';' and '.'. Every token is kept, however many there are.
std::vector<std::string> SplitSendText(std::string_view text);

// The hexadecimal reading of a token by position: only positions 0 and 1 count,
// a byte that is not a hexadecimal digit is skipped but uses up its position, and a
// digit at position 2 or later ends the reading. No prefix is recognised.
uint8_t HexToByte(std::string_view token);

// A token of the send text converted in `notation`. Unreadable tokens give 0.
SendUnit ConvertToken(std::string_view token, Notation notation);

// A value of the send range converted in `notation`: its low 8 bits and the echo
// of the whole value.
SendPiece ConvertRangeValue(int32_t value, Notation notation);

// One byte given as it is (the send bar) in `notation`: echoed as a byte of a
// token would be ("0x41 ", "65 ", "'A' ").
SendPiece ConvertByte(uint8_t byte, Notation notation);

// True for the four bytes that separate tokens.
constexpr bool IsSendSeparator(char c)
{
    return c == ' ' || c == ',' || c == ';' || c == '.';
}
