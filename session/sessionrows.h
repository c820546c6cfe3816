#pragma once

#include "base/status.h"
#include "sessionstore.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The three ways of showing a session, each a sequence of rows over the bytes: a
// row is a range of the store, and the rows lie end to end. Rows are found where
// they are needed, from any position, without reading the session from its start:
// every rule decides a row's start from the bytes shortly before it. A row never
// holds both directions, and never more than 2 * kMaxRow bytes (a longer stretch
// without a break is cut at positions that are multiples of kMaxRow).
enum class SessionMode { Text, Hex, Frames };
enum class LineBreak { Lf, Cr, CrLf, Any };
enum class TextEncoding { Ascii, Utf8, Gbk };
enum class FrameSplit { GapMs, GapChars, Delimiter, Length };

struct SessionRules
{
    SessionMode mode = SessionMode::Text;
    LineBreak lineBreak = LineBreak::Any;
    FrameSplit split = FrameSplit::GapMs;
    double gap = 20; // ms, or character times at `baud`
    int baud = 9600;
    std::string delimiter = "\n";
    int length = 16;
};

inline constexpr uint64_t kMaxRow = 4096;
inline constexpr int kHexRowBytes = 16;

// Success, or why the rules cannot split a session (a gap of 0, no delimiter, a
// length of 0 or beyond kMaxRow).
[[nodiscard]] Status CheckRules(const SessionRules &rules);
// The pause that ends a frame, in microseconds: `gap` ms, or `gap` character times
// of ten bits at `baud`.
int64_t FrameGapUs(const SessionRules &rules);

struct SessionRow
{
    uint64_t start = 0;
    uint64_t end = 0;
    CaptureDirection direction = CaptureDirection::Received;
    int64_t timeUs = kNoTime; // of the first byte
    int64_t gapUs = kNoTime; // since the last byte before the row, when known
    bool blockStart = false; // the first row of a stretch of one direction
};

// Finds the rows of `store` by `rules` (which CheckRules accepted).
class SessionRows
{
public:
    SessionRows(const SessionStore &store, const SessionRules &rules);

    // The start of the row that holds `position` (begin() <= position < end()).
    uint64_t rowStart(uint64_t position) const;
    // The end of the row that starts at `start`.
    uint64_t rowEnd(uint64_t start) const;
    // The row that starts at `start`, with its time and direction.
    SessionRow row(uint64_t start) const;
    // The start of the row before the one that starts at `start` (begin() for the first).
    uint64_t previousStart(uint64_t start) const
    {
        return start <= m_store.begin() ? m_store.begin() : rowStart(start - 1);
    }
    // The bytes of a row that end it (the line break or delimiter), not shown as text.
    std::size_t ending(const SessionRow &row) const;

private:
    // Whether a row may start at `position` because of the bytes before it.
    bool naturalAt(uint64_t position, uint64_t turn) const;

    const SessionStore &m_store;
    SessionRules m_rules;
    int64_t m_gapUs = 0;
};

// The time of a row as "HH:MM:SS.mmm" in local time, "-" when unknown.
std::string FormatRowTime(int64_t timeUs);
// A gap as "+1.234 s" / "+12.3 ms" style text, "" when unknown.
std::string FormatGap(int64_t gapUs);

// One piece of a line of text: text in the line's encoding, or a mark that stands
// for a byte that is not text (a control byte, a byte the encoding does not allow,
// an ANSI sequence shown), UTF-8.
struct TextSpan
{
    std::string text;
    bool mark = false;
};

struct TextOptions
{
    TextEncoding encoding = TextEncoding::Utf8;
    bool stripAnsi = true;
};

// The text of `bytes` (a row without its ending) as spans. Control bytes become
// caret notation (^M, ^J), other bytes that are not text "\xHH"; ANSI
// sequences (ESC [ ... final) are left out or shown as marks.
std::vector<TextSpan> DecodeText(std::string_view bytes, const TextOptions &options);

// The hex-dump line of a row: "offset  hh hh ...  |ascii|", the offset in the session.
std::string HexDumpLine(uint64_t offset, std::string_view bytes);
// Bytes as "47 50 52" and as ASCII with '.' for what is not printable.
std::string HexBytes(std::string_view bytes);
std::string AsciiColumn(std::string_view bytes);

// Checks of a frame: CRC-16/MODBUS of all but the last two bytes against them (low
// byte first), with the function code; the NMEA checksum after '*'.
enum class CheckResult { None, Good, Bad };
struct ModbusCheck
{
    CheckResult result = CheckResult::None;
    int function = 0; // without the exception bit
    bool exception = false;
};
uint16_t Crc16Modbus(std::string_view bytes);
ModbusCheck CheckModbus(std::string_view frame);
CheckResult CheckNmea(std::string_view frame);
