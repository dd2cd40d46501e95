#include "files/data_file.h"

#include <algorithm>
#include <charconv>

namespace kijunchi {

DataColumnCounter::DataColumnCounter(std::vector<DataColumn>& columns, bool decimalComma,
                                     std::optional<GroupedColumn> grouped)
    : columns_(columns), decimalComma_(decimalComma), grouped_(grouped) {}

void DataColumnCounter::add(const std::vector<std::string_view>& fields,
                            const std::vector<std::size_t>* filled) {
    ++rows_;
    if (reached_.size() < columns_.size()) reached_.resize(columns_.size(), 0);
    // An empty field is skipped whether it is counted here or, not reached, by finish().
    if (filled) {
        for (std::size_t c : *filled)
            if (c < columns_.size() && c < fields.size()) addField(c, fields);
        return;
    }
    const std::size_t width = std::min(fields.size(), columns_.size());
    for (std::size_t c = 0; c < width; ++c) addField(c, fields);
}

void DataColumnCounter::addField(std::size_t c, const std::vector<std::string_view>& fields) {
    ++reached_[c];
    DataColumn& column = columns_[c];
    const std::string_view field = fields[c];
    if (field.empty()) {
        ++column.skipped;
        return;
    }
    // The row's fields come without blanks around them.
    const FieldNumber number = readFieldNumber(field, decimalComma_);
    switch (number.kind) {
        case FieldNumber::Text:
            ++column.skipped;
            return;
        case FieldNumber::Malformed:
            ++column.malformed;
            return;
        case FieldNumber::OutOfRange:
            ++column.outOfRange;
            return;
        case FieldNumber::Number:
            break;
    }
    ++column.count;
    if (number.grouped) ++column.grouped;
    std::string_view label;
    if (grouped_ && grouped_->values == c) {
        label = grouped_->groups < fields.size() ? fields[grouped_->groups] : std::string_view();
        if (label.empty()) {
            ++column.withoutGroup;
            return;
        }
    }
    if (column.numbers.size() >= kKeptValues) return;
    // The text the paste reads to the same number.
    std::string text;
    if (number.grouped) {
        char buffer[32];
        const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, number.value);
        text.assign(buffer, error == std::errc() ? end : buffer);
    } else {
        text = normalised(field, decimalComma_);
    }
    column.numbers.push_back(std::move(text));
    if (grouped_ && grouped_->values == c) column.groups.emplace_back(label);
}

void DataColumnCounter::finish() {
    reached_.resize(columns_.size(), 0);
    for (std::size_t c = 0; c < columns_.size(); ++c) columns_[c].skipped += rows_ - reached_[c];
    reached_.assign(columns_.size(), rows_);
}

DataFileResult readDataTable(TableReader& table, const DataReadOptions& options) {
    DataFileResult result;
    DataFile& file = result.file;
    file.encoding = table.encoding();
    file.separator = table.separator();
    file.decimalComma = table.decimalComma();
    file.hasHeadings = table.hasHeadings();
    file.headingsToTell = table.headingsToTell();
    auto& columns = file.columns;
    columns.resize(table.headings().size());
    for (std::size_t c = 0; c < columns.size(); ++c) columns[c].heading = table.headings()[c];

    table.restart();
    DataColumnCounter counter(columns, file.decimalComma, options.grouped);
    std::vector<std::string_view> fields;
    while (table.nextRow(fields)) counter.add(fields, table.filledColumns());
    counter.finish();
    if (table.problem() != FileProblem::None) {
        result.problem = table.problem();
        return result;
    }
    if (std::all_of(columns.begin(), columns.end(),
                    [](const DataColumn& c) { return c.count == 0; })) {
        result.problem = FileProblem::NoNumbers;
    }
    if (options.progress) options.progress->done = options.progress->total.load();
    return result;
}

namespace {

TableOptions tableOptions(const DataReadOptions& options) {
    TableOptions t;
    t.regularOnly = options.regularOnly;
    t.headings = options.headings;
    t.progress = options.progress;
    return t;
}

}  // namespace

DataFileResult readDataText(std::string_view bytes, const DataReadOptions& options) {
    FileProblem problem = FileProblem::None;
    auto table = TableReader::fromBytes(std::string(bytes), tableOptions(options), problem);
    if (!table) {
        DataFileResult result;
        result.problem = problem;
        return result;
    }
    return readDataTable(*table, options);
}

DataFileResult readDataFile(const std::string& path, const DataReadOptions& options) {
    FileProblem problem = FileProblem::None;
    auto table = TableReader::open(path, tableOptions(options), problem);
    if (!table) {
        DataFileResult result;
        result.problem = problem;
        return result;
    }
    return readDataTable(*table, options);
}

DataFileResult readDataFile(const std::string& path, ReadProgress* progress,
                            std::optional<GroupedColumn> grouped) {
    DataReadOptions options;
    options.progress = progress;
    options.grouped = grouped;
    return readDataFile(path, options);
}

DataFileResult readDataText(std::string_view bytes, ReadProgress* progress) {
    DataReadOptions options;
    options.progress = progress;
    return readDataText(bytes, options);
}

std::string fileProblemMessage(FileProblem problem, std::string_view fileName) {
    const std::string name = "「" + std::string(fileName) + "」";
    switch (problem) {
        case FileProblem::None:
        case FileProblem::Cancelled:
            return {};
        case FileProblem::Missing:
            return "ファイル" + name + "が見つかりません。";
        case FileProblem::Folder:
            return name + "はフォルダです。データのファイルを選んで下さい。";
        case FileProblem::Unreadable:
            return "ファイル" + name + "を読めません。読み取りの権限があるか確認して下さい。";
        case FileProblem::Empty:
            return "ファイル" + name + "は空です。";
        case FileProblem::TooLarge:
            return "ファイル" + name + "は大きすぎます（256 MBまで読めます）。";
        case FileProblem::Spreadsheet:
            return "ファイル" + name +
                   "は表計算ソフトのブックです。CSV（カンマ区切り）で保存してから開いて下さい。";
        case FileProblem::Binary:
            return "ファイル" + name + "はテキストのファイルではありません。";
        case FileProblem::Encoding:
            return "ファイル" + name +
                   "の文字コードを判別できません（UTF-8かShift_JISのテキストを読めます）。";
        case FileProblem::NoNumbers:
            return "ファイル" + name + "に数値がありません。";
        case FileProblem::LineTooLong:
            return "ファイル" + name + "には長すぎる行があります（1行64 KiBまで読めます）。";
        case FileProblem::Changed:
            return "読み込み中にファイルが変わりました。";
        case FileProblem::Special:
            return name + "はファイルではありません（パイプや装置は開けません）。";
        case FileProblem::Pipe:
            return name + "を読めません。";
    }
    return {};
}

std::optional<std::size_t> findColumn(const DataFile& file, std::string_view nameOrNumber) {
    std::vector<std::string> headings;
    for (const DataColumn& column : file.columns) headings.push_back(column.heading);
    return findColumn(headings, nameOrNumber);
}

std::string columnLabel(const DataColumn& column) {
    return column.heading + "（" + std::to_string(column.count) + "個）";
}

std::string columnNotes(const DataColumn& column) {
    std::string notes;
    auto add = [&](std::string line) {
        if (!notes.empty()) notes += "\n";
        notes += line;
    };
    if (column.malformed > 0)
        add("小数点か桁区切りの位置が数値として読めない欄" + std::to_string(column.malformed) +
            "個を読み飛ばしました。");
    if (column.outOfRange > 0)
        add("扱える範囲を超える数値" + std::to_string(column.outOfRange) +
            "個を読み飛ばしました。");
    if (column.grouped > 0)
        add("桁区切りの付いた数値" + std::to_string(column.grouped) +
            "個を、桁区切りを除いて読み込みました。");
    return notes;
}

std::string headingsNotice(const DataFile& file) {
    if (!file.headingsToTell) return {};
    std::string names;
    for (const DataColumn& column : file.columns) {
        if (!names.empty()) names += "、";
        names += column.heading;
    }
    return "1行目（" + names + "）を見出しとして読みました。";
}

std::string columnValuesText(const DataColumn& column) {
    std::size_t size = 0;
    for (const auto& n : column.numbers) size += n.size() + 2;
    std::string text;
    text.reserve(size);
    for (const auto& n : column.numbers) {
        text += n;
        text += "\r\n";
    }
    return text;
}

}  // namespace kijunchi
