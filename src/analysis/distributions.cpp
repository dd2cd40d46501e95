#include "analysis/distributions.h"

#include <boost/math/distributions/binomial.hpp>
#include <boost/math/distributions/chi_squared.hpp>
#include <boost/math/distributions/normal.hpp>
#include <boost/math/distributions/students_t.hpp>
#include <cmath>
#include <limits>
#include <numbers>

namespace kijunchi {

namespace {

namespace bm = boost::math;

// Errors come back as NaN or ±∞ instead of exceptions: the callers decide what a missing
// figure means.
using Quiet = bm::policies::policy<bm::policies::domain_error<bm::policies::ignore_error>,
                                   bm::policies::overflow_error<bm::policies::ignore_error>,
                                   bm::policies::underflow_error<bm::policies::ignore_error>,
                                   bm::policies::evaluation_error<bm::policies::ignore_error>,
                                   bm::policies::pole_error<bm::policies::ignore_error>>;

const bm::normal_distribution<double, Quiet> kStandardNormal;

}  // namespace

double normalLowerTail(double z) {
    if (std::isnan(z)) return z;
    if (std::isinf(z)) return z < 0 ? 0.0 : 1.0;
    return bm::cdf(kStandardNormal, z);
}

double normalUpperTail(double z) {
    return normalLowerTail(-z);
}

double normalIntervalProbability(double a, double b) {
    if (a > 0) return normalUpperTail(a) - normalUpperTail(b);
    return normalLowerTail(b) - normalLowerTail(a);
}

double logNormalLowerTail(double z) {
    if (z > -30) return std::log(normalLowerTail(z));
    // Φ(z) = φ(z)/|z| · (1 − 1/z² + 3/z⁴ − …) far below the mean.
    const double r = 1 / (z * z);
    return -0.5 * z * z - std::log(-z) - 0.5 * std::log(2 * std::numbers::pi) +
           std::log1p(-r * (1 - 3 * r * (1 - 5 * r)));
}

double normalQuantile(double p) {
    if (!(p > 0 && p < 1)) return std::numeric_limits<double>::quiet_NaN();
    return bm::quantile(kStandardNormal, p);
}

double studentTQuantile(double p, double nu) {
    if (!(p > 0 && p < 1) || !(nu > 0)) return std::numeric_limits<double>::quiet_NaN();
    return bm::quantile(bm::students_t_distribution<double, Quiet>(nu), p);
}

double chiSquareUpperProbability(double nu, double x) {
    if (std::isnan(x) || !(nu > 0)) return std::numeric_limits<double>::quiet_NaN();
    if (x == std::numeric_limits<double>::infinity()) return 0.0;
    if (x <= 0) return 1.0;
    return bm::cdf(bm::complement(bm::chi_squared_distribution<double, Quiet>(nu), x));
}

double binomialUpperTail(int k, int n, double p) {
    if (k <= 0) return 1.0;
    if (k > n) return 0.0;
    const bm::binomial_distribution<double, Quiet> b(n, p);
    return bm::cdf(bm::complement(b, k - 1));
}

double binomialLowerTail(int k, int n, double p) {
    if (k < 0) return 0.0;
    if (k >= n) return 1.0;
    return bm::cdf(bm::binomial_distribution<double, Quiet>(n, p), k);
}

}  // namespace kijunchi
