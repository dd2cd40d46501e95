#include "study/table_stream.h"

#include <algorithm>

#include "files/data_file.h"

namespace kijunchi {

namespace {

constexpr std::size_t kBlock = std::size_t{1} << 20;

}  // namespace

std::optional<TableStream> TableStream::open(const std::string& path, std::string& problem,
                                             std::string_view sheet) {
    TableStream t;
    t.path_ = path;
    if (workbookFileKind(path) != WorkbookKind::None) {
        if (!t.openSheet(sheet, problem)) return std::nullopt;
        return t;
    }
    const FileProblem p = t.inspect();
    if (p != FileProblem::None) {
        problem = fileProblemMessage(p, path);
        return std::nullopt;
    }
    t.restart();
    return t;
}

// Three passes: the bytes for the encoding, the lines for the separator and decimal mark (and
// for bytes that do not decode), the rows for the headings and the count of columns.
FileProblem TableStream::inspect() {
    std::uint64_t size = 0;
    if (FileProblem p = checkPath(path_, size); p != FileProblem::None) return p;
    in_.open(path_, std::ios::binary);
    if (!in_) return FileProblem::Unreadable;
    if (size > kMaxDataFileBytes) return FileProblem::TooLarge;

    std::string head;
    std::uint64_t total = 0;
    EncodingScan scan;
    block_.resize(kBlock);
    while (in_) {
        in_.read(block_.data(), static_cast<std::streamsize>(kBlock));
        const auto got = static_cast<std::size_t>(in_.gcount());
        if (total == 0) head.assign(block_.data(), std::min<std::size_t>(got, 8));
        total += got;
        if (total > kMaxDataFileBytes) return FileProblem::TooLarge;
        scan.feed(std::string_view(block_.data(), got));
    }
    if (in_.bad()) return FileProblem::Unreadable;
    if (FileProblem p = checkBytes(head, total); p != FileProblem::None) return p;
    if (FileProblem p = chooseEncoding(head, scan, encoding_); p != FileProblem::None) return p;

    std::vector<std::string> sample;
    std::string_view line;
    restart();
    checkText_ = true;
    while (nextLine(line))
        if (sample.size() < kSampleLines && !isBlank(line)) sample.emplace_back(line);
    checkText_ = false;
    if (undecodable_) return FileProblem::Encoding;
    if (controlBytes_) return FileProblem::Binary;
    if (sample.empty()) return FileProblem::Empty;
    layout_ = detectLayout(std::vector<std::string_view>(sample.begin(), sample.end()));

    // The heading row is the first row when most of its filled fields are not numbers; rows
    // longer than it get numbered names for their further columns.
    restart();
    std::vector<std::string_view> fields;
    bool first = true;
    while (nextRow(fields)) {
        if (first) {
            first = false;
            if (isHeadingRow(fields, layout_.decimalComma)) {
                hasHeadings_ = true;
                headings_.assign(fields.begin(), fields.end());
                continue;
            }
        }
        if (headings_.size() < fields.size()) headings_.resize(fields.size());
    }
    for (std::size_t c = 0; c < headings_.size(); ++c)
        if (headings_[c].empty()) headings_[c] = numberedHeading(c);
    // A file without numbers is read all the same: each of its columns is told of on its own.
    return FileProblem::None;
}

bool TableStream::openSheet(std::string_view sheet, std::string& problem) {
    WorkbookRead book = readWorkbook(path_, sheet);
    if (!book.refusal.empty()) {
        problem = "ファイル「" + path_ + "」" + book.refusal;
        return false;
    }
    sheet_ = std::make_unique<SheetTable>(std::move(book.table));
    const auto& rows = sheet_->rows;
    if (!rows.empty() &&
        isHeadingRow(std::vector<std::string_view>(rows.front().begin(), rows.front().end()),
                     false)) {
        hasHeadings_ = true;
        headings_ = rows.front();
    }
    for (const auto& row : rows)
        if (headings_.size() < row.size()) headings_.resize(row.size());
    for (std::size_t c = 0; c < headings_.size(); ++c)
        if (headings_[c].empty()) headings_[c] = numberedHeading(c);
    restart();
    return true;
}

void TableStream::restart() {
    if (sheet_) {
        sheetRow_ = 0;
        headingLeft_ = hasHeadings_;
        return;
    }
    in_.clear();
    in_.seekg(static_cast<std::streamoff>(textStart(encoding_)));
    decoder_.emplace(encoding_);
    text_.clear();
    complete_ = 0;
    lines_ = LineReader();
    end_ = false;
    headingLeft_ = hasHeadings_;
}

// Reads the next block and decodes it; the lines that are whole by then are handed out.
void TableStream::readBlock() {
    text_.erase(0, complete_);
    block_.resize(kBlock);
    in_.read(block_.data(), static_cast<std::streamsize>(kBlock));
    const auto got = static_cast<std::size_t>(in_.gcount());
    end_ = got < kBlock || !in_;
    const std::size_t decodedFrom = text_.size();
    if (!decoder_->decode(std::string_view(block_.data(), got), text_)) {
        undecodable_ = true;
        end_ = true;
    }
    if (end_ && !decoder_->complete()) undecodable_ = true;
    if (checkText_ && hasControlBytes(std::string_view(text_).substr(decodedFrom)))
        controlBytes_ = true;
    // Up to the last line end; a CR LF cut between blocks gives an empty line, passed over
    // as a blank one.
    complete_ = text_.size();
    if (!end_) {
        const std::size_t lastEnd = text_.find_last_of("\r\n");
        complete_ = lastEnd == std::string::npos ? 0 : lastEnd + 1;
    }
    lines_ = LineReader(std::string_view(text_).substr(0, complete_));
}

bool TableStream::nextLine(std::string_view& line) {
    while (!lines_.next(line)) {
        if (end_) return false;
        readBlock();
    }
    return true;
}

bool TableStream::nextRow(std::vector<std::string_view>& fields) {
    if (sheet_) {
        while (sheetRow_ < sheet_->rows.size()) {
            const auto& row = sheet_->rows[sheetRow_++];
            if (headingLeft_) {
                headingLeft_ = false;
                continue;
            }
            fields.assign(row.begin(), row.end());
            return true;
        }
        fields.clear();
        return false;
    }
    std::string_view line;
    while (nextLine(line)) {
        if (!splitter_.split(line, layout_.separator)) continue;
        if (headingLeft_) {
            headingLeft_ = false;
            continue;
        }
        fields = splitter_.fields();
        return true;
    }
    fields.clear();
    return false;
}

std::optional<double> TableStream::number(std::string_view field) const {
    return fieldNumber(trimField(field), layout_.decimalComma);
}

std::string TableStream::text(std::string_view field) const {
    return std::string(trimField(field));
}

std::optional<std::size_t> TableStream::findColumn(std::string_view nameOrNumber) const {
    return kijunchi::findColumn(headings_, nameOrNumber);
}

}  // namespace kijunchi
