// Reception far into a long run, without 2 GB of data: the receive thread and its
// queue on a pseudo-terminal, carried out into an in-memory document, starting
// from a fast-forwarded count (0, just before 2^31, just before 2^32, 2^40) so that
// the run crosses the boundary. A counting pattern in 100-byte paragraphs with the
// order check on: bytes per second, and whether the counts, the line breaks and the
// order check stayed right on the way. Whatever depends on the absolute position
// shows here as a rate that differs between the starts, or as order errors.
//
//   receive_position_bench [megabytes per start, default 8]

#include "document/memorydocument.h"
#include "ptyport.h"
#include "receive/receiveengine.h"
#include "settings/settingsvalues.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kParagraph = 100;
constexpr int kLine = 10;

bool Run(int64_t countFrom, std::size_t bytes)
{
    PtyPort pty;
    SettingsValues settings;
    settings.FCheckOrder = true;
    settings.FParaStart = 0;
    // The byte that ends a paragraph is not kept: places 0..98 are checked.
    settings.FParaEnd = kParagraph - 1;
    settings.FParaCharNum = kParagraph;
    settings.FLineCharNum = kLine;
    MemoryDocument doc;
    std::mutex mutex;
    std::condition_variable wake;
    bool notified = false;
    ReceiveEngine engine(
        settings, [&](uint8_t &byte) { return pty.port.ReadByte(byte); },
        [&] {
            {
                const std::lock_guard lock(mutex);
                notified = true;
            }
            wake.notify_one();
        });
    // Each byte is its place in its paragraph, counted from the fast-forwarded start.
    std::string data(bytes, '\0');
    for (std::size_t i = 0; i < bytes; ++i) {
        data[i] = static_cast<char>((countFrom + static_cast<int64_t>(i)) % kParagraph);
    }
    engine.Start(countFrom);
    const auto start = Clock::now();
    std::thread writer([&] { pty.send(data); });
    const auto deadline = start + std::chrono::seconds(120);
    while (engine.shownCounts().RecvByteCount < countFrom + static_cast<int64_t>(bytes)
        && Clock::now() < deadline) {
        {
            std::unique_lock lock(mutex);
            wake.wait_for(lock, std::chrono::milliseconds(10), [&] { return notified; });
            notified = false;
        }
        engine.ApplyPending(&doc, [] { return std::size_t { 1 } << 30; });
    }
    const double s = std::chrono::duration<double>(Clock::now() - start).count();
    writer.join();
    engine.Stop(&doc, [] { return std::size_t { 1 } << 30; });
    const int64_t end = countFrom + static_cast<int64_t>(bytes);
    const bool countsRight = engine.RecvByteCount == end
        && engine.RecvLineCount == end / kLine - countFrom / kLine
        && engine.RecvParaCount == end / kParagraph - countFrom / kParagraph;
    std::printf("   from %lld: %.2f MB in %.2f s, %.2f MB/s; counts %s, order check %s\n",
        static_cast<long long>(countFrom), bytes / 1e6, s, bytes / 1e6 / s,
        countsRight ? "right" : "WRONG", engine.ReceiveHasError ? "FOUND ERRORS" : "clean");
    return countsRight && !engine.ReceiveHasError;
}

} // namespace

int main(int argc, char **argv)
{
    const std::size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 8;
    const std::size_t bytes = std::max<std::size_t>(megabytes, 1) * 1000000;
    const auto half = static_cast<int64_t>(bytes / 2);
    std::printf("Reception of %zu bytes, 100-byte paragraphs, order check on, from:\n", bytes);
    bool ok = true;
    // Each start is the start of a paragraph, so that the first one is whole.
    for (const int64_t near : { int64_t { 0 }, (int64_t { 1 } << 31) - half,
             (int64_t { 1 } << 32) - half, int64_t { 1 } << 40, int64_t { 0 } }) {
        ok = Run(near - near % kParagraph, bytes) && ok;
    }
    return ok ? 0 : 1;
}
