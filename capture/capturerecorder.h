#pragma once

#include "base/status.h"
#include "capturesink.h"
#include "capturetext.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

// How a capture file holds what passed: text lines with times (CaptureTextFormatter)
// or the received bytes alone, exactly as they came.
enum class CaptureFormat { Text, Raw };

// Text for names ending in .log or .txt (any case), raw for every other name.
CaptureFormat CaptureFormatFor(const std::filesystem::path &path);

// Records the bytes that pass the port to a file without holding up the threads
// that move them. add() appends the byte (and, for text, its time) to a buffer under
// a short lock; a writer thread of its own takes the buffer over, formats it and
// writes it to the file, at least every kFlushInterval and sooner when much is
// waiting, flushing the file each time.
//
// A failed write or flush ends the recording: nothing more is taken, the file is
// closed with what was written before, and `onFailure` is called on the writer
// thread with the file's name and the system's reason (unless stop() is already
// under way, which then reports it through its result).
//
// What the file has not taken yet is bounded (`bufferLimit`, 64 MB): a file that
// falls that far behind (a pipe whose reader lags) ends the recording the same way,
// with a reason that says how many bytes were written. Reception is never slowed
// for a recording. stop() never waits for a reader: what the file takes at once is
// written, the rest is left out and stop() reports how much was written and how
// much was not.
//
// start, stop and the destructor belong to one thread (the user-interface thread);
// add may be called from any thread at any time.
class CaptureRecorder
{
public:
    // Called on the writer thread when a recording ends by itself.
    using FailureFunction = std::function<void(const Status &failure)>;
    static constexpr std::chrono::milliseconds kFlushInterval { 100 };

    static constexpr std::size_t kBufferLimit = std::size_t { 64 } << 20;

    explicit CaptureRecorder(std::size_t bufferLimit = kBufferLimit)
        : m_bufferLimit(bufferLimit)
    { }
    // Stops a running recording as stop() does.
    ~CaptureRecorder();
    CaptureRecorder(const CaptureRecorder &) = delete;
    CaptureRecorder &operator=(const CaptureRecorder &) = delete;

    // Creates or empties the file at `path` and starts recording into it. A
    // recording still running is stopped first. Fails with the file's name and the
    // reason when the file cannot be opened.
    [[nodiscard]] Status start(const std::filesystem::path &path, CaptureFormat format,
        FailureFunction onFailure = nullptr);
    // Stops taking bytes, writes all that was taken, flushes and closes the file,
    // and waits for the writer thread. Fails with the file's name, the reason and
    // the bytes written when the recording failed, now or before (the failure the
    // FailureFunction was told of). Nothing happens when no recording runs.
    [[nodiscard]] Status stop();
    // Between start and stop, and no failure so far.
    bool isRecording() const { return m_accepting.load(std::memory_order_relaxed); }
    // The bytes the file took in the current or last recording.
    uint64_t bytesWritten() const { return m_written.load(); }

    // Takes one byte that passed the port (in raw form only received bytes count).
    // Any thread; cheap when no recording runs.
    void add(CaptureDirection direction, uint8_t byte)
    {
        if (m_accepting.load(std::memory_order_relaxed)) {
            addTaken(direction, byte);
        }
    }

private:
    void addTaken(CaptureDirection direction, uint8_t byte);
    void writerLoop(std::stop_token stop);
    // Formats and writes one batch; false with m_failure set on failure.
    bool writeBatch(bool idleCheck);
    bool writeText(std::string_view text);
    bool finishFile(bool overflow);
    void fail(const Status &failure);
    int64_t nowUs() const;

    static constexpr std::size_t kWakeBytes = 1 << 18;
    // Text entries formatted per write, so that the formatted text stays small.
    static constexpr std::size_t kFormatChunk = 1 << 16;

    const std::size_t m_bufferLimit;
    mutable std::mutex m_mutex;
    std::condition_variable_any m_wake;
    std::atomic<bool> m_accepting { false };
    // Guarded by m_mutex: what add() took and the writer has not taken over yet.
    std::vector<CapturedByte> m_pendingText;
    std::string m_pendingRaw;
    bool m_stopping = false;
    bool m_overflow = false;
    std::size_t m_inFlight = 0; // memory of the batch the writer holds
    Status m_failure;
    // Set by stop() and on overflow: the writer no longer waits for room.
    std::atomic<bool> m_hurry { false };
    std::atomic<uint64_t> m_written { 0 };

    CaptureFormat m_format = CaptureFormat::Raw; // written under m_mutex by start()

    // Writer thread (and start/stop while it does not run).
    std::filesystem::path m_path;
    CaptureSink m_sink;
    uint64_t m_unwritten = 0; // bytes left out once the file stopped taking them
    CaptureTextFormatter m_formatter;
    std::vector<CapturedByte> m_takenText;
    std::string m_takenRaw;
    std::string m_out;
    FailureFunction m_onFailure;
    // Times are the wall clock at start moved on by a monotonic clock, so that they
    // never go back while a recording runs.
    std::chrono::steady_clock::time_point m_steadyStart;
    int64_t m_wallStartUs = 0;

    std::jthread m_writer;
};
