#pragma once
// The normality tests: skewness and kurtosis verdicts, and the chi-square goodness of fit.
#include <array>
#include <string>

#include "analysis/store.h"

namespace kijunchi {

// The verdict sentence of the skewness ("Z1=") or kurtosis ("Z2=") test on the rounded
// statistic.
std::string zVerdict(const std::string& prefix, double z);

// The standard normal distribution function by Abramowitz and Stegun 26.2.19.
double normalCdf(double z);

// Upper-tail probability of the chi-square distribution with nu degrees of freedom (nu >= 1).
double chiSquareUpperTail(int nu, double x);

// The critical value chi^2(nu, alpha) found by bisection.
double chiSquareCritical(int nu, double alpha);

struct ChiSquareTest {
    int classes = 0;                        // K
    std::array<double, kSlots> expected{};  // E(1..K)
    double statistic = 0;                   // chi-square observed, unrounded
    int degreesOfFreedom = 0;               // K - 3
    double alpha = 0.05;
    double critical = 0;  // unrounded
};

// Runs the chi-square test on the store's classes; WorkCount becomes the class total.
ChiSquareTest runChiSquareTest(AnalysisStore& store);

}  // namespace kijunchi
