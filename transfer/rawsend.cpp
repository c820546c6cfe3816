#include "rawsend.h"

#include "send/delay.h"
#include "transferlink.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <vector>

namespace {

// Reads what the far side answers until the prompt appears.
Status WaitForPrompt(TransferLink &link, const RawPacing &pacing)
{
    const auto deadline
        = std::chrono::steady_clock::now() + std::chrono::milliseconds(pacing.promptTimeoutMs);
    std::string answer;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now())
                              .count();
        uint8_t byte = 0;
        if (left <= 0 || !link.read(byte, int(left))) {
            if (link.cancelled()) {
                return { ErrorKind::Cancelled, "cancelled" };
            }
            return { ErrorKind::Timeout,
                pacing.prompt.empty() ? std::string("no answer after a line")
                                      : "the prompt \"" + pacing.prompt + "\" did not come" };
        }
        answer.push_back(static_cast<char>(byte));
        if (AnswerHasPrompt(answer, pacing.prompt)) {
            return {};
        }
        // Only the tail can still complete the prompt.
        if (answer.size() > 4096 + pacing.prompt.size()) {
            answer.erase(0, answer.size() - pacing.prompt.size());
        }
    }
}

} // namespace

Status RawSend(TransferLink &link, const std::filesystem::path &path, const RawPacing &pacing,
    InterruptibleWait &wait, TransferProgress &progress)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return { ErrorKind::NotFound, "cannot read " + path.string() };
    }
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    progress.setName(path.filename().string());
    progress.total.store(error ? -1 : int64_t(size));
    // With no gap at all the bytes go out as fast as the port takes them.
    const bool byteByByte = pacing.chunkSize <= 0 && pacing.gapUs > 0;
    const std::size_t chunk
        = pacing.chunkSize > 0 ? std::size_t(pacing.chunkSize) : (byteByByte ? 1 : 4096);
    std::vector<uint8_t> buffer(std::max<std::size_t>(chunk, 4096));
    int64_t done = 0;
    int64_t began = HighResolutionCount();
    for (;;) {
        in.read(reinterpret_cast<char *>(buffer.data()), std::streamsize(buffer.size()));
        const auto got = std::size_t(in.gcount());
        if (got == 0) {
            break;
        }
        for (std::size_t at = 0; at < got;) {
            // A piece ends at the chunk's end or just after a line's LF.
            std::size_t end = std::min(got, at + chunk);
            if (pacing.waitAfterLine) {
                const auto lf = std::find(buffer.begin() + std::ptrdiff_t(at),
                    buffer.begin() + std::ptrdiff_t(end), uint8_t('\n'));
                end = std::size_t(lf - buffer.begin())
                    + (lf == buffer.begin() + std::ptrdiff_t(end) ? 0 : 1);
            }
            if (link.cancelled()) {
                return { ErrorKind::Cancelled, "cancelled" };
            }
            if (byteByByte && done > 0 && !wait.untilElapsed(began, pacing.gapUs)) {
                return { ErrorKind::Cancelled, "cancelled" };
            }
            began = HighResolutionCount();
            if (Status written = link.write(buffer.data() + at, end - at); !written) {
                return written;
            }
            done += int64_t(end - at);
            progress.done.store(done, std::memory_order_relaxed);
            if (pacing.waitAfterLine && buffer[end - 1] == '\n') {
                if (Status answered = WaitForPrompt(link, pacing); !answered) {
                    return answered;
                }
            }
            if (pacing.chunkSize > 0 && pacing.chunkDelayMs > 0
                && !wait.untilElapsed(HighResolutionCount(), pacing.chunkDelayMs * 1000)) {
                return { ErrorKind::Cancelled, "cancelled" };
            }
            at = end;
        }
    }
    if (in.bad()) {
        return { ErrorKind::Io, "cannot read " + path.string() };
    }
    return {};
}
