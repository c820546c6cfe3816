#include "sessionstore.h"

#include "capture/capturerecorder.h"
#include "text/hexdigits.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <system_error>

SessionStore::SessionStore(std::size_t bound)
    : m_bound(std::max(bound, 2 * kChunk))
{ }

std::size_t SessionStore::memoryUsed() const
{
    return m_chunks.size() * kChunk + m_runs.size() * sizeof(SessionRun)
        + m_turns.size() * sizeof(uint64_t);
}

void SessionStore::clear()
{
    m_chunks.clear();
    m_runs.clear();
    m_turns.clear();
    m_chunkBase = m_begin = m_end;
    m_lastUs = kNoTime;
    ++m_generation;
}

void SessionStore::setBound(std::size_t bound)
{
    m_bound = std::max(bound, 2 * kChunk);
    while (m_chunks.size() > 1 && memoryUsed() > m_bound) {
        dropOldest();
    }
    ++m_generation;
}

void SessionStore::dropOldest()
{
    m_chunks.pop_front();
    m_chunkBase += kChunk;
    m_begin = m_chunkBase;
    // The run that holds the new first byte stays and starts there.
    std::size_t gone = 0;
    while (gone + 1 < m_runs.size() && m_runs[gone + 1].start <= m_begin) {
        ++gone;
    }
    m_runs.erase(m_runs.begin(), m_runs.begin() + static_cast<std::ptrdiff_t>(gone));
    if (!m_runs.empty()) {
        m_runs.front().start = m_begin;
    }
    while (m_turns.size() > 1 && m_turns[1] <= m_begin) {
        m_turns.pop_front();
    }
    if (!m_turns.empty()) {
        m_turns.front() = m_begin;
    }
}

void SessionStore::append(
    CaptureDirection direction, int64_t timeUs, const uint8_t *data, std::size_t size)
{
    if (size == 0) {
        return;
    }
    ++m_generation;
    SessionRun *last = m_runs.empty() ? nullptr : &m_runs.back();
    const bool turn = !last || last->direction != direction;
    bool newRun = turn;
    if (!newRun && (timeUs == kNoTime) != (last->firstUs == kNoTime)) {
        newRun = true;
    } else if (!newRun && timeUs != kNoTime) {
        newRun = timeUs - m_lastUs >= kRunStepUs || timeUs - last->firstUs >= kRunStepUs
            || timeUs < m_lastUs;
    }
    if (newRun) {
        m_runs.push_back({ m_end, timeUs, 0, direction });
        if (turn) {
            m_turns.push_back(m_end);
        }
    } else if (timeUs != kNoTime) {
        last->spanUs = static_cast<uint16_t>(timeUs - last->firstUs);
    }
    m_lastUs = timeUs;
    while (size > 0) {
        if (m_chunks.empty() || m_chunks.back().size() == kChunk) {
            m_chunks.emplace_back();
            m_chunks.back().reserve(kChunk);
        }
        std::vector<uint8_t> &chunk = m_chunks.back();
        const std::size_t take = std::min(size, kChunk - chunk.size());
        chunk.insert(chunk.end(), data, data + take);
        data += take;
        size -= take;
        m_end += take;
    }
    while (m_chunks.size() > 1 && memoryUsed() > m_bound) {
        dropOldest();
    }
}

void SessionStore::copy(uint64_t from, uint64_t to, std::string &out) const
{
    forEachPiece(from, to, [&out](uint64_t, std::string_view piece) { out.append(piece); });
}

std::string_view SessionStore::view(uint64_t from, uint64_t to, std::string &scratch) const
{
    if (from >= to) {
        return {};
    }
    const uint64_t offset = from - m_chunkBase;
    if (offset / kChunk == (to - 1 - m_chunkBase) / kChunk) {
        const std::vector<uint8_t> &chunk = m_chunks[offset / kChunk];
        return { reinterpret_cast<const char *>(chunk.data()) + offset % kChunk,
            static_cast<std::size_t>(to - from) };
    }
    scratch.clear();
    copy(from, to, scratch);
    return scratch;
}

std::size_t SessionStore::runAt(uint64_t position) const
{
    const auto after = std::upper_bound(m_runs.begin(), m_runs.end(), position,
        [](uint64_t value, const SessionRun &run) { return value < run.start; });
    return after == m_runs.begin() ? 0 : static_cast<std::size_t>(after - m_runs.begin() - 1);
}

uint64_t SessionStore::turnBefore(uint64_t position) const
{
    const auto after = std::upper_bound(m_turns.begin(), m_turns.end(), position);
    return after == m_turns.begin() ? m_begin : *(after - 1);
}

uint64_t SessionStore::turnAfter(uint64_t position) const
{
    const auto after = std::upper_bound(m_turns.begin(), m_turns.end(), position);
    return after == m_turns.end() ? m_end : *after;
}

int64_t SessionFeed::NowUs()
{
    using namespace std::chrono;
    static const steady_clock::time_point steadyStart = steady_clock::now();
    static const int64_t wallStartUs
        = duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
    return wallStartUs + duration_cast<microseconds>(steady_clock::now() - steadyStart).count();
}

void SessionFeed::add(CaptureDirection direction, uint8_t byte)
{
    std::lock_guard lock(m_mutex);
    if (m_bytes.size() >= kPendingLimit) {
        ++m_lost;
        return;
    }
    // Read under the lock, so that the times follow the order of the bytes.
    const int64_t now = NowUs();
    if (m_pieces.empty() || m_pieces.back().direction != direction
        || now != m_pieces.back().timeUs) {
        m_pieces.push_back({ now, direction, 0 });
    }
    ++m_pieces.back().size;
    m_bytes.push_back(static_cast<char>(byte));
}

uint64_t SessionFeed::takeInto(SessionStore &store)
{
    uint64_t lost = 0;
    {
        std::lock_guard lock(m_mutex);
        m_takenBytes.swap(m_bytes);
        m_takenPieces.swap(m_pieces);
        lost = m_lost;
        m_lost = 0;
    }
    const auto *data = reinterpret_cast<const uint8_t *>(m_takenBytes.data());
    for (const Piece &piece : m_takenPieces) {
        store.append(piece.direction, piece.timeUs, data, piece.size);
        data += piece.size;
    }
    m_takenBytes.clear();
    m_takenPieces.clear();
    return lost;
}

namespace {

Status BadLine(std::size_t line, const std::string &what)
{
    return { ErrorKind::Invalid, "line " + std::to_string(line) + ": " + what };
}

bool Digits(std::string_view text, std::size_t from, std::size_t count, int &value)
{
    value = 0;
    for (std::size_t i = from; i < from + count; ++i) {
        if (i >= text.size() || text[i] < '0' || text[i] > '9') {
            return false;
        }
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

// "YYYY-MM-DD HH:MM:SS.ffffff" in local time, as FormatCaptureTime writes it.
bool ParseCaptureTime(std::string_view text, int64_t &timeUs)
{
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, micro = 0;
    if (text.size() != 26 || text[4] != '-' || text[7] != '-' || text[10] != ' ' || text[13] != ':'
        || text[16] != ':' || text[19] != '.' || !Digits(text, 0, 4, year)
        || !Digits(text, 5, 2, month) || !Digits(text, 8, 2, day) || !Digits(text, 11, 2, hour)
        || !Digits(text, 14, 2, minute) || !Digits(text, 17, 2, second)
        || !Digits(text, 20, 6, micro) || month < 1 || month > 12 || day < 1 || day > 31
        || hour > 23 || minute > 59 || second > 60) {
        return false;
    }
    std::tm local {};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    const std::time_t seconds = std::mktime(&local);
    if (seconds == static_cast<std::time_t>(-1)) {
        return false;
    }
    timeUs = static_cast<int64_t>(seconds) * 1000000 + micro;
    return true;
}

Status LoadText(std::string_view text, SessionStore &store)
{
    std::size_t lineNumber = 0;
    std::vector<uint8_t> bytes;
    while (!text.empty()) {
        ++lineNumber;
        const std::size_t newline = text.find('\n');
        if (newline == std::string_view::npos) {
            return BadLine(lineNumber, "the file ends in the middle of a line (truncated)");
        }
        const std::string_view line = text.substr(0, newline);
        text.remove_prefix(newline + 1);
        int64_t timeUs = 0;
        if (line.size() < 29 || !ParseCaptureTime(line.substr(0, 26), timeUs)) {
            return BadLine(lineNumber, "no time stamp where the line should start with one");
        }
        const std::string_view way = line.substr(26, 3);
        if (way != " RX" && way != " TX") {
            return BadLine(lineNumber, "neither RX nor TX after the time");
        }
        const std::string_view items = line.substr(29);
        if (items.empty() || items.size() % 3 != 0
            || items.size() / 3 > std::size_t(CaptureTextFormatter::kBytesPerLine)) {
            return BadLine(lineNumber, "the bytes are not 1 to 16 hexadecimal pairs");
        }
        bytes.clear();
        for (std::size_t i = 0; i < items.size(); i += 3) {
            const int high = HexDigitValue(items[i + 1]);
            const int low = HexDigitValue(items[i + 2]);
            if (items[i] != ' ' || high < 0 || low < 0) {
                return BadLine(lineNumber, "the bytes are not 1 to 16 hexadecimal pairs");
            }
            bytes.push_back(static_cast<uint8_t>(high * 16 + low));
        }
        store.append(way == " RX" ? CaptureDirection::Received : CaptureDirection::Sent, timeUs,
            bytes.data(), bytes.size());
    }
    return {};
}

} // namespace

Status LoadCaptureText(std::string_view text, SessionStore &store)
{
    store.clear();
    Status loaded = LoadText(text, store);
    if (!loaded) {
        store.clear();
    }
    return loaded;
}

Status LoadCaptureFile(const std::filesystem::path &path, SessionStore &store)
{
    store.clear();
    std::error_code error;
    const bool regular = std::filesystem::is_regular_file(path, error);
    if (error || !regular) {
        return error ? Status::FromErrorCode(error, path.string())
                     : Status { ErrorKind::Invalid, path.string() + ": not a regular file" };
    }
    const uintmax_t size = std::filesystem::file_size(path, error);
    if (error) {
        return Status::FromErrorCode(error, path.string());
    }
    const CaptureFormat format = CaptureFormatFor(path);
    // The text form takes about three characters a byte.
    const uintmax_t holds = format == CaptureFormat::Text ? size / 3 : size;
    if (holds + holds / 8 > store.bound()) {
        return { ErrorKind::Invalid,
            path.string() + ": " + std::to_string(size)
                + " bytes is more than the session's bound of "
                + std::to_string(store.bound() >> 20) + " MiB holds" };
    }
    std::ifstream file(path, std::ios::binary);
    std::string contents(static_cast<std::size_t>(size), '\0');
    if (!file || !file.read(contents.data(), static_cast<std::streamsize>(size))) {
        return { ErrorKind::Io, path.string() + ": cannot be read" };
    }
    if (format == CaptureFormat::Raw) {
        store.append(CaptureDirection::Received, kNoTime,
            reinterpret_cast<const uint8_t *>(contents.data()), contents.size());
        return {};
    }
    Status loaded = LoadCaptureText(contents, store);
    if (!loaded) {
        return { loaded.kind(), path.string() + ": " + loaded.reason() };
    }
    return {};
}
