#include "files/table_file.h"

#include <algorithm>

#include "files/workbook_parts.h"

namespace kijunchi {

using workbook::kDamaged;

namespace {

// The columns of a sheet as a data file of it gives them, from its rows one at a time.
class SheetColumns {
public:
    SheetColumns(std::optional<GroupedColumn> grouped, std::optional<bool> headings)
        : grouped_(grouped), headings_(headings) {
        result_.file.separator = '\t';
    }

    void add(const std::vector<std::string_view>& fields) {
        DataFile& file = result_.file;
        auto& columns = file.columns;
        if (fields.size() > columns.size()) {
            // A column that starts late was empty in the rows before.
            const std::int64_t rowsBefore =
                columns.empty() ? 0 : columns.front().count + columns.front().skipped;
            const std::size_t before = columns.size();
            columns.resize(fields.size());
            for (std::size_t c = before; c < columns.size(); ++c) columns[c].skipped = rowsBefore;
        }
        if (first_) {
            first_ = false;
            if (headings_ ? *headings_ : isHeadingRow(fields, false)) {
                file.hasHeadings = true;
                for (std::size_t c = 0; c < fields.size(); ++c)
                    columns[c].heading = std::string(fields[c]);
                return;
            }
        }
        for (std::size_t c = 0; c < columns.size(); ++c) {
            DataColumn& column = columns[c];
            const std::string_view field = c < fields.size() ? fields[c] : std::string_view();
            if (field.empty() || !isNumberField(field, false)) {
                ++column.skipped;
                continue;
            }
            // Every number counts; the first kKeptValues are kept, as a data file keeps them.
            ++column.count;
            if (column.numbers.size() >= kKeptValues) continue;
            if (grouped_ && grouped_->values == c) {
                const std::string_view group = grouped_->groups < fields.size()
                                                   ? fields[grouped_->groups]
                                                   : std::string_view();
                if (group.empty()) {
                    ++column.withoutGroup;
                    continue;
                }
                column.groups.emplace_back(group);
            }
            column.numbers.push_back(normalised(field, false));
        }
    }

    DataFileResult finish() {
        auto& columns = result_.file.columns;
        for (std::size_t c = 0; c < columns.size(); ++c)
            if (columns[c].heading.empty()) columns[c].heading = numberedHeading(c);
        if (std::all_of(columns.begin(), columns.end(),
                        [](const DataColumn& c) { return c.numbers.empty(); }))
            result_.problem = FileProblem::NoNumbers;
        return std::move(result_);
    }

private:
    std::optional<GroupedColumn> grouped_;
    std::optional<bool> headings_;
    bool first_ = true;
    DataFileResult result_;
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
        while (reader->next(fields)) columns.add(fields);
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
