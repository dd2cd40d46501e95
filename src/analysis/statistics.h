#pragma once
// Sorting, percentiles and decimal rounding.
#include <span>

#include "analysis/store.h"

namespace kijunchi {

// WorkCount = DataCount, then SortedValues(1..n) ascending. Slot 0 and slots above n stay.
void SortValues(AnalysisStore& store);

// Reads PercentileLevel (in percent), WorkCount and the sorted SortedValues(1..n); writes
// PercentileValue and PercentileText (the caller takes the text).
void ComputePercentile(AnalysisStore& store);

// The same on other sorted values: x[1..n] (x[0] unused), through the store's exchange.
void ComputePercentile(AnalysisStore& store, const double* x, int n);

// The percentile routine itself on sorted x[1..n] (x[0] unused) at level p percent: the rank
// r = (n + 1)p / 100 interpolated between its neighbours, along the first or last gap outside
// x(1)..x(n).
double PercentileOf(const double* x, int n, double p);
// The same on values in ascending order counted from 0, without a copy: the same figures.
// Needs at least 2 values (CalcError otherwise).
double PercentileOfSorted(std::span<const double> sorted, double p);

// floor(v·10^d + 0.5) / 10^d in double precision: halves go up, towards plus infinity.
double RoundDecimal(double v, double d);

}  // namespace kijunchi
