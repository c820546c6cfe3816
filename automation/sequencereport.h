#pragma once

#include "sequencerunner.h"

#include <ostream>
#include <string>

// What a finished run says: a summary for people and a JSON file for programs.

// The step's line in the file's own words ("expect = 2000 text:OK").
[[nodiscard]] std::string StepLabel(const Sequence &sequence, std::size_t step);
// Lines of text: each result, then the verdict with the counts and the time.
[[nodiscard]] std::string SequenceSummary(
    const Sequence &sequence, const SequenceProgress &progress);
void WriteSequenceJson(
    const Sequence &sequence, const SequenceProgress &progress, std::ostream &out);
