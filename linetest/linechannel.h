#pragma once

#include "base/linecodes.h"
#include "base/status.h"
#include "serial/lineerrors.h"

#include <chrono>
#include <cstddef>
#include <cstdint>

// The line a test runs over: a device opened by path, or the program's port. Writing
// and reading happen on two threads at once; neither call holds a lock that the other
// needs.
class LineChannel
{
public:
    virtual ~LineChannel() = default;

    // Writes up to `size` bytes, waiting at most `waitMs` for room; the count written
    // (0 when the line took nothing in time).
    [[nodiscard]] virtual Result<std::size_t> Write(
        const uint8_t *data, std::size_t size, int waitMs)
        = 0;
    // Reads what is waiting, up to `size` bytes, waiting at most `waitMs` for the
    // first; 0 when nothing came.
    [[nodiscard]] virtual Result<std::size_t> Read(uint8_t *data, std::size_t size, int waitMs) = 0;
    // Throws away what arrived before the test: bytes waiting now, and those that
    // follow within a short quiet time, at most for a fifth of a second. Reading thread.
    virtual void DiscardInput()
    {
        uint8_t scrap[256];
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
        for (;;) {
            const Result<std::size_t> count = Read(scrap, sizeof scrap, 0);
            if (!count || *count == 0 || std::chrono::steady_clock::now() >= end) {
                return;
            }
        }
    }
    // The driver's line error counters (false where there are none, as on a
    // pseudo-terminal).
    [[nodiscard]] virtual bool LineErrors(LineErrorCounts &counts) const = 0;
};

// Line settings in the terms of SerialPort::Open.
struct LineFraming
{
    int32_t baudRate = 115200;
    uint8_t dataBits = 8; // 5..8
    uint8_t parity = ParityNone; // a ParityCode
    uint8_t stopBits = StopBitsOne; // a StopBitsCode

    // Bits on the line per character: start, data, parity, stop.
    [[nodiscard]] double bitsPerCharacter() const
    {
        const double stop = stopBits == StopBitsOne ? 1.0
            : stopBits == StopBitsOneAndHalf        ? 1.5
                                                    : 2.0;
        return 1.0 + dataBits + (parity != ParityNone ? 1.0 : 0.0) + stop;
    }
    // The most characters a second the line can carry.
    [[nodiscard]] double capacity() const { return baudRate / bitsPerCharacter(); }
};
