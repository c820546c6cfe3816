// Control lines on POSIX: the modem-control ioctls, termios for flow control and,
// on Linux, the RS-485 ioctls.

#include "controllines_backend.h"

#include <cerrno>

#include <sys/ioctl.h>
#include <termios.h>
#ifdef __linux__
#include <linux/serial.h>
#endif

namespace serial_backend {

namespace {

int fdOf(intptr_t handle)
{
    return static_cast<int>(handle);
}

// ENOTTY ("inappropriate ioctl") is how a driver without the request answers.
Status failure(const char *what)
{
    const int code = errno;
    return Status::FromErrno(
        code == ENOTTY || code == EINVAL ? ErrorKind::Refused : ErrorKind::Io, code, what);
}

int modemBit(ModemLine line)
{
    switch (line) {
    case ModemLine::Dtr:
        return TIOCM_DTR;
    case ModemLine::Rts:
        return TIOCM_RTS;
    case ModemLine::Cts:
        return TIOCM_CTS;
    case ModemLine::Dsr:
        return TIOCM_DSR;
    case ModemLine::Dcd:
        return TIOCM_CAR;
    case ModemLine::Ri:
        return TIOCM_RNG;
    }
    return 0;
}

} // namespace

void ForgetControlLines(intptr_t)
{
    // Nothing kept: the driver reads every line back.
}

Result<ModemLines> GetModemLines(intptr_t handle)
{
    int bits = 0;
    if (ioctl(fdOf(handle), TIOCMGET, &bits) != 0) {
        return failure("reading the modem lines");
    }
    ModemLines lines;
    for (const ModemLine line : { ModemLine::Dtr, ModemLine::Rts, ModemLine::Cts, ModemLine::Dsr,
             ModemLine::Dcd, ModemLine::Ri }) {
        lines.set(line, (bits & modemBit(line)) != 0);
    }
    return lines;
}

Status SetModemLine(intptr_t handle, ModemLine line, bool on)
{
    if (!IsOutputLine(line)) {
        return { ErrorKind::Invalid, "only DTR and RTS can be set" };
    }
    const int bit = modemBit(line);
    if (ioctl(fdOf(handle), on ? TIOCMBIS : TIOCMBIC, &bit) != 0) {
        return failure(line == ModemLine::Dtr ? "setting DTR" : "setting RTS");
    }
    return {};
}

Status SetBreak(intptr_t handle, bool on)
{
    if (ioctl(fdOf(handle), on ? TIOCSBRK : TIOCCBRK) != 0) {
        return failure("sending a break");
    }
    return {};
}

Result<FlowControl> GetFlowControl(intptr_t handle)
{
    termios tio {};
    if (tcgetattr(fdOf(handle), &tio) != 0) {
        return failure("reading the flow control");
    }
#ifdef CRTSCTS
    if ((tio.c_cflag & CRTSCTS) != 0) {
        return FlowControl::RtsCts;
    }
#endif
    if ((tio.c_iflag & (IXON | IXOFF)) != 0) {
        return FlowControl::XonXoff;
    }
    return FlowControl::None;
}

Status SetFlowControl(intptr_t handle, FlowControl flow)
{
    if (flow == FlowControl::Leave) {
        return {};
    }
    termios tio {};
    if (tcgetattr(fdOf(handle), &tio) != 0) {
        return failure("reading the flow control");
    }
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
#ifdef CRTSCTS
    tio.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
#endif
    if (flow == FlowControl::XonXoff) {
        tio.c_iflag |= IXON | IXOFF;
        tio.c_cc[VSTART] = 0x11;
        tio.c_cc[VSTOP] = 0x13;
    } else if (flow == FlowControl::RtsCts) {
#ifdef CRTSCTS
        tio.c_cflag |= CRTSCTS;
#else
        return { ErrorKind::Refused, "RTS/CTS flow control: not supported on this system" };
#endif
    }
    if (tcsetattr(fdOf(handle), TCSANOW, &tio) != 0) {
        return failure("setting the flow control");
    }
    // tcsetattr succeeds when any part was taken: read back what the driver kept.
    const Result<FlowControl> kept = GetFlowControl(handle);
    if (kept && *kept != flow) {
        return { ErrorKind::Refused, "setting the flow control: the driver kept another" };
    }
    return {};
}

Result<Rs485Settings> GetRs485(intptr_t handle)
{
#if defined(__linux__) && defined(TIOCGRS485)
    serial_rs485 rs485 {};
    if (ioctl(fdOf(handle), TIOCGRS485, &rs485) != 0) {
        return failure("RS-485");
    }
    Rs485Settings settings;
    settings.enabled = (rs485.flags & SER_RS485_ENABLED) != 0;
    settings.rtsOnSend = (rs485.flags & SER_RS485_RTS_ON_SEND) != 0;
    settings.rtsAfterSend = (rs485.flags & SER_RS485_RTS_AFTER_SEND) != 0;
    settings.receiveDuringSend = (rs485.flags & SER_RS485_RX_DURING_TX) != 0;
    settings.delayBeforeSendMs = rs485.delay_rts_before_send;
    settings.delayAfterSendMs = rs485.delay_rts_after_send;
    return settings;
#else
    (void)handle;
    return Status(ErrorKind::Refused, "RS-485: not supported on this system");
#endif
}

Status SetRs485(intptr_t handle, const Rs485Settings &settings)
{
#if defined(__linux__) && defined(TIOCSRS485)
    // Read first, so flags this program does not know (termination, addressing)
    // stay as the driver had them.
    serial_rs485 rs485 {};
    if (ioctl(fdOf(handle), TIOCGRS485, &rs485) != 0) {
        return failure("RS-485");
    }
    const auto flag = [&rs485](uint32_t bit, bool on) {
        rs485.flags = on ? (rs485.flags | bit) : (rs485.flags & ~bit);
    };
    flag(SER_RS485_ENABLED, settings.enabled);
    flag(SER_RS485_RTS_ON_SEND, settings.rtsOnSend);
    flag(SER_RS485_RTS_AFTER_SEND, settings.rtsAfterSend);
    flag(SER_RS485_RX_DURING_TX, settings.receiveDuringSend);
    rs485.delay_rts_before_send = settings.delayBeforeSendMs;
    rs485.delay_rts_after_send = settings.delayAfterSendMs;
    if (ioctl(fdOf(handle), TIOCSRS485, &rs485) != 0) {
        return failure("setting RS-485");
    }
    return {};
#else
    (void)handle;
    (void)settings;
    return { ErrorKind::Refused, "RS-485: not supported on this system" };
#endif
}

} // namespace serial_backend
