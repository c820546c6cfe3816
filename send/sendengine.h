#pragma once

#include "base/boundedqueue.h"
#include "delay.h"
#include "text/notation.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

class DocumentOps;
struct SettingsValues;

// What one send sends, taken from the settings when it starts.
struct SendJob
{
    bool autoSend = false;
    int32_t sendStart = 0;
    int32_t sendEnd = 0;
    int32_t twoCharDelay = 0; // µs
    std::string sendChar; // code page 936 bytes
    // Bytes given as they are (the send bar): when set, they are sent instead of the
    // range or the tokens, FTwoCharDelay between two of them.
    std::optional<std::string> bytes;

    static SendJob FromSettings(const SettingsValues &settings);
};

// How a send ended.
enum class SendOutcome {
    Running, // not ended yet (or never started)
    Completed, // every unit went out
    Stopped, // a stop request ended it
    WriteFailed, // a byte could not be written; the send ended there
    DocumentGone, // the document that shows the echo went away
};

// The text that echoes one byte sent. A plain value (no heap memory), so that the
// echo of a byte costs no allocation on its way to the document.
struct EchoPiece
{
    // The longest echo is a decimal range value, "-2147483648 ".
    static constexpr std::size_t kMaxText = 15;

    uint8_t length = 0;
    char text[kMaxText] = {};

    std::string_view view() const { return { text, length }; }
};

struct SendResult
{
    SendOutcome outcome = SendOutcome::Running;
    int64_t bytesSent = 0; // bytes the port took, each of them echoed
};

// The send thread. It walks the units of a send (the range or the tokens of the
// send text), writes each byte, paces the bytes and produces the echo; it never
// touches a document. The echo pieces go through a bounded queue to the thread that
// owns the document, which carries them out with ApplyPending (asked for through
// `notify`, called on the send thread whenever the queue goes from empty to
// non-empty and once when the send has ended).
//
// A byte is echoed only after `write` returned 1 for it. When `write` fails, the
// send ends there with WriteFailed, so the echo holds exactly what went out.
//
// Pacing: each byte is due FTwoCharDelay after the previous byte's write began
// (for the first token of the send text: after the send began); the delay comes
// after every range byte, before every token and between two given bytes, never
// between the bytes of one token. A write or echo that took longer than the delay lets the next
// byte go at once, and the next deadline runs from that byte: a late byte is never followed by a
// burst. A delay of 0 or less is DelayMicroseconds as it always was.
//
// A stop request is seen within about a millisecond, wherever the thread is: in a
// long delay (which sleeps), in a write that the line does not take (`write` gives
// up when the mark it is handed is set) or waiting for room in the queue (the
// owner carries the echo out while it waits for the end).
//
// Start, ApplyPending, Wait, Stop, Pause, Resume and the destructor belong to one
// thread, the document's owner. `notation` is called on the send thread, once per
// unit.
class SendEngine
{
public:
    using WriteFunction = std::function<int(uint8_t byte, const std::atomic<bool> &giveUp)>;
    using NotationFunction = std::function<Notation()>;
    // Writes the send's "Sending: " header into `doc`, with `headerTime` (a value of
    // HeaderTimeNow(), 0 for none) before it. The owner's thread.
    using HeaderFunction = std::function<void(DocumentOps &doc, int32_t headerTime)>;

    static constexpr std::size_t kDefaultQueueCapacity = 1 << 16; // echo pieces

    SendEngine(WriteFunction write, NotationFunction notation, std::function<void()> notify,
        std::size_t queueCapacity = kDefaultQueueCapacity);
    // Ends a running send; echo pieces still waiting are dropped.
    ~SendEngine();
    SendEngine(const SendEngine &) = delete;
    SendEngine &operator=(const SendEngine &) = delete;

    // Starts the send thread on `job`. A send still running is ended first, its
    // echo dropped; callers normally Stop or Wait for it before.
    void Start(SendJob job);
    // Starts the send as Start(job) does; `header`, when given, is written by the
    // owner right before the first echo it carries out, with the time the send's
    // first byte was written, so that a line's time is that of its first byte. A
    // send that wrote nothing gets its header when its end is collected, with the
    // time it started.
    void Start(SendJob job, HeaderFunction header);
    // A send was started and its end has not been collected yet.
    bool isStarted() const { return m_thread.joinable(); }

    // Carries out the echo pieces waiting at the end of `doc`, as one batch. A null
    // `doc` (the document is gone) ends the send. True when the send has ended and
    // everything it echoed has been carried out: the thread is then joined and
    // result() tells how it ended; false while it runs (or when none was started).
    bool ApplyPending(DocumentOps *doc);
    // Waits for the send to end by itself, carrying out its echo meanwhile.
    SendResult Wait(DocumentOps *doc);
    // Asks the send to end and waits for it, carrying out its echo meanwhile.
    SendResult Stop(DocumentOps *doc);
    // Holds the send at the next point between two bytes (or in its delay) and
    // returns once it is held or has ended, carrying out its echo meanwhile. No
    // byte is written while it is held. Does nothing when no send runs.
    void Pause(DocumentOps *doc);
    // Lets a held send go on, with `twoCharDelay` as its delay from now on.
    void Resume(int32_t twoCharDelay);

    // The send thread has ended (its echo may still wait to be carried out).
    bool hasEnded() const;
    // The outcome and byte count of the last send that ended.
    SendResult result() const;
    // The largest number of echo pieces that were waiting at one time.
    std::size_t queueHighWater() const;

private:
    void Run(const std::stop_token &stop);
    SendOutcome SendRange(const std::stop_token &stop);
    SendOutcome SendTokens(const std::stop_token &stop);
    SendOutcome SendBytes(const std::stop_token &stop);
    SendOutcome Write(uint8_t byte, int64_t &began, const std::stop_token &stop);
    bool Pace(int64_t from, const std::stop_token &stop);
    bool Checkpoint(const std::stop_token &stop);
    // Send thread: echo pieces gather here and go to the queue kEchoBatch at a
    // time, before every wait and at the end, so that a fast send does not wake
    // the owner for every byte.
    bool PushEcho(std::string_view echo);
    bool FlushEcho();
    // Owner: carries out the taken pieces, or ends the send when `doc` is null.
    void Apply(DocumentOps *doc);
    // Owner: the send has ended; a header still due is written now.
    void Ended(DocumentOps *doc);
    void Drop();

    const WriteFunction m_write;
    const NotationFunction m_notation;
    const std::function<void()> m_notify;

    static constexpr std::size_t kEchoBatch = 64;

    SendJob m_job; // send thread, set before it starts
    std::vector<EchoPiece> m_unsent; // send thread: echo pieces not yet queued
    std::atomic<int32_t> m_delay { 0 };
    InterruptibleWait m_wait; // interrupted by stop and pause requests

    // The echo on its way to the owner. The queue's failed mark is the owner's
    // word that the echo has nowhere to go (the document is gone, or the engine is
    // dropping the send); its finished mark says the thread has ended and
    // `m_result` holds how.
    BoundedQueue<EchoPiece> m_echo;

    mutable std::mutex m_mutex;
    std::condition_variable_any m_changed;
    bool m_pauseRequested = false;
    SendResult m_result;
    // Set by the send thread while it is held, with m_mutex; read by the owner
    // under the queue's lock, so that a held thread's echo is all in hand when
    // the owner sees it held.
    std::atomic<bool> m_held { false };

    std::atomic<int64_t> m_bytesSent { 0 };
    // HeaderTimeNow() when the first byte went out: stored by the send thread
    // before that byte's echo is queued, read by the owner after taking it.
    std::atomic<int32_t> m_firstWriteTime { 0 };
    HeaderFunction m_header; // owner thread: the header still to write
    int32_t m_startTime = 0; // owner thread
    std::vector<EchoPiece> m_applying; // owner thread
    std::jthread m_thread;
};

// Carries out echo pieces at the end of `doc` as one batch: one insertion of all of
// them, or, when the document refuses that, one insertion per piece, so that
// exactly the pieces that fit are kept.
void InsertEchoPieces(DocumentOps &doc, const std::vector<EchoPiece> &pieces);
