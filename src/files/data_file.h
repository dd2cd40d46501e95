#pragma once
// Data files: CSV, TSV and plain text in UTF-8 (with or without a byte order mark), UTF-16 with
// a byte order mark, or Shift_JIS (CP932), read into columns of measured values. Shared by the
// desktop program and kijunchi-report.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "files/table_reader.h"
#include "files/table_text.h"

namespace kijunchi {

// As many values of a column as a data set holds; the rest are counted.
inline constexpr std::size_t kKeptValues = 5000;

struct DataColumn {
    std::string heading;  // the file's heading, or "列N" where it has none
    // The first kKeptValues fields that hold a number, as number texts with "." as decimal
    // mark (thousands separators dropped).
    std::vector<std::string> numbers;
    std::int64_t count = 0;       // every field that holds a number, kept or not
    std::int64_t skipped = 0;     // empty fields and fields without a number
    std::int64_t malformed = 0;   // a second decimal mark, separators out of place
    std::int64_t outOfRange = 0;  // numbers beyond the range of a double
    std::int64_t grouped = 0;     // numbers read without their thousands separators
    // Read with a group column: beside each number, that row's field of the group column;
    // numbers whose group field is empty are not kept but counted here.
    std::vector<std::string> groups;
    std::int64_t withoutGroup = 0;
};

// A column of values to be read with the field of a group column beside each value; the
// other columns are read as always.
struct GroupedColumn {
    std::size_t values = 0;
    std::size_t groups = 0;
};

struct DataFile {
    TextEncoding encoding = TextEncoding::Utf8;
    char separator = 0;         // ',', '\t', ';', or 0 for one field per line
    bool decimalComma = false;  // "," was the decimal mark (with ";" between the fields)
    bool hasHeadings = false;
    bool headingsToTell = false;  // the heading row holds numbers: the user is told
    std::vector<DataColumn> columns;
};

struct DataFileResult {
    FileProblem problem = FileProblem::None;
    DataFile file;
};

struct DataReadOptions {
    ReadProgress* progress = nullptr;
    std::optional<GroupedColumn> grouped;
    std::optional<bool> headings;  // the first row as headings: yes, no, or as the data say
    bool regularOnly = false;      // refuse pipes, sockets and devices
};

// Rows of fields counted into columns as a data file counts them: numbers by the data files'
// rule (thousands separators, decimal mark, range; malformed fields counted), the first
// kKeptValues of a column kept. A row costs its fields, not the width of the table: the columns
// a row ends before are counted skipped by finish(). Columns may be added between rows.
class DataColumnCounter {
public:
    DataColumnCounter(std::vector<DataColumn>& columns, bool decimalComma,
                      std::optional<GroupedColumn> grouped);
    // filled: when given, the only fields of the row that are not empty (a sheet's row).
    void add(const std::vector<std::string_view>& fields,
             const std::vector<std::size_t>* filled = nullptr);
    void finish();

private:
    void addField(std::size_t c, const std::vector<std::string_view>& fields);
    std::vector<DataColumn>& columns_;
    bool decimalComma_;
    std::optional<GroupedColumn> grouped_;
    std::int64_t rows_ = 0;
    std::vector<std::int64_t> reached_;  // rows that held a field of each column
};

// Reads the bytes of a data file (the whole file as it lies on disk).
DataFileResult readDataText(std::string_view bytes, const DataReadOptions& options = {});
// Reads a data file from disk (or a pipe, unless regularOnly).
DataFileResult readDataFile(const std::string& path, const DataReadOptions& options = {});
DataFileResult readDataFile(const std::string& path, ReadProgress* progress,
                            std::optional<GroupedColumn> grouped = std::nullopt);
DataFileResult readDataText(std::string_view bytes, ReadProgress* progress);
// The rows of an opened table into columns.
DataFileResult readDataTable(TableReader& table, const DataReadOptions& options = {});

// The one message for a file that gives no data (fileName as the user knows it).
std::string fileProblemMessage(FileProblem problem, std::string_view fileName);

// The column a command-line argument names: its number from 1, or its heading.
std::optional<std::size_t> findColumn(const DataFile& file, std::string_view nameOrNumber);

// A column as the column dialog lists it: heading and count of values.
std::string columnLabel(const DataColumn& column);

// The values of a column as a paste buffer holds them: one per line, CR LF.
std::string columnValuesText(const DataColumn& column);

// The notes on how the column's numbers were read: thousands separators, fields that were
// no number because of their marks, numbers out of range; one line each, empty when none.
std::string columnNotes(const DataColumn& column);

// Told when the first row was taken as the headings although it holds numbers.
std::string headingsNotice(const DataFile& file);

// Told after reading a file whose decimal mark was ",".
inline constexpr const char* kDecimalCommaNotice =
    "小数点に「,」、区切りに「;」を使ったファイルとして読み込みました。";

}  // namespace kijunchi
