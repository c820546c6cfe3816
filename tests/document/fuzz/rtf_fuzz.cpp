// libFuzzer entry point for the RTF reader: any input must end without a crash,
// sanitizer report or timeout, and the reading must keep the reader's promises.
#include "document/rtfreader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char *>(data), size);
    const RtfDocument doc = ReadRtf(input);
    std::size_t total = 0;
    for (const RtfRun &run : doc.runs) {
        if (run.text.empty()) {
            std::abort();
        }
        for (const char c : run.text) {
            if (static_cast<unsigned char>(c) < 0x20 && c != '\n' && c != '\t') {
                std::abort();
            }
        }
        total += run.text.size();
    }
    if (total > size || doc.status.ok() != doc.status.reason().empty()) {
        std::abort();
    }
    return 0;
}
