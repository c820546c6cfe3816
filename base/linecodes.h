#pragma once

#include <array>
#include <cstdint>

// The codes of parity and stop bits that the port's Open takes and the settings
// file keeps, and their names where a text or an option shows them.
enum ParityCode : uint8_t { ParityNone, ParityOdd, ParityEven, ParityMark, ParitySpace };
inline constexpr uint8_t kParityCodeCount = 5;
enum StopBitsCode : uint8_t { StopBitsOne, StopBitsOneAndHalf, StopBitsTwo };
inline constexpr uint8_t kStopBitsCodeCount = 3;

inline constexpr std::array<const char *, kParityCodeCount> kParityNames
    = { "none", "odd", "even", "mark", "space" };
// As in "9600,8,N,1".
inline constexpr std::array<char, kParityCodeCount> kParityLetters = { 'N', 'O', 'E', 'M', 'S' };
inline constexpr std::array<const char *, kStopBitsCodeCount> kStopBitsNames = { "1", "1.5", "2" };
