#pragma once

#include "base/status.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The byte streams a line test sends and expects.
enum class PatternKind {
    Counting, // 0, 1, ..., 255, 0, 1, ... (what the receive window's order check expects)
    Prbs7, // x^7 + x^6 + 1
    Prbs15, // x^15 + x^14 + 1
    Prbs23, // x^23 + x^18 + 1
    Prbs31, // x^31 + x^28 + 1
    File, // the bytes of a file, over and over
};

// "counting", "prbs7", ..., "file".
[[nodiscard]] const char *PatternName(PatternKind kind);

// One pattern, generated forward from its start or from a position found in received
// bytes. The pseudo-random patterns are the ITU-T O.150 polynomials run as a Fibonacci
// shift register from all ones, not inverted; the bits of the sequence fill each byte
// from its least significant bit, the one a UART puts on the line first, so the line
// carries the sequence bit by bit in order (with 8 data bits). A byte-wide sequence of
// a register of n bits repeats after 2^n - 1 bytes.
class PatternGenerator
{
public:
    // A counting or pseudo-random pattern.
    explicit PatternGenerator(PatternKind kind = PatternKind::Counting);
    // The bytes of a file, which must not be empty.
    explicit PatternGenerator(std::vector<uint8_t> fileBytes);

    [[nodiscard]] PatternKind kind() const { return m_kind; }
    // The pattern repeats after this many bytes.
    [[nodiscard]] uint64_t periodBytes() const;

    // Back to the first byte of the pattern.
    void Reset();
    // The next `count` bytes of the pattern into `out`.
    void Fill(uint8_t *out, std::size_t count);
    // Places the pattern so that what it generates next follows `received`, bytes
    // taken from the middle of the stream: the next byte from Fill is the one after
    // the first `used` bytes of `received` (returned). 0 when `received` is too short
    // or (file) is found nowhere in the file.
    [[nodiscard]] std::size_t Acquire(const uint8_t *received, std::size_t size);

private:
    void fillPrbs(uint8_t *out, std::size_t count);

    PatternKind m_kind;
    int m_length = 0; // register length n
    int m_tap = 0; // the other tap m
    uint64_t m_mask = 0;
    // Pseudo-random: the last n bits of the sequence, the oldest in bit 0.
    uint64_t m_state = 0;
    // Counting and file: where the next byte comes from.
    std::size_t m_position = 0;
    std::vector<uint8_t> m_file;
};

// The largest pattern file: the check searches it whole to find its place.
constexpr std::size_t kMaxPatternFileBytes = std::size_t { 1 } << 20;

// The pattern a command line or the window names: "counting", "prbs7", "prbs15",
// "prbs23", "prbs31", or "file:PATH" (a regular file of 1 to kMaxPatternFileBytes
// bytes, read whole; anything else is refused with the reason).
[[nodiscard]] Result<PatternGenerator> PatternFromName(const std::string &name);
