#pragma once

#include "receiveapply.h"
#include "receivequeue.h"
#include "text/notation.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string_view>
#include <thread>
#include <vector>

class DocumentOps;
struct SettingsValues;

// The receive thread and the reception state it keeps. The thread, running
// ReceiveThreadProc, reads the port one byte at a time and turns every byte into
// document changes (header, item, paragraph end, order errors, line header,
// automatic clearing) that it pushes onto a bounded queue; it never touches a
// document. The thread that owns the document carries them out with ApplyPending,
// which `notify` (called on the receive thread) asks it to do.
//
// With header times on, a header carries the time the receive thread read its
// line's first byte (all bytes of one read share that read's time); the header of
// a line that completes is therefore handed over with the next line's first byte,
// or when the reception ends.
//
// Start, ApplyPending, Stop and the destructor belong to one thread, the
// document's owner. The counters and ReceiveHasError may be read on that thread
// once Stop has returned. The settings, `notation` and `sendButtonDown` are read
// on the receive thread once per byte; any thread may change them at any time.
class ReceiveEngine
{
public:
    using ReadByteFunction = std::function<int(uint8_t &byte)>;
    // Receive thread: whether the next read has to ask the line, that is, no byte
    // read ahead is left in hand.
    using ReadsLineFunction = std::function<bool()>;

    // Why a reception ended.
    enum class EndReason {
        Running, // not ended yet, or no reception started
        Stopped, // the stop request
        DocumentGone, // no document window, or it was closed
        DocumentFull, // the document refused a line
        ZeroParagraphLength, // FParaCharNum was 0
        ZeroLineLength, // FLineCharNum was 0
    };

    static constexpr std::size_t kParaBufferSize = 1200;
    // About 50,000 bytes of a flood at the default settings (about 2.5 changes a
    // byte): what the thread can hand over while the document's thread waits out
    // its spacing between two batches, so that the spacing does not cap a flood.
    static constexpr std::size_t kDefaultQueueCapacity = 1 << 17;

    ReceiveEngine(const SettingsValues &settings, ReadByteFunction readByte,
        std::function<void()> notify, std::size_t queueCapacity = kDefaultQueueCapacity);
    // Ends a running reception; changes still waiting are dropped.
    ~ReceiveEngine();
    ReceiveEngine(const ReceiveEngine &) = delete;
    ReceiveEngine &operator=(const ReceiveEngine &) = delete;

    // Clears StopReceive and starts the receive thread. A reception still running
    // is stopped first, its changes dropped. `countFrom` bytes count as received
    // already (a long run fast-forwarded); the counts and the line and paragraph
    // boundaries go on from there.
    void Start(int64_t countFrom = 0);
    // Carries out every change waiting, in one batch. A null `doc` (the document
    // is gone) or a failing change ends the reception: later changes are dropped.
    // `room` tells how much more text `doc` takes for certain (see ApplyReceiveOps).
    // Returns how many changes the batch held.
    std::size_t ApplyPending(DocumentOps *doc, const RoomFunction &room = nullptr);
    std::size_t queueCapacity() const { return m_queueCapacity; }
    // Owner thread: the document got other text behind the reception's open line;
    // the next item carried out starts a line of its own (linesplit.h).
    void StartLineNext() { m_startLineNext = true; }
    // Sets StopReceive and waits until the thread has ended, carrying out its
    // changes on `doc` meanwhile; returns when all of them are done. Returns at
    // once when no reception was started.
    void Stop(DocumentOps *doc, const RoomFunction &room = nullptr);
    // A reception was started and not yet stopped (its thread may have ended
    // through a failure).
    bool isStarted() const { return m_thread.joinable(); }
    // 1 when the thread ended on the stop request, 0 when through a failure; -1
    // while it runs or before the first reception.
    int exitCode() const { return m_exitCode.load(); }
    // Why the reception ended; Running while it goes on. A reason other than
    // Stopped means it ended by itself: the thread has ended or ends at its next
    // byte or read, and `notify` has been called (or the failing ApplyPending was
    // the owner's own call).
    EndReason endReason() const { return m_endReason.load(); }
    bool endedByItself() const
    {
        const EndReason reason = m_endReason.load();
        return reason != EndReason::Running && reason != EndReason::Stopped;
    }
    std::size_t queueHighWater() const { return m_queue.highWater(); }
    // Owner thread: the counts of the changes carried out so far in this reception.
    const ReceptionCounts &shownCounts() const { return m_shown; }

    std::atomic<Notation> notation { Notation::Hex };
    std::atomic<bool> sendButtonDown { false };
    // While `sendButtonDown`, the loop pauses 1 ms before a read that asks the line,
    // never before one that hands out a byte already read: the pause lets the line
    // fill while a send runs, but does not cap a reception at a byte a millisecond.
    // Without this function every read counts as one that asks the line. Set it
    // before Start.
    void SetReadsLine(ReadsLineFunction readsLine) { m_readsLine = std::move(readsLine); }

    std::atomic<bool> StopReceive { true };
    // The counts of the last reception, set by Stop: those of the changes carried
    // out, which are all the thread made unless a change failed.
    bool ReceiveHasError = false;
    int64_t RecvByteCount = 0;
    int64_t RecvLineCount = 0;
    int64_t RecvParaCount = 0;

private:
    enum class Outcome { Next, Failed, Stopped };
    struct ByteSettings;

    void ReceiveThreadProc();
    Outcome HandleByte(uint8_t byte);
    void ParagraphEnd();
    Outcome CheckOrder(const ByteSettings &s);
    bool PositionIsRight(int64_t pos) const;
    void AddHeader(int32_t headerTime);
    void Add(ReceiveOp::Kind kind, int32_t value = 0);
    void AddColor(Rgb color);
    void AddItem(uint8_t byte, Notation notation);
    void AddCount(ReceiveOp::Counter counter);
    bool Flush();
    void DropReception();
    // Owner thread: a change failed on `doc`.
    void FailOn(const DocumentOps *doc);
    // Sets the reason unless one is set already.
    void SetEndReason(EndReason reason);

    const SettingsValues &m_settings;
    const ReadByteFunction m_readByte;
    ReadsLineFunction m_readsLine;
    ReceiveQueue m_queue;
    std::size_t m_queueCapacity;
    const std::function<void()> m_notify;
    std::thread m_thread;
    std::atomic<int> m_exitCode { -1 };
    std::atomic<EndReason> m_endReason { EndReason::Running };
    std::vector<ReceiveOp> m_ops; // receive thread: the changes of the byte in hand
    // Receive thread: HeaderTimeNow() of the read that brought the byte in hand (0
    // with header times off), and the start of the next line, held back until its
    // first byte so that its header carries that byte's time (header times on only).
    int32_t m_readTime = 0;
    std::vector<ReceiveOp> m_nextLine;
    std::vector<ReceiveOp> m_applying; // owner thread: the changes being carried out
    ReceptionCounts m_counted; // receive thread
    ReceptionCounts m_shown; // owner thread: counts of the changes carried out
    bool m_startLineNext = false; // owner thread

    // ParaBuffer keeps the stored bytes of the current paragraph. Positions from
    // m_paraFilledEver on have not been filled in this reception and never count
    // as right in the order check, nor do positions outside the buffer.
    std::array<uint8_t, kParaBufferSize> ParaBuffer {};
    int32_t ParaFill = 0;
    int64_t m_countFrom = 0;
    int32_t m_paraFilledEver = 0;
};

// The text of one received byte in `notation`, with its trailing space.
std::string_view FormatReceivedByte(
    uint8_t byte, Notation notation, char (&buffer)[ReceiveOp::kMaxItem]);
