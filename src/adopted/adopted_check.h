#pragma once
// Whether an adopted reference interval suits the laboratory's own population, judged from the
// interval estimated from its routine results (the indirect method) by the overlap of
// uncertainty margins (Beck M. et al., "VeRUS", Clin Chem Lab Med 2025,
// doi:10.1515/cclm-2025-0728).
//
// The uncertainty margin of a reference limit is the approximate 90% confidence interval of the
// population's 2.5th (97.5th) percentile that a nonparametric study of 120 subjects would give:
// on the scale where the results are normal, the limit ± z₀.₉₅ · √(p(1 − p)/n) / φ(z₀.₉₇₅) · σ,
// p = 0.025, n = 120 (the large-sample variance of a sample quantile, p(1 − p)/(n f(q)²)),
// which is the limit ± 0.4011·σ, carried back to the measurement scale. The estimated interval
// takes σ and the scale from its own fit (the power transformation of x − shift with the fitted
// λ and shift); the
// adopted interval takes the same scale and σ from its own width there: its limits as the
// 2.5th and 97.5th percentiles, σ = (T(upper) − T(lower)) / (2 · 1.95996). A limit is
// compatible ("適合") when its two margins overlap, else "要検討" with the direction of the
// local limit; neither limit is judged ("判定できません") when the estimate was refused or warned.
#include <optional>
#include <string>

namespace kijunchi {

inline constexpr int kMarginSampleSize = 120;
inline constexpr double kMarginCoverage = 0.90;
inline constexpr double kMarginPercentile = 0.025;

// The half-width of a margin on the normal scale, in units of σ (0.40114 for n = 120, 90%).
double marginFactor(int n = kMarginSampleSize, double coverage = kMarginCoverage);

struct Margin {
    double low = 0, high = 0;
};

struct IntervalMargins {
    Margin lower, upper;
};

// The margins of both limits of [lower, upper] on the scale of the power transformation of
// x − shift with exponent lambda; nullopt when a limit has no value on that scale (x − shift
// at or below 0 under ln) or the limits are not in order.
std::optional<IntervalMargins> uncertaintyMargins(double lower, double upper, double lambda,
                                                  double shift = 0);

enum class Verdict { Compatible, LocalHigher, LocalLower, NotJudged };

// "適合", "要検討（自施設の値が高い）", "要検討（自施設の値が低い）", "判定できません".
std::string verdictText(Verdict v);

struct AdoptedComparison {
    double adoptedLower = 0, adoptedUpper = 0;
    std::string source;  // where the adopted interval comes from (a table's row, or typed)
    // The margins; absent where not computed (the estimate refused, a limit off the scale).
    std::optional<IntervalMargins> adoptedMargins, estimatedMargins;
    Verdict lower = Verdict::NotJudged, upper = Verdict::NotJudged;
    Verdict overall = Verdict::NotJudged;  // 適合 when both are, 要検討 when one is
    std::string reason;                    // why not judged; empty when judged
    // The text of the 判定 cell: "適合", "要検討", or "判定できません（reason）".
    std::string overallText() const;
};

// What the comparison needs of the local estimate.
struct LocalEstimate {
    double lower = 0, upper = 0, lambda = 1, shift = 0;
    // Why the estimate may not be judged from (its refusal or a warning); empty when it may.
    std::string notUsable;
};

AdoptedComparison compareWithAdopted(double adoptedLower, double adoptedUpper,
                                     const LocalEstimate& local);

// A comparison that could not be made (no adopted interval for the partition): not judged.
AdoptedComparison notComparable(const std::string& reason);

}  // namespace kijunchi
