#pragma once
// Spreadsheet workbooks read as data files: Office Open XML (.xlsx, .xlsm: a zip archive of
// XML parts, read with minizip and pugixml) and the older binary workbooks (.xls, BIFF in a
// compound file, read with FreeXL). One sheet is read into rows of cell texts, and from them
// the same columns a CSV file of that sheet gives; the batch walks the rows again and again.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "files/data_file.h"

namespace kijunchi {

enum class WorkbookKind { None, Xlsx, Xls };

// What the first bytes of a file tell: a zip archive or a compound file.
WorkbookKind workbookKind(std::string_view head);
// The same from the first bytes of the file at path (None when it cannot be read).
WorkbookKind workbookFileKind(const std::string& path);

// One sheet as cell texts: the rows that hold a filled cell, each up to its last filled cell.
// A number is its shortest exact decimal text, a string cell its text, an error its code
// ("#N/A"), a boolean TRUE or FALSE; an empty cell, and a formula whose result the workbook
// did not keep, an empty text.
struct SheetTable {
    std::vector<std::vector<std::string>> rows;
    std::int64_t errors = 0;  // error cells (#N/A, #DIV/0!, ...)
    std::int64_t dates = 0;   // date cells, read as their serial numbers
    std::int64_t formulasWithoutValue = 0;
};

struct WorkbookRead {
    std::string refusal;  // why nothing was read, in Japanese; empty when read
    std::vector<std::string> sheets;
    std::size_t sheet = 0;  // the sheet read, from 0
    SheetTable table;
};

// Lists the sheets and reads the one that sheet names: its number from 1 or its name, the
// first when empty. progress (as for data files) is told of the inflating and may cancel it.
WorkbookRead readWorkbook(const std::string& path, std::string_view sheet = {},
                          ReadProgress* progress = nullptr);

// The names of a workbook's sheets, in order, without reading them; refusal (in Japanese, to
// follow "ファイル「name」") when the workbook cannot be read.
std::vector<std::string> workbookSheets(const std::string& path, std::string& refusal);

// The columns of a sheet as a data file of it gives them (headings, numbers, skipped cells;
// with grouped, the group column's text beside each value). NoNumbers when no cell holds one.
// headings: the first row as headings, yes or no, or as the data say.
DataFileResult sheetDataFile(const SheetTable& table,
                             std::optional<GroupedColumn> grouped = std::nullopt,
                             std::optional<bool> headings = std::nullopt);

// What the user is told after reading a sheet: dates, error cells, formulas without a value.
std::vector<std::string> sheetNotes(const SheetTable& table);

// A data file or a workbook, read by what the file holds: for a workbook the sheet that sheet
// names. refusal holds the message for a workbook that was refused (problem is Spreadsheet
// then), notes what the user is told; sheets lists a workbook's sheets.
struct TableFileRead {
    DataFileResult read;
    std::string refusal;
    std::vector<std::string> notes;
    std::vector<std::string> sheets;
};
TableFileRead readTableFile(const std::string& path, std::string_view sheet,
                            const DataReadOptions& options);
TableFileRead readTableFile(const std::string& path, std::string_view sheet = {},
                            ReadProgress* progress = nullptr,
                            std::optional<GroupedColumn> grouped = std::nullopt);
// The one message for a file that gave no data.
std::string tableFileMessage(const TableFileRead& read, std::string_view fileName);

}  // namespace kijunchi
