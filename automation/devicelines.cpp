#include "devicelines.h"

#include "serial/controllines_backend.h"

Result<ModemLines> DeviceControlLines::lines()
{
    return serial_backend::GetModemLines(m_handle);
}

Status DeviceControlLines::setLine(ModemLine line, bool on)
{
    return serial_backend::SetModemLine(m_handle, line, on);
}

Status DeviceControlLines::setBreak(bool on)
{
    return serial_backend::SetBreak(m_handle, on);
}
