#include "analysis/power_formula.h"

#include "analysis/checked.h"

namespace kijunchi {

using namespace checked;

double powerTransform(double lambda, double x) {
    return lambda == 0.0 ? log(x) : add(div(sub(pow(x, lambda), 1), lambda), lambda);
}

std::optional<double> powerTransformed(double lambda, double x) {
    try {
        return powerTransform(lambda, x);
    } catch (const CalcError&) {
        return std::nullopt;
    }
}

double inversePowerTransform(double lambda, double y) {
    const double base = add(sub(mul(lambda, y), pow(lambda, 2)), 1);
    // The transformation maps the positive x onto the y whose base is positive (or zero, the
    // image of x = 0 for λ > 0): a base below zero belongs to no measured value, whatever
    // power 1/λ is.
    if (base < 0 && lambda != 1.0) throw CalcError("outside the range of the transformation");
    return pow(base, div(1, lambda));
}

std::optional<double> backTransform(double y, double lambda) {
    try {
        if (lambda == 0.0) return exp(y);
        return inversePowerTransform(lambda, y);
    } catch (const CalcError&) {
        return std::nullopt;
    }
}

}  // namespace kijunchi
