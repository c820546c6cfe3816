#pragma once

#include <cstdint>

// The line errors a serial driver has counted: characters with a framing or
// parity error, characters lost because the UART or the driver's buffer was full,
// and breaks.
struct LineErrorCounts
{
    uint32_t frame = 0;
    uint32_t parity = 0;
    uint32_t overrun = 0;
    uint32_t bufferOverrun = 0;
    uint32_t breaks = 0;

    uint64_t total() const
    {
        return uint64_t { frame } + parity + overrun + bufferOverrun + breaks;
    }
    friend bool operator==(const LineErrorCounts &, const LineErrorCounts &) = default;
};
