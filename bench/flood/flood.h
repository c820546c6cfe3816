#pragma once

#include <string>

// The flood writer of the receive benchmarks: it writes a byte stream into the
// device side of a pseudo-terminal in large writes, as fast as the reader on the
// other side takes it, and reports its own figures, so that a benchmark can show
// that the writer was not what held the reader back.

struct FloodReport
{
    long bytes = 0; // written
    long writes = 0; // write() calls that moved bytes
    long waits = 0; // times it had to wait for room
    double seconds = 0; // from the first write to the last
    double cpuMs = 0; // the writing thread's CPU time
    bool ok = false; // every byte written

    double mbPerSecond() const { return seconds > 0 ? bytes / seconds / 1e6 : 0; }
};

// The most one write() hands over.
constexpr long kFloodWriteSize = 64 * 1024;

// Bytes 0..99 over and over, so that every paragraph of 100 counts up from 0.
std::string FloodPattern(long count);

// Writes all of `bytes` to the non-blocking descriptor `fd` on the calling thread;
// gives up when no room comes for `stallMs`.
FloodReport Flood(int fd, const std::string &bytes, int stallMs = 5000);
// Flood with `count` bytes of FloodPattern, made as they are written: a reader in
// the same process is then measured without a copy of everything it receives, as
// a reader fed by another process is.
FloodReport FloodPatternInto(int fd, long count, int stallMs = 5000);

// The writer's own rate: `count` bytes flooded into a fresh raw pseudo-terminal
// whose other side a plain reader drains with large reads.
FloodReport FloodIntoPlainReader(long count);

// One line describing `report`, e.g. for a benchmark's output.
std::string DescribeFlood(const FloodReport &report);
