#pragma once

#include "lineerrors.h"
#include "openfailure.h"

#include <cstddef>
#include <cstdint>
#include <string>

// The platform side of SerialPort: one backend file per system implements these.
// A handle is the platform's device handle as one word; kInvalidHandle (-1) is both
// the invalid POSIX descriptor and Win32's INVALID_HANDLE_VALUE. Internal to the
// serial library and its tests.
namespace serial_backend {

constexpr intptr_t kInvalidHandle = -1;
// Never a handle of either system: marks the slot of a port whose device went away
// while it was open (see SerialPort).
constexpr intptr_t kLostHandle = -2;

// kHasErrorState: whether ClearErrors does anything here (where it does not, the
// per-byte path leaves the call out).
#ifdef _WIN32
constexpr bool kHasErrorState = true;
#else
constexpr bool kHasErrorState = false;
#endif

// The outcome of one read attempt.
enum class Attempt {
    Byte, // bytes arrived (at least one)
    Nothing, // the attempt's time-out passed, or it was woken, with nothing
    Failed, // the device refused at once (gone, hung up)
};

// Opens and configures the device of port `port` (1..8). kInvalidHandle with
// `failure` filled in on failure; the device is then released again.
intptr_t OpenDevice(int32_t port, int32_t baudRate, uint8_t parity, uint8_t stopBits,
    uint8_t dataBits, OpenFailure &failure);

// Releases a handle that OpenDevice returned.
void CloseDevice(intptr_t handle);

// Clears the device's error state (line errors would otherwise hold up transfers);
// false when the device did not answer.
[[nodiscard]] bool ClearErrors(intptr_t handle);

// The line errors counted on `handle`; false when the driver does not count them.
bool ReadLineErrors(intptr_t handle, LineErrorCounts &counts);

// A wake-up that Open and Close send to a read attempt waiting on another thread,
// so that the attempt ends at once and the next one fetches the handle afresh.
// POSIX (Linux): an eventfd. kInvalidHandle where there is none; read attempts
// must then wait at most about 1 ms each.
intptr_t CreateWaker();
void DestroyWaker(intptr_t waker);
void Wake(intptr_t waker);

// One read attempt: bytes already waiting are taken at once, else it waits up to
// `waitMs` (POSIX) or its 1 ms time-out (Win32) for some, and ends early when
// `waker` is woken. On Attempt::Byte, `buffer` holds the `count` bytes that arrived
// (1..size, in order): all that were waiting, up to `size`, where the backend reads
// ahead (POSIX), one where it does not (Win32). Otherwise `count` is 0.
Attempt ReadChunk(intptr_t handle, intptr_t waker, int waitMs, uint8_t *buffer, std::size_t size,
    std::size_t &count);

// One write attempt of at most about 1 ms; true when exactly one byte went out.
bool WriteAttempt(intptr_t handle, uint8_t byte);

// One write attempt of many bytes, of at most about 1 ms: how many of the `size`
// bytes of `data` went out (0 when none did).
std::size_t WriteChunk(intptr_t handle, const uint8_t *data, std::size_t size);

// A millisecond tick count from an arbitrary start; only differences are used.
uint32_t TickMs();

// Sleeps about one millisecond (used when an attempt could not wait by itself).
void SleepOneMs();

// Waits up to `waitMs` for `waker` (a port with no device to wait on: closed or
// gone); where there is no wake-up, sleeps about one millisecond.
void WaitForWake(intptr_t waker, int waitMs);

std::string DeviceName(int32_t port);
// The system's own device for port `port`, which applies when no link maps it.
std::string SystemDeviceName(int32_t port);

// Whether the device behind an open handle has gone away (unplugged, hung up, the
// other side of a pseudo-terminal closed), asked after an attempt failed and from
// time to time while the port is idle. Never waits.
bool DeviceGone(intptr_t handle);

// The path of the link that maps port `port` to a device (POSIX: <config>/byteway/
// comN); empty where port numbers map to fixed device names (Windows).
std::string MappingLink(int32_t port);

} // namespace serial_backend
