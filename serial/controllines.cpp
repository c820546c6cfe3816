#include "controllines.h"

#include <string>

bool ModemLines::get(ModemLine line) const
{
    switch (line) {
    case ModemLine::Dtr:
        return dtr;
    case ModemLine::Rts:
        return rts;
    case ModemLine::Cts:
        return cts;
    case ModemLine::Dsr:
        return dsr;
    case ModemLine::Dcd:
        return dcd;
    case ModemLine::Ri:
        return ri;
    }
    return false;
}

void ModemLines::set(ModemLine line, bool on)
{
    switch (line) {
    case ModemLine::Dtr:
        dtr = on;
        break;
    case ModemLine::Rts:
        rts = on;
        break;
    case ModemLine::Cts:
        cts = on;
        break;
    case ModemLine::Dsr:
        dsr = on;
        break;
    case ModemLine::Dcd:
        dcd = on;
        break;
    case ModemLine::Ri:
        ri = on;
        break;
    }
}

bool ModemLines::known(ModemLine line) const
{
    return (unknown & (1U << static_cast<unsigned>(line))) == 0;
}

void ModemLines::setKnown(ModemLine line, bool isKnown)
{
    const auto bit = static_cast<uint8_t>(1U << static_cast<unsigned>(line));
    unknown = static_cast<uint8_t>(isKnown ? unknown & ~bit : unknown | bit);
}

Status ControlLines::NotSupported(const char *what)
{
    return { ErrorKind::Refused, std::string(what) + ": not supported by this port" };
}

Result<ModemLines> ControlLines::lines()
{
    return NotSupported("reading the modem lines");
}

Status ControlLines::setLine(ModemLine, bool)
{
    return NotSupported("setting a modem line");
}

Status ControlLines::setBreak(bool)
{
    return NotSupported("sending a break");
}

Result<FlowControl> ControlLines::flowControl()
{
    return NotSupported("reading the flow control");
}

Result<Rs485Settings> ControlLines::rs485()
{
    return NotSupported("RS-485");
}

Status ControlLines::setRs485(const Rs485Settings &)
{
    return NotSupported("RS-485");
}
