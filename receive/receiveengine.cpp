#include "receiveengine.h"

#include "base/timestamp.h"
#include "capture/traffic.h"
#include "linesplit.h"
#include "receiveapply.h"
#include "settings/settingsvalues.h"
#include "text/hexdigits.h"

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstring>

namespace {

constexpr std::size_t kOpsPerPush = 1024;

// True when `count` completes a group of `size` bytes: count / size and
// (count - 1) / size differ, with the division truncating toward zero, so that a
// negative size gives the boundaries of its absolute value.
bool CompletesGroup(int64_t count, int32_t size)
{
    return count / size != (count - 1) / size;
}

} // namespace

struct ReceiveEngine::ByteSettings
{
    Notation notation;
    bool autoClear;
    int32_t clearLineNum;
    bool checkOrder;
    int32_t paraStart;
    int32_t paraEnd;
    int32_t lineCharNum;
    int32_t paraCharNum;
};

std::string_view FormatReceivedByte(
    uint8_t byte, Notation notation, char (&buffer)[ReceiveOp::kMaxItem])
{
    std::size_t n = 0;
    switch (notation) {
    case Notation::Decimal:
        if (byte >= 100) {
            buffer[n++] = static_cast<char>('0' + byte / 100);
        }
        if (byte >= 10) {
            buffer[n++] = static_cast<char>('0' + byte / 10 % 10);
        }
        buffer[n++] = static_cast<char>('0' + byte % 10);
        break;
    case Notation::Chars: {
        const std::string shown = ByteAsCharacter(byte);
        buffer[n++] = '\'';
        std::memcpy(buffer + n, shown.data(), shown.size());
        n += shown.size();
        buffer[n++] = '\'';
        break;
    }
    case Notation::Hex:
        buffer[n++] = '0';
        buffer[n++] = 'x';
        buffer[n++] = kHexDigitChars[byte >> 4];
        buffer[n++] = kHexDigitChars[byte & 0x0F];
        break;
    }
    buffer[n++] = ' ';
    return { buffer, n };
}

ReceiveEngine::ReceiveEngine(const SettingsValues &settings, ReadByteFunction readByte,
    std::function<void()> notify, std::size_t queueCapacity)
    : m_settings(settings)
    , m_readByte(std::move(readByte))
    , m_queue(queueCapacity, notify)
    , m_queueCapacity(queueCapacity)
    , m_notify(std::move(notify))
{ }

ReceiveEngine::~ReceiveEngine()
{
    DropReception();
}

void ReceiveEngine::DropReception()
{
    if (!m_thread.joinable()) {
        return;
    }
    StopReceive = true;
    m_queue.Fail();
    m_thread.join();
}

void ReceiveEngine::Start(int64_t countFrom)
{
    DropReception();
    m_queue.Reset();
    m_countFrom = countFrom;
    m_shown = {};
    m_shown.RecvByteCount = countFrom;
    m_startLineNext = false;
    m_exitCode = -1;
    m_endReason = EndReason::Running;
    StopReceive = false;
    m_thread = std::thread([this] { ReceiveThreadProc(); });
}

void ReceiveEngine::SetEndReason(EndReason reason)
{
    EndReason running = EndReason::Running;
    m_endReason.compare_exchange_strong(running, reason);
}

void ReceiveEngine::FailOn(const DocumentOps *doc)
{
    SetEndReason(doc ? EndReason::DocumentFull : EndReason::DocumentGone);
    m_queue.Fail();
}

std::size_t ReceiveEngine::ApplyPending(DocumentOps *doc, const RoomFunction &room)
{
    m_queue.TakeAll(m_applying);
    const std::size_t taken = m_applying.size();
    StartLineAfterOtherDirection(m_applying, m_startLineNext);
    if (!m_queue.failed() && !ApplyReceiveOps(doc, m_applying, m_shown, room)) {
        FailOn(doc);
    }
    m_applying.clear();
    return taken;
}

void ReceiveEngine::Stop(DocumentOps *doc, const RoomFunction &room)
{
    if (!m_thread.joinable()) {
        return;
    }
    StopReceive = true;
    while (!m_queue.WaitAndTake(m_applying)) {
        StartLineAfterOtherDirection(m_applying, m_startLineNext);
        if (!m_queue.failed() && !ApplyReceiveOps(doc, m_applying, m_shown, room)) {
            FailOn(doc);
        }
    }
    m_applying.clear();
    m_thread.join();
    SetEndReason(EndReason::Stopped);
    ReceiveHasError = m_shown.ReceiveHasError;
    RecvByteCount = m_shown.RecvByteCount;
    RecvLineCount = m_shown.RecvLineCount;
    RecvParaCount = m_shown.RecvParaCount;
}

void ReceiveEngine::ReceiveThreadProc()
{
    ParaFill = 0;
    m_paraFilledEver = 0;
    m_readTime = 0;
    m_nextLine.clear();
    m_counted = {};
    m_counted.RecvByteCount = m_countFrom;
    int exitCode = 1;
    for (;;) {
        if (StopReceive) {
            break;
        }
        // Only these two need to know whether the read asks the line.
        const bool timed = HeaderTimes.load(std::memory_order_relaxed);
        const bool asksLine = (timed || sendButtonDown) && (!m_readsLine || m_readsLine());
        if (sendButtonDown && asksLine) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        uint8_t byte = 0;
        if (m_readByte(byte) == 0) {
            if (m_queue.failed()) {
                exitCode = 0;
                break;
            }
            continue;
        }
        // A byte handed out of the read-ahead came with the read that asked the line:
        // every byte of one read carries that read's time.
        if (!timed) {
            m_readTime = 0;
        } else if (asksLine || m_readTime == 0) {
            m_readTime = HeaderTimeNow();
        }
        Traffic.received(byte);
        const Outcome outcome = HandleByte(byte);
        if (outcome == Outcome::Failed) {
            exitCode = 0;
            break;
        }
        if (outcome == Outcome::Stopped) {
            break;
        }
    }
    // A line complete at the end has its header, stamped when the line completed.
    if (!m_nextLine.empty()) {
        m_ops.swap(m_nextLine);
        m_nextLine.clear();
        static_cast<void>(Flush()); // a failed queue has nowhere to take it
    }
    m_exitCode = exitCode;
    if (exitCode == 1) {
        SetEndReason(EndReason::Stopped);
    }
    m_queue.Finish();
    // An end of its own is news for the owner even when nothing is waiting.
    if (exitCode == 0 && m_notify) {
        m_notify();
    }
}

ReceiveEngine::Outcome ReceiveEngine::HandleByte(uint8_t byte)
{
    const ByteSettings s { notation.load(), m_settings.FAutoClear.load(),
        m_settings.FClearLineNum.load(), m_settings.FCheckOrder.load(),
        m_settings.FParaStart.load(), m_settings.FParaEnd.load(), m_settings.FLineCharNum.load(),
        m_settings.FParaCharNum.load() };
    m_ops.clear();
    // The header of the line this byte starts, held back for its time.
    if (!m_nextLine.empty()) {
        for (ReceiveOp &op : m_nextLine) {
            if (op.kind == ReceiveOp::Kind::Header && m_readTime != 0) {
                op.value = m_readTime;
            }
        }
        m_ops.swap(m_nextLine);
        m_nextLine.clear();
    }
    if (s.autoClear) {
        Add(ReceiveOp::Kind::ClearIfLineCount, s.clearLineNum);
    }
    if (m_counted.RecvByteCount == m_countFrom) {
        Add(ReceiveOp::Kind::MoveCaretToEnd);
        AddHeader(m_readTime);
    }
    AddItem(byte, s.notation);

    if (s.paraCharNum == 0) {
        SetEndReason(EndReason::ZeroParagraphLength);
        Flush();
        return Outcome::Failed;
    }
    if (CompletesGroup(m_counted.RecvByteCount, s.paraCharNum)) {
        ParagraphEnd();
        if (s.checkOrder) {
            const Outcome outcome = CheckOrder(s);
            if (outcome != Outcome::Next) {
                return outcome;
            }
        }
        AddColor(Colors::Black);
        ParaFill = 0;
    } else if (ParaFill < static_cast<int32_t>(kParaBufferSize)) {
        ParaBuffer[static_cast<std::size_t>(ParaFill)] = byte;
        ++ParaFill;
        m_paraFilledEver = std::max(m_paraFilledEver, ParaFill);
    }

    if (s.lineCharNum == 0) {
        SetEndReason(EndReason::ZeroLineLength);
        Flush();
        return Outcome::Failed;
    }
    if (CompletesGroup(m_counted.RecvByteCount, s.lineCharNum)) {
        const auto lineEnd = static_cast<std::ptrdiff_t>(m_ops.size());
        Add(ReceiveOp::Kind::MoveCaretToEnd);
        AddCount(ReceiveOp::CountLine);
        // Stamped now; with header times on it waits for the next line's first byte,
        // whose read time replaces this one, and goes out before that byte's changes,
        // so that the document and its clearing come out as without the wait.
        const int32_t completed = HeaderTimeNow();
        AddHeader(completed);
        if (completed != 0) {
            m_nextLine.assign(m_ops.begin() + lineEnd, m_ops.end());
            m_ops.erase(m_ops.begin() + lineEnd, m_ops.end());
        }
    }
    return Flush() ? Outcome::Next : Outcome::Failed;
}

void ReceiveEngine::ParagraphEnd()
{
    Add(ReceiveOp::Kind::MoveCaretToEnd);
    AddColor(Colors::Red);
    Add(ReceiveOp::Kind::ParagraphEnd);
    AddCount(ReceiveOp::CountParagraph);
}

bool ReceiveEngine::PositionIsRight(int64_t pos) const
{
    return pos >= 0 && pos < m_paraFilledEver && ParaBuffer[static_cast<std::size_t>(pos)] == pos;
}

ReceiveEngine::Outcome ReceiveEngine::CheckOrder(const ByteSettings &s)
{
    for (int64_t pos = s.paraStart; pos < s.paraEnd; ++pos) {
        if (PositionIsRight(pos)) {
            continue;
        }
        const bool outsideBuffer = pos < 0 || pos >= static_cast<int64_t>(kParaBufferSize);
        // Clearing is tested when a byte arrives, but a range far outside the buffer
        // writes billions of lines for one byte: there the clearing is also tested
        // before every line, so that it keeps the document short as it does for
        // received items.
        if (s.autoClear && outsideBuffer) {
            Add(ReceiveOp::Kind::ClearIfLineCount, s.clearLineNum);
        }
        AddCount(ReceiveOp::CountError);
        Add(ReceiveOp::Kind::ErrorLine, static_cast<int32_t>(pos));
        // A check range far beyond the buffer writes a great many lines: hand them
        // over as they come. A stop request ends the check only outside the buffer,
        // so that a check of the stored positions is always written whole.
        if (m_ops.size() >= kOpsPerPush) {
            if (!Flush()) {
                return Outcome::Failed;
            }
            if (StopReceive && outsideBuffer) {
                return Outcome::Stopped;
            }
        }
    }
    return Outcome::Next;
}

void ReceiveEngine::AddHeader(int32_t headerTime)
{
    AddColor(Colors::Green);
    Add(ReceiveOp::Kind::Header, headerTime);
    AddColor(Colors::Black);
}

void ReceiveEngine::Add(ReceiveOp::Kind kind, int32_t value)
{
    ReceiveOp op;
    op.kind = kind;
    op.value = value;
    m_ops.push_back(op);
}

void ReceiveEngine::AddColor(Rgb color)
{
    ReceiveOp op;
    op.kind = ReceiveOp::Kind::SetColor;
    op.color = color;
    m_ops.push_back(op);
}

void ReceiveEngine::AddItem(uint8_t byte, Notation itemNotation)
{
    ReceiveOp op;
    op.kind = ReceiveOp::Kind::Item;
    op.length = static_cast<uint8_t>(FormatReceivedByte(byte, itemNotation, op.text).size());
    op.value = m_readTime;
    m_ops.push_back(op);
    m_counted.count(ReceiveOp::CountByte);
}

void ReceiveEngine::AddCount(ReceiveOp::Counter counter)
{
    m_counted.count(counter);
    Add(ReceiveOp::Kind::Count, counter);
}

bool ReceiveEngine::Flush()
{
    const bool ok = m_queue.Push(m_ops.data(), m_ops.size());
    m_ops.clear();
    return ok;
}
