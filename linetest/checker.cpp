#include "checker.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace {

constexpr std::size_t kExpectChunk = 65536;
// Enough received bytes to weigh every explanation of a mismatch.
constexpr std::size_t kLookahead = PatternChecker::kMaxInserted + PatternChecker::kWindow + 1;

// Mismatches between a and b over `length` bytes, stopping once past `limit`.
std::size_t Mismatches(const uint8_t *a, const uint8_t *b, std::size_t length, std::size_t limit)
{
    std::size_t count = 0;
    for (std::size_t i = 0; i < length && count <= limit; ++i) {
        count += a[i] != b[i];
    }
    return count;
}

// How many leading bytes of a and b agree, out of `length`: whole blocks through
// memcmp (the library compares them many bytes at a time), then byte by byte.
std::size_t Agreeing(const uint8_t *a, const uint8_t *b, std::size_t length)
{
    constexpr std::size_t kBlock = 256;
    std::size_t at = 0;
    while (at + kBlock <= length && std::memcmp(a + at, b + at, kBlock) == 0) {
        at += kBlock;
    }
    while (at < length && a[at] == b[at]) {
        ++at;
    }
    return at;
}

} // namespace

const char *ByteFaultName(ByteFault fault)
{
    switch (fault) {
    case ByteFault::Corrupted:
        return "corrupted";
    case ByteFault::Lost:
        return "lost";
    case ByteFault::Inserted:
        return "inserted";
    }
    return "corrupted";
}

PatternChecker::PatternChecker(PatternGenerator generator, bool acquire, int dataBits)
    : m_generator(std::move(generator))
    , m_synced(!acquire)
    , m_mask(static_cast<uint8_t>((1u << std::clamp(dataBits, 5, 8)) - 1))
    , m_dataBits(std::clamp(dataBits, 5, 8))
    , m_expect(kExpectChunk + kMaxLost + 2 * kWindow + kLookahead)
{
    m_places.reserve(kMaxPlaces);
    m_held.reserve(2 * kExpectChunk);
    m_generator.Reset();
}

void PatternChecker::ensureExpected(std::size_t count)
{
    if (m_expectEnd - m_expectBegin >= count) {
        return;
    }
    const std::size_t kept = m_expectEnd - m_expectBegin;
    std::memmove(m_expect.data(), m_expect.data() + m_expectBegin, kept);
    m_expectBegin = 0;
    m_generator.Fill(m_expect.data() + kept, m_expect.size() - kept);
    if (m_mask != 0xFF) {
        for (std::size_t i = kept; i < m_expect.size(); ++i) {
            m_expect[i] &= m_mask;
        }
    }
    m_expectEnd = m_expect.size();
}

void PatternChecker::advance(std::size_t count)
{
    m_expectBegin += count;
    m_counts.checked += count;
}

void PatternChecker::record(
    ByteFault fault, uint64_t offset, int expectedByte, int receivedByte, uint64_t timeNs)
{
    switch (fault) {
    case ByteFault::Corrupted:
        ++m_counts.corrupted;
        m_counts.bitErrors += static_cast<uint64_t>(
            std::popcount(static_cast<unsigned>((expectedByte ^ receivedByte) & m_mask)));
        break;
    case ByteFault::Lost:
        ++m_counts.lost;
        m_counts.bitErrors += static_cast<uint64_t>(m_dataBits);
        break;
    case ByteFault::Inserted:
        ++m_counts.inserted;
        m_counts.bitErrors += static_cast<uint64_t>(m_dataBits);
        break;
    }
    const std::size_t count = m_places.size();
    if (count < kMaxPlaces) {
        m_places.push_back({ offset, expectedByte, receivedByte, fault, timeNs });
        m_placeCount.store(count + 1, std::memory_order_release);
    }
}

void PatternChecker::Feed(const uint8_t *data, std::size_t size, uint64_t timeNs)
{
    if (m_held.empty()) {
        const std::size_t used = process(data, size, timeNs, false);
        m_held.assign(data + used, data + size);
        return;
    }
    m_held.insert(m_held.end(), data, data + size);
    const std::size_t used = process(m_held.data(), m_held.size(), timeNs, false);
    m_held.erase(m_held.begin(), m_held.begin() + static_cast<std::ptrdiff_t>(used));
}

void PatternChecker::Finish(uint64_t sentTotal, uint64_t timeNs)
{
    const std::size_t used = process(m_held.data(), m_held.size(), timeNs, true);
    m_held.erase(m_held.begin(), m_held.begin() + static_cast<std::ptrdiff_t>(used));
    while (m_synced && m_counts.checked < sentTotal) {
        ensureExpected(1);
        record(ByteFault::Lost, m_counts.checked, expected()[0], -1, timeNs);
        advance(1);
    }
}

std::size_t PatternChecker::acquire(const uint8_t *data, std::size_t size, bool final)
{
    std::size_t start = 0;
    while (!m_synced && size - start >= kWindow + 8) {
        m_generator.Reset();
        const std::size_t used = m_generator.Acquire(data + start, size - start);
        if (used > 0 && size - start >= used + kWindow) {
            uint8_t following[kWindow];
            m_generator.Fill(following, kWindow);
            if (std::memcmp(following, data + start + used, kWindow) == 0) {
                // Found: the pattern goes on from the first byte received.
                m_generator.Reset();
                (void)m_generator.Acquire(data + start, size - start);
                m_synced = true;
                m_counts.checked = used;
                m_expectBegin = m_expectEnd = 0;
                return start + used;
            }
        }
        ++start;
        ++m_counts.skipped;
    }
    if (final) {
        m_counts.skipped += size - start;
        return size;
    }
    return start;
}

std::size_t PatternChecker::process(
    const uint8_t *data, std::size_t size, uint64_t timeNs, bool final)
{
    std::size_t at = 0;
    if (!m_synced) {
        at = acquire(data, size, final);
        if (!m_synced) {
            return at;
        }
    }
    while (at < size) {
        // The common case: a run that agrees with the pattern.
        const std::size_t run = std::min(size - at, kExpectChunk);
        ensureExpected(run);
        const std::size_t same = Agreeing(data + at, expected(), run);
        advance(same);
        at += same;
        if (same == run) {
            continue;
        }
        std::size_t used = 0;
        if (!explain(data + at, size - at, timeNs, final, used)) {
            break; // wait for what follows
        }
        at += used;
    }
    return at;
}

bool PatternChecker::explain(
    const uint8_t *data, std::size_t size, uint64_t timeNs, bool final, std::size_t &used)
{
    if (size < kLookahead && !final) {
        return false;
    }
    ensureExpected(kMaxLost + 2 * kWindow);
    const uint8_t *expect = expected();
    const uint64_t offset = m_counts.checked;
    // The agreement that confirms an explanation: what there is when the stream ends.
    const auto agrees
        = [&](const uint8_t *received, std::size_t available, const uint8_t *pattern) {
              const std::size_t length = std::min(available, kWindow);
              const std::size_t tolerance = length == kWindow ? kTolerance : 0;
              return Mismatches(received, pattern, length, tolerance) <= tolerance;
          };
    // One corrupted byte.
    if (agrees(data + 1, size - 1, expect + 1)) {
        record(ByteFault::Corrupted, offset, expect[0], data[0], timeNs);
        advance(1);
        used = 1;
        return true;
    }
    for (std::size_t count = 1; count <= kMaxLost; ++count) {
        // `count` lost bytes: what came is the pattern from further on.
        if ((data[0] == expect[count] || (size > 1 && data[1] == expect[count + 1]))
            && agrees(data, size, expect + count)) {
            for (std::size_t i = 0; i < count; ++i) {
                record(ByteFault::Lost, offset + i, expect[i], -1, timeNs);
            }
            advance(count);
            used = 0;
            return true;
        }
        // `count` inserted bytes: the pattern goes on after them.
        if (count <= kMaxInserted && count < size
            && (data[count] == expect[0] || (size > count + 1 && data[count + 1] == expect[1]))
            && agrees(data + count, size - count, expect)) {
            for (std::size_t i = 0; i < count; ++i) {
                record(ByteFault::Inserted, offset, -1, data[i], timeNs);
            }
            used = count;
            return true;
        }
    }
    record(ByteFault::Corrupted, offset, expect[0], data[0], timeNs);
    advance(1);
    used = 1;
    return true;
}
