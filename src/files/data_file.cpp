#include "files/data_file.h"

#include <algorithm>
#include <fstream>

namespace kijunchi {

DataFileResult readDataText(std::string_view bytes, ReadProgress* progress,
                            std::optional<GroupedColumn> grouped) {
    DataFileResult result;
    if (FileProblem p = checkBytes(bytes, bytes.size()); p != FileProblem::None) {
        result.problem = p;
        return result;
    }
    const std::uint64_t size = bytes.size();
    if (progress) {
        progress->total = size * 2;
        progress->done = size;
    }

    DataFile& file = result.file;
    EncodingScan scan;
    scan.feed(bytes);
    if (FileProblem p = chooseEncoding(bytes, scan, file.encoding); p != FileProblem::None) {
        result.problem = p;
        return result;
    }
    std::string converted;
    std::string_view text = bytes.substr(textStart(file.encoding));
    if (file.encoding == TextEncoding::Utf16 || file.encoding == TextEncoding::ShiftJis) {
        TextDecoder decoder(file.encoding);
        if (!decoder.decode(bytes, converted) || !decoder.complete()) {
            result.problem = FileProblem::Encoding;
            return result;
        }
        text = converted;
    }
    if (hasControlBytes(text)) {
        result.problem = FileProblem::Binary;
        return result;
    }

    // The separator and the decimal mark from the first filled lines.
    std::vector<std::string_view> sample;
    {
        LineReader lines(text);
        std::string_view line;
        while (sample.size() < kSampleLines && lines.next(line))
            if (!isBlank(line)) sample.push_back(line);
    }
    if (sample.empty()) {
        result.problem = FileProblem::Empty;
        return result;
    }
    const TableLayout layout = detectLayout(sample);
    file.separator = layout.separator;
    file.decimalComma = layout.decimalComma;

    // The rows.
    LineReader lines(text);
    std::string_view line;
    FieldSplitter splitter;
    const auto& fields = splitter.fields();
    bool first = true;
    std::size_t row = 0;
    auto& columns = file.columns;
    while (lines.next(line)) {
        if (progress && (++row & 0xFFF) == 0) {
            if (progress->cancel) {
                result.problem = FileProblem::Cancelled;
                return result;
            }
            progress->done =
                size + static_cast<std::uint64_t>(static_cast<double>(lines.position()) /
                                                  static_cast<double>(text.size()) *
                                                  static_cast<double>(size));
        }
        if (!splitter.split(line, file.separator)) continue;
        if (fields.size() > columns.size()) {
            // A column that starts late was empty in the rows before.
            const std::int64_t rowsBefore =
                columns.empty() ? 0
                                : static_cast<std::int64_t>(columns.front().numbers.size()) +
                                      columns.front().skipped;
            for (std::size_t c = columns.size(); c < fields.size(); ++c) {
                DataColumn column;
                column.skipped = rowsBefore;
                columns.push_back(std::move(column));
            }
        }
        if (first) {
            first = false;
            if (isHeadingRow(fields, file.decimalComma)) {
                file.hasHeadings = true;
                for (std::size_t c = 0; c < fields.size(); ++c)
                    columns[c].heading = std::string(fields[c]);
                continue;
            }
        }
        for (std::size_t c = 0; c < columns.size(); ++c) {
            DataColumn& column = columns[c];
            if (c >= fields.size() || fields[c].empty()) {
                ++column.skipped;
                continue;
            }
            const std::string_view field = fields[c];
            if (isNumberField(field, file.decimalComma)) {
                column.numbers.push_back(normalised(field, file.decimalComma));
                if (grouped && grouped->values == c) {
                    column.groups.emplace_back(grouped->groups < fields.size()
                                                   ? fields[grouped->groups]
                                                   : std::string_view());
                }
            } else {
                ++column.skipped;
            }
        }
    }
    for (std::size_t c = 0; c < columns.size(); ++c)
        if (columns[c].heading.empty()) columns[c].heading = numberedHeading(c);
    if (std::all_of(columns.begin(), columns.end(),
                    [](const DataColumn& c) { return c.numbers.empty(); })) {
        result.problem = FileProblem::NoNumbers;
    }
    if (progress) progress->done = progress->total.load();
    return result;
}

DataFileResult readDataFile(const std::string& path, ReadProgress* progress,
                            std::optional<GroupedColumn> grouped) {
    DataFileResult result;
    std::uint64_t size = 0;
    if (FileProblem p = checkPath(path, size); p != FileProblem::None) {
        result.problem = p;
        return result;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        result.problem = FileProblem::Unreadable;
        return result;
    }
    // Read in blocks so that a special file without a size still ends at the limit.
    std::string bytes;
    if (size > kMaxDataFileBytes) {
        result.problem = FileProblem::TooLarge;
        return result;
    }
    if (progress) progress->total = std::max<std::uint64_t>(size, 1) * 2;
    if (size > 0) bytes.reserve(static_cast<std::size_t>(size));
    constexpr std::size_t kBlock = std::size_t{1} << 20;
    std::string block(kBlock, '\0');
    while (in) {
        in.read(block.data(), static_cast<std::streamsize>(kBlock));
        bytes.append(block.data(), static_cast<std::size_t>(in.gcount()));
        if (bytes.size() > kMaxDataFileBytes) {
            result.problem = FileProblem::TooLarge;
            return result;
        }
        if (progress) {
            if (progress->cancel) {
                result.problem = FileProblem::Cancelled;
                return result;
            }
            progress->done = bytes.size();
        }
    }
    if (in.bad()) {
        result.problem = FileProblem::Unreadable;
        return result;
    }
    return readDataText(bytes, progress, grouped);
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
    }
    return {};
}

std::optional<std::size_t> findColumn(const DataFile& file, std::string_view nameOrNumber) {
    std::vector<std::string> headings;
    for (const DataColumn& column : file.columns) headings.push_back(column.heading);
    return findColumn(headings, nameOrNumber);
}

std::string columnLabel(const DataColumn& column) {
    return column.heading + "（" + std::to_string(column.numbers.size()) + "個）";
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
