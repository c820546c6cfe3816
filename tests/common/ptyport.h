#pragma once

#include "ptydevice.h"
#include "serial/serialport.h"

#include <cstddef>
#include <string>

// A SerialPort opened on one side of a real pseudo-terminal pair, for the tests
// and benchmarks of sending and receiving. The other side ("far side") plays the
// device. XDG_CONFIG_HOME points at a temporary folder holding the com1 link for
// the object's lifetime. One at a time per process.
class PtyPort
{
public:
    // `openPort`: open the object's own `port` (else the com1 link is only made,
    // for another SerialPort such as the program's Port to open).
    explicit PtyPort(bool openPort = true);
    ~PtyPort();
    PtyPort(const PtyPort &) = delete;
    PtyPort &operator=(const PtyPort &) = delete;

    // The pseudo-terminal exists and the port (when asked for) was opened on it.
    bool isOpen() const { return m_device.master() >= 0 && (port.isOpen() || !m_openPort); }
    // Writes all of `bytes` on the far side.
    bool send(const std::string &bytes) const { return m_device.send(bytes); }
    // Reads what the far side has received within `timeoutMs`, up to `count` bytes.
    std::string receive(std::size_t count, int timeoutMs) const
    {
        return m_device.receive(count, timeoutMs);
    }
    // The far side's descriptor.
    int farSide() const { return m_device.master(); }

    SerialPort port;

private:
    TempConfigHome m_home;
    PtyDevice m_device;
    bool m_openPort = true;
};
