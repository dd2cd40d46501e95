#pragma once
// Checked arithmetic for the analysis: every operation that could leave the real numbers
// (division by zero, 0/0, a root or logarithm out of domain, a negative base under a
// fractional power, overflow) raises CalcError instead of producing NaN or infinity.
#include <cmath>
#include <stdexcept>

namespace kijunchi {

// The one failure of a calculation. Only the analysis run and the transformation's own
// refusal catch it.
class CalcError : public std::runtime_error {
public:
    explicit CalcError(const char* what) : std::runtime_error(what) {}
};

namespace checked {

inline double fin(double v) {
    if (!std::isfinite(v)) throw CalcError("non-finite intermediate");
    return v;
}
inline double add(double a, double b) {
    return fin(a + b);
}
inline double sub(double a, double b) {
    return fin(a - b);
}
inline double mul(double a, double b) {
    return fin(a * b);
}
inline double div(double a, double b) {
    if (b == 0.0) throw CalcError("division by zero");
    return fin(a / b);
}
inline double sqrt(double v) {
    if (v < 0.0) throw CalcError("square root of a negative number");
    return fin(std::sqrt(v));
}
inline double log(double v) {
    if (!(v > 0.0)) throw CalcError("logarithm out of domain");
    return fin(std::log(v));
}
inline double exp(double v) {
    return fin(std::exp(v));
}
// x ^ y: a negative base needs a whole exponent, zero needs a non-negative one.
inline double pow(double x, double y) {
    if (x < 0.0 && std::trunc(y) != y) throw CalcError("negative base under a fractional power");
    if (x == 0.0 && y < 0.0) throw CalcError("division by zero");
    return fin(std::pow(x, y));
}

}  // namespace checked
}  // namespace kijunchi
