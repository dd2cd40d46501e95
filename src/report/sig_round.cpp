#include "report/sig_round.h"

#include <array>
#include <charconv>
#include <cmath>
#include <string>

#include "analysis/checked.h"
#include "analysis/statistics.h"

namespace kijunchi {

namespace {

constexpr int kLowestDecade = -324;
constexpr int kHighestDecade = 308;

// The decade boundaries 1E-324 .. 1E308 exactly as the compiler reads such literals.
const std::array<double, kHighestDecade - kLowestDecade + 1>& decadeBounds() {
    static const auto bounds = [] {
        std::array<double, kHighestDecade - kLowestDecade + 1> table{};
        for (int e = kLowestDecade; e <= kHighestDecade; ++e) {
            const std::string literal = "1E" + std::to_string(e);
            double bound = 0;
            std::from_chars(literal.data(), literal.data() + literal.size(), bound);
            table[static_cast<std::size_t>(e - kLowestDecade)] = bound;
        }
        return table;
    }();
    return bounds;
}

double bound(int e) {
    return decadeBounds()[static_cast<std::size_t>(e - kLowestDecade)];
}

// The decade e of a positive magnitude a: 1E(e) <= a < 1E(e+1).
int decadeOf(double a) {
    int e = static_cast<int>(std::floor(std::log10(a)));
    if (e < kLowestDecade) e = kLowestDecade;
    if (e > kHighestDecade) e = kHighestDecade;
    while (e > kLowestDecade && a < bound(e)) --e;
    while (e < kHighestDecade && a >= bound(e + 1)) ++e;
    return e;
}

}  // namespace

double SigRound(double v, int figures) {
    checked::fin(v);
    if (v == 0.0) return RoundDecimal(0.0, figures);
    const int d = figures - 1 - decadeOf(std::fabs(v));
    if (d <= 300) {
        const double rounded = std::floor(v * std::pow(10.0, d) + 0.5) / std::pow(10.0, d);
        if (std::isfinite(rounded)) return RoundDecimal(v, d);
        // Within a half unit of the largest double: rounding away from zero would leave the
        // numbers, so the last digit is cut instead.
        return std::trunc(v * std::pow(10.0, d)) / std::pow(10.0, d);
    }
    // Magnitudes below about 1E-297: scale in two steps so that 10^d stays finite.
    const double first = std::pow(10.0, 300);
    const double second = std::pow(10.0, d - 300);
    const double scaled = std::floor(v * first * second + 0.5);
    return checked::fin(scaled / first / second);
}

}  // namespace kijunchi
