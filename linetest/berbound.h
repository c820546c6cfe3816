#pragma once

#include <cstdint>

// The upper bound of the bit error rate that `errors` wrong bits in `bits` bits allow,
// at `confidence` (0.95 for 95 %): the largest rate at which seeing `errors` or fewer
// errors still has a chance of at least 1 - confidence. Errors are taken as a Poisson
// count, so the bound is the chi-square quantile chi2(confidence, 2(errors + 1)) / 2
// divided by `bits`; with no errors that is -ln(1 - confidence) / bits, about 3 / bits
// at 95 %. 1 when no bit was checked.
[[nodiscard]] double BerUpperBound(uint64_t errors, uint64_t bits, double confidence = 0.95);

// The Poisson mean whose probability of `errors` or fewer events is 1 - confidence.
[[nodiscard]] double PoissonUpperMean(uint64_t errors, double confidence);
