#include "netlink.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace {

constexpr int kSliceMs = 20;
constexpr int kWriteAttemptMs = 1;
// Replies and the opening requests are short; a server that takes none of them
// for this long is not reading.
constexpr int kReplyWaitMs = 1000;
// A reader seen within this is at work: the control calls leave the socket to it.
constexpr int64_t kReaderAwayMs = 200;

using Clock = std::chrono::steady_clock;

int remainingMs(Clock::time_point deadline)
{
    const auto left
        = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(left < kSliceMs ? left : kSliceMs);
}

int64_t nowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch())
        .count();
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

Result<std::vector<netsocket::Endpoint>> NetLink::lookUp(Clock::time_point deadline)
{
    // Shared with the lookup's thread, which fills it whenever the resolver answers,
    // whether or not anybody still waits.
    struct Lookup
    {
        std::mutex lock;
        std::condition_variable done;
        std::optional<Result<std::vector<netsocket::Endpoint>>> answer;
    };
    const auto lookup = std::make_shared<Lookup>();
    std::thread([lookup, resolve = m_target.resolve, host = m_target.host, port = m_target.port] {
        Result<std::vector<netsocket::Endpoint>> answer = resolve(host, port);
        const std::lock_guard<std::mutex> lock(lookup->lock);
        lookup->answer.emplace(std::move(answer));
        lookup->done.notify_all();
    }).detach();
    std::unique_lock<std::mutex> lock(lookup->lock);
    while (!lookup->answer) {
        if (m_stop.load()) {
            return Status(ErrorKind::Cancelled, "closed while connecting");
        }
        if (Clock::now() >= deadline) {
            return Status(ErrorKind::Timeout,
                "no answer from the name service for " + m_target.host + " within the time-out");
        }
        lookup->done.wait_for(lock, std::chrono::milliseconds(kSliceMs));
    }
    return std::move(*lookup->answer);
}

Status NetLink::connectSocket()
{
    // Resolved afresh by every link, so a reconnect follows a name that moved.
    auto endpoints = lookUp(Clock::now() + m_target.connectTimeout);
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
            return { ErrorKind::Timeout, kNoNegotiation + m_target.host + " within the time-out" };
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
            if (m_stop.load()) {
                fail({ ErrorKind::Cancelled, "closed while connecting" });
                return false;
            }
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
    m_lastReadMs.store(nowMs());
    // While connecting, only the waker ends the wait early.
    const netsocket::Socket socket = phase == Phase::Open ? m_socket.load() : netsocket::kNoSocket;
    const std::size_t most = size < kReadSize ? size : kReadSize;
    std::unique_lock<std::mutex> lock(m_readLock);
    if (takePending(buffer, most, count)) {
        return ReadResult::Data;
    }
    // While data streams in, it is taken without waiting first: one call per chunk.
    long got = socket != netsocket::kNoSocket ? netsocket::Receive(socket, buffer, most) : -1;
    if (got == -1) {
        lock.unlock();
        if (!netsocket::Poll(socket, waker, false, waitMs).readable) {
            return ReadResult::Nothing;
        }
        lock.lock();
        if (takePending(buffer, most, count)) {
            return ReadResult::Data;
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

bool NetLink::takePending(uint8_t *buffer, std::size_t size, std::size_t &count)
{
    const std::size_t waiting = m_pending.size() - m_pendingNext;
    if (waiting == 0) {
        return false;
    }
    count = waiting < size ? waiting : size;
    std::copy_n(m_pending.begin() + static_cast<std::ptrdiff_t>(m_pendingNext), count, buffer);
    m_pendingNext += count;
    if (m_pendingNext == m_pending.size()) {
        m_pending.clear();
        m_pendingNext = 0;
    }
    return true;
}

bool NetLink::pump(int waitMs)
{
    if (nowMs() - m_lastReadMs.load() < kReaderAwayMs) {
        return false;
    }
    const std::unique_lock<std::mutex> lock(m_readLock, std::try_to_lock);
    if (!lock.owns_lock()) {
        return false;
    }
    const netsocket::Socket socket = m_socket.load();
    std::vector<uint8_t> buffer(kReadSize);
    int wait = waitMs;
    while (m_phase.load() == Phase::Open && m_pending.size() < kMaxPending) {
        if (wait > 0 && !netsocket::Poll(socket, netsocket::kNoSocket, false, wait).readable) {
            break;
        }
        wait = 0;
        const std::size_t room = kMaxPending - m_pending.size();
        const long got
            = netsocket::Receive(socket, buffer.data(), room < kReadSize ? room : kReadSize);
        if (got == -1) {
            break;
        }
        if (got == 0) {
            fail({ ErrorKind::Lost, "the server closed the connection" });
            break;
        }
        if (got < 0) {
            fail({ ErrorKind::Lost, "connection dropped: " + netsocket::LastError() });
            break;
        }
        const std::size_t data = m_session->receive(buffer.data(), static_cast<std::size_t>(got));
        m_pending.insert(
            m_pending.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(data));
        flushReplies();
    }
    return true;
}

Status NetLink::controlsUsable() const
{
    if (!m_session) {
        return { ErrorKind::Refused, "a raw TCP port carries no control lines" };
    }
    switch (m_phase.load()) {
    case Phase::Connecting:
        return { ErrorKind::Invalid, "the port is still connecting" };
    case Phase::Failed:
        return { ErrorKind::Lost, failure().reason() };
    case Phase::Open:
        break;
    }
    return {};
}

Status NetLink::control(uint8_t value)
{
    if (Status usable = controlsUsable(); !usable) {
        return usable;
    }
    const uint32_t before = m_session->controlAnswers(value);
    if (!sendAll(Rfc2217Session::ControlRequest(value), kReplyWaitMs)) {
        return { ErrorKind::Lost, failure().reason() };
    }
    const auto deadline = Clock::now() + kAnswerWait;
    while (m_session->controlAnswers(value) == before && Clock::now() < deadline
        && m_phase.load() == Phase::Open) {
        if (!pump(remainingMs(deadline))) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    if (m_phase.load() == Phase::Failed) {
        return { ErrorKind::Lost, failure().reason() };
    }
    if (m_session->controlAnswers(value) == before) {
        return {};
    }
    const Rfc2217Session::ControlState state = m_session->controlState();
    using Known = Rfc2217Session::Known;
    using S = Rfc2217Session;
    const auto took = [](Known known, bool on, const char *name) -> Status {
        if (known == (on ? Known::On : Known::Off)) {
            return {};
        }
        return { ErrorKind::Refused, std::string("the server refused ") + name };
    };
    switch (value) {
    case S::kDtrOn:
    case S::kDtrOff:
        return took(state.dtr, value == S::kDtrOn, value == S::kDtrOn ? "DTR on" : "DTR off");
    case S::kRtsOn:
    case S::kRtsOff:
        return took(state.rts, value == S::kRtsOn, value == S::kRtsOn ? "RTS on" : "RTS off");
    case S::kBreakOn:
    case S::kBreakOff:
        return took(state.breakOn, value == S::kBreakOn,
            value == S::kBreakOn ? "a break" : "ending the break");
    default:
        return {};
    }
}

Result<Rfc2217Session::ControlState> NetLink::controlState()
{
    if (Status usable = controlsUsable(); !usable) {
        return usable;
    }
    pump(0);
    if (m_phase.load() == Phase::Failed) {
        return Status(ErrorKind::Lost, failure().reason());
    }
    return m_session->controlState();
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
