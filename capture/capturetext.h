#pragma once

#include <cstdint>
#include <string>

// Which way a captured byte went: read from the port or written to it.
enum class CaptureDirection : uint8_t { Received, Sent };

// One byte that passed the port and the moment it passed, in microseconds since the
// Unix epoch.
struct CapturedByte
{
    int64_t timeUs = 0;
    CaptureDirection direction = CaptureDirection::Received;
    uint8_t byte = 0;
};

// "YYYY-MM-DD HH:MM:SS.ffffff" of `timeUs` in local time.
std::string FormatCaptureTime(int64_t timeUs);

// Turns a sequence of captured bytes into the text form of a capture: one line per
// run of bytes, "<local time of its first byte> RX|TX 41 42 43\n", at most
// kBytesPerLine bytes in upper-case hexadecimal. A byte starts a new line when its
// direction differs from the line's, when the line is full, or when kGapUs or more
// have passed since the line's last byte. Pure: the times come with the bytes, so
// the same input always gives the same text. Any one thread.
class CaptureTextFormatter
{
public:
    static constexpr int kBytesPerLine = 16;
    static constexpr int64_t kGapUs = 5000;

    // Appends the text of `captured` to `out`. A line is written as its bytes come:
    // its line break follows when the line ends.
    void add(const CapturedByte &captured, std::string &out);
    // Ends the open line when `nowUs` is kGapUs or more after its last byte, since
    // no later byte can join it then.
    void closeIfIdle(int64_t nowUs, std::string &out);
    // Ends the open line, if any.
    void finish(std::string &out);

private:
    void endLine(std::string &out);
    void appendTime(int64_t timeUs, std::string &out);

    int m_count = 0; // bytes on the open line; 0 when no line is open
    int64_t m_lastUs = 0;
    CaptureDirection m_direction = CaptureDirection::Received;
    // The date and time of day to the second change once a second at most.
    int64_t m_cachedSecond = INT64_MIN;
    std::string m_cachedSecondText;
};
