#include "sessionrows.h"

#include "base/timestamp.h"
#include "text/hexdigits.h"

#include <algorithm>
#include <cstdio>

Status CheckRules(const SessionRules &rules)
{
    if (rules.mode != SessionMode::Frames) {
        return {};
    }
    switch (rules.split) {
    case FrameSplit::GapMs:
    case FrameSplit::GapChars:
        if (!(rules.gap > 0)) {
            return { ErrorKind::Invalid, "a gap of 0 would make every byte a frame" };
        }
        if (rules.split == FrameSplit::GapChars && rules.baud <= 0) {
            return { ErrorKind::Invalid, "character times need a baud rate above 0" };
        }
        return {};
    case FrameSplit::Delimiter:
        if (rules.delimiter.empty()) {
            return { ErrorKind::Invalid, "a delimiter of no bytes never ends a frame" };
        }
        return {};
    case FrameSplit::Length:
        if (rules.length <= 0 || uint64_t(rules.length) > kMaxRow) {
            return { ErrorKind::Invalid, "a frame length must be 1 to 4096 bytes" };
        }
        return {};
    }
    return {};
}

int64_t FrameGapUs(const SessionRules &rules)
{
    if (rules.split == FrameSplit::GapChars) {
        return static_cast<int64_t>(rules.gap * 10.0 * 1e6 / rules.baud);
    }
    return static_cast<int64_t>(rules.gap * 1000.0);
}

SessionRows::SessionRows(const SessionStore &store, const SessionRules &rules)
    : m_store(store)
    , m_rules(rules)
    , m_gapUs(std::max<int64_t>(1, FrameGapUs(rules)))
{ }

bool SessionRows::naturalAt(uint64_t position, uint64_t turn) const
{
    if (position == turn) {
        return true;
    }
    switch (m_rules.mode) {
    case SessionMode::Hex:
        return (position - turn) % kHexRowBytes == 0;
    case SessionMode::Text: {
        const uint8_t before = m_store.at(position - 1);
        switch (m_rules.lineBreak) {
        case LineBreak::Lf:
            return before == '\n';
        case LineBreak::Cr:
            return before == '\r';
        case LineBreak::CrLf:
            return before == '\n' && position - 1 > turn && m_store.at(position - 2) == '\r';
        case LineBreak::Any:
            return before == '\n'
                || (before == '\r' && (position == m_store.end() || m_store.at(position) != '\n'));
        }
        return false;
    }
    case SessionMode::Frames:
        break;
    }
    switch (m_rules.split) {
    case FrameSplit::Length:
        return (position - turn) % uint64_t(m_rules.length) == 0;
    case FrameSplit::Delimiter: {
        const std::string &delimiter = m_rules.delimiter;
        if (position - turn < delimiter.size()) {
            return false;
        }
        const uint64_t from = position - delimiter.size();
        for (std::size_t i = 0; i < delimiter.size(); ++i) {
            if (m_store.at(from + i) != uint8_t(delimiter[i])) {
                return false;
            }
        }
        return true;
    }
    case FrameSplit::GapMs:
    case FrameSplit::GapChars: {
        const std::size_t index = m_store.runAt(position);
        const SessionRun &run = m_store.run(index);
        if (run.start != position || index == 0) {
            return false;
        }
        const SessionRun &before = m_store.run(index - 1);
        if (run.firstUs == kNoTime || before.firstUs == kNoTime) {
            return false;
        }
        return run.firstUs - (before.firstUs + before.spanUs) >= m_gapUs;
    }
    }
    return false;
}

namespace {

bool ByRuns(const SessionRules &rules)
{
    return rules.mode == SessionMode::Frames
        && (rules.split == FrameSplit::GapMs || rules.split == FrameSplit::GapChars);
}

} // namespace

uint64_t SessionRows::rowStart(uint64_t position) const
{
    const uint64_t turn = m_store.turnBefore(position);
    if (position == turn) {
        return position;
    }
    const uint64_t low = std::max(turn, position >= 2 * kMaxRow ? position - 2 * kMaxRow : 0);
    std::optional<uint64_t> natural;
    if (ByRuns(m_rules)) {
        // Frames by pause start only where runs start.
        for (std::size_t index = m_store.runAt(position);; --index) {
            const uint64_t start = m_store.run(index).start;
            if (start <= low) {
                break;
            }
            if (naturalAt(start, turn)) {
                natural = start;
                break;
            }
            if (index == 0) {
                break;
            }
        }
    } else {
        for (uint64_t at = position; at > low; --at) {
            if (naturalAt(at, turn)) {
                natural = at;
                break;
            }
        }
    }
    if (!natural) {
        if (low != turn) {
            return position / kMaxRow * kMaxRow;
        }
        natural = turn;
    }
    const uint64_t grid = position / kMaxRow * kMaxRow;
    return grid >= *natural + kMaxRow ? grid : *natural;
}

uint64_t SessionRows::rowEnd(uint64_t start) const
{
    const uint64_t limit = std::min(m_store.turnAfter(start), m_store.end());
    // A row that starts at a break may run kMaxRow bytes before the grid cuts it; one
    // the grid started is cut at the next grid position.
    const bool natural = naturalAt(start, m_store.turnBefore(start));
    const uint64_t grid
        = natural ? (start + kMaxRow + kMaxRow - 1) / kMaxRow * kMaxRow : start + kMaxRow;
    const uint64_t until = std::min(limit, grid);
    if (ByRuns(m_rules)) {
        const uint64_t turn = m_store.turnBefore(start);
        for (std::size_t index = m_store.runAt(start) + 1; index < m_store.runCount(); ++index) {
            const uint64_t next = m_store.run(index).start;
            if (next >= until) {
                break;
            }
            if (naturalAt(next, turn)) {
                return next;
            }
        }
        return until;
    }
    const uint64_t turn = m_store.turnBefore(start);
    for (uint64_t at = start + 1; at < until; ++at) {
        if (naturalAt(at, turn)) {
            return at;
        }
    }
    return until;
}

SessionRow SessionRows::row(uint64_t start) const
{
    SessionRow row;
    row.start = start;
    row.end = rowEnd(start);
    const std::size_t index = m_store.runAt(start);
    const SessionRun &run = m_store.run(index);
    row.direction = run.direction;
    row.timeUs = run.firstUs;
    row.blockStart = m_store.turnBefore(start) == start;
    if (start > m_store.begin() && run.firstUs != kNoTime) {
        const SessionRun &before = m_store.run(m_store.runAt(start - 1));
        if (&before == &run) {
            row.gapUs = 0;
        } else if (before.firstUs != kNoTime) {
            row.gapUs = std::max<int64_t>(0, run.firstUs - (before.firstUs + before.spanUs));
        }
    }
    return row;
}

std::size_t SessionRows::ending(const SessionRow &row) const
{
    const uint64_t size = row.end - row.start;
    if (size == 0) {
        return 0;
    }
    const uint8_t last = m_store.at(row.end - 1);
    const bool crlf = size >= 2 && last == '\n' && m_store.at(row.end - 2) == '\r';
    if (m_rules.mode == SessionMode::Text) {
        switch (m_rules.lineBreak) {
        case LineBreak::Lf:
            return last == '\n' ? 1 : 0;
        case LineBreak::Cr:
            return last == '\r' ? 1 : 0;
        case LineBreak::CrLf:
            return crlf ? 2 : 0;
        case LineBreak::Any:
            return crlf ? 2 : (last == '\n' || last == '\r') ? 1 : 0;
        }
    }
    if (m_rules.mode == SessionMode::Frames && m_rules.split == FrameSplit::Delimiter
        && size >= m_rules.delimiter.size()) {
        for (std::size_t i = 0; i < m_rules.delimiter.size(); ++i) {
            if (m_store.at(row.end - m_rules.delimiter.size() + i)
                != uint8_t(m_rules.delimiter[i])) {
                return 0;
            }
        }
        return m_rules.delimiter.size();
    }
    return 0;
}

std::string FormatRowTime(int64_t timeUs)
{
    if (timeUs == kNoTime) {
        return "-";
    }
    const int64_t seconds = timeUs >= 0 ? timeUs / 1000000 : (timeUs - 999999) / 1000000;
    const std::tm local = LocalTime(static_cast<std::time_t>(seconds));
    char text[32] = {};
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", local.tm_hour, local.tm_min,
        local.tm_sec, static_cast<int>((timeUs - seconds * 1000000) / 1000));
    return text;
}

std::string FormatGap(int64_t gapUs)
{
    if (gapUs == kNoTime) {
        return {};
    }
    char text[32] = {};
    if (gapUs < 1000000) {
        std::snprintf(text, sizeof text, "+%.1f ms", double(gapUs) / 1000.0);
    } else {
        std::snprintf(text, sizeof text, "+%.3f s", double(gapUs) / 1e6);
    }
    return text;
}

namespace {

void Add(std::vector<TextSpan> &spans, std::string_view text, bool mark)
{
    if (spans.empty() || spans.back().mark != mark) {
        spans.push_back({ std::string(text), mark });
    } else {
        spans.back().text.append(text);
    }
}

void AddControl(std::vector<TextSpan> &spans, uint8_t byte)
{
    // Caret notation, as cat -v writes it: ^@ to ^_ and ^? for DEL. Unlike the
    // Unicode control pictures, every font the program may draw with has it.
    const char mark[2] = { '^', byte == 0x7F ? '?' : char('@' + byte) };
    Add(spans, std::string_view(mark, 2), true);
}

void AddByteMark(std::vector<TextSpan> &spans, uint8_t byte)
{
    const char text[4] = { '\\', 'x', kHexDigitChars[byte >> 4], kHexDigitChars[byte & 0x0F] };
    Add(spans, std::string_view(text, 4), true);
}

// The length of a well-formed UTF-8 character at the start of `bytes`, 0 if none.
std::size_t Utf8Length(std::string_view bytes)
{
    const auto lead = uint8_t(bytes[0]);
    std::size_t length = 0;
    uint8_t low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (bytes.size() < length) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = uint8_t(bytes[i]);
        if (next < (i == 1 ? low : 0x80) || next > (i == 1 ? high : 0xBF)) {
            return 0;
        }
    }
    return length;
}

} // namespace

std::vector<TextSpan> DecodeText(std::string_view bytes, const TextOptions &options)
{
    std::vector<TextSpan> spans;
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto byte = uint8_t(bytes[i]);
        if (byte == 0x1B && i + 1 < bytes.size() && bytes[i + 1] == '[') {
            std::size_t end = i + 2;
            while (end < bytes.size() && end < i + 34
                && !(uint8_t(bytes[end]) >= 0x40 && uint8_t(bytes[end]) <= 0x7E)) {
                ++end;
            }
            if (end < bytes.size() && end < i + 34) {
                if (!options.stripAnsi) {
                    AddControl(spans, byte);
                    Add(spans, bytes.substr(i + 1, end - i), true);
                }
                i = end + 1;
                continue;
            }
        }
        if (byte < 0x20 || byte == 0x7F) {
            AddControl(spans, byte);
            ++i;
            continue;
        }
        if (byte < 0x80) {
            Add(spans, bytes.substr(i, 1), false);
            ++i;
            continue;
        }
        std::size_t length = 0;
        if (options.encoding == TextEncoding::Utf8) {
            length = Utf8Length(bytes.substr(i));
        } else if (options.encoding == TextEncoding::Gbk && byte >= 0x81 && byte <= 0xFE
            && i + 1 < bytes.size()) {
            const auto trail = uint8_t(bytes[i + 1]);
            length = trail >= 0x40 && trail <= 0xFE && trail != 0x7F ? 2 : 0;
        }
        if (length == 0) {
            AddByteMark(spans, byte);
            ++i;
        } else {
            Add(spans, bytes.substr(i, length), false);
            i += length;
        }
    }
    return spans;
}

std::string HexBytes(std::string_view bytes)
{
    std::string text;
    text.reserve(bytes.size() * 3);
    for (const char c : bytes) {
        if (!text.empty()) {
            text.push_back(' ');
        }
        text.push_back(kHexDigitChars[uint8_t(c) >> 4]);
        text.push_back(kHexDigitChars[uint8_t(c) & 0x0F]);
    }
    return text;
}

std::string AsciiColumn(std::string_view bytes)
{
    std::string text(bytes);
    for (char &c : text) {
        if (uint8_t(c) < 0x20 || uint8_t(c) > 0x7E) {
            c = '.';
        }
    }
    return text;
}

std::string HexDumpLine(uint64_t offset, std::string_view bytes)
{
    char head[24] = {};
    std::snprintf(head, sizeof head, "%08llX  ", static_cast<unsigned long long>(offset));
    std::string line = head;
    for (int i = 0; i < kHexRowBytes; ++i) {
        if (std::size_t(i) < bytes.size()) {
            line.push_back(kHexDigitChars[uint8_t(bytes[i]) >> 4]);
            line.push_back(kHexDigitChars[uint8_t(bytes[i]) & 0x0F]);
            line.push_back(' ');
        } else {
            line.append("   ");
        }
        if (i == kHexRowBytes / 2 - 1) {
            line.push_back(' ');
        }
    }
    line.append(" |").append(AsciiColumn(bytes.substr(0, kHexRowBytes))).append("|");
    return line;
}

uint16_t Crc16Modbus(std::string_view bytes)
{
    uint16_t crc = 0xFFFF;
    for (const char c : bytes) {
        crc ^= uint8_t(c);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1) != 0 ? uint16_t((crc >> 1) ^ 0xA001) : uint16_t(crc >> 1);
        }
    }
    return crc;
}

ModbusCheck CheckModbus(std::string_view frame)
{
    ModbusCheck check;
    if (frame.size() < 4) {
        return check;
    }
    const std::size_t body = frame.size() - 2;
    const uint16_t given = uint16_t(uint8_t(frame[body]) | (uint8_t(frame[body + 1]) << 8));
    check.result
        = Crc16Modbus(frame.substr(0, body)) == given ? CheckResult::Good : CheckResult::Bad;
    check.function = uint8_t(frame[1]) & 0x7F;
    check.exception = (uint8_t(frame[1]) & 0x80) != 0;
    return check;
}

CheckResult CheckNmea(std::string_view frame)
{
    while (!frame.empty() && (frame.back() == '\n' || frame.back() == '\r')) {
        frame.remove_suffix(1);
    }
    if (frame.size() < 4 || (frame[0] != '$' && frame[0] != '!')
        || frame[frame.size() - 3] != '*') {
        return CheckResult::None;
    }
    const int high = HexDigitValue(frame[frame.size() - 2]);
    const int low = HexDigitValue(frame[frame.size() - 1]);
    if (high < 0 || low < 0) {
        return CheckResult::None;
    }
    uint8_t sum = 0;
    for (const char c : frame.substr(1, frame.size() - 4)) {
        sum ^= uint8_t(c);
    }
    return sum == high * 16 + low ? CheckResult::Good : CheckResult::Bad;
}
