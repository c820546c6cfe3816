#pragma once

#include <cstdint>

// Releases a device handle on every way out of an open path, unless the path
// succeeds and takes the handle with release(). The handle is one word, as the
// backends keep it (a POSIX descriptor or a Win32 HANDLE); `close` is how this
// kind of handle is released. A guard of an invalid handle does nothing.
class HandleGuard
{
public:
    using Close = void (*)(intptr_t);

    HandleGuard(intptr_t handle, intptr_t invalid, Close close) noexcept
        : m_handle(handle)
        , m_invalid(invalid)
        , m_close(close)
    { }
    ~HandleGuard()
    {
        if (m_handle != m_invalid) {
            m_close(m_handle);
        }
    }
    HandleGuard(const HandleGuard &) = delete;
    HandleGuard &operator=(const HandleGuard &) = delete;

    intptr_t get() const noexcept { return m_handle; }
    bool valid() const noexcept { return m_handle != m_invalid; }
    // Gives the handle up: the guard no longer releases it.
    intptr_t release() noexcept
    {
        const intptr_t handle = m_handle;
        m_handle = m_invalid;
        return handle;
    }

private:
    intptr_t m_handle;
    intptr_t m_invalid;
    Close m_close;
};
