#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <cstdint>

#include <windows.h>

namespace serial_backend {

// The port keeps every system's handle as an intptr_t, so that the POSIX descriptor
// and the Win32 HANDLE share one slot; here it goes back to what it is.
inline HANDLE asHandle(intptr_t handle)
{
    // A HANDLE kept as an integer, by design.
    // NOLINTNEXTLINE(performance-no-int-to-ptr)
    return reinterpret_cast<HANDLE>(handle);
}

} // namespace serial_backend
