#pragma once

// The modem lines of byteway-device (--lines), played through libbyteway-modemsim:
// a watch thread makes CTS follow RTS and DSR follow DTR, as a loopback plug does,
// and reports every change of DTR and RTS and every break with its time; a command
// FIFO (--commands) sets DCD and RI. Header only, so that the device stays the two
// files that tools/test-windows.sh compiles.

#include "modemsim.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

class DeviceLines
{
public:
    using Clock = std::chrono::steady_clock;

    DeviceLines(int master, Clock::time_point start)
        : m_master(master)
        , m_start(start)
    { }

    // Starts the threads; they live as long as the process.
    void start(const std::string &commands)
    {
        int lines = 0;
        if (ioctl(m_master, TIOCMGET, &lines) != 0) {
            say("no modem lines here (run with LD_PRELOAD=libbyteway-modemsim.so): %s",
                std::strerror(errno));
            return;
        }
        say("lines DTR %d RTS %d", (lines & TIOCM_DTR) ? 1 : 0, (lines & TIOCM_RTS) ? 1 : 0);
        follow(lines);
        std::thread([this, lines] { watch(lines); }).detach();
        if (!commands.empty()) {
            ::unlink(commands.c_str());
            if (::mkfifo(commands.c_str(), 0600) != 0) {
                say("cannot create %s: %s", commands.c_str(), std::strerror(errno));
                return;
            }
            m_commands = commands;
            // Read and write, so the FIFO never reads as ended between two writers.
            const int fd = ::open(commands.c_str(), O_RDWR | O_CLOEXEC);
            std::thread([this, fd] { takeCommands(fd); }).detach();
        }
    }

    ~DeviceLines()
    {
        if (!m_commands.empty()) {
            ::unlink(m_commands.c_str());
        }
    }

private:
    template <class... Args>
    void say(const char *format, Args... args)
    {
        const std::lock_guard<std::mutex> lock(m_output);
        std::printf("byteway-device: ");
        // NOLINTNEXTLINE(cppcoreguidelines-pro-type-vararg)
        std::printf(format, args...);
        std::printf(" at %.1f ms\n", msNow());
        std::fflush(stdout);
    }

    double msNow() const
    {
        return std::chrono::duration<double, std::milli>(Clock::now() - m_start).count();
    }

    void setLine(int bit, bool on) { ioctl(m_master, on ? TIOCMBIS : TIOCMBIC, &bit); }

    void follow(int lines)
    {
        setLine(TIOCM_CTS, (lines & TIOCM_RTS) != 0);
        setLine(TIOCM_DSR, (lines & TIOCM_DTR) != 0);
    }

    void watch(int last)
    {
        Clock::time_point breakStart;
        for (;;) {
            const int mask = TIOCM_DTR | TIOCM_RTS | kModemSimBreak;
            if (ioctl(m_master, TIOCMIWAIT, mask) != 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            int lines = 0;
            if (ioctl(m_master, TIOCMGET, &lines) != 0) {
                continue;
            }
            const int changed = lines ^ last;
            last = lines;
            follow(lines);
            if (changed & TIOCM_DTR) {
                say("DTR %s", (lines & TIOCM_DTR) ? "on" : "off");
            }
            if (changed & TIOCM_RTS) {
                say("RTS %s", (lines & TIOCM_RTS) ? "on" : "off");
            }
            if ((changed & kModemSimBreak) && (lines & kModemSimBreak)) {
                breakStart = Clock::now();
            } else if (changed & kModemSimBreak) {
                say("break of %.1f ms",
                    std::chrono::duration<double, std::milli>(Clock::now() - breakStart).count());
            }
        }
    }

    void takeCommands(int fd)
    {
        std::string pending;
        char buffer[256];
        for (;;) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n <= 0) {
                return;
            }
            pending.append(buffer, static_cast<size_t>(n));
            for (auto end = pending.find('\n'); end != std::string::npos;
                 end = pending.find('\n')) {
                command(pending.substr(0, end));
                pending.erase(0, end + 1);
            }
        }
    }

    void command(const std::string &line)
    {
        const bool dcd = line.rfind("dcd ", 0) == 0;
        const bool ri = line.rfind("ri ", 0) == 0;
        const std::string value = line.substr(line.find(' ') + 1);
        if ((!dcd && !ri) || (value != "0" && value != "1")) {
            say("unknown command \"%s\" (dcd 0|1, ri 0|1)", line.c_str());
            return;
        }
        setLine(dcd ? TIOCM_CAR : TIOCM_RNG, value == "1");
        say("%s %s", dcd ? "DCD" : "RI", value == "1" ? "on" : "off");
    }

    const int m_master;
    const Clock::time_point m_start;
    std::mutex m_output;
    std::string m_commands;
};
