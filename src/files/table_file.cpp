#include "files/table_file.h"

#include <algorithm>

#include "files/workbook_parts.h"

namespace kijunchi {

using workbook::kDamaged;

namespace {

// The columns of a sheet as a data file of it gives them, from its rows one at a time: its
// cells read by the same rule as the fields of a data file, so that every reading of one
// column counts the same values.
class SheetColumns {
public:
    SheetColumns(std::optional<GroupedColumn> grouped, std::optional<bool> headings)
        : headings_(headings), counter_(result_.file.columns, false, grouped) {
        result_.file.separator = '\t';
    }

    // filled: the columns the row filled, when only those are not empty.
    void add(const std::vector<std::string_view>& fields,
             const std::vector<std::size_t>* filled = nullptr) {
        DataFile& file = result_.file;
        auto& columns = file.columns;
        // A column that starts late was empty in the rows before: the counter tells.
        if (fields.size() > columns.size()) columns.resize(fields.size());
        if (first_) {
            first_ = false;
            if (headings_ ? *headings_ : isHeadingRow(fields, false)) {
                file.hasHeadings = true;
                for (std::size_t c = 0; c < fields.size(); ++c)
                    columns[c].heading = std::string(fields[c]);
                return;
            }
        }
        counter_.add(fields, filled);
    }

    DataFileResult finish() {
        counter_.finish();
        auto& columns = result_.file.columns;
        for (std::size_t c = 0; c < columns.size(); ++c)
            if (columns[c].heading.empty()) columns[c].heading = numberedHeading(c);
        if (std::all_of(columns.begin(), columns.end(),
                        [](const DataColumn& c) { return c.count == 0; }))
            result_.problem = FileProblem::NoNumbers;
        return std::move(result_);
    }

private:
    std::optional<bool> headings_;
    bool first_ = true;
    DataFileResult result_;
    DataColumnCounter counter_;
};

}  // namespace

DataFileResult sheetDataFile(const SheetTable& table, std::optional<GroupedColumn> grouped,
                             std::optional<bool> headings) {
    SheetColumns columns(grouped, headings);
    std::vector<std::string_view> fields;
    for (const auto& row : table.rows) {
        fields.assign(row.begin(), row.end());
        columns.add(fields);
    }
    return columns.finish();
}

TableFileRead readTableFile(const std::string& path, std::string_view sheet, ReadProgress* progress,
                            std::optional<GroupedColumn> grouped) {
    DataReadOptions options;
    options.progress = progress;
    options.grouped = grouped;
    return readTableFile(path, sheet, options);
}

TableFileRead readTableFile(const std::string& path, std::string_view sheet,
                            const DataReadOptions& options) {
    ReadProgress* progress = options.progress;
    TableFileRead result;
    if (workbookFileKind(path) == WorkbookKind::None) {
        result.read = readDataFile(path, options);
        return result;
    }
    // The sheet read once, row by row, into the columns.
    WorkbookRead book;
    const auto reader = SheetReader::open(path, sheet, progress, book);
    result.sheets = book.sheets;
    SheetColumns columns(options.grouped, options.headings);
    if (reader) {
        std::vector<std::string_view> fields;
        while (reader->next(fields)) columns.add(fields, &reader->filled());
        book.refusal = reader->refusal();
    }
    if ((progress && progress->cancel) || (reader && reader->cancelled())) {
        result.read.problem = FileProblem::Cancelled;
        return result;
    }
    if (!book.refusal.empty() || !reader) {
        result.read.problem = FileProblem::Spreadsheet;
        result.refusal = book.refusal.empty() ? kDamaged : book.refusal;
        return result;
    }
    const SheetCounts counts = reader->counts();
    result.read = columns.finish();
    if (result.read.problem == FileProblem::NoNumbers) {
        result.read.problem = FileProblem::Spreadsheet;
        result.refusal = "のシート「" + book.sheets[book.sheet] + "」に数値がありません。";
        if (counts.formulasWithoutValue > 0) result.refusal += sheetNotes(counts).back();
        return result;
    }
    result.notes = sheetNotes(counts);
    return result;
}

std::string tableFileMessage(const TableFileRead& read, std::string_view fileName) {
    if (!read.refusal.empty()) return "ファイル「" + std::string(fileName) + "」" + read.refusal;
    return fileProblemMessage(read.read.problem, fileName);
}

}  // namespace kijunchi
