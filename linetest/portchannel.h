#pragma once

#include "linechannel.h"

#include <atomic>

class SerialPort;

// The program's port as it is open (its line settings, its control lines), for the
// line test window. Writes go byte by byte through WriteByte, reads take the bytes
// read ahead in one go.
class PortChannel final : public LineChannel
{
public:
    explicit PortChannel(SerialPort &port);

    Result<std::size_t> Write(const uint8_t *data, std::size_t size, int waitMs) override;
    Result<std::size_t> Read(uint8_t *data, std::size_t size, int waitMs) override;
    bool LineErrors(LineErrorCounts &counts) const override;

private:
    SerialPort &m_port;
    const std::atomic<bool> m_never { false };
};
