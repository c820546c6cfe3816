#include "capturetext.h"

#include "base/timestamp.h"
#include "text/hexdigits.h"

#include <cstdio>
#include <ctime>

namespace {

// Floor division, so that times before 1970 still give a fraction in 0..999999.
int64_t FloorDiv(int64_t value, int64_t divisor)
{
    const int64_t quotient = value / divisor;
    return (value % divisor != 0 && value < 0) ? quotient - 1 : quotient;
}

std::string SecondText(int64_t seconds)
{
    const std::tm local = LocalTime(static_cast<std::time_t>(seconds));
    char text[80] = {};
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", local.tm_year + 1900,
        local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return text;
}

void AppendMicroseconds(int64_t timeUs, std::string &out)
{
    const int64_t fraction = timeUs - FloorDiv(timeUs, 1000000) * 1000000;
    char text[16] = {};
    std::snprintf(text, sizeof text, ".%06d", static_cast<int>(fraction));
    out.append(text);
}

} // namespace

std::string FormatCaptureTime(int64_t timeUs)
{
    std::string text = SecondText(FloorDiv(timeUs, 1000000));
    AppendMicroseconds(timeUs, text);
    return text;
}

void CaptureTextFormatter::appendTime(int64_t timeUs, std::string &out)
{
    const int64_t second = FloorDiv(timeUs, 1000000);
    if (second != m_cachedSecond) {
        m_cachedSecond = second;
        m_cachedSecondText = SecondText(second);
    }
    out.append(m_cachedSecondText);
    AppendMicroseconds(timeUs, out);
}

void CaptureTextFormatter::add(const CapturedByte &captured, std::string &out)
{
    if (m_count > 0
        && (captured.direction != m_direction || m_count >= kBytesPerLine
            || captured.timeUs - m_lastUs >= kGapUs)) {
        endLine(out);
    }
    if (m_count == 0) {
        appendTime(captured.timeUs, out);
        out.append(captured.direction == CaptureDirection::Received ? " RX" : " TX");
        m_direction = captured.direction;
    }
    const char item[3]
        = { ' ', kHexDigitChars[captured.byte >> 4], kHexDigitChars[captured.byte & 0x0F] };
    out.append(item, sizeof item);
    ++m_count;
    m_lastUs = captured.timeUs;
}

void CaptureTextFormatter::closeIfIdle(int64_t nowUs, std::string &out)
{
    if (m_count > 0 && nowUs - m_lastUs >= kGapUs) {
        endLine(out);
    }
}

void CaptureTextFormatter::finish(std::string &out)
{
    if (m_count > 0) {
        endLine(out);
    }
}

void CaptureTextFormatter::endLine(std::string &out)
{
    out.push_back('\n');
    m_count = 0;
}
