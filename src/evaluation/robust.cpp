#include "evaluation/robust.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>
#include <thread>
#include <utility>
#include <vector>

#include "analysis/distributions.h"
#include "analysis/random_stream.h"
#include "analysis/statistics.h"

namespace kijunchi {

namespace {

// Sorted values v[0..m-1], each standing for c[i] copies, cum[i] = c[0] + … + c[i], n copies
// in all: a data set, or a resample of one counted over the distinct values it drew.
struct Weighted {
    const double* v;
    const double* c;
    const std::uint32_t* cum;
    int m;
    int n;

    // Copies among positions before i.
    long before(int i) const { return i > 0 ? static_cast<long>(cum[i - 1]) : 0L; }
};

// The k-th smallest (1-based) of the weighted values.
double orderStatistic(const Weighted& w, long k) {
    const std::uint32_t* at = std::lower_bound(w.cum, w.cum + w.m, static_cast<std::uint32_t>(k));
    return w.v[std::min<std::ptrdiff_t>(at - w.cum, w.m - 1)];
}

double median(const Weighted& w) {
    const long n = w.n;
    if (n % 2 == 1) return orderStatistic(w, (n + 1) / 2);
    return (orderStatistic(w, n / 2) + orderStatistic(w, n / 2 + 1)) / 2;
}

// The smallest index in [low, high) where pred turns true (pred false then true), or high.
template <typename Pred>
int firstTrue(int low, int high, Pred pred) {
    while (low < high) {
        const int mid = low + (high - low) / 2;
        if (pred(mid))
            high = mid;
        else
            low = mid + 1;
    }
    return low;
}

// The k-th smallest of |v - centre| (1-based). The deviations below the centre grow as the
// index falls and those above it as the index rises, so the number of copies within a
// deviation d is found by two binary searches, and the k-th is the smallest deviation on
// either side whose count reaches k.
double kthDeviation(const Weighted& w, double centre, long k) {
    const int split = static_cast<int>(std::lower_bound(w.v, w.v + w.m, centre) - w.v);
    auto below = [&](int i) { return centre - w.v[i]; };  // i < split
    auto above = [&](int j) { return w.v[j] - centre; };  // j >= split
    auto within = [&](double d) {
        const int first = firstTrue(0, split, [&](int i) { return below(i) <= d; });
        const int last = firstTrue(split, w.m, [&](int j) { return above(j) > d; });
        return w.before(last) - w.before(first);
    };
    const long target = k;
    double best = std::numeric_limits<double>::infinity();
    const int j = firstTrue(split, w.m, [&](int j) { return within(above(j)) >= target; });
    if (j < w.m) best = above(j);
    // Below the centre the deviation grows as the index falls: search on split - 1 - i.
    const int i =
        firstTrue(0, split, [&](int t) { return within(below(split - 1 - t)) >= target; });
    if (i < split) best = std::min(best, below(split - 1 - i));
    return best;
}

double medianAbsoluteDeviation(const Weighted& w, double centre) {
    const long n = w.n;
    if (n % 2 == 1) return kthDeviation(w, centre, (n + 1) / 2);
    return (kthDeviation(w, centre, n / 2) + kthDeviation(w, centre, n / 2 + 1)) / 2;
}

// One pass over the values with u = (x - centre) / spread and q = 1 - u² where |u| < 1 (else
// 0): Σq², Σq²(x - centre), Σq(1 - 5u²) and Σu²q⁴, each copy counted.
struct PassSums {
    double weight = 0;     // Σ(1 - u²)²: the biweights
    double weighted = 0;   // Σ(1 - u²)²(x - centre)
    double slope = 0;      // Σ(1 - u²)(1 - 5u²): ψ'(u), and the denominator of the scales
    double numerator = 0;  // Σu²(1 - u²)⁴: the numerator of the scales
};

// Which sums a pass gathers: Σq² and Σq²(x - centre) for the location, Σu²q⁴ for a scale
// (Σq(1 - 5u²) always), and the second spread's Σq(1 - 5u²) and Σu²q⁴.
enum PassParts : unsigned { kLocationSums = 1, kScaleSums = 2, kSecondSpread = 4 };

// The sums for one or two spreads about one centre; those not asked for are left at zero.
template <unsigned kParts>
std::pair<PassSums, PassSums> passSums(const Weighted& w, double centre, double spread,
                                       double spread2) {
    constexpr bool location = (kParts & kLocationSums) != 0;
    constexpr bool scale = (kParts & kScaleSums) != 0;
    constexpr bool second = (kParts & kSecondSpread) != 0;
    // Four interleaved sets of sums, so that no addition waits on the one before; they are
    // added up in a fixed order at the end.
    constexpr int kLanes = 4;
    const double inverse = 1 / spread;
    const double inverse2 = second ? 1 / spread2 : 0.0;
    double weight[kLanes] = {}, weighted[kLanes] = {}, slope[kLanes] = {}, numerator[kLanes] = {};
    double slope2[kLanes] = {}, numerator2[kLanes] = {};
    auto add = [&](int lane, int i) {
        const double d = w.v[i] - centre;
        const double u = d * inverse;
        const double u2 = u * u;
        const double q = std::max(0.0, 1 - u2);
        const double cq = w.c[i] * q;
        const double cq2 = cq * q;
        if constexpr (location) {
            weight[lane] += cq2;
            weighted[lane] += cq2 * d;
        }
        slope[lane] += cq * (1 - 5 * u2);
        if constexpr (scale) numerator[lane] += cq2 * q * q * u2;
        if constexpr (second) {
            const double v = d * inverse2;
            const double v2 = v * v;
            const double r = std::max(0.0, 1 - v2);
            const double cr = w.c[i] * r;
            const double cr2 = cr * r;
            slope2[lane] += cr * (1 - 5 * v2);
            numerator2[lane] += cr2 * r * r * v2;
        }
    };
    int i = 0;
    for (; i + kLanes <= w.m; i += kLanes)
        for (int lane = 0; lane < kLanes; ++lane) add(lane, i + lane);
    for (int lane = 0; i < w.m; ++i, ++lane) add(lane, i);
    std::pair<PassSums, PassSums> sums;
    for (int lane = 0; lane < kLanes; ++lane) {
        sums.first.weight += weight[lane];
        sums.first.weighted += weighted[lane];
        sums.first.slope += slope[lane];
        sums.first.numerator += numerator[lane];
        sums.second.slope += slope2[lane];
        sums.second.numerator += numerator2[lane];
    }
    return sums;
}

// The biweight location: the root T of Σψ(u) = 0, ψ(u) = u(1 - u²)² for |u| < 1, u = (x - T) /
// (3.7·scale), which is the fixed point of T <- T + Σw(x - T) / Σw with w = (1 - u²)². From
// the first pass (taken about start), Newton's step on Σψ reaches the root in a few passes;
// where it cannot be taken (Σψ' not positive) the reweighting step is taken instead. The
// iteration ends once a step is at most tolerance·scale.
//
// With errorSpread > 0 every later pass also gathers the sums of the location's standard error
// about its centre with that spread, and *errorSums holds those of the last pass: taken about
// the location before its last step, which is at most tolerance·scale away.
double biweightLocation(const Weighted& w, double start, double scale, PassSums sums,
                        double tolerance, double errorSpread = 0,
                        std::optional<PassSums>* errorSums = nullptr) {
    const double spread = 3.7 * scale;
    double t = start;
    for (int iteration = 0; iteration < 500; ++iteration) {
        if (iteration > 0 && errorSums) {
            auto both = passSums<kLocationSums | kSecondSpread>(w, t, spread, errorSpread);
            sums = both.first;
            *errorSums = both.second;
        } else if (iteration > 0) {
            sums = passSums<kLocationSums>(w, t, spread, 0).first;
        }
        if (!(sums.weight > 0)) break;
        // Newton: T + spread·Σψ(u) / Σψ'(u), and spread·Σψ(u) = Σw·(x - T).
        const double step =
            sums.slope > 0 ? sums.weighted / sums.slope : sums.weighted / sums.weight;
        if (!std::isfinite(step)) break;
        t += step;
        if (std::fabs(step) <= tolerance * scale) break;
    }
    return t;
}

// √(factor·Σu²(1 - u²)⁴ / (D·max(1, D - 1))) with D = Σ(1 - u²)(1 - 5u²), or nullopt when D
// is not positive.
std::optional<double> scaleFactor(const PassSums& sums, double factor) {
    const double d = sums.slope;
    if (!(d > 0)) return std::nullopt;
    const double value = std::sqrt(factor * sums.numerator / (d * std::max(1.0, d - 1)));
    if (!std::isfinite(value)) return std::nullopt;
    return value;
}

// The limits of weighted values with t = t(0.975, n - 1). With approximateError the standard
// error of the location is gathered in the same passes as the location itself (see
// biweightLocation): one pass fewer, for the bootstrap's resamples.
std::optional<RobustLimits> limitsOf(const Weighted& w, double t, double tolerance,
                                     bool approximateError = false) {
    if (w.n < 2 || w.m < 1) return std::nullopt;
    const double m = median(w);
    const double mad = medianAbsoluteDeviation(w, m) / 0.6745;
    if (!(mad > 0) || !std::isfinite(mad)) return std::nullopt;

    RobustLimits limits;
    limits.t = t;
    // The pass about the median serves both scales and the first step of the location.
    const auto [about37, about2056] =
        passSums<kLocationSums | kScaleSums | kSecondSpread>(w, m, 3.7 * mad, 205.6 * mad);
    const auto scale = scaleFactor(about2056, w.n);
    const auto scale37 = scaleFactor(about37, w.n);
    if (!scale || !scale37 || !(*scale37 > 0)) return std::nullopt;
    limits.scale = 205.6 * mad * *scale;
    const double sbi37 = 3.7 * mad * *scale37;
    const double errorSpread = 3.7 * sbi37;
    // Without a later pass (the first step already small enough) the error's sums are taken
    // about the location itself.
    std::optional<PassSums> errorSums;
    limits.location =
        biweightLocation(w, m, mad, about37, tolerance, approximateError ? errorSpread : 0,
                         approximateError ? &errorSums : nullptr);
    if (!errorSums) errorSums = passSums<kScaleSums>(w, limits.location, errorSpread, 0).first;
    const auto error = scaleFactor(*errorSums, 1);
    if (!error) return std::nullopt;
    limits.locationError = errorSpread * *error;
    const double half =
        t * std::sqrt(limits.scale * limits.scale + limits.locationError * limits.locationError);
    limits.lower = limits.location - half;
    limits.upper = limits.location + half;
    if (!std::isfinite(limits.lower) || !std::isfinite(limits.upper)) return std::nullopt;
    return limits;
}

// The distinct values of sorted values with their counts and, when asked (the bootstrap draws
// positions), for each position the index of its value.
struct Distinct {
    std::vector<double> values;
    std::vector<std::uint32_t> counts;
    std::vector<std::uint32_t> groupOf;
};

Distinct distinct(std::span<const double> sorted, bool groups) {
    Distinct d;
    if (groups) d.groupOf.reserve(sorted.size());
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        if (i == 0 || sorted[i] != sorted[i - 1]) {
            d.values.push_back(sorted[i]);
            d.counts.push_back(0);
        }
        ++d.counts.back();
        if (groups) d.groupOf.push_back(static_cast<std::uint32_t>(d.values.size() - 1));
    }
    return d;
}

// What one thread needs to draw and evaluate resamples.
struct BootstrapScratch {
    explicit BootstrapScratch(std::size_t distinctCount)
        : counts(distinctCount),
          cumulative(distinctCount),
          values(distinctCount),
          weights(distinctCount) {}
    std::vector<std::uint32_t> counts, cumulative;
    std::vector<double> values, weights;
};

// The limits of resamples first .. last - 1 into their slots of lowers and uppers.
void resampleRange(const Distinct& d, int n, double t, std::uint64_t seed, int first, int last,
                   BootstrapScratch& scratch, double* lowers, double* uppers) {
    // A resample's location is taken once a Newton step is below 1E-5 of the scale: what
    // remains is of the order of that step squared, far below the spread of the resamples.
    constexpr double kResampleTolerance = 1e-5;
    const std::size_t distinctCount = d.values.size();
    auto& [counts, cumulative, values, weights] = scratch;
    for (int b = first; b < last; ++b) {
        RandomStream random = RandomStream::stream(seed, static_cast<std::uint64_t>(b));
        for (int i = 0; i < n; ++i)
            ++counts[d.groupOf[random.below(static_cast<std::uint32_t>(n))]];
        // The drawn values in order, without a branch on each count; the counts start again
        // from zero for the next resample.
        std::size_t m = 0;
        std::uint32_t running = 0;
        for (std::size_t i = 0; i < distinctCount; ++i) {
            running += counts[i];
            values[m] = d.values[i];
            weights[m] = counts[i];
            cumulative[m] = running;
            m += counts[i] != 0 ? 1 : 0;
            counts[i] = 0;
        }
        const auto limits = limitsOf(
            Weighted{values.data(), weights.data(), cumulative.data(), static_cast<int>(m), n}, t,
            kResampleTolerance, true);
        lowers[b] = limits ? limits->lower : std::numeric_limits<double>::quiet_NaN();
        uppers[b] = limits ? limits->upper : std::numeric_limits<double>::quiet_NaN();
    }
}

// The first resample of part `part` of `parts`.
int partStart(int resamples, int part, int parts) {
    return static_cast<int>(static_cast<long long>(resamples) * part / parts);
}

// Threads for a bootstrap: one for small data, where starting a thread costs more than it
// saves; else as many as the machine runs at once, at most 4.
int bootstrapThreads(int n, int resamples) {
    if (static_cast<long>(n) * resamples < 200'000) return 1;
    const unsigned cores = std::thread::hardware_concurrency();
    return static_cast<int>(std::clamp(cores, 1u, 4u));
}

}  // namespace

std::optional<RobustLimits> robustLimits(std::span<const double> sorted) {
    const int n = static_cast<int>(sorted.size());
    if (n < 2) return std::nullopt;
    const Distinct d = distinct(sorted, false);
    std::vector<double> counts(d.values.size());
    std::vector<std::uint32_t> cumulative(d.values.size());
    std::uint32_t running = 0;
    for (std::size_t i = 0; i < counts.size(); ++i) {
        counts[i] = d.counts[i];
        cumulative[i] = running += d.counts[i];
    }
    return limitsOf(Weighted{d.values.data(), counts.data(), cumulative.data(),
                             static_cast<int>(d.values.size()), n},
                    studentTQuantile(0.975, n - 1), 1e-10);
}

std::optional<BootstrapInterval> bootstrapRobustLimits(std::span<const double> sorted,
                                                       int resamples, std::uint64_t seed,
                                                       int threads) {
    const int n = static_cast<int>(sorted.size());
    if (n < 2 || resamples < 1) return std::nullopt;
    const double t = studentTQuantile(0.975, n - 1);
    // Draws are counted per distinct value: laboratory values repeat, and every pass over a
    // resample then runs over the distinct values only.
    const Distinct d = distinct(sorted, true);
    // Each resample draws from a stream of its own, so the resamples can be shared out among
    // threads and still give the same limits, in the same order, on any machine. A resample
    // without limits leaves NaN in its slot.
    std::vector<double> lowers(static_cast<std::size_t>(resamples));
    std::vector<double> uppers(static_cast<std::size_t>(resamples));
    if (threads <= 0) threads = bootstrapThreads(n, resamples);
    threads = std::min(threads, resamples);
    std::vector<BootstrapScratch> scratch;
    scratch.reserve(static_cast<std::size_t>(threads));
    for (int i = 0; i < threads; ++i) scratch.emplace_back(d.values.size());
    auto work = [&](int part) {
        resampleRange(d, n, t, seed, partStart(resamples, part, threads),
                      partStart(resamples, part + 1, threads),
                      scratch[static_cast<std::size_t>(part)], lowers.data(), uppers.data());
    };
    std::vector<std::thread> helpers;
    for (int part = 1; part < threads; ++part) {
        try {
            helpers.emplace_back(work, part);
        } catch (const std::exception&) {
            // No thread to be had: this thread takes the rest of the parts.
            for (int rest = part; rest < threads; ++rest) work(rest);
            break;
        }
    }
    work(0);
    for (auto& helper : helpers) helper.join();

    // Slot 0 unused: the percentile routine counts from 1.
    std::vector<double> validLowers(1), validUppers(1);
    for (int b = 0; b < resamples; ++b) {
        if (std::isnan(lowers[static_cast<std::size_t>(b)])) continue;
        validLowers.push_back(lowers[static_cast<std::size_t>(b)]);
        validUppers.push_back(uppers[static_cast<std::size_t>(b)]);
    }
    const int valid = static_cast<int>(validLowers.size()) - 1;
    if (valid < 2 || 2 * valid < resamples) return std::nullopt;
    std::sort(validLowers.begin() + 1, validLowers.end());
    std::sort(validUppers.begin() + 1, validUppers.end());
    BootstrapInterval interval;
    interval.resamples = valid;
    interval.lowerLow = PercentileOf(validLowers.data(), valid, 5);
    interval.lowerHigh = PercentileOf(validLowers.data(), valid, 95);
    interval.upperLow = PercentileOf(validUppers.data(), valid, 5);
    interval.upperHigh = PercentileOf(validUppers.data(), valid, 95);
    return interval;
}

}  // namespace kijunchi
