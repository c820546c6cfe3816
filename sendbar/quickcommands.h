#pragma once

#include "base/status.h"
#include "checksum.h"
#include "sendline.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// A saved command of the send bar: a name and a line with its mode, ending and
// checksum. Texts are UTF-8.
struct QuickCommand
{
    std::string name;
    LineMode mode = LineMode::Text;
    std::string data;
    LineEnding ending = LineEnding::CrLf;
    Checksum checksum = Checksum::None;
    friend bool operator==(const QuickCommand &, const QuickCommand &) = default;
};

// The command file, one command a line (also the form each command takes in
// byteway.conf):
//     name <TAB> mode <TAB> ending <TAB> checksum <TAB> data
// mode "text" or "hex", ending "none", "cr", "lf" or "crlf", checksum one of the
// ChecksumKey names; the data is the rest of the line, as typed in the bar. Empty
// lines and lines starting with '#' are comments. UTF-8, LF or CR LF line ends.

// A name or data that a line of the file cannot hold (a tab in the name, a line
// break in either, an empty name), or data that does not parse in its mode.
[[nodiscard]] Status CheckCommand(const QuickCommand &command);
// One line, without line end. `command` must pass CheckCommand.
[[nodiscard]] std::string FormatCommand(const QuickCommand &command);
[[nodiscard]] Result<QuickCommand> ParseCommand(std::string_view line);

// A whole file: a comment that explains the format, then one line per command.
[[nodiscard]] std::string FormatCommandFile(const std::vector<QuickCommand> &commands);

struct CommandFileProblem
{
    std::size_t line = 0; // 1-based
    Status status;
};

struct CommandFile
{
    // A report of the first few bad lines says enough; a file of millions of them
    // must not cost more than one read.
    static constexpr std::size_t kProblemsKept = 20;

    std::vector<QuickCommand> commands; // every good line, in order
    std::vector<CommandFileProblem> problems; // the first kProblemsKept bad ones
    std::size_t badLines = 0; // all of them
};

// Reads a file's text in one pass: good lines are kept whatever the bad ones
// around them.
[[nodiscard]] CommandFile ParseCommandFile(std::string_view text);
