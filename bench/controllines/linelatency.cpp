// The time from a change of DCD on the far side of a pseudo-terminal to the lamp
// of the control-line strip showing it, 50 times, with the strip reading the port
// as the main window's does. Needs the modem lines of libbyteway-modemsim:
//   export QT_QPA_PLATFORM=offscreen LD_PRELOAD=build/lib/libbyteway-modemsim.so
//   build/bin/linelatency_bench
// Prints the smallest, median and largest delay in milliseconds.

#include "controllines/linestrip.h"
#include "serial/portcontrollines.h"
#include "serial/serialport.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

#include <pty.h>
#include <sys/ioctl.h>
#include <unistd.h>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path()));
    int master = -1, slave = -1;
    char name[256] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        std::perror("openpty");
        return 1;
    }
    QDir().mkpath(home.filePath(QStringLiteral("byteway")));
    if (::symlink(name, QFile::encodeName(home.filePath(QStringLiteral("byteway/com1")))) != 0) {
        std::perror("symlink");
        return 1;
    }
    SerialPort port;
    if (!port.Open(1, 115200, 0, 0, 8)) {
        std::fprintf(stderr, "open: %s\n", port.lastError().c_str());
        return 1;
    }
    PortControlLines lines(port);
    if (!lines.lines().ok()) {
        std::fprintf(stderr, "no modem lines (preload libbyteway-modemsim): %s\n",
            lines.lines().status().reason().c_str());
        return 1;
    }
    LineStrip strip(lines);
    std::vector<double> delays;
    for (int round = 0; round < 50; ++round) {
        const bool on = round % 2 == 0;
        const int bit = TIOCM_CAR;
        QElapsedTimer clock;
        // Changes land at any point of the strip's reading cycle.
        QElapsedTimer pause;
        pause.start();
        while (pause.elapsed() < 37 + (round * 13) % 100) {
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        }
        clock.start();
        ioctl(master, on ? TIOCMBIS : TIOCMBIC, &bit);
        while (strip.LineDCD->isChecked() != on && clock.elapsed() < 2000) {
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 1);
        }
        delays.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
    }
    std::sort(delays.begin(), delays.end());
    std::printf("DCD change to lamp, %zu changes: min %.1f ms, median %.1f ms, max %.1f ms\n",
        delays.size(), delays.front(), delays[delays.size() / 2], delays.back());
    ::close(master);
    ::close(slave);
    return 0;
}
