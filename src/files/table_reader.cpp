#include "files/table_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "analysis/number_text.h"
#include "files/data_file.h"
#include "files/file_access.h"
#include "files/workbook.h"

namespace kijunchi {

namespace {

constexpr std::size_t kBlock = std::size_t{1} << 20;
constexpr int kPasses = 3;  // bytes, lines and records while inspecting; the view's rows after

std::int64_t changeTime(const struct stat& st) {
    return static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

// A run of bytes without a line end longer than a line may be, in a text that is not UTF-16.
bool overlongRun(std::string_view bytes, std::size_t& run) {
    for (char c : bytes) {
        if (c == '\n' || c == '\r') {
            run = 0;
        } else if (++run > kMaxLineBytes) {
            return true;
        }
    }
    return false;
}

// "12,5" or "-0,25": digits, one comma, digits.
bool looksLikeCommaDecimal(std::string_view field) {
    if (!field.empty() && (field.front() == '-' || field.front() == '+')) field.remove_prefix(1);
    const std::size_t comma = field.find(',');
    if (comma == 0 || comma == std::string_view::npos || comma + 1 >= field.size()) return false;
    for (std::size_t i = 0; i < field.size(); ++i)
        if (i != comma && (field[i] < '0' || field[i] > '9')) return false;
    return true;
}

}  // namespace

TableReader::TableReader() = default;

TableReader::TableReader(TableReader&& other) noexcept {
    *this = std::move(other);
}

TableReader& TableReader::operator=(TableReader&& other) noexcept {
    if (this == &other) return *this;
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
    memory_ = std::move(other.memory_);
    memoryPos_ = other.memoryPos_;
    size_ = other.size_;
    modified_ = other.modified_;
    pass_ = other.pass_;
    progress_ = other.progress_;
    forcedHeadings_ = other.forcedHeadings_;
    encoding_ = other.encoding_;
    layout_ = other.layout_;
    hasHeadings_ = other.hasHeadings_;
    headingsToTell_ = other.headingsToTell_;
    headings_ = std::move(other.headings_);
    givenHeadings_ = std::move(other.givenHeadings_);
    problem_ = other.problem_;
    sheet_ = std::move(other.sheet_);
    restart();
    return *this;
}

TableReader::~TableReader() {
    if (fd_ >= 0) ::close(fd_);
}

std::optional<TableReader> TableReader::open(const std::string& path, const TableOptions& options,
                                             FileProblem& problem) {
    TableReader t;
    t.progress_ = options.progress;
    t.forcedHeadings_ = options.headings;
    if (options.sheet && workbookFileKind(path) != WorkbookKind::None) {
        std::string refusal;
        problem = t.openSheet(path, options, refusal);
        if (problem != FileProblem::None) return std::nullopt;
        return t;
    }
    problem = t.openPath(path, options.regularOnly);
    if (problem == FileProblem::Special && !options.regularOnly) problem = FileProblem::None;
    if (problem == FileProblem::None && t.fd_ >= 0 && t.size_ == 0) {
        // A pipe, a device or a file without a size: read once, into memory.
        std::string bytes = std::move(t.pipeHead_);
        std::size_t run = 0;
        bool utf16 = false, told = false;
        for (;;) {
            const std::size_t before = bytes.size();
            bytes.resize(before + kBlock);
            ssize_t got;
            do {
                got = ::read(t.fd_, bytes.data() + before, kBlock);
            } while (got < 0 && errno == EINTR);
            if (got < 0) {
                problem = FileProblem::Unreadable;
                break;
            }
            bytes.resize(before + static_cast<std::size_t>(got));
            if (got == 0) break;
            const std::string_view fresh(bytes.data() + before, static_cast<std::size_t>(got));
            if (!told && bytes.size() >= 2) {
                told = true;
                const std::string_view mark = std::string_view(bytes).substr(0, 2);
                utf16 = mark == "\xFF\xFE" || mark == "\xFE\xFF";
            }
            // What would refuse the whole file refuses it now, not after 256 MB.
            if (bytes.size() > kMaxDataFileBytes) problem = FileProblem::TooLarge;
            if (!utf16 && fresh.find('\0') != std::string_view::npos) problem = FileProblem::Binary;
            if (problem == FileProblem::None && !utf16 && overlongRun(fresh, run))
                problem = FileProblem::LineTooLong;
            if (problem != FileProblem::None) break;
            if (t.progress_ && t.progress_->cancel) {
                problem = FileProblem::Cancelled;
                break;
            }
        }
        ::close(std::exchange(t.fd_, -1));
        if (problem == FileProblem::None) problem = t.takeBytes(std::move(bytes));
    }
    if (problem == FileProblem::None) problem = t.inspect();
    if (problem != FileProblem::None) return std::nullopt;
    t.restart();
    return t;
}

std::optional<TableReader> TableReader::open(const std::string& path, std::string& problem,
                                             std::string_view sheet) {
    TableOptions options;
    options.sheet = std::string(sheet);
    if (workbookFileKind(path) != WorkbookKind::None) {
        TableReader t;
        std::string refusal;
        if (const FileProblem p = t.openSheet(path, options, refusal); p != FileProblem::None) {
            problem = refusal.empty() ? fileProblemMessage(p, path)
                                      : "ファイル「" + path + "」" + refusal;
            return std::nullopt;
        }
        return t;
    }
    FileProblem p = FileProblem::None;
    auto t = open(path, options, p);
    if (!t) problem = fileProblemMessage(p, path);
    return t;
}

// A workbook's sheet, read through once: its first row as headings as the data say (or as
// told), as many columns as its longest row.
FileProblem TableReader::openSheet(const std::string& path, const TableOptions& options,
                                   std::string& refusal) {
    WorkbookRead listed;
    sheet_ = SheetReader::open(path, options.sheet.value_or(""), options.progress, listed);
    if (sheet_ && !sheet_->check()) listed.refusal = sheet_->refusal();
    if ((options.progress && options.progress->cancel) || (sheet_ && sheet_->cancelled())) {
        sheet_.reset();
        return FileProblem::Cancelled;
    }
    if (!sheet_ || !listed.refusal.empty()) {
        sheet_.reset();
        refusal = listed.refusal;
        return FileProblem::Spreadsheet;
    }
    const auto& first = sheet_->firstRow();
    if (options.headings) {
        hasHeadings_ = *options.headings && !first.empty();
    } else if (!first.empty()) {
        hasHeadings_ =
            isHeadingRow(std::vector<std::string_view>(first.begin(), first.end()), false);
    }
    if (hasHeadings_) headings_ = first;
    if (headings_.size() < sheet_->width()) headings_.resize(sheet_->width());
    nameColumns();
    layout_.separator = '\t';
    restart();
    return FileProblem::None;
}

std::optional<TableReader> TableReader::fromBytes(std::string bytes, const TableOptions& options,
                                                  FileProblem& problem) {
    TableReader t;
    t.progress_ = options.progress;
    t.forcedHeadings_ = options.headings;
    problem = t.takeBytes(std::move(bytes));
    if (problem == FileProblem::None) problem = t.inspect();
    if (problem != FileProblem::None) return std::nullopt;
    t.restart();
    return t;
}

// Opened without blocking (a FIFO without a writer would hold open() for ever), then looked
// at: a folder, a special file, a file.
FileProblem TableReader::openPath(const std::string& path, bool regularOnly) {
    std::uint64_t ignored = 0;
    if (FileProblem p = checkPath(path, ignored); p != FileProblem::None) return p;
    do {
        fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    } while (fd_ < 0 && errno == EINTR);
    if (fd_ < 0) return errno == ENOENT ? FileProblem::Missing : FileProblem::Unreadable;
    struct stat st {};
    if (::fstat(fd_, &st) != 0) return FileProblem::Unreadable;
    if (S_ISDIR(st.st_mode)) return FileProblem::Folder;
    // A pipe, socket or device: refused where only a file will do; else read once, a named
    // pipe once its writer is there. Reads wait for data from here on.
    if (!S_ISREG(st.st_mode) && regularOnly) return FileProblem::Special;
    if (!awaitPipeWriter(fd_, pipeHead_)) return FileProblem::Pipe;
    if (!S_ISREG(st.st_mode)) return FileProblem::Special;
    size_ = static_cast<std::uint64_t>(st.st_size);
    modified_ = changeTime(st);
    if (size_ > kMaxDataFileBytes) return FileProblem::TooLarge;
    return FileProblem::None;
}

FileProblem TableReader::takeBytes(std::string bytes) {
    if (bytes.size() > kMaxDataFileBytes) return FileProblem::TooLarge;
    memory_ = std::move(bytes);
    size_ = memory_.size();
    return FileProblem::None;
}

void TableReader::fail(FileProblem problem) {
    if (problem_ == FileProblem::None) problem_ = problem;
    end_ = true;
    lines_ = LineReader();
    complete_ = 0;
    text_.clear();
}

// A block of the file; bytes in memory need no more than they are (and one to see the end).
std::size_t TableReader::blockSize() const {
    return fd_ >= 0 ? kBlock : std::min(kBlock, memory_.size() + 1);
}

std::size_t TableReader::readSource(char* buffer, std::size_t size) {
    if (fd_ < 0) {
        const std::size_t n = std::min(size, memory_.size() - memoryPos_);
        memory_.copy(buffer, n, memoryPos_);
        memoryPos_ += n;
        return n;
    }
    std::size_t total = 0;
    while (total < size) {
        const ssize_t got = ::read(fd_, buffer + total, size - total);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            fail(FileProblem::Unreadable);
            return total;
        }
        if (got == 0) break;
        total += static_cast<std::size_t>(got);
    }
    return total;
}

// Three passes: the bytes for the encoding, the lines for the separator (and for bytes that do
// not decode or are no text), the records for the decimal mark, the headings and the count of
// columns.
FileProblem TableReader::inspect() {
    if (progress_) progress_->total = std::max<std::uint64_t>(size_, 1) * (kPasses + 1);
    std::string head;
    EncodingScan scan;
    restart();
    const std::size_t block = blockSize();
    block_.resize(block);
    for (;;) {
        const std::size_t got = readSource(block_.data(), block);
        if (problem_ != FileProblem::None) return problem_;
        if (passBytes_ == 0) head.assign(block_.data(), std::min<std::size_t>(got, 8));
        passBytes_ += got;
        if (passBytes_ > kMaxDataFileBytes) return FileProblem::TooLarge;
        scan.feed(std::string_view(block_.data(), got));
        if (progress_) {
            if (progress_->cancel) return FileProblem::Cancelled;
            progress_->done = passBytes_;
        }
        if (got < block) break;
    }
    if (fd_ >= 0 && passBytes_ != size_) return FileProblem::Changed;
    if (FileProblem p = checkBytes(head, passBytes_); p != FileProblem::None) return p;
    if (FileProblem p = chooseEncoding(head, scan, encoding_); p != FileProblem::None) return p;

    std::vector<std::string> sample;
    std::string_view line;
    pass_ = 1;
    restart();
    checkText_ = true;
    while (sample.size() < kSampleLines && nextLine(line))
        if (!isBlank(line)) sample.emplace_back(line);
    while (!end_) readBlock();  // the rest is only looked at
    checkText_ = false;
    if (problem_ != FileProblem::None) return problem_;
    if (undecodable_) return FileProblem::Encoding;
    if (controlBytes_) return FileProblem::Binary;
    if (sample.empty()) return FileProblem::Empty;
    layout_.separator =
        detectLayout(std::vector<std::string_view>(sample.begin(), sample.end())).separator;

    // The decimal mark from every field of the file, the count of columns from its longest
    // row, the first rows for the headings.
    pass_ = 2;
    restart();
    headingLeft_ = false;
    std::vector<std::vector<std::string>> first;
    std::size_t columns = 0;
    std::vector<std::string_view> fields;
    while (nextRow(fields)) {
        if (first.size() < kSampleLines) first.emplace_back(fields.begin(), fields.end());
        columns = std::max(columns, fields.size());
        if (layout_.separator == ';' && !layout_.decimalComma)
            layout_.decimalComma = std::any_of(fields.begin(), fields.end(), looksLikeCommaDecimal);
        if (layout_.separator == 0 && first.size() >= kSampleLines) break;
    }
    if (problem_ != FileProblem::None) return problem_;
    if (first.empty()) return FileProblem::Empty;

    const std::vector<std::string_view> top(first.front().begin(), first.front().end());
    if (forcedHeadings_) {
        hasHeadings_ = *forcedHeadings_;
    } else if (isHeadingRow(top, layout_.decimalComma)) {
        hasHeadings_ = true;
        headingsToTell_ = std::any_of(top.begin(), top.end(),
                                      [](std::string_view f) { return hasLeadingNumber(f); });
    } else {
        const std::vector<std::vector<std::string>> rest(first.begin() + 1, first.end());
        hasHeadings_ = headingsToTell_ = isNumericHeadingRow(top, rest, layout_.decimalComma);
    }
    if (hasHeadings_) headings_ = first.front();
    headings_.resize(std::max(columns, headings_.size()));
    nameColumns();
    pass_ = kPasses;
    return FileProblem::None;
}

void TableReader::nameColumns() {
    givenHeadings_.assign(headings_.size(), false);
    for (std::size_t c = 0; c < headings_.size(); ++c) {
        givenHeadings_[c] = !headings_[c].empty();
        if (headings_[c].empty()) headings_[c] = numberedHeading(c);
    }
}

void TableReader::restart() {
    if (sheet_) {
        sheet_->restart();
        problem_ = FileProblem::None;
        headingLeft_ = hasHeadings_;
        return;
    }
    if (fd_ >= 0) ::lseek(fd_, 0, SEEK_SET);
    memoryPos_ = 0;
    passBytes_ = 0;
    decoder_.emplace(encoding_);
    text_.clear();
    complete_ = 0;
    lines_ = LineReader();
    line_ = 0;
    recordLine_ = 0;
    end_ = false;
    undecodable_ = false;
    problem_ = FileProblem::None;
    headingLeft_ = hasHeadings_;
}

// Reads the next block and decodes it; the lines that are whole by then are handed out.
void TableReader::readBlock() {
    // The lines handed out ended in a CR: an LF that begins the next block ends the same line.
    const bool endedInCr = complete_ > 0 && complete_ == text_.size() && text_.back() == '\r';
    text_.erase(0, complete_);
    const std::size_t block = blockSize();
    block_.resize(block);
    std::size_t got = readSource(block_.data(), block);
    if (problem_ != FileProblem::None) return;
    std::size_t skip = 0;
    if (passBytes_ == 0) skip = std::min(got, textStart(encoding_));
    passBytes_ += got;
    end_ = got < block;
    if (progress_) {
        if (progress_->cancel) {
            fail(FileProblem::Cancelled);
            return;
        }
        progress_->done = static_cast<std::uint64_t>(std::min(pass_, kPasses)) * size_ +
                          std::min(passBytes_, size_);
    }
    if (end_ && fd_ >= 0) {
        // The same bytes as when the file was opened, or it changed under the reading.
        struct stat st {};
        if (passBytes_ != size_ || ::fstat(fd_, &st) != 0 ||
            static_cast<std::uint64_t>(st.st_size) != size_ || changeTime(st) != modified_) {
            fail(FileProblem::Changed);
            return;
        }
    }
    const std::size_t decodedFrom = text_.size();
    if (!decoder_->decode(std::string_view(block_.data() + skip, got - skip), text_)) {
        undecodable_ = true;
        end_ = true;
    }
    if (end_ && !decoder_->complete()) undecodable_ = true;
    if (endedInCr && decodedFrom == 0 && !text_.empty() && text_.front() == '\n') text_.erase(0, 1);
    if (checkText_ && hasControlBytes(std::string_view(text_).substr(decodedFrom)))
        controlBytes_ = true;
    // Up to the last line end.
    complete_ = text_.size();
    if (!end_) {
        const std::size_t lastEnd = text_.find_last_of("\r\n");
        complete_ = lastEnd == std::string::npos ? 0 : lastEnd + 1;
    }
    if (text_.size() - complete_ > kMaxLineBytes) {
        fail(FileProblem::LineTooLong);
        return;
    }
    lines_ = LineReader(std::string_view(text_).substr(0, complete_));
}

bool TableReader::joinQuotedRecord(std::string_view& record) {
    std::string_view line = record;
    if (!quoteOpenAtEnd(line, layout_.separator, false)) return true;
    record_.assign(line);
    bool open = true;
    while (open && nextLine(line)) {
        record_ += '\n';
        record_ += line;
        if (record_.size() > kMaxLineBytes) {
            fail(FileProblem::LineTooLong);
            return false;
        }
        open = quoteOpenAtEnd(line, layout_.separator, true);
    }
    if (problem_ != FileProblem::None) return false;
    record = record_;
    return true;
}

// A workbook's sheet gives its rows as cells already split. It was read through when opened:
// a pass that fails later met a file that changed.
bool TableReader::nextSheetRow(std::vector<std::string_view>& fields) {
    while (sheet_->next(fields)) {
        if (headingLeft_) {
            headingLeft_ = false;
            continue;
        }
        return true;
    }
    if (sheet_->cancelled()) {
        problem_ = FileProblem::Cancelled;
    } else if (!sheet_->refusal().empty()) {
        problem_ = FileProblem::Changed;
    }
    fields.clear();
    return false;
}

const std::vector<std::size_t>* TableReader::filledColumns() const {
    return sheet_ ? &sheet_->filled() : nullptr;
}

std::string TableReader::text(std::string_view field) const {
    return std::string(trimField(field));
}

std::optional<std::size_t> TableReader::findColumn(std::string_view nameOrNumber) const {
    return kijunchi::findColumn(headings_, nameOrNumber);
}

}  // namespace kijunchi
