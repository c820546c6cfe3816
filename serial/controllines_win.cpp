// Control lines on Win32: EscapeCommFunction for DTR, RTS and the break,
// GetCommModemStatus for the inputs, the DCB for flow control. Windows has no
// RS-485 settings of its own (a driver's RTS_CONTROL_TOGGLE is the nearest).

#include "controllines_backend.h"
#include "winhandle.h"

#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace serial_backend {

namespace {

// ntddser.h: the serial driver's read-back of the two output lines.
constexpr DWORD kGetDtrRts = 0x001B0078; // IOCTL_SERIAL_GET_DTRRTS
constexpr DWORD kDtrState = 0x1;
constexpr DWORD kRtsState = 0x2;

// What this program last set DTR and RTS to on each handle, for drivers that cannot
// read them back: after EscapeCommFunction the DCB still shows the control mode it
// had, not the line.
struct OutputsSet
{
    std::optional<bool> dtr;
    std::optional<bool> rts;
};
std::mutex outputsMutex;
std::map<intptr_t, OutputsSet> outputsByHandle;

Status failure(const char *what)
{
    const DWORD code = GetLastError();
    char text[256] = {};
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, text, sizeof text, nullptr);
    std::string reason = std::string(what) + ": ";
    if (length > 0) {
        reason.append(text, length);
    } else {
        reason += "error " + std::to_string(code);
    }
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r')) {
        reason.pop_back();
    }
    const bool refused = code == ERROR_INVALID_FUNCTION || code == ERROR_NOT_SUPPORTED
        || code == ERROR_INVALID_PARAMETER;
    return { refused ? ErrorKind::Refused : ErrorKind::Io, reason };
}

} // namespace

Result<ModemLines> GetModemLines(intptr_t handle)
{
    DWORD status = 0;
    if (!GetCommModemStatus(asHandle(handle), &status)) {
        return failure("reading the modem lines");
    }
    ModemLines lines;
    lines.cts = (status & MS_CTS_ON) != 0;
    lines.dsr = (status & MS_DSR_ON) != 0;
    lines.ri = (status & MS_RING_ON) != 0;
    lines.dcd = (status & MS_RLSD_ON) != 0;
    DWORD outputs = 0;
    DWORD returned = 0;
    if (DeviceIoControl(
            asHandle(handle), kGetDtrRts, nullptr, 0, &outputs, sizeof outputs, &returned, nullptr)
        && returned == sizeof outputs) {
        lines.dtr = (outputs & kDtrState) != 0;
        lines.rts = (outputs & kRtsState) != 0;
        return lines;
    }
    // A driver without the read-back: what was last set here, else the DCB's
    // control modes (what the driver applied at open).
    DCB dcb {};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(asHandle(handle), &dcb)) {
        return failure("reading the modem lines");
    }
    lines.dtr = dcb.fDtrControl == DTR_CONTROL_ENABLE;
    lines.rts = dcb.fRtsControl == RTS_CONTROL_ENABLE;
    const std::lock_guard lock(outputsMutex);
    if (const auto found = outputsByHandle.find(handle); found != outputsByHandle.end()) {
        lines.dtr = found->second.dtr.value_or(lines.dtr);
        lines.rts = found->second.rts.value_or(lines.rts);
    }
    return lines;
}

Status SetModemLine(intptr_t handle, ModemLine line, bool on)
{
    DWORD function = 0;
    if (line == ModemLine::Dtr) {
        function = on ? SETDTR : CLRDTR;
    } else if (line == ModemLine::Rts) {
        function = on ? SETRTS : CLRRTS;
    } else {
        return { ErrorKind::Invalid, "only DTR and RTS can be set" };
    }
    if (!EscapeCommFunction(asHandle(handle), function)) {
        return failure(line == ModemLine::Dtr ? "setting DTR" : "setting RTS");
    }
    const std::lock_guard lock(outputsMutex);
    OutputsSet &outputs = outputsByHandle[handle];
    (line == ModemLine::Dtr ? outputs.dtr : outputs.rts) = on;
    return {};
}

Status SetBreak(intptr_t handle, bool on)
{
    if (!EscapeCommFunction(asHandle(handle), on ? SETBREAK : CLRBREAK)) {
        return failure("sending a break");
    }
    return {};
}

Result<FlowControl> GetFlowControl(intptr_t handle)
{
    DCB dcb {};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(asHandle(handle), &dcb)) {
        return failure("reading the flow control");
    }
    if (dcb.fOutxCtsFlow || dcb.fRtsControl == RTS_CONTROL_HANDSHAKE) {
        return FlowControl::RtsCts;
    }
    if (dcb.fOutX || dcb.fInX) {
        return FlowControl::XonXoff;
    }
    return FlowControl::None;
}

Status SetFlowControl(intptr_t handle, FlowControl flow)
{
    if (flow == FlowControl::Leave) {
        return {};
    }
    DCB dcb {};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(asHandle(handle), &dcb)) {
        return failure("reading the flow control");
    }
    const bool hardware = flow == FlowControl::RtsCts;
    const bool software = flow == FlowControl::XonXoff;
    dcb.fOutxCtsFlow = hardware;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    if (hardware) {
        dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
    } else if (dcb.fRtsControl == RTS_CONTROL_HANDSHAKE) {
        // Handing RTS back from the handshake: asserted, as the handshake had it
        // while the receiver had room.
        dcb.fRtsControl = RTS_CONTROL_ENABLE;
    }
    dcb.fOutX = software;
    dcb.fInX = software;
    if (software) {
        dcb.XonChar = 0x11;
        dcb.XoffChar = 0x13;
    }
    if (!SetCommState(asHandle(handle), &dcb)) {
        return failure("setting the flow control");
    }
    return {};
}

void ForgetControlLines(intptr_t handle)
{
    const std::lock_guard lock(outputsMutex);
    outputsByHandle.erase(handle);
}

Result<Rs485Settings> GetRs485(intptr_t)
{
    return Status(ErrorKind::Refused, "RS-485: not supported on Windows");
}

Status SetRs485(intptr_t, const Rs485Settings &)
{
    return { ErrorKind::Refused, "RS-485: not supported on Windows" };
}

} // namespace serial_backend
