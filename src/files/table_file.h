#pragma once
// A data file or a workbook's sheet read into columns, by what the file holds: above both the
// data file reader and the workbook readers.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "files/data_file.h"
#include "files/workbook.h"

namespace kijunchi {

// The columns of a sheet as a data file of it gives them (headings, numbers, skipped cells;
// with grouped, the group column's text beside each value). NoNumbers when no cell holds one.
// headings: the first row as headings, yes or no, or as the data say.
DataFileResult sheetDataFile(const SheetTable& table,
                             std::optional<GroupedColumn> grouped = std::nullopt,
                             std::optional<bool> headings = std::nullopt);

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
