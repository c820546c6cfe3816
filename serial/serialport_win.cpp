// Win32 communications backend of SerialPort: port N is the device "COMn".

#include "controllines_backend.h"
#include "handleguard.h"
#include "serialport_backend.h"
#include "winhandle.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <string>

namespace serial_backend {

namespace {

// The errors ClearCommError reported on each open handle, since it was opened. The
// lock is taken only when an error came, or to read the counts.
std::mutex errorsMutex;
std::map<intptr_t, LineErrorCounts> errorsByHandle;

std::string systemError(const std::string &device, const char *what)
{
    const DWORD code = GetLastError();
    char text[256] = {};
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, text, sizeof text, nullptr);
    std::string message = device + ": " + what + ": ";
    if (length > 0) {
        message.append(text, length);
    } else {
        message += "error " + std::to_string(code);
    }
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) {
        message.pop_back();
    }
    return message;
}

// Clears the device's error state and counts what it reported; false when the
// device did not answer.
bool takeErrors(intptr_t handle)
{
    DWORD errors = 0;
    COMSTAT status {};
    if (ClearCommError(asHandle(handle), &errors, &status) == 0) {
        return false;
    }
    if (errors == 0) {
        return true;
    }
    const std::lock_guard lock(errorsMutex);
    LineErrorCounts &counts = errorsByHandle[handle];
    counts.frame += (errors & CE_FRAME) ? 1 : 0;
    counts.parity += (errors & CE_RXPARITY) ? 1 : 0;
    counts.overrun += (errors & CE_OVERRUN) ? 1 : 0;
    counts.bufferOverrun += (errors & CE_RXOVER) ? 1 : 0;
    counts.breaks += (errors & CE_BREAK) ? 1 : 0;
    return true;
}

OpenFailure::Kind failureKind(DWORD code)
{
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return OpenFailure::Kind::Missing;
    // A COM port that another program holds answers with "access denied".
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        return OpenFailure::Kind::Busy;
    default:
        return OpenFailure::Kind::Refused;
    }
}

} // namespace

std::string MappingLink(int32_t)
{
    return {};
}

bool DeviceGone(intptr_t handle)
{
    // A device that has gone (a USB adapter pulled out; under Wine, a terminal hung
    // up) refuses even to report its error state, while a quiet one answers.
    return !takeErrors(handle);
}

std::string DeviceName(int32_t port)
{
    return SystemDeviceName(port);
}

std::string SystemDeviceName(int32_t port)
{
    return "COM" + std::to_string(port);
}

intptr_t OpenDevice(int32_t port, int32_t baudRate, uint8_t parity, uint8_t stopBits,
    uint8_t dataBits, OpenFailure &failure)
{
    const std::string device = DeviceName(port);
    failure.device = device;
    std::string &error = failure.detail;
    const HANDLE raw = CreateFileA(
        device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (raw == INVALID_HANDLE_VALUE) {
        failure.kind = failureKind(GetLastError());
        error = systemError(device, "opening");
        return kInvalidHandle;
    }
    failure.kind = OpenFailure::Kind::Refused;
    HandleGuard guard(reinterpret_cast<intptr_t>(raw), kInvalidHandle,
        [](intptr_t handle) { CloseHandle(asHandle(handle)); });

    DCB dcb {};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(raw, &dcb)) {
        error = systemError(device, "reading the line settings");
        return kInvalidHandle;
    }
    // Exactly these four fields change; parity checking, flow control and
    // abort-on-error stay as the driver reported them.
    dcb.BaudRate = static_cast<DWORD>(baudRate);
    dcb.ByteSize = dataBits;
    dcb.Parity = parity;
    dcb.StopBits = stopBits;
    if (!SetCommState(raw, &dcb)) {
        error = systemError(device, "applying the line settings");
        return kInvalidHandle;
    }

    // Every field is set, so the driver's current time-outs need not be read first.
    // Without these a read would wait for ever, so a refusal fails the open.
    COMMTIMEOUTS timeouts {};
    timeouts.ReadIntervalTimeout = 0;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 1;
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = 1;
    if (!SetCommTimeouts(raw, &timeouts)) {
        error = systemError(device, "setting the time-outs");
        return kInvalidHandle;
    }
    {
        const std::lock_guard lock(errorsMutex);
        errorsByHandle[reinterpret_cast<intptr_t>(raw)] = {};
    }
    return guard.release();
}

void CloseDevice(intptr_t handle)
{
    ForgetControlLines(handle);
    {
        const std::lock_guard lock(errorsMutex);
        errorsByHandle.erase(handle);
    }
    CloseHandle(asHandle(handle));
}

bool ClearErrors(intptr_t handle)
{
    return takeErrors(handle);
}

bool ReadLineErrors(intptr_t handle, LineErrorCounts &counts)
{
    const std::lock_guard lock(errorsMutex);
    const auto found = errorsByHandle.find(handle);
    if (found == errorsByHandle.end()) {
        return false;
    }
    counts = found->second;
    return true;
}

// No wake-up here: every attempt ends on its 1 ms time-out anyway.
intptr_t CreateWaker()
{
    return kInvalidHandle;
}

void DestroyWaker(intptr_t) { }

void Wake(intptr_t) { }

// One byte per ReadFile, which waits at most its 1 ms time-out (`waitMs` does not
// apply). Reading more at a time would also end on that time-out, but it has not
// been checked on real drivers that nothing is lost or reordered that way.
Attempt ReadChunk(
    intptr_t handle, intptr_t, int, uint8_t *buffer, std::size_t size, std::size_t &count)
{
    count = 0;
    if (size == 0) {
        return Attempt::Nothing;
    }
    DWORD received = 0;
    // The 1 ms time-out ends a read with success and nothing read; a failure means
    // the device refused the read (removed, or its driver gone).
    if (!ReadFile(asHandle(handle), buffer, 1, &received, nullptr)) {
        return Attempt::Failed;
    }
    if (received != 1) {
        return Attempt::Nothing;
    }
    count = 1;
    return Attempt::Byte;
}

bool WriteAttempt(intptr_t handle, uint8_t byte)
{
    DWORD count = 0;
    WriteFile(asHandle(handle), &byte, 1, &count, nullptr);
    return count == 1;
}

std::size_t WriteChunk(intptr_t handle, const uint8_t *data, std::size_t size)
{
    DWORD count = 0;
    WriteFile(asHandle(handle), data, static_cast<DWORD>(std::min<std::size_t>(size, 1 << 20)),
        &count, nullptr);
    return count;
}

uint32_t TickMs()
{
    return GetTickCount();
}

void SleepOneMs()
{
    Sleep(1);
}

void WaitForWake(intptr_t, int)
{
    Sleep(1);
}

} // namespace serial_backend
