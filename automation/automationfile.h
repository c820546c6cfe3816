#pragma once

#include "base/status.h"
#include "sendbar/sendline.h"
#include "serial/controllines.h"

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// Triggers (rules that answer received data) and sequences (scripted test steps),
// and their plain-text file: one INI-like file a person can read, write and diff.
// The README documents the format. Pure values and functions; any thread.

// What received data is matched against: text with the send bar's escapes, hex bytes,
// or an ECMAScript regular expression over the bytes.
struct Pattern
{
    enum class Kind { Text, Hex, Regex };
    Kind kind = Kind::Text;
    std::string source; // as written after "text:", "hex:" or "regex:"
    friend bool operator==(const Pattern &, const Pattern &) = default;
};

// Bytes to send, written like a send-bar line: the text or hex, then the checksum,
// then the ending.
struct Payload
{
    LineMode mode = LineMode::Text;
    std::string source;
    LineEnding ending = LineEnding::None;
    Checksum checksum = Checksum::None;
    friend bool operator==(const Payload &, const Payload &) = default;
};

// Where a rule's pattern may lie: anywhere in the stream, or within one received
// line (ended by LF) or frame (bytes without a pause of `frameGapMs` between them).
enum class MatchScope { Anywhere, Line, Frame };

struct TriggerRule
{
    std::string name;
    Pattern match;
    MatchScope scope = MatchScope::Anywhere;
    Payload reply;
    int delayMs = 0;
    int fireLimit = 0; // 0: every time; N: the first N matches only
    int ratePerSecond = 100; // more fires than this in one second pause the rule
    bool enabled = true;
    friend bool operator==(const TriggerRule &, const TriggerRule &) = default;
};

enum class StepKind { Send, Wait, Expect, SetLine, Pulse, Break, Repeat, End, Pass, Fail };

// One step of a sequence. Which members count depends on the kind:
// Send: payload; Wait, Break: ms; Expect: pattern, ms (the timeout); SetLine: line,
// on; Pulse: line, on (the state held for ms), then the opposite; Repeat: count
// (0: until stopped), the steps up to the matching End; Pass, Fail: message.
struct Step
{
    StepKind kind = StepKind::Wait;
    Payload payload;
    Pattern pattern;
    int ms = 0;
    int count = 0;
    ModemLine line = ModemLine::Dtr;
    bool on = true;
    std::string message;
    int fileLine = 0; // where it was read (0 when made in memory); not compared
    friend bool operator==(const Step &a, const Step &b)
    {
        return a.kind == b.kind && a.payload == b.payload && a.pattern == b.pattern && a.ms == b.ms
            && a.count == b.count && a.line == b.line && a.on == b.on && a.message == b.message;
    }
};

struct Sequence
{
    std::string name;
    std::vector<Step> steps;
    friend bool operator==(const Sequence &, const Sequence &) = default;
};

struct AutomationSet
{
    std::vector<TriggerRule> rules;
    std::vector<Sequence> sequences;
    friend bool operator==(const AutomationSet &, const AutomationSet &) = default;
};

inline constexpr std::size_t kMaxAutomationFileBytes = 1024 * 1024;
inline constexpr int kMaxRepeatDepth = 8;
inline constexpr int kMaxMs = 24 * 60 * 60 * 1000;

// Reads a whole file's text. A failure (Invalid) says "line N: reason" and nothing is
// returned: a file is taken whole or not at all. Every pattern and payload is checked
// here, regular expressions compiled, repeat blocks matched.
[[nodiscard]] Result<AutomationSet> ParseAutomation(std::string_view text);
// The file's text for `set`; ParseAutomation reads it back equal.
[[nodiscard]] std::string WriteAutomation(const AutomationSet &set);

// A file the user names: a regular file of at most kMaxAutomationFileBytes; the
// failure's reason starts with the file's name.
[[nodiscard]] Result<AutomationSet> ImportAutomation(const std::filesystem::path &path);
// Replaces `path` atomically with the text of `set`.
[[nodiscard]] Status ExportAutomation(const std::filesystem::path &path, const AutomationSet &set);

// Checks a pattern: the bytes of text and hex, the compile of a regular expression;
// the reason when it cannot be used.
[[nodiscard]] Status CheckPattern(const Pattern &pattern);
// The bytes of a text or hex pattern (a regular expression's are its source).
[[nodiscard]] Result<std::string> PatternBytes(
    const Pattern &pattern, const CharacterEncoder &encode);
// The bytes of a payload: the data, its checksum, its ending.
[[nodiscard]] Result<std::string> PayloadBytes(
    const Payload &payload, const CharacterEncoder &encode);
// An encoder that keeps each character's UTF-8 bytes, for the command line, which
// has no code page 936 table.
[[nodiscard]] CharacterEncoder Utf8PassThrough();

// The forms used in the file: "text:AT\r", "ending=crlf checksum=sum8 hex:01 02".
[[nodiscard]] std::string PatternText(const Pattern &pattern);
[[nodiscard]] std::string PayloadText(const Payload &payload);
[[nodiscard]] std::string StepText(const Step &step); // "expect = 2000 text:OK"
