#pragma once
// Tables of adopted reference intervals: the built-in table of the JCCLS common reference
// intervals and a laboratory's own tables (its own, a region's or a manufacturer's intervals)
// in the same form, a CSV or TSV with the headings 項目, 単位, 性別, 年齢下限, 年齢上限, 下限,
// 上限, 出典, read with the data files' rules (encoding, separator, quoted fields, numbers).
// An analyte is chosen by name; a partition of the results is matched by sex and age band.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kijunchi {

enum class AdoptedSex { Common, Male, Female };

struct AdoptedRow {
    std::string analyte;              // as the table names it ("AST", "クレアチニン")
    std::vector<std::string> others;  // further names the analyte goes by (built-in table)
    std::string unit;
    AdoptedSex sex = AdoptedSex::Common;
    // The ages the row holds for, lower included, upper excluded (as age bands are); none:
    // no bound on that side.
    std::optional<double> ageLow, ageHigh;
    double lower = 0, upper = 0;
    std::string source;  // the document and its revision date
};

struct AdoptedTable {
    std::string name;  // "JCCLS共用基準範囲" or the file's name
    std::vector<AdoptedRow> rows;
    std::string problem;  // why the table could not be read; empty when it was
};

// A table holds at most this many rows (the committee's table has 54): a row costs far more than
// its line of text, so a longer file would take memory out of proportion to its size.
inline constexpr std::size_t kMaxAdoptedRows = 10000;

// The built-in table (see docs/adopted-intervals.md for its source and how it was checked).
const AdoptedTable& jcclsTable();

// A table in the CSV form from the bytes of a file; problem set (in Japanese, naming the line)
// when a heading is missing or a row does not read.
AdoptedTable parseAdoptedTable(std::string_view bytes, const std::string& name);
// "jccls" (any case) gives the built-in table, anything else is read as a file.
AdoptedTable loadAdoptedTable(const std::string& fileOrJccls);

// The table's rows for an analyte: its name compared without case and width of ASCII letters
// and digits, and without blanks.
std::vector<const AdoptedRow*> findAnalyte(const AdoptedTable& table, std::string_view name);

// The sex a partition's group text stands for ("男", "男性", "M", "male" …); nullopt when it
// names none.
std::optional<AdoptedSex> sexOfGroup(std::string_view group);

// The row of an analyte's rows for a partition of that sex (nullopt: the partition has no
// sex) and ages [ageLow, ageHigh) (nullopt: no age band). A common row holds for either sex, a
// sex's row only for it; a row with age bounds only for a band inside them, and a partition
// without a band only takes a row without age bounds. nullptr with the reason in Japanese when
// no row, or more than one, fits; `fitting` (when given) receives how many fit.
const AdoptedRow* matchPartition(const std::vector<const AdoptedRow*>& rows,
                                 std::optional<AdoptedSex> sex, std::optional<double> ageLow,
                                 std::optional<double> ageHigh, std::string& reason,
                                 std::size_t* fitting = nullptr);

// "男", "女" or "共通".
std::string sexText(AdoptedSex sex);

// The ages a row holds for: "18〜65歳", "65歳〜", "〜18歳"; empty for a row without ages.
std::string ageBandText(const AdoptedRow& row);

}  // namespace kijunchi
