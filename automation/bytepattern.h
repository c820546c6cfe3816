#pragma once

#include "base/status.h"

#include <bitset>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

// A regular expression over bytes, run as a set of states (Thompson's construction),
// so that each byte costs at most the program's size whatever the expression and the
// input: no backtracking, nothing that a pathological expression can blow up.
//
// The syntax is the common subset of ECMAScript: literals, ".", classes "[a-z]",
// "[^...]", the escapes \d \D \w \W \s \S \r \n \t \f \v \0 \xHH and escaped
// punctuation, groups "(...)" and "(?:...)", "|", the quantifiers * + ? {m} {m,}
// {m,n} (a following "?" is accepted and changes nothing), and "^" for the start of
// the stream, line or frame. Back-references, look-arounds, "$" and \b are refused.
//
// Matching is a stream: bytes go in one at a time, and a match is reported at the
// byte that completes it (the earliest end); matching then starts afresh after it.
class BytePattern
{
public:
    static constexpr std::size_t kMaxProgram = 4096;

    // The reason names what is wrong and where ("at 5: unmatched (").
    [[nodiscard]] static Result<BytePattern> Compile(std::string_view source);

    // Forgets what was seen: the next byte is the start of a record (for "^").
    void Restart();
    // Takes `bytes`; the number of matches that ended in them.
    [[nodiscard]] std::size_t Feed(std::string_view bytes);
    // The end (one past) of the first match in `bytes` read from a restart; npos when
    // none. Leaves the pattern restarted.
    [[nodiscard]] std::size_t FindEnd(std::string_view bytes);

    struct Instruction
    {
        enum class Op : uint8_t { Byte, Split, Jump, Start, Match };
        Op op = Op::Match;
        uint32_t x = 0; // Byte: the class index; Split, Jump: the target
        uint32_t y = 0; // Split: the second target
    };

private:
    BytePattern() = default;
    void addState(std::vector<uint32_t> &list, uint32_t pc, bool atStart);
    bool step(uint8_t byte);

    std::vector<Instruction> m_program;
    std::vector<std::bitset<256>> m_classes;
    std::bitset<256> m_firstBytes; // the bytes a match can start with
    std::vector<uint32_t> m_current, m_next, m_stack;
    std::vector<uint64_t> m_mark; // per instruction: the generation that added it
    uint64_t m_generation = 1;
    bool m_atStart = true;
};
