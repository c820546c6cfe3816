#include "deviceoptions.h"

#include <charconv>
#include <cstdlib>
#include <string>
#include <utility>

namespace {

bool readNumber(const std::string &text, int64_t low, int64_t high, int64_t &value)
{
    const char *end = text.data() + text.size();
    const auto [where, status] = std::from_chars(text.data(), end, value);
    return status == std::errc() && where == end && !text.empty() && value >= low && value <= high;
}

// "~/x" as the shell would have expanded it (it does not after "--link=").
std::string expandHome(const std::string &path)
{
    const char *home = std::getenv("HOME");
    if (path.size() >= 2 && path[0] == '~' && path[1] == '/' && home) {
        return home + path.substr(1);
    }
    return path;
}

// Splits "--name=value" into name and value.
void splitOption(const std::string &arg, std::string &name, std::string &value, bool &inlineValue)
{
    const auto equals = arg.find('=');
    inlineValue = arg.rfind("--", 0) == 0 && equals != std::string::npos;
    name = inlineValue ? arg.substr(0, equals) : arg;
    value = inlineValue ? arg.substr(equals + 1) : std::string();
}

Status numberOption(
    const std::string &name, const std::string &value, int64_t low, int64_t high, int64_t &target)
{
    if (readNumber(value, low, high, target)) {
        return {};
    }
    return { ErrorKind::Invalid,
        name + " needs a whole number from " + std::to_string(low) + " to " + std::to_string(high)
            + ", not \"" + value + "\"" };
}

Status invalid(std::string reason)
{
    return { ErrorKind::Invalid, std::move(reason) };
}

} // namespace

Status ParseDeviceOptions(const std::vector<std::string> &args, DeviceOptions &options)
{
    options = DeviceOptions();
    bool explicitEcho = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name, value;
        bool inlineValue = false;
        splitOption(args[i], name, value, inlineValue);
        const bool takesValue = name == "--link" || name == "--pattern" || name == "--rate"
            || name == "--count" || name == "--log" || IsFaultOption(name) || name == "--commands";
        if (!takesValue && inlineValue) {
            return invalid(name + " takes no value");
        }
        if (takesValue && !inlineValue) {
            if (i + 1 >= args.size()) {
                return invalid(name + " needs a value");
            }
            value = args[++i];
        }
        int64_t number = 0;
        if (name == "--help" || name == "-h") {
            options.help = true;
        } else if (name == "--echo") {
            explicitEcho = true;
        } else if (name == "--stall") {
            options.stall = true;
        } else if (name == "--lines") {
            options.lines = true;
        } else if (name == "--commands") {
            if (value.empty()) {
                return invalid(name + " needs a file path");
            }
            options.commands = expandHome(value);
            options.lines = true;
        } else if (name == "--link" || name == "--log") {
            if (value.empty()) {
                return invalid(name + " needs a file path");
            }
            (name == "--link" ? options.link : options.log) = expandHome(value);
        } else if (name == "--pattern") {
            if (Status read = numberOption(name, value, 1, 256, number); !read) {
                return read;
            }
            options.pattern = static_cast<int>(number);
            options.sending = true;
        } else if (name == "--rate") {
            if (Status read = numberOption(name, value, 0, 1000000000, options.rate); !read) {
                return read;
            }
            options.sending = true;
        } else if (name == "--count") {
            if (Status read = numberOption(name, value, 1, INT64_MAX, options.count); !read) {
                return read;
            }
            options.sending = true;
        } else if (IsFaultOption(name)) {
            if (Status read = ParseFaultOption(name, value, options.faults); !read) {
                return read;
            }
        } else {
            return invalid("unknown argument \"" + args[i] + "\"");
        }
    }
    if (options.stall && (explicitEcho || !options.log.empty())) {
        return invalid("--stall reads nothing, so it cannot go with --echo or --log");
    }
    options.echo = explicitEcho || (!options.sending && !options.stall);
    return {};
}

static const char *DeviceBaseUsage();

const char *DeviceUsage()
{
    static const std::string usage = std::string(DeviceBaseUsage()) + FaultUsage();
    return usage.c_str();
}

static const char *DeviceBaseUsage()
{
    return "Usage: byteway-device [--link PATH] [--pattern N] [--rate BYTES_PER_S] [--count K]\n"
           "                      [--echo] [--log FILE] [--stall] [--lines] [--commands FIFO]\n"
           "Plays a serial device on a new pseudo-terminal until stopped (Ctrl+C).\n"
           "  --link PATH        link the pseudo-terminal at PATH (folders are created),\n"
           "                     e.g. ~/.config/byteway/com1 for port 1; removed on exit\n"
           "  --pattern N        send the counting pattern 0..N-1 over and over\n"
           "                     (1..256, default 128)\n"
           "  --rate BYTES_PER_S send at this rate (0 = as fast as possible, the default)\n"
           "  --count K          send K bytes of the pattern in all, then only listen\n"
           "  --echo             send back every byte that arrives\n"
           "  --log FILE         record each byte that arrives: microseconds since start\n"
           "                     and the byte in hexadecimal, one line each\n"
           "  --stall            never read what arrives, so the line backs up and the\n"
           "                     program's writes time out\n"
           "  --lines            play the modem lines with libbyteway-modemsim preloaded\n"
           "                     (LD_PRELOAD, in both programs): CTS follows RTS and DSR\n"
           "                     follows DTR, as on a loopback plug; line changes and\n"
           "                     breaks are reported with their times\n"
           "  --commands FIFO    also create FIFO and take commands from it, one a line:\n"
           "                     \"dcd 1\", \"dcd 0\", \"ri 1\", \"ri 0\" (implies --lines)\n"
           "Without --pattern, --rate, --count or --stall the device echoes.\n";
}
