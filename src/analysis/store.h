#pragma once
// The store of the analysis: the current data set, the settings and the results of the last
// run. One object, owned by the application and passed by reference to whoever reads or
// writes it.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "analysis/value.h"

namespace kijunchi {

inline constexpr int kMaxValues = 5000;  // slots 1..5000 hold data
inline constexpr int kSlots = kMaxValues + 1;
inline constexpr int kGridValues = 1000;  // the input grid shows the first 1000 values
inline constexpr int kMaxClasses = 1000;

// What the last run found of normality. Each test is recorded as the run takes it, so that
// the evaluation and the batch read the report's verdicts instead of deriving them again, and
// know which tests a run that failed part-way did take.
struct NormalityRecord {
    bool momentsTaken = false;                        // the skewness and kurtosis tests
    double skewTestZ = 0, kurtTestZ = 0;              // before rounding
    bool skewRejected = false, kurtRejected = false;  // on the rounded statistics, as printed
    bool chiSquareTaken = false;
    double chiSquare = 0;  // before rounding; +∞ when a class with values expects none
    int degreesOfFreedom = 0;
    double critical = 0;

    // Whether the report's tests reject normality: true when a test taken rejects it, false
    // when all three were taken and none does, unknown otherwise.
    [[nodiscard]] std::optional<bool> rejected() const {
        if ((momentsTaken && (skewRejected || kurtRejected)) ||
            (chiSquareTaken && chiSquare > critical))
            return true;
        if (momentsTaken && chiSquareTaken) return false;
        return std::nullopt;
    }
};

// A value taken out of the data set by the user, with what is recorded of it: its position in
// the data as read (from 1), its value, the rule that flagged it ("" for one chosen by its
// position), who took it out and when.
struct ExcludedValue {
    int position = 0;
    double value = 0;
    std::string rule;
    std::string who;
    std::string when;
};

struct AnalysisStore {
    // Data set. Values live in slots 1..n (SortedValues: 0..n-1 when the input side or the
    // transformation uses it as scratch, 1..n after a run).
    int DataCount = 0;
    int WorkCount = 0;
    // Values the reading that made the data set found: more than DataCount when the source
    // held more values than the data set keeps.
    std::int64_t ValuesRead = 0;
    // Values of the data as read that the data set leaves out; the data set holds the others,
    // in their order.
    std::vector<ExcludedValue> Excluded;
    std::array<Value, kSlots> DataValues{};
    std::array<Value, kSlots> AnalysisValues{};
    std::array<double, kSlots> SortedValues{};

    // The untransformed values of the current data set, kept by the first transformation so
    // that the percentile limits and the median stay on the measurement scale, and the data set
    // as measured can be restored: UntransformedValues from AnalysisValues,
    // UntransformedDataValues from DataValues (the grid's values, rounded after a generator).
    std::vector<double> UntransformedValues;
    std::vector<Value> UntransformedDataValues;

    // The group of each value when the data were pasted with a group column, and the values
    // as read then: a later writer of the data set leaves them behind, and the difference
    // shows that the groups no longer belong to the data set.
    std::vector<std::string> GroupLabels;
    std::vector<double> GroupedValues;

    // Settings.
    double ClassCount = 5;
    Value Lambda;       // empty or "" = untransformed, numeric 0 = logarithm, else λ as typed
    Value LambdaShown;  // the λ text for the report
    double UniformMax = 0;

    // Percentile exchange.
    double PercentileLevel = 0;
    double PercentileValue = 0;
    std::string PercentileText;

    // Results of the last run (rounded to 4 significant digits once the run has finished
    // computing them).
    double MeanValue = 0, MedianValue = 0, MinValue = 0, MaxValue = 0;
    double VarianceValue = 0, SDValue = 0;
    double SkewnessValue = 0, KurtosisValue = 0;
    double SkewTestZ = 0, KurtTestZ = 0;
    double ParamLower = 0, ParamUpper = 0;
    double ParamLowerCILow = 0, ParamLowerCIHigh = 0, ParamUpperCILow = 0, ParamUpperCIHigh = 0;
    double Pct025 = 0, Pct975 = 0;
    double OrigLower = 0, OrigUpper = 0, OrigMean = 0, OrigSD = 0;
    double OrigLowerCILow = 0, OrigLowerCIHigh = 0, OrigUpperCILow = 0, OrigUpperCIHigh = 0;
    double OrigPct025 = 0, OrigPct975 = 0;

    // Histogram classes.
    double HistOrigin = 0;
    double ClassWidth = 0;
    int HistClasses = 0;
    std::array<int, kSlots> ClassFreq{};
    std::array<int, kSlots> ClassFreqCopy{};
    NormalityRecord Normality;

    // The report's line table (entries 1..38) lives as long as the store: a run whose
    // chi-square verdict is undecided keeps the previous verdict line.
    std::array<std::string, 39> ReportLines{};
};

}  // namespace kijunchi
