#pragma once

// libbyteway-modemsim: a library preloaded (LD_PRELOAD) into the programs at both
// ends of a pseudo-terminal, which gives the pair the modem lines, the break and the
// RS-485 settings of a UART. A pseudo-terminal has none of them; with this library
// the program on the slave side (the serial port) and the one on the master side
// (byteway-device playing the device) see each other's lines.
//
// The pair's state is a small file shared by both ends, <dir>/byteway-modemsim-ptsN
// (dir: BYTEWAY_MODEMSIM_DIR, else /tmp), mapped into each process. It starts afresh
// for each new pair (it remembers the creation time of /dev/pts/N).
//
// The slave is the port: it drives DTR and RTS and reads CTS, DSR, DCD and RI. The
// master is the device: it drives CTS, DSR, DCD and RI and reads DTR and RTS, and
// sees a break that the slave holds as kModemSimBreak in TIOCMGET. Both ends read all
// six lines with TIOCMGET. Requests the library takes over on a pseudo-terminal:
// TIOCMGET, TIOCMSET, TIOCMBIS, TIOCMBIC, TIOCMIWAIT, TIOCGICOUNT, TIOCSBRK,
// TIOCCBRK, TIOCGRS485, TIOCSRS485, and tcsendbreak(). Everything else, and every
// request on another file, goes to the system.
//
// BYTEWAY_MODEMSIM_NO_RS485=1 leaves the RS-485 requests to the system (which
// refuses them), as a UART driver without RS-485 does.
//
// A device that vanishes: with BYTEWAY_MODEMSIM_VANISHING naming a pseudo-terminal
// (its slave, or a link to it) and BYTEWAY_MODEMSIM_VANISH_TRIGGER a file, the first
// read of that terminal after the file appears fails with EIO, and so does every
// later read and ioctl on it, as on a USB adapter pulled out. Closing the master end
// cannot show this to a program under Wine, whose reads of a hung-up terminal go on
// finding nothing.

// A private TIOCMGET bit on the master side: the slave holds a break.
constexpr int kModemSimBreak = 0x10000;
