#include "adopted/adopted_check.h"

#include <cmath>
#include <numbers>

#include "analysis/distributions.h"
#include "analysis/power_formula.h"

namespace kijunchi {

double marginFactor(int n, double coverage) {
    const double p = kMarginPercentile;
    const double zp = normalQuantile(1 - p);
    const double density = std::exp(-zp * zp / 2) / std::sqrt(2 * std::numbers::pi);
    const double z = normalQuantile((1 + coverage) / 2);
    return z * std::sqrt(p * (1 - p) / n) / density;
}

std::optional<IntervalMargins> uncertaintyMargins(double lower, double upper, double lambda,
                                                  double shift) {
    if (!(lower < upper) || !std::isfinite(lambda) || !std::isfinite(shift)) return std::nullopt;
    const auto yl = powerTransformed(lambda, lower - shift);
    const auto yu = powerTransformed(lambda, upper - shift);
    if (!yl || !yu || !std::isfinite(*yl) || !std::isfinite(*yu) || !(*yl < *yu))
        return std::nullopt;
    const double sigma = (*yu - *yl) / (2 * normalQuantile(1 - kMarginPercentile));
    const double half = marginFactor() * sigma;
    // A margin's end beyond what any measured value reaches (below 0 under a power) stops at
    // the edge of the scale: 0 below, without end above.
    auto back = [&](double y, bool low) {
        if (const auto x = backTransform(y, lambda)) return *x + shift;
        return low ? (lambda > 0 ? shift : -INFINITY) : INFINITY;
    };
    IntervalMargins m;
    m.lower = {back(*yl - half, true), back(*yl + half, false)};
    m.upper = {back(*yu - half, true), back(*yu + half, false)};
    return m;
}

std::string verdictText(Verdict v) {
    switch (v) {
        case Verdict::Compatible:
            return "適合";
        case Verdict::LocalHigher:
            return "要検討（自施設の値が高い）";
        case Verdict::LocalLower:
            return "要検討（自施設の値が低い）";
        case Verdict::NotJudged:
            break;
    }
    return "判定できません";
}

std::string AdoptedComparison::overallText() const {
    if (overall == Verdict::Compatible) return "適合";
    if (overall == Verdict::NotJudged) return "判定できません（" + reason + "）";
    return "要検討";
}

AdoptedComparison notComparable(const std::string& reason) {
    AdoptedComparison c;
    c.adoptedLower = c.adoptedUpper = NAN;
    c.reason = reason;
    return c;
}

namespace {

Verdict judge(const Margin& adopted, const Margin& estimated, double adoptedLimit,
              double estimatedLimit) {
    if (std::max(adopted.low, estimated.low) <= std::min(adopted.high, estimated.high))
        return Verdict::Compatible;
    return estimatedLimit > adoptedLimit ? Verdict::LocalHigher : Verdict::LocalLower;
}

}  // namespace

AdoptedComparison compareWithAdopted(double adoptedLower, double adoptedUpper,
                                     const LocalEstimate& local) {
    AdoptedComparison c;
    c.adoptedLower = adoptedLower;
    c.adoptedUpper = adoptedUpper;
    if (!local.notUsable.empty()) {
        c.reason = local.notUsable;
        return c;
    }
    c.estimatedMargins = uncertaintyMargins(local.lower, local.upper, local.lambda, local.shift);
    // The adopted interval on the local scale; where a limit lies at or below the local fit's
    // shift (outside its support) the same λ without the shift, and where that cannot take it
    // either (0 under ln), the measurement scale itself.
    c.adoptedMargins = uncertaintyMargins(adoptedLower, adoptedUpper, local.lambda, local.shift);
    if (!c.adoptedMargins)
        c.adoptedMargins = uncertaintyMargins(adoptedLower, adoptedUpper, local.lambda, 0);
    if (!c.adoptedMargins) c.adoptedMargins = uncertaintyMargins(adoptedLower, adoptedUpper, 1, 0);
    if (!c.estimatedMargins) {
        c.reason = "推定した基準範囲に不確かさの幅を付けられません";
        return c;
    }
    if (!c.adoptedMargins) {
        c.reason = "採用中の基準範囲が推定の変換（λ）の尺度に乗りません（0以下の限界など）";
        return c;
    }
    c.lower = judge(c.adoptedMargins->lower, c.estimatedMargins->lower, adoptedLower, local.lower);
    c.upper = judge(c.adoptedMargins->upper, c.estimatedMargins->upper, adoptedUpper, local.upper);
    c.overall = c.lower == Verdict::Compatible && c.upper == Verdict::Compatible
                    ? Verdict::Compatible
                    : Verdict::LocalHigher;  // 要検討: the cells of the limits tell which way
    return c;
}

}  // namespace kijunchi
