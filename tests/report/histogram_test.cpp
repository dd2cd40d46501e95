#include "report/histogram.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "analysis/checked.h"
#include "analysis/store.h"
#include "support/recording_canvas.h"

namespace kijunchi {
namespace {

// Sorted values with the rounded minimum and maximum the run would have stored.
AnalysisStore classesStore(std::initializer_list<double> sorted, double min, double max,
                           int classes = 5) {
    AnalysisStore store;
    int i = 0;
    for (double v : sorted) store.SortedValues[++i] = v;
    store.DataCount = store.WorkCount = i;
    store.MinValue = min;
    store.MaxValue = max;
    store.ClassCount = classes;
    return store;
}

TEST(CountClasses, CountsEveryValueWithUpperBoundsBelongingToTheLowerClass) {
    struct Case {
        const char* what;
        AnalysisStore store;
        std::vector<int> freq;
    };
    Case cases[] = {
        // Bounds 2.8, 4.6, 6.4, 8.2, 10: two values per class.
        {"1..10", classesStore({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, 1, 10), {2, 2, 2, 2, 2}},
        // Bounds 1, 2, 3, 4: the value 1 on the first bound stays in class 1.
        {"value on an inner bound", classesStore({0, 1, 2, 3, 4}, 0, 4, 4), {2, 1, 1, 1}},
        // The maximum 123.44 rounds to 123.4: bounds 104.68 .. 123.4, the largest value above.
        {"rounded-down maximum",
         classesStore({100, 105, 110, 115, 123.44}, 100, 123.4),
         {1, 1, 1, 1, 0, 1}},
        // Four values, and the maximum 4.00049 rounded down to 4 (bounds 1.6 .. 4): six
        // classes, more than there are values, are needed to count all four.
        {"more classes than values", classesStore({1, 2, 3, 4.00049}, 1, 4), {1, 1, 0, 1, 0, 1}}};
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        CountClasses(c.store);
        ASSERT_EQ(c.store.HistClasses, int(c.freq.size()));
        for (int i = 1; i <= c.store.HistClasses; ++i) {
            EXPECT_EQ(c.store.ClassFreq[i], c.freq[i - 1]) << "class " << i;
            EXPECT_EQ(c.store.ClassFreqCopy[i], c.freq[i - 1]) << "class " << i;
        }
    }
    EXPECT_DOUBLE_EQ(cases[0].store.ClassWidth, 1.8);
}

TEST(CountClasses, NeedingMoreThanAThousandClassesIsACalculationError) {
    // 1000.1 .. 1000.3 round to a maximum of 1000 = the minimum: the width is 0 and the values
    // above 1000 never fall into a class.
    auto store = classesStore({1000, 1000.1, 1000.2, 1000.3}, 1000, 1000);
    EXPECT_THROW(CountClasses(store), CalcError);
}

TEST(DrawHistogram, DrawsBarsAxesTickAndNormalCurveInOrder) {
    // Values 1, 2, 3, 4: mean 2.5, SD 1.291 (rounded), width 0.6, frequencies 1, 1, 0, 1, 1.
    // Worked in python: z(0) = −1.5/1.291, step h/s = 0.6/1.291, bar width 10·h/s;
    // a bar of frequency 1 has density (1/4)/(0.6/1.291) and its top at
    // 399 − 400·0.25·1.291/0.6 = 183.8333….
    AnalysisStore store;
    store.HistClasses = 5;
    store.HistOrigin = 1;
    store.ClassWidth = 0.6;
    store.MeanValue = 2.5;
    store.SDValue = 1.291;
    const int freq[] = {1, 1, 0, 1, 1};
    for (int i = 0; i < 5; ++i) store.ClassFreq[i + 1] = freq[i];

    testing::RecordingCanvas canvas;
    DrawHistogram(store, 4, canvas);
    EXPECT_EQ(canvas.calls.front(), 'S');  // the scale before any line
    EXPECT_EQ(canvas.scale, std::vector<double>({-10, -10, 400, 400}));
    const auto& lines = canvas.lines;
    ASSERT_EQ(lines.size(), 5u + 2u + 5u + 5u + 1u + 89u);
    EXPECT_EQ(canvas.fore, kPaletteBlack);  // back to palette colour 0 at the end

    const double left[] = {138.38109992254067, 143.0286599535244, 147.67621998450812,
                           152.32378001549188, 156.9713400464756};
    const double width = 4.647560030983733;  // 10·0.6/1.291
    const double top[] = {183.83333333333331, 183.83333333333331, 399.0, 183.83333333333331,
                          183.83333333333331};
    auto expectLine = [&](size_t k, double x1, double y1, double x2, double y2) {
        EXPECT_NEAR(lines[k].x1, x1, 1e-9) << "line " << k;
        EXPECT_NEAR(lines[k].y1, y1, 1e-9) << "line " << k;
        EXPECT_NEAR(lines[k].x2, x2, 1e-9) << "line " << k;
        EXPECT_NEAR(lines[k].y2, y2, 1e-9) << "line " << k;
    };
    for (int i = 0; i < 5; ++i) {
        expectLine(i, left[i], 399, left[i], top[i]);                       // left edges
        expectLine(7 + i, left[i], top[i], left[i] + width, top[i]);        // tops
        expectLine(12 + i, left[i] + width, 399, left[i] + width, top[i]);  // right edges
    }
    expectLine(5, 20, -460, 20, 399);  // vertical axis
    expectLine(6, 20, 399, 330, 399);  // horizontal axis
    for (int k = 0; k < 17; ++k) EXPECT_EQ(lines[k].colour, kPaletteBlack) << "line " << k;

    // The tick at the height of the largest frequency (1), in the RGB colour 7, then its label.
    expectLine(17, 15, 183.83333333333331, 20, 183.83333333333331);
    EXPECT_TRUE(lines[17].explicitColour);
    EXPECT_EQ(lines[17].colour, (Rgb{7, 0, 0}));
    EXPECT_EQ(canvas.labels, (std::vector<std::pair<size_t, std::string>>{{18, " 1"}}));

    // The normal curve: 89 segments in palette colour 9 from z = −4.9 to z = 4.0, joined end
    // to end. φ(z) = exp(−z²/2)/√6.28318; at z = 0 the point is (150, 239.42302044495852).
    for (size_t k = 18; k < lines.size(); ++k) {
        EXPECT_EQ(lines[k].colour, kPaletteLightBlue) << "line " << k;
        if (k > 18) {
            EXPECT_EQ(lines[k].x1, lines[k - 1].x2) << "line " << k;
            EXPECT_EQ(lines[k].y1, lines[k - 1].y2) << "line " << k;
        }
    }
    expectLine(18, 101.0, 398.9990244152896, lines[18].x2, lines[18].y2);
    expectLine(18 + 48, lines[66].x1, lines[66].y1, 150.0, 239.42302044495852);  // point 50
    expectLine(lines.size() - 1, lines.back().x1, lines.back().y1, 190.0, 398.9464678870857);
}

}  // namespace
}  // namespace kijunchi
