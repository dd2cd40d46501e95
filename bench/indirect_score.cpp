// The indirect method's benchmark: simulated analytes after the design of the published
// benchmark of indirect methods (Ammer T. et al., Clin Chem 2022;68:1410), rebuilt from its
// description, with its score.
//
//   kijunchi_indirect_score [METHOD [STEP [points|full]]] [analyte=Hb,Ca] [n=1000,5000]
//                           [scenario=5,6,8] [diagnostics=FILE]
//
// METHOD: power-shift (default) or truncated; STEP: run every STEP-th set only (default 1);
// points: the point estimates alone (no resamples, no check against the other method);
// full (the default): with both, and the caution's rates;
// analyte=, n=, scenario= (indices 0–9 in the order below): only those sets, for a quick look
// at a part of the design (STEP counts over all sets, so a subset is the same sets either way);
// diagnostics=FILE: the diagnostics behind the caution, one line per limit, into FILE.
// One line per set (TSV) on standard error as it goes, and the summary tables on standard
// output.
//
// The design, a stratified sample of 600 sets: ten analytes (below: their non-pathological
// distribution, a power-normal after a shift, given by its 2.5th and 97.5th percentiles, λ, the
// shift and the decimals it is reported with) × six sample sizes N ∈ {1000, 5000, 10⁴, 5·10⁴,
// 10⁵, 5·10⁵} × ten pathological scenarios: none; right 10% (overlapping: 3σ off on the
// transformed scale); right 20% (4.5σ off); both sides 10% (3σ); left 20% (4.5σ); right 30% (3σ);
// right 40% (4.5σ); both sides 50% (4.5σ); right 60% (4.5σ); left 30% (3σ). Pathological values
// are normal on the same transformed scale with twice the non-pathological σ; for the heavily
// skewed analytes they lie above only (a left or two-sided scenario puts them all on the
// right), as a log-normal analyte's low pathological values pile up at the few smallest
// reportable values. The seeds are fixed (analyte, scenario, size).
//
// The score: each limit's absolute deviation from the true limit in standard deviations of
// the transformed non-pathological distribution (z), capped at 5; a set's score is the mean of
// its two; the score is the mean over the sets with a result. Sets without a result count as
// failures, apart; a result is implausible where a limit is not finite, the lower is not below
// the upper, or a deviation reaches the cap.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "indirect/indirect_estimate.h"

namespace {

using kijunchi::ValueCounts;

constexpr double kZ = 1.959963984540054;

double boxCox(double lambda, double x) {
    return std::abs(lambda) < 1e-12 ? std::log(x) : (std::pow(x, lambda) - 1) / lambda;
}
double inverse(double lambda, double y, bool& ok) {
    ok = true;
    if (std::abs(lambda) < 1e-12) return std::exp(y);
    const double b = 1 + lambda * y;
    if (b <= 0) {
        ok = false;
        return 0;
    }
    return std::pow(b, 1 / lambda);
}

struct Analyte {
    const char* name;
    const char* type;
    double lower, upper, lambda, shift;
    int decimals;
    double mu() const {
        return 0.5 * (boxCox(lambda, lower - shift) + boxCox(lambda, upper - shift));
    }
    double sigma() const {
        return (boxCox(lambda, upper - shift) - boxCox(lambda, lower - shift)) / (2 * kZ);
    }
    double z(double x) const {
        if (!(x - shift > 0)) return -1e9;
        return (boxCox(lambda, x - shift) - mu()) / sigma();
    }
};

const Analyte kAnalytes[] = {
    {"Hb", "normal", 12.0, 16.0, 1, 0, 1},
    {"Ca", "normal", 2.15, 2.55, 1, 0, 2},
    {"FT4", "normal", 12.0, 22.0, 1, 0, 1},
    {"AST", "skewed", 13, 35, 0.5, 0, 0},
    {"LACT", "skewed", 0.5, 2.2, 0.5, 0, 1},
    {"GGT", "heavily skewed", 9, 64, 0, 0, 0},
    {"TSH", "heavily skewed", 0.4, 4.0, 0, 0, 2},
    {"IgE", "heavily skewed", 5, 150, 0, 0, 0},
    {"CRP", "heavily skewed", 0.3, 6.0, 0, 0, 1},
    {"LDH", "skewed and shifted", 125, 220, 0.06, 100, 0},
};

struct Scenario {
    double fraction;
    int side;  // −1 left, 1 right, 0 both
    double offset;
};
const Scenario kScenarios[] = {{0, 1, 3},      {0.1, 1, 3}, {0.2, 1, 4.5}, {0.1, 0, 3},
                               {0.2, -1, 4.5}, {0.3, 1, 3}, {0.4, 1, 4.5}, {0.5, 0, 4.5},
                               {0.6, 1, 4.5},  {0.3, -1, 3}};
const int kSizes[] = {1000, 5000, 10000, 50000, 100000, 500000};

ValueCounts sample(const Analyte& a, const Scenario& s, int n, std::uint64_t seed) {
    std::mt19937_64 engine(seed);
    std::normal_distribution<double> z;
    std::uniform_real_distribution<double> u;
    const double mu = a.mu(), sigma = a.sigma(), scale = std::pow(10.0, a.decimals);
    ValueCounts counts;
    for (int i = 0; i < n;) {
        double y = mu + sigma * z(engine);
        if (u(engine) < s.fraction) {
            // Heavily skewed analytes (λ = 0 here) have their pathological values above only.
            const int wanted = a.lambda == 0 ? 1 : s.side;
            const int side = wanted != 0 ? wanted : (u(engine) < 0.5 ? -1 : 1);
            y = mu + side * s.offset * sigma + 2 * sigma * z(engine);
        }
        bool ok = false;
        const double x = a.shift + inverse(a.lambda, y, ok);
        if (!ok || !std::isfinite(x)) continue;
        counts.add(std::round(x * scale) / scale);
        ++i;
    }
    return counts;
}

struct Tally {
    double score = 0;
    int sets = 0, results = 0, implausible = 0;
    void add(double s, bool plausible) {
        score += s;
        ++results;
        implausible += !plausible;
    }
};

// The caution's rates: of the limits off by more than 1 z, the share cautioned (or refused);
// of the limits within 0.25 z, the share cautioned; the 90% intervals' coverage at
// pathological fractions up to 20%. Per category, per half of the sets (the thresholds of the
// caution were chosen on the sets with an even seed, "calibration"; those with an odd seed are
// the "validation"), the same for the stratified sample of STEP 2 alone, and per reason. With a
// file, one line per limit with the diagnostics behind the caution.
class CautionRates {
public:
    explicit CautionRates(const char* path) : file_(path ? std::fopen(path, "w") : nullptr) {
        if (file_)
            std::fprintf(file_,
                         "index\tanalyte\ttype\tfraction\tside\tN\tlimit\tdeviation\tcautioned\t"
                         "methods\tsampling\thalf\tspread\tshare\tlambda\tsampling only\theld\t"
                         "reasons\tshift\testimate\tbeyond\n");
    }
    ~CautionRates() {
        if (file_) std::fclose(file_);
    }
    CautionRates(const CautionRates&) = delete;
    CautionRates& operator=(const CautionRates&) = delete;

    void add(int index, std::uint64_t seed, const Analyte& a, const Scenario& s, int n,
             const std::string& category, const kijunchi::IndirectResult& r,
             const ValueCounts& counts) {
        const bool calibration = seed % 2 == 0;
        std::vector<Counts*> to{
            &byKey_["all"], &byKey_[category],
            &byKey_[calibration ? "calibration (even seeds)" : "validation (odd seeds)"]};
        if (index % 2 == 0) {
            to.push_back(&byKey_["sample (STEP 2)"]);
            to.push_back(&byKey_[calibration ? "sample, calibration" : "sample, validation"]);
        }
        if (!r.estimated()) {
            for (Counts* c : to) c->off += 2, c->offWarned += 2;
            return;
        }
        for (int which = 0; which < 2; ++which) {
            const bool lower = which == 0;
            const double truth = lower ? a.lower : a.upper;
            const double estimate = lower ? r.lower : r.upper;
            double z = std::abs(a.z(estimate) + (lower ? kZ : -kZ));
            if (!std::isfinite(z)) z = 5;
            const bool warned = lower ? r.lowerCautioned : r.upperCautioned;
            const double low = lower ? r.lowerCiLow : r.upperCiLow;
            const double high = lower ? r.lowerCiHigh : r.upperCiHigh;
            const bool coverable = s.fraction <= 0.2 && std::isfinite(low) && !r.samplingOnly;
            const bool held = low <= truth && truth <= high;
            std::string reasons;
            for (const auto& reason : r.reasons) {
                if (!(lower ? reason.lower : reason.upper)) continue;
                const std::string key = reasonKey(reason.text);
                reasons += (reasons.empty() ? "" : "|") + key;
                Reason& stat = byReason_[key];
                stat.off += z > 1;
                stat.close += z <= 0.25;
                stat.closeAlone += z <= 0.25 && onlyReason(r, lower);
            }
            for (Counts* c : to) {
                c->off += z > 1;
                c->offWarned += z > 1 && warned;
                c->close += z <= 0.25;
                c->closeWarned += z <= 0.25 && warned;
                c->coverable += coverable;
                c->covered += coverable && held;
            }
            if (file_)
                std::fprintf(
                    file_,
                    "%d\t%s\t%s\t%.2f\t%d\t%d\t%s\t%.4f\t%d\t%.4f\t%.4f\t%.4f\t%.4f\t"
                    "%.4f\t%.4f\t%d\t%d\t%s\t%.4g\t%.6g\t%.0f\n",
                    index, a.name, a.type, s.fraction, s.side, n, lower ? "lower" : "upper", z,
                    warned ? 1 : 0, lower ? r.methodsLowerZ : r.methodsUpperZ,
                    lower ? r.samplingLowerZ : r.samplingUpperZ,
                    0.5 * (kijunchi::indirectZ(r, high) - kijunchi::indirectZ(r, low)),
                    r.separationSpread, r.fraction, r.lambda, r.samplingOnly ? 1 : 0, held ? 1 : 0,
                    reasons.c_str(), r.shift, estimate, beyond(counts, estimate, lower));
        }
        if (file_) std::fflush(file_);
    }

    void print() const {
        std::printf(
            "\ncautions\tlimits off > 1 z\tcautioned or refused\tlimits within 0.25 z\tcautioned\t"
            "coverage (<=20%%)\n");
        for (const auto& [key, c] : byKey_)
            std::printf("%s\t%d\t%d (%.0f%%)\t%d\t%d (%.0f%%)\t%d of %d (%.0f%%)\n", key.c_str(),
                        c.off, c.offWarned, 100.0 * c.offWarned / std::max(1, c.off), c.close,
                        c.closeWarned, 100.0 * c.closeWarned / std::max(1, c.close), c.covered,
                        c.coverable, 100.0 * c.covered / std::max(1, c.coverable));
        std::printf("\nreason\toff > 1 z it names\twithin 0.25 z it names\tof which alone\n");
        for (const auto& [key, stat] : byReason_)
            std::printf("%s\t%d\t%d\t%d\n", key.c_str(), stat.off, stat.close, stat.closeAlone);
    }

private:
    struct Counts {
        int off = 0, offWarned = 0, close = 0, closeWarned = 0, covered = 0, coverable = 0;
    };
    struct Reason {
        int off = 0, close = 0, closeAlone = 0;
    };
    // The reason without the limits it names ("下限の90%区間が広すぎます" → "の90%区間が…").
    static std::string reasonKey(const std::string& text) {
        for (const char* name : {"下限と上限", "下限", "上限"})
            if (text.rfind(name, 0) == 0) return "…" + text.substr(std::strlen(name));
        return text;
    }
    // The results beyond a limit (below the lower, above the upper).
    static double beyond(const ValueCounts& counts, double limit, bool lower) {
        double n = 0;
        for (const auto& [v, c] : counts.sorted())
            if (lower ? v < limit : v > limit) n += static_cast<double>(c);
        return n;
    }
    static bool onlyReason(const kijunchi::IndirectResult& r, bool lower) {
        int n = 0;
        for (const auto& reason : r.reasons) n += lower ? reason.lower : reason.upper;
        return n == 1;
    }
    std::FILE* file_;
    std::map<std::string, Counts> byKey_;
    std::map<std::string, Reason> byReason_;
};

}  // namespace

int main(int argc, char** argv) {
    const std::string methodKey = argc >= 2 ? argv[1] : "power-shift";
    const int step = argc >= 3 && !std::strchr(argv[2], '=') ? std::max(1, std::atoi(argv[2])) : 1;
    // "points": the point estimates alone, without the other method's check or the resamples.
    const bool points = argc >= 4 && std::strcmp(argv[3], "points") == 0;
    // Filters: a comma-separated list of names or numbers each; empty lets all through.
    std::map<std::string, std::vector<std::string>> only;
    for (int i = 2; i < argc; ++i) {
        const char* eq = std::strchr(argv[i], '=');
        if (!eq) continue;
        auto& list = only[std::string(argv[i], static_cast<std::size_t>(eq - argv[i]))];
        std::string rest = eq + 1;
        for (std::size_t from = 0; from <= rest.size();) {
            const std::size_t comma = std::min(rest.find(',', from), rest.size());
            list.push_back(rest.substr(from, comma - from));
            from = comma + 1;
        }
    }
    const auto passes = [&](const char* key, const std::string& value) {
        const auto it = only.find(key);
        return it == only.end() ||
               std::find(it->second.begin(), it->second.end(), value) != it->second.end();
    };
    // diagnostics=FILE: the diagnostics behind the caution, one line per limit.
    CautionRates cautions(only.count("diagnostics") ? only["diagnostics"].front().c_str()
                                                    : nullptr);
    const auto method = kijunchi::indirectMethodFromKey(methodKey);
    if (!method) {
        std::fprintf(stderr,
                     "usage: kijunchi_indirect_score [power-shift|truncated [STEP [points]]] "
                     "[analyte=..] [n=..] [scenario=..] [diagnostics=FILE]\n");
        return 2;
    }
    std::map<std::string, Tally> byType, byCategory;
    Tally all;
    // Warnings: limits off by more than 1 z and within 0.25 z, and how many of each warned.
    int off = 0, offWarned = 0, close = 0, closeWarned = 0;
    // Coverage of the 90% intervals at pathological fractions up to 20%.
    int covered = 0, coverable = 0, samplingOnly = 0;
    double seconds = 0;
    int index = 0;
    std::fprintf(stderr,
                 "analyte\tfraction\tside\toffset\tN\tlower\tupper\tz lower\tz upper\tnote\t"
                 "methods lower\tmethods upper\tspread\thalf lower\thalf upper\tshare\tlambda\t"
                 "sampling only\n");
    for (int ai = 0; ai < 10; ++ai)
        for (int si = 0; si < 10; ++si)
            for (int ni = 0; ni < 6; ++ni) {
                if (index++ % step != 0) continue;
                const Analyte& a = kAnalytes[ai];
                const Scenario& s = kScenarios[si];
                const int n = kSizes[ni];
                if (!passes("analyte", a.name) || !passes("n", std::to_string(n)) ||
                    !passes("scenario", std::to_string(si)))
                    continue;
                const std::uint64_t seed = 1000003ull * (ai + 1) + 1009ull * (si + 1) + ni + 1;
                const auto counts = sample(a, s, n, seed);
                kijunchi::IndirectOptions options;
                options.method = *method;
                if (points) {
                    options.resamples = -1;
                    options.crossCheck = false;
                }
                const auto start = std::chrono::steady_clock::now();
                const auto r = kijunchi::estimateIndirect(counts, options);
                seconds +=
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
                const std::string category = std::string(s.fraction <= 0.2 ? "≤20%" : ">20%") +
                                             (n <= 5000 ? ", N ≤ 5000" : ", N > 5000");
                if (!points) cautions.add(index - 1, seed, a, s, n, category, r, counts);
                ++byType[a.type].sets;
                ++byCategory[category].sets;
                ++all.sets;
                double zl = NAN, zu = NAN;
                if (r.estimated()) {
                    zl = std::min(5.0, std::abs(a.z(r.lower) + kZ));
                    zu = std::min(5.0, std::abs(a.z(r.upper) - kZ));
                    if (!std::isfinite(zl)) zl = 5;
                    if (!std::isfinite(zu)) zu = 5;
                    const bool plausible = std::isfinite(r.lower) && std::isfinite(r.upper) &&
                                           r.lower < r.upper && zl < 5 && zu < 5;
                    const double setScore = 0.5 * (zl + zu);
                    all.add(setScore, plausible);
                    byType[a.type].add(setScore, plausible);
                    byCategory[category].add(setScore, plausible);
                    for (const auto& [zd, warned] :
                         {std::pair{zl, r.lowerCautioned}, std::pair{zu, r.upperCautioned}}) {
                        if (zd > 1) {
                            ++off;
                            offWarned += warned;
                        }
                        if (zd <= 0.25) {
                            ++close;
                            closeWarned += warned;
                        }
                    }
                    if (s.fraction <= 0.2 && std::isfinite(r.lowerCiLow)) {
                        if (r.samplingOnly) {
                            ++samplingOnly;
                        } else {
                            coverable += 2;
                            covered += (r.lowerCiLow <= a.lower && a.lower <= r.lowerCiHigh) +
                                       (r.upperCiLow <= a.upper && a.upper <= r.upperCiHigh);
                        }
                    }
                } else {
                    off += 2;  // a refusal counts as warned
                    offWarned += 2;
                }
                // The diagnostics behind the caution: the methods' disagreement, the spread of
                // the nearly as good fits, the widest 90% interval's half width (z of the fit).
                double ml = NAN, mu = NAN, hl = NAN, hu = NAN;
                if (r.estimated()) {
                    ml = std::abs(kijunchi::indirectZ(r, r.otherLower) + kZ);
                    mu = std::abs(kijunchi::indirectZ(r, r.otherUpper) - kZ);
                    hl = 0.5 * (kijunchi::indirectZ(r, r.lowerCiHigh) -
                                kijunchi::indirectZ(r, r.lowerCiLow));
                    hu = 0.5 * (kijunchi::indirectZ(r, r.upperCiHigh) -
                                kijunchi::indirectZ(r, r.upperCiLow));
                }
                std::fprintf(
                    stderr,
                    "%s\t%.0f%%\t%d\t%.1f\t%d\t%.4g\t%.4g\t%.3f\t%.3f\t%s\t%.3f\t%.3f\t%.3f\t"
                    "%.3f\t%.3f\t%.3f\t%.3f\t%d\n",
                    a.name, 100 * s.fraction, s.side, s.offset, n, r.lower, r.upper, zl, zu,
                    (r.estimated() ? r.caution + " " + r.remark : r.refusal).c_str(), ml, mu,
                    r.separationSpread, hl, hu, r.fraction, r.lambda, r.samplingOnly ? 1 : 0);
            }
    const auto line = [](const std::string& name, const Tally& t) {
        std::printf("%s\t%d\t%.3f\t%.1f%%\t%d\n", name.c_str(), t.sets,
                    t.results ? t.score / t.results : NAN,
                    100.0 * (t.sets - t.results) / std::max(1, t.sets), t.implausible);
    };
    std::printf("method %s, %d sets, %.1f s\n", methodKey.c_str(), all.sets, seconds);
    std::printf("stratum\tsets\tscore\tfailures\timplausible\n");
    line("all", all);
    for (const auto& [k, t] : byType) line(k, t);
    for (const auto& [k, t] : byCategory) line(k, t);
    std::printf("limits off by > 1 z: %d, warned or refused %d (%.0f%%)\n", off, offWarned,
                100.0 * offWarned / std::max(1, off));
    std::printf("limits within 0.25 z: %d, warned %d (%.0f%%)\n", close, closeWarned,
                100.0 * closeWarned / std::max(1, close));
    std::printf(
        "90%% intervals, pathological fraction <= 20%%: %d of %d limits held (%.0f%%); "
        "%d sets marked sampling error only\n",
        covered, coverable, 100.0 * covered / std::max(1, coverable), samplingOnly);
    if (!points) cautions.print();
    return 0;
}
