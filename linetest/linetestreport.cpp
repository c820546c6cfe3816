#include "linetestreport.h"

#include "base/linecodes.h"

#include <cmath>
#include <cstdio>
#include <sstream>

namespace {

std::string JsonString(const std::string &text)
{
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
                out += escaped;
            } else {
                out += c;
            }
        }
    }
    return out + "\"";
}

std::string JsonNumber(double value)
{
    if (!std::isfinite(value)) {
        return "null";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

std::string ByteOrNull(int byte)
{
    return byte < 0 ? std::string("null") : std::to_string(byte);
}

const char *ParityName(uint8_t parity)
{
    return kParityNames.at(parity < kParityCodeCount ? parity : uint8_t { ParityNone });
}

const char *StopName(uint8_t stop)
{
    return kStopBitsNames.at(stop < kStopBitsCodeCount ? stop : uint8_t { StopBitsTwo });
}

} // namespace

bool LineTestPassed(
    const LineTestSnapshot &figures, LineMode mode, const LineTestThresholds &thresholds)
{
    if (!figures.failure.ok()) {
        return false;
    }
    if (mode == LineMode::Transmit) {
        return figures.sent > 0;
    }
    if (figures.counts.checked == 0) {
        return false;
    }
    const uint64_t errors = figures.counts.errors();
    if (!thresholds.maxBer && !thresholds.maxErrors) {
        return errors == 0;
    }
    if (thresholds.maxErrors && errors > *thresholds.maxErrors) {
        return false;
    }
    return !(thresholds.maxBer && figures.berUpperBound > *thresholds.maxBer);
}

void WriteLineTestJson(const LineTestReport &report, std::ostream &out)
{
    const LineTestSnapshot &f = report.figures;
    const double bits = static_cast<double>(f.bitsChecked());
    out << "{\n";
    out << "  \"pattern\": " << JsonString(report.pattern) << ",\n";
    out << "  \"mode\": " << JsonString(LineModeName(report.mode)) << ",\n";
    out << "  \"baud\": " << report.framing.baudRate << ",\n";
    out << "  \"data_bits\": " << int(report.framing.dataBits) << ",\n";
    out << "  \"parity\": " << JsonString(ParityName(report.framing.parity)) << ",\n";
    out << "  \"stop_bits\": " << JsonString(StopName(report.framing.stopBits)) << ",\n";
    out << "  \"seconds\": " << JsonNumber(f.seconds) << ",\n";
    out << "  \"bytes_sent\": " << f.sent << ",\n";
    out << "  \"bytes_received\": " << f.received << ",\n";
    out << "  \"bytes_checked\": " << f.counts.checked << ",\n";
    out << "  \"bytes_skipped\": " << f.counts.skipped << ",\n";
    out << "  \"corrupted\": " << f.counts.corrupted << ",\n";
    out << "  \"lost\": " << f.counts.lost << ",\n";
    out << "  \"inserted\": " << f.counts.inserted << ",\n";
    out << "  \"bit_errors\": " << f.counts.bitErrors << ",\n";
    out << "  \"bits_checked\": " << f.bitsChecked() << ",\n";
    out << "  \"ber\": "
        << JsonNumber(bits > 0 ? static_cast<double>(f.counts.bitErrors) / bits : 0) << ",\n";
    out << "  \"ber_upper_bound\": " << JsonNumber(f.berUpperBound) << ",\n";
    out << "  \"confidence\": " << JsonNumber(report.confidence) << ",\n";
    const double rate = f.seconds > 0 ? static_cast<double>(f.received) / f.seconds : 0;
    out << "  \"rate_bytes_per_second\": " << JsonNumber(rate) << ",\n";
    out << "  \"line_capacity_bytes_per_second\": " << JsonNumber(f.capacity) << ",\n";
    if (f.latencySamples > 0) {
        out << "  \"latency_ms\": {\"min\": " << JsonNumber(f.latencyMinMs)
            << ", \"median\": " << JsonNumber(f.latencyMedianMs)
            << ", \"p99\": " << JsonNumber(f.latencyP99Ms) << ", \"samples\": " << f.latencySamples
            << "},\n";
    } else {
        out << "  \"latency_ms\": null,\n";
    }
    if (f.hasLineErrors) {
        out << "  \"line_errors\": {\"overrun\": " << f.lineErrors.overrun
            << ", \"framing\": " << f.lineErrors.frame << ", \"parity\": " << f.lineErrors.parity
            << ", \"break\": " << f.lineErrors.breaks
            << ", \"buffer_overrun\": " << f.lineErrors.bufferOverrun << "},\n";
    } else {
        out << "  \"line_errors\": null,\n";
    }
    out << "  \"passed\": " << (report.passed ? "true" : "false") << ",\n";
    out << "  \"stopped\": " << (f.stopped.empty() ? std::string("null") : JsonString(f.stopped))
        << ",\n";
    out << "  \"failure\": "
        << (f.failure.ok() ? std::string("null") : JsonString(f.failure.reason())) << ",\n";
    out << "  \"errors\": [";
    for (std::size_t i = 0; i < report.placeCount; ++i) {
        const ErrorPlace &place = report.places[i];
        out << (i ? ",\n    " : "\n    ") << "{\"offset\": " << place.offset
            << ", \"expected\": " << ByteOrNull(place.expected)
            << ", \"received\": " << ByteOrNull(place.received) << ", \"kind\": \""
            << ByteFaultName(place.fault)
            << "\", \"seconds\": " << JsonNumber(static_cast<double>(place.timeNs) * 1e-9) << "}";
    }
    out << (report.placeCount ? "\n  ]\n" : "]\n");
    out << "}\n";
}

void WriteLineTestCsv(const LineTestReport &report, std::ostream &out)
{
    out << "offset,kind,expected,received,seconds\n";
    for (std::size_t i = 0; i < report.placeCount; ++i) {
        const ErrorPlace &place = report.places[i];
        out << place.offset << ',' << ByteFaultName(place.fault) << ','
            << (place.expected < 0 ? std::string() : std::to_string(place.expected)) << ','
            << (place.received < 0 ? std::string() : std::to_string(place.received)) << ','
            << JsonNumber(static_cast<double>(place.timeNs) * 1e-9) << '\n';
    }
}

std::string ShortNumber(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.3g", value);
    return text;
}

std::string LineTestSummary(const LineTestReport &report)
{
    const LineTestSnapshot &f = report.figures;
    std::ostringstream out;
    out << "Line test: " << report.pattern << ", " << LineModeName(report.mode) << ", "
        << report.framing.baudRate << " baud, " << ShortNumber(f.seconds) << " s\n";
    out << "Sent " << f.sent << " bytes, received " << f.received << ", checked "
        << f.counts.checked << '\n';
    const double rate = f.seconds > 0 ? static_cast<double>(f.received) / f.seconds : 0;
    out << "Rate " << ShortNumber(rate) << " bytes/s";
    if (f.capacity > 0) {
        out << " (" << ShortNumber(100.0 * rate / f.capacity) << " % of the line)";
    }
    out << '\n';
    out << "Errors " << f.counts.errors() << ": corrupted " << f.counts.corrupted << ", lost "
        << f.counts.lost << ", inserted " << f.counts.inserted << '\n';
    out << f.counts.bitErrors << " bit errors in "
        << ShortNumber(static_cast<double>(f.bitsChecked())) << " bits: BER < "
        << ShortNumber(f.berUpperBound) << " at " << ShortNumber(report.confidence * 100)
        << " % confidence\n";
    if (f.latencySamples > 0) {
        out << "Latency min " << ShortNumber(f.latencyMinMs) << " ms, median "
            << ShortNumber(f.latencyMedianMs) << " ms, p99 " << ShortNumber(f.latencyP99Ms)
            << " ms\n";
    }
    if (f.hasLineErrors) {
        out << "Driver: overrun " << f.lineErrors.overrun << ", framing " << f.lineErrors.frame
            << ", parity " << f.lineErrors.parity << ", break " << f.lineErrors.breaks
            << ", buffer overrun " << f.lineErrors.bufferOverrun << '\n';
    }
    if (!f.stopped.empty()) {
        out << "Stopped: " << f.stopped << '\n';
    }
    if (!f.failure.ok()) {
        out << "Failed: " << f.failure.reason() << '\n';
    }
    out << (report.passed ? "PASSED" : "FAILED") << '\n';
    return out.str();
}
