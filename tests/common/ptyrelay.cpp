#include "ptyrelay.h"

#include <chrono>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

extern char **environ;

namespace {

void OpenRawPair(int &master, int &slave, std::string &name)
{
    char buffer[256] = {};
    if (openpty(&master, &slave, buffer, nullptr, nullptr) != 0)
        throw std::runtime_error("openpty failed");
    name = buffer;
    termios settings {};
    tcgetattr(slave, &settings);
    cfmakeraw(&settings);
    tcsetattr(slave, TCSANOW, &settings);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
}

bool WriteAll(int fd, const uint8_t *data, std::size_t size, const std::atomic<bool> &stop)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n > 0) {
            data += n;
            size -= std::size_t(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        if (stop.load())
            return false;
        pollfd waiter { fd, POLLOUT, 0 };
        ::poll(&waiter, 1, 10);
    }
    return true;
}

} // namespace

PtyRelay::PtyRelay(std::vector<Fault> faults)
    : m_faults(std::move(faults))
{
    OpenRawPair(m_masterA, m_slaveA, m_nameA);
    int sockets[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, sockets) != 0)
        throw std::runtime_error("socketpair failed");
    m_masterB = sockets[0];
    m_peerEnd = sockets[1];
    fcntl(m_masterB, F_SETFL, fcntl(m_masterB, F_GETFL) | O_NONBLOCK);
    m_thread = std::thread([this] { run(); });
}

PtyRelay::~PtyRelay()
{
    m_stop.store(true);
    m_thread.join();
    for (int fd : { m_masterA, m_slaveA, m_masterB, m_peerEnd })
        ::close(fd);
}

void PtyRelay::run()
{
    while (!m_stop.load()) {
        pollfd waiters[2] = { { m_masterA, POLLIN, 0 }, { m_masterB, POLLIN, 0 } };
        if (::poll(waiters, 2, 20) <= 0)
            continue;
        if (waiters[0].revents & POLLIN)
            forward(m_masterA, m_masterB, 0);
        if (waiters[1].revents & POLLIN)
            forward(m_masterB, m_masterA, 1);
        if ((waiters[0].revents | waiters[1].revents) & (POLLHUP | POLLERR))
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void PtyRelay::forward(int from, int to, int index)
{
    uint8_t buffer[4096];
    const ssize_t got = ::read(from, buffer, sizeof buffer);
    if (got <= 0)
        return;
    const uint64_t start = m_passed[index].load();
    const Direction direction = index == 0 ? Direction::AtoB : Direction::BtoA;
    std::vector<uint8_t> out;
    out.reserve(std::size_t(got));
    for (ssize_t i = 0; i < got; ++i) {
        const uint64_t offset = start + uint64_t(i);
        uint8_t byte = buffer[i];
        bool keep = true;
        for (const Fault &fault : m_faults) {
            if (fault.direction != direction || fault.offset != offset)
                continue;
            if (fault.kind == Fault::Kind::Corrupt)
                byte ^= 0x5A;
            else if (fault.kind == Fault::Kind::Drop)
                keep = false;
            else {
                WriteAll(to, out.data(), out.size(), m_stop);
                out.clear();
                std::this_thread::sleep_for(std::chrono::milliseconds(fault.delayMs));
            }
        }
        if (keep)
            out.push_back(byte);
    }
    m_passed[index].store(start + uint64_t(got));
    WriteAll(to, out.data(), out.size(), m_stop);
}

PeerProgram::PeerProgram(const std::vector<std::string> &args, int end, const std::string &folder)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    posix_spawn_file_actions_adddup2(&actions, end, STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, end, STDOUT_FILENO);
    const std::string log = folder + "/../peer.log";
    posix_spawn_file_actions_addopen(
        &actions, STDERR_FILENO, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    std::vector<std::string> all = args;
    std::vector<char *> argv;
    for (std::string &arg : all)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    if (posix_spawnp(&m_pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        m_pid = -1;
    posix_spawn_file_actions_destroy(&actions);
}

PeerProgram::~PeerProgram()
{
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
}

void PeerProgram::interrupt() const
{
    if (m_pid > 0)
        ::kill(m_pid, SIGTERM);
}

int PeerProgram::wait(int timeoutMs)
{
    if (m_pid <= 0)
        return -1;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int status = 0;
        rusage usage {};
        const pid_t done = ::wait4(m_pid, &status, WNOHANG, &usage);
        if (done == m_pid) {
            m_pid = -1;
            m_cpuMs = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0
                + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
            m_pid = -1;
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

std::string PatternBytes(std::size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char &c : bytes)
        c = static_cast<char>(random() & 0xFF);
    return bytes;
}

void WriteFileBytes(const std::string &path, const std::string &bytes)
{
    std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
}

std::string ReadFileBytes(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return { std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>() };
}
