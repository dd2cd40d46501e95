#pragma once
#include "analysis/power_formula.h"
#include "analysis/store.h"

namespace kijunchi {

// Percentiles (from the untransformed values), parametric limits with their confidence
// intervals, and the back-transformation to the measurement scale. MeanValue and SDValue are
// still at full precision here.
void computeReferenceInterval(AnalysisStore& store);

}  // namespace kijunchi
