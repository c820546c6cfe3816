#include "berbound.h"

#include <algorithm>
#include <cmath>

namespace {

// P(X <= k) for a Poisson count of mean `mean`, summed in logarithms so that large
// means do not underflow the first terms.
double PoissonCdf(uint64_t k, double mean)
{
    double logTerm = -mean; // log of P(X = 0)
    double sum = std::exp(logTerm);
    for (uint64_t i = 1; i <= k; ++i) {
        logTerm += std::log(mean) - std::log(static_cast<double>(i));
        sum += std::exp(logTerm);
    }
    return std::min(sum, 1.0);
}

// The standard normal quantile (Acklam's rational approximation, |error| < 1.2e-9).
double NormalQuantile(double p)
{
    static const double a[]
        = { -3.969683028665376e+01, 2.209460984245205e+02, -2.759285104469687e+02,
              1.383577518672690e+02, -3.066479806614716e+01, 2.506628277459239e+00 };
    static const double b[] = { -5.447609879822406e+01, 1.615858368580409e+02,
        -1.556989798598866e+02, 6.680131188771972e+01, -1.328068155288572e+01 };
    static const double c[]
        = { -7.784894002430293e-03, -3.223964580411365e-01, -2.400758277161838e+00,
              -2.549732539343734e+00, 4.374664141464968e+00, 2.938163982698783e+00 };
    static const double d[] = { 7.784695709041462e-03, 3.224671290700398e-01, 2.445134137142996e+00,
        3.754408661907416e+00 };
    const double low = 0.02425;
    if (p < low) {
        const double q = std::sqrt(-2 * std::log(p));
        return (((((c[0] * q + c[1]) * q + c[2]) * q + c[3]) * q + c[4]) * q + c[5])
            / ((((d[0] * q + d[1]) * q + d[2]) * q + d[3]) * q + 1);
    }
    if (p > 1 - low) {
        return -NormalQuantile(1 - p);
    }
    const double q = p - 0.5;
    const double r = q * q;
    return (((((a[0] * r + a[1]) * r + a[2]) * r + a[3]) * r + a[4]) * r + a[5]) * q
        / (((((b[0] * r + b[1]) * r + b[2]) * r + b[3]) * r + b[4]) * r + 1);
}

} // namespace

double PoissonUpperMean(uint64_t errors, double confidence)
{
    const double tail = 1 - confidence;
    if (errors == 0) {
        return -std::log(tail);
    }
    if (errors > 1000) {
        // Wilson and Hilferty's cube-root approximation of the chi-square quantile
        // with 2(k + 1) degrees of freedom, accurate far beyond what a count this
        // large needs; the exact sum would take a while.
        const double df = 2.0 * (static_cast<double>(errors) + 1);
        const double z = NormalQuantile(confidence);
        const double h = 2.0 / (9.0 * df);
        return df * std::pow(1 - h + z * std::sqrt(h), 3) / 2;
    }
    // Bisection on the mean: the Poisson distribution function falls as the mean grows.
    double low = static_cast<double>(errors);
    double high = static_cast<double>(errors) + 10 + 10 * std::sqrt(static_cast<double>(errors));
    while (PoissonCdf(errors, high) > tail) {
        high *= 2;
    }
    for (int i = 0; i < 200 && high - low > 1e-12 * high; ++i) {
        const double mid = (low + high) / 2;
        (PoissonCdf(errors, mid) > tail ? low : high) = mid;
    }
    return (low + high) / 2;
}

double BerUpperBound(uint64_t errors, uint64_t bits, double confidence)
{
    if (bits == 0) {
        return 1.0;
    }
    return std::min(1.0, PoissonUpperMean(errors, confidence) / static_cast<double>(bits));
}
