#pragma once

#include <cstddef>
#include <string>

#include <termios.h>

// Test helpers on real pseudo-terminals.

// Points XDG_CONFIG_HOME (and HOME) at a fresh temporary folder for its lifetime,
// so the port mapping links never touch the real user's configuration.
class TempConfigHome
{
public:
    TempConfigHome();
    ~TempConfigHome();
    TempConfigHome(const TempConfigHome &) = delete;
    TempConfigHome &operator=(const TempConfigHome &) = delete;

    const std::string &root() const { return m_root; }
    // The byteway folder inside XDG_CONFIG_HOME (created).
    std::string bytewayFolder() const;
    // Links <byteway folder>/comN to `target` (which need not exist).
    void link(int port, const std::string &target) const;

private:
    std::string m_root;
    std::string m_savedXdg, m_savedHome;
    bool m_hadXdg = false, m_hadHome = false;
};

// A pseudo-terminal pair standing in for a device. The test keeps the slave side
// open itself: a pty master sees a hang-up whenever no one holds the slave.
class PtyDevice
{
public:
    // `raw`: the slave starts with the line discipline and software flow control off
    // (as a serial device with no flow control); otherwise with the pty's defaults.
    explicit PtyDevice(bool raw = true);
    ~PtyDevice();
    PtyDevice(const PtyDevice &) = delete;
    PtyDevice &operator=(const PtyDevice &) = delete;

    const std::string &slaveName() const { return m_name; }
    int master() const { return m_master; }
    int slave() const { return m_slave; }

    termios slaveSettings() const;
    void setSlaveSettings(const termios &settings) const;

    // Writes all of `bytes` to the master side.
    bool send(const std::string &bytes) const;
    // Reads `count` bytes from the master side, waiting up to `timeoutMs` in all.
    std::string receive(std::size_t count, int timeoutMs) const;
    // Closes both sides, as when a device is unplugged.
    void unplug();

private:
    int m_master = -1;
    int m_slave = -1;
    std::string m_name;
};

// CPU time (user + system) used so far by the calling thread, in milliseconds.
double ThreadCpuMs();
