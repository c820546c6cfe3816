#include "sendengine.h"

#include "base/timestamp.h"
#include "capture/traffic.h"
#include "document/documentops.h"
#include "sendconvert.h"
#include "settings/settingsvalues.h"

#include <algorithm>

SendJob SendJob::FromSettings(const SettingsValues &settings)
{
    SendJob job;
    job.autoSend = settings.FAutoSend;
    job.sendStart = settings.FSendStart;
    job.sendEnd = settings.FSendEnd;
    job.twoCharDelay = settings.FTwoCharDelay;
    job.sendChar = settings.FSendChar;
    return job;
}

void InsertEchoPieces(DocumentOps &doc, const std::vector<EchoPiece> &pieces)
{
    std::string text;
    text.reserve(pieces.size() * 8);
    for (const EchoPiece &piece : pieces) {
        text.append(piece.view());
    }
    if (text.empty()) {
        return;
    }
    // Every piece goes to the end of the text, so one insertion of all of them
    // leaves the same text as one insertion per piece.
    doc.BeginBatch();
    doc.MoveCaretToEnd();
    if (!doc.InsertAtCaret(text)) {
        // Piece by piece: one that does not fit is dropped, a later shorter one may
        // still fit. The bytes went out either way.
        for (const EchoPiece &piece : pieces) {
            doc.MoveCaretToEnd();
            static_cast<void>(doc.InsertAtCaret(piece.view()));
        }
    }
    doc.EndBatch();
}

SendEngine::SendEngine(WriteFunction write, NotationFunction notation, std::function<void()> notify,
    std::size_t queueCapacity)
    : m_write(std::move(write))
    , m_notation(std::move(notation))
    , m_notify(notify)
    , m_echo(queueCapacity, std::move(notify))
{ }

SendEngine::~SendEngine()
{
    Drop();
}

void SendEngine::Drop()
{
    if (!m_thread.joinable()) {
        return;
    }
    m_echo.Fail();
    m_thread.request_stop();
    m_changed.notify_all();
    m_thread.join();
}

void SendEngine::Start(SendJob job, HeaderFunction header)
{
    Start(std::move(job));
    m_header = std::move(header);
}

void SendEngine::Start(SendJob job)
{
    Drop();
    m_header = nullptr;
    m_startTime = HeaderTimeNow();
    m_firstWriteTime = 0;
    m_job = std::move(job);
    m_delay = m_job.twoCharDelay;
    m_bytesSent = 0;
    m_wait.clear();
    m_echo.Reset();
    {
        std::lock_guard lock(m_mutex);
        m_pauseRequested = false;
        m_held = false;
        m_result = {};
    }
    m_thread = std::jthread([this](std::stop_token stop) { Run(stop); });
}

void SendEngine::Run(const std::stop_token &stop)
{
    SendOutcome outcome = SendOutcome::Completed;
    {
        const std::stop_callback onStop(stop, [this] { m_wait.interrupt(); });
        if (m_job.bytes) {
            outcome = SendBytes(stop);
        } else {
            outcome = m_job.autoSend ? SendRange(stop) : SendTokens(stop);
        }
    }
    if (!FlushEcho() && outcome == SendOutcome::Completed) {
        outcome = SendOutcome::Stopped;
    }
    if (outcome == SendOutcome::Stopped && m_echo.failed()) {
        outcome = SendOutcome::DocumentGone;
    }
    {
        std::lock_guard lock(m_mutex);
        m_result = { outcome, m_bytesSent.load() };
    }
    m_echo.Finish();
    if (m_notify) {
        m_notify();
    }
}

SendOutcome SendEngine::SendRange(const std::stop_token &stop)
{
    // 64-bit so that a range ending at the largest 32-bit value stops after it.
    const int64_t last = m_job.sendEnd;
    for (int64_t i = m_job.sendStart; i <= last; ++i) {
        const auto value = static_cast<int32_t>(i);
        int64_t began = 0;
        const SendOutcome written = Write(static_cast<uint8_t>(value & 0xFF), began, stop);
        if (written != SendOutcome::Running) {
            return written;
        }
        if (!PushEcho(ConvertRangeValue(value, m_notation()).echo)) {
            return SendOutcome::Stopped;
        }
        if (!Pace(began, stop)) {
            return SendOutcome::Stopped;
        }
    }
    return SendOutcome::Completed;
}

SendOutcome SendEngine::SendTokens(const std::stop_token &stop)
{
    // The first token waits its delay from the start of the send.
    int64_t previous = HighResolutionCount();
    for (const std::string &token : SplitSendText(m_job.sendChar)) {
        if (!Pace(previous, stop)) {
            return SendOutcome::Stopped;
        }
        for (const SendPiece &piece : ConvertToken(token, m_notation())) {
            const SendOutcome written = Write(piece.byte, previous, stop);
            if (written != SendOutcome::Running) {
                return written;
            }
            if (!PushEcho(piece.echo)) {
                return SendOutcome::Stopped;
            }
        }
    }
    return SendOutcome::Completed;
}

SendOutcome SendEngine::SendBytes(const std::stop_token &stop)
{
    // The first byte goes at once; each further one is due the delay after the
    // previous one began.
    int64_t previous = 0;
    bool first = true;
    for (const char c : *m_job.bytes) {
        if (!first && !Pace(previous, stop)) {
            return SendOutcome::Stopped;
        }
        first = false;
        const auto byte = static_cast<uint8_t>(c);
        const SendOutcome written = Write(byte, previous, stop);
        if (written != SendOutcome::Running) {
            return written;
        }
        if (!PushEcho(ConvertByte(byte, m_notation()).echo)) {
            return SendOutcome::Stopped;
        }
    }
    return SendOutcome::Completed;
}

SendOutcome SendEngine::Write(uint8_t byte, int64_t &began, const std::stop_token &stop)
{
    for (;;) {
        if (m_wait.interrupted() && !Checkpoint(stop)) {
            return SendOutcome::Stopped;
        }
        began = HighResolutionCount();
        if (m_write(byte, m_wait.mark()) == 1) {
            if (m_bytesSent.fetch_add(1, std::memory_order_relaxed) == 0) {
                m_firstWriteTime.store(HeaderTimeNow(), std::memory_order_relaxed);
            }
            Traffic.sent(byte);
            return SendOutcome::Running;
        }
        if (!m_wait.interrupted()) {
            return SendOutcome::WriteFailed;
        }
        // The write gave up on a stop or pause request: nothing went out. After a
        // pause the same byte is tried again.
    }
}

bool SendEngine::Pace(int64_t from, const std::stop_token &stop)
{
    for (;;) {
        const int32_t delay = m_delay.load();
        if (delay <= 0) {
            DelayMicroseconds(delay);
            return !m_wait.interrupted() || Checkpoint(stop);
        }
        // What went out is shown while the thread waits.
        if (!FlushEcho()) {
            return false;
        }
        if (m_wait.untilElapsed(from, delay)) {
            return true;
        }
        // Interrupted: a stop ends the send; after a pause the wait goes on from the
        // same byte with the delay now set.
        if (!Checkpoint(stop)) {
            return false;
        }
    }
}

bool SendEngine::Checkpoint(const std::stop_token &stop)
{
    // A held send has handed over all its echo.
    FlushEcho();
    std::unique_lock lock(m_mutex);
    if (m_pauseRequested && !stop.stop_requested()) {
        m_held = true;
        m_echo.Wake();
        m_changed.wait(lock, stop, [this] { return !m_pauseRequested; });
        m_held = false;
    }
    return !stop.stop_requested();
}

bool SendEngine::PushEcho(std::string_view echo)
{
    EchoPiece piece;
    piece.length = static_cast<uint8_t>(std::min(echo.size(), EchoPiece::kMaxText));
    std::copy_n(echo.data(), piece.length, piece.text);
    m_unsent.push_back(piece);
    return m_unsent.size() < kEchoBatch || FlushEcho();
}

bool SendEngine::FlushEcho()
{
    const bool pushed = m_echo.Push(m_unsent.data(), m_unsent.size());
    m_unsent.clear();
    return pushed;
}

void SendEngine::Apply(DocumentOps *doc)
{
    if (doc) {
        if (m_header && !m_applying.empty()) {
            // The queue's lock orders the time's store before this piece's take.
            m_header(*doc, m_firstWriteTime.load(std::memory_order_relaxed));
            m_header = nullptr;
        }
        InsertEchoPieces(*doc, m_applying);
        return;
    }
    // The document is gone: the send has nowhere to show what goes out.
    m_echo.Fail();
    m_thread.request_stop();
    m_changed.notify_all();
}

bool SendEngine::ApplyPending(DocumentOps *doc)
{
    if (!m_thread.joinable()) {
        return false;
    }
    // Read before the take: a send that had ended by then has all its echo in it.
    const bool ended = m_echo.finished();
    m_echo.TakeAll(m_applying);
    Apply(doc);
    if (!ended) {
        return false;
    }
    m_thread.join();
    Ended(doc);
    return true;
}

void SendEngine::Ended(DocumentOps *doc)
{
    if (doc && m_header) {
        m_header(*doc, m_startTime);
    }
    m_header = nullptr;
}

SendResult SendEngine::Wait(DocumentOps *doc)
{
    if (m_thread.joinable()) {
        while (!m_echo.WaitAndTake(m_applying)) {
            Apply(doc);
        }
        m_thread.join();
        Ended(doc);
    }
    return result();
}

SendResult SendEngine::Stop(DocumentOps *doc)
{
    m_thread.request_stop();
    return Wait(doc);
}

void SendEngine::Pause(DocumentOps *doc)
{
    if (!m_thread.joinable()) {
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        m_pauseRequested = true;
    }
    m_wait.interrupt();
    // Whatever the thread echoed before it ended or was held is in hand at the end.
    while (!m_echo.WaitAndTakeUntil(m_applying, [this] { return m_held.load(); })) {
        Apply(doc);
    }
}

void SendEngine::Resume(int32_t twoCharDelay)
{
    m_delay = twoCharDelay;
    {
        std::lock_guard lock(m_mutex);
        m_pauseRequested = false;
        m_wait.clear();
        if (m_thread.joinable() && m_thread.get_stop_token().stop_requested()) {
            m_wait.interrupt();
        }
    }
    m_changed.notify_all();
}

bool SendEngine::hasEnded() const
{
    return m_thread.joinable() && m_echo.finished();
}

SendResult SendEngine::result() const
{
    std::lock_guard lock(m_mutex);
    return m_result;
}

std::size_t SendEngine::queueHighWater() const
{
    return m_echo.highWater();
}
