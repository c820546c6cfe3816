#include "sessionfind.h"

#include "text/hexdigits.h"

#include <algorithm>
#include <cstring>
#include <functional>

std::optional<std::string> ParseHexBytes(std::string_view text)
{
    std::string bytes;
    int high = -1;
    for (const char c : text) {
        if (c == ' ' || c == ',') {
            if (high >= 0) {
                return std::nullopt;
            }
            continue;
        }
        const int value = HexDigitValue(c);
        if (value < 0) {
            return std::nullopt;
        }
        if (high < 0) {
            high = value;
        } else {
            bytes.push_back(static_cast<char>(high * 16 + value));
            high = -1;
        }
    }
    if (high >= 0 || bytes.empty()) {
        return std::nullopt;
    }
    return bytes;
}

namespace {

char Fold(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

SessionHits FindAll(const SessionStore &store, std::string_view needle, bool caseSensitive,
    uint64_t from, uint64_t to, std::size_t limit)
{
    SessionHits hits;
    if (needle.empty() || to <= from || to - from < needle.size()) {
        return hits;
    }
    std::string pattern(needle);
    if (!caseSensitive) {
        std::transform(pattern.begin(), pattern.end(), pattern.begin(), Fold);
    }
    const std::boyer_moore_horspool_searcher searcher(pattern.begin(), pattern.end());
    // Each window holds a chunk and the bytes of the next that a match may reach into.
    constexpr uint64_t kWindow = SessionStore::kChunk;
    std::string window;
    for (uint64_t start = from; start + pattern.size() <= to; start += kWindow) {
        const uint64_t stop = std::min(to, start + kWindow + pattern.size() - 1);
        window.clear();
        store.copy(start, stop, window);
        if (!caseSensitive) {
            std::transform(window.begin(), window.end(), window.begin(), Fold);
        }
        auto at = window.cbegin();
        for (;;) {
            at = std::search(at, window.cend(), searcher);
            if (at == window.cend()) {
                break;
            }
            const uint64_t offset = static_cast<uint64_t>(at - window.cbegin());
            if (offset >= kWindow) {
                break; // the next window finds it
            }
            if (hits.starts.size() == limit) {
                hits.more = true;
                return hits;
            }
            hits.starts.push_back(start + offset);
            ++at;
        }
    }
    return hits;
}

std::vector<uint64_t> RowsWithHits(
    const SessionRows &rows, const SessionHits &hits, std::size_t needleSize, uint64_t end)
{
    std::vector<uint64_t> starts;
    uint64_t coveredUntil = 0; // end of the last row taken
    for (const uint64_t hit : hits.starts) {
        uint64_t at = std::max(hit, coveredUntil);
        const uint64_t last = std::min(end, hit + needleSize);
        while (at < last) {
            const uint64_t start = at == coveredUntil ? at : rows.rowStart(at);
            starts.push_back(start);
            coveredUntil = rows.rowEnd(start);
            at = coveredUntil;
        }
    }
    return starts;
}

std::string AsCArray(std::string_view bytes)
{
    std::string text = "const unsigned char data[" + std::to_string(bytes.size()) + "] = {";
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        text.append(i % 12 == 0 ? "\n    " : " ");
        const auto byte = uint8_t(bytes[i]);
        text.append({ '0', 'x', kHexDigitChars[byte >> 4], kHexDigitChars[byte & 0x0F], ',' });
    }
    text.append("\n};\n");
    return text;
}

std::string AsCaptureText(const SessionStore &store, uint64_t from, uint64_t to)
{
    std::string out;
    if (from >= to) {
        return out;
    }
    CaptureTextFormatter formatter;
    for (std::size_t index = store.runAt(from); index < store.runCount(); ++index) {
        const SessionRun &run = store.run(index);
        const uint64_t start = std::max(from, run.start);
        const uint64_t stop = std::min(to, store.runEnd(index));
        if (start >= to) {
            break;
        }
        const int64_t timeUs = run.firstUs == kNoTime ? 0 : run.firstUs;
        for (uint64_t at = start; at < stop; ++at) {
            formatter.add({ timeUs, run.direction, store.at(at) }, out);
        }
    }
    formatter.finish(out);
    return out;
}

std::string AsCaptureRaw(const SessionStore &store, uint64_t from, uint64_t to)
{
    std::string out;
    if (from >= to) {
        return out;
    }
    for (std::size_t index = store.runAt(from); index < store.runCount(); ++index) {
        const SessionRun &run = store.run(index);
        const uint64_t start = std::max(from, run.start);
        if (start >= to) {
            break;
        }
        if (run.direction == CaptureDirection::Received) {
            store.copy(start, std::min(to, store.runEnd(index)), out);
        }
    }
    return out;
}

std::string AsCsv(const SessionStore &store, const SessionRows &rows, uint64_t from, uint64_t to)
{
    std::string out = "time,direction,hex,text\r\n";
    std::string bytes;
    for (uint64_t at = from < to ? rows.rowStart(from) : to; at < to;) {
        const SessionRow row = rows.row(at);
        bytes.clear();
        store.copy(std::max(from, row.start), std::min(to, row.end), bytes);
        std::string text = AsciiColumn(bytes);
        std::string quoted;
        for (const char c : text) {
            quoted.append(c == '"' ? "\"\"" : std::string(1, c));
        }
        out.append(FormatRowTime(row.timeUs))
            .append(row.direction == CaptureDirection::Received ? ",RX," : ",TX,")
            .append(HexBytes(bytes))
            .append(",\"")
            .append(quoted)
            .append("\"\r\n");
        at = row.end;
    }
    return out;
}
