#pragma once

#include <cstdint>

#include <termios.h>

// The system's speed code for a standard baud rate; false for any other rate,
// which only a system with custom rates (Linux: BOTHER) can set.
[[nodiscard]] bool StandardBaud(int32_t rate, speed_t &code);
