#pragma once

#include "netsocket.h"
#include "rfc2217session.h"
#include "status.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

// One connection of a network port. The constructor returns at once: a thread of
// its own resolves the name, connects without blocking and, for RFC 2217, negotiates
// and applies the line settings; the link is open once all of that succeeded.
//
// Afterwards one thread reads (read) while another writes (write); the replies that
// reading has to send go out under the same lock as written bytes, so a reply never
// lands inside an escaped 0xFF. Any thread may ask phase, failure and gone.
class NetLink
{
public:
    struct Target
    {
        std::string host;
        uint16_t port = 0;
        bool rfc2217 = false;
        Rfc2217Session::Line line;
        // Connecting to one address, and the whole RFC 2217 negotiation.
        std::chrono::milliseconds connectTimeout { 5000 };
        std::chrono::milliseconds negotiateTimeout { 5000 };
    };
    enum class Phase { Connecting, Open, Failed };
    enum class ReadResult { Data, Nothing, Failed };

    // The most one read takes from the socket.
    static constexpr std::size_t kReadSize = 4096;

    explicit NetLink(Target target);
    // Stops the connecting thread and closes the connection.
    ~NetLink();
    NetLink(const NetLink &) = delete;
    NetLink &operator=(const NetLink &) = delete;

    [[nodiscard]] Phase phase() const { return m_phase.load(); }
    // Why the link failed or dropped; success while it is connecting or open.
    [[nodiscard]] Status failure() const;
    // Waits up to `wait` for the link to leave Connecting; the phase afterwards.
    Phase waitSettled(std::chrono::milliseconds wait);

    // One read attempt: data already waiting is taken at once, else it waits up to
    // `waitMs` for some (or for `waker`). Data: `count` bytes (1..size) in `buffer`.
    // Failed: the connection has dropped or the server broke the protocol.
    ReadResult read(
        intptr_t waker, int waitMs, uint8_t *buffer, std::size_t size, std::size_t &count);
    // One write attempt of at most about 1 ms; true when the byte went out.
    bool write(uint8_t byte);
    // Whether the link failed or the server closed the connection; never waits.
    bool gone();

    // What the server reported with NOTIFY-LINESTATE and NOTIFY-MODEMSTATE (RFC 2217
    // only; zero otherwise).
    [[nodiscard]] const Rfc2217Session::LineErrors *lineErrors() const;
    [[nodiscard]] bool modemState(uint8_t &state) const;
    [[nodiscard]] const Target &target() const { return m_target; }

private:
    void connect();
    Status connectSocket();
    Status negotiate();
    // Sends all of `bytes` within about `waitMs`; false (and the link failed) if not.
    bool sendAll(const std::vector<uint8_t> &bytes, int waitMs);
    void fail(Status why);
    void flushReplies();

    const Target m_target;
    std::atomic<Phase> m_phase { Phase::Connecting };
    std::atomic<bool> m_stop { false };
    std::atomic<netsocket::Socket> m_socket { netsocket::kNoSocket };
    std::unique_ptr<Rfc2217Session> m_session;

    mutable std::mutex m_lock; // guards m_failure, with m_settled
    std::condition_variable m_settled;
    Status m_failure;

    std::mutex m_writeLock;
    std::thread m_connector;
};
