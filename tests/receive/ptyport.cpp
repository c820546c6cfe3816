#include "ptyport.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

PtyPort::PtyPort(bool openPort)
    : m_openPort(openPort)
{
    if (const char *xdg = std::getenv("XDG_CONFIG_HOME")) {
        m_hadXdg = true;
        m_savedXdg = xdg;
    }
    char pattern[] = "/tmp/byteway-pty-XXXXXX";
    m_folder = mkdtemp(pattern);
    setenv("XDG_CONFIG_HOME", m_folder.c_str(), 1);
    std::filesystem::create_directories(m_folder + "/byteway");

    termios raw {};
    cfmakeraw(&raw);
    char name[256] = {};
    if (openpty(&m_master, &m_slave, name, &raw, nullptr) != 0) {
        return;
    }
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
    std::filesystem::create_symlink(name, m_folder + "/byteway/com1");
    if (m_openPort) {
        port.Open(1, 115200, 0, 0, 8);
    }
}

PtyPort::~PtyPort()
{
    port.Close();
    if (m_slave >= 0) {
        close(m_slave);
    }
    if (m_master >= 0) {
        close(m_master);
    }
    std::error_code ignored;
    std::filesystem::remove_all(m_folder, ignored);
    if (m_hadXdg) {
        setenv("XDG_CONFIG_HOME", m_savedXdg.c_str(), 1);
    } else {
        unsetenv("XDG_CONFIG_HOME");
    }
}

bool PtyPort::send(const std::string &bytes) const
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(m_master, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        pollfd waiter { m_master, POLLOUT, 0 };
        if (poll(&waiter, 1, 1000) <= 0) {
            return false;
        }
    }
    return true;
}

std::string PtyPort::receive(std::size_t count, int timeoutMs) const
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string result;
    char buffer[4096];
    while (result.size() < count) {
        const ssize_t n = read(m_master, buffer, std::min(sizeof buffer, count - result.size()));
        if (n > 0) {
            result.append(buffer, static_cast<std::size_t>(n));
            continue;
        }
        const auto left
            = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            break;
        }
        pollfd waiter { m_master, POLLIN, 0 };
        poll(&waiter, 1, static_cast<int>(left.count()));
    }
    return result;
}
