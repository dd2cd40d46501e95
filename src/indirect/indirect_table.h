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

// Where a site column was kept through pooling, a partition's rows are the pool's ("全施設")
// and then one per site, with two more cells after the partition: the site, and the
// between-site SD ratio (on a site's row, that site's own shift in the same SDs); the note
// gains what they call for.
struct IndirectSiteCells {
    std::string site;
    double sdRatio = 0;  // NaN where there is none
    std::string note;
};

// The headings, the partition's first and the note's last.
std::vector<std::string> indirectHeadings(bool sites = false);

// The row's cells as TSV and CSV give them: counts in full, the rest to 4 significant digits,
// empty where there is no figure. Text cells (the partition, the site, the note) as they are.
std::vector<std::string> indirectCells(const std::string& partition, const IndirectResult& r,
                                       const IndirectSiteCells* site = nullptr);

// The note of a row: the refusal, or how many resamples the intervals rest on.
std::string indirectNote(const IndirectResult& r);

enum class IndirectFormat { Tsv, Csv, Json };

// Writes the table as rows arrive: TSV or CSV with a heading line and CR LF line ends, the text
// cells safe from a spreadsheet's formulas; or a JSON array of objects at full precision, null
// for a missing figure.
class IndirectWriter {
public:
    IndirectWriter(std::ostream& out, IndirectFormat format, bool sites = false);
    void row(const std::string& partition, const IndirectResult& r,
             const IndirectSiteCells* site = nullptr);
    void finish();

private:
    std::ostream& out_;
    IndirectFormat format_;
    bool sites_ = false;
    int rows_ = 0;
};

}  // namespace kijunchi
