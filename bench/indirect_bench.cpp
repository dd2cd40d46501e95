// The indirect method against populations whose limits are known, from a fixed seed:
//
//   kijunchi_indirect_bench table        the validation table of docs/validation.md
//   kijunchi_indirect_bench time N       the estimate of one partition of N results, timed
//   kijunchi_indirect_bench speed        12 partitions of 10⁴ results and one of 10⁶, timed
//   kijunchi_indirect_bench coverage [R [B [FILE]]]  how often the 90% intervals hold the true
//                                        limits and how often the caution catches a limit off,
//                                        over R repeats (default 20) of a few scenarios, with B
//                                        resamples each (default: the program's; 0 likewise)
//   kijunchi_indirect_bench intervals [R [METHOD]]  a method's resampled 90% intervals
//                                        (default power-shift) on samples of 10³–10⁶ results (R
//                                        each, default 5) against a normal percentile's sampling
//                                        error
//   kijunchi_indirect_bench extract ROWS FILE   a generated extract (patient, sex, age, date,
//                                               setting, value) for the scale measurement
//
// The non-pathological results are power-normal: the modified power transformation of the
// value is normal, with λ ∈ {0, 0.5, 1}, so the true 2.5th and 97.5th percentiles are the
// transformation carried back from μ ∓ 1.96σ. The pathological results are normal on the
// same transformed scale, 3σ below or above μ with 1.5σ, in 10–40% of the results on the
// left, the right, or half on each side. Values are rounded to 0.1 as a laboratory reports.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "analysis/power_formula.h"
#include "indirect/truncated_fit.h"

namespace {

using kijunchi::ValueCounts;

struct Population {
    double lambda, mu, sigma;
};

// Centre 100 on the measurement scale, a spread of about 10–20%.
Population population(double lambda) {
    if (lambda == 0) return {0, std::log(100.0), 0.15};
    if (lambda == 1) return {1, 100, 10};
    return {lambda, *kijunchi::powerTransformed(lambda, 100), 1.5};  // x^½ scale: about ±15
}

struct Truth {
    double lower, upper;
};

Truth truth(const Population& p) {
    return {*kijunchi::backTransform(p.mu - 1.959963984540054 * p.sigma, p.lambda),
            *kijunchi::backTransform(p.mu + 1.959963984540054 * p.sigma, p.lambda)};
}

enum class Side { None, Left, Right, Both };

ValueCounts sample(const Population& p, Side side, double fraction, int n, std::uint64_t seed) {
    std::mt19937_64 engine(seed);
    std::normal_distribution<double> z;
    std::uniform_real_distribution<double> u;
    ValueCounts counts;
    for (int i = 0; i < n; ++i) {
        double y = p.mu + p.sigma * z(engine);
        if (side != Side::None && u(engine) < fraction) {
            bool left = side == Side::Left || (side == Side::Both && u(engine) < 0.5);
            y = p.mu + (left ? -3.0 : 3.0) * p.sigma + 1.5 * p.sigma * z(engine);
        }
        const auto x = kijunchi::backTransform(y, p.lambda);
        if (!x) continue;
        counts.add(std::round(*x * 10) / 10);
    }
    return counts;
}

double median(std::vector<double> v, double q) {
    if (v.empty()) return NAN;
    std::sort(v.begin(), v.end());
    return v[static_cast<std::size_t>(q * static_cast<double>(v.size() - 1) + 0.5)];
}

int table() {
    const int sizes[] = {1000, 10000, 100000, 1000000};
    const int repeats[] = {2, 2, 1, 1};
    const double fractions[] = {0.1, 0.2, 0.3, 0.4};
    kijunchi::IndirectOptions options;
    options.resamples = -1;  // the point estimates only
    std::printf("n\tpathological\tfits\trefused\tmedian error\t90th percentile\n");
    std::uint64_t seed = 1;
    for (int s = 0; s < 4; ++s) {
        // Families: none, 10–20% and 30–40% pathological; errors of both limits pooled.
        std::map<int, std::vector<double>> errors;
        std::map<int, int> fits, refused;
        for (double lambda : {0.0, 0.5, 1.0}) {
            const Population p = population(lambda);
            const Truth t = truth(p);
            for (Side side : {Side::None, Side::Left, Side::Right, Side::Both}) {
                for (double f : fractions) {
                    if (side == Side::None && f != fractions[0]) continue;
                    const int family = side == Side::None ? 0 : (f <= 0.2 ? 1 : 2);
                    for (int r = 0; r < repeats[s]; ++r) {
                        const auto counts = sample(p, side, f, sizes[s], seed++);
                        const auto e = kijunchi::estimateIndirect(counts, options);
                        ++fits[family];
                        if (!e.estimated()) {
                            ++refused[family];
                            continue;
                        }
                        errors[family].push_back(std::abs(e.lower - t.lower) / (t.upper - t.lower));
                        errors[family].push_back(std::abs(e.upper - t.upper) / (t.upper - t.lower));
                    }
                }
            }
        }
        const char* names[] = {"0%", "10-20%", "30-40%"};
        for (int family = 0; family < 3; ++family)
            std::printf("%d\t%s\t%d\t%d\t%.1f%%\t%.1f%%\n", sizes[s], names[family], fits[family],
                        refused[family], 100 * median(errors[family], 0.5),
                        100 * median(errors[family], 0.9));
        std::fflush(stdout);
    }
    return 0;
}

// The speed goal's measure: 12 partitions of 10⁴ results one after another, and one of 10⁶, in
// processor time (all threads) and wall time.
int speed() {
    const auto run = [](int partitions, int n) {
        std::vector<ValueCounts> parts;
        for (int i = 0; i < partitions; ++i)
            parts.push_back(
                sample(population(i % 3 * 0.5), Side::Right, 0.1 + 0.02 * i, n, 50 + i));
        const std::clock_t cpu = std::clock();
        const auto start = std::chrono::steady_clock::now();
        for (const auto& p : parts) kijunchi::estimateIndirect(p);
        std::printf(
            "%d × %d results: %.2f s processor, %.2f s wall\n", partitions, n,
            static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC,
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    };
    run(12, 10000);
    run(1, 1000000);
    return 0;
}

int timeOne(int n) {
    const Population p = population(0);
    const Truth t = truth(p);
    const auto counts = sample(p, Side::Right, 0.2, n, 7);
    const auto start = std::chrono::steady_clock::now();
    const auto e = kijunchi::estimateIndirect(counts);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("n = %d, %zu distinct values: %.2f s (%d resamples)\n", n, counts.distinct(),
                seconds, e.resamples);
    std::printf("lower %.2f [%.2f, %.2f] (true %.2f), upper %.2f [%.2f, %.2f] (true %.2f)\n",
                e.lower, e.lowerCiLow, e.lowerCiHigh, t.lower, e.upper, e.upperCiLow, e.upperCiHigh,
                t.upper);
    std::printf("λ %.3f μ %.3f σ %.3f fraction %.3f %s\n", e.lambda, e.mu, e.sigma, e.fraction,
                e.refusal.c_str());
    return 0;
}

// Each scenario repeated with new samples: how often each limit's 90% bootstrap interval holds
// the true limit (a 90% interval should, about 90% of the time), and the intervals' median
// width against the median error, both relative to the true interval's width.
//
// The first six scenarios have little room for a limit far off; the last four (10³ results, or
// 30–40% pathological) are where the separation goes wrong, so that the caution's two rates
// (limits off by more than 20% of the width cautioned, within 5% not) are both measured.
// With a FILE, one line per limit: the error and the diagnostics behind the caution.
int coverage(int repeats, int resamples, const char* path) {
    struct Scenario {
        double lambda;
        Side side;
        double fraction;
        int n;
    };
    const Scenario scenarios[] = {{0, Side::None, 0, 10000},      {1, Side::None, 0, 10000},
                                  {0, Side::Right, 0.1, 10000},   {0.5, Side::Left, 0.2, 10000},
                                  {1, Side::Both, 0.2, 10000},    {0, Side::Right, 0.2, 100000},
                                  {0, Side::Right, 0.1, 1000},    {1, Side::Both, 0.2, 1000},
                                  {0.5, Side::Right, 0.3, 10000}, {0, Side::Right, 0.4, 1000}};
    std::FILE* file = path ? std::fopen(path, "w") : nullptr;
    if (file)
        std::fprintf(file,
                     "lambda\tside\tfraction\tn\tlimit\terror\tdeviation\tcautioned\tmethods\t"
                     "sampling\tspread\tshare\tsampling only\theld\treasons\n");
    const char* sides[] = {"none", "left", "right", "both"};
    std::printf(
        "lambda\tside\tpathological\tn\tfits\tlower held\tupper held\t"
        "median CI width\tmedian error\toff > 20%%\tof which cautioned\twithin 5%%\tof which "
        "cautioned\n");
    std::uint64_t seed = 1000;
    for (const Scenario& sc : scenarios) {
        const Population p = population(sc.lambda);
        const Truth t = truth(p);
        const double width = t.upper - t.lower;
        int fits = 0, lowerHeld = 0, upperHeld = 0;
        // Limits off by more than 20% of the true width, and within 5%, and how many of each
        // carried a caution (a refusal counts as one).
        int off = 0, offCautioned = 0, close = 0, closeCautioned = 0;
        std::vector<double> ciWidths, errors;
        for (int r = 0; r < repeats; ++r) {
            const auto counts = sample(p, sc.side, sc.fraction, sc.n, seed++);
            kijunchi::IndirectOptions options;
            options.seed = seed;
            options.resamples = resamples;
            const auto e = kijunchi::estimateIndirect(counts, options);
            if (!e.estimated()) {
                off += 2;
                offCautioned += 2;
            }
            if (!e.estimated() || !std::isfinite(e.lowerCiLow)) continue;
            ++fits;
            for (const auto& [error, cautioned] :
                 {std::pair{std::abs(e.lower - t.lower) / width, e.lowerCautioned},
                  std::pair{std::abs(e.upper - t.upper) / width, e.upperCautioned}}) {
                off += error > 0.2;
                offCautioned += error > 0.2 && cautioned;
                close += error <= 0.05;
                closeCautioned += error <= 0.05 && cautioned;
            }
            if (file)
                for (int lower = 1; lower >= 0; --lower) {
                    const double x = lower ? e.lower : e.upper, truth = lower ? t.lower : t.upper;
                    const auto y = kijunchi::powerTransformed(p.lambda, x);
                    std::string reasons;
                    for (const auto& reason : e.reasons)
                        if (lower ? reason.lower : reason.upper)
                            reasons += (reasons.empty() ? "" : "|") + reason.text;
                    std::fprintf(file,
                                 "%.1f\t%s\t%.2f\t%d\t%s\t%.4f\t%.4f\t%d\t%.4f\t%.4f\t%.4f\t%.4f\t%"
                                 "d\t%d\t%s\n",
                                 sc.lambda, sides[static_cast<int>(sc.side)], sc.fraction, sc.n,
                                 lower ? "lower" : "upper", std::abs(x - truth) / width,
                                 y ? std::abs((*y - p.mu) / p.sigma +
                                              (lower ? 1.959963984540054 : -1.959963984540054))
                                   : NAN,
                                 (lower ? e.lowerCautioned : e.upperCautioned) ? 1 : 0,
                                 lower ? e.methodsLowerZ : e.methodsUpperZ,
                                 lower ? e.samplingLowerZ : e.samplingUpperZ, e.separationSpread,
                                 e.fraction, e.samplingOnly ? 1 : 0,
                                 (lower ? e.lowerCiLow : e.upperCiLow) <= truth &&
                                     truth <= (lower ? e.lowerCiHigh : e.upperCiHigh),
                                 reasons.c_str());
                }
            lowerHeld += e.lowerCiLow <= t.lower && t.lower <= e.lowerCiHigh;
            upperHeld += e.upperCiLow <= t.upper && t.upper <= e.upperCiHigh;
            ciWidths.push_back((e.lowerCiHigh - e.lowerCiLow) / width);
            ciWidths.push_back((e.upperCiHigh - e.upperCiLow) / width);
            errors.push_back(std::abs(e.lower - t.lower) / width);
            errors.push_back(std::abs(e.upper - t.upper) / width);
        }
        std::printf("%.1f\t%s\t%.0f%%\t%d\t%d\t%d\t%d\t%.1f%%\t%.1f%%\t%d\t%d\t%d\t%d\n", sc.lambda,
                    sides[static_cast<int>(sc.side)], 100 * sc.fraction, sc.n, fits, lowerHeld,
                    upperHeld, 100 * median(ciWidths, 0.5), 100 * median(errors, 0.5), off,
                    offCautioned, close, closeCautioned);
        std::fflush(stdout);
    }
    if (file) std::fclose(file);
    return 0;
}

// The resamples' own 90% intervals (the method alone, without the other method's check
// that widens them), in σ of the population's transformed scale (z), against the half width the
// sampling error of a normal percentile μ ± 1.96σ from the n(1 − f) non-pathological results
// gives: 1.645·√((1 + 1.96²/2)/(n(1 − f))). Clean samples and a fifth pathological on the right,
// for λ = 0, ½ and 1; the medians over R samples of the half widths, their ratios to that, and
// the limits' errors.
int intervals(int repeats, kijunchi::IndirectMethod method) {
    std::printf(
        "lambda\tpathological\tn\tlower half width\tupper half width\texpected\t"
        "ratio lower\tratio upper\tlower error\tupper error\tprocessor s\n");
    std::uint64_t seed = 4000;
    for (double lambda : {0.0, 0.5, 1.0})
        for (double fraction : {0.0, 0.2})
            for (int n : {1000, 10000, 100000, 1000000}) {
                const Population p = population(lambda);
                const auto z = [&](double x) {
                    const auto y = kijunchi::powerTransformed(p.lambda, x);
                    return y ? (*y - p.mu) / p.sigma : NAN;
                };
                const double expected =
                    1.6448536269514722 * std::sqrt((1 + 1.959963984540054 * 1.959963984540054 / 2) /
                                                   (n * (1 - fraction)));
                std::vector<double> lowers, uppers, lowerErrors, upperErrors;
                const std::clock_t cpu = std::clock();
                for (int r = 0; r < repeats; ++r) {
                    kijunchi::IndirectOptions options;
                    options.seed = seed;
                    options.crossCheck = false;
                    options.method = method;
                    const auto counts =
                        sample(p, fraction > 0 ? Side::Right : Side::None, fraction, n, seed++);
                    const auto e = kijunchi::estimateIndirect(counts, options);
                    if (!e.estimated()) continue;
                    lowers.push_back(0.5 * (z(e.lowerCiHigh) - z(e.lowerCiLow)));
                    uppers.push_back(0.5 * (z(e.upperCiHigh) - z(e.upperCiLow)));
                    lowerErrors.push_back(std::abs(z(e.lower) + 1.959963984540054));
                    upperErrors.push_back(std::abs(z(e.upper) - 1.959963984540054));
                }
                const double l = median(lowers, 0.5), u = median(uppers, 0.5);
                std::printf("%.1f\t%.0f%%\t%d\t%.4f\t%.4f\t%.4f\t%.2f\t%.2f\t%.4f\t%.4f\t%.2f\n",
                            lambda, 100 * fraction, n, l, u, expected, l / expected, u / expected,
                            median(lowerErrors, 0.5), median(upperErrors, 0.5),
                            static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC / repeats);
                std::fflush(stdout);
            }
    return 0;
}

// An extract of rows: patient, sex, age, date, setting, value; 10⁶ patients with ten results
// each on average. Women and men, ages 0–99; 15% of results pathological (right).
int extract(long rows, const char* path) {
    std::ofstream out(path, std::ios::binary);
    out << "患者ID,性別,年齢,検査日,区分,値\n";
    std::mt19937_64 engine(11);
    std::normal_distribution<double> z;
    std::uniform_real_distribution<double> u;
    const Population p = population(0);
    char line[160];
    for (long i = 0; i < rows; ++i) {
        const long patient = (i * 7919) % 1000000;
        const bool male = (patient % 2) == 0;
        const int age = static_cast<int>(patient % 100);
        double y = p.mu + (male ? 0.1 : 0) + p.sigma * z(engine);
        if (u(engine) < 0.15) y = p.mu + 3 * p.sigma + 1.5 * p.sigma * z(engine);
        const double x = std::exp(y);
        const int day = static_cast<int>(i % 365);
        std::snprintf(line, sizeof line, "P%08ld,%s,%d,2024-%02d-%02d,%s,%.1f\n", patient,
                      male ? "男" : "女", age, day / 31 + 1, day % 28 + 1,
                      i % 3 == 0 ? "入院" : "外来", x);
        out << line;
    }
    return out ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "table") == 0) return table();
    if (argc >= 2 && std::strcmp(argv[1], "speed") == 0) return speed();
    if (argc >= 3 && std::strcmp(argv[1], "time") == 0) return timeOne(std::atoi(argv[2]));
    if (argc >= 2 && std::strcmp(argv[1], "coverage") == 0)
        return coverage(argc >= 3 ? std::atoi(argv[2]) : 20, argc >= 4 ? std::atoi(argv[3]) : 0,
                        argc >= 5 ? argv[4] : nullptr);
    if (argc >= 2 && std::strcmp(argv[1], "intervals") == 0)
        return intervals(argc >= 3 ? std::atoi(argv[2]) : 5,
                         kijunchi::indirectMethodFromKey(argc >= 4 ? argv[3] : "")
                             .value_or(kijunchi::IndirectMethod::PowerShift));
    if (argc >= 4 && std::strcmp(argv[1], "extract") == 0)
        return extract(std::atol(argv[2]), argv[3]);
    std::fprintf(
        stderr,
        "usage: kijunchi_indirect_bench table | time N | speed | coverage [R [B [FILE]]] | "
        "intervals [R [METHOD]] | extract ROWS FILE\n");
    return 2;
}
