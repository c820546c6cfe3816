#include "quickcommands.h"

#include <array>

namespace {

constexpr char kSeparator = '\t';
constexpr std::size_t kFields = 5;

Status Invalid(std::string reason)
{
    return { ErrorKind::Invalid, std::move(reason) };
}

// A field named in a reason, cut to a few characters (never inside one): a
// reason is read in a message, and a broken file's field may be megabytes long.
std::string Quoted(std::string_view field)
{
    constexpr std::size_t kShown = 32;
    if (field.size() <= kShown) {
        return '"' + std::string(field) + '"';
    }
    std::size_t end = kShown;
    while (end > 0 && (static_cast<unsigned char>(field[end]) & 0xC0) == 0x80) {
        --end;
    }
    return '"' + std::string(field.substr(0, end)) + "…\"";
}

bool HasLineBreak(std::string_view text)
{
    return text.find_first_of("\r\n") != std::string_view::npos;
}

// Every character passes: whether code page 936 holds it is asked when it is sent.
std::optional<std::string> AnyCharacter(std::string_view utf8)
{
    return std::string(utf8);
}

} // namespace

Status CheckCommand(const QuickCommand &command)
{
    if (command.name.empty()) {
        return Invalid("the name is empty");
    }
    if (command.name.find(kSeparator) != std::string::npos || HasLineBreak(command.name)) {
        return Invalid("the name holds a tab or a line break");
    }
    if (HasLineBreak(command.data)) {
        return Invalid("the data holds a line break");
    }
    Result<std::string> parsed = ParseLine(command.data, command.mode, AnyCharacter);
    if (!parsed) {
        return parsed.status();
    }
    return {};
}

std::string FormatCommand(const QuickCommand &command)
{
    std::string line = command.name;
    for (const std::string_view field : { LineModeKey(command.mode), LineEndingKey(command.ending),
             ChecksumKey(command.checksum) }) {
        line += kSeparator;
        line += field;
    }
    line += kSeparator;
    line += command.data;
    return line;
}

Result<QuickCommand> ParseCommand(std::string_view line)
{
    std::array<std::string_view, kFields> fields;
    std::size_t start = 0;
    for (std::size_t i = 0; i + 1 < kFields; ++i) {
        const std::size_t tab = line.find(kSeparator, start);
        if (tab == std::string_view::npos) {
            return Invalid("expected 5 fields separated by tabs, found " + std::to_string(i + 1));
        }
        fields[i] = line.substr(start, tab - start);
        start = tab + 1;
    }
    fields[kFields - 1] = line.substr(start);

    QuickCommand command;
    command.name = fields[0];
    const std::optional<LineMode> mode = LineModeFromKey(fields[1]);
    if (!mode) {
        return Invalid("unknown mode " + Quoted(fields[1]));
    }
    const std::optional<LineEnding> ending = LineEndingFromKey(fields[2]);
    if (!ending) {
        return Invalid("unknown ending " + Quoted(fields[2]));
    }
    const std::optional<Checksum> checksum = ChecksumFromKey(fields[3]);
    if (!checksum) {
        return Invalid("unknown checksum " + Quoted(fields[3]));
    }
    command.mode = *mode;
    command.ending = *ending;
    command.checksum = *checksum;
    command.data = fields[4];
    if (Status checked = CheckCommand(command); !checked) {
        return checked;
    }
    return command;
}

std::string FormatCommandFile(const std::vector<QuickCommand> &commands)
{
    std::string text = "# Byteway quick-send commands, one a line, fields separated by tabs:\n"
                       "# name, mode (text hex), ending (none cr lf crlf),\n"
                       "# checksum (none sum8 xor8 crc8 crc16-modbus crc16-ccitt-false\n"
                       "# crc16-xmodem crc32), data as typed in the send bar.\n";
    for (const QuickCommand &command : commands) {
        text += FormatCommand(command);
        text += '\n';
    }
    return text;
}

CommandFile ParseCommandFile(std::string_view text)
{
    constexpr std::string_view kBom = "\xEF\xBB\xBF";
    if (text.starts_with(kBom)) {
        text.remove_prefix(kBom.size());
    }
    CommandFile file;
    std::size_t number = 0;
    while (!text.empty()) {
        ++number;
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        if (line.empty() || line.starts_with('#')) {
            continue;
        }
        Result<QuickCommand> command = ParseCommand(line);
        if (command) {
            file.commands.push_back(std::move(*command));
        } else {
            ++file.badLines;
            if (file.problems.size() < CommandFile::kProblemsKept) {
                file.problems.push_back({ number, command.status() });
            }
        }
    }
    return file;
}
