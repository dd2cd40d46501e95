#pragma once
// Data files: CSV, TSV and plain text in UTF-8 (with or without a byte order mark), UTF-16 with
// a byte order mark, or Shift_JIS (CP932), read into columns of measured values. Shared by the
// desktop program and kijunchi-report.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "files/table_text.h"

namespace kijunchi {

struct DataColumn {
    std::string heading;               // the file's heading, or "列N" where it has none
    std::vector<std::string> numbers;  // the fields that hold a number, "." as decimal mark
    std::int64_t skipped = 0;          // empty fields and fields without a number
    // Read with a group column: beside each number, that row's field of the group column
    // (empty where the row leaves it empty).
    std::vector<std::string> groups;
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
    std::vector<DataColumn> columns;
};

struct DataFileResult {
    FileProblem problem = FileProblem::None;
    DataFile file;
};

// Shared with a reader on another thread: how far the reading has come, and a request to stop.
struct ReadProgress {
    std::atomic<std::uint64_t> done{0};
    std::atomic<std::uint64_t> total{0};
    std::atomic<bool> cancel{false};
};

// Reads the bytes of a data file (the whole file as it lies on disk).
DataFileResult readDataText(std::string_view bytes, ReadProgress* progress = nullptr,
                            std::optional<GroupedColumn> grouped = std::nullopt);
// Reads a data file from disk.
DataFileResult readDataFile(const std::string& path, ReadProgress* progress = nullptr,
                            std::optional<GroupedColumn> grouped = std::nullopt);

// The one message for a file that gives no data (fileName as the user knows it).
std::string fileProblemMessage(FileProblem problem, std::string_view fileName);

// The column a command-line argument names: its number from 1, or its heading.
std::optional<std::size_t> findColumn(const DataFile& file, std::string_view nameOrNumber);

// A column as the column dialog lists it: heading and count of values.
std::string columnLabel(const DataColumn& column);

// The values of a column as a paste buffer holds them: one per line, CR LF.
std::string columnValuesText(const DataColumn& column);

// Told after reading a file whose decimal mark was ",".
inline constexpr const char* kDecimalCommaNotice =
    "小数点に「,」、区切りに「;」を使ったファイルとして読み込みました。";

}  // namespace kijunchi
