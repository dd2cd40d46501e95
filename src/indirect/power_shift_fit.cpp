#include "indirect/power_shift_fit.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <random>
#include <thread>
#include <vector>

#include "analysis/checked.h"
#include "indirect/simplex.h"

namespace kijunchi {

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kZ975 = 1.959963984540054;
constexpr double kZ95 = 1.6448536269514722;  // bounds a two-sided 90% interval
constexpr std::size_t kMaxClasses = 150;
// A class holds at least this many results (neighbouring values pooled). A class left over to
// the pathological results costs at most kCap whatever it holds, so with a few results per
// class (1000 results in 150 classes: about 7) leaving a shoulder over costs more than
// stretching the fit's tail across it; with at least 15 a shoulder of small data is left over
// as it is with large data, and a class's deviance is nearer its large-count behaviour.
constexpr double kLeastCount = 15;
constexpr std::size_t kFewValues = 30;
// The price of a class left to the pathological results.
constexpr double kCap = 2.0;
// Within this many σ of the centre the pathological results are few: a class there pays its
// whole deviance either way.
constexpr double kCore = 2.0;
// The non-pathological results are taken to be at least this share of the results.
constexpr double kLeastShare = 0.3;
// The data's main peak is the narrowest run of classes holding this share of the results; its
// classes pay their whole deviance too, whatever the fit's centre, so that a fit cannot leave
// the main peak over as pathological and settle on a wider pathological hump that holds more
// results (a class left over costs at most kCap, so without this a fit is drawn to whichever
// hump explains most classes).
constexpr double kPeakShare = 0.1;
// A run with less than this share of the results below or above it is a pile at an end of the
// support or of the measuring range (low pathological values of a shifted analyte gather just
// above the shift), not a peak: the fit is then left to its cost alone.
constexpr double kPeakSide = 0.025;
constexpr double kLambdaLow = -1.0, kLambdaHigh = 2.0;
// Fits whose cost is within this of the best are acceptable too; their limits' spread is part
// of the uncertainty of the separation.
constexpr double kAcceptable = 3.0;

// Classes of the results: edges e_0 < … < e_K (e_0 = −∞, e_K = +∞), count n_k in (e_k, e_k+1].
struct Classes {
    std::vector<double> edge;
    std::vector<double> count;
    double total = 0;
    double q25 = 0, q50 = 0, q75 = 0, mode = 0;
    double smallest = 0, largest = 0;  // measured values
    // The classes of the data's main peak, [peakFirst, peakLast]; none where first > last.
    std::size_t peakFirst = 1, peakLast = 0;
};

Classes makeClasses(const ValueCounts& counts) {
    Classes c;
    std::vector<std::pair<double, std::int64_t>> values;
    double below = static_cast<double>(counts.censoredBelow());
    const double above = static_cast<double>(counts.censoredAbove());
    for (const auto& [v, n] : counts.sorted()) {
        if (v > 0)
            values.emplace_back(v, n);
        else
            below += static_cast<double>(n);
    }
    const std::size_t m = values.size();
    if (m == 0) return c;
    c.smallest = values.front().first;
    c.largest = values.back().first;
    std::vector<double> lo(m), hi(m);
    for (std::size_t i = 0; i < m; ++i) {
        const double gapBelow = i > 0 ? values[i].first - values[i - 1].first
                                      : (m > 1 ? values[1].first - values[0].first : 0.0);
        const double gapAbove = i + 1 < m ? values[i + 1].first - values[i].first : gapBelow;
        lo[i] = std::max(values[i].first - gapBelow / 2, values[i].first / 2);
        hi[i] = values[i].first + gapAbove / 2;
        if (gapBelow == 0.0) lo[i] = values[i].first * (1 - 1e-9);
        if (gapAbove == 0.0) hi[i] = values[i].first * (1 + 1e-9);
    }
    double measured = 0;
    for (const auto& vc : values) measured += static_cast<double>(vc.second);
    c.total = measured + below + above;
    c.edge.push_back(-kInf);
    c.count.push_back(below);
    // Fewer than kFewValues distinct values are classes already (rounding pooled them): kept
    // as they are, so that pooling never leaves fewer classes than there are values to fit.
    const double target = std::max(m > kMaxClasses ? measured / kMaxClasses : 0.0,
                                   m >= kFewValues ? kLeastCount : 0.0);
    for (std::size_t i = 0; i < m;) {
        std::size_t j = i;
        auto n = static_cast<double>(values[i].second);
        while (j + 1 < m && n < target) n += static_cast<double>(values[++j].second);
        c.edge.push_back(lo[i]);
        c.count.push_back(n);
        i = j + 1;
        if (i < m) continue;
        c.edge.push_back(hi[j]);
    }
    c.count.push_back(above);
    c.edge.push_back(kInf);
    // Quartiles of all results, and the mode: the class of highest density, its neighbours
    // taken with it.
    double cum = 0;
    std::array<double*, 3> q{&c.q25, &c.q50, &c.q75};
    std::array<bool, 3> found{};
    for (std::size_t k = 0; k < c.count.size(); ++k) {
        cum += c.count[k];
        for (int i = 0; i < 3; ++i)
            if (!found[i] && cum >= c.total * (i + 1) / 4.0) {
                const double a = std::isfinite(c.edge[k]) ? c.edge[k] : c.smallest;
                const double b = std::isfinite(c.edge[k + 1]) ? c.edge[k + 1] : c.largest;
                *q[i] = 0.5 * (a + b);
                found[i] = true;
            }
    }
    double bestDensity = -1;
    for (std::size_t k = 2; k + 2 < c.count.size(); ++k) {
        const double n = c.count[k - 1] + c.count[k] + c.count[k + 1];
        const double w = c.edge[k + 2] - c.edge[k - 1];
        if (w > 0 && n / w > bestDensity) {
            bestDensity = n / w;
            c.mode = 0.5 * (c.edge[k] + c.edge[k + 1]);
        }
    }
    if (bestDensity < 0) c.mode = c.q50;
    // The main peak: the narrowest run of classes holding kPeakShare of the measured results
    // (a robust mode of the mixture), where it has at least kPeakSide of them on either side.
    {
        const std::size_t first = 1, last = c.count.size() - 2;  // measured classes
        std::vector<double> before(c.count.size() + 1, 0.0);     // results in classes < i
        for (std::size_t k = 0; k < c.count.size(); ++k) before[k + 1] = before[k] + c.count[k];
        const double want = kPeakShare * measured;
        // The run from class a upwards holding want: one past its last class; 0 if none.
        const auto upFrom = [&](std::size_t a) -> std::size_t {
            const auto it = std::lower_bound(before.begin() + static_cast<std::ptrdiff_t>(a) + 1,
                                             before.begin() + static_cast<std::ptrdiff_t>(last) + 2,
                                             before[a] + want);
            return it == before.begin() + static_cast<std::ptrdiff_t>(last) + 2
                       ? 0
                       : static_cast<std::size_t>(it - before.begin());
        };
        double narrowest = kInf;
        std::size_t peakA = 0, peakB = 0;
        for (std::size_t a = first; a <= last; ++a) {
            const std::size_t b = upFrom(a);
            if (b == 0) break;
            if (c.edge[b] - c.edge[a] < narrowest) {
                narrowest = c.edge[b] - c.edge[a];
                peakA = a;
                peakB = b;
            }
        }
        // A pile at an end of the support or of the measuring range is no peak: the peak
        // must have results on both sides.
        const double aside = kPeakSide * measured;
        if (std::isfinite(narrowest) && before[peakA] - before[first] >= aside &&
            before[last + 1] - before[peakB] >= aside) {
            c.peakFirst = peakA;
            c.peakLast = peakB - 1;
        }
    }
    return c;
}

// The Box–Cox transformation of x − s; its value at the support's lower end where x ≤ s.
double boxCox(double lambda, double x) {
    if (x <= 0) return lambda > 0 ? -1 / lambda : -kInf;
    if (std::isinf(x)) return lambda < 0 ? -1 / lambda : kInf;
    if (std::abs(lambda) < 1e-9) return std::log(x);
    return std::expm1(lambda * std::log(x)) / lambda;
}

// x − s of y; 0 where y lies below the support (λ > 0), nullopt where above it (λ < 0).
std::optional<double> inverseBoxCox(double lambda, double y) {
    if (std::abs(lambda) < 1e-9) return std::exp(y);
    const double base = 1 + lambda * y;
    if (base <= 0) return lambda > 0 ? std::optional<double>(0.0) : std::nullopt;
    return std::exp(std::log(base) / lambda);
}

double normalCdf(double z) {
    return 0.5 * std::erfc(-z / std::numbers::sqrt2);
}

// The five parameters as the search moves them.
using Theta = std::array<double, 5>;  // λ, w (s = median·(1 − e^w), w ≤ 0), a, b, c

struct Model {
    double lambda, shift, mu, sigma, share;
};

// A pathological shoulder above the non-pathological results: normal on the fit's transformed
// scale, its centre `offset` σ above μ, its SD `spread` σ, holding `share` of all results.
struct Shoulder {
    double share = 0, offset = 0, spread = 1;
};

// θ and the shoulder's three parameters (its share of what the fit leaves over, its offset and
// its spread, each through a logistic onto its range: 1–6σ above μ, an SD of 0.3–3σ).
using Theta8 = std::array<double, 8>;
constexpr double kShoulderNearest = 1, kShoulderFarthest = 6;
constexpr double kShoulderNarrowest = 0.3, kShoulderWidest = 3;

double logistic(double t) {
    return 1 / (1 + std::exp(-t));
}

class Fit {
public:
    explicit Fit(const Classes& c)
        : c_(c),
          n_(c.count),
          cdf_(c.edge.size()),
          z_(c.edge.size()),
          fromShoulder_(c.edge.size()),
          held_(c.edge.size()) {}
    void setCounts(const std::vector<double>& n) { n_ = n; }
    // Results each class expects besides the fit's own, held fixed (a shoulder fitted before).
    void setHeld(const std::vector<double>& held) { held_ = held; }

    // θ on the measurement scale; false where it is outside its bounds.
    bool model(const Theta& th, Model& m) const {
        if (th[0] < kLambdaLow || th[0] > kLambdaHigh || th[1] > 0 || th[1] < -12 ||
            std::abs(th[3]) > 12 || std::abs(th[4]) > 30)
            return false;
        m.lambda = th[0];
        m.shift = c_.q50 * -std::expm1(th[1]);
        const double l = boxCox(m.lambda, c_.q25 - m.shift);
        const double h = boxCox(m.lambda, c_.q75 - m.shift);
        const double centre = boxCox(m.lambda, c_.mode - m.shift);
        if (!std::isfinite(l) || !std::isfinite(h) || !std::isfinite(centre) || !(h > l))
            return false;
        const double scale = (h - l) / 1.349;
        m.mu = centre + th[2] * scale;
        m.sigma = scale * std::exp(th[3]);
        m.share = kLeastShare + (1 - kLeastShare) / (1 + std::exp(-th[4]));
        return std::isfinite(m.mu) && m.sigma > 0 && std::isfinite(m.sigma);
    }

    static bool shoulderOf(const Theta8& th, const Model& m, Shoulder& s) {
        if (std::abs(th[5]) > 30 || std::abs(th[6]) > 30 || std::abs(th[7]) > 30) return false;
        s.share = (1 - m.share) * logistic(th[5]);
        s.offset = kShoulderNearest + (kShoulderFarthest - kShoulderNearest) * logistic(th[6]);
        s.spread = kShoulderNarrowest + (kShoulderWidest - kShoulderNarrowest) * logistic(th[7]);
        return true;
    }

    double cost(const Theta& th) {
        Model m{};
        if (!model(th, m)) return kInf;
        return costOf(m, nullptr);
    }

    // The cost with a shoulder.
    double cost(const Theta8& th) {
        Model m{};
        Shoulder s;
        if (!model(head(th), m) || !shoulderOf(th, m, s)) return kInf;
        return costOf(m, &s);
    }

    static Theta head(const Theta8& th) { return {th[0], th[1], th[2], th[3], th[4]}; }

    // After a cost: the results each class expects from the shoulder.
    const std::vector<double>& fromShoulder() const { return fromShoulder_; }

private:
    double costOf(const Model& m, const Shoulder* shoulder) {
        for (std::size_t k = 0; k < cdf_.size(); ++k) {
            double z = (boxCox(m.lambda, c_.edge[k] - m.shift) - m.mu) / m.sigma;
            if (std::isnan(z)) z = c_.edge[k] > 0 ? kInf : -kInf;
            z_[k] = z;
            cdf_[k] = normalCdf(z);
        }
        // The outer classes take what lies beyond the support too (below it where λ > 0, above
        // it where λ < 0): the model's probabilities sum to one, and a fit cannot shed mass
        // beyond its support's end to act as a smaller share.
        cdf_.front() = 0;
        cdf_.back() = 1;
        z_.front() = -kInf;
        z_.back() = kInf;
        const double expected = m.share * c_.total;
        double sum = 0, shoulderBelow = 0;
        for (std::size_t k = 0; k + 1 < cdf_.size(); ++k) {
            double e = expected * std::max(0.0, cdf_[k + 1] - cdf_[k]) + held_[k];
            if (shoulder) {
                const double above =
                    k + 2 < cdf_.size()
                        ? normalCdf((z_[k + 1] - shoulder->offset) / shoulder->spread)
                        : 1.0;
                fromShoulder_[k] =
                    shoulder->share * c_.total * std::max(0.0, above - shoulderBelow);
                shoulderBelow = above;
                e += fromShoulder_[k];
            }
            const double n = n_[k];
            double d;
            if (e <= 1e-300)
                d = n > 0 ? kInf : 0.0;
            else
                d = n > 0 ? 2 * (n * std::log(n / e) - n + e) : 2 * e;
            const bool core =
                (z_[k] >= -kCore && z_[k + 1] <= kCore) || (k >= c_.peakFirst && k <= c_.peakLast);
            sum += n > e && !core ? kCap * -std::expm1(-d / kCap) : d;
        }
        return std::isfinite(sum) ? sum : kInf;
    }

    const Classes& c_;
    std::vector<double> n_;
    std::vector<double> cdf_, z_, fromShoulder_, held_;
};

// The simplex search over the dimensions in `free` (the others held), at most maxEvaluations
// evaluations of the cost.
template <class F>
Theta minimise(F&& f, const Theta& start, const Theta& step, const std::array<bool, 5>& free,
               int maxEvaluations, double& best) {
    SimplexLimits limits;
    limits.evaluations = maxEvaluations;
    limits.tolerance = 1e-4;
    return simplexMinimise(f, start, step, free, limits, best);
}

struct Solution {
    Theta theta{};
    double cost = kInf;
    Model model{};
    Theta8 withShoulder{};  // θ and the shoulder's parameters, where one was fitted
};

std::optional<std::pair<double, double>> limitsOf(const Model& m) {
    const auto lo = inverseBoxCox(m.lambda, m.mu - kZ975 * m.sigma);
    const auto hi = inverseBoxCox(m.lambda, m.mu + kZ975 * m.sigma);
    if (!lo || !hi) return std::nullopt;
    return std::make_pair(m.shift + *lo, m.shift + *hi);
}

bool stopped(const IndirectOptions& options) {
    return options.cancel && options.cancel->load(std::memory_order_relaxed);
}

const Theta kFineStep{0.15, 0.3, 0.1, 0.1, 0.3};
constexpr std::array<bool, 5> kAll{true, true, true, true, true};

// The search from the twelve starts; the solutions found, best first.
std::vector<Solution> searchAll(Fit& fit) {
    std::vector<Solution> starts;
    for (double lambda : {0.0, 1.0 / 3, 2.0 / 3, 1.0})
        for (double s : {0.0, 0.5, 0.9}) {
            Theta th{lambda, std::log1p(-s), 0, std::log(0.7), 1.4};
            Solution sol;
            const auto f = [&](const Theta& t) { return fit.cost(t); };
            sol.theta = minimise(f, th, {0, 0, 0.3, 0.3, 1.0}, {false, false, true, true, true},
                                 200, sol.cost);
            if (std::isfinite(sol.cost)) starts.push_back(sol);
        }
    std::sort(starts.begin(), starts.end(),
              [](const Solution& a, const Solution& b) { return a.cost < b.cost; });
    if (starts.size() > 3) starts.resize(3);
    for (auto& sol : starts) {
        const auto f = [&](const Theta& t) { return fit.cost(t); };
        sol.theta = minimise(f, sol.theta, {0.3, 0.5, 0.2, 0.2, 0.5}, kAll, 1200, sol.cost);
        sol.theta = minimise(f, sol.theta, kFineStep, kAll, 800, sol.cost);
        fit.model(sol.theta, sol.model);
    }
    std::sort(starts.begin(), starts.end(),
              [](const Solution& a, const Solution& b) { return a.cost < b.cost; });
    return starts;
}

// The fit's upper limit beyond that of the log-normal with its shift, median and lower limit, in
// σ of the fit: what a λ below 0 adds to it (a shoulder on the right taken in bends λ below 0).
// NaN where there is no such log-normal.
double bendOfUpper(const Model& m) {
    const auto median = inverseBoxCox(m.lambda, m.mu);
    const auto lower = inverseBoxCox(m.lambda, m.mu - kZ975 * m.sigma);
    if (!median || !lower || !(*median > 0) || !(*lower > 0)) return kNaN;
    return kZ975 - (boxCox(m.lambda, *median * *median / *lower) - m.mu) / m.sigma;
}

// Every solution fitted again with a shoulder, started 3σ above μ with an SD of 1σ and half of
// what the fit leaves over; best first.
void fitShoulder(Fit& fit, std::vector<Solution>& solutions) {
    const auto logit = [](double p) { return std::log(p / (1 - p)); };
    for (auto& sol : solutions) {
        Theta8 th{};
        std::copy(sol.theta.begin(), sol.theta.end(), th.begin());
        th[5] = 0;
        th[6] = logit((3 - kShoulderNearest) / (kShoulderFarthest - kShoulderNearest));
        th[7] = logit((1 - kShoulderNarrowest) / (kShoulderWidest - kShoulderNarrowest));
        const auto f = [&](const Theta8& t) { return fit.cost(t); };
        SimplexLimits limits;
        limits.tolerance = 1e-4;
        limits.evaluations = 1500;
        th = simplexMinimise(f, th, {0.15, 0.3, 0.1, 0.1, 0.3, 1, 1, 1},
                             std::array<bool, 8>{true, true, true, true, true, true, true, true},
                             limits, sol.cost);
        limits.evaluations = 800;
        th = simplexMinimise(f, th, {0.15, 0.3, 0.1, 0.1, 0.3, 0.5, 0.5, 0.5},
                             std::array<bool, 8>{true, true, true, true, true, true, true, true},
                             limits, sol.cost);
        sol.withShoulder = th;
        sol.theta = Fit::head(th);
        fit.model(sol.theta, sol.model);
    }
    std::sort(solutions.begin(), solutions.end(),
              [](const Solution& a, const Solution& b) { return a.cost < b.cost; });
}

double percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    const double h = p * static_cast<double>(v.size() - 1);
    const auto i = static_cast<std::size_t>(std::floor(h));
    if (i + 1 >= v.size()) return v.back();
    return v[i] + (h - static_cast<double>(i)) * (v[i + 1] - v[i]);
}

void estimate(const ValueCounts& counts, const IndirectOptions& options, IndirectResult& r) {
    if (r.total > 0 && r.censoredBelow + r.censoredAbove >= (r.total + 1) / 2) {
        r.refusal = r.censoredBelow + r.censoredAbove == r.total
                        ? "推定できません: すべての結果が「<」「>」付きの打ち切り値です。"
                        : "推定できません: 結果の半数以上が「<」「>」付きの打ち切り値です。";
        return;
    }
    if (r.total < kIndirectMinimum) {
        r.refusal = "推定できません: 結果が" + std::to_string(r.total) + "個しかありません（" +
                    std::to_string(kIndirectMinimum) + "個以上必要です）。";
        return;
    }
    const Classes classes = makeClasses(counts);
    if (classes.count.size() < 7) {
        r.refusal = "推定できません: 異なる値が5種類未満です。";
        return;
    }
    Fit fit(classes);
    auto solutions = searchAll(fit);
    if (stopped(options)) {
        r.refusal = "推定を中止しました。";
        return;
    }
    // The best fit whose limits are a separation: finite, in order, within the results (a fit
    // collapsed onto the support's end or reaching beyond the results is none).
    const auto plausible = [&](const Solution& sol) {
        const auto l = limitsOf(sol.model);
        return l && l->first < l->second && l->first > 0 && l->first >= classes.smallest &&
               l->second <= classes.largest;
    };
    auto chosen = std::find_if(solutions.begin(), solutions.end(), plausible);
    // A λ below 0 that bends the upper limit out: the fit has taken a shoulder on the right in
    // as part of its upper tail, which the results inside the core let it do, as they pay their
    // whole deviance. Every solution is fitted again with the shoulder as a distribution of its
    // own, and taken where one of them is a separation.
    bool shouldered = false;
    if (chosen != solutions.end() && chosen->model.lambda < 0 &&
        bendOfUpper(chosen->model) > kBentUpper) {
        auto refitted = solutions;
        fitShoulder(fit, refitted);
        if (std::any_of(refitted.begin(), refitted.end(), plausible)) {
            solutions = std::move(refitted);
            chosen = std::find_if(solutions.begin(), solutions.end(), plausible);
            shouldered = true;
        }
    }
    if (chosen == solutions.end()) {
        r.refusal = "推定できません: 非病的な分布の山を分けられませんでした。";
        return;
    }
    const Solution& best = *chosen;
    const Model& m = best.model;
    std::vector<double> held(classes.count.size(), 0.0);  // the shoulder's, for the resamples
    if (shouldered && std::isfinite(fit.cost(best.withShoulder))) held = fit.fromShoulder();
    const auto limits = *limitsOf(m);
    r.lambda = m.lambda;
    r.shift = m.shift;
    // On the program's modified power transformation, which adds λ.
    r.mu = m.mu + m.lambda;
    r.sigma = m.sigma;
    r.fraction = m.share;
    r.lower = limits.first;
    r.upper = limits.second;
    // The results the fit rests on: those of the central 99% of the fitted distribution.
    {
        const auto a = inverseBoxCox(m.lambda, m.mu - 2.576 * m.sigma);
        const auto b = inverseBoxCox(m.lambda, m.mu + 2.576 * m.sigma);
        r.lowerTruncation = a ? m.shift + *a : kNaN;
        r.upperTruncation = b ? m.shift + *b : kNaN;
        double used = 0;
        for (const auto& [v, c] : counts.sorted())
            if (v >= r.lowerTruncation && v <= r.upperTruncation) used += static_cast<double>(c);
        r.used = static_cast<std::int64_t>(used);
    }
    // Other fits nearly as good: how far their limits lie from these, in σ of the fit.
    auto zOf = [&](double x) { return (boxCox(m.lambda, x - m.shift) - m.mu) / m.sigma; };
    for (const auto& sol : solutions) {
        if (&sol == &best || sol.cost - best.cost > kAcceptable) continue;
        const auto other = limitsOf(sol.model);
        if (!other) continue;
        r.separationSpread = std::max({r.separationSpread, std::abs(zOf(other->first) + kZ975),
                                       std::abs(zOf(other->second) - kZ975)});
    }

    if (options.resamples < 0) return;
    const int resamples = options.resamples > 0 ? options.resamples : 60;
    r.resamples = resamples;
    r.seed = options.seed;
    std::vector<std::optional<std::pair<double, double>>> out(resamples);
    const auto work = [&](int from, int to) {
        const std::size_t k = classes.count.size();
        Fit resampledFit(classes);
        resampledFit.setHeld(held);
        std::vector<double> drawn(k);
        for (int s = from; s < to && !stopped(options); ++s) {
            std::mt19937_64 engine(options.seed + static_cast<std::uint64_t>(s));
            auto left = static_cast<std::int64_t>(classes.total);
            double rest = classes.total;
            for (std::size_t j = 0; j < k; ++j) {
                const double q = rest > 0 ? std::clamp(classes.count[j] / rest, 0.0, 1.0) : 1.0;
                const auto d =
                    left > 0 ? std::binomial_distribution<std::int64_t>(left, q)(engine) : 0;
                drawn[j] = static_cast<double>(d);
                left -= d;
                rest -= classes.count[j];
            }
            resampledFit.setCounts(drawn);
            try {
                double cost = 0;
                const auto f = [&](const Theta& t) { return resampledFit.cost(t); };
                const Theta th = minimise(f, best.theta, kFineStep, kAll, 500, cost);
                Model rm{};
                if (std::isfinite(cost) && resampledFit.model(th, rm))
                    out[static_cast<std::size_t>(s)] = limitsOf(rm);
            } catch (const CalcError&) {
            }
        }
    };
    const int half = resamples / 2;
    std::thread second(work, half, resamples);
    work(0, half);
    second.join();
    if (stopped(options)) {
        r.refusal = "推定を中止しました。";
        return;
    }
    std::vector<double> lows, highs;
    for (const auto& o : out)
        if (o) {
            lows.push_back(o->first);
            highs.push_back(o->second);
        }
    r.resamplesFitted = static_cast<int>(lows.size());
    if (lows.size() >= 10) {
        r.lowerCiLow = std::min(r.lower, percentile(lows, 0.05));
        r.lowerCiHigh = std::max(r.lower, percentile(lows, 0.95));
        r.upperCiLow = std::min(r.upper, percentile(highs, 0.05));
        r.upperCiHigh = std::max(r.upper, percentile(highs, 0.95));
        // The intervals reach at least as far as the sampling error of a normal percentile from
        // the fitted number of non-pathological results, ±1.645·√((1 + 1.96²/2)/(P·N)) σ. The
        // resamples alone can show less: where a pathological shoulder lies just beyond the
        // core, the best fit reaches as far as the core's edge can go without taking in a
        // class that holds too many results, so the core's edge sits on a class edge, and as
        // the resamples keep the classes, their refits come back to that same class edge
        // (at 10⁵ results up to 30 times narrower than the sampling error).
        const double h = kZ95 * std::sqrt((1 + kZ975 * kZ975 / 2) / (m.share * classes.total));
        const auto reach = [&](double z, double& low, double& high) {
            const auto a = inverseBoxCox(m.lambda, m.mu + (z - h) * m.sigma);
            const auto b = inverseBoxCox(m.lambda, m.mu + (z + h) * m.sigma);
            if (a) low = std::min(low, m.shift + *a);
            if (b) high = std::max(high, m.shift + *b);
        };
        reach(-kZ975, r.lowerCiLow, r.lowerCiHigh);
        reach(kZ975, r.upperCiLow, r.upperCiHigh);
    }
}

}  // namespace

IndirectResult estimatePowerShift(const ValueCounts& counts, const IndirectOptions& options) {
    IndirectResult r;
    r.method = IndirectMethod::PowerShift;
    r.total = counts.total();
    r.censoredBelow = counts.censoredBelow();
    r.censoredAbove = counts.censoredAbove();
    r.seed = options.seed;
    r.lowerTruncation = r.upperTruncation = r.fraction = r.lambda = r.mu = r.sigma = kNaN;
    r.ksDistance = r.lower = r.upper = r.otherLower = r.otherUpper = kNaN;
    r.lowerCiLow = r.lowerCiHigh = r.upperCiLow = r.upperCiHigh = kNaN;
    try {
        estimate(counts, options, r);
    } catch (const CalcError& e) {
        r.refusal = std::string("推定できません: 計算できませんでした（") + e.what() + "）。";
    }
    if (!r.refusal.empty()) r.lower = r.upper = kNaN;
    return r;
}

}  // namespace kijunchi
