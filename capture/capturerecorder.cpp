#include "capturerecorder.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <system_error>

CaptureFormat CaptureFormatFor(const std::filesystem::path &path)
{
    std::string extension = path.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
        [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".log" || extension == ".txt" ? CaptureFormat::Text : CaptureFormat::Raw;
}

namespace {

std::FILE *OpenForWriting(const std::filesystem::path &path)
{
#ifdef _WIN32
    return _wfopen(path.c_str(), L"wb");
#else
    return std::fopen(path.c_str(), "wbe");
#endif
}

} // namespace

CaptureRecorder::~CaptureRecorder()
{
    // The window that could report it has gone by now.
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
    // Starting anew is what the caller asked for; the old recording's end is moot.
    static_cast<void>(stop());
    std::FILE *file = OpenForWriting(path);
    if (!file) {
        return Status::FromErrno(ErrorKind::Io, errno, path.string());
    }
    using namespace std::chrono;
    m_file = file;
    m_path = path;
    m_formatter = {};
    m_onFailure = std::move(onFailure);
    m_steadyStart = steady_clock::now();
    m_wallStartUs = duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
    {
        std::lock_guard lock(m_mutex);
        m_format = format;
        m_failure = {};
        m_stopping = false;
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
        if (m_format == CaptureFormat::Raw) {
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
    for (;;) {
        bool stopping = false;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait_for(lock, stop, kFlushInterval, [this] {
                return m_pendingRaw.size() >= kWakeBytes
                    || m_pendingText.size() >= kWakeBytes / sizeof(CapturedByte);
            });
            m_takenRaw.swap(m_pendingRaw);
            m_takenText.swap(m_pendingText);
            stopping = m_stopping;
        }
        if (!writeBatch(!stopping)) {
            break;
        }
        if (stopping) {
            m_out.clear();
            m_formatter.finish(m_out);
            if (!writeText(m_out) || std::fflush(m_file) != 0) {
                fail("writing");
                break;
            }
            const bool closed = std::fclose(m_file) == 0;
            m_file = nullptr;
            if (!closed) {
                fail("closing");
            }
            break;
        }
    }
    if (m_file) {
        std::fclose(m_file);
        m_file = nullptr;
    }
}

bool CaptureRecorder::writeBatch(bool idleCheck)
{
    bool ok = true;
    if (m_format == CaptureFormat::Raw) {
        ok = writeText(m_takenRaw);
        m_takenRaw.clear();
    } else {
        m_out.clear();
        for (const CapturedByte &captured : m_takenText) {
            m_formatter.add(captured, m_out);
        }
        m_takenText.clear();
        if (idleCheck) {
            m_formatter.closeIfIdle(nowUs(), m_out);
        }
        ok = writeText(m_out);
    }
    if (!ok || std::fflush(m_file) != 0) {
        fail("writing");
        return false;
    }
    return true;
}

bool CaptureRecorder::writeText(std::string_view text)
{
    return text.empty() || std::fwrite(text.data(), 1, text.size(), m_file) == text.size();
}

void CaptureRecorder::fail(const std::string &what)
{
    const Status failure = Status::FromErrno(ErrorKind::Io, errno, m_path.string() + ": " + what);
    bool report = false;
    {
        std::lock_guard lock(m_mutex);
        m_accepting.store(false);
        m_pendingRaw.clear();
        m_pendingText.clear();
        m_failure = failure;
        report = !m_stopping;
    }
    if (report && m_onFailure) {
        m_onFailure(failure);
    }
}
