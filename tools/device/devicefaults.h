#pragma once

#include "base/status.h"

#include <cstdint>
#include <string>
#include <vector>

// Faults the demo device puts into what it sends (echo or pattern), so that a line
// test's counts can be checked against exactly what was done. Offsets count the bytes
// the device would have sent without faults, from 0.
struct DeviceFaults
{
    int64_t corruptEvery = 0; // flip bit 0 of every Nth byte (offsets N-1, 2N-1, ...)
    struct Flip
    {
        int64_t offset;
        int bit;
    };
    std::vector<Flip> flips; // --flip OFFSET[:BIT]
    struct Run
    {
        int64_t offset;
        int64_t count;
    };
    std::vector<Run> drops; // --drop OFFSET[:COUNT]
    struct Insert
    {
        int64_t offset;
        uint8_t byte;
    };
    std::vector<Insert> inserts; // --insert OFFSET[:BYTE], before the byte at OFFSET
    struct Pause
    {
        int64_t offset;
        int64_t ms;
    };
    std::vector<Pause> pauses; // --pause OFFSET:MS, before the byte at OFFSET

    [[nodiscard]] bool any() const
    {
        return corruptEvery > 0 || !flips.empty() || !drops.empty() || !inserts.empty()
            || !pauses.empty();
    }
};

// Whether `name` is one of the fault options (each takes a value).
[[nodiscard]] bool IsFaultOption(const std::string &name);
// Reads one fault option's value into `faults`; Invalid naming the option when the
// value does not read.
[[nodiscard]] Status ParseFaultOption(
    const std::string &name, const std::string &value, DeviceFaults &faults);
// The fault options' part of the --help text.
[[nodiscard]] const char *FaultUsage();

// Applies the faults to the stream as it goes out.
class FaultInjector
{
public:
    explicit FaultInjector(const DeviceFaults &faults);

    // The stream's next bytes, as they are to go out, appended to `out`.
    void Process(const unsigned char *data, std::size_t size, std::string &out);
    // Where in the output (bytes appended by Process in all) the next pause starts and
    // how long it lasts; false when no pause is due in what was produced.
    [[nodiscard]] bool nextPause(uint64_t &at, int64_t &ms) const;
    void pauseTaken();

private:
    const DeviceFaults &m_faults;
    int64_t m_offset = 0; // of the next input byte
    int64_t m_dropUntil = -1;
    uint64_t m_produced = 0;
    struct Due
    {
        uint64_t at;
        int64_t ms;
    };
    std::vector<Due> m_pauses; // in output order
};
