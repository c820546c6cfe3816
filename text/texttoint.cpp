#include "texttoint.h"

namespace {

bool IsDecimalDigit(char c)
{
    return c >= '0' && c <= '9';
}

std::optional<int32_t> ReadDecimal(std::string_view digits, bool negative)
{
    if (digits.empty()) {
        return std::nullopt;
    }
    // The magnitude may reach 2^31 (for the negative limit); anything beyond fails
    // at once, so the accumulator never overflows however long the text is.
    constexpr int64_t kLimit = int64_t { 1 } << 31;
    int64_t value = 0;
    for (char c : digits) {
        if (!IsDecimalDigit(c)) {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
        if (value > kLimit) {
            return std::nullopt;
        }
    }
    if (negative) {
        return static_cast<int32_t>(-value);
    }
    if (value == kLimit) {
        return std::nullopt;
    }
    return static_cast<int32_t>(value);
}

std::optional<int32_t> ReadHexadecimal(std::string_view digits)
{
    if (digits.empty()) {
        return std::nullopt;
    }
    uint64_t value = 0;
    for (char c : digits) {
        const int digit = HexDigitValue(c);
        if (digit < 0) {
            return std::nullopt;
        }
        value = value * 16 + static_cast<uint64_t>(digit);
        if (value > 0xFFFFFFFFu) {
            return std::nullopt;
        }
    }
    // Values above 0x7FFFFFFF are the 32-bit two's complement of a negative number.
    return static_cast<int32_t>(static_cast<uint32_t>(value));
}

} // namespace

std::optional<int32_t> TextToInt(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view rest = text.substr(first);
    switch (rest.front()) {
    case '-':
        return ReadDecimal(rest.substr(1), true);
    case '+':
        return ReadDecimal(rest.substr(1), false);
    case '$':
    case 'x':
    case 'X':
        return ReadHexadecimal(rest.substr(1));
    default:
        break;
    }
    if (rest.size() >= 2 && rest[0] == '0' && (rest[1] == 'x' || rest[1] == 'X')) {
        return ReadHexadecimal(rest.substr(2));
    }
    return ReadDecimal(rest, false);
}

std::string IntToText(int32_t value)
{
    return std::to_string(value);
}
