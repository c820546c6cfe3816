#include "devicechannel.h"
#include "serial/standardbaud_posix.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/serial.h>
#endif

namespace {

ErrorKind KindOfOpenError(int code)
{
    switch (code) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return ErrorKind::NotFound;
    case EACCES:
    case EPERM:
        return ErrorKind::NoAccess;
    case EBUSY:
    case EWOULDBLOCK:
        return ErrorKind::Busy;
    default:
        return ErrorKind::Refused;
    }
}

Status Configure(int fd, const LineFraming &framing, const std::string &path)
{
    termios settings {};
    if (tcgetattr(fd, &settings) != 0) {
        return Status::FromErrno(errno == ENOTTY ? ErrorKind::NotSerial : ErrorKind::Refused, errno,
            "read the line settings of " + path);
    }
    cfmakeraw(&settings);
    speed_t speed = B0;
    if (!StandardBaud(framing.baudRate, speed)) {
        return Status(ErrorKind::Refused,
            path + ": " + std::to_string(framing.baudRate) + " baud is not a standard rate");
    }
    cfsetispeed(&settings, speed);
    cfsetospeed(&settings, speed);
    settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB);
    static const tcflag_t sizes[] = { CS5, CS6, CS7, CS8 };
    settings.c_cflag |= sizes[std::min<int>(std::max<int>(framing.dataBits, 5), 8) - 5];
    settings.c_cflag |= CLOCAL | CREAD;
    if (framing.parity != 0) {
        settings.c_cflag |= PARENB;
        settings.c_iflag |= INPCK;
        if (framing.parity == 1 || framing.parity == 3) {
            settings.c_cflag |= PARODD;
        }
#ifdef CMSPAR
        if (framing.parity >= 3) {
            settings.c_cflag |= CMSPAR;
        }
#endif
    }
    if (framing.stopBits != 0) {
        settings.c_cflag |= CSTOPB; // one and a half is two on POSIX
    }
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
    if (tcsetattr(fd, TCSANOW, &settings) != 0) {
        return Status::FromErrno(ErrorKind::Refused, errno, "apply the line settings to " + path);
    }
    return {};
}

} // namespace

Result<std::unique_ptr<DeviceChannel>> DeviceChannel::Open(
    const std::string &path, const LineFraming &framing)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int code = errno;
        return Status::FromErrno(KindOfOpenError(code), code, "open " + path);
    }
    // Another program with the device open and locked (as serial programs do) has it.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int code = errno;
        ::close(fd);
        return Status::FromErrno(ErrorKind::Busy, code, "lock " + path);
    }
    if (Status configured = Configure(fd, framing, path); !configured) {
        ::close(fd);
        return configured;
    }
    auto channel = std::make_unique<DeviceChannel>(fd, fd);
    channel->m_owned = true;
    return channel;
}

DeviceChannel::DeviceChannel(int writeFd, int readFd)
    : m_writeFd(writeFd)
    , m_readFd(readFd)
{ }

DeviceChannel::~DeviceChannel()
{
    if (m_owned) {
        ::close(m_writeFd);
    }
}

Result<std::size_t> DeviceChannel::Write(const uint8_t *data, std::size_t size, int waitMs)
{
    for (;;) {
        const ssize_t written = ::write(m_writeFd, data, size);
        if (written >= 0) {
            return static_cast<std::size_t>(written);
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno != EAGAIN) {
            return Status::FromErrno(ErrorKind::Io, errno, "write");
        }
        pollfd waiter { m_writeFd, POLLOUT, 0 };
        const int ready = ::poll(&waiter, 1, waitMs);
        if (ready == 0) {
            return std::size_t { 0 };
        }
        if (ready > 0 && (waiter.revents & (POLLHUP | POLLERR | POLLNVAL))) {
            return Status(ErrorKind::Lost, "the device hung up");
        }
        waitMs = 0;
    }
}

void DeviceChannel::DiscardInput()
{
    // What the driver holds goes at once; what a pseudo-terminal's far side wrote
    // is read away.
    (void)::tcflush(m_readFd, TCIFLUSH);
    LineChannel::DiscardInput();
}

Result<std::size_t> DeviceChannel::Read(uint8_t *data, std::size_t size, int waitMs)
{
    bool hungUp = false;
    for (;;) {
        const ssize_t count = ::read(m_readFd, data, size);
        if (count > 0) {
            return static_cast<std::size_t>(count);
        }
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0 && errno != EAGAIN) {
            return Status::FromErrno(errno == EIO ? ErrorKind::Lost : ErrorKind::Io, errno, "read");
        }
        if (waitMs < 0) {
            // A terminal whose other side has gone reports readable with a hang-up,
            // then reads nothing: that is the end of the line, not a quiet one.
            if (hungUp) {
                return Status(ErrorKind::Lost, "the device hung up");
            }
            return std::size_t { 0 };
        }
        pollfd waiter { m_readFd, POLLIN, 0 };
        const int ready = ::poll(&waiter, 1, waitMs);
        if (ready <= 0) {
            return std::size_t { 0 };
        }
        if (!(waiter.revents & POLLIN) && (waiter.revents & (POLLHUP | POLLERR | POLLNVAL))) {
            return Status(ErrorKind::Lost, "the device hung up");
        }
        hungUp = (waiter.revents & POLLHUP) != 0;
        waitMs = -1; // one more read, no second wait
    }
}

bool DeviceChannel::LineErrors(LineErrorCounts &counts) const
{
#if defined(__linux__) && defined(TIOCGICOUNT)
    serial_icounter_struct icount {};
    if (::ioctl(m_readFd, TIOCGICOUNT, &icount) != 0) {
        return false;
    }
    counts.frame = static_cast<uint32_t>(icount.frame);
    counts.parity = static_cast<uint32_t>(icount.parity);
    counts.overrun = static_cast<uint32_t>(icount.overrun);
    counts.bufferOverrun = static_cast<uint32_t>(icount.buf_overrun);
    counts.breaks = static_cast<uint32_t>(icount.brk);
    return true;
#else
    (void)counts;
    return false;
#endif
}
