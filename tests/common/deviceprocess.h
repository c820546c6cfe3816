#pragma once

// The demo device program (byteway-device, path in BYTEWAY_DEVICE) as a child process.

#include <chrono>
#include <csignal>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

// byteway-device running as a child process, its standard output read through a pipe.
class DeviceProcess
{
public:
    explicit DeviceProcess(const std::vector<std::string> &args)
    {
        int out[2];
        if (pipe(out) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDERR_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        std::vector<std::string> all { BYTEWAY_DEVICE };
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char *> argv;
        for (std::string &arg : all)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        if (posix_spawn(&m_pid, BYTEWAY_DEVICE, &actions, nullptr, argv.data(), environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        m_output = out[0];
    }
    ~DeviceProcess()
    {
        if (m_pid > 0)
            stop(SIGKILL);
        ::close(m_output);
    }

    // Reads the output until it contains `text` (at `from` or later) or `timeoutMs`
    // passed.
    bool waitFor(const std::string &text, int timeoutMs, std::size_t from = 0)
    {
        const auto deadline
            = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (m_text.find(text, from) == std::string::npos
            && std::chrono::steady_clock::now() < deadline) {
            pollfd waiter { m_output, POLLIN, 0 };
            if (::poll(&waiter, 1, 50) <= 0)
                continue;
            char buffer[512];
            const ssize_t n = ::read(m_output, buffer, sizeof buffer);
            if (n <= 0)
                break;
            m_text.append(buffer, static_cast<size_t>(n));
        }
        return m_text.find(text, from) != std::string::npos;
    }

    // Sends `signal` and returns the exit code (-1 if it did not exit normally).
    int stop(int signal)
    {
        kill(m_pid, signal);
        return wait();
    }
    int wait()
    {
        int status = 0;
        waitpid(m_pid, &status, 0);
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    const std::string &text() const { return m_text; }

private:
    pid_t m_pid = -1;
    int m_output = -1;
    std::string m_text;
};
