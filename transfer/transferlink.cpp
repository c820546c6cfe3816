#include "transferlink.h"

#include "capture/traffic.h"
#include "serial/serialport.h"

#include <chrono>

bool PortLink::read(uint8_t &byte, int timeoutMs)
{
    // Bytes read ahead come without a look at the clock: a block is read byte by byte.
    if (m_port.ReadByte(byte) == 1) {
        Traffic.received(byte);
        return true;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    // ReadByte waits at most about 50 ms a call, so the cancel mark is seen soon.
    do {
        if (cancelled()) {
            return false;
        }
        if (m_port.ReadByte(byte) == 1) {
            Traffic.received(byte);
            return true;
        }
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
}

Status PortLink::write(const uint8_t *data, std::size_t size)
{
    const std::size_t written = m_port.WriteBytes(data, size, m_never);
    for (std::size_t i = 0; i < written; ++i) {
        Traffic.sent(data[i]);
    }
    if (written == size) {
        return {};
    }
    if (!m_port.isOpen()) {
        return { ErrorKind::Lost, "the port closed during the transfer" };
    }
    return { ErrorKind::Io, "the port did not take the data within 100 ms" };
}
