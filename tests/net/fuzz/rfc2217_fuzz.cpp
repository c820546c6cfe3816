// libFuzzer entry point for the RFC 2217 client session and the Telnet decoder under
// it: whatever a server sends must end without a crash or a sanitizer report, keep
// the session's bounds, and give the same result whole as cut into pieces.
#include "net/rfc2217session.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

struct Outcome
{
    std::vector<uint8_t> data;
    std::vector<uint8_t> sent;
    Rfc2217Session::Phase phase;
};

Outcome Run(const uint8_t *input, std::size_t size, std::size_t piece)
{
    Rfc2217Session session({ 57600, 7, 2, 2 });
    Outcome outcome;
    outcome.sent = session.start();
    for (std::size_t at = 0; at < size; at += piece) {
        std::vector<uint8_t> chunk(input + at, input + (at + piece < size ? at + piece : size));
        const std::size_t count = session.receive(chunk.data(), chunk.size());
        if (count > chunk.size()) {
            std::abort();
        }
        outcome.data.insert(
            outcome.data.end(), chunk.begin(), chunk.begin() + static_cast<long>(count));
        const std::vector<uint8_t> out = session.takeOutgoing();
        if (out.size() > Rfc2217Session::kMaxOutgoing + 64) {
            std::abort();
        }
        outcome.sent.insert(outcome.sent.end(), out.begin(), out.end());
    }
    outcome.phase = session.phase();
    return outcome;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size)
{
    if (size == 0) {
        return 0;
    }
    // The first byte chooses how the rest is cut.
    const std::size_t piece = 1 + data[0] % 17;
    const Outcome whole = Run(data + 1, size - 1, size);
    const Outcome cut = Run(data + 1, size - 1, piece);
    if (whole.data != cut.data || whole.phase != cut.phase || whole.data.size() > size) {
        std::abort();
    }
    // Replies may differ only once the session has failed (it stops at once).
    if (whole.phase != Rfc2217Session::Phase::Failed && whole.sent != cut.sent) {
        std::abort();
    }
    return 0;
}
