#pragma once
// Histogram classes and the chart.
#include "analysis/store.h"
#include "report/canvas.h"

namespace kijunchi {

// CountClasses: equal classes from the rounded minimum; a value on an upper bound belongs to
// the lower class; the scan goes on until every value is counted (CalcError beyond 1000
// classes).
void CountClasses(AnalysisStore& store);

// DrawHistogram: the standardised histogram and the normal density; n is the number of values
// before the report step.
void DrawHistogram(const AnalysisStore& store, int n, Canvas& canvas);

}  // namespace kijunchi
