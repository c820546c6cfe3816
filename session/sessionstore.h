#pragma once

#include "base/status.h"
#include "capture/capturetext.h"
#include "capture/traffic.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

// The time of a byte whose time is not known (a raw capture file has none).
inline constexpr int64_t kNoTime = INT64_MIN;

// A run of bytes of one direction that came without a pause: where it starts in the
// session, the time of its first byte and how long it lasted up to its last byte.
struct SessionRun
{
    uint64_t start = 0; // position in the session (counting what was dropped)
    int64_t firstUs = kNoTime;
    uint16_t spanUs = 0;
    CaptureDirection direction = CaptureDirection::Received;
};

// Every byte of a session, compact: the bytes in chunks of kChunk and an index of
// runs. A byte opens a new run when its direction differs from the last byte's, or
// when kRunStepUs or more have passed since the last byte or since the run's first
// byte, so that every byte's time is its run's to within kRunStepUs and every pause
// of kRunStepUs or more lies between runs.
//
// Positions count from the first byte ever taken; at the bound (bytes and index
// together) the oldest chunk goes whole, and dropped() says how many bytes have gone.
// One thread.
class SessionStore
{
public:
    static constexpr std::size_t kDefaultBound = std::size_t { 256 } << 20;
    static constexpr std::size_t kChunk = std::size_t { 1 } << 16;
    static constexpr int64_t kRunStepUs = 1000;

    explicit SessionStore(std::size_t bound = kDefaultBound);

    void append(CaptureDirection direction, int64_t timeUs, const uint8_t *data, std::size_t size);
    void append(CaptureDirection direction, int64_t timeUs, uint8_t byte)
    {
        append(direction, timeUs, &byte, 1);
    }
    void clear();
    // Changes the bound (at least two chunks); drops the oldest data at once when
    // more is held.
    void setBound(std::size_t bound);
    std::size_t bound() const { return m_bound; }
    // Memory held by the bytes and the index.
    std::size_t memoryUsed() const;

    uint64_t begin() const { return m_begin; }
    uint64_t end() const { return m_end; }
    uint64_t dropped() const { return m_begin; }
    bool empty() const { return m_begin == m_end; }
    // Changes every time data arrives or goes, so that views know to look again.
    uint64_t generation() const { return m_generation; }

    uint8_t at(uint64_t position) const
    {
        const uint64_t offset = position - m_chunkBase;
        return m_chunks[offset / kChunk][offset % kChunk];
    }
    // Appends the bytes of [from, to) to `out`.
    void copy(uint64_t from, uint64_t to, std::string &out) const;
    // The bytes of [from, to) in one piece: a view into the store when they lie in
    // one chunk, else copied into `scratch`.
    std::string_view view(uint64_t from, uint64_t to, std::string &scratch) const;
    // Calls `piece(position, bytes)` for the pieces of [from, to), chunk by chunk.
    template <typename Piece>
    void forEachPiece(uint64_t from, uint64_t to, Piece piece) const
    {
        while (from < to) {
            const uint64_t offset = from - m_chunkBase;
            const std::vector<uint8_t> &chunk = m_chunks[offset / kChunk];
            const std::size_t inChunk = offset % kChunk;
            const std::size_t size
                = static_cast<std::size_t>(std::min<uint64_t>(to - from, kChunk - inChunk));
            piece(from,
                std::string_view(reinterpret_cast<const char *>(chunk.data()) + inChunk, size));
            from += size;
        }
    }

    std::size_t runCount() const { return m_runs.size(); }
    const SessionRun &run(std::size_t index) const { return m_runs[index]; }
    // The index of the run that holds `position` (begin() <= position < end()).
    std::size_t runAt(uint64_t position) const;
    // Where the run after `index` starts, end() for the last.
    uint64_t runEnd(std::size_t index) const
    {
        return index + 1 < m_runs.size() ? m_runs[index + 1].start : m_end;
    }
    // The start of the stretch of one direction that holds `position`.
    uint64_t turnBefore(uint64_t position) const;
    // The start of the next stretch of the other direction after `position`, end()
    // when there is none.
    uint64_t turnAfter(uint64_t position) const;

private:
    void dropOldest();

    std::size_t m_bound;
    std::deque<std::vector<uint8_t>> m_chunks; // all full but the last
    uint64_t m_chunkBase = 0; // position of the first chunk's first byte
    uint64_t m_begin = 0;
    uint64_t m_end = 0;
    uint64_t m_generation = 0;
    std::deque<SessionRun> m_runs;
    std::deque<uint64_t> m_turns; // where each stretch of one direction starts
    int64_t m_lastUs = kNoTime;
};

// Takes the bytes of the port from the threads that move them and hands them to the
// user-interface thread's store. add() stamps the byte with the time and queues it
// under a short lock; takeInto() moves what waits into a store. What waits is
// bounded (kPendingLimit): beyond it the bytes are counted as lost, not held.
class SessionFeed final : public TrafficListener
{
public:
    void traffic(CaptureDirection direction, uint8_t byte) override { add(direction, byte); }
    static constexpr std::size_t kPendingLimit = std::size_t { 64 } << 20;

    void add(CaptureDirection direction, uint8_t byte);
    // Moves everything waiting into `store`; the bytes lost since the last call.
    uint64_t takeInto(SessionStore &store);

    // Microseconds since 1970, never going back while the program runs.
    static int64_t NowUs();

private:
    struct Piece
    {
        int64_t timeUs;
        CaptureDirection direction;
        std::size_t size;
    };
    std::mutex m_mutex;
    std::string m_bytes;
    std::vector<Piece> m_pieces;
    uint64_t m_lost = 0;
    std::string m_takenBytes;
    std::vector<Piece> m_takenPieces;
};

// Reads a capture file the program recorded into `store` (emptied first): the text
// form (lines of time, RX or TX and bytes in hexadecimal; every byte of a line gets
// the line's time) or the raw form (the received bytes alone, without times), by
// the name as CaptureFormatFor tells. Fails with the line and what is wrong for a
// file that is not one of them or ends in the middle of a line, and for a file
// larger than `store` may hold; the store is then left empty.
[[nodiscard]] Status LoadCaptureFile(const std::filesystem::path &path, SessionStore &store);
// The same for the contents of a file already read.
[[nodiscard]] Status LoadCaptureText(std::string_view text, SessionStore &store);
