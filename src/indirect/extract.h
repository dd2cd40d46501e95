#pragma once
// The extract of routine results for the indirect method: one or more data files (CSV, TSV,
// UTF-8, UTF-16 or Shift_JIS, read as data files are; gzip-compressed or not; "-" for standard
// input; a named pipe read once) with a value column and optional patient, sex, age, date and
// setting columns, streamed a block at a time, each byte looked at once; or workbooks (.xlsx,
// .xlsm, .xls), of which one sheet each is read whole. What is kept is one value → count summary
// per partition (and, for the first result per patient, one result per patient), never the file.
//
// Values, ages and counts are read by the data files' number rule (thousands separators, the
// decimal mark, numbers beyond a double's range and malformed numbers each counted); a line
// holds at most kMaxLineBytes; a line with bytes that are not text in the file's encoding is
// counted and left out.
//
// The rows go through the pre-filters in this order: the setting (--where COLUMN=VALUE), the
// date range, the age range (the span of the age bands), then the first result per patient
// (earliest date, file order among equal dates or without a date column) among the rows left.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "files/table_reader.h"
#include "indirect/value_counts.h"

namespace kijunchi {

struct ExtractOptions {
    std::string valueColumn;  // heading or number from 1, in every file
    std::string sheet;  // in each workbook among the files: number from 1 or name; empty: first
    // A summary instead of results: this column gives how many results had the row's value.
    std::optional<std::string> countColumn;
    std::optional<std::string> groupColumn;  // sex, or any partition label
    // The site of a multi-centre pool: each partition is counted by site as well.
    std::optional<std::string> siteColumn;
    std::optional<std::string> ageColumn;
    std::vector<double> ageBands;  // ascending limits; bands [b₀, b₁), [b₁, b₂), …
    std::optional<std::string> patientColumn;
    bool firstPerPatient = false;
    std::optional<std::string> dateColumn;
    std::optional<std::int64_t> from, to;  // dates as dateKey gives them, both included
    std::vector<std::pair<std::string, std::string>> where;  // column, value
    // Shared with a reader on another thread: the bytes read of all the files, and a request
    // to stop, which ends the reading with problem set and cancelled true.
    ReadProgress* progress = nullptr;
    // How long a named pipe without a writer is waited for before it is refused.
    int pipeWaitMilliseconds = 10000;
};

// More partitions than this (group texts × age bands) end the reading: a group column with so
// many texts is not a partition.
inline constexpr std::size_t kMaxPartitions = 10000;
// The largest count of one row, and of all the results kept: exact in the fit's sums, and
// printed in full in every table (15 digits).
inline constexpr std::int64_t kMaxResultCount = 999'999'999'999'999;

struct PartitionCounts {
    std::string group;  // the group column's text, empty without one
    int band = -1;      // the age band, -1 without bands
    std::string label;  // for the tables: "男 18歳以上40歳未満"
    ValueCounts counts;
    std::map<std::string, ValueCounts> sites;  // with a site column: counts by site
};

struct ExtractResult {
    // A problem that stops the reading (no file, no value column); empty when read.
    std::string problem;
    bool cancelled = false;
    // Ordered by group, then band; read from summaries (a count column), in the order of their
    // first rows.
    std::vector<PartitionCounts> partitions;
    // Rows counted on the way, each told of when not zero.
    std::int64_t rows = 0, kept = 0;
    std::int64_t notNumber = 0;        // value field empty or without a number
    std::int64_t valueMalformed = 0;   // a second decimal mark, separators out of place
    std::int64_t valueOutOfRange = 0;  // beyond the range of a double ("1e999")
    std::int64_t undecodable = 0;      // bytes that are not text in the file's encoding
    std::int64_t excludedWhere = 0;    // another setting
    std::int64_t badDate = 0, outsideDates = 0;
    std::int64_t noAge = 0, ageMalformed = 0, ageOutOfRange = 0, outsideAges = 0;
    std::int64_t noGroup = 0, noSite = 0, noPatient = 0, laterResults = 0, badCount = 0,
                 countTooLarge = 0;
    std::vector<std::string> notes() const;  // the counts above, in Japanese
};

// The age bands of "0,1,6,12,18,40,60,120"; nullopt with a message when they are not numbers
// in ascending order (at least two).
std::optional<std::vector<double>> parseAgeBands(std::string_view text, std::string& problem);

// A date as a number that orders dates and times: "2024-01-31", "2024/1/31", "20240131", with
// a time "13:05" or "13:05:59" after a blank or "T". nullopt where it is not a date.
std::optional<std::int64_t> dateKey(std::string_view text);
// A bound of the date range, as dateKey reads it; a day alone as the range's end (last) stands
// for the whole of that day.
std::optional<std::int64_t> dateBound(std::string_view text, bool last);

// A value field: a number, a result below or above a limit, or neither (with the reason: no
// number, a malformed one, one out of range). The limit may stand before the number ("<0.02",
// "＜0.02", "≦5", ">1000", "≧7.5") or after it ("0.02未満", "0.02以下", "1000以上", "1000超"), with
// or without blanks, in full-width digits or not.
struct ResultValue {
    enum Kind { None, Number, Below, Above } kind = None;
    double value = 0;
    FieldNumber::Kind unread = FieldNumber::Text;  // why a field of kind None was not read
};
ResultValue readResult(std::string_view field, bool decimalComma);

// A count field of a summary: a whole number from 0 to kMaxResultCount in digits (thousands
// separators allowed as in data files). nullopt with tooLarge set for one beyond it.
std::optional<std::int64_t> readCount(std::string_view field, bool decimalComma, bool& tooLarge);

// A partition label as the summary writes it, safe from a spreadsheet's formulas (an apostrophe
// before "=", "+", "-", "@", TAB, CR and before an apostrophe), and as the summary's reader takes
// it back.
std::string protectedLabel(std::string_view label);
std::string unprotectedLabel(std::string_view text);

ExtractResult readExtract(const std::vector<std::string>& files, const ExtractOptions& options);

}  // namespace kijunchi
