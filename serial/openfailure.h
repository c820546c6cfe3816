#pragma once

#include "status.h"

#include <string>

// Why opening a port failed, in terms that tell the user what to do about it: the
// kind and the system's reason (status: Invalid for a port number outside 1..8,
// NotFound, NoAccess, Busy, Refused), and what the user needs besides to act on it.
struct OpenFailure
{
    // Success after an Open that succeeded (or before any).
    Status status;
    // The device that was tried (the comN link or the system's device name).
    std::string device;
    // NoAccess: the group that owns the device (on Debian usually "dialout"); the user
    // has to be a member of it. Empty where the system has no such thing.
    std::string group;
    // Busy: the processes that hold the device, "name (pid)" joined by ", "; empty
    // when they cannot be found.
    std::string holders;
};
