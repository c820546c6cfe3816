// POSIX termios backend of SerialPort.
//
// Port N is the device linked at <folder>/comN when that entry exists
// (the folder ConfigFolder() names), else /dev/ttyS<N-1>.

#include "base/linecodes.h"
#include "configfolder.h"
#include "devicename.h"
#include "handleguard.h"
#include "serialport_backend.h"
#include "standardbaud_posix.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <thread>

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#ifdef __linux__
#include <sys/eventfd.h>
#endif
#include <unistd.h>

#ifdef __linux__
#include "linuxbaud.h"

#include <linux/serial.h>
#endif

namespace serial_backend {

namespace {

constexpr int kAttemptMs = 1;

std::string systemError(const std::string &device, const char *what)
{
    return device + ": " + what + ": " + std::strerror(errno);
}

OpenFailure::Kind failureKind(int code)
{
    switch (code) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOTDIR:
    case ELOOP:
        return OpenFailure::Kind::Missing;
    case EACCES:
    case EPERM:
        return OpenFailure::Kind::NoAccess;
    case EBUSY:
    case EWOULDBLOCK:
        return OpenFailure::Kind::Busy;
    case EISDIR:
    case ENOTTY:
        return OpenFailure::Kind::NotSerial;
    default:
        return OpenFailure::Kind::Refused;
    }
}

// The group that owns the device: a user outside it (and not its owner) may not open it.
std::string owningGroup(const std::string &device)
{
    struct stat info
    {
    };
    if (::stat(device.c_str(), &info) != 0) {
        return {};
    }
    if (const group *entry = ::getgrgid(info.st_gid)) {
        return entry->gr_name;
    }
    return std::to_string(info.st_gid);
}

std::string processName(const std::string &pid)
{
    std::ifstream comm("/proc/" + pid + "/comm");
    std::string name;
    std::getline(comm, name);
    return (name.empty() ? std::string("?") : name) + " (" + pid + ")";
}

// The processes that hold `device`: first those with a whole-file lock on it (the
// lock that cooperating programs, this one among them, take), else every process
// with a descriptor open on it. Processes whose /proc entries are not readable stay
// unknown.
std::string holdingProcesses(const std::string &device)
{
    std::error_code error;
    const std::filesystem::path real = std::filesystem::canonical(device, error);
    struct stat info
    {
    };
    if (error || ::stat(real.c_str(), &info) != 0) {
        return {};
    }
    std::set<std::string> pids;
    std::ifstream locks("/proc/locks");
    for (std::string line; std::getline(locks, line);) {
        // "1: FLOCK  ADVISORY  WRITE 1234 00:1a:5 0 EOF"
        std::istringstream fields(line);
        std::string number, type, mode, access, pid, where;
        fields >> number >> type;
        if (type == "->") {
            fields >> type;
        }
        fields >> mode >> access >> pid >> where;
        const auto lastColon = where.rfind(':');
        if (lastColon == std::string::npos) {
            continue;
        }
        if (where.substr(lastColon + 1) == std::to_string(info.st_ino)) {
            pids.insert(pid);
        }
    }
    if (pids.empty()) {
        const std::string self = std::to_string(::getpid());
        for (const auto &process : std::filesystem::directory_iterator("/proc", error)) {
            const std::string pid = process.path().filename().string();
            if (pid.find_first_not_of("0123456789") != std::string::npos || pid == self) {
                continue;
            }
            std::error_code fdError;
            for (const auto &fd :
                std::filesystem::directory_iterator(process.path() / "fd", fdError)) {
                std::error_code linkError;
                if (std::filesystem::read_symlink(fd.path(), linkError) == real) {
                    pids.insert(pid);
                    break;
                }
            }
        }
    }
    std::string names;
    for (const std::string &pid : pids) {
        names += (names.empty() ? "" : ", ") + processName(pid);
    }
    return names;
}

void describeFailure(OpenFailure &failure, const std::string &device, const char *what)
{
    const int code = errno;
    failure.device = device;
    failure.detail = systemError(device, what);
    failure.kind = failureKind(code);
    if (failure.kind == OpenFailure::Kind::NoAccess) {
        failure.group = owningGroup(device);
    } else if (failure.kind == OpenFailure::Kind::Busy) {
        failure.holders = holdingProcesses(device);
    }
}

// Character size, parity and stop bits; false for combinations a UART cannot do.
bool setFraming(termios &tio, uint8_t parity, uint8_t stopBits, uint8_t dataBits)
{
    tcflag_t size = 0;
    switch (dataBits) {
    case 5:
        size = CS5;
        break;
    case 6:
        size = CS6;
        break;
    case 7:
        size = CS7;
        break;
    case 8:
        size = CS8;
        break;
    default:
        return false;
    }
    tcflag_t parityBits = 0;
    switch (parity) {
    case ParityNone:
        break;
    case ParityOdd:
        parityBits = PARENB | PARODD;
        break;
    case ParityEven:
        parityBits = PARENB;
        break;
#ifdef CMSPAR
    case ParityMark:
        parityBits = PARENB | CMSPAR | PARODD;
        break;
    case ParitySpace:
        parityBits = PARENB | CMSPAR;
        break;
#endif
    default:
        return false;
    }
    // One and a half stop bits exist only with 5 data bits, where a UART's
    // two-stop-bit setting gives them.
    tcflag_t stop = 0;
    if (stopBits == StopBitsTwo || (stopBits == StopBitsOneAndHalf && dataBits == 5)) {
        stop = CSTOPB;
    } else if (stopBits != StopBitsOne) {
        return false;
    }

    tcflag_t clear = CSIZE | PARENB | PARODD | CSTOPB;
#ifdef CMSPAR
    clear |= CMSPAR;
#endif
    tio.c_cflag = (tio.c_cflag & ~clear) | size | parityBits | stop;
    return true;
}

// Turns the terminal's line discipline off so bytes pass unchanged, one for one,
// and lets the receiver run regardless of carrier detect. Flow control (IXON, IXOFF,
// IXANY, CRTSCTS) and HUPCL are deliberately left as they were.
void makeRaw(termios &tio)
{
    tio.c_iflag &= ~static_cast<tcflag_t>(
        IGNBRK | BRKINT | IGNPAR | PARMRK | INPCK | ISTRIP | INLCR | IGNCR | ICRNL);
#ifdef IUCLC
    tio.c_iflag &= ~static_cast<tcflag_t>(IUCLC);
#endif
    tio.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    tio.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ECHOE | ECHOK | ECHONL | ISIG | IEXTEN);
    tio.c_cflag |= CREAD | CLOCAL;
    // With O_NONBLOCK, VMIN 1 makes an empty read report EAGAIN, so a read of 0
    // bytes only ever means a hang-up.
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
}

bool configure(int fd, int32_t baudRate, uint8_t parity, uint8_t stopBits, uint8_t dataBits,
    const std::string &device, OpenFailure &failure)
{
    failure.device = device;
    failure.kind = OpenFailure::Kind::Refused;
    std::string &error = failure.detail;
    termios tio {};
    if (tcgetattr(fd, &tio) != 0) {
        error = systemError(device, "reading the line settings");
        return false;
    }
    if (!setFraming(tio, parity, stopBits, dataBits)) {
        error = device + ": unsupported combination of data bits, parity and stop bits";
        return false;
    }
    makeRaw(tio);
    speed_t code = 0;
    const bool standard = StandardBaud(baudRate, code);
    if (standard) {
        cfsetispeed(&tio, code);
        cfsetospeed(&tio, code);
    }
    if (tcsetattr(fd, TCSANOW, &tio) != 0) {
        error = systemError(device, "applying the line settings");
        return false;
    }
    if (standard) {
        return true;
    }
#ifdef __linux__
    if (SetCustomBaud(fd, baudRate)) {
        return true;
    }
#endif
    error = device + ": baud rate " + std::to_string(baudRate) + " not supported";
    return false;
}

// The line settings each open terminal had before Open changed them, put back by
// CloseDevice as terminal programs do: a device is left as it was found.
struct SavedSettings
{
    std::mutex lock;
    std::map<int, termios> byHandle;
};

// Never destroyed: a port that is a static object (the program's own Port) closes
// in its destructor during exit, after this file's statics would be gone.
SavedSettings &savedSettings()
{
    static auto *const saved = new SavedSettings;
    return *saved;
}

// Takes what is waiting, up to `size` bytes, and never waits.
Attempt readWaiting(int fd, uint8_t *buffer, std::size_t size, std::size_t &count)
{
    const ssize_t received = ::read(fd, buffer, size);
    if (received > 0) {
        count = static_cast<std::size_t>(received);
        return Attempt::Byte;
    }
    // A read of 0 bytes is a hang-up: VMIN is 1, so an empty queue reports EAGAIN.
    return received < 0 && (errno == EAGAIN || errno == EINTR) ? Attempt::Nothing : Attempt::Failed;
}

} // namespace

std::string MappingLink(int32_t port)
{
    return (ConfigFolder() / ("com" + std::to_string(port))).string();
}

std::string DeviceName(int32_t port)
{
    std::string mapped = MappingLink(port);
    // The entry counts even when it is a dangling link: the mapped device is away,
    // and another one must not be opened in its place.
    struct stat info
    {
    };
    if (lstat(mapped.c_str(), &info) == 0) {
        return mapped;
    }
    return SystemDeviceName(port);
}

std::string SystemDeviceName(int32_t port)
{
    return "/dev/ttyS" + std::to_string(port - 1);
}

intptr_t OpenDevice(int32_t port, int32_t baudRate, uint8_t parity, uint8_t stopBits,
    uint8_t dataBits, OpenFailure &failure)
{
    const std::string device = DeviceName(port);
    // Not even opened: a test's bytes must never reach the machine's console.
    if (const Status console = CheckNotConsole(device); !console) {
        failure.device = device;
        failure.kind = OpenFailure::Kind::Console;
        failure.detail = console.reason();
        return kInvalidHandle;
    }
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        describeFailure(failure, device, "opening");
        return kInvalidHandle;
    }
    HandleGuard opened(
        fd, kInvalidHandle, [](intptr_t handle) { ::close(static_cast<int>(handle)); });
    // Only a terminal has line settings: a FIFO, a file or /dev/null says ENOTTY here.
    termios found {};
    if (tcgetattr(fd, &found) != 0) {
        describeFailure(failure, device, "reading the line settings");
        return kInvalidHandle;
    }
    if (IsProgramsTerminal(device)) {
        failure.device = device;
        failure.kind = OpenFailure::Kind::Refused;
        failure.detail = device + ": the terminal this program runs in";
        return kInvalidHandle;
    }
    // The advisory lock refuses cooperating openers (also those with the privilege
    // that TIOCEXCL lets through); TIOCEXCL refuses every other unprivileged open.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        describeFailure(failure, device, "locking");
        return kInvalidHandle;
    }
    // From here on the terminal may carry the exclusive flag and changed settings:
    // CloseDevice clears the one and puts the others back.
    {
        const std::lock_guard lock(savedSettings().lock);
        savedSettings().byHandle[fd] = found;
    }
    HandleGuard claimed(opened.release(), kInvalidHandle, CloseDevice);
    if (ioctl(fd, TIOCEXCL) != 0) {
        describeFailure(failure, device, "claiming exclusive use");
        return kInvalidHandle;
    }
    if (!configure(fd, baudRate, parity, stopBits, dataBits, device, failure)) {
        return kInvalidHandle;
    }
    return claimed.release();
}

void CloseDevice(intptr_t handle)
{
    const int fd = static_cast<int>(handle);
    {
        const std::lock_guard lock(savedSettings().lock);
        const auto saved = savedSettings().byHandle.find(fd);
        if (saved != savedSettings().byHandle.end()) {
            // A device that has gone refuses this; nothing is lost then.
            tcsetattr(fd, TCSANOW, &saved->second);
            savedSettings().byHandle.erase(saved);
        }
    }
    // The exclusive flag belongs to the terminal, not to the descriptor: clear it so
    // the next opener is not refused while someone else keeps the terminal open.
    ioctl(fd, TIOCNXCL);
    ::close(fd);
}

bool ClearErrors(intptr_t)
{
    // Nothing to do: with the line discipline off, a byte with a line error is
    // delivered like any other and nothing holds up further transfers.
    return true;
}

bool ReadLineErrors(intptr_t handle, LineErrorCounts &counts)
{
#ifdef TIOCGICOUNT
    // Drivers of real UARTs count these; a pseudo-terminal refuses the request.
    serial_icounter_struct icount {};
    if (ioctl(static_cast<int>(handle), TIOCGICOUNT, &icount) != 0) {
        return false;
    }
    const auto count = [](int value) { return value < 0 ? 0U : static_cast<uint32_t>(value); };
    counts.frame = count(icount.frame);
    counts.parity = count(icount.parity);
    counts.overrun = count(icount.overrun);
    counts.bufferOverrun = count(icount.buf_overrun);
    counts.breaks = count(icount.brk);
    return true;
#else
    (void)handle;
    (void)counts;
    return false;
#endif
}

intptr_t CreateWaker()
{
#ifdef __linux__
    const int fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    return fd >= 0 ? fd : kInvalidHandle;
#else
    return kInvalidHandle;
#endif
}

void DestroyWaker(intptr_t waker)
{
    if (waker != kInvalidHandle) {
        ::close(static_cast<int>(waker));
    }
}

void Wake(intptr_t waker)
{
    if (waker == kInvalidHandle) {
        return;
    }
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(static_cast<int>(waker), &one, sizeof one);
}

Attempt ReadChunk(intptr_t handle, intptr_t waker, int waitMs, uint8_t *buffer, std::size_t size,
    std::size_t &count)
{
    count = 0;
    // The wait comes first: while data streams in, the poll returns at once and one
    // read takes a whole chunk; on a quiet line it is the only call per attempt.
    pollfd waiters[2]
        = { { static_cast<int>(handle), POLLIN, 0 }, { static_cast<int>(waker), POLLIN, 0 } };
    const nfds_t watched = waker != kInvalidHandle ? 2 : 1;
    const int ready = ::poll(waiters, watched, waker != kInvalidHandle ? waitMs : kAttemptMs);
    if (ready <= 0) {
        return Attempt::Nothing;
    }
    if (watched == 2 && (waiters[1].revents & POLLIN) != 0) {
        uint64_t wakes = 0;
        [[maybe_unused]] const ssize_t taken = ::read(waiters[1].fd, &wakes, sizeof wakes);
    }
    if ((waiters[0].revents & POLLIN) != 0) {
        return readWaiting(waiters[0].fd, buffer, size, count);
    }
    return waiters[0].revents != 0 ? Attempt::Failed : Attempt::Nothing;
}

bool WriteAttempt(intptr_t handle, uint8_t byte)
{
    const int fd = static_cast<int>(handle);
    ssize_t count = ::write(fd, &byte, 1);
    if (count < 0 && (errno == EAGAIN || errno == EINTR)) {
        pollfd waiter { fd, POLLOUT, 0 };
        if (::poll(&waiter, 1, kAttemptMs) <= 0 || (waiter.revents & POLLOUT) == 0) {
            return false;
        }
        count = ::write(fd, &byte, 1);
    }
    return count == 1;
}

std::size_t WriteChunk(intptr_t handle, const uint8_t *data, std::size_t size)
{
    const int fd = static_cast<int>(handle);
    ssize_t count = ::write(fd, data, size);
    if (count < 0 && (errno == EAGAIN || errno == EINTR)) {
        pollfd waiter { fd, POLLOUT, 0 };
        if (::poll(&waiter, 1, kAttemptMs) <= 0 || (waiter.revents & POLLOUT) == 0) {
            return 0;
        }
        count = ::write(fd, data, size);
    }
    return count > 0 ? static_cast<std::size_t>(count) : 0;
}

bool DeviceGone(intptr_t handle)
{
    const int fd = static_cast<int>(handle);
    // A hang-up (an unplugged adapter, a closed pseudo-terminal master) shows in poll;
    // a device the driver has already dropped refuses requests with these errors.
    pollfd waiter { fd, POLLIN | POLLOUT, 0 };
    if (::poll(&waiter, 1, 0) > 0 && (waiter.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
        return true;
    }
    termios tio {};
    if (tcgetattr(fd, &tio) == 0) {
        return false;
    }
    return errno == EIO || errno == ENXIO || errno == ENODEV;
}

uint32_t TickMs()
{
    using namespace std::chrono;
    return static_cast<uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void SleepOneMs()
{
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void WaitForWake(intptr_t waker, int waitMs)
{
    if (waker == kInvalidHandle) {
        SleepOneMs();
        return;
    }
    pollfd waiter { static_cast<int>(waker), POLLIN, 0 };
    if (::poll(&waiter, 1, waitMs) > 0) {
        uint64_t wakes = 0;
        [[maybe_unused]] const ssize_t taken = ::read(waiter.fd, &wakes, sizeof wakes);
    }
}

} // namespace serial_backend
