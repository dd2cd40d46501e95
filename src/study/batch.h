#pragma once
// Many analytes at once: every column of a data file other than the group column is one
// analyte, evaluated as a whole or per group, one row of figures per analyte and group. The
// file is read once per analyte, so that only that analyte's values are ever in memory.
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "study/table_stream.h"

namespace kijunchi {

// One row of the batch table. Figures that do not exist for this row are missing.
struct BatchRow {
    std::string analyte;
    std::string group;  // empty without a group column
    int n = 0;
    int skipped = 0;  // fields of this analyte and group that held no number
    // Nonparametric limits and their 90% confidence intervals by ranks.
    std::optional<double> npLower, npLowerLow, npLowerHigh, npUpper, npUpperLow, npUpperHigh;
    // Parametric limits (mean ± 1.96 SD) on the measurement scale.
    std::optional<double> paramLower, paramUpper;
    // After the power transformation with the λ of largest likelihood, carried back.
    std::optional<double> lambda, lambdaLower, lambdaUpper;
    // Robust limits (biweight).
    std::optional<double> robustLower, robustUpper;
    // Robust limits after the power transformation with the λ of largest likelihood, carried
    // back: what skewed small samples are recommended.
    std::optional<double> lambdaRobustLower, lambdaRobustUpper;
    // Normality: two-sided p of the skewness and kurtosis tests, upper-tail p of chi-square.
    std::optional<double> pSkewness, pKurtosis, pChiSquare;
    std::optional<int> outliers;  // values flagged by the outlier screen
    std::string recommendation;   // the estimate recommended for this n
    // Partition study of the analyte (the same on every group row): the largest Harris–Boyd
    // z over z*, the ANOVA SDR and the advice.
    std::optional<double> sdr;
    std::string partition;
    std::string message;  // why figures are missing, in Japanese; empty when all went well
};

// Figures of one set of values (an analyte, or one group of it). Filled by the evaluation.
using BatchEvaluator = std::function<void(const std::vector<double>& values, BatchRow& row)>;

enum class BatchFormat { Tsv, Csv, Json };

// One cell of the table as TSV, CSV and the workbook give it: a text, a figure (shown to 4
// significant digits) or a count; a missing figure or count is empty.
struct BatchCell {
    enum class Kind { Text, Figure, Count } kind = Kind::Text;
    std::string text;
    std::optional<double> number;
};
// The table's headings, and a row's cells under them.
std::vector<std::string> batchHeadings(bool grouped);
std::vector<BatchCell> batchCells(const BatchRow& row, bool grouped);
// A figure as the table shows it: rounded to 4 significant digits.
double batchFigure(double value);

// Writes the table as rows arrive: TSV or CSV with a heading line and CR LF (numbers to 4
// significant digits), or a JSON array of objects (numbers at full precision, null for a
// missing one).
class BatchWriter {
public:
    BatchWriter(std::ostream& out, BatchFormat format, bool grouped);
    void row(const BatchRow& row);
    void finish();

private:
    std::ostream& out_;
    BatchFormat format_;
    bool grouped_;
    int rows_ = 0;
};

struct BatchOptions {
    std::optional<std::size_t> groupColumn;
};

struct BatchSummary {
    int analytes = 0;  // analytes finished
    int analytesTotal = 0;
    bool cancelled = false;
};

// Goes through the analytes in the order of the file's columns. progress(done, total) is
// called before each analyte and after the last; returning false stops the batch there, and
// the rows written so far stay.
BatchSummary runBatch(TableStream& table, const BatchOptions& options,
                      const BatchEvaluator& evaluate,
                      const std::function<void(const BatchRow&)>& sink,
                      const std::function<bool(int done, int total)>& progress = {});

}  // namespace kijunchi
