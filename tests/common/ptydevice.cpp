#include "ptydevice.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

void restoreEnv(const char *name, bool had, const std::string &value)
{
    if (had)
        setenv(name, value.c_str(), 1);
    else
        unsetenv(name);
}

} // namespace

TempConfigHome::TempConfigHome()
{
    std::string pattern
        = (std::filesystem::temp_directory_path() / "byteway-serial-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    m_root = pattern;
    if (const char *xdg = std::getenv("XDG_CONFIG_HOME")) {
        m_hadXdg = true;
        m_savedXdg = xdg;
    }
    if (const char *home = std::getenv("HOME")) {
        m_hadHome = true;
        m_savedHome = home;
    }
    setenv("XDG_CONFIG_HOME", m_root.c_str(), 1);
    setenv("HOME", m_root.c_str(), 1);
}

TempConfigHome::~TempConfigHome()
{
    restoreEnv("XDG_CONFIG_HOME", m_hadXdg, m_savedXdg);
    restoreEnv("HOME", m_hadHome, m_savedHome);
    std::error_code ignored;
    std::filesystem::remove_all(m_root, ignored);
}

std::string TempConfigHome::bytewayFolder() const
{
    const std::string folder = m_root + "/byteway";
    std::filesystem::create_directories(folder);
    return folder;
}

void TempConfigHome::link(int port, const std::string &target) const
{
    const std::filesystem::path path = bytewayFolder() + "/com" + std::to_string(port);
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    std::filesystem::create_symlink(target, path);
}

PtyDevice::PtyDevice(bool raw)
{
    char name[256] = {};
    if (openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0)
        throw std::runtime_error("openpty failed");
    m_name = name;
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
    if (raw) {
        termios settings = slaveSettings();
        cfmakeraw(&settings);
        setSlaveSettings(settings);
    }
}

PtyDevice::~PtyDevice()
{
    unplug();
}

termios PtyDevice::slaveSettings() const
{
    termios settings {};
    tcgetattr(m_slave, &settings);
    return settings;
}

void PtyDevice::setSlaveSettings(const termios &settings) const
{
    tcsetattr(m_slave, TCSANOW, &settings);
}

bool PtyDevice::send(const std::string &bytes) const
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        pollfd waiter { m_master, POLLOUT, 0 };
        if (::poll(&waiter, 1, 1000) <= 0)
            return false;
    }
    return true;
}

std::string PtyDevice::receive(std::size_t count, int timeoutMs) const
{
    using namespace std::chrono;
    const auto deadline = steady_clock::now() + milliseconds(timeoutMs);
    std::string bytes;
    while (bytes.size() < count) {
        const auto left = duration_cast<milliseconds>(deadline - steady_clock::now()).count();
        if (left <= 0)
            break;
        pollfd waiter { m_master, POLLIN, 0 };
        if (::poll(&waiter, 1, static_cast<int>(left)) <= 0)
            break;
        char buffer[4096];
        const std::size_t want = std::min(sizeof buffer, count - bytes.size());
        const ssize_t n = ::read(m_master, buffer, want);
        if (n <= 0)
            break;
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    return bytes;
}

void PtyDevice::unplug()
{
    if (m_master >= 0)
        ::close(m_master);
    if (m_slave >= 0)
        ::close(m_slave);
    m_master = m_slave = -1;
}

double ThreadCpuMs()
{
    rusage usage {};
    getrusage(RUSAGE_THREAD, &usage);
    const auto ms = [](const timeval &t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}
