#pragma once

#include "capturerecorder.h"
#include "serial/lineerrors.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <optional>
#include <utility>

// Told of every byte that passes the port, on the thread that moved it.
class TrafficListener
{
public:
    virtual void traffic(CaptureDirection direction, uint8_t byte) = 0;

protected:
    ~TrafficListener() = default;
};

// Looks at every received byte (the triggers), on the receive thread: it must take
// the byte at once and never wait. It must live as long as the program.
class ReceivedObserver
{
public:
    virtual ~ReceivedObserver() = default;
    virtual void receivedByte(uint8_t byte) = 0;
};

// The one place every byte that passes the port goes through: the receive thread
// hands it each byte it has read, the send loop each byte the port has taken. It
// counts them and, while a recording runs, hands them to `recorder` in the order
// they passed. received() and sent() are cheap and may run on any thread.
class TrafficTap
{
public:
    void received(uint8_t byte)
    {
        m_received.fetch_add(1, std::memory_order_relaxed);
        recorder.add(CaptureDirection::Received, byte);
        tell(CaptureDirection::Received, byte);
        if (ReceivedObserver *watcher = observer.load(std::memory_order_acquire)) {
            watcher->receivedByte(byte);
        }
    }
    void sent(uint8_t byte)
    {
        m_sent.fetch_add(1, std::memory_order_relaxed);
        recorder.add(CaptureDirection::Sent, byte);
        tell(CaptureDirection::Sent, byte);
    }
    // Running totals since the program started.
    uint64_t receivedTotal() const { return m_received.load(std::memory_order_relaxed); }
    uint64_t sentTotal() const { return m_sent.load(std::memory_order_relaxed); }

    CaptureRecorder recorder;
    std::atomic<ReceivedObserver *> observer { nullptr };

    // Sets the one listener (nullptr: none). A listener must outlive every byte
    // that may still be passing when it is replaced, so set one that lives as long
    // as the program. Costs one load per byte while none is set.
    void setListener(TrafficListener *listener)
    {
        m_listener.store(listener, std::memory_order_release);
    }

private:
    void tell(CaptureDirection direction, uint8_t byte)
    {
        if (TrafficListener *listener = m_listener.load(std::memory_order_acquire)) {
            listener->traffic(direction, byte);
        }
    }

    std::atomic<TrafficListener *> m_listener { nullptr };
    std::atomic<uint64_t> m_received { 0 };
    std::atomic<uint64_t> m_sent { 0 };
};

extern TrafficTap Traffic;

// What the traffic field shows: bytes received and sent since the port was opened,
// the receive rate over the last second, and the line errors counted since then
// when the driver reports them.
struct TrafficSnapshot
{
    uint64_t received = 0;
    uint64_t sent = 0;
    double receiveRate = 0; // bytes per second
    std::optional<LineErrorCounts> errors;
};

// Turns running totals, read at times the caller chooses, into snapshots. A change
// of `openCount` (the port was opened anew) starts the counts again from the totals
// of that moment. Pure: times come from the caller. One thread.
class TrafficMeter
{
public:
    static constexpr int64_t kRateWindowMs = 1000;

    TrafficSnapshot update(int64_t nowMs, uint64_t receivedTotal, uint64_t sentTotal,
        uint64_t openCount, const std::optional<LineErrorCounts> &driverErrors);

private:
    bool m_started = false;
    uint64_t m_openCount = 0;
    uint64_t m_receivedBase = 0;
    uint64_t m_sentBase = 0;
    std::optional<LineErrorCounts> m_errorBase;
    std::deque<std::pair<int64_t, uint64_t>> m_samples; // time, received total
};
