#pragma once
// The distribution functions of the evaluation, the study and the batch: normal, Student's t,
// chi-square and binomial, to full double precision (from Boost.Math). The statistics report
// keeps its own shorter normal approximation and chi-square series, which its texts depend on.

namespace kijunchi {

// Φ(z).
double normalLowerTail(double z);

// 1 − Φ(z), without cancellation far into the upper tail.
double normalUpperTail(double z);

// ln Φ(z), finite far into the lower tail where Φ(z) itself underflows.
double logNormalLowerTail(double z);

// Φ(b) − Φ(a) for a ≤ b, from the tail on the far side of the mean, so that an interval far
// into either tail keeps its digits.
double normalIntervalProbability(double a, double b);

// Φ⁻¹(p) for 0 < p < 1; NaN outside.
double normalQuantile(double p);

// The quantile of Student's t distribution with nu > 0 degrees of freedom at 0 < p < 1.
double studentTQuantile(double p, double nu);

// P(X² ≥ x) for the chi-square distribution with nu ≥ 1 degrees of freedom; 0 for x = ∞.
double chiSquareUpperProbability(double nu, double x);

// P(X ≥ k) and P(X ≤ k) for X ~ Bin(n, p).
double binomialUpperTail(int k, int n, double p);
double binomialLowerTail(int k, int n, double p);

}  // namespace kijunchi
