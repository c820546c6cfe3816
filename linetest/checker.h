#pragma once

#include "pattern.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

// What went wrong with one byte of the pattern.
enum class ByteFault : uint8_t {
    Corrupted, // arrived with other bits
    Lost, // never arrived
    Inserted, // arrived without having been sent
};

[[nodiscard]] const char *ByteFaultName(ByteFault fault);

// One error in the order it was found. `offset` counts the bytes of the pattern stream
// as sent, from 0 (an inserted byte carries the offset of the pattern byte it came
// before); `expected` and `received` are -1 where there is no such byte.
struct ErrorPlace
{
    uint64_t offset = 0;
    int expected = -1;
    int received = -1;
    ByteFault fault = ByteFault::Corrupted;
    uint64_t timeNs = 0; // since the test started
};

struct CheckCounts
{
    uint64_t checked = 0; // pattern bytes accounted for: matched, corrupted or lost
    uint64_t corrupted = 0;
    uint64_t lost = 0;
    uint64_t inserted = 0;
    // Wrong bits: those that differ in corrupted bytes, and one for each data bit of
    // a lost or inserted byte.
    uint64_t bitErrors = 0;
    // Bytes before the check found its place in the pattern (receive-only).
    uint64_t skipped = 0;

    [[nodiscard]] uint64_t errors() const { return corrupted + lost + inserted; }
};

// Compares received bytes with the pattern and tells corrupted, lost and inserted
// bytes apart. After a mismatch it looks ahead: the explanation that costs the fewest
// errors and makes the next kWindow bytes agree with the pattern again (up to
// kTolerance mismatches, which are then explained in turn) wins: one corrupted byte,
// or a run of lost bytes (up to kMaxLost), or a run of inserted bytes (up to
// kMaxInserted). A byte nothing explains is corrupted. So one lost byte is one error,
// and the check follows a stream that slipped. A slip of a whole period of the
// pattern cannot be seen (the pattern looks the same).
//
// Single thread; the places may be read on other threads (see placeCount).
class PatternChecker
{
public:
    static constexpr std::size_t kWindow = 16;
    static constexpr std::size_t kTolerance = 2;
    static constexpr std::size_t kMaxLost = 4096;
    static constexpr std::size_t kMaxInserted = 64;
    static constexpr std::size_t kMaxPlaces = 1000;

    // `acquire`: the stream starts anywhere in the pattern (receive-only), so the check
    // first finds its place; offsets then count from the first byte received.
    // Otherwise the stream starts with the pattern's first byte.
    // `dataBits` (5 to 8): the line carries only the low bits of each byte, so the
    // pattern is compared on those, and a lost or inserted byte is that many bit errors.
    PatternChecker(PatternGenerator generator, bool acquire, int dataBits = 8);
    PatternChecker(const PatternChecker &) = delete;
    PatternChecker &operator=(const PatternChecker &) = delete;

    // Received bytes, at `timeNs` since the start. Bytes whose explanation needs bytes
    // yet to come are held until the next call or Finish.
    void Feed(const uint8_t *data, std::size_t size, uint64_t timeNs);
    // No more bytes will come: explains the held ones with what there is, and counts
    // the pattern bytes before `sentTotal` that never came as lost (0: unknown).
    void Finish(uint64_t sentTotal, uint64_t timeNs);

    [[nodiscard]] const CheckCounts &counts() const { return m_counts; }
    // The first kMaxPlaces errors. Another thread may read places()[0..placeCount()).
    [[nodiscard]] std::size_t placeCount() const
    {
        return m_placeCount.load(std::memory_order_acquire);
    }
    [[nodiscard]] const ErrorPlace *places() const { return m_places.data(); }
    [[nodiscard]] bool synchronised() const { return m_synced; }

private:
    // Makes sure the pattern is generated at least `count` bytes past the offset.
    void ensureExpected(std::size_t count);
    [[nodiscard]] const uint8_t *expected() const { return m_expect.data() + m_expectBegin; }
    void advance(std::size_t count);
    // Works through `data`; returns how many bytes it used (the rest must wait).
    std::size_t process(const uint8_t *data, std::size_t size, uint64_t timeNs, bool final);
    std::size_t acquire(const uint8_t *data, std::size_t size, bool final);
    // One mismatch at data[0]: false to wait for more bytes, else explained, with
    // `used` received bytes taken (0 when bytes were lost before data[0]).
    bool explain(
        const uint8_t *data, std::size_t size, uint64_t timeNs, bool final, std::size_t &used);
    void record(
        ByteFault fault, uint64_t offset, int expectedByte, int receivedByte, uint64_t timeNs);

    PatternGenerator m_generator;
    bool m_synced;
    uint8_t m_mask; // the data bits of a byte
    int m_dataBits;
    CheckCounts m_counts;
    std::vector<uint8_t> m_expect; // generated pattern, from m_expectBegin on
    std::size_t m_expectBegin = 0;
    std::size_t m_expectEnd = 0;
    std::vector<uint8_t> m_held; // received bytes waiting for what follows them
    std::vector<ErrorPlace> m_places; // reserved once, never reallocated
    std::atomic<std::size_t> m_placeCount { 0 };
};
