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
//   refused: opening it as a port would leave that terminal raw;
// - one of the kernel's active consoles is refused (CheckNotConsole).
// Any thread.
[[nodiscard]] Result<std::string> CheckDeviceName(const std::string &typed);

// Refused, naming the console, when `device` (links followed) is one of the kernel's
// active consoles: bytes written there reach the machine's console (on a server or a
// virtual machine often /dev/ttyS0, which a port number without a link opens). The
// consoles are those /sys/class/tty/console/active lists, tty0 standing for the
// virtual console in front. Success where there is no such thing (Windows).
[[nodiscard]] Status CheckNotConsole(const std::string &device);
// Reads the list of active consoles from `path` instead (a test's file in the same
// form); empty puts the system's back.
void SetConsoleListFile(const std::string &path);

// Whether `device` (links followed) is this program's own terminal: /dev/tty, the
// terminal of its standard input, output or error, or its controlling terminal.
// Always false where there is no such thing (Windows).
[[nodiscard]] bool IsProgramsTerminal(const std::string &device);
