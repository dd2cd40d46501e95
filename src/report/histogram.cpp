#include "report/histogram.h"

#include <algorithm>
#include <cmath>

#include "analysis/checked.h"
#include "analysis/number_text.h"

namespace kijunchi {

using namespace checked;

void CountClasses(AnalysisStore& s) {
    s.HistOrigin = s.MinValue;
    s.ClassWidth = div(sub(s.MaxValue, s.MinValue), s.ClassCount);
    const int n = s.WorkCount;
    // Bounds grow with the class index, so one pass over the sorted values gives the
    // cumulative counts. Class 1 also takes values below the origin; a value on an upper bound
    // belongs to the lower class. The scan goes on until every value is counted.
    int counted = 0;
    int classes = 0;
    while (counted < n) {
        ++classes;
        if (classes > kMaxClasses) throw CalcError("more than 1000 classes");
        const double bound = add(mul(classes, s.ClassWidth), s.HistOrigin);
        int cumulative = counted;
        while (cumulative < n && s.SortedValues[static_cast<std::size_t>(cumulative + 1)] <= bound)
            ++cumulative;
        s.ClassFreq[static_cast<std::size_t>(classes)] = cumulative - counted;
        counted = cumulative;
    }
    s.HistClasses = classes;
    std::copy(s.ClassFreq.begin() + 1, s.ClassFreq.begin() + 1 + classes,
              s.ClassFreqCopy.begin() + 1);
}

void DrawHistogram(const AnalysisStore& s, int n, Canvas& canvas) {
    const double m = s.MeanValue;
    const double sd = s.SDValue;
    const double h = s.ClassWidth;
    const int k = s.HistClasses;
    const double widthInSd = div(h, sd);

    canvas.setScale(-10, -10, 400, 400);
    auto X = [](double z) { return add(150, mul(10, z)); };
    auto Y = [](double d) { return sub(399, mul(mul(1000, 0.4), d)); };

    std::vector<double> left(static_cast<std::size_t>(k) + 1), top(static_cast<std::size_t>(k) + 1);
    double z = div(sub(s.HistOrigin, m), sd);
    for (int i = 1; i <= k; ++i) {
        const auto at = static_cast<std::size_t>(i);
        left[at] = X(z);
        const double density = div(div(s.ClassFreq[at], n), widthInSd);
        top[at] = Y(density);
        z = add(z, widthInSd);
    }
    const double w = mul(10, widthInSd);

    for (int i = 1; i <= k; ++i) {
        const auto at = static_cast<std::size_t>(i);
        canvas.drawLine(left[at], 399, left[at], top[at]);
    }
    canvas.drawLine(20, -460, 20, 399);
    canvas.drawLine(20, 399, 330, 399);
    for (int i = 1; i <= k; ++i) {
        const auto at = static_cast<std::size_t>(i);
        canvas.drawLine(left[at], top[at], add(left[at], w), top[at]);
    }
    for (int i = 1; i <= k; ++i) {
        const auto at = static_cast<std::size_t>(i);
        canvas.drawLine(add(left[at], w), 399, add(left[at], w), top[at]);
    }

    // Scale mark at the height of the largest class, labelled with its frequency.
    int largest = 0;
    for (int i = 1; i <= k; ++i)
        largest = std::max(largest, s.ClassFreq[static_cast<std::size_t>(i)]);
    const int mark = std::max(largest, 1);
    const double markY = Y(div(div(mark, n), widthInSd));
    canvas.drawLine(15, markY, 20, markY, Rgb{7, 0, 0});
    canvas.printAtPosition(printedNumber(largest));

    // The standard normal density; 6.28318 stands for 2π.
    auto phi = [](double x) { return mul(div(1, sqrt(6.28318)), exp(-pow(x, 2) / 2)); };
    double zc = -5;
    double previousX = 0, previousY = 0;
    canvas.setForeColor(kPaletteLightBlue);
    for (int j = 1; j <= 90; ++j) {
        zc = add(zc, 0.1);
        const double px = X(zc), py = Y(phi(zc));
        if (j >= 2) canvas.drawLine(previousX, previousY, px, py);
        previousX = px;
        previousY = py;
    }
    canvas.setForeColor(kPaletteBlack);
}

}  // namespace kijunchi
