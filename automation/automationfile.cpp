#include "automationfile.h"

#include "bytepattern.h"
#include "settings/wholefile.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <optional>

namespace {

constexpr std::string_view kSpaces = " \t";

std::string_view Trim(std::string_view text)
{
    const auto first = text.find_first_not_of(kSpaces);
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(kSpaces);
    return text.substr(first, last - first + 1);
}

std::optional<int> ReadCount(std::string_view text, int high)
{
    int value = 0;
    const char *end = text.data() + text.size();
    const auto [where, status] = std::from_chars(text.data(), end, value);
    if (text.empty() || status != std::errc() || where != end || value < 0 || value > high) {
        return std::nullopt;
    }
    return value;
}

Status Bad(int line, const std::string &reason)
{
    return { ErrorKind::Invalid, "line " + std::to_string(line) + ": " + reason };
}

// Splits "word=value word=value rest" into the options before the first token without
// '=' ahead of a ':' and the rest.
struct Options
{
    std::vector<std::pair<std::string, std::string>> named;
    std::string_view rest;
};

Options SplitOptions(std::string_view value)
{
    Options options;
    for (;;) {
        value = value.substr(std::min(value.size(), value.find_first_not_of(kSpaces)));
        const auto space = value.find_first_of(kSpaces);
        const std::string_view word = value.substr(0, space);
        const auto equals = word.find('=');
        const auto colon = word.find(':');
        if (equals == std::string_view::npos
            || (colon != std::string_view::npos && colon < equals)) {
            options.rest = value;
            return options;
        }
        options.named.emplace_back(
            std::string(word.substr(0, equals)), std::string(word.substr(equals + 1)));
        if (space == std::string_view::npos) {
            options.rest = {};
            return options;
        }
        value = value.substr(space);
    }
}

Result<Pattern> ReadPattern(std::string_view value)
{
    const auto colon = value.find(':');
    const std::string_view kind = value.substr(0, colon);
    Pattern pattern;
    if (kind == "text") {
        pattern.kind = Pattern::Kind::Text;
    } else if (kind == "hex") {
        pattern.kind = Pattern::Kind::Hex;
    } else if (kind == "regex") {
        pattern.kind = Pattern::Kind::Regex;
    } else {
        return Status(ErrorKind::Invalid, "a pattern starts with text:, hex: or regex:");
    }
    pattern.source = std::string(value.substr(colon + 1));
    if (Status checked = CheckPattern(pattern); !checked) {
        return checked;
    }
    return pattern;
}

Result<Payload> ReadPayload(std::string_view value)
{
    const Options options = SplitOptions(value);
    Payload payload;
    for (const auto &[name, setting] : options.named) {
        if (name == "ending") {
            const auto ending = LineEndingFromKey(setting);
            if (!ending) {
                return Status(
                    ErrorKind::Invalid, "ending is none, cr, lf or crlf, not \"" + setting + "\"");
            }
            payload.ending = *ending;
        } else if (name == "checksum") {
            const auto checksum = ChecksumFromKey(setting);
            if (!checksum) {
                return Status(ErrorKind::Invalid, "unknown checksum \"" + setting + "\"");
            }
            payload.checksum = *checksum;
        } else {
            return Status(ErrorKind::Invalid, "unknown option \"" + name + "\"");
        }
    }
    const auto colon = options.rest.find(':');
    const std::string_view mode = options.rest.substr(0, colon);
    if (colon == std::string_view::npos || (mode != "text" && mode != "hex")) {
        return Status(ErrorKind::Invalid, "the bytes to send start with text: or hex:");
    }
    payload.mode = mode == "text" ? LineMode::Text : LineMode::Hex;
    payload.source = std::string(options.rest.substr(colon + 1));
    if (Result<std::string> bytes = PayloadBytes(payload, Utf8PassThrough()); !bytes) {
        return bytes.status();
    }
    return payload;
}

std::optional<bool> ReadSwitch(std::string_view value)
{
    if (value == "on" || value == "yes" || value == "1") {
        return true;
    }
    if (value == "off" || value == "no" || value == "0") {
        return false;
    }
    return std::nullopt;
}

Status ReadRuleKey(TriggerRule &rule, const std::string &key, std::string_view value)
{
    if (key == "name") {
        rule.name = std::string(value);
    } else if (key == "match") {
        Result<Pattern> pattern = ReadPattern(value);
        if (!pattern) {
            return pattern.status();
        }
        rule.match = *pattern;
    } else if (key == "within") {
        if (value == "anywhere") {
            rule.scope = MatchScope::Anywhere;
        } else if (value == "line") {
            rule.scope = MatchScope::Line;
        } else if (value == "frame") {
            rule.scope = MatchScope::Frame;
        } else {
            return { ErrorKind::Invalid, "within is anywhere, line or frame" };
        }
    } else if (key == "reply") {
        Result<Payload> payload = ReadPayload(value);
        if (!payload) {
            return payload.status();
        }
        rule.reply = *payload;
    } else if (key == "delay") {
        const auto ms = ReadCount(value, kMaxMs);
        if (!ms) {
            return { ErrorKind::Invalid, "delay is milliseconds, 0 to " + std::to_string(kMaxMs) };
        }
        rule.delayMs = *ms;
    } else if (key == "fire") {
        const auto count = value == "every" ? std::optional<int>(0)
            : value == "once"               ? std::optional<int>(1)
                                            : ReadCount(value, 1000000000);
        if (!count || (value != "every" && *count == 0)) {
            return { ErrorKind::Invalid, "fire is every, once or a number of times" };
        }
        rule.fireLimit = *count;
    } else if (key == "rate") {
        const auto rate = ReadCount(value, 1000000);
        if (!rate || *rate == 0) {
            return { ErrorKind::Invalid, "rate is the most fires a second, 1 or more" };
        }
        rule.ratePerSecond = *rate;
    } else if (key == "enabled") {
        const auto on = ReadSwitch(value);
        if (!on) {
            return { ErrorKind::Invalid, "enabled is yes or no" };
        }
        rule.enabled = *on;
    } else {
        return { ErrorKind::Invalid, "unknown key \"" + key + "\" in a rule" };
    }
    return {};
}

std::optional<ModemLine> ReadLineName(std::string_view name)
{
    if (name == "dtr") {
        return ModemLine::Dtr;
    }
    if (name == "rts") {
        return ModemLine::Rts;
    }
    return std::nullopt;
}

Result<int> ReadMs(std::string_view value, const char *what)
{
    const auto ms = ReadCount(value, kMaxMs);
    if (!ms) {
        return Status(ErrorKind::Invalid,
            std::string(what) + " needs milliseconds, 0 to " + std::to_string(kMaxMs));
    }
    return *ms;
}

Result<Step> ReadStep(const std::string &key, std::string_view value)
{
    Step step;
    if (key == "send") {
        step.kind = StepKind::Send;
        Result<Payload> payload = ReadPayload(value);
        if (!payload) {
            return payload.status();
        }
        step.payload = *payload;
    } else if (key == "wait" || key == "break") {
        step.kind = key == "wait" ? StepKind::Wait : StepKind::Break;
        Result<int> ms = ReadMs(value, key.c_str());
        if (!ms) {
            return ms.status();
        }
        step.ms = *ms;
    } else if (key == "expect") {
        step.kind = StepKind::Expect;
        const auto space = value.find_first_of(kSpaces);
        Result<int> ms = ReadMs(value.substr(0, space), "expect");
        if (!ms || space == std::string_view::npos) {
            return Status(
                ErrorKind::Invalid, "expect is a timeout in milliseconds, then a pattern");
        }
        step.ms = *ms;
        Result<Pattern> pattern = ReadPattern(Trim(value.substr(space)));
        if (!pattern) {
            return pattern.status();
        }
        step.pattern = *pattern;
    } else if (key == "dtr" || key == "rts") {
        step.kind = StepKind::SetLine;
        step.line = *ReadLineName(key);
        const auto on = ReadSwitch(value);
        if (!on) {
            return Status(ErrorKind::Invalid, key + " is on or off");
        }
        step.on = *on;
    } else if (key == "pulse") {
        step.kind = StepKind::Pulse;
        const Options words = SplitOptions(value); // no options: three words in rest
        char line[8] = {}, state[8] = {};
        int ms = -1;
        const std::string rest(words.rest);
        const auto lineName = std::sscanf(rest.c_str(), "%7s %7s %d", line, state, &ms) == 3
            ? ReadLineName(line)
            : std::nullopt;
        const auto on = ReadSwitch(state);
        if (!lineName || !on || ms < 0 || ms > kMaxMs || !words.named.empty()) {
            return Status(ErrorKind::Invalid, "pulse is dtr or rts, on or off, milliseconds");
        }
        step.line = *lineName;
        step.on = *on;
        step.ms = ms;
    } else if (key == "repeat") {
        step.kind = StepKind::Repeat;
        const auto count
            = value == "forever" ? std::optional<int>(0) : ReadCount(value, 1000000000);
        if (!count || (value != "forever" && *count == 0)) {
            return Status(ErrorKind::Invalid, "repeat is a number of times or forever");
        }
        step.count = *count;
    } else if (key == "end" || key == "pass" || key == "fail") {
        step.kind = key == "end" ? StepKind::End : key == "pass" ? StepKind::Pass : StepKind::Fail;
        if (key == "end" && !value.empty()) {
            return Status(ErrorKind::Invalid, "end takes no value");
        }
        step.message = std::string(value);
    } else {
        return Status(ErrorKind::Invalid, "unknown step \"" + key + "\"");
    }
    return step;
}

enum class Section { None, Rule, Sequence };

struct Reader
{
    AutomationSet set;
    Section section = Section::None;
    int sectionLine = 0;
    std::vector<std::string> keysSeen; // of the open rule
    int depth = 0; // open repeat blocks of the open sequence
    bool sequenceNamed = false;

    Status closeSection()
    {
        if (section == Section::Rule) {
            const bool hasMatch
                = std::find(keysSeen.begin(), keysSeen.end(), "match") != keysSeen.end();
            const bool hasReply
                = std::find(keysSeen.begin(), keysSeen.end(), "reply") != keysSeen.end();
            if (!hasMatch || !hasReply) {
                return Bad(sectionLine, "a rule needs match and reply");
            }
        } else if (section == Section::Sequence && depth != 0) {
            return Bad(sectionLine, "a repeat block has no end");
        }
        return {};
    }

    Status keyValue(int lineNo, const std::string &key, std::string_view value)
    {
        if (section == Section::None) {
            return Bad(lineNo, "\"" + key + "\" before any [rule] or [sequence]");
        }
        if (section == Section::Rule) {
            if (std::find(keysSeen.begin(), keysSeen.end(), key) != keysSeen.end()) {
                return Bad(lineNo, "\"" + key + "\" given twice");
            }
            keysSeen.push_back(key);
            if (Status read = ReadRuleKey(set.rules.back(), key, value); !read) {
                return Bad(lineNo, read.reason());
            }
            return {};
        }
        Sequence &sequence = set.sequences.back();
        if (key == "name") {
            if (sequenceNamed || !sequence.steps.empty()) {
                return Bad(lineNo, "a sequence's name comes once, before its steps");
            }
            sequenceNamed = true;
            sequence.name = std::string(value);
            return {};
        }
        Result<Step> step = ReadStep(key, value);
        if (!step) {
            return Bad(lineNo, step.status().reason());
        }
        step->fileLine = lineNo;
        if (step->kind == StepKind::Repeat && ++depth > kMaxRepeatDepth) {
            return Bad(
                lineNo, "repeat blocks nest at most " + std::to_string(kMaxRepeatDepth) + " deep");
        }
        if (step->kind == StepKind::End && --depth < 0) {
            return Bad(lineNo, "end without repeat");
        }
        sequence.steps.push_back(std::move(*step));
        return {};
    }

    Status line(int lineNo, std::string_view text)
    {
        if (text.empty() || text.front() == '#' || text.front() == ';') {
            return {};
        }
        if (text.front() == '[') {
            if (Status closed = closeSection(); !closed) {
                return closed;
            }
            sectionLine = lineNo;
            keysSeen.clear();
            depth = 0;
            sequenceNamed = false;
            if (text == "[rule]") {
                section = Section::Rule;
                set.rules.emplace_back();
            } else if (text == "[sequence]") {
                section = Section::Sequence;
                set.sequences.emplace_back();
            } else {
                return Bad(lineNo, "unknown section " + std::string(text));
            }
            return {};
        }
        const auto equals = text.find('=');
        const std::string key(Trim(text.substr(0, equals)));
        const std::string_view value = equals == std::string_view::npos
            ? std::string_view {}
            : Trim(text.substr(equals + 1));
        if (key.empty()
            || key.find_first_not_of("abcdefghijklmnopqrstuvwxyz") != std::string::npos) {
            return Bad(lineNo, "expected key = value");
        }
        return keyValue(lineNo, key, value);
    }
};

// Text that reads back as itself on one line: control characters and spaces at the
// end (which editors drop) become escapes. Hex sources need none.
std::string OneLine(std::string_view source, bool escapes)
{
    std::string out;
    for (std::size_t i = 0; i < source.size(); ++i) {
        const auto byte = static_cast<unsigned char>(source[i]);
        const bool trailing = source.find_first_not_of(kSpaces, i) == std::string_view::npos;
        if (byte < 0x20 || byte == 0x7F || (trailing && (byte == ' ' || byte == '\t'))) {
            if (escapes) {
                char escape[5];
                std::snprintf(escape, sizeof escape, "\\x%02X", byte);
                out += escape;
            } else {
                out += ' ';
            }
        } else {
            out += source[i];
        }
    }
    return out;
}

std::string_view LineName(ModemLine line)
{
    return line == ModemLine::Rts ? "rts" : "dtr";
}

} // namespace

Status CheckPattern(const Pattern &pattern)
{
    if (pattern.kind == Pattern::Kind::Regex) {
        if (pattern.source.empty()) {
            return { ErrorKind::Invalid, "the regular expression is empty" };
        }
        Result<BytePattern> compiled = BytePattern::Compile(pattern.source);
        if (!compiled) {
            return { ErrorKind::Invalid,
                "the regular expression does not compile: " + compiled.status().reason() };
        }
        return {};
    }
    Result<std::string> bytes = PatternBytes(pattern, Utf8PassThrough());
    if (!bytes) {
        return bytes.status();
    }
    if (bytes->empty()) {
        return { ErrorKind::Invalid, "the pattern is empty" };
    }
    return {};
}

Result<std::string> PatternBytes(const Pattern &pattern, const CharacterEncoder &encode)
{
    if (pattern.kind == Pattern::Kind::Regex) {
        return pattern.source;
    }
    return ParseLine(pattern.source,
        pattern.kind == Pattern::Kind::Hex ? LineMode::Hex : LineMode::Text, encode);
}

Result<std::string> PayloadBytes(const Payload &payload, const CharacterEncoder &encode)
{
    Result<std::string> data = ParseLine(payload.source, payload.mode, encode);
    if (!data) {
        return data;
    }
    return FrameLine(std::move(*data), payload.checksum, payload.ending);
}

CharacterEncoder Utf8PassThrough()
{
    return [](std::string_view utf8) { return std::optional<std::string>(std::string(utf8)); };
}

std::string PatternText(const Pattern &pattern)
{
    switch (pattern.kind) {
    case Pattern::Kind::Hex:
        return "hex:" + OneLine(pattern.source, false);
    case Pattern::Kind::Regex:
        return "regex:" + OneLine(pattern.source, true);
    case Pattern::Kind::Text:
        break;
    }
    return "text:" + OneLine(pattern.source, true);
}

std::string PayloadText(const Payload &payload)
{
    std::string out;
    if (payload.ending != LineEnding::None) {
        out += "ending=" + std::string(LineEndingKey(payload.ending)) + " ";
    }
    if (payload.checksum != Checksum::None) {
        out += "checksum=" + std::string(ChecksumKey(payload.checksum)) + " ";
    }
    return out
        + (payload.mode == LineMode::Hex ? "hex:" + OneLine(payload.source, false)
                                         : "text:" + OneLine(payload.source, true));
}

std::string StepText(const Step &step)
{
    switch (step.kind) {
    case StepKind::Send:
        return "send = " + PayloadText(step.payload);
    case StepKind::Wait:
        return "wait = " + std::to_string(step.ms);
    case StepKind::Expect:
        return "expect = " + std::to_string(step.ms) + " " + PatternText(step.pattern);
    case StepKind::SetLine:
        return std::string(LineName(step.line)) + (step.on ? " = on" : " = off");
    case StepKind::Pulse:
        return "pulse = " + std::string(LineName(step.line)) + (step.on ? " on " : " off ")
            + std::to_string(step.ms);
    case StepKind::Break:
        return "break = " + std::to_string(step.ms);
    case StepKind::Repeat:
        return "repeat = "
            + (step.count == 0 ? std::string("forever") : std::to_string(step.count));
    case StepKind::End:
        return "end";
    case StepKind::Pass:
        return step.message.empty() ? "pass" : "pass = " + OneLine(step.message, false);
    case StepKind::Fail:
        break;
    }
    return step.message.empty() ? "fail" : "fail = " + OneLine(step.message, false);
}

Result<AutomationSet> ParseAutomation(std::string_view text)
{
    Reader reader;
    int lineNo = 0;
    while (!text.empty()) {
        ++lineNo;
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view {} : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (Status read = reader.line(lineNo, Trim(line)); !read) {
            return read;
        }
    }
    if (Status closed = reader.closeSection(); !closed) {
        return closed;
    }
    return std::move(reader.set);
}

std::string WriteAutomation(const AutomationSet &set)
{
    std::string out = "# Byteway triggers and sequences\n";
    for (const TriggerRule &rule : set.rules) {
        out += "\n[rule]\nname = " + OneLine(Trim(rule.name), false) + "\n";
        out += "match = " + PatternText(rule.match) + "\n";
        static const char *const scopes[] = { "anywhere", "line", "frame" };
        out += "within = " + std::string(scopes[static_cast<int>(rule.scope)]) + "\n";
        out += "reply = " + PayloadText(rule.reply) + "\n";
        out += "delay = " + std::to_string(rule.delayMs) + "\n";
        out += "fire = "
            + (rule.fireLimit == 0        ? std::string("every")
                    : rule.fireLimit == 1 ? std::string("once")
                                          : std::to_string(rule.fireLimit))
            + "\n";
        out += "rate = " + std::to_string(rule.ratePerSecond) + "\n";
        out += std::string("enabled = ") + (rule.enabled ? "yes" : "no") + "\n";
    }
    for (const Sequence &sequence : set.sequences) {
        out += "\n[sequence]\nname = " + OneLine(Trim(sequence.name), false) + "\n";
        int depth = 0;
        for (const Step &step : sequence.steps) {
            depth -= step.kind == StepKind::End ? 1 : 0;
            out += std::string(static_cast<std::size_t>(std::max(depth, 0)) * 4, ' ')
                + StepText(step) + "\n";
            depth += step.kind == StepKind::Repeat ? 1 : 0;
        }
    }
    return out;
}

Result<AutomationSet> ImportAutomation(const std::filesystem::path &path)
{
    Result<std::string> text = ReadRegularFile(path, kMaxAutomationFileBytes + 1, FileAccess::Read);
    if (!text) {
        return Status(text.status().kind(), path.string() + ": " + text.status().reason());
    }
    if (text->size() > kMaxAutomationFileBytes) {
        return Status(ErrorKind::Invalid,
            path.string() + ": larger than " + std::to_string(kMaxAutomationFileBytes / 1024)
                + " KiB");
    }
    Result<AutomationSet> set = ParseAutomation(*text);
    if (!set) {
        return Status(ErrorKind::Invalid, path.string() + ": " + set.status().reason());
    }
    return set;
}

Status ExportAutomation(const std::filesystem::path &path, const AutomationSet &set)
{
    return ReplaceFileAtomically(path, WriteAutomation(set));
}
