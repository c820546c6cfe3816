#pragma once

#include "base/status.h"
#include "linetest/linechannel.h"

#include <string>
#include <vector>

// The command line of byteway-sequence.
struct SequenceOptions
{
    std::string device; // --device PATH
    int port = 0; // --port N
    LineFraming framing;
    std::string sequence; // --sequence NAME (default: the file's first)
    std::string file; // the automation file
    std::string json; // --json FILE
    bool help = false;
};

// Reads the arguments after the program name; a failure says which one and why.
[[nodiscard]] Status ParseSequenceOptions(
    const std::vector<std::string> &args, SequenceOptions &options);
[[nodiscard]] const char *SequenceUsage();
