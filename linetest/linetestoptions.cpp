#include "linetestoptions.h"

#include "base/linecodes.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>

namespace {

bool ReadInteger(const std::string &text, int64_t low, int64_t high, int64_t &value)
{
    const char *end = text.data() + text.size();
    const auto [where, status] = std::from_chars(text.data(), end, value);
    return status == std::errc() && where == end && !text.empty() && value >= low && value <= high;
}

bool ReadReal(const std::string &text, double low, double high, double &value)
{
    if (text.empty()) {
        return false;
    }
    char *end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size() && value >= low && value <= high;
}

Status Bad(const std::string &name, const std::string &value, const std::string &wanted)
{
    return Status(ErrorKind::Invalid, name + " needs " + wanted + ", not \"" + value + "\"");
}

} // namespace

std::optional<Status> ReadLineSwitch(const std::string &name, const std::string &value,
    std::string &device, int &port, LineFraming &framing)
{
    int64_t number = 0;
    if (name == "--device") {
        device = value;
    } else if (name == "--port") {
        if (!ReadInteger(value, 1, 8, number)) {
            return Bad(name, value, "a port number from 1 to 8");
        }
        port = static_cast<int>(number);
    } else if (name == "--baud") {
        if (!ReadInteger(value, 1, 100000000, number)) {
            return Bad(name, value, "a baud rate");
        }
        framing.baudRate = static_cast<int32_t>(number);
    } else if (name == "--data") {
        if (!ReadInteger(value, 5, 8, number)) {
            return Bad(name, value, "5, 6, 7 or 8");
        }
        framing.dataBits = static_cast<uint8_t>(number);
    } else if (name == "--parity") {
        const auto *const code = std::find(kParityNames.begin(), kParityNames.end(), value);
        if (code == kParityNames.end()) {
            return Bad(name, value, "none, odd, even, mark or space");
        }
        framing.parity = static_cast<uint8_t>(code - kParityNames.begin());
    } else if (name == "--stop") {
        const auto *const code = std::find(kStopBitsNames.begin(), kStopBitsNames.end(), value);
        if (code == kStopBitsNames.end()) {
            return Bad(name, value, "1, 1.5 or 2");
        }
        framing.stopBits = static_cast<uint8_t>(code - kStopBitsNames.begin());
    } else {
        return std::nullopt;
    }
    return Status();
}

Status ParseLineTestOptions(const std::vector<std::string> &args, LineTestOptions &options)
{
    options = LineTestOptions();
    static const char *const valued[] = { "--device", "--port", "--baud", "--data", "--parity",
        "--stop", "--pattern", "--mode", "--seconds", "--bytes", "--rate", "--timeout", "--max-ber",
        "--max-errors", "--json" };
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
        bool takesValue = false;
        for (const char *option : valued) {
            takesValue = takesValue || name == option;
        }
        if (takesValue && !hasValue) {
            if (i + 1 >= args.size()) {
                return Status(ErrorKind::Invalid, name + " needs a value");
            }
            value = args[++i];
        } else if (!takesValue && hasValue) {
            return Status(ErrorKind::Invalid, name + " takes no value");
        }
        int64_t number = 0;
        double real = 0;
        if (name == "--help" || name == "-h") {
            options.help = true;
        } else if (const auto line
            = ReadLineSwitch(name, value, options.device, options.port, options.framing)) {
            if (!*line) {
                return *line;
            }
        } else if (name == "--pattern") {
            options.pattern = value;
        } else if (name == "--mode") {
            if (value == "loopback") {
                options.config.mode = LineMode::Loopback;
            } else if (value == "receive") {
                options.config.mode = LineMode::Receive;
            } else if (value == "transmit") {
                options.config.mode = LineMode::Transmit;
            } else {
                return Bad(name, value, "loopback, receive or transmit");
            }
        } else if (name == "--seconds") {
            if (!ReadReal(value, 0.001, 1e7, options.config.seconds)) {
                return Bad(name, value, "a number of seconds");
            }
        } else if (name == "--bytes") {
            if (!ReadInteger(value, 1, INT64_MAX, number)) {
                return Bad(name, value, "a number of bytes");
            }
            options.config.bytes = static_cast<uint64_t>(number);
        } else if (name == "--rate") {
            if (!ReadReal(value, 0, 1e9, options.config.rate)) {
                return Bad(name, value, "bytes a second (0: as fast as the line goes)");
            }
        } else if (name == "--timeout") {
            if (!ReadReal(value, 0.001, 86400, real)) {
                return Bad(name, value, "a number of seconds");
            }
            options.config.timeoutMs = std::max(1, static_cast<int>(real * 1000));
        } else if (name == "--max-ber") {
            if (!ReadReal(value, 0, 1, real)) {
                return Bad(name, value, "a bit error rate from 0 to 1");
            }
            options.thresholds.maxBer = real;
        } else if (name == "--max-errors") {
            if (!ReadInteger(value, 0, INT64_MAX, number)) {
                return Bad(name, value, "a number of errors");
            }
            options.thresholds.maxErrors = static_cast<uint64_t>(number);
        } else if (name == "--json") {
            options.json = value;
        } else {
            return Status(ErrorKind::Invalid, "unknown argument \"" + args[i] + "\"");
        }
    }
    if (options.help) {
        return {};
    }
    if (options.device.empty() == (options.port == 0)) {
        return Status(ErrorKind::Invalid, "name the line with either --device PATH or --port N");
    }
    if (options.config.seconds == 0 && options.config.bytes == 0) {
        options.config.seconds = 10;
    }
    options.config.framing = options.framing;
    return {};
}

const char *LineTestUsage()
{
    return "Usage: byteway-linetest (--device PATH | --port N) [--baud N] [--data 5..8]\n"
           "         [--parity none|odd|even|mark|space] [--stop 1|1.5|2]\n"
           "         [--pattern counting|prbs7|prbs15|prbs23|prbs31|file:PATH]\n"
           "         [--mode loopback|receive|transmit] [--seconds S | --bytes N]\n"
           "         [--rate BYTES_PER_S] [--timeout S] [--max-ber X] [--max-errors N]\n"
           "         [--json FILE]\n"
           "Tests a serial line with a pattern and says whether it passed.\n"
           "  --device PATH      the serial device to use\n"
           "  --port N           the device that Byteway's port N stands for\n"
           "  --baud N           baud rate (default 115200)\n"
           "  --data N           data bits, 5 to 8 (default 8)\n"
           "  --parity P         none, odd, even, mark or space (default none)\n"
           "  --stop S           stop bits: 1, 1.5 or 2 (default 1)\n"
           "  --pattern P        the pattern (default prbs15)\n"
           "  --mode M           loopback (default): what is sent comes back;\n"
           "                     receive: the far side sends the pattern;\n"
           "                     transmit: the far side checks what is sent\n"
           "  --seconds S        how long to run (default 10 when no --bytes)\n"
           "  --bytes N          how many bytes to send (or receive)\n"
           "  --rate N           bytes a second (default 0: as fast as the line goes)\n"
           "  --timeout S        fail when nothing arrives for S seconds while bytes are\n"
           "                     due (default: 1, or longer when the bytes under way\n"
           "                     need longer at the baud rate)\n"
           "  --max-ber X        pass only when the 95 % upper bound of the bit error\n"
           "                     rate is at most X\n"
           "  --max-errors N     pass only with at most N errors\n"
           "                     (without either threshold: pass with no errors)\n"
           "  --json FILE        write the result and the first 1000 errors as JSON\n"
           "Exit status: 0 passed, 1 failed the thresholds, 2 could not run.\n";
}
