#pragma once
// Many analytes at once: every column of a data file other than the group column is one
// analyte (unless it holds no cell at all: no heading, no field in any row), evaluated as a
// whole or per group, one row of figures per analyte and group. The file is read once: that pass
// keeps every analyte's numbers (as doubles, with the group of each row), then the analytes are
// evaluated, on as many threads as the machine runs, and their rows handed on in the order of the
// file's columns.
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

// Figures of one set of values (an analyte, or one group of it). Filled by the evaluation. The
// values are its own (the batch hands each set on once, without a copy).
using BatchEvaluator = std::function<void(std::vector<double> values, BatchRow& row)>;
// An evaluator of its own for each thread of a batch.
using BatchEvaluatorFactory = std::function<BatchEvaluator()>;

// One cell of the table as the TSV, the CSV and the window show it: numbers to 4 significant
// digits (an empty text for a missing one); text cells (analyte, group, advice, message) as
// they are, for the writer to quote.
struct BatchCell {
    std::string text;
    bool number = false;
};

// The table's headings and the cells of one row, in the order of the columns.
std::vector<std::string> batchHeadings(bool grouped);
std::vector<BatchCell> batchCells(const BatchRow& row, bool grouped);

enum class BatchFormat { Tsv, Csv, Json };

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
    int threads = 0;  // evaluating at once, with an evaluator factory; 0: the machine's cores
};

struct BatchSummary {
    int analytes = 0;  // analytes finished
    int analytesTotal = 0;
    // The file's columns evaluated as analytes, in order: every column but the group column
    // that holds a heading or a field in any row (one without a cell is no analyte).
    std::vector<std::size_t> analyteColumns;
    bool cancelled = false;
    // Why the reading of the file stopped (it changed, a line too long, unreadable); the
    // rows written before it stand, the batch ends there.
    FileProblem problem = FileProblem::None;
};

// Reads the table in one pass, then evaluates the analytes in the order of the file's columns
// with one evaluator, on the calling thread. progress(done, total) is called before each
// analyte and after the last; returning false stops the batch there, and the rows handed on
// so far stay.
BatchSummary runBatch(TableStream& table, const BatchOptions& options,
                      const BatchEvaluator& evaluate,
                      const std::function<void(const BatchRow&)>& sink,
                      const std::function<bool(int done, int total)>& progress = {});

// The same with an evaluator from makeEvaluator for each of options.threads threads, which
// take the analytes in turn. The rows are the same as on one thread and reach sink in the same
// order, on the calling thread, as soon as the analytes before them are done; progress is
// called there too, after each analyte and every 50 ms between. Returning false stops the
// batch there, as on one thread: the analytes under way are finished and left out, so that
// the rows handed on are those of the first `done` analytes.
BatchSummary runBatch(TableStream& table, const BatchOptions& options,
                      const BatchEvaluatorFactory& makeEvaluator,
                      const std::function<void(const BatchRow&)>& sink,
                      const std::function<bool(int done, int total)>& progress = {});

}  // namespace kijunchi
