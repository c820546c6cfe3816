#pragma once

#include "base/status.h"
#include "netsocket.h"
#include "rfc2217session.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// One connection of a network port. The constructor returns at once: a thread of
// its own resolves the name, connects without blocking and, for RFC 2217, negotiates
// and applies the line settings; the link is open once all of that succeeded.
//
// The system's resolver cannot be interrupted, so the name is looked up on a thread
// of its own that the link leaves behind when it is closed or the lookup outlasts the
// connect time-out: the lookup keeps what it fills alive itself, and the destructor
// never waits for it.
//
// Afterwards one thread reads (read) while another writes (write); the replies that
// reading has to send go out under the same lock as written bytes, so a reply never
// lands inside an escaped 0xFF. Any thread may ask phase, failure and gone.
//
// The control lines (RFC 2217 only) are asked for by the user-interface thread. The
// answers and the modem-state reports arrive among the data, which only a reading
// thread decodes; while nobody has read for a while (no reception running), the
// control calls decode what waits themselves and keep its data, bounded, for the
// next read, so that the lamps follow the far side with or without a reception.
class NetLink
{
public:
    struct Target
    {
        std::string host;
        uint16_t port = 0;
        bool rfc2217 = false;
        Rfc2217Session::Line line;
        // Looking the name up, connecting to one address, and the whole RFC 2217
        // negotiation.
        std::chrono::milliseconds connectTimeout { 5000 };
        std::chrono::milliseconds negotiateTimeout { 5000 };
        // How the name is looked up: the system's resolver, unless a test puts one
        // in that it controls. Called on a thread that may outlive the link.
        std::function<Result<std::vector<netsocket::Endpoint>>(const std::string &, uint16_t)>
            resolve = netsocket::Resolve;
    };
    enum class Phase { Connecting, Open, Failed };
    enum class ReadResult { Data, Nothing, Failed };

    // The most one read takes from the socket.
    static constexpr std::size_t kReadSize = 4096;
    // The most data the control calls keep for a reader that is not there; beyond it
    // the data (and the answers behind it) wait in the socket.
    static constexpr std::size_t kMaxPending = 64 * 1024;
    // How long a control request waits for its answer before returning; a late
    // answer still shows on the next look.
    static constexpr std::chrono::milliseconds kAnswerWait { 50 };
    // The start of the reason (kind Timeout) when a server took the connection but
    // did not answer the RFC 2217 negotiation within its time-out.
    static constexpr const char *kNoNegotiation = "no RFC 2217 answer from ";

    explicit NetLink(Target target);
    // Stops the connecting thread (within one of its 20 ms slices; a lookup under
    // way is left to finish alone) and closes the connection.
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

    // Sends SET-CONTROL `value` (Rfc2217Session::Control) and waits up to
    // kAnswerWait for the answer. Refused naming it ("the server refused DTR on")
    // when the server answers with another state; success when it took it or has not
    // answered yet. Invalid while connecting, Refused on a raw TCP link.
    [[nodiscard]] Status control(uint8_t value);
    // The control lines as the server reported them, after decoding what waits
    // when no reader does (never waits). Invalid and Refused as control.
    [[nodiscard]] Result<Rfc2217Session::ControlState> controlState();
    [[nodiscard]] const Target &target() const { return m_target; }

private:
    void connect();
    // The addresses of the host, or why there are none by `deadline` (or the close).
    Result<std::vector<netsocket::Endpoint>> lookUp(std::chrono::steady_clock::time_point deadline);
    Status connectSocket();
    Status negotiate();
    // Sends all of `bytes` within about `waitMs`; false (and the link failed) if not.
    bool sendAll(const std::vector<uint8_t> &bytes, int waitMs);
    void fail(Status why);
    void flushReplies();
    [[nodiscard]] Status controlsUsable() const;
    // Decodes what waits on the socket, waiting up to `waitMs` for something, when
    // no reader is at work; false when one is (nothing done).
    bool pump(int waitMs);
    // Hands out data a pump kept; m_readLock held.
    bool takePending(uint8_t *buffer, std::size_t size, std::size_t &count);

    const Target m_target;
    std::atomic<Phase> m_phase { Phase::Connecting };
    std::atomic<bool> m_stop { false };
    std::atomic<netsocket::Socket> m_socket { netsocket::kNoSocket };
    std::unique_ptr<Rfc2217Session> m_session;

    mutable std::mutex m_lock; // guards m_failure, with m_settled
    std::condition_variable m_settled;
    Status m_failure;

    std::mutex m_writeLock;
    // Held while bytes are taken from the socket and decoded: by read, or by a pump.
    std::mutex m_readLock;
    std::vector<uint8_t> m_pending;
    std::size_t m_pendingNext = 0;
    // When read last ran (steady clock, ms): a pump keeps out of a reception's way.
    std::atomic<int64_t> m_lastReadMs { 0 };
    std::thread m_connector;
};
