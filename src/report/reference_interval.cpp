#include "report/reference_interval.h"

#include <algorithm>
#include <vector>

#include "analysis/checked.h"
#include "analysis/power_formula.h"
#include "analysis/statistics.h"

namespace kijunchi {

namespace {

// The three percentiles of sorted values x[1..n] through the percentile exchange; the caller
// takes the value of each text.
void computePercentiles(AnalysisStore& store, const double* x, int n) {
    auto percentile = [&](double level) {
        store.PercentileLevel = level;
        ComputePercentile(store, x, n);
        return Value(store.PercentileText).toNumber();
    };
    store.Pct025 = percentile(2.5);
    store.Pct975 = percentile(97.5);
    store.MedianValue = percentile(50);
}

void clearOrig(AnalysisStore& s) {
    s.OrigLower = s.OrigUpper = s.OrigMean = s.OrigSD = 0;
    s.OrigLowerCILow = s.OrigLowerCIHigh = s.OrigUpperCILow = s.OrigUpperCIHigh = 0;
    s.OrigPct025 = s.OrigPct975 = 0;
}

// Sets the eight parametric results on the measurement scale through back. The mean and the
// standard deviation are never printed: where their back-transformation is undefined they are
// left at 0 instead of ending the run.
template <typename Back>
void backTransform(AnalysisStore& s, Back back) {
    auto unprinted = [&back](double v) {
        try {
            return back(v);
        } catch (const CalcError&) {
            return 0.0;
        }
    };
    clearOrig(s);
    s.OrigLower = back(s.ParamLower);
    s.OrigUpper = back(s.ParamUpper);
    s.OrigMean = unprinted(s.MeanValue);
    s.OrigSD = unprinted(s.SDValue);
    s.OrigLowerCILow = back(s.ParamLowerCILow);
    s.OrigLowerCIHigh = back(s.ParamLowerCIHigh);
    s.OrigUpperCILow = back(s.ParamUpperCILow);
    s.OrigUpperCIHigh = back(s.ParamUpperCIHigh);
    s.OrigPct025 = s.Pct025;
    s.OrigPct975 = s.Pct975;
}

}  // namespace

void computeReferenceInterval(AnalysisStore& s) {
    using namespace checked;
    if (s.UntransformedValues.empty()) {
        computePercentiles(s, s.SortedValues.data(), s.WorkCount);
    } else if (static_cast<int>(s.UntransformedValues.size()) == s.WorkCount) {
        // Transformed data: the percentiles and the median describe the measurement scale, so
        // they come from the values kept by the first transformation of the data set.
        std::vector<double> sorted(s.UntransformedValues.size() + 1);
        std::copy(s.UntransformedValues.begin(), s.UntransformedValues.end(), sorted.begin() + 1);
        std::sort(sorted.begin() + 1, sorted.end());
        computePercentiles(s, sorted.data(), s.WorkCount);
    }

    const double m = s.MeanValue;
    const double sd = s.SDValue;
    const int n = s.WorkCount;
    s.ParamLower = sub(m, mul(1.96, sd));
    s.ParamUpper = add(m, mul(1.96, sd));
    // 2.92 approximates 1 + 1.96^2 / 2.
    const double c = mul(mul(1.96, sd), sqrt(div(2.92, n)));
    s.ParamLowerCILow = sub(s.ParamLower, c);
    s.ParamLowerCIHigh = add(s.ParamLower, c);
    s.ParamUpperCILow = sub(s.ParamUpper, c);
    s.ParamUpperCIHigh = add(s.ParamUpper, c);
    s.OrigPct025 = s.Pct025;
    s.OrigPct975 = s.Pct975;

    if (s.Lambda.isBlank()) s.Lambda = Value(1.0);
    const double lambda = s.Lambda.toNumber();
    if (lambda == 1.0) {
        clearOrig(s);
        s.OrigLower = s.ParamLower;
        s.OrigUpper = s.ParamUpper;
        s.OrigPct025 = s.Pct025;
        s.OrigPct975 = s.Pct975;
        s.OrigLowerCILow = sub(s.ParamLower, c);
        s.OrigLowerCIHigh = add(s.ParamLower, c);
        s.OrigUpperCILow = sub(s.ParamUpper, c);
        s.OrigUpperCIHigh = add(s.ParamUpper, c);
    }
    if (lambda != 0.0) {
        // The inverse of y = (x^λ - 1)/λ + λ (the identity for λ = 1).
        backTransform(s, [lambda](double v) { return inversePowerTransform(lambda, v); });
    } else {
        backTransform(s, [](double v) { return pow(2.71828182845905, v); });
    }
}

}  // namespace kijunchi
