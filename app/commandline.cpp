#include "commandline.h"

#include <ostream>
#include <string_view>

#ifndef BYTEWAY_VERSION
#error "BYTEWAY_VERSION names the program's version"
#endif

namespace {

constexpr std::string_view kUsage = R"(Usage: byteway [--help | --version]

Byteway is a serial port test tool. It sends text or ranges of bytes to a serial
port (once or on a timer), shows every byte received and sent in document windows
in hexadecimal, decimal or character notation, checks received data against an
ascending pattern, records the traffic to a file with microsecond times, and
reopens a port whose device went away and came back.

Options:
  --help      show this help and exit
  --version   show the version and exit

The settings live in $XDG_CONFIG_HOME/byteway (Byteway.ini and byteway.conf);
port N opens the device that the link comN there points to.
See byteway(1).
)";

// The options of Qt's own that are passed on to it.
bool QtOptionTakesValue(std::string_view argument)
{
    for (const std::string_view option : { "-platform", "-platformtheme", "-platformpluginpath",
             "-plugin", "-style", "-stylesheet", "-display", "-geometry", "-qwindowgeometry",
             "-qwindowtitle", "-qwindowicon", "-session" }) {
        if (argument == option) {
            return true;
        }
    }
    return false;
}

bool IsQtFlag(std::string_view argument)
{
    for (const std::string_view option : { "-reverse", "-nograb", "-dograb", "-sync" }) {
        if (argument == option) {
            return true;
        }
    }
    return false;
}

} // namespace

std::optional<int> HandleCommandLine(
    std::span<char *const> arguments, std::ostream &out, std::ostream &err)
{
    // Qt takes its own options (-platform, -style, ...) out of the list later on;
    // only what is meant for this program is looked at here.
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i] ? arguments[i] : "";
        if (argument == "--help" || argument == "-h") {
            out << kUsage;
            return 0;
        }
        if (argument == "--version" || argument == "-v") {
            out << "byteway " << BYTEWAY_VERSION << '\n';
            return 0;
        }
        if (QtOptionTakesValue(argument)) {
            ++i;
            continue;
        }
        if (IsQtFlag(argument)) {
            continue;
        }
        err << "byteway: unknown argument '" << argument
            << "'\nByteway takes no files or options other than --help and --version.\n"
               "Try 'byteway --help'.\n";
        return 2;
    }
    return std::nullopt;
}
