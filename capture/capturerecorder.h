#pragma once

#include "capturetext.h"
#include "status.h"

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
// thread with the failure (its reason names the file; unless stop() is already
// under way, which then returns it).
//
// start, stop and the destructor belong to one thread (the user-interface thread);
// add may be called from any thread at any time.
class CaptureRecorder
{
public:
    using FailureFunction = std::function<void(const Status &failure)>;
    static constexpr std::chrono::milliseconds kFlushInterval { 100 };

    CaptureRecorder() = default;
    // Stops a running recording as stop() does.
    ~CaptureRecorder();
    CaptureRecorder(const CaptureRecorder &) = delete;
    CaptureRecorder &operator=(const CaptureRecorder &) = delete;

    // Creates or empties the file at `path` and starts recording into it. A
    // recording still running is stopped first (a failure of its end is not
    // reported). Fails when the file cannot be opened.
    [[nodiscard]] Status start(const std::filesystem::path &path, CaptureFormat format,
        FailureFunction onFailure = nullptr);
    // Stops taking bytes, writes all that was taken, flushes and closes the file,
    // and waits for the writer thread. Returns the failure that ended the recording,
    // or that of this last write or the closing. Nothing happens when no recording runs.
    [[nodiscard]] Status stop();
    // Between start and stop, and no failure so far.
    bool isRecording() const { return m_accepting.load(std::memory_order_relaxed); }

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
    // Formats and writes one batch; false with m_error set on failure.
    bool writeBatch(bool idleCheck);
    bool writeText(std::string_view text);
    void fail(const std::string &what);
    int64_t nowUs() const;

    static constexpr std::size_t kWakeBytes = 1 << 18;

    mutable std::mutex m_mutex;
    std::condition_variable_any m_wake;
    std::atomic<bool> m_accepting { false };
    // Guarded by m_mutex: what add() took and the writer has not taken over yet.
    std::vector<CapturedByte> m_pendingText;
    std::string m_pendingRaw;
    bool m_stopping = false;
    Status m_failure;

    CaptureFormat m_format = CaptureFormat::Raw; // written under m_mutex by start()

    // Writer thread (and start/stop while it does not run).
    std::filesystem::path m_path;
    std::FILE *m_file = nullptr;
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
