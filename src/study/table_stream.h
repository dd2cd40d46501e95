#pragma once
// A data file read row by row, again and again, without keeping it in memory: the batch
// evaluation goes through the file once per analyte and holds only that analyte's values.
// CSV, TSV and semicolon files in UTF-8 (with or without a byte order mark) or Shift_JIS;
// quoted fields; a first row that is not all numbers is taken as headings.
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kijunchi {

class TableStream {
public:
    // Opens and inspects the file; nullopt with a message in Japanese when it cannot be read.
    static std::optional<TableStream> open(const std::string& path, std::string& problem);

    // The column headings in UTF-8 ("列1", "列2", … where the file has none).
    const std::vector<std::string>& headings() const { return headings_; }
    char separator() const { return separator_; }
    bool decimalComma() const { return decimalComma_; }

    // Back to the first data row.
    void restart();
    // The fields of the next data row (blank rows are passed over); false at the end. The
    // views stay valid until the next call.
    bool nextRow(std::vector<std::string_view>& fields);

    // A field as a number: the whole field must be one (blanks around it allowed).
    std::optional<double> number(std::string_view field) const;
    // A field as text in UTF-8 (group labels), blanks around it dropped.
    std::string text(std::string_view field) const;

    // The column a command-line argument names: its number from 1, or its heading.
    std::optional<std::size_t> findColumn(std::string_view nameOrNumber) const;

private:
    TableStream() = default;
    bool readLine();

    std::string path_;
    std::ifstream in_;
    std::streamoff dataStart_ = 0;
    bool shiftJis_ = false;
    char separator_ = ',';
    bool decimalComma_ = false;
    std::vector<std::string> headings_;
    std::string line_;
    std::vector<std::string> unquoted_;  // quoted fields of the current row, unquoted
};

}  // namespace kijunchi
