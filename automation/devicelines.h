#pragma once

#include "serial/controllines.h"

#include <cstdint>

// The control lines of a device opened by path (a descriptor the caller keeps), for
// the command line. DTR, RTS and the break; the rest reports "not supported".
class DeviceControlLines final : public ControlLines
{
public:
    explicit DeviceControlLines(intptr_t handle)
        : m_handle(handle)
    { }

    [[nodiscard]] Result<ModemLines> lines() override;
    [[nodiscard]] Status setLine(ModemLine line, bool on) override;
    [[nodiscard]] Status setBreak(bool on) override;

private:
    intptr_t m_handle;
};
