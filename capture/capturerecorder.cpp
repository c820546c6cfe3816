#include "capturerecorder.h"

#include <algorithm>
#include <cctype>
#include <string>

CaptureFormat CaptureFormatFor(const std::filesystem::path &path)
{
    std::string extension = path.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
        [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".log" || extension == ".txt" ? CaptureFormat::Text : CaptureFormat::Raw;
}

CaptureRecorder::~CaptureRecorder()
{
    // Whoever wanted the outcome has called stop() before.
    static_cast<void>(stop());
}

int64_t CaptureRecorder::nowUs() const
{
    using namespace std::chrono;
    return m_wallStartUs + duration_cast<microseconds>(steady_clock::now() - m_steadyStart).count();
}

Status CaptureRecorder::start(
    const std::filesystem::path &path, CaptureFormat format, FailureFunction onFailure)
{
    // A new recording replaces the old one, whose outcome nobody asked for.
    static_cast<void>(stop());
    if (Status opened = m_sink.Open(path); !opened) {
        return opened;
    }
    using namespace std::chrono;
    m_path = path;
    m_formatter = {};
    m_onFailure = std::move(onFailure);
    m_steadyStart = steady_clock::now();
    m_wallStartUs = duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
    m_written = 0;
    m_unwritten = 0;
    m_hurry = false;
    {
        std::lock_guard lock(m_mutex);
        m_format = format;
        m_failure = {};
        m_stopping = false;
        m_overflow = false;
        m_inFlight = 0;
        m_pendingText.clear();
        m_pendingRaw.clear();
    }
    m_accepting.store(true);
    m_writer = std::jthread([this](std::stop_token stop) { writerLoop(stop); });
    return {};
}

Status CaptureRecorder::stop()
{
    if (!m_writer.joinable()) {
        return {};
    }
    {
        // Under the lock, so that no add() is half way through once this is seen.
        std::lock_guard lock(m_mutex);
        m_accepting.store(false);
        m_stopping = true;
    }
    m_hurry = true;
    m_writer.request_stop();
    m_writer.join();
    std::lock_guard lock(m_mutex);
    return m_failure;
}

void CaptureRecorder::addTaken(CaptureDirection direction, uint8_t byte)
{
    bool wake = false;
    {
        std::lock_guard lock(m_mutex);
        if (!m_accepting.load(std::memory_order_relaxed)) {
            return;
        }
        const std::size_t held
            = m_inFlight + m_pendingRaw.size() + m_pendingText.size() * sizeof(CapturedByte);
        if (held >= m_bufferLimit) {
            // The file has fallen too far behind: the recording ends rather than
            // holding more, and the writer says how much reached the file.
            m_accepting.store(false);
            m_overflow = true;
            m_hurry = true;
            wake = true;
        } else if (m_format == CaptureFormat::Raw) {
            if (direction != CaptureDirection::Received) {
                return;
            }
            m_pendingRaw.push_back(static_cast<char>(byte));
            wake = m_pendingRaw.size() == kWakeBytes;
        } else {
            // Read under the lock, so that the times follow the order of the bytes.
            m_pendingText.push_back({ nowUs(), direction, byte });
            wake = m_pendingText.size() == kWakeBytes / sizeof(CapturedByte);
        }
    }
    if (wake) {
        m_wake.notify_one();
    }
}

void CaptureRecorder::writerLoop(std::stop_token stop)
{
    CaptureSink::PrepareWriterThread();
    for (;;) {
        bool stopping = false;
        bool overflow = false;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait_for(lock, stop, kFlushInterval, [this] {
                return m_overflow || m_pendingRaw.size() >= kWakeBytes
                    || m_pendingText.size() >= kWakeBytes / sizeof(CapturedByte);
            });
            m_takenRaw.swap(m_pendingRaw);
            m_takenText.swap(m_pendingText);
            m_inFlight = m_takenRaw.size() + m_takenText.size() * sizeof(CapturedByte);
            stopping = m_stopping;
            overflow = m_overflow;
        }
        if (!writeBatch(!stopping && !overflow)) {
            break;
        }
        if (stopping || overflow) {
            finishFile(overflow);
            break;
        }
    }
    (void)m_sink.Close();
}

bool CaptureRecorder::finishFile(bool overflow)
{
    m_out.clear();
    m_formatter.finish(m_out);
    if (!writeText(m_out)) {
        return false;
    }
    if (const Status closed = m_sink.Close(); !closed) {
        fail({ closed.kind(), m_path.string() + ": " + closed.reason() });
        return false;
    }
    const std::string written = std::to_string(m_written.load()) + " bytes written";
    if (overflow) {
        fail({ ErrorKind::Io,
            m_path.string() + ": the file fell " + std::to_string(m_bufferLimit)
                + " bytes behind, recording stopped; " + written
                + (m_unwritten != 0 ? ", " + std::to_string(m_unwritten) + " not" : "") });
        return false;
    }
    if (m_unwritten != 0) {
        fail({ ErrorKind::Io,
            m_path.string() + ": the reader did not keep up; " + written + ", "
                + std::to_string(m_unwritten) + " not" });
        return false;
    }
    return true;
}

bool CaptureRecorder::writeBatch(bool idleCheck)
{
    if (m_format == CaptureFormat::Raw) {
        const bool ok = writeText(m_takenRaw);
        m_takenRaw.clear();
        return ok;
    }
    for (std::size_t from = 0; from < m_takenText.size(); from += kFormatChunk) {
        m_out.clear();
        const std::size_t to = std::min(m_takenText.size(), from + kFormatChunk);
        for (std::size_t i = from; i < to; ++i) {
            m_formatter.add(m_takenText[i], m_out);
        }
        if (!writeText(m_out)) {
            m_takenText.clear();
            return false;
        }
    }
    m_takenText.clear();
    m_out.clear();
    if (idleCheck) {
        m_formatter.closeIfIdle(nowUs(), m_out);
    }
    return writeText(m_out);
}

bool CaptureRecorder::writeText(std::string_view text)
{
    if (text.empty()) {
        return true;
    }
    // Once the file has left bytes out, nothing after them is written: the file
    // holds a gapless beginning of what passed.
    if (m_unwritten != 0) {
        m_unwritten += text.size();
        return true;
    }
    std::size_t written = 0;
    const Status status = m_sink.Write(text, m_hurry, written);
    m_written += written;
    if (!status) {
        fail({ status.kind(), m_path.string() + ": " + status.reason() });
        return false;
    }
    m_unwritten = text.size() - written;
    return true;
}

void CaptureRecorder::fail(Status failure)
{
    bool report = false;
    {
        std::lock_guard lock(m_mutex);
        m_accepting.store(false);
        m_pendingRaw.clear();
        m_pendingText.clear();
        m_inFlight = 0;
        m_failure = failure;
        report = !m_stopping;
    }
    if (report && m_onFailure) {
        m_onFailure(failure);
    }
}
