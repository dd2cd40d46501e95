#pragma once
// The table of the indirect method's results, one row per partition, as the command line writes
// it and the desktop window shows and saves it: the partition, the counts, the truncation points,
// the fit, the limits with their 90% intervals, the resamples and seed, and a note (the reason
// where the partition could not be estimated).
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "indirect/truncated_fit.h"

namespace kijunchi {

// The headings, the partition's first and the note's last.
std::vector<std::string> indirectHeadings();

// The row's cells as TSV and CSV give them: counts in full, the rest to 4 significant digits,
// empty where there is no figure. Text cells (the partition, the note) as they are.
std::vector<std::string> indirectCells(const std::string& partition, const IndirectResult& r);

// The note of a row: the refusal, or how many resamples the intervals rest on.
std::string indirectNote(const IndirectResult& r);

enum class IndirectFormat { Tsv, Csv, Json };

// Columns a table adds to the indirect method's: before the partition (the analyte of a panel)
// or after the note (the comparison with an adopted interval).
struct ExtraColumn {
    std::string heading, key;  // the TSV/CSV heading, the JSON key
};
// A cell of such a column: a number (to 4 significant digits in TSV and CSV, in full in JSON;
// absent: empty, null) or a text.
struct ExtraCell {
    bool isNumber = false;
    std::optional<double> number;
    std::string text;
    static ExtraCell of(std::optional<double> v) { return {true, v, {}}; }
    static ExtraCell of(std::string t) { return {false, std::nullopt, std::move(t)}; }
};
// The cell as TSV and CSV give it (before the quoting of a text).
std::string extraCellText(const ExtraCell& cell);

// Writes the table as rows arrive: TSV or CSV with a heading line and CR LF line ends, the text
// cells safe from a spreadsheet's formulas; or a JSON array of objects at full precision, null
// for a missing figure.
class IndirectWriter {
public:
    IndirectWriter(std::ostream& out, IndirectFormat format, std::vector<ExtraColumn> before = {},
                   std::vector<ExtraColumn> after = {});
    // before and after: one cell for each extra column.
    void row(const std::string& partition, const IndirectResult& r,
             const std::vector<ExtraCell>& before = {}, const std::vector<ExtraCell>& after = {});
    void finish();

private:
    std::ostream& out_;
    IndirectFormat format_;
    std::vector<ExtraColumn> before_, after_;
    int rows_ = 0;
};

}  // namespace kijunchi
