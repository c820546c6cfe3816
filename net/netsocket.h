#pragma once

#include "base/status.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The few socket calls a network port needs, one file per system behind them
// (POSIX sockets, Winsock). Every socket is non-blocking; waits happen in Poll only.
namespace netsocket {

using Socket = intptr_t;
constexpr Socket kNoSocket = -1;

// One address that a name resolved to, kept as the system's socket address.
struct Endpoint
{
    std::array<uint8_t, 128> address {};
    std::size_t size = 0;
    int family = 0;
    std::string text; // "127.0.0.1" or "::1", for reasons
};

// Resolves `host` (name or address) for TCP port `port`. Waits for the system's
// resolver: call it away from the user-interface thread. NotFound: "host not found".
[[nodiscard]] Result<std::vector<Endpoint>> Resolve(const std::string &host, uint16_t port);

// Starts connecting to `endpoint` without waiting.
[[nodiscard]] Result<Socket> StartConnect(const Endpoint &endpoint);
// Waits up to `waitMs` for a connection StartConnect began: ok once connected,
// Timeout while it is still under way, else why it failed (Refused: connection refused).
[[nodiscard]] Status FinishConnect(Socket socket, int waitMs);

struct Ready
{
    bool readable = false; // data or the end of the stream is waiting
    bool writable = false;
    bool woken = false; // `waker` was signalled (and has been reset)
};
// Waits up to `waitMs` for the socket (when not kNoSocket) or for `waker` (an eventfd,
// or kNoSocket).
Ready Poll(Socket socket, intptr_t waker, bool forWrite, int waitMs);

// Bytes sent, 0 when the socket takes none now, -1 on failure.
long Send(Socket socket, const uint8_t *data, std::size_t size);
// Bytes received, 0 at the end of the stream, -1 when nothing waits, -2 on failure.
long Receive(Socket socket, uint8_t *data, std::size_t size);
// Whether the peer has closed or reset the connection; never waits, never takes data.
bool PeerGone(Socket socket);
void Close(Socket socket);

// The system's text of the last failed socket call on this thread.
std::string LastError();

} // namespace netsocket
