#include "netendpoints.h"
#include "netsocket.h"

#include <cstring>
#include <mutex>

#include <winsock2.h>
#include <ws2tcpip.h>

namespace netsocket {

namespace {

// Winsock needs starting once per process; it stays up until the process ends.
void startWinsock()
{
    static std::once_flag once;
    std::call_once(once, [] {
        WSADATA data {};
        WSAStartup(MAKEWORD(2, 2), &data);
    });
}

std::string errorText(int code)
{
    char text[256] = {};
    const DWORD size = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(code), 0, text, sizeof text, nullptr);
    std::string message(text, size);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) {
        message.pop_back();
    }
    return message.empty() ? "error " + std::to_string(code) : message;
}

Status failure(ErrorKind kind, int code, const std::string &what)
{
    return { kind, what + ": " + errorText(code) };
}

ErrorKind connectKind(int code)
{
    switch (code) {
    case WSAECONNREFUSED:
        return ErrorKind::Refused;
    case WSAETIMEDOUT:
        return ErrorKind::Timeout;
    case WSAENETUNREACH:
    case WSAEHOSTUNREACH:
    case WSAEADDRNOTAVAIL:
        return ErrorKind::NotFound;
    default:
        return ErrorKind::Io;
    }
}

SOCKET native(Socket socket)
{
    return static_cast<SOCKET>(socket);
}

} // namespace

Result<std::vector<Endpoint>> Resolve(const std::string &host, uint16_t port)
{
    startWinsock();
    addrinfo hints {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    const std::string service = std::to_string(port);
    const int code = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
    if (code != 0) {
        return Status(
            code == WSAHOST_NOT_FOUND || code == WSANO_DATA ? ErrorKind::NotFound : ErrorKind::Io,
            "host not found: " + host + " (" + errorText(code) + ")");
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
    startWinsock();
    const SOCKET socket = ::socket(endpoint.family, SOCK_STREAM, IPPROTO_TCP);
    if (socket == INVALID_SOCKET) {
        return failure(ErrorKind::Io, WSAGetLastError(), "socket");
    }
    u_long nonBlocking = 1;
    ::ioctlsocket(socket, FIONBIO, &nonBlocking);
    const BOOL one = TRUE;
    ::setsockopt(
        socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char *>(&one), sizeof one);
    if (::connect(socket, reinterpret_cast<const sockaddr *>(endpoint.address.data()),
            static_cast<int>(endpoint.size))
        != 0) {
        const int code = WSAGetLastError();
        if (code != WSAEWOULDBLOCK) {
            ::closesocket(socket);
            return failure(connectKind(code), code, "connecting to " + endpoint.text);
        }
    }
    return static_cast<Socket>(socket);
}

Status FinishConnect(Socket socket, int waitMs)
{
    // select, not WSAPoll: older WSAPoll never reports a refused connection.
    fd_set writable;
    fd_set failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(native(socket), &writable);
    FD_SET(native(socket), &failed);
    timeval wait { waitMs / 1000, (waitMs % 1000) * 1000 };
    const int ready = ::select(0, nullptr, &writable, &failed, &wait);
    if (ready == 0) {
        return { ErrorKind::Timeout, "no answer within the time-out" };
    }
    int code = 0;
    int size = sizeof code;
    if (ready < 0) {
        code = WSAGetLastError();
    } else if (FD_ISSET(native(socket), &failed)) {
        ::getsockopt(native(socket), SOL_SOCKET, SO_ERROR, reinterpret_cast<char *>(&code), &size);
        if (code == 0) {
            code = WSAECONNREFUSED;
        }
    }
    if (code != 0) {
        return failure(connectKind(code), code, "connecting");
    }
    return {};
}

Ready Poll(Socket socket, intptr_t, bool forWrite, int waitMs)
{
    Ready ready;
    if (socket == kNoSocket) {
        Sleep(static_cast<DWORD>(waitMs));
        return ready;
    }
    WSAPOLLFD waiter {};
    waiter.fd = native(socket);
    waiter.events = forWrite ? POLLWRNORM : POLLRDNORM;
    if (WSAPoll(&waiter, 1, waitMs) <= 0) {
        return ready;
    }
    const short got = waiter.revents;
    ready.readable = !forWrite && (got & (POLLRDNORM | POLLHUP | POLLERR)) != 0;
    ready.writable = forWrite && (got & (POLLWRNORM | POLLHUP | POLLERR)) != 0;
    return ready;
}

long Send(Socket socket, const uint8_t *data, std::size_t size)
{
    const int sent
        = ::send(native(socket), reinterpret_cast<const char *>(data), static_cast<int>(size), 0);
    if (sent >= 0) {
        return sent;
    }
    return WSAGetLastError() == WSAEWOULDBLOCK ? 0 : -1;
}

long Receive(Socket socket, uint8_t *data, std::size_t size)
{
    const int got
        = ::recv(native(socket), reinterpret_cast<char *>(data), static_cast<int>(size), 0);
    if (got >= 0) {
        return got;
    }
    return WSAGetLastError() == WSAEWOULDBLOCK ? -1 : -2;
}

bool PeerGone(Socket socket)
{
    char byte = 0;
    const int got = ::recv(native(socket), &byte, 1, MSG_PEEK);
    return got == 0 || (got < 0 && WSAGetLastError() != WSAEWOULDBLOCK);
}

void Close(Socket socket)
{
    if (socket != kNoSocket) {
        ::closesocket(native(socket));
    }
}

std::string LastError()
{
    return errorText(WSAGetLastError());
}

} // namespace netsocket
