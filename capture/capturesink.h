#pragma once

#include "base/status.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string_view>

// The file a recording writes into. It is opened without blocking, so a FIFO that
// nobody reads is refused at once instead of holding up the caller for good, and its
// writes wait for room only while nobody is in a hurry: a reader that is slow or has
// stopped reading can never hold up the end of a recording. A reader that went away
// is a failed write (EPIPE), never a signal that ends the program.
//
// One thread at a time; the writes belong to the recorder's writer thread.
class CaptureSink
{
public:
    CaptureSink() = default;
    ~CaptureSink();
    CaptureSink(const CaptureSink &) = delete;
    CaptureSink &operator=(const CaptureSink &) = delete;

    // Creates or empties the file at `path`. The failure names the file and says
    // why (a FIFO without a reader says so).
    [[nodiscard]] Status Open(const std::filesystem::path &path);
    // Writes `data` in order. Where the file has no room (a pipe whose reader lags),
    // waits for room while `hurry` is unset; once it is set, writes only what goes
    // without waiting. `written` tells how much went out, also on failure.
    [[nodiscard]] Status Write(
        std::string_view data, const std::atomic<bool> &hurry, std::size_t &written);
    [[nodiscard]] Status Close();
    bool isOpen() const;

    // Called first on the thread that writes: where a write to a pipe without a reader
    // raises a signal, it is held back for this thread so that the write fails instead.
    static void PrepareWriterThread();

private:
    intptr_t m_handle = -1;
};
