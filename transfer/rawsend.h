#pragma once

#include "base/status.h"
#include "modem.h"

#include <cstdint>
#include <filesystem>
#include <string>

class TransferLink;
class InterruptibleWait;

// How a file goes out as it is, without a protocol.
struct RawPacing
{
    int32_t gapUs = 0; // between two bytes (FTwoCharDelay); used when chunkSize is 0
    int32_t chunkSize = 0; // bytes written together, then chunkDelayMs of rest
    int32_t chunkDelayMs = 0;
    // After each line (each LF), wait until the far side's answer contains
    // `prompt` (any byte when empty), at most promptTimeoutMs.
    bool waitAfterLine = false;
    std::string prompt;
    int32_t promptTimeoutMs = 1000;
};

// Sends the bytes of `path` over `link`, paced; `wait` carries the gaps and can be
// cut short by a cancel (interrupt it and set the link's mark together). Transfer
// thread.
[[nodiscard]] Status RawSend(TransferLink &link, const std::filesystem::path &path,
    const RawPacing &pacing, InterruptibleWait &wait, TransferProgress &progress);

// Whether `answer`, growing byte by byte, now ends in `prompt` (any byte when empty).
[[nodiscard]] inline bool AnswerHasPrompt(const std::string &answer, const std::string &prompt)
{
    return prompt.empty() ? !answer.empty() : answer.ends_with(prompt);
}
