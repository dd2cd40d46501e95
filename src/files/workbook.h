#pragma once
// Spreadsheet workbooks read as data files: Office Open XML (.xlsx, .xlsm: a zip archive of
// XML parts, inflated with minizip; the small parts parsed with pugixml, the shared strings and
// the sheet with expat as they are inflated; xlsx_reader.cpp) and the older binary workbooks
// (.xls, BIFF in a compound file, read with FreeXL; xls_reader.cpp). One sheet is read a row of
// cell texts at a time, as often as a reader needs, and gives the same columns a CSV file of
// that sheet gives.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "files/table_text.h"

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
struct SheetCounts {
    std::int64_t errors = 0;  // error cells (#N/A, #DIV/0!, ...)
    std::int64_t dates = 0;   // date cells, read as their serial numbers
    std::int64_t formulasWithoutValue = 0;
};
struct SheetTable : SheetCounts {
    std::vector<std::vector<std::string>> rows;
};

// A filled cell of a sheet's row: its column (from 0) and its text.
struct SheetCell {
    std::size_t column = 0;
    std::string_view text;
};

struct WorkbookRead {
    std::string refusal;  // why nothing was read, in Japanese; empty when read
    std::vector<std::string> sheets;
    std::size_t sheet = 0;  // the sheet read, from 0
    SheetTable table;
};

struct XlsxSheet;
struct XlsxSheetDelete {
    void operator()(XlsxSheet* sheet) const;
};

// One sheet of a workbook, read a row at a time and as often as needed. An .xlsx sheet is
// inflated and parsed while it is read, never held: what stays in memory is the workbook's
// shared strings (one text, since any cell may name any of them), its date styles and the row
// at hand. An .xls sheet is read whole by FreeXL (at most 65536 rows) and held as cell texts.
class SheetReader {
public:
    ~SheetReader();
    SheetReader(const SheetReader&) = delete;
    SheetReader& operator=(const SheetReader&) = delete;

    // Opens the workbook at path, lists its sheets into listed.sheets and gets ready to read
    // the one sheet names (its number from 1 or its name, the first when empty): listed.sheet.
    // Null with listed.refusal (in Japanese, to follow "ファイル「name」") when it cannot be
    // read, or with no refusal when progress cancelled it. progress is told of the inflating.
    static std::unique_ptr<SheetReader> open(const std::string& path, std::string_view sheet,
                                             ReadProgress* progress, WorkbookRead& listed);

    // Back to the sheet's first row.
    void restart();
    // The filled cells of the next row that holds one, in order of column; false at the end
    // of the sheet or when the pass failed (refusal() or cancelled()). The views stay valid
    // until the next call. A row costs its filled cells, however far to the right they stand.
    bool next(std::vector<SheetCell>& cells);
    // The same row as texts by column, an empty text for an empty cell. Given again the
    // vector it filled last, only the cells the last row filled are emptied, so that the row
    // still costs its filled cells only: the vector is then as wide as the widest row so far.
    // filled() names the columns the row filled, in order.
    bool next(std::vector<std::string_view>& cells);
    const std::vector<std::size_t>& filled() const { return filled_; }
    // Why the pass ended early, as listed.refusal gives it; empty after a whole pass.
    const std::string& refusal() const { return refusal_; }
    bool cancelled() const { return cancelled_; }
    // The cells counted in the pass so far: those of the whole sheet after a whole pass.
    const SheetCounts& counts() const;

    // Reads the sheet through once, so that whatever refuses it does so before a row is used;
    // keeps its first row and the length of its longest. False when the pass failed.
    bool check();
    const std::vector<std::string>& firstRow() const { return firstRow_; }
    std::size_t width() const { return width_; }

private:
    SheetReader();
    bool openFile(const std::string& path, std::string_view sheet, ReadProgress* progress,
                  WorkbookRead& listed);
    bool nextRow(std::vector<SheetCell>& cells);
    void fail(std::string refusal);

    std::unique_ptr<XlsxSheet, XlsxSheetDelete> xlsx_;  // an .xlsx sheet, read as it is inflated
    SheetTable table_;                                  // an .xls sheet
    std::size_t row_ = 0;
    std::string path_;
    std::uint64_t size_ = 0;     // the file's size when it was opened
    std::int64_t modified_ = 0;  // and its time of change
    std::string refusal_;
    bool cancelled_ = false;
    std::vector<std::string> firstRow_;
    std::size_t width_ = 0;
    // The row handed out as texts by column: its filled columns, and the vector it went to.
    std::vector<SheetCell> sparse_;
    std::vector<std::size_t> filled_;
    const std::string_view* handed_ = nullptr;
    std::size_t handedSize_ = 0;
};

// Lists the sheets and reads the one that sheet names: its number from 1 or its name, the
// first when empty; each row held up to its last filled cell (readers of data go through
// SheetReader, whose rows cost their filled cells only). progress (as for data files) is told of
// the inflating and may cancel it.
WorkbookRead readWorkbook(const std::string& path, std::string_view sheet = {},
                          ReadProgress* progress = nullptr);

// The names of a workbook's sheets, in order, without reading them; refusal (in Japanese, to
// follow "ファイル「name」") when the workbook cannot be read.
std::vector<std::string> workbookSheets(const std::string& path, std::string& refusal);

// What the user is told after reading a sheet: dates, error cells, formulas without a value.
std::vector<std::string> sheetNotes(const SheetCounts& counts);

}  // namespace kijunchi
