#include "evaluation/normality_tests.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "analysis/distributions.h"

namespace kijunchi {

namespace {

// c[0] + c[1]·x + c[2]·x² + …
template <std::size_t N>
double polynomial(const double (&c)[N], double x) {
    double sum = 0;
    for (std::size_t i = N; i-- > 0;) sum = sum * x + c[i];
    return sum;
}

// The values sorted and scaled by a power of two (exactly) into −1 .. 1, so that no
// difference or square overflows; both statistics are free of scale. Empty when a value is not
// finite.
std::vector<double> sortedScaled(std::span<const double> values) {
    std::vector<double> x(values.begin(), values.end());
    double largest = 0;
    for (const double v : x) {
        if (!std::isfinite(v)) return {};
        largest = std::max(largest, std::fabs(v));
    }
    int exponent = 0;
    std::frexp(largest, &exponent);
    for (double& v : x) v = std::ldexp(v, -exponent);
    std::sort(x.begin(), x.end());
    return x;
}

// The Shapiro–Wilk coefficients a(1..n/2) for the lower half (positive; the upper half has
// the same with the sign changed): Blom's normal scores, with the two outermost coefficients
// from Royston's polynomials in 1/√n.
std::vector<double> shapiroWilkCoefficients(int n) {
    const int half = n / 2;
    std::vector<double> a(static_cast<std::size_t>(half));
    if (n == 3) {
        a[0] = std::numbers::sqrt2 / 2;
        return a;
    }
    static constexpr double c1[] = {0, 0.221157, -0.147981, -2.07119, 4.434685, -2.706056};
    static constexpr double c2[] = {0, 0.042981, -0.293762, -1.752461, 5.682633, -3.582633};
    double sum2 = 0;
    for (int i = 0; i < half; ++i) {
        a[i] = normalQuantile((i + 1 - 0.375) / (n + 0.25));  // m(i), negative
        sum2 += a[i] * a[i];
    }
    sum2 *= 2;
    const double root = std::sqrt(sum2);
    const double rsn = 1 / std::sqrt(static_cast<double>(n));
    const double a1 = polynomial(c1, rsn) - a[0] / root;
    int first;  // the first coefficient that stays a scaled score
    double scale;
    if (n > 5) {
        const double a2 = -a[1] / root + polynomial(c2, rsn);
        scale =
            std::sqrt((sum2 - 2 * a[0] * a[0] - 2 * a[1] * a[1]) / (1 - 2 * a1 * a1 - 2 * a2 * a2));
        a[1] = a2;
        first = 2;
    } else {
        scale = std::sqrt((sum2 - 2 * a[0] * a[0]) / (1 - 2 * a1 * a1));
        first = 1;
    }
    a[0] = a1;
    for (int i = first; i < half; ++i) a[i] /= -scale;
    return a;
}

// The upper tail of the normal with mean m and SD s at y.
double upperTail(double y, double m, double s) {
    return normalLowerTail(-(y - m) / s);
}

}  // namespace

std::optional<ShapiroWilkResult> shapiroWilk(std::span<const double> values) {
    const int n = static_cast<int>(values.size());
    if (n < kShapiroWilkMinCount || n > kShapiroWilkMaxCount) return std::nullopt;
    const std::vector<double> x = sortedScaled(values);
    if (x.empty() || !(x.back() > x.front())) return std::nullopt;

    // Centred on the median and scaled by the range, so no square overflows.
    const double range = x.back() - x.front();
    const double centre = x[x.size() / 2];
    double mean = 0;
    for (const double v : x) mean += (v - centre) / range;
    mean /= n;
    double ss = 0;
    for (const double v : x) {
        const double d = (v - centre) / range - mean;
        ss += d * d;
    }
    const std::vector<double> a = shapiroWilkCoefficients(n);
    double linear = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        linear += a[i] * ((x[x.size() - 1 - i] - x[i]) / range);
    const double w = std::min(1.0, linear * linear / ss);

    ShapiroWilkResult result{w, 1};
    if (n == 3) {
        // The exact distribution: W is at least 3/4.
        constexpr double kSixOverPi = 6 / std::numbers::pi;
        result.p = std::max(0.0, kSixOverPi * (std::asin(std::sqrt(w)) - std::numbers::pi / 3));
        return result;
    }
    if (w >= 1) return result;
    const double logOneMinusW = std::log(1 - w);
    const double dn = n;
    if (n <= 11) {
        static constexpr double g[] = {-2.273, 0.459};
        static constexpr double c3[] = {0.544, -0.39978, 0.025054, -6.714e-4};
        static constexpr double c4[] = {1.3822, -0.77857, 0.062767, -0.0020322};
        const double gamma = polynomial(g, dn);
        if (logOneMinusW >= gamma) {
            result.p = 0;  // beyond the approximation's reach: W far below its null range
            return result;
        }
        const double y = -std::log(gamma - logOneMinusW);
        result.p = upperTail(y, polynomial(c3, dn), std::exp(polynomial(c4, dn)));
    } else {
        static constexpr double c5[] = {-1.5861, -0.31082, -0.083751, 0.0038915};
        static constexpr double c6[] = {-0.4803, -0.082676, 0.0030302};
        const double logN = std::log(dn);
        result.p = upperTail(logOneMinusW, polynomial(c5, logN), std::exp(polynomial(c6, logN)));
    }
    return result;
}

std::optional<AndersonDarlingResult> andersonDarling(std::span<const double> values) {
    const int n = static_cast<int>(values.size());
    if (n < kAndersonDarlingMinCount) return std::nullopt;
    const std::vector<double> x = sortedScaled(values);
    if (x.empty() || !(x.back() > x.front())) return std::nullopt;

    const double range = x.back() - x.front();
    double mean = 0;
    for (const double v : x) mean += (v - x.front()) / range;
    mean /= n;
    double ss = 0;
    for (const double v : x) {
        const double d = (v - x.front()) / range - mean;
        ss += d * d;
    }
    const double sd = std::sqrt(ss / (n - 1));
    // A² = −n − (1/n)·Σ (2i − 1)·[ln Φ(z(i)) + ln(1 − Φ(z(n+1−i)))], 1 − Φ(z) taken as Φ(−z).
    std::vector<double> z(x.size());
    for (std::size_t i = 0; i < x.size(); ++i) z[i] = ((x[i] - x.front()) / range - mean) / sd;
    double sum = 0;
    for (int i = 1; i <= n; ++i) {
        const double lower = logNormalLowerTail(z[static_cast<std::size_t>(i - 1)]);
        const double upper = logNormalLowerTail(-z[static_cast<std::size_t>(n - i)]);
        sum += (2.0 * i - 1) * (lower + upper);
    }
    AndersonDarlingResult result;
    result.a2 = -n - sum / n;
    const double dn = n;
    const double a = result.a2 * (1 + 0.75 / dn + 2.25 / (dn * dn));
    result.corrected = a;
    if (a < 0.2)
        result.p = 1 - std::exp(-13.436 + 101.14 * a - 223.73 * a * a);
    else if (a < 0.34)
        result.p = 1 - std::exp(-8.318 + 42.796 * a - 59.938 * a * a);
    else if (a < 0.6)
        result.p = std::exp(0.9177 - 4.279 * a - 1.38 * a * a);
    else if (a < 10)
        result.p = std::exp(1.2937 - 5.709 * a + 0.0186 * a * a);
    else
        result.p = 3.7e-24;
    return result;
}

}  // namespace kijunchi
