#include "netendpoints.h"
#include "netsocket.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace netsocket {

namespace {

#ifdef MSG_NOSIGNAL
constexpr int kSendFlags = MSG_NOSIGNAL;
#else
constexpr int kSendFlags = 0;
#endif

ErrorKind connectKind(int code)
{
    switch (code) {
    case ECONNREFUSED:
        return ErrorKind::Refused;
    case ETIMEDOUT:
        return ErrorKind::Timeout;
    case ENETUNREACH:
    case EHOSTUNREACH:
    case EADDRNOTAVAIL:
        return ErrorKind::NotFound;
    default:
        return ErrorKind::Io;
    }
}

} // namespace

Result<std::vector<Endpoint>> Resolve(const std::string &host, uint16_t port)
{
    addrinfo hints {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_ADDRCONFIG;
    addrinfo *found = nullptr;
    const std::string service = std::to_string(port);
    int code = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
    // AI_ADDRCONFIG hides ::1 and 127.0.0.1 on a machine with loopback only: a name
    // that found no address of a configured family is asked again without it. A
    // name service that did not answer (EAI_AGAIN) is not asked twice.
    if (code == EAI_BADFLAGS || code == EAI_NONAME || code == EAI_NODATA
        || code == EAI_ADDRFAMILY) {
        hints.ai_flags = 0;
        code = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
    }
    if (code != 0) {
        return Status(code == EAI_NONAME || code == EAI_FAIL || code == EAI_NODATA
                ? ErrorKind::NotFound
                : ErrorKind::Io,
            "host not found: " + host + " (" + ::gai_strerror(code) + ")");
    }
    std::vector<Endpoint> endpoints = EndpointsOf(found);
    ::freeaddrinfo(found);
    if (endpoints.empty()) {
        return Status(ErrorKind::NotFound, "host not found: " + host);
    }
    return endpoints;
}

Result<Socket> StartConnect(const Endpoint &endpoint)
{
    const int fd = ::socket(endpoint.family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return Status::FromErrno(ErrorKind::Io, errno, "socket");
    }
    const int one = 1;
    // One byte of a timed send goes out at once, not when the next one follows.
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (::connect(fd, reinterpret_cast<const sockaddr *>(endpoint.address.data()),
            static_cast<socklen_t>(endpoint.size))
            != 0
        && errno != EINPROGRESS) {
        const int code = errno;
        ::close(fd);
        return Status::FromErrno(connectKind(code), code, "connecting to " + endpoint.text);
    }
    return Socket { fd };
}

Status FinishConnect(Socket socket, int waitMs)
{
    pollfd waiter { static_cast<int>(socket), POLLOUT, 0 };
    const int ready = ::poll(&waiter, 1, waitMs);
    if (ready == 0 || (ready < 0 && errno == EINTR)) {
        return { ErrorKind::Timeout, "no answer within the time-out" };
    }
    int code = 0;
    socklen_t size = sizeof code;
    if (ready < 0
        || ::getsockopt(static_cast<int>(socket), SOL_SOCKET, SO_ERROR, &code, &size) != 0) {
        code = errno;
    }
    if (code != 0) {
        return Status::FromErrno(connectKind(code), code, "connecting");
    }
    return {};
}

Ready Poll(Socket socket, intptr_t waker, bool forWrite, int waitMs)
{
    pollfd waiters[2] = {
        { static_cast<int>(socket), static_cast<short>(forWrite ? POLLOUT : POLLIN), 0 },
        { static_cast<int>(waker), POLLIN, 0 },
    };
    Ready ready;
    if (::poll(waiters, 2, waitMs) <= 0) {
        return ready;
    }
    if ((waiters[1].revents & POLLIN) != 0) {
        uint64_t wakes = 0;
        [[maybe_unused]] const ssize_t taken = ::read(waiters[1].fd, &wakes, sizeof wakes);
        ready.woken = true;
    }
    const short got = waiters[0].revents;
    ready.readable = (got & (POLLIN | POLLHUP | POLLERR)) != 0 && !forWrite;
    ready.writable = (got & (POLLOUT | POLLHUP | POLLERR)) != 0 && forWrite;
    return ready;
}

long Send(Socket socket, const uint8_t *data, std::size_t size)
{
    for (;;) {
        const ssize_t sent = ::send(static_cast<int>(socket), data, size, kSendFlags);
        if (sent >= 0) {
            return static_cast<long>(sent);
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            return 0;
        }
        if (errno != EINTR) {
            return -1;
        }
    }
}

long Receive(Socket socket, uint8_t *data, std::size_t size)
{
    for (;;) {
        const ssize_t got = ::recv(static_cast<int>(socket), data, size, 0);
        if (got >= 0) {
            return static_cast<long>(got);
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            return -1;
        }
        if (errno != EINTR) {
            return -2;
        }
    }
}

bool PeerGone(Socket socket)
{
    pollfd waiter { static_cast<int>(socket), POLLIN, 0 };
    if (::poll(&waiter, 1, 0) <= 0) {
        return false;
    }
    if ((waiter.revents & (POLLERR | POLLNVAL)) != 0) {
        return true;
    }
    uint8_t byte = 0;
    const ssize_t got = ::recv(static_cast<int>(socket), &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    return got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR);
}

void Close(Socket socket)
{
    if (socket != kNoSocket) {
        ::close(static_cast<int>(socket));
    }
}

std::string LastError()
{
    return std::strerror(errno);
}

} // namespace netsocket
