#pragma once

// Servers for network-port tests, all on the loopback address: a scripted one in a
// thread of the test, and real ones (ser2net, pyserial's RFC 2217 server example)
// as child processes.

#include "net/telnetcodec.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace netservers {

using namespace std::chrono_literals;

// A TCP port on 127.0.0.1 that was free a moment ago.
inline uint16_t FreePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address);
    socklen_t size = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &size);
    ::close(fd);
    return ntohs(address.sin_port);
}

// Whether something accepts connections on 127.0.0.1:`port` within `limit`.
inline bool WaitListening(uint16_t port, std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        const bool ok = ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
        ::close(fd);
        if (ok) {
            return true;
        }
        std::this_thread::sleep_for(20ms);
    }
    return false;
}

// Sends all of `bytes`; false once the peer is gone.
inline bool SendAll(int fd, const std::string &bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t sent = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (sent <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(sent);
    }
    return true;
}

// Listens on 127.0.0.1 and runs `serve` on each connection it accepts, one at a time,
// until destroyed; `serve` should return once `stopping()` is true.
class ScriptedServer
{
public:
    using Serve = std::function<void(int fd, const std::atomic<bool> &stopping)>;

    explicit ScriptedServer(Serve serve, int backlog = 4)
        : m_serve(std::move(serve))
    {
        m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
        const int one = 1;
        ::setsockopt(m_listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_listener, reinterpret_cast<sockaddr *>(&address), sizeof address);
        socklen_t size = sizeof address;
        ::getsockname(m_listener, reinterpret_cast<sockaddr *>(&address), &size);
        m_port = ntohs(address.sin_port);
        ::listen(m_listener, backlog);
        if (m_serve) {
            m_thread = std::thread([this] { run(); });
        }
    }
    ~ScriptedServer()
    {
        m_stop = true;
        if (m_thread.joinable()) {
            m_thread.join();
        }
        ::close(m_listener);
    }
    uint16_t port() const { return m_port; }
    int connections() const { return m_connections.load(); }

private:
    void run()
    {
        while (!m_stop) {
            pollfd waiter { m_listener, POLLIN, 0 };
            if (::poll(&waiter, 1, 20) <= 0) {
                continue;
            }
            const int fd = ::accept(m_listener, nullptr, nullptr);
            if (fd < 0) {
                continue;
            }
            m_connections.fetch_add(1);
            m_serve(fd, m_stop);
            ::close(fd);
        }
    }

    Serve m_serve;
    int m_listener = -1;
    uint16_t m_port = 0;
    std::atomic<bool> m_stop { false };
    std::atomic<int> m_connections { 0 };
    std::thread m_thread;
};

// A well-behaved RFC 2217 server without a device: takes COM-PORT-OPTION, answers
// each setting with the value asked for (or, for the baud rate, with `baud` when it
// is not 0) and echoes data.
inline void AcceptingRfc2217(int fd, const std::atomic<bool> &stopping, uint32_t baud = 0)
{
    struct Answers : telnet::Sink
    {
        void negotiation(uint8_t, uint8_t) override { }
        void subnegotiation(const uint8_t *data, std::size_t size) override
        {
            if (size < 2 || data[0] != telnet::kComPort) {
                return;
            }
            std::vector<uint8_t> answer(data + 1, data + size);
            answer[0] = static_cast<uint8_t>(answer[0] + 100);
            if (data[1] == 1 && baud != 0 && answer.size() == 5) {
                answer = { 101, static_cast<uint8_t>(baud >> 24), static_cast<uint8_t>(baud >> 16),
                    static_cast<uint8_t>(baud >> 8), static_cast<uint8_t>(baud) };
            }
            telnet::AppendSubnegotiation(out, telnet::kComPort, answer.data(), answer.size());
        }
        void malformed() override { }
        uint32_t baud = 0;
        std::vector<uint8_t> out;
    } answers;
    answers.baud = baud;
    telnet::Decoder decoder;
    SendAll(fd, std::string("\xFF\xFD\x2C\xFF\xFB\x00\xFF\xFD\x00", 9));
    uint8_t buffer[4096];
    while (!stopping) {
        pollfd waiter { fd, POLLIN, 0 };
        if (::poll(&waiter, 1, 20) <= 0) {
            continue;
        }
        const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got <= 0) {
            return;
        }
        const std::size_t data
            = decoder.decode(buffer, static_cast<std::size_t>(got), buffer, answers);
        std::vector<uint8_t> reply = std::move(answers.out);
        answers.out.clear();
        for (std::size_t i = 0; i < data; ++i) {
            telnet::AppendData(reply, buffer[i]);
        }
        if (!SendAll(fd, std::string(reply.begin(), reply.end()))) {
            return;
        }
    }
}

// A program run as a child process, its output collected in a file; killed when
// destroyed.
class ChildProcess
{
public:
    ChildProcess(const std::vector<std::string> &args, const std::string &outputFile)
        : m_output(outputFile)
    {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(
            &actions, STDOUT_FILENO, outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
        std::vector<std::string> copy = args;
        std::vector<char *> argv;
        for (std::string &arg : copy) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        if (posix_spawnp(&m_pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
            m_pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
    }
    ~ChildProcess() { stop(SIGKILL); }
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    bool running() const { return m_pid > 0; }
    void stop(int signal)
    {
        if (m_pid > 0) {
            ::kill(m_pid, signal);
            int status = 0;
            ::waitpid(m_pid, &status, 0);
            m_pid = -1;
        }
    }
    std::string output() const
    {
        std::ifstream in(m_output);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

private:
    pid_t m_pid = -1;
    std::string m_output;
};

// ser2net serving `device` with RFC 2217 (or raw TCP) on 127.0.0.1:`port`, with a
// configuration written into `folder`.
inline std::unique_ptr<ChildProcess> StartSer2net(const std::string &folder,
    const std::string &device, uint16_t port, bool rfc2217, const std::string &preload = {})
{
    const std::string config = folder + "/ser2net.yaml";
    std::ofstream(config) << "connection: &con1\n"
                          << "  accepter: " << (rfc2217 ? "telnet(rfc2217)," : "")
                          << "tcp,127.0.0.1," << port << "\n"
                          << "  connector: serialdev," << device << ",9600n81,local\n"
                          << "  options:\n    kickolduser: true\n"
                          // The default of 64 bytes per transfer costs a packet each.
                          << "    dev-to-net-bufsize: 4096\n    net-to-dev-bufsize: 4096\n";
    auto process = std::make_unique<ChildProcess>(
        std::vector<std::string> { "env", "LD_PRELOAD=" + preload,
            "BYTEWAY_TERMIOS_LOG=" + folder + "/termios.log", "ser2net", "-n", "-d", "-c", config },
        folder + "/ser2net.log");
    return process;
}

// The RFC 2217 server example that python3-serial ships, serving `url` (loop://) on
// 127.0.0.1:`port`. The example binds every address; the wrapper narrows it to the
// loopback address before running it unchanged.
constexpr const char *kPyserialExample = "/usr/share/doc/python3-serial/examples/rfc2217_server.py";

inline std::unique_ptr<ChildProcess> StartPyserialServer(
    const std::string &folder, const std::string &url, uint16_t port)
{
    const std::string wrapper = "import runpy, socket, sys\n"
                                "bind = socket.socket.bind\n"
                                "socket.socket.bind = lambda s, a: bind(s, ('127.0.0.1', a[1]))\n"
                                "sys.argv = ['rfc2217_server.py', '-p', sys.argv[1], sys.argv[2]]\n"
                                "runpy.run_path('"
        + std::string(kPyserialExample) + "', run_name='__main__')\n";
    return std::make_unique<ChildProcess>(
        std::vector<std::string> { "/usr/bin/python3", "-c", wrapper, std::to_string(port), url },
        folder + "/pyserial.log");
}

} // namespace netservers
