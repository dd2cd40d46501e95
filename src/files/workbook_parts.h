#pragma once
// What the two workbook readers share (the .xlsx reader in xlsx_reader.cpp, the .xls reader in
// xls_reader.cpp) and how the sheet reader of workbook.cpp calls them. Not for use elsewhere.
#include <charconv>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "files/workbook.h"

namespace kijunchi::workbook {

inline constexpr const char* kEncrypted =
    "はパスワードで保護（暗号化）されたブックです。保護を解除して保存し直してから開いて下さい。";
inline constexpr const char* kDamaged =
    "はブックとして読めません（壊れているか、途中で切れています）。";
inline constexpr const char* kExpandedTooLarge = "は展開すると大きすぎます（256 MBまで読めます）。";

inline bool startsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

// The shortest decimal text that reads back as v, with "E" for the exponent.
std::string shortestText(double v);
std::optional<double> parseNumber(std::string_view text);

// A cell's text as a field of a data file, which cannot hold a TAB or a line end: those become
// spaces, and the blanks around the text are dropped. Empty when nothing is left.
std::string_view asField(char* first, char* last);
std::string_view asField(std::string& text);

// --- .xlsx (xlsx_reader.cpp)
// The sheets, shared strings and date styles of an .xlsx, and its sheet that sheet names ready
// to be read; null with read.refusal when it cannot be (or when only the sheets were asked for).
std::unique_ptr<XlsxSheet, XlsxSheetDelete> openXlsx(const std::string& path,
                                                     std::string_view sheet, ReadProgress* progress,
                                                     bool listOnly, WorkbookRead& read);
// Starts a pass over the sheet from its first row: nullopt when it started, or why it could not
// (empty when cancelled).
std::optional<std::string> beginXlsxPass(XlsxSheet& sheet);
// The cells of the next row: Row, End at the end of the sheet, or Failed with the refusal
// (empty when cancelled). The row's filled cells, in order of column; the views stay valid
// until the next call.
enum class RowStep { Row, End, Failed };
RowStep nextXlsxRow(XlsxSheet& sheet, std::vector<SheetCell>& cells, std::string& refusal);
const SheetCounts& xlsxCounts(const XlsxSheet& sheet);

// --- .xls (xls_reader.cpp)
// Lists the sheets of an .xls and reads the one sheet names (unless listOnly) into read.table;
// read.refusal when it cannot.
void readXls(const std::string& path, std::string_view sheet, bool listOnly, WorkbookRead& read);

}  // namespace kijunchi::workbook
