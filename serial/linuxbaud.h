#pragma once

// Baud rates outside the termios table, through Linux's termios2 interface (kept in
// a file of its own: its kernel header clashes with <termios.h>).
namespace serial_backend {

// Sets input and output speed of terminal `fd` to `rate` bits per second exactly.
bool SetCustomBaud(int fd, int rate);

// The output speed of terminal `fd` in bits per second, or -1 when it cannot be read.
int CustomBaud(int fd);

} // namespace serial_backend
