#pragma once
#include "analysis/store.h"

namespace kijunchi {

// Percentiles (from the untransformed values), parametric limits with their confidence
// intervals, and the back-transformation to the measurement scale. MeanValue and SDValue are
// still at full precision here.
void computeReferenceInterval(AnalysisStore& store);

// The inverse of y = (x^λ - 1)/λ + λ for λ other than 0: (λ·y - λ² + 1)^(1/λ). CalcError where
// no positive x gives y (a negative base, except for λ = 1, the identity) or the power fails.
double inversePowerTransform(double lambda, double y);

}  // namespace kijunchi
