#pragma once

#include "base/status.h"

#include <string>

// The one check of a device name that the user typed or chose for a port number,
// before it is bound. It returns the name to bind:
// - empty stays empty (the port number goes back to the system's device);
// - a name with a scheme ("scheme://...") passes unchanged, for the kinds of
//   device that are not files;
// - control characters (a pasted line break) are refused;
// - a relative name is taken as a name under /dev/ ("pts/0" is /dev/pts/0), as
//   device names usually are given;
// - the terminal the program runs in (/dev/tty, or the one it was started from) is
//   refused: opening it as a port would leave that terminal raw.
// Any thread.
[[nodiscard]] Result<std::string> CheckDeviceName(const std::string &typed);

// Whether `device` (links followed) is this program's own terminal: /dev/tty, the
// terminal of its standard input, output or error, or its controlling terminal.
// Always false where there is no such thing (Windows).
[[nodiscard]] bool IsProgramsTerminal(const std::string &device);
