#pragma once

#include "base/status.h"

#include <atomic>
#include <cstddef>
#include <cstdint>

class SerialPort;

// The two directions of the line as a transfer sees them. One thread (the
// transfer's) calls read and write; `cancel` may be set from any thread and makes a
// waiting read end early.
class TransferLink
{
public:
    virtual ~TransferLink() = default;
    // Waits up to `timeoutMs` for one byte. False on time-out or when the cancel
    // mark is set.
    [[nodiscard]] virtual bool read(uint8_t &byte, int timeoutMs) = 0;
    // Writes all of `data` or says why not.
    [[nodiscard]] virtual Status write(const uint8_t *data, std::size_t size) = 0;

    void setCancelMark(const std::atomic<bool> *mark) { m_cancel = mark; }
    [[nodiscard]] bool cancelled() const
    {
        return m_cancel != nullptr && m_cancel->load(std::memory_order_relaxed);
    }

private:
    const std::atomic<bool> *m_cancel = nullptr;
};

// The link over a SerialPort: reads with ReadByte, writes with WriteBytes, and hands
// every byte that passed to the capture tap, so capture sees a transfer both ways.
// The caller must own the port's reading side while the link is in use (no
// reception running).
class PortLink : public TransferLink
{
public:
    explicit PortLink(SerialPort &port)
        : m_port(port)
    { }
    [[nodiscard]] bool read(uint8_t &byte, int timeoutMs) override;
    [[nodiscard]] Status write(const uint8_t *data, std::size_t size) override;

private:
    SerialPort &m_port;
    std::atomic<bool> m_never { false };
};
