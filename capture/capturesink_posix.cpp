#include "capturesink.h"

#include <cerrno>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Short enough that a stop is noticed at once while a reader lags.
constexpr int kRoomWaitMs = 20;

} // namespace

CaptureSink::~CaptureSink()
{
    if (isOpen()) {
        ::close(static_cast<int>(m_handle));
    }
}

bool CaptureSink::isOpen() const
{
    return m_handle >= 0;
}

void CaptureSink::PrepareWriterThread()
{
    // A SIGPIPE raised by this thread's own write stays pending on it and is dropped
    // with the thread; the write reports EPIPE.
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
}

Status CaptureSink::Open(const std::filesystem::path &path)
{
    const int fd = ::open(
        path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0) {
        const int code = errno;
        struct stat info
        {
        };
        if (code == ENXIO && ::stat(path.c_str(), &info) == 0 && S_ISFIFO(info.st_mode)) {
            return Status(ErrorKind::Refused, path.string() + ": a FIFO that nobody reads");
        }
        return Status::FromErrno(ErrorKind::Io, code, path.string());
    }
    m_handle = fd;
    return {};
}

Status CaptureSink::Write(
    std::string_view data, const std::atomic<bool> &hurry, std::size_t &written)
{
    written = 0;
    const int fd = static_cast<int>(m_handle);
    while (written < data.size()) {
        const ssize_t count = ::write(fd, data.data() + written, data.size() - written);
        if (count > 0) {
            written += static_cast<std::size_t>(count);
            continue;
        }
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0 && errno != EAGAIN) {
            return Status::FromErrno(ErrorKind::Io, errno, "writing");
        }
        if (hurry.load()) {
            return {};
        }
        pollfd room { fd, POLLOUT, 0 };
        ::poll(&room, 1, kRoomWaitMs);
    }
    return {};
}

Status CaptureSink::Close()
{
    if (!isOpen()) {
        return {};
    }
    const int fd = static_cast<int>(m_handle);
    m_handle = -1;
    if (::close(fd) != 0 && errno != EINTR) {
        return Status::FromErrno(ErrorKind::Io, errno, "closing");
    }
    return {};
}
