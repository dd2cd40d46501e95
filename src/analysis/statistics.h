#pragma once
// Sorting, percentiles and decimal rounding.
#include "analysis/store.h"

namespace kijunchi {

// WorkCount = DataCount, then SortedValues(1..n) ascending. Slot 0 and slots above n stay.
void SortValues(AnalysisStore& store);

// Reads PercentileLevel (in percent), WorkCount and the sorted SortedValues(1..n); writes
// PercentileValue and PercentileText (the caller takes the text).
void ComputePercentile(AnalysisStore& store);

// The same on other sorted values: x[1..n] (x[0] unused), through the store's exchange.
void ComputePercentile(AnalysisStore& store, const double* x, int n);

// floor(v·10^d + 0.5) / 10^d in double precision: halves go up, towards plus infinity.
double RoundDecimal(double v, double d);

}  // namespace kijunchi
