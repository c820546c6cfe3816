#pragma once

#include "checker.h"
#include "linechannel.h"
#include "pattern.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

enum class LineMode {
    Loopback, // what goes out comes back: TX wired to RX, or the far side echoes
    Receive, // the far side sends the pattern
    Transmit, // the far side checks what is sent
};

[[nodiscard]] const char *LineModeName(LineMode mode);

struct LineTestConfig
{
    LineMode mode = LineMode::Loopback;
    double seconds = 0; // how long to send (or receive); 0: no time limit
    uint64_t bytes = 0; // how many bytes to send (or receive); 0: no limit
    double rate = 0; // bytes a second; 0: as fast as the line takes them
    LineFraming framing; // for the line's capacity
    double confidence = 0.95;
    // Loopback: the most bytes under way at once, so that the far side's buffers do
    // not overflow and the latency is not the length of a queue. 0: a tenth of a
    // second of the line's capacity (at least 256 bytes).
    std::size_t inFlight = 0;
    // Loopback: after the last byte went out, how long to wait for the rest.
    int drainMs = 2000;
    // The test ends when nothing arrives for this long while bytes are due (loopback:
    // sent and not back; receive: always). 0: the larger of 1 s and the line's time for
    // the bytes in flight plus 100 ms.
    int timeoutMs = 0;
};

// The figures of a test at one moment.
struct LineTestSnapshot
{
    bool running = false;
    bool finished = false;
    Status failure; // why the test could not go on (the line failed)
    // Why the test ended before its end, with nothing arriving for the time-out: "no
    // data came back" or "lost the rest"; empty otherwise.
    std::string stopped;
    double seconds = 0; // since the start
    uint64_t sent = 0;
    uint64_t received = 0;
    CheckCounts counts;
    double berUpperBound = 1.0;
    double capacity = 0; // characters a second the line carries at best
    // Round trip from write to check (loopback), in milliseconds.
    uint64_t latencySamples = 0;
    double latencyMinMs = 0;
    double latencyMedianMs = 0;
    double latencyP99Ms = 0;
    // The driver's counters since the start, where it keeps them.
    bool hasLineErrors = false;
    LineErrorCounts lineErrors;

    int dataBits = 8; // of each character: the bits checked in each byte

    [[nodiscard]] uint64_t bitsChecked() const
    {
        return counts.checked * static_cast<uint64_t>(dataBits);
    }
};

// One line test: a writer thread sends the pattern, a reader thread checks what comes
// back (by mode). Each moves chunks of up to kChunk bytes through buffers made once;
// the figures are atomics, written once per chunk, and the error places an array
// filled in order; the latency samples are the only thing under a lock, taken once
// per chunk read.
class LineTest
{
public:
    static constexpr std::size_t kChunk = 4096;

    LineTest(LineChannel &channel, PatternGenerator pattern, const LineTestConfig &config);
    ~LineTest();
    LineTest(const LineTest &) = delete;
    LineTest &operator=(const LineTest &) = delete;

    void Start();
    // Ends sending now; what is under way is still awaited (loopback), then the
    // test finishes.
    void Stop();
    // Waits until the test has finished.
    void Wait();

    [[nodiscard]] bool finished() const { return m_finished.load(std::memory_order_acquire); }
    [[nodiscard]] LineTestSnapshot snapshot() const;
    [[nodiscard]] const LineTestConfig &config() const { return m_config; }
    // The first PatternChecker::kMaxPlaces errors: places()[0..placeCount()).
    [[nodiscard]] std::size_t placeCount() const { return m_checker.placeCount(); }
    [[nodiscard]] const ErrorPlace *places() const { return m_checker.places(); }

private:
    using Clock = std::chrono::steady_clock;
    [[nodiscard]] uint64_t nowNs() const;
    void writeLoop();
    void readLoop();
    void fail(const Status &status);
    void publishCounts();
    void takeLatencies(uint64_t nowNs);
    [[nodiscard]] bool timeUp() const;

    LineChannel &m_channel;
    PatternGenerator m_sendPattern;
    LineTestConfig m_config;
    uint8_t m_dataMask; // with fewer than 8 data bits the line carries only these
    PatternChecker m_checker;
    Clock::time_point m_start;
    std::vector<uint8_t> m_sendBuffer;
    std::vector<uint8_t> m_readBuffer;

    std::atomic<bool> m_stop { false };
    std::atomic<bool> m_writerDone { false };
    std::atomic<bool> m_inputClear { false }; // loopback: old input is gone, sending may start
    std::atomic<bool> m_finished { false };
    std::atomic<bool> m_started { false };
    std::atomic<bool> m_failed { false };
    std::atomic<uint64_t> m_sent { 0 };
    std::atomic<uint64_t> m_received { 0 };
    std::atomic<uint64_t> m_checked { 0 };
    std::atomic<uint64_t> m_corrupted { 0 };
    std::atomic<uint64_t> m_lost { 0 };
    std::atomic<uint64_t> m_inserted { 0 };
    std::atomic<uint64_t> m_bitErrors { 0 };
    std::atomic<uint64_t> m_skipped { 0 };
    std::atomic<uint64_t> m_endNs { 0 };

    // Send times of stream offsets, writer to reader, single producer and consumer.
    struct Mark
    {
        uint64_t offset;
        uint64_t timeNs;
    };
    static constexpr std::size_t kMarks = 256;
    Mark m_marks[kMarks] {};
    std::atomic<std::size_t> m_markHead { 0 }; // written by the writer
    std::atomic<std::size_t> m_markTail { 0 }; // written by the reader

    mutable std::mutex m_lock; // the latency samples and the failure
    static constexpr std::size_t kLatencySamples = 8192;
    std::vector<uint64_t> m_latencies; // ring of the latest, in ns
    uint64_t m_latencyCount = 0;
    uint64_t m_latencyMin = 0;
    Status m_failure;
    std::string m_stopped;

    bool m_hasBaseline = false;
    LineErrorCounts m_baseline;

    std::thread m_writer;
    std::thread m_reader;
};
