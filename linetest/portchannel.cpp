#include "portchannel.h"

#include "serial/serialport.h"

PortChannel::PortChannel(SerialPort &port)
    : m_port(port)
{ }

Result<std::size_t> PortChannel::Write(const uint8_t *data, std::size_t size, int)
{
    std::size_t written = 0;
    while (written < size && m_port.WriteByte(data[written], m_never) == 1) {
        ++written;
    }
    if (written == 0 && !m_port.isOpen()) {
        return Status(ErrorKind::Lost, "the port is not open");
    }
    return written;
}

Result<std::size_t> PortChannel::Read(uint8_t *data, std::size_t size, int)
{
    if (size == 0) {
        return std::size_t { 0 };
    }
    // ReadByte waits (up to its own budget) for the first byte.
    if (m_port.ReadByte(data[0]) != 1) {
        if (!m_port.isOpen()) {
            return Status(ErrorKind::Lost, "the port is not open");
        }
        return std::size_t { 0 };
    }
    return 1 + m_port.TakeReadAhead(data + 1, size - 1);
}

bool PortChannel::LineErrors(LineErrorCounts &counts) const
{
    return m_port.lineErrors(counts);
}
