#include "sendengine.h"

#include "documentops.h"
#include "sendconvert.h"
#include "settingsvalues.h"
#include "traffic.h"

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

void InsertEchoPieces(DocumentOps &doc, std::string_view text, const std::vector<uint8_t> &sizes)
{
    if (text.empty()) {
        return;
    }
    // Every piece goes to the end of the text, so one insertion of all of them
    // leaves the same text as one insertion per piece.
    doc.BeginBatch();
    doc.MoveCaretToEnd();
    if (!doc.InsertAtCaret(text)) {
        std::size_t offset = 0;
        // Piece by piece: one that does not fit is dropped, a later shorter one may
        // still fit. The bytes went out either way.
        for (const uint8_t size : sizes) {
            doc.MoveCaretToEnd();
            static_cast<void>(doc.InsertAtCaret(text.substr(offset, size)));
            offset += size;
        }
    }
    doc.EndBatch();
}

SendEngine::SendEngine(WriteFunction write, NotationFunction notation, std::function<void()> notify,
    std::size_t queueCapacity)
    : m_write(std::move(write))
    , m_notation(std::move(notation))
    , m_notify(std::move(notify))
    , m_capacity(std::max<std::size_t>(queueCapacity, 1))
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
    {
        std::lock_guard lock(m_mutex);
        m_dropEchoes = true;
    }
    m_thread.request_stop();
    m_changed.notify_all();
    m_thread.join();
}

void SendEngine::Start(SendJob job)
{
    Drop();
    m_job = std::move(job);
    m_delay = m_job.twoCharDelay;
    m_bytesSent = 0;
    m_wait.clear();
    {
        std::lock_guard lock(m_mutex);
        m_echoText.clear();
        m_echoSizes.clear();
        m_highWater = 0;
        m_finished = false;
        m_pauseRequested = false;
        m_held = false;
        m_dropEchoes = false;
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
    {
        std::lock_guard lock(m_mutex);
        if (outcome == SendOutcome::Stopped && m_dropEchoes) {
            outcome = SendOutcome::DocumentGone;
        }
        m_result = { outcome, m_bytesSent.load() };
        m_finished = true;
    }
    m_changed.notify_all();
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
            m_bytesSent.fetch_add(1, std::memory_order_relaxed);
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
        m_changed.notify_all();
        m_changed.wait(lock, stop, [this] { return !m_pauseRequested; });
        m_held = false;
    }
    return !stop.stop_requested();
}

bool SendEngine::PushEcho(std::string_view echo)
{
    m_unsentText.append(echo);
    m_unsentSizes.push_back(static_cast<uint8_t>(echo.size()));
    return m_unsentSizes.size() < kEchoBatch || FlushEcho();
}

bool SendEngine::FlushEcho()
{
    std::size_t done = 0;
    std::size_t offset = 0;
    while (done < m_unsentSizes.size()) {
        bool wasEmpty = false;
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(
                lock, [this] { return m_dropEchoes || m_echoSizes.size() < m_capacity; });
            if (m_dropEchoes) {
                m_unsentText.clear();
                m_unsentSizes.clear();
                return false;
            }
            wasEmpty = m_echoSizes.empty();
            const std::size_t count
                = std::min(m_unsentSizes.size() - done, m_capacity - m_echoSizes.size());
            std::size_t bytes = 0;
            for (std::size_t i = done; i < done + count; ++i) {
                bytes += m_unsentSizes[i];
            }
            m_echoText.append(m_unsentText, offset, bytes);
            m_echoSizes.insert(m_echoSizes.end(),
                m_unsentSizes.begin() + static_cast<std::ptrdiff_t>(done),
                m_unsentSizes.begin() + static_cast<std::ptrdiff_t>(done + count));
            m_highWater = std::max(m_highWater, m_echoSizes.size());
            done += count;
            offset += bytes;
        }
        if (wasEmpty) {
            m_changed.notify_all();
            if (m_notify) {
                m_notify();
            }
        }
    }
    m_unsentText.clear();
    m_unsentSizes.clear();
    return true;
}

bool SendEngine::Take(bool wait, bool untilHeld)
{
    bool ended = false;
    m_applyingText.clear();
    m_applyingSizes.clear();
    {
        std::unique_lock lock(m_mutex);
        if (wait) {
            m_changed.wait(
                lock, [&] { return !m_echoSizes.empty() || m_finished || (untilHeld && m_held); });
        }
        m_applyingText.swap(m_echoText);
        m_applyingSizes.swap(m_echoSizes);
        // Whatever the thread echoed before it ended or was held is in hand now.
        ended = m_finished || (untilHeld && m_held);
    }
    m_changed.notify_all();
    return ended;
}

void SendEngine::Apply(DocumentOps *doc)
{
    if (doc) {
        InsertEchoPieces(*doc, m_applyingText, m_applyingSizes);
        return;
    }
    // The document is gone: the send has nowhere to show what goes out.
    {
        std::lock_guard lock(m_mutex);
        m_dropEchoes = true;
    }
    m_thread.request_stop();
    m_changed.notify_all();
}

bool SendEngine::ApplyPending(DocumentOps *doc)
{
    if (!m_thread.joinable()) {
        return false;
    }
    const bool ended = Take(false, false);
    Apply(doc);
    if (!ended) {
        return false;
    }
    m_thread.join();
    return true;
}

SendResult SendEngine::Wait(DocumentOps *doc)
{
    if (m_thread.joinable()) {
        bool ended = false;
        while (!ended) {
            ended = Take(true, false);
            Apply(doc);
        }
        m_thread.join();
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
    bool held = false;
    while (!held) {
        held = Take(true, true);
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
    std::lock_guard lock(m_mutex);
    return m_thread.joinable() && m_finished;
}

SendResult SendEngine::result() const
{
    std::lock_guard lock(m_mutex);
    return m_result;
}

std::size_t SendEngine::queueHighWater() const
{
    std::lock_guard lock(m_mutex);
    return m_highWater;
}
