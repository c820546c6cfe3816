// The session store's figures: what keeping a flood costs, what a screen of each
// rendering costs at any place of a 100 MB session (which is what switching the
// rendering costs, since only the rows in view are found), a search through all of
// it and opening a 100 MB capture file. Run by hand: session_bench [MB].
#include "session/sessionfind.h"
#include "session/sessionrows.h"
#include "session/sessionstore.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

double Ms(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since)
        .count();
}

// NMEA-like lines in pieces of 64 bytes, 100 µs apart, every 50th piece sent.
void Fill(SessionStore &store, std::size_t bytes)
{
    const std::string line
        = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n";
    std::string pattern;
    while (pattern.size() < 1 << 20) {
        pattern += line;
    }
    int64_t timeUs = 1700000000000000;
    for (std::size_t at = 0, piece = 0; at < bytes; at += 64, ++piece) {
        const auto direction
            = piece % 50 == 49 ? CaptureDirection::Sent : CaptureDirection::Received;
        store.append(direction, timeUs,
            reinterpret_cast<const uint8_t *>(pattern.data()) + at % (1 << 19), 64);
        timeUs += 100;
    }
}

std::size_t Screen(const SessionStore &store, const SessionRules &rules, uint64_t at)
{
    const SessionRows rows(store, rules);
    std::size_t shown = 0;
    uint64_t start = rows.rowStart(at);
    for (int i = 0; i < 60 && start < store.end(); ++i) {
        const SessionRow row = rows.row(start);
        std::string bytes;
        store.copy(row.start, row.end, bytes);
        shown += rules.mode == SessionMode::Text ? DecodeText(bytes, {}).size()
                                                 : HexDumpLine(row.start, bytes).size();
        start = row.end;
    }
    return shown;
}

} // namespace

int main(int argc, char **argv)
{
    const std::size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 100;
    using Clock = std::chrono::steady_clock;

    // A 4 MB flood kept, then rendered whole as text and as hex dump with times.
    SessionStore flood;
    auto started = Clock::now();
    Fill(flood, 4 << 20);
    const double keepMs = Ms(started);
    std::printf("4 MB flood: kept in %.1f ms, %.3f bytes of memory per byte\n", keepMs,
        double(flood.memoryUsed()) / double(flood.end()));
    for (const SessionMode mode : { SessionMode::Text, SessionMode::Hex }) {
        SessionRules rules;
        rules.mode = mode;
        const SessionRows rows(flood, rules);
        started = Clock::now();
        std::size_t count = 0, size = 0;
        std::string bytes;
        for (uint64_t at = 0; at < flood.end(); ++count) {
            const SessionRow row = rows.row(at);
            bytes.clear();
            flood.copy(row.start, row.end, bytes);
            size += FormatRowTime(row.timeUs).size()
                + (mode == SessionMode::Text ? DecodeText(bytes, {}).size()
                                             : HexDumpLine(row.start, bytes).size());
            at = row.end;
        }
        std::printf("4 MB flood rendered whole as %s: %zu rows in %.1f ms (%zu)\n",
            mode == SessionMode::Text ? "text" : "hex dump", count, Ms(started), size);
    }

    SessionStore store(std::size_t(megabytes + 64) << 20);
    started = Clock::now();
    Fill(store, megabytes << 20);
    std::printf("%zu MB session kept in %.0f ms\n", megabytes, Ms(started));
    SessionRules frames;
    frames.mode = SessionMode::Frames;
    frames.split = FrameSplit::GapMs;
    frames.gap = 0.05;
    SessionRules hex;
    hex.mode = SessionMode::Hex;
    for (const auto &[name, rules] : { std::pair { "text", SessionRules {} },
             std::pair { "hex dump", hex }, std::pair { "frames", frames } }) {
        started = Clock::now();
        std::size_t shown = 0;
        for (const uint64_t at : { store.begin(), store.end() / 2, store.end() - 1 }) {
            shown += Screen(store, rules, at);
        }
        std::printf("switch to %s: a screen at start, middle and end in %.2f ms (%zu)\n", name,
            Ms(started), shown);
    }
    started = Clock::now();
    const SessionHits hits = FindAll(store, "gprmc", false, store.begin(), store.end());
    std::printf(
        "search through %zu MB: %zu hits in %.0f ms\n", megabytes, hits.starts.size(), Ms(started));

    const auto path = std::filesystem::temp_directory_path() / "session_bench_capture.bin";
    {
        std::ofstream file(path, std::ios::binary);
        std::string bytes;
        store.copy(store.begin(), store.end(), bytes);
        file.write(bytes.data(), std::streamsize(bytes.size()));
    }
    SessionStore opened(std::size_t(megabytes + 64) << 20);
    started = Clock::now();
    const Status loaded = LoadCaptureFile(path, opened);
    std::printf("open a %zu MB raw capture file: %s in %.0f ms\n", megabytes,
        loaded ? "read" : loaded.reason().c_str(), Ms(started));
    std::filesystem::remove(path);
    return 0;
}
