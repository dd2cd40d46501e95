#include "files/workbook.h"

#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <fstream>

#include "files/workbook_parts.h"

namespace kijunchi {

using namespace workbook;

namespace workbook {

// The shortest decimal text that reads back as v, with "E" for the exponent.
std::string shortestText(double v) {
    char buffer[32];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, v).ptr;
    std::string text(buffer, end);
    for (char& c : text)
        if (c == 'e') c = 'E';
    return text;
}

std::optional<double> parseNumber(std::string_view text) {
    double v = 0;
    const char* first = text.data();
    if (!text.empty() && *first == '+') ++first;
    const auto [ptr, ec] = std::from_chars(first, text.data() + text.size(), v);
    if (ec != std::errc() || ptr != text.data() + text.size()) return std::nullopt;
    return v;
}

// A cell's text as a field of a data file, which cannot hold a TAB or a line end: those become
// spaces, and the blanks around the text are dropped. Empty when nothing is left.
std::string_view asField(char* first, char* last) {
    std::replace_if(
        first, last, [](char c) { return c == '\t' || c == '\r' || c == '\n'; }, ' ');
    return trimField(std::string_view(first, static_cast<std::size_t>(last - first)));
}
std::string_view asField(std::string& text) {
    return asField(text.data(), text.data() + text.size());
}

}  // namespace workbook

WorkbookKind workbookKind(std::string_view head) {
    if (startsWith(head, "PK\x03\x04")) return WorkbookKind::Xlsx;
    if (startsWith(head, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1")) return WorkbookKind::Xls;
    return WorkbookKind::None;
}

WorkbookKind workbookFileKind(const std::string& path) {
    std::uint64_t size = 0;
    if (checkPath(path, size) != FileProblem::None) return WorkbookKind::None;
    // Only a regular file is looked into: the first bytes of a pipe would be gone for its reading.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return WorkbookKind::None;
    std::ifstream in(path, std::ios::binary);
    char head[8] = {};
    in.read(head, sizeof head);
    return workbookKind(std::string_view(head, static_cast<std::size_t>(in.gcount())));
}

namespace {

constexpr const char* kChanged = "は読み込み中に変わりました。";

// A row's filled cells as the texts of its cells up to the last filled one.
std::vector<std::string> denseRow(const std::vector<SheetCell>& cells) {
    std::vector<std::string> row(cells.empty() ? 0 : cells.back().column + 1);
    for (const SheetCell& cell : cells) row[cell.column] = cell.text;
    return row;
}

std::int64_t changeTime(const struct stat& st) {
    return static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

// The kind of the workbook at path, or None with the refusal.
WorkbookKind workbookOf(const std::string& path, WorkbookRead& read) {
    std::uint64_t size = 0;
    if (checkPath(path, size) != FileProblem::None || size > kMaxDataFileBytes) {
        read.refusal = size > kMaxDataFileBytes ? kExpandedTooLarge : kDamaged;
        return WorkbookKind::None;
    }
    const WorkbookKind kind = workbookFileKind(path);
    if (kind == WorkbookKind::None) read.refusal = kDamaged;
    return kind;
}

}  // namespace

SheetReader::SheetReader() = default;
SheetReader::~SheetReader() = default;

std::unique_ptr<SheetReader> SheetReader::open(const std::string& path, std::string_view sheet,
                                               ReadProgress* progress, WorkbookRead& listed) {
    std::unique_ptr<SheetReader> reader(new SheetReader);
    // Whatever a reader throws on a hostile file (memory, a length out of range) is its refusal.
    try {
        if (!reader->openFile(path, sheet, progress, listed)) return nullptr;
    } catch (const std::exception&) {
        listed = WorkbookRead{};
        listed.refusal = kDamaged;
        return nullptr;
    }
    reader->restart();
    return reader;
}

bool SheetReader::openFile(const std::string& path, std::string_view sheet, ReadProgress* progress,
                           WorkbookRead& listed) {
    SheetReader* reader = this;
    switch (workbookOf(path, listed)) {
        case WorkbookKind::Xlsx:
            reader->xlsx_ = openXlsx(path, sheet, progress, false, listed);
            if (!reader->xlsx_) return false;
            break;
        case WorkbookKind::Xls:
            readXls(path, sheet, false, listed);
            if (!listed.refusal.empty()) return false;
            reader->table_ = std::move(listed.table);
            listed.table = SheetTable{};
            break;
        case WorkbookKind::None:
            return false;
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        reader->path_ = path;
        reader->size_ = static_cast<std::uint64_t>(st.st_size);
        reader->modified_ = changeTime(st);
    }
    return true;
}

void SheetReader::fail(std::string refusal) {
    if (refusal.empty()) {
        cancelled_ = true;
    } else if (refusal_.empty()) {
        refusal_ = std::move(refusal);
    }
}

void SheetReader::restart() {
    refusal_.clear();
    cancelled_ = false;
    row_ = 0;
    // An .xlsx sheet is inflated again at every pass: from the same file.
    struct stat st {};
    if (!path_.empty() &&
        (::stat(path_.c_str(), &st) != 0 || static_cast<std::uint64_t>(st.st_size) != size_ ||
         changeTime(st) != modified_)) {
        fail(kChanged);
        return;
    }
    if (!xlsx_) return;
    if (auto refused = beginXlsxPass(*xlsx_)) fail(std::move(*refused));
}

bool SheetReader::next(std::vector<SheetCell>& cells) {
    try {
        return nextRow(cells);
    } catch (const std::exception&) {
        cells.clear();
        fail(kDamaged);
        return false;
    }
}

bool SheetReader::next(std::vector<std::string_view>& cells) {
    if (cells.data() == handed_ && cells.size() == handedSize_) {
        for (std::size_t c : filled_) cells[c] = {};
    } else {
        cells.clear();
    }
    filled_.clear();
    handed_ = nullptr;
    if (!next(sparse_)) {
        cells.clear();
        return false;
    }
    if (!sparse_.empty() && sparse_.back().column >= cells.size())
        cells.resize(sparse_.back().column + 1);
    for (const SheetCell& cell : sparse_) {
        cells[cell.column] = cell.text;
        filled_.push_back(cell.column);
    }
    handed_ = cells.data();
    handedSize_ = cells.size();
    return true;
}

bool SheetReader::nextRow(std::vector<SheetCell>& cells) {
    cells.clear();
    if (!refusal_.empty() || cancelled_) return false;
    if (!xlsx_) {
        // An .xls row holds its empty cells: only the filled ones are handed out.
        while (row_ < table_.rows.size()) {
            const auto& row = table_.rows[row_++];
            for (std::size_t c = 0; c < row.size(); ++c)
                if (!row[c].empty()) cells.push_back({c, row[c]});
            if (!cells.empty()) return true;
        }
        return false;
    }
    std::string refusal;
    switch (nextXlsxRow(*xlsx_, cells, refusal)) {
        case RowStep::Row:
            return true;
        case RowStep::Failed:
            fail(std::move(refusal));
            break;
        case RowStep::End:
            break;
    }
    return false;
}

const SheetCounts& SheetReader::counts() const {
    if (xlsx_) return xlsxCounts(*xlsx_);
    return table_;
}

bool SheetReader::check() {
    restart();
    firstRow_.clear();
    width_ = 0;
    std::vector<SheetCell> cells;
    bool first = true;
    while (next(cells)) {
        if (first) firstRow_ = denseRow(cells);
        first = false;
        if (!cells.empty()) width_ = std::max(width_, cells.back().column + 1);
    }
    return refusal_.empty() && !cancelled_;
}

WorkbookRead readWorkbook(const std::string& path, std::string_view sheet, ReadProgress* progress) {
    WorkbookRead read;
    const auto reader = SheetReader::open(path, sheet, progress, read);
    if (!reader) return read;
    std::vector<SheetCell> cells;
    while (reader->next(cells)) read.table.rows.push_back(denseRow(cells));
    read.refusal = reader->refusal();
    if (!read.refusal.empty() || reader->cancelled()) {
        read.table = SheetTable{};
        return read;
    }
    static_cast<SheetCounts&>(read.table) = reader->counts();
    return read;
}

std::vector<std::string> workbookSheets(const std::string& path, std::string& refusal) {
    WorkbookRead read;
    try {
        switch (workbookOf(path, read)) {
            case WorkbookKind::Xlsx:
                openXlsx(path, {}, nullptr, true, read);
                break;
            case WorkbookKind::Xls:
                readXls(path, {}, true, read);
                break;
            case WorkbookKind::None:
                break;
        }
    } catch (const std::exception&) {
        read = WorkbookRead{};
        read.refusal = kDamaged;
    }
    refusal = read.refusal;
    return read.sheets;
}

std::vector<std::string> sheetNotes(const SheetCounts& counts) {
    std::vector<std::string> notes;
    if (counts.dates > 0) {
        notes.push_back("シートの日付・時刻のセル" + std::to_string(counts.dates) +
                        "個は通し番号（シリアル値）の数値として読みました。");
    }
    if (counts.errors > 0) {
        notes.push_back("シートのエラーのセル" + std::to_string(counts.errors) +
                        "個（#N/A、#DIV/0! など）は値として読んでいません。");
    }
    if (counts.formulasWithoutValue > 0) {
        notes.push_back("シートの計算結果が保存されていない数式" +
                        std::to_string(counts.formulasWithoutValue) +
                        "個は値として読んでいません（表計算ソフトで開いて保存し直すと読めます）。");
    }
    return notes;
}

}  // namespace kijunchi
