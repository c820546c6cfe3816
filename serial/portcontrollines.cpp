#include "portcontrollines.h"

#include "portio.h"
#include "serialport.h"

namespace backend = port_io;

namespace {

// Runs `action` on the port's handle, a device's or a network link's.
template <class Action>
Status onDevice(SerialPort &port, Action action)
{
    return port.withOpenHandle([&](intptr_t handle) { return action(handle); });
}

// A value read on the port's handle.
template <class T, class Read>
Result<T> readOn(SerialPort &port, Read read)
{
    std::optional<T> value;
    const Status status = onDevice(port, [&](intptr_t handle) {
        Result<T> result = read(handle);
        if (!result) {
            return result.status();
        }
        value = *result;
        return Status();
    });
    if (!status) {
        return status;
    }
    return *value;
}

} // namespace

Result<ModemLines> PortControlLines::lines()
{
    return readOn<ModemLines>(m_port, backend::GetModemLines);
}

Status PortControlLines::setLine(ModemLine line, bool on)
{
    return onDevice(
        m_port, [&](intptr_t handle) { return backend::SetModemLine(handle, line, on); });
}

Status PortControlLines::setBreak(bool on)
{
    return onDevice(m_port, [&](intptr_t handle) { return backend::SetBreak(handle, on); });
}

Result<FlowControl> PortControlLines::flowControl()
{
    return readOn<FlowControl>(m_port, backend::GetFlowControl);
}

Result<Rs485Settings> PortControlLines::rs485()
{
    return readOn<Rs485Settings>(m_port, backend::GetRs485);
}

Status PortControlLines::setRs485(const Rs485Settings &settings)
{
    return onDevice(m_port, [&](intptr_t handle) { return backend::SetRs485(handle, settings); });
}
