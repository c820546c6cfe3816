#include "sequenceoptions.h"

#include "linetest/linetestoptions.h"

#include <algorithm>

namespace {

Status ReadValued(const std::string &name, const std::string &value, SequenceOptions &options)
{
    if (const auto line
        = ReadLineSwitch(name, value, options.device, options.port, options.framing)) {
        return *line;
    }
    if (name == "--sequence") {
        options.sequence = value;
    } else {
        options.json = value;
    }
    return {};
}

} // namespace

Status ParseSequenceOptions(const std::vector<std::string> &args, SequenceOptions &options)
{
    options = SequenceOptions();
    static const char *const valued[] = { "--device", "--port", "--baud", "--data", "--parity",
        "--stop", "--sequence", "--json" };
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::string value;
        bool hasValue = false;
        if (const auto equals = name.find('=');
            name.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = name.substr(equals + 1);
            name.resize(equals);
            hasValue = true;
        }
        const bool takesValue = std::any_of(std::begin(valued), std::end(valued),
            [&name](const char *option) { return name == option; });
        if (name == "--help" || name == "-h") {
            options.help = true;
            continue;
        }
        if (!takesValue && name.rfind('-', 0) == 0 && name.size() > 1) {
            return { ErrorKind::Invalid, "unknown argument \"" + args[i] + "\"" };
        }
        if (!takesValue) {
            if (!options.file.empty()) {
                return { ErrorKind::Invalid, "one file only, not also \"" + args[i] + "\"" };
            }
            options.file = args[i];
            continue;
        }
        if (!hasValue) {
            if (i + 1 >= args.size()) {
                return { ErrorKind::Invalid, name + " needs a value" };
            }
            value = args[++i];
        }
        if (Status read = ReadValued(name, value, options); !read) {
            return read;
        }
    }
    if (options.help) {
        return {};
    }
    if (options.device.empty() == (options.port == 0)) {
        return { ErrorKind::Invalid, "name the line with either --device PATH or --port N" };
    }
    if (options.file.empty()) {
        return { ErrorKind::Invalid, "name the file that holds the sequence" };
    }
    return {};
}

const char *SequenceUsage()
{
    return "Usage: byteway-sequence (--device PATH | --port N) [--baud N] [--data 5..8]\n"
           "         [--parity none|odd|even|mark|space] [--stop 1|1.5|2]\n"
           "         [--sequence NAME] [--json FILE] FILE\n"
           "Runs a sequence of Byteway's automation file over a serial line.\n"
           "  --device PATH      the serial device to use\n"
           "  --port N           the device that Byteway's port N stands for\n"
           "  --baud N           baud rate (default 115200)\n"
           "  --data N           data bits, 5 to 8 (default 8)\n"
           "  --parity P         none, odd, even, mark or space (default none)\n"
           "  --stop S           stop bits: 1, 1.5 or 2 (default 1)\n"
           "  --sequence NAME    the sequence to run (default: the file's first)\n"
           "  --json FILE        write the verdict and each step's result as JSON\n"
           "Exit status: 0 passed, 1 failed, 2 could not run (or stopped).\n";
}
