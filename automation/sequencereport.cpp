#include "sequencereport.h"

#include <cstdio>

namespace {

std::string Json(std::string_view text)
{
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", byte);
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string Seconds(double seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", seconds);
    return text;
}

} // namespace

std::string StepLabel(const Sequence &sequence, std::size_t step)
{
    return step < sequence.steps.size() ? StepText(sequence.steps[step]) : std::string();
}

std::string SequenceSummary(const Sequence &sequence, const SequenceProgress &progress)
{
    std::string out;
    for (const StepResult &result : progress.results) {
        out += std::string(result.passed ? "ok    " : "FAIL  ") + "step "
            + std::to_string(result.step + 1) + " (" + Seconds(result.seconds) + " s)  "
            + StepLabel(sequence, result.step) + "\n";
        if (!result.detail.empty()) {
            out += "      " + result.detail + "\n";
        }
    }
    out += std::string(VerdictName(progress.verdict)) + ": " + std::to_string(progress.passed)
        + " steps passed, " + std::to_string(progress.failed) + " failed, "
        + Seconds(progress.seconds) + " s";
    if (!progress.reason.empty()) {
        out += " (" + progress.reason + ")";
    }
    return out + "\n";
}

void WriteSequenceJson(
    const Sequence &sequence, const SequenceProgress &progress, std::ostream &out)
{
    out << "{\n  \"sequence\": " << Json(sequence.name)
        << ",\n  \"verdict\": " << Json(VerdictName(progress.verdict))
        << ",\n  \"reason\": " << Json(progress.reason)
        << ",\n  \"seconds\": " << Seconds(progress.seconds)
        << ",\n  \"passed\": " << progress.passed << ",\n  \"failed\": " << progress.failed
        << ",\n  \"steps\": [";
    for (std::size_t i = 0; i < progress.results.size(); ++i) {
        const StepResult &result = progress.results[i];
        out << (i == 0 ? "\n" : ",\n") << "    {\"step\": " << result.step + 1
            << ", \"line\": " << result.fileLine
            << ", \"text\": " << Json(StepLabel(sequence, result.step))
            << ", \"passed\": " << (result.passed ? "true" : "false")
            << ", \"seconds\": " << Seconds(result.seconds)
            << ", \"detail\": " << Json(result.detail) << "}";
    }
    out << (progress.results.empty() ? "]\n}\n" : "\n  ]\n}\n");
}
