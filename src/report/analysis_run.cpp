#include "report/analysis_run.h"

#include <cmath>

#include "analysis/checked.h"
#include "analysis/number_text.h"
#include "analysis/statistics.h"
#include "report/histogram.h"
#include "report/reference_interval.h"
#include "report/report_text.h"
#include "report/sig_round.h"

namespace kijunchi {

std::optional<double> readClassCount(std::string_view boxText) {
    const std::optional<double> count = wholeNumber(boxText);
    if (count && *count >= 4 && *count <= kMaxClasses && std::floor(*count) == *count)
        return *count;
    return std::nullopt;
}

namespace {

using namespace checked;

void descriptiveStatistics(AnalysisStore& s) {
    const int n = s.WorkCount;
    const auto x = [&s](int i) { return s.SortedValues[static_cast<std::size_t>(i)]; };

    s.MinValue = s.MaxValue = x(1);
    for (int i = 1; i <= n; ++i) {
        if (x(i) > s.MaxValue) s.MaxValue = x(i);
        if (x(i) < s.MinValue) s.MinValue = x(i);
    }
    double s1 = 0;
    for (int i = 1; i <= n; ++i) s1 = add(s1, x(i));
    const double m = div(s1, n);
    s.MeanValue = m;
    double s2 = 0;
    for (int i = 1; i <= n; ++i) s2 = add(s2, pow(sub(x(i), m), 2));
    s.VarianceValue = div(s2, n - 1.0);
    s.SDValue = sqrt(div(s2, n - 1.0));
    double s3 = 0, s4 = 0;
    for (int i = 1; i <= n; ++i) {
        s3 = add(s3, pow(sub(x(i), m), 3));
        s4 = add(s4, pow(sub(x(i), m), 4));
    }
    s.SkewnessValue = div(mul(sqrt(n), s3), pow(s2, 1.5));
    const double b2 = div(mul(n, s4), pow(s2, 2));
    s.KurtosisValue = sub(b2, div(3.0 * (n - 1), n + 1.0));

    // The standardised statistics, absolute so that both tests are two-sided.
    const double nd = n;
    s.SkewTestZ = std::fabs(div(s.SkewnessValue, sqrt(div(6 * (nd - 1), (nd + 1) * (nd + 2)))));
    s.KurtTestZ = std::fabs(div(s.KurtosisValue, sqrt(div(24 * nd * (nd - 2) * (nd - 3),
                                                          pow(nd + 1, 2) * (nd + 3) * (nd + 5)))));
}

// The skewness and kurtosis tests as the report will judge them: on the rounded statistics.
void recordMomentTests(AnalysisStore& s) {
    NormalityRecord& r = s.Normality;
    r.skewTestZ = s.SkewTestZ;
    r.kurtTestZ = s.KurtTestZ;
    r.skewRejected = SigRound(s.SkewTestZ) > 1.96;
    r.kurtRejected = SigRound(s.KurtTestZ) > 1.96;
    r.momentsTaken = true;
}

void roundResults(AnalysisStore& s) {
    for (double* v :
         {&s.VarianceValue,   &s.MeanValue,        &s.MedianValue,     &s.MinValue,
          &s.MaxValue,        &s.SDValue,          &s.ParamLower,      &s.ParamUpper,
          &s.Pct025,          &s.Pct975,           &s.SkewnessValue,   &s.KurtosisValue,
          &s.SkewTestZ,       &s.KurtTestZ,        &s.ParamLowerCILow, &s.ParamLowerCIHigh,
          &s.ParamUpperCILow, &s.ParamUpperCIHigh, &s.OrigLower,       &s.OrigUpper,
          &s.OrigMean,        &s.OrigSD,           &s.OrigLowerCILow,  &s.OrigLowerCIHigh,
          &s.OrigUpperCILow,  &s.OrigUpperCIHigh,  &s.OrigPct025,      &s.OrigPct975})
        *v = SigRound(*v);
}

void printTextBlock(const AnalysisStore& s, int n, Canvas& picture) {
    const std::string indent(15, ' ');
    picture.printLine("");
    picture.printLine("");
    picture.printLine(indent + "ヒストグラム");
    picture.printLine("");
    picture.printLine(indent + "Number of data=" + printedNumber(n));
    picture.printLine(indent + "Mean   =" + printedNumber(s.MeanValue));
    picture.printLine(indent + "Median =" + printedNumber(s.MedianValue));
    picture.printLine(indent + "Unbiased variance =" + printedNumber(s.VarianceValue));
    picture.printLine(indent + "Sample standard deviation =" + printedNumber(s.SDValue));
    picture.printLine(indent + "Skewness=" + printedNumber(s.SkewnessValue));
    picture.printLine(indent + "Kurtosis  =" + printedNumber(s.KurtosisValue));
    picture.printLine(std::string(10, ' '));
}

}  // namespace

RunStatus runAnalysis(AnalysisStore& s, Canvas& picture, ReportSink& report) {
    if (s.WorkCount == 0) return RunStatus::NoData;
    try {
        picture.clear();
        s.WorkCount = s.DataCount;
        const int n = s.WorkCount;
        if (n < 0 || n > kMaxValues) throw CalcError("index above the capacity");
        for (int i = 1; i <= n; ++i) {
            const auto at = static_cast<std::size_t>(i);
            s.SortedValues[at] = s.AnalysisValues[at].toNumber();
        }
        s.Normality = NormalityRecord{};
        SortValues(s);
        descriptiveStatistics(s);
        recordMomentTests(s);
        computeReferenceInterval(s);
        roundResults(s);
        printTextBlock(s, n, picture);
        CountClasses(s);
        report.setStatisticsText(testAndReport(s));
        DrawHistogram(s, n, picture);
        return RunStatus::Completed;
    } catch (const CalcError&) {
        // No report of an earlier data set may stand beside the error.
        report.setStatisticsText(std::string());
        return RunStatus::CalculationError;
    }
}

}  // namespace kijunchi
