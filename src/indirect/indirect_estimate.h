#pragma once
// The indirect method: reference limits from routine results, a mixture of a non-pathological
// majority and pathological values. Two ways of separating them (indirect/power_shift_fit.h,
// the default, and indirect/truncated_fit.h); the partition is estimated by the chosen one and
// checked against the other, and its row says how far its limits can be trusted.
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "indirect/value_counts.h"

namespace kijunchi {

enum class IndirectMethod {
    PowerShift,  // the shifted power-normal fitted around the main peak
    Truncated,   // the truncated power-normal with truncation points chosen by the KS distance
};

// The method's name on the command line ("power-shift", "truncated") and its Japanese name.
const char* indirectMethodKey(IndirectMethod method);
const char* indirectMethodName(IndirectMethod method);
std::optional<IndirectMethod> indirectMethodFromKey(const std::string& key);

struct IndirectOptions {
    std::uint64_t seed = 20240;
    // Bootstrap resamples for the 90% intervals; 0: the method's own number; below 0: none
    // (the point estimates alone).
    int resamples = 0;
    // Set from another thread to stop the estimate, which then ends refused as stopped.
    const std::atomic<bool>* cancel = nullptr;
    IndirectMethod method = IndirectMethod::PowerShift;
    // Estimate with the other method as well and compare (the checks of the row's caution).
    bool crossCheck = true;
};

// The smallest partition the method estimates from.
inline constexpr std::int64_t kIndirectMinimum = 1000;

struct IndirectResult {
    IndirectMethod method = IndirectMethod::PowerShift;
    std::int64_t total = 0;  // results in the partition, censored ones included
    std::int64_t censoredBelow = 0, censoredAbove = 0;
    std::int64_t used = 0;  // results the fit was made on (between the truncation points)
    // Empty when the limits were estimated; else why not, in Japanese ("推定できません: …").
    std::string refusal;
    // The fit (NaN where none was made). The non-pathological results x are such that the
    // modified power transformation of x − shift, y = ((x − shift)^λ − 1)/λ + λ, is normal
    // with mean μ and standard deviation σ.
    double lowerTruncation = 0, upperTruncation = 0;
    double fraction = 0;  // estimated non-pathological fraction of the total
    double lambda = 0, mu = 0, sigma = 0, shift = 0;
    double ksDistance = 0;
    double lower = 0, upper = 0;
    // 90% intervals of the limits.
    double lowerCiLow = 0, lowerCiHigh = 0, upperCiLow = 0, upperCiHigh = 0;
    int resamples = 0;        // resamples asked for
    int resamplesFitted = 0;  // of which gave limits
    std::uint64_t seed = 0;
    // The other method's limits (NaN where it gave none or was not asked).
    double otherLower = 0, otherUpper = 0;
    // Largest disagreement of the limits, of the two methods and of the fits the bootstrap
    // accepted, in standard deviations of the transformed non-pathological distribution.
    double separationSpread = 0;
    // Remarks that do not doubt the limits ("λは定まりません…"), joined by "。".
    std::string remark;
    // Why the limits should not be used without a look ("注意: …"); empty when none. Which of
    // the two limits it concerns.
    std::string caution;
    bool lowerCautioned = false, upperCautioned = false;
    // The caution's reasons one by one, with the limits each concerns (the caution joins them).
    struct Reason {
        std::string text;
        bool lower = false, upper = false;
    };
    std::vector<Reason> reasons;
    // The diagnostics behind the caution, in standard deviations of the fit (NaN where not
    // made): how far the other method's limits lie from these, and the half widths of the
    // resamples' own 90% intervals (before they were widened for the separation).
    double methodsLowerZ = 0, methodsUpperZ = 0;
    double samplingLowerZ = 0, samplingUpperZ = 0;
    // The 90% intervals hold the sampling error only, not the uncertainty of the separation.
    bool samplingOnly = false;
    bool estimated() const { return refusal.empty(); }
};

// The partition's estimate by the chosen method, checked. Never throws: a calculation error
// becomes the partition's refusal.
IndirectResult estimateIndirect(const ValueCounts& counts, const IndirectOptions& options = {});

// The z-score of x under the fit: (y(x − shift) − μ)/σ; −∞ at or below the shift.
double indirectZ(const IndirectResult& r, double x);

// The fitted non-pathological density at x (0 outside its support).
double indirectDensity(const IndirectResult& r, double x);

}  // namespace kijunchi
