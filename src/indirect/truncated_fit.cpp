#include "indirect/truncated_fit.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <random>
#include <set>
#include <thread>
#include <vector>

#include "analysis/checked.h"
#include "analysis/distributions.h"
#include "analysis/power_formula.h"
#include "indirect/simplex.h"

namespace kijunchi {

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// λ is searched within these bounds; a fit that ends at one of them is not trusted.
constexpr double kLambdaMin = -1.0, kLambdaMax = 2.0, kLambdaEdge = 0.02;
// The truncation points: T1 at the results' quantiles 0, 0.05, …, 0.40, T2 at 0.60, …, 1.
constexpr int kGridSteps = 9;
constexpr double kGridStep = 0.05;
constexpr double kUpperStart = 0.60;
// A resample chooses its truncation points on every second position of the grid, through the
// points the partition's own search chose.
constexpr int kResampleStride = 2;
// Distinct values beyond this many are pooled into neighbouring bins of similar counts.
constexpr std::size_t kMaxBins = 200;
constexpr double kZ975 = 1.959963984540054;
// A window's fit passes when its Kolmogorov–Smirnov statistic √n·D stays below this: about the
// 1% point of the statistic for a normal fitted to the same data (Lilliefors: 1.031).
constexpr double kAcceptedStatistic = 1.0;

// The cells of the results: bins of measured values with their edges, the censored results
// and the results at or below zero (which no power transformation takes) to either side.
struct Cells {
    std::vector<double> lowerEdge, upperEdge;
    std::vector<std::int64_t> count;  // per bin
    std::int64_t below = 0, above = 0;
    double belowLimit = 0;     // no window starts below this
    double aboveLimit = kInf;  // nor ends above this
    double total() const {
        double n = static_cast<double>(below + above);
        for (auto c : count) n += static_cast<double>(c);
        return n;
    }
};

Cells makeCells(const ValueCounts& counts) {
    Cells cells;
    cells.below = counts.censoredBelow();
    cells.above = counts.censoredAbove();
    if (!counts.below().empty()) cells.belowLimit = counts.below().rbegin()->first;
    if (!counts.above().empty()) cells.aboveLimit = counts.above().begin()->first;
    std::vector<std::pair<double, std::int64_t>> values;
    for (const auto& [v, c] : counts.sorted()) {
        if (v > 0)
            values.emplace_back(v, c);
        else
            cells.below += c;
    }
    const std::size_t m = values.size();
    if (m == 0) return cells;
    // Each value stands for the interval halfway to its neighbours.
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
    std::int64_t measured = 0;
    for (const auto& vc : values) measured += vc.second;
    const double target = m > kMaxBins ? static_cast<double>(measured) / kMaxBins : 0.0;
    for (std::size_t i = 0; i < m;) {
        std::size_t j = i;
        std::int64_t c = values[i].second;
        while (j + 1 < m && static_cast<double>(c) < target) c += values[++j].second;
        cells.lowerEdge.push_back(lo[i]);
        cells.upperEdge.push_back(hi[j]);
        cells.count.push_back(c);
        i = j + 1;
    }
    return cells;
}

// The parameters as the search moves them: λ, and μ and ln σ relative to the window's median
// and spread on the transformed scale, so that a step in λ leaves the other two near their
// best.
using Theta = std::array<double, 3>;

class WindowFit {
public:
    WindowFit(const Cells& cells, const std::vector<std::int64_t>& count, std::size_t a,
              std::size_t b)
        : a_(a), b_(b) {
        edges_.push_back(cells.lowerEdge[a]);
        for (std::size_t k = a; k <= b; ++k) {
            edges_.push_back(cells.upperEdge[k]);
            counts_.push_back(static_cast<double>(count[k]));
            n_ += static_cast<double>(count[k]);
        }
        // The window's quartiles, for the scales of μ and σ.
        double cum = 0;
        std::array<double, 3> q{};
        std::array<bool, 3> found{};
        for (std::size_t k = a; k <= b; ++k) {
            cum += static_cast<double>(count[k]);
            for (int i = 0; i < 3; ++i)
                if (!found[i] && cum >= n_ * (i + 1) / 4.0) {
                    q[i] = 0.5 * (cells.lowerEdge[k] + cells.upperEdge[k]);
                    found[i] = true;
                }
        }
        q25_ = q[0];
        q50_ = q[1];
        q75_ = q[2];
        if (!(q75_ > q25_)) {
            q25_ = edges_.front();
            q75_ = edges_.back();
        }
        g_.resize(edges_.size());
        t_.resize(edges_.size());
    }

    double n() const { return n_; }
    std::size_t firstBin() const { return a_; }
    std::size_t lastBin() const { return b_; }

    // μ and σ of θ on the transformed scale; false where λ leaves the transformation undefined.
    bool parameters(const Theta& th, double& mu, double& sigma) const {
        const double lambda = th[0];
        const auto m = powerTransformed(lambda, q50_);
        const auto l = powerTransformed(lambda, q25_);
        const auto h = powerTransformed(lambda, q75_);
        if (!m || !l || !h || !(*h > *l)) return false;
        const double scale = (*h - *l) / 1.349;
        mu = *m + th[1] * scale;
        sigma = scale * std::exp(th[2]);
        return std::isfinite(mu) && std::isfinite(sigma) && sigma > 0;
    }

    // The negative log-likelihood of the window's counts under the truncated distribution.
    double negLogLikelihood(const Theta& th) {
        if (th[0] < kLambdaMin || th[0] > kLambdaMax || std::abs(th[2]) > 20) return kInf;
        double mu = 0, sigma = 0;
        if (!parameters(th, mu, sigma)) return kInf;
        if (!standardise(th[0], mu, sigma)) return kInf;
        const double mass = massBetween(0, edges_.size() - 1);
        if (!(mass > 0)) return kInf;
        double nll = n_ * std::log(mass);
        for (std::size_t k = 0; k < counts_.size(); ++k) {
            if (counts_[k] == 0) continue;
            const double p = massBetween(k, k + 1);
            if (!(p > 0)) return kInf;
            nll -= counts_[k] * std::log(p);
        }
        return std::isfinite(nll) ? nll : kInf;
    }

    // The largest distance between the window's empirical distribution and the fitted one
    // truncated to the window, at the bins' upper edges.
    double ksDistance(const Theta& th) {
        double mu = 0, sigma = 0;
        if (!parameters(th, mu, sigma) || !standardise(th[0], mu, sigma)) return kInf;
        const double mass = massBetween(0, edges_.size() - 1);
        double cum = 0, d = 0;
        for (std::size_t k = 0; k < counts_.size(); ++k) {
            cum += counts_[k];
            const double fitted = massBetween(0, k + 1) / mass;
            d = std::max(d, std::abs(cum / n_ - fitted));
        }
        return d;
    }

    // The mass of the fitted distribution between the window's edges.
    double windowMass(const Theta& th) {
        double mu = 0, sigma = 0;
        if (!parameters(th, mu, sigma) || !standardise(th[0], mu, sigma)) return kNaN;
        return massBetween(0, edges_.size() - 1);
    }

private:
    // z of every edge, and from it the tail on the near side of the mean.
    bool standardise(double lambda, double mu, double sigma) {
        for (std::size_t j = 0; j < edges_.size(); ++j) {
            const auto g = powerTransformed(lambda, edges_[j]);
            if (!g) return false;
            g_[j] = (*g - mu) / sigma;
            t_[j] = g_[j] <= 0 ? normalLowerTail(g_[j]) : normalUpperTail(g_[j]);
        }
        return true;
    }
    // Φ(z_j) − Φ(z_i) for i < j from the tails kept.
    double massBetween(std::size_t i, std::size_t j) const {
        if (g_[i] > 0) return t_[i] - t_[j];
        if (g_[j] <= 0) return t_[j] - t_[i];
        return 1 - t_[i] - t_[j];
    }

    std::size_t a_, b_;
    std::vector<double> edges_, counts_;
    double n_ = 0;
    double q25_ = 0, q50_ = 0, q75_ = 0;
    std::vector<double> g_, t_;
};

// The simplex search from start over all three parameters, with the given first steps.
template <class F>
Theta minimise(F&& f, const Theta& start, const Theta& step, double& best) {
    SimplexLimits limits;
    limits.iterations = 600;
    limits.tolerance = 1e-5;
    return simplexMinimise(f, start, step, {true, true, true}, limits, best);
}

// The fit of one window, as the search compares them.
struct Candidate {
    int i1 = -1, i2 = -1;  // grid positions of T1 and T2
    double ks = kInf;
    Theta theta{};
    double lambda = kNaN, mu = kNaN, sigma = kNaN;
    double n = 0, mass = kNaN;
    double t1 = kNaN, t2 = kNaN;
};

// The window of grid positions (i1, i2): its first and last bin, or false where it holds too
// little to fit.
bool windowBins(const Cells& cells, const std::vector<std::int64_t>& count, double total, int i1,
                int i2, std::size_t& a, std::size_t& b) {
    const double p1 = i1 * kGridStep, p2 = kUpperStart + i2 * kGridStep;
    const std::size_t m = count.size();
    double cum = static_cast<double>(cells.below);
    a = m;
    for (std::size_t k = 0; k < m; ++k) {
        if (cum >= p1 * total - 1e-9 && cells.lowerEdge[k] >= cells.belowLimit) {
            a = k;
            break;
        }
        cum += static_cast<double>(count[k]);
    }
    if (a == m) return false;
    b = m;
    cum = static_cast<double>(cells.below);
    for (std::size_t k = 0; k < m; ++k) {
        cum += static_cast<double>(count[k]);
        if (cum > p2 * total + 1e-9 || cells.upperEdge[k] > cells.aboveLimit) break;
        b = k;
    }
    return b != m && b >= a + 4;
}

bool stopped(const IndirectOptions& options) {
    return options.cancel && options.cancel->load(std::memory_order_relaxed);
}

// The search over every stride-th grid position of T1 and T2 through the positions given,
// from the start given: the widest window whose fit passes, else the closest fit. With polish,
// each window's search is started once more where it stopped.
Candidate search(const Cells& cells, const std::vector<std::int64_t>& count, int stride,
                 int through1, int through2, bool polish, Theta start,
                 const IndirectOptions& options) {
    double total = static_cast<double>(cells.below + cells.above);
    for (auto c : count) total += static_cast<double>(c);
    Candidate best;
    std::set<std::pair<std::size_t, std::size_t>> seen;
    const int last = kGridSteps - 1;
    for (int i1 = through1 % stride; i1 <= last; i1 += stride) {
        if (stopped(options)) return Candidate{};
        for (int i2 = through2 % stride; i2 <= last; i2 += stride) {
            std::size_t a = 0, b = 0;
            if (!windowBins(cells, count, total, i1, i2, a, b)) continue;
            if (!seen.insert({a, b}).second) continue;
            WindowFit fit(cells, count, a, b);
            if (fit.n() < 10) continue;
            double nll = 0;
            const auto f = [&](const Theta& th) { return fit.negLogLikelihood(th); };
            Theta th = minimise(f, start, {0.4, 0.5, 0.3}, nll);
            // Once more from where it stopped: a simplex may collapse before the minimum. (A
            // resample starts near its minimum already, from the fit it resamples.)
            if (polish) th = minimise(f, th, {0.1, 0.1, 0.1}, nll);
            if (!std::isfinite(nll)) continue;
            start = th;  // the next window's fit starts from this one's
            const double ks = fit.ksDistance(th);
            if (!std::isfinite(ks)) continue;
            Candidate c;
            c.i1 = i1;
            c.i2 = i2;
            c.ks = ks;
            c.theta = th;
            c.lambda = th[0];
            fit.parameters(th, c.mu, c.sigma);
            c.n = fit.n();
            c.mass = fit.windowMass(th);
            c.t1 = cells.lowerEdge[a];
            c.t2 = cells.upperEdge[b];
            // The widest window whose fit passes; without one, the closest fit.
            const double statistic = std::sqrt(c.n) * ks;
            const bool passes = statistic <= kAcceptedStatistic;
            const bool bestPasses = std::sqrt(best.n) * best.ks <= kAcceptedStatistic;
            if (best.i1 < 0 || (passes && (!bestPasses || c.n > best.n)) ||
                (!passes && !bestPasses && statistic < std::sqrt(best.n) * best.ks))
                best = c;
        }
    }
    return best;
}

std::optional<std::pair<double, double>> limitsOf(const Candidate& c) {
    const auto lo = backTransform(c.mu - kZ975 * c.sigma, c.lambda);
    const auto hi = backTransform(c.mu + kZ975 * c.sigma, c.lambda);
    if (!lo || !hi) return std::nullopt;
    return std::make_pair(*lo, *hi);
}

double percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    const double h = p * static_cast<double>(v.size() - 1);
    const auto i = static_cast<std::size_t>(std::floor(h));
    if (i + 1 >= v.size()) return v.back();
    return v[i] + (h - static_cast<double>(i)) * (v[i + 1] - v[i]);
}

void estimate(const ValueCounts& counts, const IndirectOptions& options, IndirectResult& r) {
    const Cells cells = makeCells(counts);
    const double total = cells.total();
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
    if (cells.count.size() < 5) {
        r.refusal = "推定できません: 異なる値が5種類未満です。";
        return;
    }
    const Candidate best = search(cells, cells.count, 1, 0, 0, true, Theta{0.5, 0, 0}, options);
    if (stopped(options)) {
        r.refusal = "推定を中止しました。";
        return;
    }
    if (best.i1 < 0) {
        r.refusal = "推定できません: どの切断点でも分布を当てはめられませんでした。";
        return;
    }
    r.lowerTruncation = best.t1;
    r.upperTruncation = best.t2;
    r.used = static_cast<std::int64_t>(best.n);
    r.lambda = best.lambda;
    r.mu = best.mu;
    r.sigma = best.sigma;
    r.ksDistance = best.ks;
    r.fraction = std::min(1.0, best.n / (total * best.mass));
    // λ at a bound of its search: where the spread is small beside the centre λ is not
    // identifiable and the limits hardly depend on it, so they are given with a remark.
    if (best.lambda < kLambdaMin + kLambdaEdge || best.lambda > kLambdaMax - kLambdaEdge)
        r.remark = "λが探索範囲の端（-1〜2）に達しました";
    if (best.i1 == kGridSteps - 1 || best.i2 == 0) {
        r.refusal = "推定できません: 切断点が探索範囲の端（下側40%・上側40%）に達しました。";
        return;
    }
    if (r.fraction < 0.5) {
        r.refusal =
            "推定できません: 病的な値の割合が大きすぎて、非病的な分布の山を分けられません。";
        return;
    }
    const auto limits = limitsOf(best);
    if (!limits) {
        r.refusal = "推定できません: 当てはめた分布から限界値を戻せません。";
        return;
    }
    r.lower = limits->first;
    r.upper = limits->second;
    // Limits beyond every result are the fitted curve's tail, not the data's.
    const auto sorted = counts.sorted();
    if (r.lower < sorted.front().first || r.upper > sorted.back().first) {
        r.refusal = "推定できません: 推定した限界値が結果の範囲の外にあり、信頼できません。";
        return;
    }

    // The bootstrap: multinomial resamples of the cells, each estimated again as a whole, the
    // truncation points chosen anew on every second grid position through the chosen ones (up
    // to 25 windows of the 81) from the chosen fit, so that the intervals hold the uncertainty
    // of the choice as well as that of the fit, and a resample can choose what the results did.
    if (options.resamples < 0) return;
    const int resamples = options.resamples > 0 ? options.resamples : (r.total > 100000 ? 50 : 200);
    r.resamples = resamples;
    r.seed = options.seed;
    std::vector<std::optional<std::pair<double, double>>> out(resamples);
    const auto work = [&](int from, int to) {
        const std::size_t m = cells.count.size();
        std::vector<double> p(m + 2);
        p[0] = static_cast<double>(cells.below) / total;
        for (std::size_t k = 0; k < m; ++k) p[k + 1] = static_cast<double>(cells.count[k]) / total;
        p[m + 1] = static_cast<double>(cells.above) / total;
        for (int s = from; s < to && !stopped(options); ++s) {
            std::mt19937_64 engine(options.seed + static_cast<std::uint64_t>(s));
            auto left = static_cast<std::int64_t>(r.total);
            double rest = 1;
            std::vector<std::int64_t> drawn(m + 2, 0);
            for (std::size_t k = 0; k + 1 < m + 2 && left > 0; ++k) {
                const double q = rest > 0 ? std::clamp(p[k] / rest, 0.0, 1.0) : 1.0;
                drawn[k] = std::binomial_distribution<std::int64_t>(left, q)(engine);
                left -= drawn[k];
                rest -= p[k];
            }
            drawn[m + 1] += left;
            Cells resampled = cells;
            resampled.below = drawn[0];
            resampled.above = drawn[m + 1];
            std::vector<std::int64_t> count(drawn.begin() + 1, drawn.end() - 1);
            // A resample that cannot be calculated counts among those without limits.
            try {
                const Candidate c = search(resampled, count, kResampleStride, best.i1, best.i2,
                                           false, best.theta, options);
                if (c.i1 >= 0) out[static_cast<std::size_t>(s)] = limitsOf(c);
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
        r.lowerCiLow = percentile(lows, 0.05);
        r.lowerCiHigh = percentile(lows, 0.95);
        r.upperCiLow = percentile(highs, 0.05);
        r.upperCiHigh = percentile(highs, 0.95);
    } else {
        r.lowerCiLow = r.lowerCiHigh = r.upperCiLow = r.upperCiHigh = kNaN;
    }
}

}  // namespace

IndirectResult estimateTruncated(const ValueCounts& counts, const IndirectOptions& options) {
    IndirectResult r;
    r.method = IndirectMethod::Truncated;
    r.total = counts.total();
    r.censoredBelow = counts.censoredBelow();
    r.censoredAbove = counts.censoredAbove();
    r.seed = options.seed;
    r.lowerTruncation = r.upperTruncation = r.fraction = r.lambda = r.mu = r.sigma = kNaN;
    r.ksDistance = r.lower = r.upper = kNaN;
    r.otherLower = r.otherUpper = kNaN;
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
