#include "study/verification.h"

#include <cmath>

#include "analysis/number_text.h"

namespace kijunchi {

double binomialUpperTail(int k, int n, double p) {
    if (k <= 0) return 1.0;
    if (k > n) return 0.0;
    const double logP = std::log(p), logQ = std::log1p(-p);
    const double logNFact = std::lgamma(n + 1.0);
    auto term = [&](int j) {
        return std::exp(logNFact - std::lgamma(j + 1.0) - std::lgamma(n - j + 1.0) + j * logP +
                        (n - j) * logQ);
    };
    // Sum the shorter side of the distribution directly, from its far end inwards, so that
    // small tails keep their relative precision.
    const double mean = n * p;
    if (k > mean) {
        double sum = 0;
        for (int j = n; j >= k; --j) sum += term(j);
        return std::fmin(1.0, sum);
    }
    double lowerSum = 0;
    for (int j = 0; j < k; ++j) lowerSum += term(j);
    return std::fmax(0.0, 1.0 - lowerSum);
}

Verification verifyInterval(double lower, double upper, const std::vector<double>& values) {
    Verification v;
    v.lower = lower;
    v.upper = upper;
    v.n = static_cast<int>(values.size());
    if (!std::isfinite(lower) || !std::isfinite(upper)) {
        v.refusal = "下限と上限には数値を入力して下さい。";
        return v;
    }
    if (!(lower < upper)) {
        v.refusal = "下限（" + numberText(lower) + "）が上限（" + numberText(upper) +
                    "）より小さくありません。下限と上限を確かめて下さい。";
        return v;
    }
    if (v.n < kVerificationMinimum) {
        v.refusal = "検証には20個以上の値が必要です（データ数 " + std::to_string(v.n) + "）。";
        return v;
    }
    for (double x : values) {
        if (x < lower) ++v.below;
        if (x > upper) ++v.above;
    }
    v.outside = v.below + v.above;
    v.share = double(v.outside) / v.n;
    v.probability = binomialUpperTail(v.outside, v.n, kOutsideShare);
    v.byCount = v.n == kVerificationMinimum;
    v.accepted = v.byCount ? v.outside <= 2 : !(v.probability < kVerificationLevel);
    return v;
}

Verification verifyTypedInterval(const std::string& lower, const std::string& upper,
                                 const std::vector<double>& values) {
    const auto low = wholeNumber(lower), high = wholeNumber(upper);
    if (!low || !high) {
        Verification v;
        v.n = static_cast<int>(values.size());
        v.refusal =
            "下限と上限には数値を入力して下さい（下限「" + lower + "」、上限「" + upper + "」）。";
        return v;
    }
    return verifyInterval(*low, *high, values);
}

}  // namespace kijunchi
