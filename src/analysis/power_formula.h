#pragma once
// The modified power transformation y = (x^λ − 1)/λ + λ (λ = 0: ln x) and its inverse
// x = (λ·y − λ² + 1)^(1/λ) (λ = 0: e^y): the one place where either is computed.
#include <optional>

namespace kijunchi {

// y of x, in checked arithmetic: CalcError where y is undefined (x ≤ 0 for λ = 0, a negative x
// under a fractional power, 0 under a negative one, overflow).
double powerTransform(double lambda, double x);

// y of x; nullopt where it is undefined.
std::optional<double> powerTransformed(double lambda, double x);

// x of y for λ other than 0, in checked arithmetic: CalcError where no measured value has this
// y (a base below zero, or zero under a negative power). For λ = 1 the base is y itself and
// may be negative like any untransformed limit. (For λ = 0 the statistics report raises its
// own value of e, 2.71828182845905, to the power y.)
double inversePowerTransform(double lambda, double y);

// x of y; nullopt where no measured value has this y.
std::optional<double> backTransform(double y, double lambda);

}  // namespace kijunchi
