#include "report/normality.h"

#include <cmath>
#include <limits>

#include "analysis/checked.h"
#include "analysis/number_text.h"

namespace kijunchi {

using namespace checked;

std::string zVerdict(const std::string& prefix, double z) {
    std::string sentence = "P>0.05で正規性を棄却することができない。";
    const std::string head = prefix + numberText(z) + " > ";
    if (z > 1.96) sentence = head + "Z=1.96   P<0.05で正規性は棄却される。";
    if (z > 2.58) sentence = head + "Z=2.58   P<0.01で正規性は棄却される。";
    if (z > 3.29) sentence = head + "Z=3.29   P<0.001で正規性は棄却される。";
    return sentence;
}

namespace {

// (1 + d1·t + … + d6·t^6)^16 of Abramowitz and Stegun 26.2.19, with 1/(2·P16) the upper tail
// (t ≥ 0).
double tailPolynomial16(double t) {
    constexpr double d1 = 0.049867347, d2 = 0.021141006, d3 = 0.0032776263, d4 = 0.0000380036,
                     d5 = 0.0000488906, d6 = 0.000005383;
    double p = add(
        1,
        mul(t,
            add(d1,
                mul(t, add(d2, mul(t, add(d3, mul(t, add(d4, mul(t, add(d5, mul(t, d6))))))))))));
    // Far out (t beyond some 10^4) the power leaves the doubles: +∞, a tail of exactly 0.
    for (int i = 0; i < 4; ++i) p *= p;
    return p;
}

}  // namespace

double normalCdf(double z) {
    const double p16 = tailPolynomial16(std::fabs(z));
    const double tail = 1 / (2 * p16);
    return z < 0 ? tail : sub(1, tail);
}

double chiSquareUpperTail(int nu, double x) {
    if (nu < 1) throw CalcError("no degrees of freedom");
    const double chi = sqrt(x);
    double q = 0;
    double t = 0;
    int k = 0;
    if (nu % 2 == 0) {
        t = div(exp(-x / 2), 2);
        q = exp(-x / 2);
        k = 2;
    } else {
        q = div(1, tailPolynomial16(chi));  // 2·(1 − Φ(χ))
        t = div(mul(0.398942, exp(-x / 2)), chi);
        k = 1;
    }
    while (k != nu) {
        t = div(mul(t, x), k);
        q = add(q, mul(2, t));
        k += 2;
    }
    return q;
}

double chiSquareCritical(int nu, double alpha) {
    // Bisection on y in (0, 1) with chi^2 = 1/y − 1, until the midpoint no longer changes.
    double low = 0, high = 1, y = 0.5;
    double chi2 = 0;
    for (;;) {
        chi2 = sub(div(1, y), 1);
        if (chiSquareUpperTail(nu, chi2) <= alpha) {
            low = y;
        } else {
            high = y;
        }
        const double previous = y;
        y = (low + high) / 2;
        if (y == previous) break;
    }
    return chi2;
}

ChiSquareTest runChiSquareTest(AnalysisStore& s) {
    ChiSquareTest test;
    const int k = s.HistClasses;
    if (k < 1 || k > kMaxClasses) throw CalcError("class count out of range");
    test.classes = k;
    const double w = div(sub(s.MaxValue, s.MinValue), k);
    auto upper = [&](int i) { return add(s.MinValue, mul(i, w)); };

    // Grouped statistics at the class midpoints.
    double total = 0, sum = 0, sumSquares = 0;
    for (int i = 1; i <= k; ++i) {
        const double o = s.ClassFreq[static_cast<std::size_t>(i)];
        const double mid = div(add(upper(i - 1), upper(i)), 2);
        total = add(total, o);
        sum = add(sum, mul(o, mid));
        sumSquares = add(sumSquares, mul(o, pow(mid, 2)));
    }
    s.WorkCount = static_cast<int>(total);
    const double n = total;
    const double mean = div(sum, n);
    const double q = sub(sumSquares, div(pow(sum, 2), n));
    const double sd = sqrt(div(q, sub(n, 1)));

    // Class probabilities with open outer classes, differences formed from the top down.
    std::array<double, kSlots> p{};
    for (int i = 1; i <= k - 1; ++i)
        p[static_cast<std::size_t>(i)] = normalCdf(div(sub(upper(i), mean), sd));
    p[static_cast<std::size_t>(k)] = sub(1, p[static_cast<std::size_t>(k - 1)]);
    for (int i = k - 1; i >= 2; --i)
        p[static_cast<std::size_t>(i)] =
            sub(p[static_cast<std::size_t>(i)], p[static_cast<std::size_t>(i - 1)]);

    // A class that expects no value at all (far beyond the normal's reach in double precision)
    // adds nothing when it is empty; holding a value, it makes the statistic infinite, and
    // normality is rejected. So is a term too large for a double.
    double chi2 = 0;
    for (int i = 1; i <= k; ++i) {
        const auto at = static_cast<std::size_t>(i);
        const double e = mul(n, p[at]);
        test.expected[at] = e;
        const double o = s.ClassFreq[at];
        if (e == 0) {
            if (o != 0) chi2 = std::numeric_limits<double>::infinity();
            continue;
        }
        chi2 += pow(sub(o, e), 2) / e;
    }
    if (std::isnan(chi2)) throw CalcError("non-finite intermediate");
    test.statistic = chi2;
    test.degreesOfFreedom = k - 3;
    if (test.degreesOfFreedom < 1) throw CalcError("no degrees of freedom for the chi-square test");
    test.critical = chiSquareCritical(test.degreesOfFreedom, test.alpha);
    NormalityRecord& record = s.Normality;
    record.chiSquare = test.statistic;
    record.degreesOfFreedom = test.degreesOfFreedom;
    record.critical = test.critical;
    record.chiSquareTaken = true;
    return test;
}

}  // namespace kijunchi
