#include "linetest.h"

#include "berbound.h"

#include <algorithm>

const char *LineModeName(LineMode mode)
{
    switch (mode) {
    case LineMode::Loopback:
        return "loopback";
    case LineMode::Receive:
        return "receive";
    case LineMode::Transmit:
        return "transmit";
    }
    return "loopback";
}

LineTest::LineTest(LineChannel &channel, PatternGenerator pattern, const LineTestConfig &config)
    : m_channel(channel)
    , m_sendPattern(pattern)
    , m_config(config)
    , m_dataMask(static_cast<uint8_t>((1u << std::clamp<int>(config.framing.dataBits, 5, 8)) - 1))
    , m_checker(std::move(pattern), config.mode == LineMode::Receive, config.framing.dataBits)
    , m_sendBuffer(kChunk)
    , m_readBuffer(kChunk)
    , m_latencies(kLatencySamples)
{
    if (m_config.inFlight == 0) {
        m_config.inFlight = std::clamp<std::size_t>(
            static_cast<std::size_t>(m_config.framing.capacity() / 10), 256, 65536);
    }
    if (m_config.timeoutMs <= 0) {
        const double flightMs
            = 1000.0 * static_cast<double>(m_config.inFlight) / m_config.framing.capacity();
        m_config.timeoutMs = static_cast<int>(std::clamp(flightMs + 100, 1000.0, 3.6e6));
    }
}

LineTest::~LineTest()
{
    Stop();
    Wait();
}

uint64_t LineTest::nowNs() const
{
    return static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - m_start).count());
}

void LineTest::Start()
{
    if (m_started.exchange(true)) {
        return;
    }
    m_start = Clock::now();
    m_hasBaseline = m_channel.LineErrors(m_baseline);
    m_sendPattern.Reset();
    if (m_config.mode != LineMode::Receive) {
        m_writer = std::thread([this] { writeLoop(); });
    } else {
        m_writerDone = true;
    }
    if (m_config.mode != LineMode::Transmit) {
        m_reader = std::thread([this] { readLoop(); });
    }
}

void LineTest::Stop()
{
    m_stop = true;
}

void LineTest::Wait()
{
    if (m_writer.joinable()) {
        m_writer.join();
    }
    if (m_reader.joinable()) {
        m_reader.join();
    }
}

bool LineTest::timeUp() const
{
    return m_config.seconds > 0 && static_cast<double>(nowNs()) >= m_config.seconds * 1e9;
}

void LineTest::fail(const Status &status)
{
    {
        const std::lock_guard<std::mutex> hold(m_lock);
        if (m_failure.ok()) {
            m_failure = status;
        }
    }
    m_failed = true;
    m_stop = true;
}

void LineTest::writeLoop()
{
    uint64_t sent = 0;
    std::size_t pending = 0; // generated but not yet taken by the line
    std::size_t pendingAt = 0;
    const bool loopback = m_config.mode == LineMode::Loopback;
    // In a loopback, bytes that were waiting before the first one went out would be
    // taken for the pattern: the reader throws them away first.
    while (loopback && !m_inputClear.load(std::memory_order_acquire)
        && !m_stop.load(std::memory_order_relaxed)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    while (!m_stop.load(std::memory_order_relaxed)) {
        if ((m_config.bytes > 0 && sent >= m_config.bytes) || timeUp()) {
            break;
        }
        if (pending == 0) {
            std::size_t size = kChunk;
            if (m_config.bytes > 0) {
                size = static_cast<std::size_t>(std::min<uint64_t>(size, m_config.bytes - sent));
            }
            if (m_config.rate > 0) {
                const double due = static_cast<double>(nowNs()) * 1e-9 * m_config.rate;
                const double allowed = due - static_cast<double>(sent);
                if (allowed < 1) {
                    const double waitS = (1 - allowed) / m_config.rate;
                    std::this_thread::sleep_for(std::chrono::microseconds(
                        std::clamp<int64_t>(static_cast<int64_t>(waitS * 1e6), 100, 20000)));
                    continue;
                }
                size = std::min(size, static_cast<std::size_t>(allowed));
            }
            if (loopback) {
                // Only so much under way at once.
                const uint64_t back = m_checked.load(std::memory_order_relaxed)
                    + m_inserted.load(std::memory_order_relaxed);
                const uint64_t away = sent > back ? sent - back : 0;
                if (away >= m_config.inFlight) {
                    std::this_thread::sleep_for(std::chrono::microseconds(200));
                    continue;
                }
                size = std::min<std::size_t>(size, m_config.inFlight - away);
            }
            m_sendPattern.Fill(m_sendBuffer.data(), size);
            if (m_dataMask != 0xFF) {
                for (std::size_t i = 0; i < size; ++i) {
                    m_sendBuffer[i] &= m_dataMask;
                }
            }
            pending = size;
            pendingAt = 0;
        }
        const Result<std::size_t> written
            = m_channel.Write(m_sendBuffer.data() + pendingAt, pending, 50);
        if (!written) {
            fail(written.status());
            break;
        }
        if (*written == 0) {
            continue;
        }
        sent += *written;
        pending -= *written;
        pendingAt += *written;
        m_sent.store(sent, std::memory_order_release);
        if (loopback) {
            const std::size_t head = m_markHead.load(std::memory_order_relaxed);
            if (head - m_markTail.load(std::memory_order_acquire) < kMarks) {
                m_marks[head % kMarks] = { sent, nowNs() };
                m_markHead.store(head + 1, std::memory_order_release);
            }
        }
    }
    m_writerDone.store(true, std::memory_order_release);
    if (m_config.mode == LineMode::Transmit) {
        m_endNs = nowNs();
        m_finished.store(true, std::memory_order_release);
    }
}

void LineTest::publishCounts()
{
    const CheckCounts &counts = m_checker.counts();
    m_checked.store(counts.checked, std::memory_order_relaxed);
    m_corrupted.store(counts.corrupted, std::memory_order_relaxed);
    m_lost.store(counts.lost, std::memory_order_relaxed);
    m_inserted.store(counts.inserted, std::memory_order_relaxed);
    m_bitErrors.store(counts.bitErrors, std::memory_order_relaxed);
    m_skipped.store(counts.skipped, std::memory_order_relaxed);
}

void LineTest::takeLatencies(uint64_t now)
{
    const uint64_t checked = m_checker.counts().checked;
    std::size_t tail = m_markTail.load(std::memory_order_relaxed);
    const std::size_t head = m_markHead.load(std::memory_order_acquire);
    if (tail == head || m_marks[tail % kMarks].offset > checked) {
        return;
    }
    const std::lock_guard<std::mutex> hold(m_lock);
    while (tail != head && m_marks[tail % kMarks].offset <= checked) {
        const uint64_t sample = now - std::min(now, m_marks[tail % kMarks].timeNs);
        m_latencies[m_latencyCount % kLatencySamples] = sample;
        m_latencyMin = m_latencyCount == 0 ? sample : std::min(m_latencyMin, sample);
        ++m_latencyCount;
        ++tail;
    }
    m_markTail.store(tail, std::memory_order_release);
}

void LineTest::readLoop()
{
    const bool loopback = m_config.mode == LineMode::Loopback;
    if (loopback) {
        m_channel.DiscardInput();
        m_inputClear.store(true, std::memory_order_release);
    }
    uint64_t received = 0;
    uint64_t quietSinceNs = 0;
    uint64_t lastDataNs = nowNs();
    const auto timeoutNs = static_cast<uint64_t>(m_config.timeoutMs) * 1000000;
    for (;;) {
        const bool writerDone = m_writerDone.load(std::memory_order_acquire);
        if (!loopback
            && (m_stop.load() || timeUp() || (m_config.bytes > 0 && received >= m_config.bytes))) {
            break;
        }
        if (loopback && writerDone) {
            if (m_checker.counts().checked >= m_sent.load(std::memory_order_acquire)) {
                break;
            }
            if (quietSinceNs == 0) {
                quietSinceNs = nowNs();
            }
            if (nowNs() - quietSinceNs > static_cast<uint64_t>(m_config.drainMs) * 1000000) {
                break;
            }
        }
        std::size_t room = kChunk;
        if (!loopback && m_config.bytes > 0) {
            room = static_cast<std::size_t>(std::min<uint64_t>(room, m_config.bytes - received));
        }
        const Result<std::size_t> count = m_channel.Read(m_readBuffer.data(), room, 20);
        if (!count) {
            fail(count.status());
            break;
        }
        if (*count == 0) {
            // Bytes are due and nothing came for the time-out: the line is dead or
            // lost more than was under way, and waiting longer shows nothing new.
            const bool due = !loopback || m_sent.load(std::memory_order_acquire) > received;
            if (due && !m_stop.load() && nowNs() - lastDataNs > timeoutNs) {
                const std::lock_guard<std::mutex> hold(m_lock);
                m_stopped = received == 0 ? "no data came back" : "lost the rest";
                break;
            }
            if (!due) {
                lastDataNs = nowNs();
            }
            continue;
        }
        lastDataNs = nowNs();
        quietSinceNs = 0;
        received += *count;
        m_received.store(received, std::memory_order_relaxed);
        const uint64_t now = nowNs();
        if (m_dataMask != 0xFF) {
            // What the driver puts above the data bits (a parity bit, say) is no part
            // of the character.
            for (std::size_t i = 0; i < *count; ++i) {
                m_readBuffer[i] &= m_dataMask;
            }
        }
        m_checker.Feed(m_readBuffer.data(), *count, now);
        if (loopback) {
            takeLatencies(now);
        }
        publishCounts();
    }
    const uint64_t end = nowNs();
    m_checker.Finish(loopback && !m_failed.load() ? m_sent.load() : 0, end);
    publishCounts();
    m_endNs = end;
    m_stop = true;
    m_finished.store(true, std::memory_order_release);
}

LineTestSnapshot LineTest::snapshot() const
{
    LineTestSnapshot snap;
    snap.finished = finished();
    snap.running = m_started.load() && !snap.finished;
    const uint64_t endNs = snap.finished ? m_endNs.load() : (m_started.load() ? nowNs() : 0);
    snap.seconds = static_cast<double>(endNs) * 1e-9;
    // What came back before what went out, so that a moment's figures never show
    // more received than sent: each acquire keeps the later loads after it (a
    // fence would do the same, but ThreadSanitizer cannot follow fences).
    snap.received = m_received.load(std::memory_order_acquire);
    snap.counts.checked = m_checked.load(std::memory_order_acquire);
    snap.counts.corrupted = m_corrupted.load(std::memory_order_acquire);
    snap.counts.lost = m_lost.load(std::memory_order_acquire);
    snap.counts.inserted = m_inserted.load(std::memory_order_acquire);
    snap.counts.bitErrors = m_bitErrors.load(std::memory_order_acquire);
    snap.counts.skipped = m_skipped.load(std::memory_order_acquire);
    snap.sent = m_sent.load(std::memory_order_acquire);
    snap.dataBits = std::clamp<int>(m_config.framing.dataBits, 5, 8);
    snap.berUpperBound
        = BerUpperBound(snap.counts.bitErrors, snap.bitsChecked(), m_config.confidence);
    snap.capacity = m_config.framing.capacity();
    std::vector<uint64_t> samples;
    {
        const std::lock_guard<std::mutex> hold(m_lock);
        snap.failure = m_failure;
        snap.stopped = m_stopped;
        snap.latencySamples = m_latencyCount;
        snap.latencyMinMs = static_cast<double>(m_latencyMin) * 1e-6;
        const auto kept
            = static_cast<std::size_t>(std::min<uint64_t>(m_latencyCount, kLatencySamples));
        samples.assign(
            m_latencies.begin(), m_latencies.begin() + static_cast<std::ptrdiff_t>(kept));
    }
    if (!samples.empty()) {
        const auto at = [&](double fraction) {
            const auto index
                = static_cast<std::size_t>(fraction * static_cast<double>(samples.size() - 1));
            std::nth_element(samples.begin(), samples.begin() + static_cast<std::ptrdiff_t>(index),
                samples.end());
            return static_cast<double>(samples[index]) * 1e-6;
        };
        snap.latencyMedianMs = at(0.5);
        snap.latencyP99Ms = at(0.99);
    }
    if (m_hasBaseline) {
        LineErrorCounts now;
        if (m_channel.LineErrors(now)) {
            snap.hasLineErrors = true;
            snap.lineErrors.frame = now.frame - m_baseline.frame;
            snap.lineErrors.parity = now.parity - m_baseline.parity;
            snap.lineErrors.overrun = now.overrun - m_baseline.overrun;
            snap.lineErrors.bufferOverrun = now.bufferOverrun - m_baseline.bufferOverrun;
            snap.lineErrors.breaks = now.breaks - m_baseline.breaks;
        }
    }
    return snap;
}
