// byteway-device: a stand-in for the device at the other end of the serial line. It
// creates a pseudo-terminal, links it where the program looks for a port, and sends
// the counting pattern, echoes and/or records what arrives. See DeviceUsage().

#include "devicefaults.h"
#include "devicelines.h"
#include "deviceoptions.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

volatile std::sig_atomic_t g_stop = 0;

void onStopSignal(int)
{
    g_stop = 1;
}

void installSignals()
{
    struct sigaction action
    {
    };
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a signal must interrupt the wait in poll.
    for (int signal : { SIGINT, SIGTERM, SIGHUP }) {
        sigaction(signal, &action, nullptr);
    }
}

// Replaces whatever link is at `path` (never another kind of file) by one to `target`.
Status makeLink(const std::string &path, const std::string &target)
{
    namespace fs = std::filesystem;
    std::error_code code;
    const fs::path link(path);
    if (link.has_parent_path()) {
        fs::create_directories(link.parent_path(), code);
    }
    const fs::file_status status = fs::symlink_status(link, code);
    if (fs::exists(status) && !fs::is_symlink(status)) {
        return { ErrorKind::Refused, path + " exists and is not a link; not replacing it" };
    }
    const fs::path temporary = path + ".tmp" + std::to_string(getpid());
    fs::remove(temporary, code);
    fs::create_symlink(target, temporary, code);
    if (!code) {
        fs::rename(temporary, link, code);
    }
    if (code) {
        Status failed = Status::FromErrorCode(code, "cannot link " + path);
        fs::remove(temporary, code);
        return failed;
    }
    return {};
}

// Removes the link only while it still points at this run's pty.
void removeLink(const std::string &path, const std::string &target)
{
    std::error_code code;
    if (!path.empty() && std::filesystem::read_symlink(path, code) == target) {
        std::filesystem::remove(path, code);
    }
}

class Device
{
public:
    Device(const DeviceOptions &options, int master, std::FILE *log)
        : m_options(options)
        , m_master(master)
        , m_log(log)
        , m_start(Clock::now())
        , m_faults(options.faults)
    { }

    void run()
    {
        while (!g_stop) {
            // While echoes pile up unread, stop taking more in.
            const bool take = !m_options.stall && m_echoOut.size() < kEchoBacklog;
            pollfd waiter { m_master, take ? short(POLLIN) : short(0), 0 };
            const int64_t due = sendableNow();
            const int pausedMs = pauseLeftMs();
            if ((!m_echoOut.empty() || due > 0) && pausedMs == 0) {
                waiter.events |= POLLOUT;
            }
            const int wait = pausedMs > 0 ? std::min(pausedMs, waitMs(due)) : waitMs(due);
            const int ready = ::poll(&waiter, 1, wait);
            if (ready < 0 && errno != EINTR) {
                break;
            }
            if (ready <= 0) {
                continue;
            }
            if (waiter.revents & POLLIN) {
                receive();
            }
            if (waiter.revents & POLLOUT) {
                transmit(due);
            }
            if (waiter.revents & (POLLHUP | POLLERR)) {
                ::usleep(10000); // nobody on the other side for a moment
            }
        }
    }

private:
    static constexpr size_t kEchoBacklog = 65536;

    double elapsedSeconds() const
    {
        return std::chrono::duration<double>(Clock::now() - m_start).count();
    }

    // Pattern bytes that may go out now.
    int64_t sendableNow() const
    {
        if (!m_options.sending) {
            return 0;
        }
        int64_t allowed = INT64_MAX;
        if (m_options.count >= 0) {
            allowed = m_options.count - m_sent;
        }
        if (m_options.rate > 0) {
            const auto byRate = static_cast<int64_t>(elapsedSeconds() * double(m_options.rate));
            allowed = std::min(allowed, byRate - m_sent);
        }
        return std::max<int64_t>(allowed, 0);
    }

    // How long poll may sleep: until the next paced byte is due, else for long.
    int waitMs(int64_t due) const
    {
        const bool finished = m_options.count >= 0 && m_sent >= m_options.count;
        if (due > 0 || !m_options.sending || finished || m_options.rate == 0) {
            return 200;
        }
        const double next = double(m_sent + 1) / double(m_options.rate) - elapsedSeconds();
        return std::clamp(static_cast<int>(next * 1000.0) + 1, 1, 200);
    }

    void receive()
    {
        unsigned char buffer[4096];
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n <= 0) {
            return;
        }
        if (m_log) {
            const auto us
                = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - m_start)
                      .count();
            for (ssize_t i = 0; i < n; ++i) {
                std::fprintf(m_log, "%lld %02X\n", static_cast<long long>(us), buffer[i]);
            }
            std::fflush(m_log);
        }
        if (m_options.echo && m_options.faults.any()) {
            m_faults.Process(buffer, static_cast<size_t>(n), m_echoOut);
        } else if (m_options.echo) {
            m_echoOut.append(reinterpret_cast<const char *>(buffer), static_cast<size_t>(n));
        }
    }

    // Milliseconds of an injected pause still to wait; starts a pause that is due.
    int pauseLeftMs()
    {
        const auto now = Clock::now();
        uint64_t at = 0;
        int64_t ms = 0;
        if (now >= m_resumeAt && m_faults.nextPause(at, ms) && at <= m_written) {
            m_resumeAt = now + std::chrono::milliseconds(ms);
            m_faults.pauseTaken();
        }
        if (now >= m_resumeAt) {
            return 0;
        }
        const auto left
            = std::chrono::duration_cast<std::chrono::milliseconds>(m_resumeAt - now).count();
        return static_cast<int>(std::max<int64_t>(left, 1));
    }

    void transmit(int64_t due)
    {
        if (!m_echoOut.empty()) {
            size_t length = m_echoOut.size();
            uint64_t at = 0;
            int64_t ms = 0;
            if (m_faults.nextPause(at, ms)) {
                length = std::min<size_t>(length, static_cast<size_t>(at - m_written));
            }
            const ssize_t n = length ? ::write(m_master, m_echoOut.data(), length) : 0;
            if (n > 0) {
                m_echoOut.erase(0, static_cast<size_t>(n));
                m_written += static_cast<uint64_t>(n);
            }
        }
        if (due <= 0) {
            return;
        }
        if (m_options.faults.any()) {
            // The pattern goes out through the faults, after what is already queued.
            if (m_echoOut.empty()) {
                unsigned char chunk[4096];
                const auto size = static_cast<size_t>(std::min<int64_t>(due, sizeof chunk));
                for (size_t i = 0; i < size; ++i) {
                    chunk[i]
                        = static_cast<unsigned char>((m_sent + int64_t(i)) % m_options.pattern);
                }
                m_sent += static_cast<int64_t>(size);
                m_faults.Process(chunk, size, m_echoOut);
            }
            return;
        }
        unsigned char chunk[4096];
        const auto size = static_cast<size_t>(std::min<int64_t>(due, sizeof chunk));
        for (size_t i = 0; i < size; ++i) {
            chunk[i] = static_cast<unsigned char>((m_sent + int64_t(i)) % m_options.pattern);
        }
        const ssize_t n = ::write(m_master, chunk, size);
        if (n > 0) {
            m_sent += n;
            if (m_sent == m_options.count) {
                std::printf("byteway-device: sent %lld bytes\n", static_cast<long long>(m_sent));
            }
            std::fflush(stdout);
        }
    }

    const DeviceOptions &m_options;
    const int m_master;
    std::FILE *const m_log;
    const Clock::time_point m_start;
    int64_t m_sent = 0;
    std::string m_echoOut;
    FaultInjector m_faults;
    uint64_t m_written = 0; // bytes of m_echoOut written in all
    Clock::time_point m_resumeAt {};
};

void describe(const DeviceOptions &options, const std::string &pty)
{
    if (options.link.empty()) {
        std::printf("byteway-device: pseudo-terminal %s\n", pty.c_str());
    } else {
        std::printf("byteway-device: linked %s -> %s\n", options.link.c_str(), pty.c_str());
    }
    if (options.sending) {
        std::printf("byteway-device: sending pattern 0..%d", options.pattern - 1);
        if (options.rate > 0) {
            std::printf(" at %lld bytes/s", static_cast<long long>(options.rate));
        }
        if (options.count >= 0) {
            std::printf(", %lld bytes", static_cast<long long>(options.count));
        }
        std::printf("\n");
    }
    if (options.echo) {
        std::printf("byteway-device: echoing what arrives\n");
    }
    if (options.stall) {
        std::printf("byteway-device: reading nothing\n");
    }
    if (!options.log.empty()) {
        std::printf("byteway-device: recording what arrives in %s\n", options.log.c_str());
    }
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    DeviceOptions options;
    if (const Status read
        = ParseDeviceOptions(std::vector<std::string>(argv + 1, argv + argc), options);
        !read) {
        std::fprintf(stderr, "byteway-device: %s\n\n%s", read.reason().c_str(), DeviceUsage());
        return 2;
    }
    if (options.help) {
        std::fputs(DeviceUsage(), stdout);
        return 0;
    }

    int master = -1, slave = -1;
    char name[256] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        std::fprintf(
            stderr, "byteway-device: cannot create a pseudo-terminal: %s\n", std::strerror(errno));
        return 1;
    }
    // The slave stays open here for the whole run: without any holder the master
    // would see a hang-up whenever the program closes the port. Raw, so nothing is
    // echoed or translated before the program has configured the line itself.
    termios settings {};
    tcgetattr(slave, &settings);
    cfmakeraw(&settings);
    tcsetattr(slave, TCSANOW, &settings);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);

    std::FILE *log = nullptr;
    if (!options.log.empty() && !(log = std::fopen(options.log.c_str(), "w"))) {
        std::fprintf(stderr, "byteway-device: cannot write %s: %s\n", options.log.c_str(),
            std::strerror(errno));
        return 1;
    }
    if (const Status linked = options.link.empty() ? Status() : makeLink(options.link, name);
        !linked) {
        std::fprintf(stderr, "byteway-device: %s\n", linked.reason().c_str());
        return 1;
    }
    installSignals();
    describe(options, name);

    Device device(options, master, log);
    DeviceLines lines(master, Clock::now());
    if (options.lines) {
        lines.start(options.commands);
    }
    device.run();

    removeLink(options.link, name);
    if (log) {
        std::fclose(log);
    }
    ::close(master);
    ::close(slave);
    return 0;
}
