#pragma once

#include "linetest.h"
#include "linetestreport.h"

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
