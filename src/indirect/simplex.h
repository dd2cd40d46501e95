#pragma once
// Nelder and Mead's simplex search, shared by the indirect method's fits: reflection,
// expansion, inside or outside contraction and shrinking towards the best vertex, with the
// usual coefficients 1, 2, ½ and ½. Only the dimensions marked free move; the others keep the
// start's value. The search stops when the simplex's values differ by less than the
// tolerance, or after the given number of iterations or evaluations of f.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <limits>
#include <vector>

namespace kijunchi {

struct SimplexLimits {
    int iterations = std::numeric_limits<int>::max();
    int evaluations = std::numeric_limits<int>::max();
    double tolerance = 1e-5;
};

// The best point found; its value in best. f may return +∞ for a point outside its bounds.
template <std::size_t D, class F>
std::array<double, D> simplexMinimise(F&& f, const std::array<double, D>& start,
                                      const std::array<double, D>& step,
                                      const std::array<bool, D>& free, const SimplexLimits& limits,
                                      double& best) {
    using Point = std::array<double, D>;
    std::vector<std::size_t> dims;
    for (std::size_t d = 0; d < D; ++d)
        if (free[d]) dims.push_back(d);
    const std::size_t nd = dims.size();
    std::vector<Point> x(nd + 1, start);
    std::vector<double> y(nd + 1);
    for (std::size_t i = 0; i < nd; ++i) x[i + 1][dims[i]] += step[dims[i]];
    int evaluations = 0;
    auto eval = [&](const Point& p) {
        ++evaluations;
        return f(p);
    };
    for (std::size_t i = 0; i <= nd; ++i) y[i] = eval(x[i]);
    std::vector<std::size_t> o(nd + 1);
    for (int iteration = 0;
         nd > 0 && iteration < limits.iterations && evaluations < limits.evaluations; ++iteration) {
        for (std::size_t i = 0; i <= nd; ++i) o[i] = i;
        std::sort(o.begin(), o.end(), [&](std::size_t p, std::size_t q) { return y[p] < y[q]; });
        const std::size_t lo = o[0], hi = o[nd], second = o[nd - 1];
        if (std::isfinite(y[hi]) && y[hi] - y[lo] < limits.tolerance) break;
        Point centre = start;
        for (std::size_t d : dims) {
            centre[d] = 0;
            for (std::size_t i = 0; i < nd; ++i) centre[d] += x[o[i]][d] / static_cast<double>(nd);
        }
        auto along = [&](double t) {
            Point p = centre;
            for (std::size_t d : dims) p[d] = centre[d] + t * (x[hi][d] - centre[d]);
            return p;
        };
        const Point r = along(-1);
        const double yr = eval(r);
        if (yr < y[lo]) {
            const Point e = along(-2);
            const double ye = eval(e);
            if (ye < yr) {
                x[hi] = e;
                y[hi] = ye;
            } else {
                x[hi] = r;
                y[hi] = yr;
            }
        } else if (yr < y[second]) {
            x[hi] = r;
            y[hi] = yr;
        } else {
            const Point c = yr < y[hi] ? along(-0.5) : along(0.5);
            const double yc = eval(c);
            if (yc < std::min(yr, y[hi])) {
                x[hi] = c;
                y[hi] = yc;
            } else {
                for (std::size_t i = 1; i <= nd; ++i) {
                    for (std::size_t d : dims)
                        x[o[i]][d] = x[lo][d] + 0.5 * (x[o[i]][d] - x[lo][d]);
                    y[o[i]] = eval(x[o[i]]);
                }
            }
        }
    }
    std::size_t lo = 0;
    for (std::size_t i = 1; i <= nd; ++i)
        if (y[i] < y[lo]) lo = i;
    best = y[lo];
    return x[lo];
}

}  // namespace kijunchi
