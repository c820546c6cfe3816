#pragma once

#include "controllines.h"
#include "serialport_backend.h"

#include <chrono>
#include <cstdint>

// What SerialPort calls for its transfers: the system's backend for device files,
// a network link (net/netlink.h) for a port whose comN link names a network
// address (portaddress.h). A network handle is the negated address of its NetLink,
// a value below -4096 that neither a descriptor nor a Win32 handle ever takes, so
// that the per-byte paths need one comparison to choose. Internal to the serial
// library and its tests.
namespace port_io {

using serial_backend::Attempt;
using serial_backend::CreateWaker;
using serial_backend::DestroyWaker;
using serial_backend::DeviceName;
using serial_backend::kHasErrorState;
using serial_backend::kInvalidHandle;
using serial_backend::kLostHandle;
using serial_backend::SleepOneMs;
using serial_backend::TickMs;
using serial_backend::WaitForWake;
using serial_backend::Wake;

// How long Open waits for a network port before leaving it connecting in the
// background: short enough not to freeze the window that calls it.
constexpr std::chrono::milliseconds kOpenWait { 100 };

[[nodiscard]] bool IsNetHandle(intptr_t handle);

// Opens port `port`: its network address when its link names one, else its device.
// An RFC 2217 link carries the flow control and the lines at open of `options` in
// its negotiation (a refused flow control fails it like a refused baud rate); a
// device gets them from ApplyOpenOptions.
intptr_t OpenDevice(int32_t port, int32_t baudRate, uint8_t parity, uint8_t stopBits,
    uint8_t dataBits, const OpenLineOptions &options, OpenFailure &failure);
// What Open does besides the line settings, on a handle just opened (see
// serial_backend::ApplyOpenOptions); for a network link, what its negotiation could
// not carry.
[[nodiscard]] Status ApplyOpenOptions(intptr_t handle, const OpenLineOptions &options);

// The control lines of either kind of handle: a device's through the system, an
// RFC 2217 link's through SET-CONTROL and NOTIFY-MODEMSTATE. A raw TCP link has
// none; RS-485 belongs to devices alone.
[[nodiscard]] Result<ModemLines> GetModemLines(intptr_t handle);
[[nodiscard]] Status SetModemLine(intptr_t handle, ModemLine line, bool on);
[[nodiscard]] Status SetBreak(intptr_t handle, bool on);
[[nodiscard]] Result<FlowControl> GetFlowControl(intptr_t handle);
[[nodiscard]] Result<Rs485Settings> GetRs485(intptr_t handle);
[[nodiscard]] Status SetRs485(intptr_t handle, const Rs485Settings &settings);
void CloseDevice(intptr_t handle);
[[nodiscard]] bool ClearErrors(intptr_t handle);
bool ReadLineErrors(intptr_t handle, LineErrorCounts &counts);
Attempt ReadChunk(intptr_t handle, intptr_t waker, int waitMs, uint8_t *buffer, std::size_t size,
    std::size_t &count);
bool WriteAttempt(intptr_t handle, uint8_t byte);
// Many bytes in one attempt where the device takes them so; a network link takes
// them one at a time. How many went out.
std::size_t WriteChunk(intptr_t handle, const uint8_t *data, std::size_t size);
bool DeviceGone(intptr_t handle);

// Where a network handle's connection stands; Ready for devices.
enum class LinkPhase { Ready, Connecting, Failed };
[[nodiscard]] LinkPhase Phase(intptr_t handle);
// The last NOTIFY-MODEMSTATE of an RFC 2217 port; false when none came.
[[nodiscard]] bool ModemState(intptr_t handle, uint8_t &state);
// Why a network link that has failed did so (kind None while it connects or is
// open, and for devices).
[[nodiscard]] OpenFailure LinkFailure(intptr_t handle);
// Why the network link released last was lost (kind None when it was closed on
// purpose); taken once.
[[nodiscard]] OpenFailure TakeDropReason();
// The same without taking it.
[[nodiscard]] OpenFailure DropReason();
// Keeps why a network link that failed did so as the drop reason, before the port
// lets go of it (so that a port read as lost never lacks its reason); nothing for
// devices and links that have not failed.
void NoteDrop(intptr_t handle);

// The time-outs of connecting and of the RFC 2217 negotiation, for every later
// open (tests shorten them).
void SetNetTimeouts(std::chrono::milliseconds connect, std::chrono::milliseconds negotiate);

} // namespace port_io
