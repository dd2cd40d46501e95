// How often the comparison with an adopted interval judges rightly, from a fixed seed:
//
//   kijunchi_adopted_bench [R [N [power-shift|truncated [λ,…]]]]
//                                    R runs (default 200) of N results (default 10⁴), by the
//                                    default method or the truncated one, for each scenario
//                                    below, or for the populations of the λ listed only (their
//                                    runs are the same as in the whole run)
//
// The non-pathological results are power-normal (the modified power transformation of the
// value is normal, λ ∈ {0, 0.5, 1}, centre 100); 15% pathological results lie on the right,
// 3σ above μ with 1.5σ on the transformed scale; values are rounded to 0.1. The estimate is
// the indirect method's point estimate (no resamples, as the verdict uses only the point
// estimate and the fit's own warning). Three adopted intervals per population:
//   truth      the true 2.5th and 97.5th percentiles: should be "適合"
//   +W/3, −W/3 the truth moved up or down by a third of its width W: should be "要検討"
// A run that the estimate refuses or warns of is "判定できません" and counts as neither.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "adopted/adopted_check.h"
#include "analysis/power_formula.h"
#include "indirect/adopted_columns.h"
#include "indirect/indirect_estimate.h"

namespace {

using namespace kijunchi;

struct Population {
    double lambda, mu, sigma;
};

Population population(double lambda) {
    if (lambda == 0) return {0, std::log(100.0), 0.15};
    const double mu = powerTransform(lambda, 100.0);
    const double sigma = powerTransform(lambda, 115.0) - mu;
    return {lambda, mu, sigma};
}

double back(const Population& p, double y) {
    return p.lambda == 0 ? std::exp(y) : *backTransform(y, p.lambda);
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::atoi(argv[1]) : 200;
    const int n = argc > 2 ? std::atoi(argv[2]) : 10000;
    // The method: power-shift (the program's default) or truncated.
    const bool truncated = argc > 3 && std::string(argv[3]) == "truncated";

    // The populations to report (all three where none is listed); the others are simulated
    // all the same, so that each population's runs do not depend on the list.
    std::vector<double> chosen;
    if (argc > 4)
        for (const char* p = argv[4]; *p;) {
            char* end = nullptr;
            chosen.push_back(std::strtod(p, &end));
            if (end == p) break;
            p = *end == ',' ? end + 1 : end;
        }
    const auto wanted = [&](double lambda) {
        return chosen.empty() || std::find(chosen.begin(), chosen.end(), lambda) != chosen.end();
    };
    std::map<std::string, int> reasons;  // why runs were not judged
    std::mt19937_64 rng(20251210);
    std::printf("λ\t採用\t適合\t要検討\t判定できません\t割合（期待の判定）\n");
    for (double lambda : {0.0, 0.5, 1.0}) {
        const Population pop = population(lambda);
        const double lo = back(pop, pop.mu - 1.959964 * pop.sigma);
        const double hi = back(pop, pop.mu + 1.959964 * pop.sigma);
        const double w = hi - lo;
        struct Scenario {
            const char* name;
            double lower, upper;
            bool compatible;
        } scenarios[] = {{"真値", lo, hi, true},
                         {"+W/3", lo + w / 3, hi + w / 3, false},
                         {"-W/3", lo - w / 3, hi - w / 3, false}};
        int counts[3][3] = {};
        std::normal_distribution<double> z(0, 1);
        std::uniform_real_distribution<double> u(0, 1);
        IndirectOptions options;
        options.resamples = -1;
        options.method = truncated ? IndirectMethod::Truncated : IndirectMethod::PowerShift;
        std::vector<double> upperErrors;  // the estimated upper limits' errors in z
        for (int run = 0; run < runs; ++run) {
            ValueCounts counts_;
            for (int i = 0; i < n; ++i) {
                const bool pathological = u(rng) < 0.15;
                const double y = pathological ? pop.mu + 3 * pop.sigma + 1.5 * pop.sigma * z(rng)
                                              : pop.mu + pop.sigma * z(rng);
                const double x = std::round(back(pop, y) * 10) / 10;
                if (x <= 0)
                    counts_.addCensored(true, 0.1);
                else
                    counts_.add(x);
            }
            if (!wanted(lambda)) continue;
            const IndirectResult r = estimateIndirect(counts_, options);
            const LocalEstimate local = localEstimate(r);
            if (!local.notUsable.empty()) ++reasons[local.notUsable];
            if (std::isfinite(r.upper) && r.upper > 0) {
                const double t = lambda == 0 ? std::log(r.upper) : powerTransform(lambda, r.upper);
                upperErrors.push_back((t - pop.mu) / pop.sigma - 1.959964);
                if (std::getenv("KIJUNCHI_ADOPTED_DIAG"))
                    std::fprintf(stderr, "%g\t%d\t%.3f\t%.3f\t%.3f\t%s\n", lambda, run,
                                 upperErrors.back(), r.lambda, r.fraction, local.notUsable.c_str());
            }
            for (int s = 0; s < 3; ++s) {
                const auto c = compareWithAdopted(scenarios[s].lower, scenarios[s].upper, local);
                const int k = c.overall == Verdict::Compatible  ? 0
                              : c.overall == Verdict::NotJudged ? 2
                                                                : 1;
                ++counts[s][k];
            }
        }
        if (!wanted(lambda)) continue;
        for (int s = 0; s < 3; ++s) {
            const int right = scenarios[s].compatible ? counts[s][0] : counts[s][1];
            std::printf("%g\t%s [%.4g, %.4g]\t%d\t%d\t%d\t%.1f%%\n", lambda, scenarios[s].name,
                        scenarios[s].lower, scenarios[s].upper, counts[s][0], counts[s][1],
                        counts[s][2], 100.0 * right / runs);
        }
        if (!upperErrors.empty()) {
            std::sort(upperErrors.begin(), upperErrors.end());
            const auto at = [&](double p) {
                return upperErrors[static_cast<std::size_t>(p * (upperErrors.size() - 1))];
            };
            std::printf("%g\t上限の誤差 (z): 中央値 %.2f, 90%% %.2f, 最大 %.2f\n", lambda, at(0.5),
                        at(0.9), upperErrors.back());
        }
        std::fflush(stdout);
    }
    for (const auto& [reason, count] : reasons) std::printf("%d\t%s\n", count, reason.c_str());
    return 0;
}
