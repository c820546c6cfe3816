#pragma once

#include "controllines.h"

class SerialPort;

// The control lines of a SerialPort's open device, through its backend. Each call
// acts on the port open at that moment; on a closed port it fails with Invalid, on a
// lost one with Lost.
class PortControlLines : public ControlLines
{
public:
    explicit PortControlLines(SerialPort &port)
        : m_port(port)
    { }

    [[nodiscard]] Result<ModemLines> lines() override;
    [[nodiscard]] Status setLine(ModemLine line, bool on) override;
    [[nodiscard]] Status setBreak(bool on) override;
    [[nodiscard]] Result<FlowControl> flowControl() override;
    [[nodiscard]] Result<Rs485Settings> rs485() override;
    [[nodiscard]] Status setRs485(const Rs485Settings &settings) override;

private:
    SerialPort &m_port;
};
