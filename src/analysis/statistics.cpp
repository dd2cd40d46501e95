#include "analysis/statistics.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "analysis/checked.h"
#include "analysis/number_text.h"

namespace kijunchi {

void SortValues(AnalysisStore& store) {
    store.WorkCount = store.DataCount;
    int n = store.WorkCount;
    if (n > kMaxValues) throw CalcError("index above the capacity");
    std::sort(store.SortedValues.begin() + 1, store.SortedValues.begin() + 1 + n);
}

void ComputePercentile(AnalysisStore& store) {
    ComputePercentile(store, store.SortedValues.data(), store.WorkCount);
}

void ComputePercentile(AnalysisStore& store, const double* x, int n) {
    if (n > kMaxValues) throw CalcError("index above the capacity");
    const double value = PercentileOf(x, n, store.PercentileLevel);
    store.PercentileValue = value;
    store.PercentileText = numberText(value);
}

namespace {

// The rank r = (n + 1)p / 100 interpolated between x(k) and x(k + 1), k its whole part kept
// inside 1..n - 1; at(k) gives x(k) counted from 1.
template <typename At>
double percentileAt(int n, double p, At at) {
    const double r = checked::div(checked::mul(n + 1.0, p), 100.0);
    double k = std::trunc(r);
    if (k < 1) k = 1;
    if (k >= n) k = n - 1;
    if (k < 0) throw CalcError("index out of range");
    const auto i = static_cast<std::size_t>(k);
    return checked::add(at(i), checked::mul(r - k, checked::sub(at(i + 1), at(i))));
}

}  // namespace

double PercentileOf(const double* x, int n, double p) {
    return percentileAt(n, p, [x](std::size_t i) { return x[i]; });
}

double PercentileOfSorted(std::span<const double> sorted, double p) {
    if (sorted.size() < 2 || sorted.size() > static_cast<std::size_t>(INT32_MAX) - 1)
        throw CalcError("index out of range");
    return percentileAt(static_cast<int>(sorted.size()), p,
                        [sorted](std::size_t i) { return sorted[i - 1]; });
}

double RoundDecimal(double v, double d) {
    const double scale = checked::pow(10.0, d);
    return checked::div(std::floor(checked::add(checked::mul(v, scale), 0.5)), scale);
}

}  // namespace kijunchi
