#pragma once

#include "controllines.h"

#include <cstdint>

// The platform side of the control lines, on a handle that OpenDevice returned
// (one file per system: controllines_posix.cpp, controllines_win.cpp). Every call
// returns at once. Internal to the serial library and its tests.
namespace serial_backend {

// Whether `handle` is a device of the system (a descriptor or a Win32 handle, both
// non-negative). A port carried some other way (a network link) has a handle of its
// own kind, which these calls must never be given: its control lines are what that
// carrier offers, and until it offers them they are reported as not supported.
[[nodiscard]] constexpr bool IsDeviceHandle(intptr_t handle)
{
    return handle >= 0;
}

[[nodiscard]] Result<ModemLines> GetModemLines(intptr_t handle);
// DTR or RTS only; an input line is Invalid.
[[nodiscard]] Status SetModemLine(intptr_t handle, ModemLine line, bool on);
[[nodiscard]] Status SetBreak(intptr_t handle, bool on);
[[nodiscard]] Result<FlowControl> GetFlowControl(intptr_t handle);
// Leave does nothing.
[[nodiscard]] Status SetFlowControl(intptr_t handle, FlowControl flow);
[[nodiscard]] Result<Rs485Settings> GetRs485(intptr_t handle);
[[nodiscard]] Status SetRs485(intptr_t handle, const Rs485Settings &settings);

// Forgets what was kept about a handle that CloseDevice is releasing (its number
// may come back for another device).
void ForgetControlLines(intptr_t handle);

// Carries out the options Open has besides the line settings, on a device just
// opened: flow control, then RS-485, then DTR and RTS (after RS-485, which may
// drive RTS itself). Every option at its default touches nothing. The first
// failure is returned, but the remaining options are still tried.
[[nodiscard]] Status ApplyOpenOptions(intptr_t handle, const OpenLineOptions &options);

} // namespace serial_backend
