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
// distribution (a limit's z-score against its own fit). Chosen on half of the benchmark's sets
// (those with an even seed) so that limits off by more than one unit are warned and limits
// within a quarter unit mostly are not, and checked on the other half and on independent
// simulations (docs/indirect-separation.md).
//
// The two methods' limits may differ by this much. With more than kLargePartition results the
// sampling error of either is small beside their models' own difference (the truncated method
// has no shift and fits another window), which reached 1.4 units for limits within a quarter
// unit of the truth, while a failed separation moved a limit by several units.
constexpr double kMethodsDisagree = 0.4;
constexpr double kMethodsDisagreeLarge = 0.8;
constexpr std::int64_t kLargePartition = 5000;
// Nearly as good fits whose limits lie this far apart: a doubt where the results are few (with
// many, the near-equal alternatives the search ends in are degenerate ones, not other
// separations).
constexpr double kFitsDisagree = 1.0;
// The resamples' own 90% interval: a half width beyond this says the refits jump between
// separations.
constexpr double kWideInterval = 0.5;
// Beyond the resamples and the other method's limit, the intervals reach this much further
// either way: the bias of the separation the benchmark found (at 20% pathological results or
// fewer, the two methods' difference and the resamples alone held the truth 64% of the time).
constexpr double kSeparationAllowance = 0.15;
// A limit with pathological results beyond it reaches inward by this many units per unit share
// of the results beyond it: overlapping pathological results pull a limit outward, by about
// 0.2 units at 17% beyond in the benchmark and 0.45 units at 15% in the independent
// simulations (a wider overlap).
constexpr double kOverlapPull = 3.0;
// This many results or fewer, and the other method gave none: a limit with pathological
// results beyond it is not confirmed.
constexpr std::int64_t kUncheckedSmall = 5000;
// A limit faces pathological results where more results lie beyond it than the fit's 2.5% of
// the non-pathological ones, by this many Poisson standard deviations.
constexpr double kExposed = 2.0;
// More results beyond a limit than the fit's pathological share (plus this share of all the
// results) contradict the fit: the share or the limit is wrong.
constexpr double kBeyondShare = 0.05;
// A non-pathological share under one half is said; near the fit's floor (0.3) it is a doubt.
constexpr double kSmallShare = 0.5;
constexpr double kFloorShare = 0.35;
// A shoulder on the right taken in with λ ≥ 0: the fit widens its upper tail and cuts its lower
// tail short with the shift, leaving the lowest results, which continue the main peak's lower
// side, below its support as pathological. The caution where the fit holds nearly all results
// non-pathological (at least kShoulderShare), more than kBelowShift of all the results and more
// than half of its pathological share lie at or below its shift (so that it found hardly any
// pathological results above the peak), and its upper limit lies more than kUnshiftedBend units
// beyond that of the log-normal without a shift through its median and lower limit (the fit is
// more skewed than the log-normal that its own lower half describes). A clean log-normal of 1000
// results whose shift cut into the lower tail (P = 0.905, 3% below the shift) is not named.
constexpr double kShoulderShare = 0.9;
constexpr double kBelowShift = 0.01;
constexpr double kUnshiftedBend = 0.5;
// Below this coefficient of variation of the non-pathological results λ is not identifiable.
constexpr double kSmallVariation = 0.08;

}  // namespace

double indirectZ(const IndirectResult& r, double x) {
    const double v = x - r.shift;
    if (!(v > 0)) return -std::numeric_limits<double>::infinity();
    const double y =
        std::abs(r.lambda) < 1e-9 ? std::log(v) : std::expm1(r.lambda * std::log(v)) / r.lambda;
    return (y + r.lambda - r.mu) / r.sigma;
}

namespace {

double zOnFit(const IndirectResult& r, double x) {
    return indirectZ(r, x);
}

// The value whose z-score under the fit of r is z; NaN where there is none.
double fromZ(const IndirectResult& r, double z) {
    const double y = r.mu + z * r.sigma - r.lambda;
    if (std::abs(r.lambda) < 1e-9) return r.shift + std::exp(y);
    const double base = 1 + r.lambda * y;
    if (!(base > 0)) return r.lambda > 0 ? r.shift : kNaN;
    return r.shift + std::exp(std::log(base) / r.lambda);
}

// How far beyond the upper limit of the log-normal with the fit's shift, median and lower limit
// the fit's upper limit lies, in units of the fit: what a λ below 0 adds to it. NaN where there
// is no such log-normal.
double bendOfUpper(const IndirectResult& r) {
    const double median = fromZ(r, 0) - r.shift, lower = r.lower - r.shift;
    if (!(median > 0) || !(lower > 0)) return kNaN;
    return kZ975 - zOnFit(r, r.shift + median * median / lower);
}

// How far beyond the upper limit of the log-normal without a shift through the fit's median and
// lower limit the fit's upper limit lies, in units of the fit. NaN where there is none.
double unshiftedBend(const IndirectResult& r) {
    const double median = fromZ(r, 0);
    if (!(median > 0) || !(r.lower > 0)) return kNaN;
    return kZ975 - zOnFit(r, median * median / r.lower);
}

// The share of the results at or below the fit's shift (censored ones whose limit is).
double shareBelowShift(const IndirectResult& r, const ValueCounts& counts) {
    double below = 0;
    for (const auto& [v, n] : counts.below())
        if (v <= r.shift) below += static_cast<double>(n);
    for (const auto& [v, n] : counts.sorted()) {
        if (v > r.shift) break;
        below += static_cast<double>(n);
    }
    return r.total > 0 ? below / static_cast<double>(r.total) : kNaN;
}

void join(std::string& to, const std::string& what, const char* separator) {
    if (!to.empty()) to += separator;
    to += what;
}

// Which limits a reason concerns, as the note names them.
std::string limitsNamed(bool lower, bool upper) {
    return lower && upper ? "下限と上限" : lower ? "下限" : "上限";
}

// The results beyond a limit against the fit: how many more lie beyond it than the fit's 2.5% of
// the non-pathological results, in Poisson standard deviations and as a share of all the
// results (censored ones counted on their side).
struct Beyond {
    double z = kNaN, share = kNaN;
};

Beyond excessBeyond(const IndirectResult& r, const ValueCounts& counts, bool lower) {
    const double limit = lower ? r.lower : r.upper;
    double beyond = static_cast<double>(lower ? r.censoredBelow : r.censoredAbove);
    for (const auto& [v, n] : counts.sorted())
        if (lower ? v < limit : v > limit) beyond += static_cast<double>(n);
    const double total = static_cast<double>(r.total);
    const double expected = 0.025 * r.fraction * total;
    if (!(expected > 0)) return {};
    return {(beyond - expected) / std::sqrt(expected), (beyond - expected) / total};
}

void check(IndirectResult& r, const IndirectResult* other, const ValueCounts& counts) {
    r.methodsLowerZ = r.methodsUpperZ = r.samplingLowerZ = r.samplingUpperZ = kNaN;
    const auto doubt = [&](bool lower, bool upper, const std::string& reason) {
        if (!lower && !upper) return;
        r.reasons.push_back({reason, lower, upper});
    };
    if (std::isfinite(r.lowerCiLow)) {
        r.samplingLowerZ = 0.5 * (zOnFit(r, r.lowerCiHigh) - zOnFit(r, r.lowerCiLow));
        r.samplingUpperZ = 0.5 * (zOnFit(r, r.upperCiHigh) - zOnFit(r, r.upperCiLow));
    }
    const Beyond beyondLower = excessBeyond(r, counts, true);
    const Beyond beyondUpper = excessBeyond(r, counts, false);
    const bool exposedLower = beyondLower.z > kExposed, exposedUpper = beyondUpper.z > kExposed;
    const double span = r.upper - r.lower;
    const double centre = 0.5 * (r.upper + r.lower);
    if (centre > 0 && span / (2 * kZ975) / centre < kSmallVariation)
        join(r.remark, "ばらつきが小さくλは定まりません（限界値はλにほとんど依存しません）", "。");
    if (other && other->estimated()) {
        r.otherLower = other->lower;
        r.otherUpper = other->upper;
        const double dl = r.methodsLowerZ = std::abs(zOnFit(r, other->lower) + kZ975);
        const double du = r.methodsUpperZ = std::abs(zOnFit(r, other->upper) - kZ975);
        const double allowed = r.total > kLargePartition ? kMethodsDisagreeLarge : kMethodsDisagree;
        const bool l = !(dl <= allowed), u = !(du <= allowed);
        doubt(l, u,
              limitsNamed(l, u) + "は二つの方法（" + indirectMethodName(r.method) + "・" +
                  indirectMethodName(other->method) + "）で食い違います");
        // The intervals reach at least as far as the other method's limit to either side: the
        // uncertainty of the separation, which the resamples of one method do not show.
        if (std::isfinite(r.lowerCiLow)) {
            const double wl = std::abs(other->lower - r.lower);
            const double wu = std::abs(other->upper - r.upper);
            r.lowerCiLow = std::min(r.lowerCiLow, r.lower - wl);
            r.lowerCiHigh = std::max(r.lowerCiHigh, r.lower + wl);
            r.upperCiLow = std::min(r.upperCiLow, r.upper - wu);
            r.upperCiHigh = std::max(r.upperCiHigh, r.upper + wu);
            // Pathological results beyond a limit that overlap the non-pathological tail pull it
            // outward: its interval reaches inward in proportion to their share.
            const auto inward = [](const Beyond& b, bool exposed) {
                return exposed ? kOverlapPull * std::max(0.0, b.share) : 0.0;
            };
            const auto widen = [&](double& low, double& high, double down, double up) {
                const double a = fromZ(r, zOnFit(r, low) - kSeparationAllowance - down);
                const double b = fromZ(r, zOnFit(r, high) + kSeparationAllowance + up);
                if (std::isfinite(a)) low = std::min(low, a);
                if (std::isfinite(b)) high = std::max(high, b);
            };
            widen(r.lowerCiLow, r.lowerCiHigh, 0, inward(beyondLower, exposedLower));
            widen(r.upperCiLow, r.upperCiHigh, inward(beyondUpper, exposedUpper), 0);
        }
    } else {
        r.samplingOnly = true;
        // Few results and no second estimate: a limit with pathological results beyond it may
        // have taken some of them in; one with none beyond it rests on the bulk.
        if (other && r.total <= kUncheckedSmall) {
            const bool l = exposedLower, u = exposedUpper;
            doubt(l, u, limitsNamed(l, u) + "は結果が少なく、もう一つの方法で確かめられません");
        }
    }
    // The resamples' own intervals, before they were widened for the separation above.
    {
        const bool l = !(r.samplingLowerZ <= kWideInterval) && std::isfinite(r.lowerCiLow);
        const bool u = !(r.samplingUpperZ <= kWideInterval) && std::isfinite(r.upperCiLow);
        doubt(l, u, limitsNamed(l, u) + "の90%区間が広すぎます");
    }
    {
        const double room = 1 - r.fraction + kBeyondShare;
        const bool l = beyondLower.share > room, u = beyondUpper.share > room;
        doubt(l, u, limitsNamed(l, u) + "の外の結果が、推定した病的な値の割合より多くあります");
    }
    if (r.separationSpread > kFitsDisagree && r.total <= kLargePartition)
        doubt(true, true, "ほぼ同じく当てはまる別の分け方で限界値が変わります");
    if (r.fraction < kFloorShare)
        doubt(true, true, "病的な値の割合が半分を超えると推定されました");
    else if (r.fraction < kSmallShare)
        join(r.remark, "病的な値の割合が半分を超えると推定されました", "。");
    if (r.method == IndirectMethod::PowerShift && (r.lambda <= -0.98 || r.lambda >= 1.98))
        doubt(true, true, "λが探索範囲の端に達しました");
    else if (r.lambda < 0 && bendOfUpper(r) > kBentUpper)
        doubt(false, true, "λが負で、右側の病的な値の肩に引かれている恐れがあります");
    if (r.method == IndirectMethod::PowerShift && r.fraction >= kShoulderShare && r.shift > 0 &&
        unshiftedBend(r) > kUnshiftedBend) {
        const double below = shareBelowShift(r, counts);
        if (below > kBelowShift && below > 0.5 * (1 - r.fraction))
            doubt(false, true, "上限は右側の病的な値の肩を取り込んでいる恐れがあります");
    }
    for (const auto& reason : r.reasons) {
        join(r.caution, reason.text, "、");
        r.lowerCautioned = r.lowerCautioned || reason.lower;
        r.upperCautioned = r.upperCautioned || reason.upper;
    }
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
    const IndirectMethod otherMethod = options.method == IndirectMethod::PowerShift
                                           ? IndirectMethod::Truncated
                                           : IndirectMethod::PowerShift;
    if (!r.estimated()) {
        // Refused for the data (too few, censored, too few values) or stopped: so it stays.
        for (const char* reason : {"個しかありません", "打ち切り値", "5種類未満", "中止"})
            if (r.refusal.find(reason) != std::string::npos) return r;
        // Refused for the separation: the other method's estimate, if it gives one, cautioned.
        if (!options.crossCheck) return r;
        IndirectResult fallback = run(otherMethod, options);
        if (!fallback.estimated()) return r;
        check(fallback, nullptr, counts);
        fallback.lowerCautioned = fallback.upperCautioned = true;
        fallback.reasons.insert(
            fallback.reasons.begin(),
            {std::string(indirectMethodName(options.method)) + "では分けられず、" +
                 indirectMethodName(otherMethod) + "による推定です",
             true, true});
        fallback.caution = "注意: " + std::string(indirectMethodName(options.method)) +
                           "では分けられず、" + indirectMethodName(otherMethod) + "による推定です" +
                           (fallback.caution.empty() ? "" : "、" + fallback.caution.substr(8));
        return fallback;
    }
    std::optional<IndirectResult> other;
    if (options.crossCheck) {
        IndirectOptions o = options;
        o.resamples = -1;  // its point estimate alone
        other = run(otherMethod, o);
        if (!other->refusal.empty() && other->refusal.rfind("推定を中止", 0) == 0) {
            r.refusal = other->refusal;
            r.lower = r.upper = kNaN;
            return r;
        }
    }
    check(r, other ? &*other : nullptr, counts);
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
