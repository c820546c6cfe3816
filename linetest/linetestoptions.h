#pragma once

#include "linetest.h"
#include "linetestreport.h"

#include <optional>
#include <string>
#include <vector>

// The command line of byteway-linetest.
struct LineTestOptions
{
    std::string device; // --device PATH
    int port = 0; // --port N: the device that port number stands for
    LineFraming framing;
    std::string pattern = "prbs15";
    LineTestConfig config; // mode, seconds, bytes, rate
    LineTestThresholds thresholds;
    std::string json; // --json FILE
    bool help = false;
};

// Reads the arguments after the program name; a failure says which one and why.
[[nodiscard]] Status ParseLineTestOptions(
    const std::vector<std::string> &args, LineTestOptions &options);

[[nodiscard]] const char *LineTestUsage();

// The switches that name the line and frame it, which every command line of the
// program that drives a line takes: --device PATH, --port N, --baud N, --data 5..8,
// --parity none|odd|even|mark|space and --stop 1|1.5|2. Reads `value` for `name`
// into `device`, `port` or `framing`; nothing when `name` is not one of them, else
// whether the value was good (a failure says what the switch needs).
[[nodiscard]] std::optional<Status> ReadLineSwitch(const std::string &name,
    const std::string &value, std::string &device, int &port, LineFraming &framing);
