#include "netlink.h"

#include <vector>

namespace {

constexpr int kSliceMs = 20;
constexpr int kWriteAttemptMs = 1;
// Replies and the opening requests are short; a server that takes none of them
// for this long is not reading.
constexpr int kReplyWaitMs = 1000;

using Clock = std::chrono::steady_clock;

int remainingMs(Clock::time_point deadline)
{
    const auto left
        = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(left < kSliceMs ? left : kSliceMs);
}

} // namespace

NetLink::NetLink(Target target)
    : m_target(std::move(target))
{
    if (m_target.rfc2217) {
        m_session = std::make_unique<Rfc2217Session>(m_target.line);
    }
    m_connector = std::thread([this] { connect(); });
}

NetLink::~NetLink()
{
    m_stop.store(true);
    m_connector.join();
    netsocket::Close(m_socket.exchange(netsocket::kNoSocket));
}

Status NetLink::failure() const
{
    const std::lock_guard<std::mutex> lock(m_lock);
    return m_failure;
}

NetLink::Phase NetLink::waitSettled(std::chrono::milliseconds wait)
{
    std::unique_lock<std::mutex> lock(m_lock);
    m_settled.wait_for(lock, wait, [this] { return m_phase.load() != Phase::Connecting; });
    return m_phase.load();
}

void NetLink::fail(Status why)
{
    {
        const std::lock_guard<std::mutex> lock(m_lock);
        if (m_phase.load() == Phase::Failed) {
            return;
        }
        m_failure = std::move(why);
        m_phase.store(Phase::Failed);
    }
    m_settled.notify_all();
}

void NetLink::connect()
{
    Status result = connectSocket();
    if (result && m_session) {
        result = negotiate();
    }
    if (!result) {
        fail(result);
        return;
    }
    {
        const std::lock_guard<std::mutex> lock(m_lock);
        m_phase.store(Phase::Open);
    }
    m_settled.notify_all();
}

Status NetLink::connectSocket()
{
    // Resolved afresh by every link, so a reconnect follows a name that moved.
    auto endpoints = netsocket::Resolve(m_target.host, m_target.port);
    if (!endpoints) {
        return endpoints.status();
    }
    Status last;
    for (const netsocket::Endpoint &endpoint : *endpoints) {
        auto socket = netsocket::StartConnect(endpoint);
        if (!socket) {
            last = socket.status();
            continue;
        }
        m_socket.store(*socket);
        const auto deadline = Clock::now() + m_target.connectTimeout;
        for (;;) {
            if (m_stop.load()) {
                return { ErrorKind::Cancelled, "closed while connecting" };
            }
            last = netsocket::FinishConnect(*socket, remainingMs(deadline));
            if (last.kind() != ErrorKind::Timeout || Clock::now() >= deadline) {
                break;
            }
        }
        if (last) {
            return last;
        }
        netsocket::Close(m_socket.exchange(netsocket::kNoSocket));
    }
    if (last.kind() == ErrorKind::Timeout) {
        return { ErrorKind::Timeout, "no answer from " + m_target.host + " within the time-out" };
    }
    if (last.kind() == ErrorKind::Refused) {
        return { ErrorKind::Refused, "connection refused by " + m_target.host };
    }
    return last;
}

Status NetLink::negotiate()
{
    if (!sendAll(m_session->start(), kReplyWaitMs)) {
        return failure();
    }
    const auto deadline = Clock::now() + m_target.negotiateTimeout;
    std::vector<uint8_t> buffer(kReadSize);
    while (m_session->phase() != Rfc2217Session::Phase::Ready) {
        if (m_stop.load()) {
            return { ErrorKind::Cancelled, "closed while connecting" };
        }
        if (m_session->phase() == Rfc2217Session::Phase::Failed) {
            return m_session->failure();
        }
        if (Clock::now() >= deadline) {
            return { ErrorKind::Timeout,
                "no RFC 2217 answer from " + m_target.host + " within the time-out" };
        }
        const netsocket::Socket socket = m_socket.load();
        if (!netsocket::Poll(socket, netsocket::kNoSocket, false, remainingMs(deadline)).readable) {
            continue;
        }
        const long got = netsocket::Receive(socket, buffer.data(), buffer.size());
        if (got == 0) {
            return { ErrorKind::Lost, "the server closed the connection" };
        }
        if (got == -2) {
            return { ErrorKind::Lost, "connection dropped: " + netsocket::LastError() };
        }
        if (got > 0) {
            m_session->receive(buffer.data(), static_cast<std::size_t>(got));
            if (!sendAll(m_session->takeOutgoing(), kReplyWaitMs)) {
                return failure();
            }
        }
    }
    return {};
}

bool NetLink::sendAll(const std::vector<uint8_t> &bytes, int waitMs)
{
    const std::lock_guard<std::mutex> lock(m_writeLock);
    const netsocket::Socket socket = m_socket.load();
    const auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const long sent = netsocket::Send(socket, bytes.data() + done, bytes.size() - done);
        if (sent < 0) {
            fail({ ErrorKind::Lost, "connection dropped: " + netsocket::LastError() });
            return false;
        }
        done += static_cast<std::size_t>(sent);
        if (done < bytes.size()) {
            if (Clock::now() >= deadline) {
                fail({ ErrorKind::Timeout, "the server takes no data" });
                return false;
            }
            netsocket::Poll(socket, netsocket::kNoSocket, true, remainingMs(deadline));
        }
    }
    return true;
}

void NetLink::flushReplies()
{
    const std::vector<uint8_t> replies = m_session->takeOutgoing();
    if (!replies.empty()) {
        sendAll(replies, kReplyWaitMs);
    }
    if (m_session->phase() == Rfc2217Session::Phase::Failed) {
        fail(m_session->failure());
    }
}

NetLink::ReadResult NetLink::read(
    intptr_t waker, int waitMs, uint8_t *buffer, std::size_t size, std::size_t &count)
{
    count = 0;
    const Phase phase = m_phase.load();
    if (phase == Phase::Failed) {
        return ReadResult::Failed;
    }
    // While connecting, only the waker ends the wait early.
    const netsocket::Socket socket = phase == Phase::Open ? m_socket.load() : netsocket::kNoSocket;
    const std::size_t most = size < kReadSize ? size : kReadSize;
    // While data streams in, it is taken without waiting first: one call per chunk.
    long got = socket != netsocket::kNoSocket ? netsocket::Receive(socket, buffer, most) : -1;
    if (got == -1) {
        if (!netsocket::Poll(socket, waker, false, waitMs).readable) {
            return ReadResult::Nothing;
        }
        got = netsocket::Receive(socket, buffer, most);
    }
    if (got == -1) {
        return ReadResult::Nothing;
    }
    if (got == 0) {
        fail({ ErrorKind::Lost, "the server closed the connection" });
        return ReadResult::Failed;
    }
    if (got < 0) {
        fail({ ErrorKind::Lost, "connection dropped: " + netsocket::LastError() });
        return ReadResult::Failed;
    }
    count = static_cast<std::size_t>(got);
    if (m_session) {
        count = m_session->receive(buffer, count);
        flushReplies();
        if (m_phase.load() == Phase::Failed) {
            count = 0;
            return ReadResult::Failed;
        }
    }
    return count > 0 ? ReadResult::Data : ReadResult::Nothing;
}

bool NetLink::write(uint8_t byte)
{
    if (m_phase.load() != Phase::Open) {
        netsocket::Poll(netsocket::kNoSocket, netsocket::kNoSocket, false, kWriteAttemptMs);
        return false;
    }
    uint8_t bytes[2] = { byte, byte };
    const std::size_t size = m_session && byte == telnet::kIac ? 2 : 1;
    const std::lock_guard<std::mutex> lock(m_writeLock);
    const netsocket::Socket socket = m_socket.load();
    long sent = netsocket::Send(socket, bytes, size);
    if (sent == 0) {
        netsocket::Poll(socket, netsocket::kNoSocket, true, kWriteAttemptMs);
        sent = netsocket::Send(socket, bytes, size);
    }
    if (sent < 0) {
        fail({ ErrorKind::Lost, "connection dropped: " + netsocket::LastError() });
        return false;
    }
    if (sent == 1 && size == 2) {
        // Half of a doubled 0xFF went out: the other half must follow before
        // anything else, or the server would read a command.
        const auto deadline = Clock::now() + std::chrono::milliseconds(kReplyWaitMs);
        while ((sent = netsocket::Send(socket, bytes + 1, 1)) == 0 && Clock::now() < deadline) {
            netsocket::Poll(socket, netsocket::kNoSocket, true, kWriteAttemptMs);
        }
        if (sent != 1) {
            fail({ ErrorKind::Lost, "connection dropped in the middle of a byte" });
            return false;
        }
        return true;
    }
    return sent == static_cast<long>(size);
}

bool NetLink::gone()
{
    const Phase phase = m_phase.load();
    if (phase == Phase::Failed) {
        return true;
    }
    if (phase == Phase::Open && netsocket::PeerGone(m_socket.load())) {
        fail({ ErrorKind::Lost, "the server closed the connection" });
        return true;
    }
    return false;
}

const Rfc2217Session::LineErrors *NetLink::lineErrors() const
{
    return m_session ? &m_session->lineErrors() : nullptr;
}

bool NetLink::modemState(uint8_t &state) const
{
    if (!m_session || !m_session->modemStateKnown()) {
        return false;
    }
    state = m_session->modemState();
    return true;
}
