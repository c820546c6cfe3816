#pragma once

#include <iosfwd>
#include <optional>
#include <span>

// The program's arguments, read before any window (no display is needed):
// --help and --version print on `out`; any other argument is refused on `err`.
// Returns the exit status when the program is to end here, nothing when it is to
// start its window.
[[nodiscard]] std::optional<int> HandleCommandLine(
    std::span<char *const> arguments, std::ostream &out, std::ostream &err);
