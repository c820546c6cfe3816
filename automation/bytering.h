#pragma once

#include "capture/traffic.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

// Received bytes on their way from the receive thread to the triggers on the
// user-interface thread: a ring of fixed size with one writer and one reader and no
// lock, so the receive thread never waits. Bytes that find the ring full are dropped
// and counted (the triggers fell behind; reception goes on).
class ByteRing final : public ReceivedObserver
{
public:
    static constexpr std::size_t kSize = 1 << 16;

    // The writer (receive thread).
    void receivedByte(uint8_t byte) override
    {
        const std::size_t head = m_head.load(std::memory_order_relaxed);
        if (head - m_tail.load(std::memory_order_acquire) >= kSize) {
            m_dropped.fetch_add(1, std::memory_order_relaxed);
            return;
        }
        m_bytes[head % kSize] = byte;
        m_head.store(head + 1, std::memory_order_release);
    }
    // The reader: appends everything waiting to `out`.
    void TakeAll(std::string &out)
    {
        const std::size_t tail = m_tail.load(std::memory_order_relaxed);
        const std::size_t head = m_head.load(std::memory_order_acquire);
        for (std::size_t at = tail; at != head; ++at) {
            out += static_cast<char>(m_bytes[at % kSize]);
        }
        m_tail.store(head, std::memory_order_release);
    }
    [[nodiscard]] uint64_t dropped() const { return m_dropped.load(std::memory_order_relaxed); }

private:
    std::array<uint8_t, kSize> m_bytes {};
    std::atomic<std::size_t> m_head { 0 };
    std::atomic<std::size_t> m_tail { 0 };
    std::atomic<uint64_t> m_dropped { 0 };
};
