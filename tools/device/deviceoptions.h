#pragma once

#include "base/status.h"
#include "devicefaults.h"

#include <cstdint>
#include <string>
#include <vector>

// Command line of byteway-device, the program that plays the device at the other end
// of a pseudo-terminal.
struct DeviceOptions
{
    std::string link; // where to link the pty (empty: only print its name)
    int pattern = 128; // the counting pattern 0..pattern-1, sent over and over
    int64_t rate = 0; // bytes per second; 0 = as fast as the pty accepts
    int64_t count = -1; // bytes to send in all; -1 = no end
    bool sending = false; // --pattern, --rate or --count given
    bool echo = false; // send back what arrives (also when no mode is given)
    std::string log; // file recording each received byte with its time
    bool stall = false; // never read: what arrives backs up (a device that hangs)
    DeviceFaults faults; // what to get wrong on purpose in what it sends
    // Play the modem lines (needs libbyteway-modemsim preloaded): CTS follows RTS,
    // DSR follows DTR, changes and breaks are reported on standard output.
    bool lines = false;
    std::string commands; // a FIFO to create and read line commands from ("dcd 1")
    bool help = false;
};

// Reads the arguments after the program name. Invalid, saying which argument and
// why, when they are unusable; `options` is then undefined.
[[nodiscard]] Status ParseDeviceOptions(
    const std::vector<std::string> &args, DeviceOptions &options);

// The --help text.
const char *DeviceUsage();
