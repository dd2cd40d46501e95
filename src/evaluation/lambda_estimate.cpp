#include "evaluation/lambda_estimate.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <functional>
#include <limits>

#include "transform/power_transform.h"

namespace kijunchi {

namespace {

constexpr double kMinusInfinity = -std::numeric_limits<double>::infinity();

// Brent's minimisation (golden section with parabolic steps) of f on [a, b]; returns the
// abscissa found within tol.
template <typename F>
double brentMinimum(F f, double a, double b, double tol) {
    constexpr double kGolden = 0.3819660112501051;  // (3 − √5) / 2
    double x = a + kGolden * (b - a);
    double w = x, v = x;
    double fx = f(x);
    double fw = fx, fv = fx;
    double d = 0, e = 0;
    for (int iteration = 0; iteration < 100; ++iteration) {
        const double m = 0.5 * (a + b);
        const double tol1 = tol + 1e-10 * std::fabs(x);
        const double tol2 = 2 * tol1;
        if (std::fabs(x - m) <= tol2 - 0.5 * (b - a)) break;
        bool golden = true;
        if (std::fabs(e) > tol1) {
            // Parabola through x, w, v.
            double r = (x - w) * (fx - fv);
            double q = (x - v) * (fx - fw);
            double p = (x - v) * q - (x - w) * r;
            q = 2 * (q - r);
            if (q > 0) p = -p;
            q = std::fabs(q);
            const double previous = e;
            e = d;
            if (std::fabs(p) < std::fabs(0.5 * q * previous) && p > q * (a - x) &&
                p < q * (b - x)) {
                d = p / q;
                const double u = x + d;
                if (u - a < tol2 || b - u < tol2) d = x < m ? tol1 : -tol1;
                golden = false;
            }
        }
        if (golden) {
            e = (x < m ? b : a) - x;
            d = kGolden * e;
        }
        const double u = std::fabs(d) >= tol1 ? x + d : x + (d > 0 ? tol1 : -tol1);
        const double fu = f(u);
        if (fu <= fx) {
            (u < x ? b : a) = x;
            v = w, fv = fw;
            w = x, fw = fx;
            x = u, fx = fu;
        } else {
            (u < x ? a : b) = u;
            if (fu <= fw || w == x) {
                v = w, fv = fw;
                w = u, fw = fu;
            } else if (fu <= fv || v == x || v == w) {
                v = u, fv = fu;
            }
        }
    }
    return x;
}

// A root of g between a and b, where g(a) and g(b) have opposite signs (regula falsi with the
// Illinois modification), within tol.
template <typename G>
double illinoisRoot(G g, double a, double b, double tol) {
    double ga = g(a), gb = g(b);
    int side = 0;
    for (int iteration = 0; iteration < 100 && std::fabs(b - a) > tol; ++iteration) {
        double c = (a * gb - b * ga) / (gb - ga);
        if (!(c > std::min(a, b) && c < std::max(a, b))) c = 0.5 * (a + b);
        const double gc = g(c);
        if (gc == 0) return c;
        if ((gc > 0) == (gb > 0)) {
            b = c, gb = gc;
            if (side == -1) ga /= 2;
            side = -1;
        } else {
            a = c, ga = gc;
            if (side == 1) gb /= 2;
            side = 1;
        }
    }
    return std::fabs(ga) < std::fabs(gb) ? a : b;
}

}  // namespace

namespace {

// The likelihood is flat at its top, so that comparing likelihoods finds λ̂ only to about the
// square root of the rounding (1e-7 here): the root of its slope next to the maximum found,
// bracketed within from .. to, gives it to 1e-12. Without a change of sign there, found stays.
double slopeRoot(const LambdaLikelihood& ml, double found, double from, double to) {
    for (double h = 1e-7; h < to - from; h *= 10) {
        const double a = std::max(from, found - h), b = std::min(to, found + h);
        const double ga = ml.slope(a), gb = ml.slope(b);
        if (ga > 0 && gb < 0)
            return illinoisRoot([&](double l) { return ml.slope(l); }, a, b, 1e-12);
        if (a == from && b == to) break;
    }
    return found;
}

// Equal values have equal logarithms, which spread() finds without a copy of them.
bool allEqual(std::span<const double> values) {
    return std::adjacent_find(values.begin(), values.end(), std::not_equal_to<>()) == values.end();
}

}  // namespace

LambdaLikelihood::LambdaLikelihood(std::span<const double> values) {
    centredLogs_.reserve(values.size());
    double sum = 0;
    for (const double v : values) {
        centredLogs_.push_back(std::log(v));
        sum += centredLogs_.back();
    }
    const double n = static_cast<double>(values.size());
    const double meanLog = sum / n;
    for (double& l : centredLogs_) l -= meanLog;
    logScale_ = -n * meanLog;
}

bool LambdaLikelihood::spread() const {
    // Equal values leave centred logarithms of rounding noise only, of the order of the
    // logarithms' own last digits.
    const auto [low, high] = std::minmax_element(centredLogs_.begin(), centredLogs_.end());
    if (low == centredLogs_.end()) return false;
    const double noise = 1e-12 * std::max(1.0, std::fabs(logScale_) / centredLogs_.size());
    return *high - *low > noise;
}

double LambdaLikelihood::operator()(double lambda) const {
    // With x = g·x' (g the geometric mean) the transformed values are g^λ·y(x') plus a
    // constant, so SS = g^2λ·SS' and the Jacobian is (λ − 1)·n·ln g: ML = ML' − n·ln g, where
    // ML' has the centred logarithms, whose Jacobian (λ − 1)·Σ ln x' is 0. expm1 keeps
    // (x'^λ − 1)/λ exact near λ = 0, where it tends to ln x'.
    const double n = static_cast<double>(centredLogs_.size());
    double s1 = 0, s2 = 0;
    if (lambda == 0) {
        for (const double l : centredLogs_) s1 += l, s2 += l * l;
    } else {
        for (const double l : centredLogs_) {
            const double y = std::expm1(lambda * l) / lambda;
            s1 += y;
            s2 += y * y;
        }
    }
    const double ss = s2 - s1 * s1 / n;  // the centred y have a mean near 0: no cancellation
    const double ml = profileLikelihood(n, ss, 0) + logScale_;
    return std::isfinite(ml) ? ml : kMinusInfinity;
}

double LambdaLikelihood::slope(double lambda) const {
    // y = (e^(λl) − 1)/λ and dy/dλ = (l·e^(λl) − y)/λ, which near λl = 0 loses its digits to
    // the difference: there its series l²/2 + λl³/3 + λ²l⁴/8 + λ³l⁵/30 + λ⁴l⁶/144.
    const double n = static_cast<double>(centredLogs_.size());
    double s1 = 0;
    for (const double l : centredLogs_) s1 += lambda == 0 ? l : std::expm1(lambda * l) / lambda;
    const double mean = s1 / n;
    double sum = 0;
    for (const double l : centredLogs_) {
        const double t = lambda * l;
        double y, dy;
        if (std::fabs(t) < 1e-2) {
            y = l * (1 + t / 2 * (1 + t / 3 * (1 + t / 4 * (1 + t / 5))));
            dy = l * l * (0.5 + t * (1.0 / 3 + t * (1.0 / 8 + t * (1.0 / 30 + t / 144))));
        } else {
            y = std::expm1(t) / lambda;
            dy = (l * std::exp(t) - y) / lambda;
        }
        sum += (y - mean) * dy;
    }
    return -sum;
}

std::optional<LambdaEstimate> estimateLambda(std::span<const double> values) {
    if (values.size() < 3) return std::nullopt;
    for (const double v : values)
        if (!(v > 0) || !std::isfinite(v)) return std::nullopt;
    if (allEqual(values)) return std::nullopt;
    const LambdaLikelihood ml(values);
    if (!ml.spread()) return std::nullopt;

    // A coarse scan finds the hill; the search then stays between its neighbours.
    constexpr int kSteps = 8;
    constexpr double kStep = (kLambdaSearchHigh - kLambdaSearchLow) / kSteps;
    std::array<double, kSteps + 1> at{}, grid{};
    int best = 0;
    for (int k = 0; k <= kSteps; ++k) {
        at[k] = kLambdaSearchLow + k * kStep;
        grid[k] = ml(at[k]);
        if (grid[k] > grid[best]) best = k;
    }
    if (grid[best] == kMinusInfinity) return std::nullopt;

    const double from = at[std::max(best - 1, 0)];
    const double to = at[std::min(best + 1, kSteps)];
    double lambda = brentMinimum([&](double l) { return -ml(l); }, from, to, 1e-7);
    lambda = slopeRoot(ml, lambda, from, to);
    double top = ml(lambda);
    // The search works inside the bracket; an end of the range is a candidate of its own.
    for (const double end : {kLambdaSearchLow, kLambdaSearchHigh}) {
        if (grid[best] >= top && at[best] == end) lambda = end, top = grid[best];
    }

    LambdaEstimate estimate{lambda, kLambdaSearchLow, kLambdaSearchHigh};
    estimate.likelihood = top;
    estimate.lambdaAtBound = lambda == kLambdaSearchLow || lambda == kLambdaSearchHigh;
    const double level = top - kLambdaIntervalDrop;
    auto drop = [&](double l) { return ml(l) - level; };
    // Each end: the nearest scan point beyond it on that side brackets the crossing.
    estimate.lowAtBound = true;
    for (int k = kSteps; k >= 0; --k) {
        if (at[k] >= lambda || grid[k] >= level) continue;
        const double inner = k + 1 <= kSteps && at[k + 1] < lambda ? at[k + 1] : lambda;
        estimate.ciLow = illinoisRoot(drop, at[k], inner, 1e-7);
        estimate.lowAtBound = false;
        break;
    }
    estimate.highAtBound = true;
    for (int k = 0; k <= kSteps; ++k) {
        if (at[k] <= lambda || grid[k] >= level) continue;
        const double inner = k - 1 >= 0 && at[k - 1] > lambda ? at[k - 1] : lambda;
        estimate.ciHigh = illinoisRoot(drop, inner, at[k], 1e-7);
        estimate.highAtBound = false;
        break;
    }
    return estimate;
}

std::vector<double> tableValues(const AnalysisStore& store) {
    const int n = store.WorkCount;
    std::vector<double> values;
    if (n < 0 || n > kMaxValues) return values;
    values.reserve(static_cast<std::size_t>(n));
    for (int i = 1; i <= n; ++i)
        values.push_back(store.DataValues[static_cast<std::size_t>(i)].toNumber());
    return values;
}

std::optional<LambdaEstimate> estimateLambda(const AnalysisStore& store) {
    const int n = store.WorkCount;
    if (n < 0 || n > kMaxValues) return std::nullopt;
    return estimateLambda(tableValues(store));
}

std::string lambdaMissingReason(std::span<const double> values) {
    if (values.size() < 3) return "正の値3個以上が必要";
    for (const double v : values)
        if (!(v > 0) || !std::isfinite(v)) return "0以下の値があるため";
    if (allEqual(values) || !LambdaLikelihood(values).spread()) return "すべての値が等しいため";
    if (!estimateLambda(values)) return "尤度を計算できないため";
    return {};
}

namespace {

// Fixed decimals with "." whatever the locale; no "-0.00".
std::string fixed(double v, int decimals) {
    char buffer[64];
    const auto end =
        std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::fixed, decimals).ptr;
    std::string text(buffer, end);
    if (text.find_first_not_of("-0.") == std::string::npos && text[0] == '-') text.erase(0, 1);
    return text;
}

}  // namespace

std::string lambdaEstimateText(const std::optional<LambdaEstimate>& estimate) {
    if (!estimate) return "最尤λ：求められません（正の値3個以上が必要）";
    std::string text = "最尤λ = " + fixed(estimate->lambda, 3);
    if (estimate->lambdaAtBound) text += "（範囲の端）";
    text += "（95%信頼区間 ";
    text += estimate->lowAtBound ? "-1未満" : fixed(estimate->ciLow, 2);
    text += " ～ ";
    text += estimate->highAtBound ? "3超" : fixed(estimate->ciHigh, 2);
    text += "）";
    return text;
}

std::string lambdaEstimateText(const std::optional<LambdaEstimate>& estimate,
                               std::span<const double> values) {
    if (estimate) return lambdaEstimateText(estimate);
    return "最尤λ：求められません（" + lambdaMissingReason(values) + "）";
}

int nearestTableRow(double lambda) {
    const double row = std::round((lambda - kLambdaSearchLow) * 10);
    return static_cast<int>(std::clamp(row, 0.0, 40.0));
}

}  // namespace kijunchi
