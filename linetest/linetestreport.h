#pragma once

#include "linetest.h"

#include <optional>
#include <ostream>
#include <string>

// What a test must reach to pass. Without either threshold it passes with no errors.
struct LineTestThresholds
{
    // The upper bound of the bit error rate (at the test's confidence) may be at most
    // this: the run has to be long enough to show it, about 3 / maxBer bits at 95 %.
    std::optional<double> maxBer;
    std::optional<uint64_t> maxErrors;
};

// Everything a finished (or running) test says, for the files and the summary.
struct LineTestReport
{
    std::string pattern; // "prbs15", "file:/path", ...
    LineMode mode = LineMode::Loopback;
    LineFraming framing;
    double confidence = 0.95;
    LineTestSnapshot figures;
    const ErrorPlace *places = nullptr;
    std::size_t placeCount = 0;
    bool passed = false;
};

// Whether `figures` pass `thresholds`: the test ran without failing, checked bytes
// (except transmit-only, where the far side checks) and stayed within the limits.
[[nodiscard]] bool LineTestPassed(
    const LineTestSnapshot &figures, LineMode mode, const LineTestThresholds &thresholds);

// The report as JSON (the fields are listed in the README's "Line test" section).
void WriteLineTestJson(const LineTestReport &report, std::ostream &out);
// The error places as CSV: offset,kind,expected,received,seconds.
void WriteLineTestCsv(const LineTestReport &report, std::ostream &out);
// A few lines for a person: the traffic, the errors, the bound, the verdict.
[[nodiscard]] std::string LineTestSummary(const LineTestReport &report);

// A number as the summary writes it: 3 significant digits, "1.2e+09" style.
[[nodiscard]] std::string ShortNumber(double value);
