#include "indirect/indirect_estimate.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "indirect/power_shift_fit.h"
#include "indirect/truncated_fit.h"

namespace kijunchi {

namespace {

constexpr double kZ975 = 1.959963984540054;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Thresholds of the caution, in standard deviations of the transformed non-pathological
// distribution (a limit's z-score against its own fit): chosen on the benchmark so that limits
// off by more than one unit are warned and limits within a quarter unit mostly are not.
constexpr double kMethodsDisagree = 0.4;
constexpr double kFitsDisagree = 0.4;
constexpr double kWideInterval = 0.8;  // the 90% interval's half width
constexpr double kSmallShare = 0.5;
// Below this coefficient of variation of the non-pathological results λ is not identifiable.
constexpr double kSmallVariation = 0.08;

// The z-score of x under the fit of r.
double zOnFit(const IndirectResult& r, double x) {
    const double v = x - r.shift;
    if (!(v > 0)) return -std::numeric_limits<double>::infinity();
    const double y =
        std::abs(r.lambda) < 1e-9 ? std::log(v) : std::expm1(r.lambda * std::log(v)) / r.lambda;
    return (y + r.lambda - r.mu) / r.sigma;
}

void join(std::string& to, const std::string& what, const char* separator) {
    if (!to.empty()) to += separator;
    to += what;
}

void check(IndirectResult& r, const IndirectResult* other) {
    std::vector<std::string> reasons;
    const double span = r.upper - r.lower;
    const double centre = 0.5 * (r.upper + r.lower);
    if (centre > 0 && span / (2 * kZ975) / centre < kSmallVariation)
        join(r.remark, "ばらつきが小さくλは定まりません（限界値はλにほとんど依存しません）", "。");
    if (other && other->estimated()) {
        r.otherLower = other->lower;
        r.otherUpper = other->upper;
        const double dz = std::max(std::abs(zOnFit(r, other->lower) + kZ975),
                                   std::abs(zOnFit(r, other->upper) - kZ975));
        r.separationSpread = std::max(r.separationSpread, std::isfinite(dz) ? dz : 99.0);
        if (!(dz <= kMethodsDisagree))
            reasons.emplace_back(std::string("二つの方法（") + indirectMethodName(r.method) + "・" +
                                 indirectMethodName(other->method) + "）の限界値が食い違います");
        // The intervals take in the other method's limits: the uncertainty of the separation.
        if (std::isfinite(r.lowerCiLow)) {
            r.lowerCiLow = std::min(r.lowerCiLow, other->lower);
            r.lowerCiHigh = std::max(r.lowerCiHigh, other->lower);
            r.upperCiLow = std::min(r.upperCiLow, other->upper);
            r.upperCiHigh = std::max(r.upperCiHigh, other->upper);
        }
    } else {
        r.samplingOnly = true;
        if (other) reasons.emplace_back("もう一つの方法で確かめられません");
    }
    if (r.separationSpread > kFitsDisagree && reasons.empty())
        reasons.emplace_back("ほぼ同じく当てはまる別の分け方で限界値が変わります");
    if (std::isfinite(r.lowerCiLow)) {
        const double half = 0.5 * std::max(zOnFit(r, r.lowerCiHigh) - zOnFit(r, r.lowerCiLow),
                                           zOnFit(r, r.upperCiHigh) - zOnFit(r, r.upperCiLow));
        if (!(half <= kWideInterval)) reasons.emplace_back("限界値の90%区間が広すぎます");
    }
    if (r.fraction < kSmallShare)
        reasons.emplace_back("病的な値の割合が半分を超えると推定されました");
    if (r.method == IndirectMethod::PowerShift && (r.lambda <= -0.98 || r.lambda >= 1.98))
        reasons.emplace_back("λが探索範囲の端に達しました");
    for (const auto& reason : reasons) join(r.caution, reason, "、");
    if (!r.caution.empty()) r.caution = "注意: " + r.caution;
}

}  // namespace

const char* indirectMethodKey(IndirectMethod method) {
    return method == IndirectMethod::PowerShift ? "power-shift" : "truncated";
}

const char* indirectMethodName(IndirectMethod method) {
    return method == IndirectMethod::PowerShift ? "移動べき正規" : "切断べき正規";
}

std::optional<IndirectMethod> indirectMethodFromKey(const std::string& key) {
    if (key == "power-shift") return IndirectMethod::PowerShift;
    if (key == "truncated") return IndirectMethod::Truncated;
    return std::nullopt;
}

IndirectResult estimateIndirect(const ValueCounts& counts, const IndirectOptions& options) {
    const auto run = [&](IndirectMethod method, const IndirectOptions& o) {
        return method == IndirectMethod::PowerShift ? estimatePowerShift(counts, o)
                                                    : estimateTruncated(counts, o);
    };
    IndirectResult r = run(options.method, options);
    if (!r.estimated()) return r;
    std::optional<IndirectResult> other;
    if (options.crossCheck) {
        IndirectOptions o = options;
        o.resamples = -1;  // its point estimate alone
        other = run(options.method == IndirectMethod::PowerShift ? IndirectMethod::Truncated
                                                                 : IndirectMethod::PowerShift,
                    o);
        if (!other->refusal.empty() && other->refusal.rfind("推定を中止", 0) == 0) {
            r.refusal = other->refusal;
            r.lower = r.upper = kNaN;
            return r;
        }
    }
    check(r, other ? &*other : nullptr);
    return r;
}

double indirectDensity(const IndirectResult& r, double x) {
    const double v = x - r.shift;
    if (!(v > 0) || !(r.sigma > 0)) return 0;
    const double z = zOnFit(r, x);
    return std::exp(-0.5 * z * z) / (r.sigma * std::sqrt(2 * std::numbers::pi)) *
           std::pow(v, r.lambda - 1);
}

}  // namespace kijunchi
