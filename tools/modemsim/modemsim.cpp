// See modemsim.h.

#include "modemsim.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include <dlfcn.h>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr uint32_t kMagic = 0x4d4f4431; // "MOD1"
constexpr int kSlaveLines = TIOCM_DTR | TIOCM_RTS;
constexpr int kMasterLines = TIOCM_CTS | TIOCM_DSR | TIOCM_CAR | TIOCM_RNG;
constexpr unsigned kPtsMajorFirst = 136; // UNIX98_PTY_SLAVE_MAJOR
constexpr unsigned kPtsMajorLast = 143;
constexpr unsigned kPtmxMajor = 5;
constexpr unsigned kPtmxMinor = 2;

struct Shared
{
    uint32_t magic;
    int64_t createdSec; // of /dev/pts/N: a new pair with the same number starts afresh
    int64_t createdNsec;
    std::atomic<uint32_t> sequence; // advances on every change
    std::atomic<int> slaveOut; // DTR, RTS
    std::atomic<int> masterOut; // CTS, DSR, DCD, RI
    std::atomic<int> breakOn;
    std::atomic<int> breaks, cts, dsr, rng, dcd; // counts, as TIOCGICOUNT reports them
    std::atomic<int> rs485Lock;
    serial_rs485 rs485;
};

using IoctlFn = int (*)(int, unsigned long, ...);

IoctlFn realIoctl()
{
    static const auto fn = reinterpret_cast<IoctlFn>(dlsym(RTLD_NEXT, "ioctl"));
    return fn;
}

bool takenOver(unsigned long request)
{
    switch (request) {
    case TIOCMGET:
    case TIOCMSET:
    case TIOCMBIS:
    case TIOCMBIC:
    case TIOCMIWAIT:
    case TIOCGICOUNT:
    case TIOCSBRK:
    case TIOCCBRK:
        return true;
    case TIOCGRS485:
    case TIOCSRS485:
        return std::getenv("BYTEWAY_MODEMSIM_NO_RS485") == nullptr;
    default:
        return false;
    }
}

// Which pair `fd` belongs to and on which side; false for any other file.
bool ptyOf(int fd, int &number, bool &master)
{
    struct stat info
    {
    };
    if (fstat(fd, &info) != 0 || !S_ISCHR(info.st_mode)) {
        return false;
    }
    const unsigned maj = major(info.st_rdev);
    if (maj >= kPtsMajorFirst && maj <= kPtsMajorLast) {
        number = static_cast<int>((maj - kPtsMajorFirst) * 256 + minor(info.st_rdev));
        master = false;
        return true;
    }
    if (maj == kPtmxMajor && minor(info.st_rdev) == kPtmxMinor) {
        unsigned n = 0;
        if (realIoctl()(fd, TIOCGPTN, &n) != 0) {
            return false;
        }
        number = static_cast<int>(n);
        master = true;
        return true;
    }
    return false;
}

// The shared state of pair `number`, mapped once per process and pair.
Shared *sharedOf(int number)
{
    constexpr int kPairs = 1024;
    static std::atomic<Shared *> mapped[kPairs] {};
    if (number < 0 || number >= kPairs) {
        return nullptr;
    }
    const std::string pts = "/dev/pts/" + std::to_string(number);
    struct stat slave
    {
    };
    if (stat(pts.c_str(), &slave) != 0) {
        return nullptr;
    }
    Shared *state = mapped[number].load();
    if (state && state->createdSec == slave.st_ctim.tv_sec
        && state->createdNsec == slave.st_ctim.tv_nsec) {
        return state;
    }
    const char *dir = std::getenv("BYTEWAY_MODEMSIM_DIR");
    const std::string path = std::string(dir && *dir ? dir : "/tmp") + "/byteway-modemsim-pts"
        + std::to_string(number);
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        return nullptr;
    }
    flock(fd, LOCK_EX);
    struct stat file
    {
    };
    if (fstat(fd, &file) == 0 && file.st_size < static_cast<off_t>(sizeof(Shared))) {
        if (ftruncate(fd, sizeof(Shared)) != 0) {
            close(fd);
            return nullptr;
        }
    }
    void *memory = mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (memory == MAP_FAILED) {
        close(fd);
        return nullptr;
    }
    state = static_cast<Shared *>(memory);
    if (state->magic != kMagic || state->createdSec != slave.st_ctim.tv_sec
        || state->createdNsec != slave.st_ctim.tv_nsec) {
        std::memset(static_cast<void *>(state), 0, sizeof(Shared));
        state->createdSec = slave.st_ctim.tv_sec;
        state->createdNsec = slave.st_ctim.tv_nsec;
        // A UART's open raises DTR and RTS.
        state->slaveOut = kSlaveLines;
        state->magic = kMagic;
    }
    flock(fd, LOCK_UN);
    close(fd);
    Shared *old = mapped[number].exchange(state);
    if (old && old != state) {
        munmap(old, sizeof(Shared));
    }
    return state;
}

int linesSeen(const Shared &state, bool master)
{
    const int lines = state.slaveOut.load() | state.masterOut.load();
    return master && state.breakOn.load() ? lines | kModemSimBreak : lines;
}

void change(Shared &state, bool master, int bits, int how)
{
    std::atomic<int> &out = master ? state.masterOut : state.slaveOut;
    const int own = master ? kMasterLines : kSlaveLines;
    const int before = out.load();
    int after = before;
    if (how == TIOCMSET) {
        after = bits & own;
    } else if (how == TIOCMBIS) {
        after = before | (bits & own);
    } else {
        after = before & ~(bits & own);
    }
    out = after;
    const int changed = before ^ after;
    const auto count = [changed](std::atomic<int> &counter, int bit) {
        if (changed & bit) {
            ++counter;
        }
    };
    count(state.cts, TIOCM_CTS);
    count(state.dsr, TIOCM_DSR);
    count(state.rng, TIOCM_RNG);
    count(state.dcd, TIOCM_CAR);
    ++state.sequence;
}

void setBreak(Shared &state, bool on)
{
    if (state.breakOn.exchange(on ? 1 : 0) && !on) {
        ++state.breaks;
    }
    ++state.sequence;
}

bool hungUp(int fd)
{
    pollfd waiter { fd, 0, 0 };
    return poll(&waiter, 1, 0) > 0 && (waiter.revents & (POLLHUP | POLLNVAL)) != 0;
}

// Until one of the lines in `mask` changes, as on a UART; a hang-up ends the wait
// with EIO, as the system does.
int waitForChange(int fd, Shared &state, bool master, int mask)
{
    const int start = linesSeen(state, master) & mask;
    for (;;) {
        if ((linesSeen(state, master) & mask) != start) {
            return 0;
        }
        if (hungUp(fd)) {
            errno = EIO;
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

class SpinLock
{
public:
    explicit SpinLock(std::atomic<int> &flag)
        : m_flag(flag)
    {
        while (m_flag.exchange(1) != 0) {
            std::this_thread::yield();
        }
    }
    ~SpinLock() { m_flag = 0; }
    SpinLock(const SpinLock &) = delete;
    SpinLock &operator=(const SpinLock &) = delete;

private:
    std::atomic<int> &m_flag;
};

int simulate(int fd, Shared &state, bool master, unsigned long request, void *arg)
{
    switch (request) {
    case TIOCMGET:
        *static_cast<int *>(arg) = linesSeen(state, master) & ~(master ? 0 : kModemSimBreak);
        return 0;
    case TIOCMSET:
    case TIOCMBIS:
    case TIOCMBIC:
        change(state, master, *static_cast<const int *>(arg), static_cast<int>(request));
        return 0;
    case TIOCMIWAIT:
        return waitForChange(fd, state, master, static_cast<int>(reinterpret_cast<intptr_t>(arg)));
    case TIOCGICOUNT: {
        serial_icounter_struct counts {};
        counts.cts = state.cts;
        counts.dsr = state.dsr;
        counts.rng = state.rng;
        counts.dcd = state.dcd;
        counts.brk = state.breaks;
        *static_cast<serial_icounter_struct *>(arg) = counts;
        return 0;
    }
    case TIOCSBRK:
    case TIOCCBRK:
        setBreak(state, request == TIOCSBRK);
        return 0;
    case TIOCGRS485: {
        const SpinLock lock(state.rs485Lock);
        *static_cast<serial_rs485 *>(arg) = state.rs485;
        return 0;
    }
    case TIOCSRS485: {
        const SpinLock lock(state.rs485Lock);
        state.rs485 = *static_cast<const serial_rs485 *>(arg);
        ++state.sequence;
        return 0;
    }
    default:
        errno = ENOTTY;
        return -1;
    }
}

// The device of BYTEWAY_MODEMSIM_VANISHING, read once; 0 when none is named.
dev_t vanishingDevice()
{
    static const dev_t device = [] {
        const char *path = std::getenv("BYTEWAY_MODEMSIM_VANISHING");
        struct stat info
        {
        };
        return path && std::getenv("BYTEWAY_MODEMSIM_VANISH_TRIGGER") && stat(path, &info) == 0
                && S_ISCHR(info.st_mode)
            ? info.st_rdev
            : dev_t {};
    }();
    return device;
}

// Whether `fd` is the vanishing device and has gone. It goes at the first read after
// the trigger file appears, so that the read waiting on it is the call that fails,
// as when a USB adapter is pulled out; every later read and ioctl fails too.
bool vanished(int fd, bool reading)
{
    static std::atomic<bool> gone { false };
    struct stat info
    {
    };
    if (vanishingDevice() == dev_t {} || fstat(fd, &info) != 0 || !S_ISCHR(info.st_mode)
        || info.st_rdev != vanishingDevice()) {
        return false;
    }
    if (reading && !gone && access(std::getenv("BYTEWAY_MODEMSIM_VANISH_TRIGGER"), F_OK) == 0) {
        gone = true;
    }
    return gone;
}

} // namespace

extern "C" int ioctl(int fd, unsigned long request, ...)
{
    va_list args;
    va_start(args, request);
    void *arg = va_arg(args, void *);
    va_end(args);
    if (vanished(fd, false)) {
        errno = EIO;
        return -1;
    }
    if (takenOver(request)) {
        int number = 0;
        bool master = false;
        if (ptyOf(fd, number, master)) {
            if (Shared *state = sharedOf(number)) {
                return simulate(fd, *state, master, request, arg);
            }
        }
    }
    return realIoctl()(fd, request, arg);
}

extern "C" int tcsendbreak(int fd, int duration)
{
    int number = 0;
    bool master = false;
    Shared *state = ptyOf(fd, number, master) ? sharedOf(number) : nullptr;
    if (!state) {
        using Fn = int (*)(int, int);
        static const auto real = reinterpret_cast<Fn>(dlsym(RTLD_NEXT, "tcsendbreak"));
        return real(fd, duration);
    }
    // As glibc on Linux: 0 is a quarter of a second, a positive duration counts
    // milliseconds rounded up to tenths of a second.
    const int ms = duration > 0 ? (duration + 99) / 100 * 100 : 250;
    setBreak(*state, true);
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    setBreak(*state, false);
    return 0;
}

extern "C" ssize_t read(int fd, void *buffer, size_t size)
{
    using Fn = ssize_t (*)(int, void *, size_t);
    static const auto real = reinterpret_cast<Fn>(dlsym(RTLD_NEXT, "read"));
    if (vanished(fd, true)) {
        errno = EIO;
        return -1;
    }
    return real(fd, buffer, size);
}
