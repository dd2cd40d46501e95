#include "indirect/extract.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>

#include "files/data_file.h"
#include "files/table_file.h"
#include "files/table_text.h"

namespace kijunchi {

namespace {

constexpr std::size_t kBlock = std::size_t{1} << 20;
// The first bytes of a file, judged for its encoding and separator.
constexpr std::size_t kHead = std::size_t{1} << 22;
// A gzip file may hold up to this many times its own size (and 64 MB in any case): more is a
// bomb, not an extract (extracts of results compress 3 to 10 times).
constexpr std::uint64_t kMaxGzipRatio = 16;
constexpr std::uint64_t kGzipAllowance = std::uint64_t{64} << 20;

bool startsWith(std::string_view s, std::string_view p) {
    return s.substr(0, p.size()) == p;
}
bool endsWith(std::string_view s, std::string_view p) {
    return s.size() >= p.size() && s.substr(s.size() - p.size()) == p;
}

std::string numberText(double v) {
    char buffer[32];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, v);
    return std::string(buffer, r.ptr);
}

// The bytes of one file, standard input or a pipe, read once from start to end, and inflated
// when they are gzip's. The first bytes are read ahead (head()) and handed out again.
class ByteSource {
public:
    ByteSource() = default;
    ByteSource(const ByteSource&) = delete;
    ByteSource& operator=(const ByteSource&) = delete;
    ~ByteSource() {
        if (inflating_) inflateEnd(&z_);
        if (fd_ > 0) ::close(fd_);
    }

    // The name the user knows the source by, for messages.
    const std::string& name() const { return name_; }
    std::uint64_t size() const { return size_; }
    // The bytes taken from the file, standard input or pipe so far (before inflating).
    std::uint64_t rawBytes() const { return raw_; }

    // Opens path ("-": standard input); a message when it cannot be read.
    std::string open(const std::string& path, int pipeWait) {
        name_ = path == "-" ? std::string("標準入力") : path;
        if (path == "-") {
            fd_ = 0;
        } else {
            std::uint64_t ignored = 0;
            if (FileProblem p = checkPath(path, ignored); p != FileProblem::None)
                return fileProblemMessage(p, path);
            // Without blocking: a named pipe without a writer would hold open() for ever.
            do {
                fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
            } while (fd_ < 0 && errno == EINTR);
            if (fd_ < 0) return fileProblemMessage(FileProblem::Unreadable, path);
            struct stat st {};
            if (::fstat(fd_, &st) != 0) return fileProblemMessage(FileProblem::Unreadable, path);
            if (S_ISDIR(st.st_mode)) return fileProblemMessage(FileProblem::Folder, path);
            if (S_ISREG(st.st_mode)) size_ = static_cast<std::uint64_t>(st.st_size);
            if (S_ISFIFO(st.st_mode)) {
                // A writer that has written, or has come and gone: then it is read once.
                pollfd p{fd_, POLLIN, 0};
                int ready;
                do {
                    ready = ::poll(&p, 1, pipeWait);
                } while (ready < 0 && errno == EINTR);
                if (ready == 0)
                    return "「" + path + "」は名前付きパイプで、" + numberText(pipeWait / 1000.0) +
                           "秒待っても書き込みがありません。";
            }
            const int flags = ::fcntl(fd_, F_GETFL);
            if (flags >= 0) ::fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK);
        }
        // The head: up to kHead bytes (or the first member of a gzip file inflated so far).
        std::string raw(kBlock, '\0');
        const std::size_t got = readRaw(raw.data(), raw.size());
        if (!error_.empty()) return error_;
        raw.resize(got);
        if (startsWith(raw, "\x1F\x8B")) {
            if (inflateInit2(&z_, 15 + 32) != Z_OK) return name_ + ": gzipを展開できません。";
            inflating_ = true;
            pendingRaw_ = std::move(raw);
        } else {
            head_ = std::move(raw);
        }
        while (head_.size() < kHead && !end_) {
            const std::size_t before = head_.size();
            head_.resize(before + kBlock);
            const std::size_t n = fill(head_.data() + before, kBlock);
            head_.resize(before + n);
            if (!error_.empty()) return error_;
        }
        return {};
    }

    const std::string& head() const { return head_; }
    void skipHead(std::size_t n) { headPos_ = std::min(n, head_.size()); }

    // Up to size bytes; 0 at the end or on a failure (error()).
    std::size_t read(char* buffer, std::size_t size) {
        if (headPos_ < head_.size()) {
            const std::size_t n = std::min(size, head_.size() - headPos_);
            std::memcpy(buffer, head_.data() + headPos_, n);
            headPos_ += n;
            if (headPos_ == head_.size()) std::string().swap(head_), headPos_ = 0;
            return n;
        }
        return fill(buffer, size);
    }
    const std::string& error() const { return error_; }

private:
    std::size_t readRaw(char* buffer, std::size_t size) {
        std::size_t total = 0;
        while (total < size) {
            const ssize_t got = ::read(fd_, buffer + total, size - total);
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) {
                error_ = fileProblemMessage(FileProblem::Unreadable, name_);
                break;
            }
            if (got == 0) break;
            total += static_cast<std::size_t>(got);
        }
        raw_ += total;
        return total;
    }

    // The next bytes after the head, inflated where they are gzip's.
    std::size_t fill(char* buffer, std::size_t size) {
        if (end_ || !error_.empty()) return 0;
        if (!inflating_) {
            const std::size_t n = readRaw(buffer, size);
            if (n < size) end_ = true;
            return n;
        }
        z_.next_out = reinterpret_cast<Bytef*>(buffer);
        z_.avail_out = static_cast<uInt>(size);
        while (z_.avail_out > 0) {
            if (z_.avail_in == 0) {
                if (pendingRaw_.empty() && !rawEnd_) {
                    pendingRaw_.resize(kBlock);
                    pendingRaw_.resize(readRaw(pendingRaw_.data(), kBlock));
                    if (!error_.empty()) return 0;
                    if (pendingRaw_.empty()) rawEnd_ = true;
                }
                z_.next_in = reinterpret_cast<Bytef*>(pendingRaw_.data());
                z_.avail_in = static_cast<uInt>(pendingRaw_.size());
                pendingRaw_used_ = true;
            }
            if (z_.avail_in == 0 && rawEnd_) {
                if (!memberEnded_) error_ = name_ + ": gzipのデータが途中で終わっています。";
                end_ = true;
                break;
            }
            const int r = inflate(&z_, Z_NO_FLUSH);
            if (z_.avail_in == 0 && pendingRaw_used_) {
                pendingRaw_.clear();
                pendingRaw_used_ = false;
            }
            memberEnded_ = r == Z_STREAM_END;
            if (r == Z_STREAM_END) {
                // Another member may follow (files joined by cat).
                inflateReset(&z_);
                continue;
            }
            if (r != Z_OK && r != Z_BUF_ERROR) {
                error_ = name_ + ": gzipのデータが壊れています。";
                return 0;
            }
        }
        const std::size_t n = size - z_.avail_out;
        inflated_ += n;
        if (inflated_ > kGzipAllowance && inflated_ > kMaxGzipRatio * raw_) {
            error_ = name_ + ": gzipの展開後が元の" + std::to_string(kMaxGzipRatio) +
                     "倍を超えます（圧縮爆弾として読みません）。";
            return 0;
        }
        return n;
    }

    std::string name_;
    int fd_ = -1;
    std::uint64_t size_ = 0, raw_ = 0, inflated_ = 0;
    std::string head_;
    std::size_t headPos_ = 0;
    bool end_ = false;
    std::string error_;
    // gzip
    bool inflating_ = false, rawEnd_ = false, memberEnded_ = false, pendingRaw_used_ = false;
    z_stream z_{};
    std::string pendingRaw_;
};

// The lines of a source, without their line ends (CR LF, LF, a lone CR), each byte looked at
// once: a block is searched from where the last search stopped, and only the unfinished line is
// kept from one block to the next. unit is 2 for UTF-16 (its line ends are code units).
class RawLines {
public:
    enum Status { Line, End, TooLong, Failed };

    RawLines(ByteSource& source, int unit, bool bigEndian)
        : source_(source), unit_(static_cast<std::size_t>(unit)), bigEndian_(bigEndian) {}

    Status next(std::string_view& line) {
        for (;;) {
            const char* d = buffer_.data();
            const std::size_t size = buffer_.size();
            if (skipLf_ && pos_ + unit_ <= size) {
                if (isEnd(d, pos_) == '\n') pos_ += unit_;
                scan_ = pos_;
                skipLf_ = false;
            }
            std::size_t i = scan_;
            char end = 0;
            if (!skipLf_) {
                if (unit_ == 1) {
                    while (i < size && d[i] != '\n' && d[i] != '\r') ++i;
                    if (i < size) end = d[i];
                } else {
                    while (i + 1 < size && (end = isEnd(d, i)) == 0) i += 2;
                }
            }
            if (end != 0) {
                line = std::string_view(d + pos_, i - pos_);
                i += unit_;
                if (end == '\r') {
                    if (i + unit_ <= size) {
                        if (isEnd(d, i) == '\n') i += unit_;
                    } else {
                        skipLf_ = true;  // the LF of a CR LF may come with the next block
                    }
                }
                pos_ = scan_ = i;
                if (line.size() > kMaxLineBytes * unit_) return TooLong;
                return Line;
            }
            scan_ = skipLf_ ? pos_ : i;
            if (scan_ - pos_ > kMaxLineBytes * unit_) return TooLong;
            if (end_) {
                if (!source_.error().empty()) return Failed;
                if (pos_ >= size) return End;
                line = std::string_view(d + pos_, size - pos_);
                pos_ = scan_ = size;
                return Line;
            }
            buffer_.erase(0, pos_);
            scan_ -= pos_;
            pos_ = 0;
            const std::size_t before = buffer_.size();
            buffer_.resize(before + kBlock);
            const std::size_t got = source_.read(buffer_.data() + before, kBlock);
            buffer_.resize(before + got);
            if (got == 0) end_ = true;
        }
    }

private:
    // The line end at i ('\n', '\r') or 0.
    char isEnd(const char* d, std::size_t i) const {
        if (unit_ == 1) return d[i] == '\n' || d[i] == '\r' ? d[i] : 0;
        const char low = bigEndian_ ? d[i + 1] : d[i];
        const char high = bigEndian_ ? d[i] : d[i + 1];
        return high == 0 && (low == '\n' || low == '\r') ? low : 0;
    }

    ByteSource& source_;
    std::size_t unit_;
    bool bigEndian_;
    std::string buffer_;
    std::size_t pos_ = 0, scan_ = 0;
    bool end_ = false, skipLf_ = false;
};

// Whether text is UTF-8 throughout (ASCII passed over eight bytes at a time).
bool validUtf8(std::string_view text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    while (p < end) {
        if (end - p >= 8) {
            std::uint64_t word;
            std::memcpy(&word, p, 8);
            if ((word & 0x8080808080808080ull) == 0) {
                p += 8;
                continue;
            }
        }
        const unsigned char c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        std::size_t n;
        unsigned char low = 0x80, high = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) {
            n = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            n = 2;
            if (c == 0xE0) low = 0xA0;
            if (c == 0xED) high = 0x9F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            n = 3;
            if (c == 0xF0) low = 0x90;
            if (c == 0xF4) high = 0x8F;
        } else {
            return false;
        }
        if (end - p <= static_cast<std::ptrdiff_t>(n)) return false;
        if (p[1] < low || p[1] > high) return false;
        for (std::size_t k = 2; k <= n; ++k)
            if (p[k] < 0x80 || p[k] > 0xBF) return false;
        p += n + 1;
    }
    return true;
}

// One file of the extract, read once from start to end. It is judged (gzip, byte order mark,
// encoding, separator, headings) from its first bytes; each line after is decoded on its own,
// so that one with bytes that are not text in that encoding is counted and passed over. A
// workbook's sheet is read through once when opened (whatever refuses it does so then), then
// row by row.
class ExtractFile {
public:
    std::string open(const std::string& path, std::string_view sheet, ReadProgress* progress,
                     int pipeWait) {
        path_ = path;
        if (path != "-" && workbookFileKind(path) != WorkbookKind::None) {
            std::uint64_t size = 0;
            if (FileProblem p = checkPath(path, size); p != FileProblem::None)
                return fileProblemMessage(p, path);
            size_ = size;
            return openWorkbook(sheet, progress);
        }
        if (auto problem = source_.open(path, pipeWait); !problem.empty()) return problem;
        size_ = source_.size();
        const std::string& head = source_.head();
        const std::string_view first = std::string_view(head).substr(0, 8);
        FileProblem p = checkBytes(first, head.empty() ? 0 : 1);
        if (p == FileProblem::Spreadsheet && path == "-")
            return "標準入力のデータはブックです。ブックはファイル名で指定して下さい。";
        if (p == FileProblem::None) {
            // Up to the last line end when the head is cut, so that no character is cut.
            std::size_t end = head.size();
            if (head.size() >= kHead) {
                const std::size_t last = head.find_last_of("\r\n");
                end = last == std::string::npos ? head.size() : last + 1;
            }
            EncodingScan scan;
            scan.feed(std::string_view(head).substr(0, end));
            p = chooseEncoding(first, scan, encoding_);
        }
        if (p != FileProblem::None) return fileProblemMessage(p, source_.name());
        const bool utf16 = encoding_ == TextEncoding::Utf16;
        if (utf16) bom_ = head.substr(0, 2);
        const std::size_t headSize = head.size();
        source_.skipHead(utf16 ? 2 : textStart(encoding_));
        lines_.emplace(source_, utf16 ? 2 : 1, startsWith(bom_, "\xFE\xFF"));
        newDecoder();

        // The separator from the first lines that are not blank, within the head; the lines
        // are kept to be handed out again.
        std::vector<std::string> sample;
        std::size_t looked = 0;
        while (sample.size() < kSampleLines && looked < headSize) {
            std::string_view raw;
            const auto status = lines_->next(raw);
            if (status != RawLines::Line) {
                endStatus_ = status;
                break;
            }
            looked += raw.size() + 1;
            std::optional<std::string> text;
            std::string decoded;
            if (decode(raw, decoded)) {
                if (!isBlank(decoded) && sample.size() < kSampleLines) sample.push_back(decoded);
                text = std::move(decoded);
            }
            replay_.push_back(std::move(text));
        }
        if (endStatus_ == RawLines::TooLong)
            return fileProblemMessage(FileProblem::LineTooLong, source_.name());
        if (endStatus_ == RawLines::Failed) return source_.error();
        if (sample.empty()) {
            if (endStatus_ == RawLines::End)
                return fileProblemMessage(FileProblem::Empty, source_.name());
            sample.emplace_back();  // blank lines only, so far
        }
        layout_ = detectLayout(std::vector<std::string_view>(sample.begin(), sample.end()));
        std::vector<std::string_view> fields;
        if (nextRow(fields) && isHeadingRow(fields, layout_.decimalComma)) {
            headings_.assign(fields.begin(), fields.end());
        } else if (!fields.empty()) {
            firstRow_.assign(fields.begin(), fields.end());
            firstRowAgain_ = true;
        }
        return problem_;
    }

    bool decimalComma() const { return layout_.decimalComma; }
    bool workbook() const { return sheet_ != nullptr; }
    std::uint64_t size() const { return size_; }
    // The bytes of the file read so far.
    std::uint64_t bytesRead() const { return sheet_ ? size_ : source_.rawBytes(); }
    const std::string& path() const { return path_; }
    // Lines left out for bytes that are not text.
    std::int64_t undecodable() const { return undecodable_; }
    // Why the reading ended early (a line too long, a failed read, a damaged gzip); empty
    // after the whole file.
    const std::string& problem() const { return problem_; }
    // A workbook's sheet that was read through when opened but not on the pass that used it.
    bool sheetFailed() const { return sheet_ && !sheet_->refusal().empty(); }

    std::optional<std::size_t> findColumn(std::string_view name) const {
        std::vector<std::string> h = headings_;
        if (h.empty()) h.push_back(numberedHeading(0));
        return kijunchi::findColumn(h, name);
    }
    std::string headingList() const {
        std::string out;
        for (const auto& h : headings_) out += (out.empty() ? "" : ", ") + h;
        return out.empty() ? "（見出しなし: 列の番号で指定して下さい）" : out;
    }

    bool nextRow(std::vector<std::string_view>& fields) {
        if (sheet_) return sheet_->next(fields);
        if (firstRowAgain_) {
            firstRowAgain_ = false;
            fields.assign(firstRow_.begin(), firstRow_.end());
            return true;
        }
        std::string* line = nullptr;
        while (nextText(line)) {
            std::string_view record = *line;
            if (holdsQuote(record) && quoteOpenAtEnd(record, layout_.separator, false)) {
                // A quoted field holds line ends: the record goes on in the next lines.
                if (line != &record_) record_.assign(record);
                bool open = true, lost = false;
                std::string* more = nullptr;
                while (open && nextText(more, &lost)) {
                    record_ += '\n';
                    record_ += *more;
                    if (record_.size() > kMaxLineBytes) {
                        problem_ = fileProblemMessage(FileProblem::LineTooLong, source_.name());
                        return false;
                    }
                    open = quoteOpenAtEnd(*more, layout_.separator, true);
                }
                if (!problem_.empty()) return false;
                if (lost) {
                    ++undecodable_;  // a line of the record was no text: the record goes
                    continue;
                }
                record = record_;
            }
            if (!splitter_.split(record, layout_.separator)) continue;
            fields = splitter_.fields();
            return true;
        }
        return false;
    }

private:
    std::string openWorkbook(std::string_view sheet, ReadProgress* progress) {
        TableFileRead refused;
        WorkbookRead listed;
        sheet_ = SheetReader::open(path_, sheet, progress, listed);
        refused.refusal = listed.refusal;
        if (sheet_ && !sheet_->check()) refused.refusal = sheet_->refusal();
        if (!sheet_ || !refused.refusal.empty() || sheet_->cancelled()) {
            sheet_.reset();
            // Cancelled: the caller tells of it.
            if (refused.refusal.empty()) return "読み込みを中止しました。";
            return tableFileMessage(refused, path_);
        }
        if (sheet_->firstRow().empty()) return fileProblemMessage(FileProblem::Empty, path_);
        const auto& first = sheet_->firstRow();
        sheet_->restart();
        if (isHeadingRow(std::vector<std::string_view>(first.begin(), first.end()), false)) {
            headings_ = first;
            std::vector<std::string_view> fields;
            sheet_->next(fields);
        }
        return {};
    }

    void newDecoder() {
        decoder_.emplace(encoding_);
        // UTF-16 takes its byte order from the mark, given again to every new decoder.
        if (!bom_.empty()) {
            std::string ignored;
            decoder_->decode(bom_, ignored);
        }
    }

    // A line's bytes as UTF-8; false when they are not text in the file's encoding (or hold
    // control characters).
    bool decode(std::string_view raw, std::string& text) {
        text.clear();
        bool ok;
        if (encoding_ == TextEncoding::Utf8 || encoding_ == TextEncoding::Utf8WithBom) {
            ok = validUtf8(raw);
            if (ok) text.assign(raw);
        } else {
            ok = decoder_->decode(raw, text) && decoder_->complete();
            if (!ok) newDecoder();
        }
        return ok && !hasControlBytes(text);
    }

    // The next line as text; lines that are not text are counted (or, with lost, told of)
    // and passed over. false at the end or when the reading failed (problem_).
    bool nextText(std::string*& line, bool* lost = nullptr) {
        for (;;) {
            if (!replay_.empty()) {
                std::optional<std::string> front = std::move(replay_.front());
                replay_.pop_front();
                if (!front) {
                    if (lost)
                        *lost = true;
                    else
                        ++undecodable_;
                    continue;
                }
                text_ = std::move(*front);
                line = &text_;
                return true;
            }
            if (endStatus_ != RawLines::Line) {
                if (endStatus_ == RawLines::TooLong)
                    problem_ = fileProblemMessage(FileProblem::LineTooLong, source_.name());
                if (endStatus_ == RawLines::Failed) problem_ = source_.error();
                return false;
            }
            std::string_view raw;
            const auto status = lines_->next(raw);
            if (status != RawLines::Line) {
                endStatus_ = status;
                continue;
            }
            if (!decode(raw, text_)) {
                if (lost)
                    *lost = true;
                else
                    ++undecodable_;
                continue;
            }
            line = &text_;
            return true;
        }
    }

    std::string path_;
    ByteSource source_;
    std::optional<RawLines> lines_;
    RawLines::Status endStatus_ = RawLines::Line;
    std::deque<std::optional<std::string>> replay_;  // the lines looked at for the separator
    TextEncoding encoding_ = TextEncoding::Utf8;
    std::string bom_;
    std::optional<TextDecoder> decoder_;
    TableLayout layout_;
    std::vector<std::string> headings_;
    std::vector<std::string> firstRow_;
    bool firstRowAgain_ = false;
    std::string text_, record_;
    FieldSplitter splitter_;
    std::uint64_t size_ = 0;
    std::int64_t undecodable_ = 0;
    std::string problem_;
    std::unique_ptr<SheetReader> sheet_;
};

// A date cell of a workbook, read as its serial number (days from 1899-12-30, the time as the
// day's fraction), as dateKey gives a date; from 1900-03-01 on, where the serials are days.
std::optional<std::int64_t> serialDateKey(std::string_view field) {
    const FieldNumber n = readFieldNumber(trimField(field), false);
    const std::optional<double> v =
        n.kind == FieldNumber::Number ? std::optional<double>(n.value) : std::nullopt;
    if (!v || !(*v >= 61) || !(*v < 2958466)) return std::nullopt;
    auto days = static_cast<std::int64_t>(std::floor(*v));
    auto seconds =
        static_cast<std::int64_t>(std::llround((*v - static_cast<double>(days)) * 86400));
    if (seconds == 86400) {
        ++days;
        seconds = 0;
    }
    // The civil date of days from 1970-01-01 (proleptic Gregorian).
    const std::int64_t z = days - 25569 + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const std::int64_t d = doy - (153 * mp + 2) / 5 + 1;
    const std::int64_t m = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t y = yoe + era * 400 + (m <= 2);
    return ((((y * 100 + m) * 100 + d) * 100 + seconds / 3600) * 100 + seconds / 60 % 60) * 100 +
           seconds % 60;
}

// The patients seen so far, each by its ID, with (where their first result is chosen by date)
// the result that is first so far: a record in an arena of blocks, found through an open-
// addressing table of the records' places. A patient costs its ID and a few bytes more, so a
// file of millions of patients stays within a few times its size.
class Patients {
public:
    // With dates, each record holds the date, value, kind, partition and count of the result.
    explicit Patients(bool dated) : dated_(dated) {}

    // The record of id; found false when it was added now (with record's fields to be set).
    char* find(std::string_view id, bool& found) {
        if ((count_ + 1) * 10 > slots_.size() * 7) grow();
        const std::size_t mask = slots_.size() - 1;
        const std::size_t hash = std::hash<std::string_view>()(id);
        const std::uint64_t tag = tagOf(hash);
        std::size_t i = hash & mask;
        for (; slots_[i] != kFree; i = (i + 1) & mask) {
            if ((slots_[i] & kTagBits) != tag) continue;
            char* r = at(slots_[i]);
            if (idOf(r) == id) {
                found = true;
                return r + idBytes(r);
            }
        }
        found = false;
        slots_[i] = append(id) | tag;
        ++count_;
        char* r = at(slots_[i]);
        return r + idBytes(r);
    }
    static constexpr std::size_t kFields = 8 + 8 + 8 + 4;  // date, value, count, kind+partition

    template <class F>
    void forEach(F f) const {
        for (const auto& block : blocks_) {
            std::size_t pos = 0;
            while (pos < block.used) {
                const char* r = block.bytes.get() + pos;
                f(r + idBytes(r));
                pos += idBytes(r) + (dated_ ? kFields : 0);
            }
        }
    }

private:
    // A slot: the record's place (block number × 2^20 + offset, 40 bits) and 24 bits of the
    // ID's hash, so that most slots of other IDs are passed over without looking at the record.
    static constexpr std::uint64_t kFree = ~std::uint64_t{0};
    static constexpr std::uint64_t kTagBits = ~((std::uint64_t{1} << 40) - 1);
    static std::uint64_t tagOf(std::size_t hash) {
        return (static_cast<std::uint64_t>(hash) >> 40) << 40 & kTagBits;
    }
    static constexpr std::size_t kBlockBytes = std::size_t{1} << 20;
    struct Block {
        std::unique_ptr<char[]> bytes;
        std::size_t used = 0, size = 0;
    };

    // A record: the ID's length (4 bytes), the ID, then the fields.
    static std::size_t idBytes(const char* r) {
        std::uint32_t n;
        std::memcpy(&n, r, 4);
        return 4 + n;
    }
    static std::string_view idOf(const char* r) { return std::string_view(r + 4, idBytes(r) - 4); }
    char* at(std::uint64_t slot) {
        const std::uint64_t place = slot & ~kTagBits;
        return blocks_[place >> 20].bytes.get() + (place & 0xFFFFFu);
    }
    std::uint64_t append(std::string_view id) {
        const std::size_t need = 4 + id.size() + (dated_ ? kFields : 0);
        if (blocks_.empty() || blocks_.back().size - blocks_.back().used < need) {
            Block b;
            b.size = std::max(kBlockBytes, need);
            b.bytes = std::make_unique<char[]>(b.size);
            blocks_.push_back(std::move(b));
        }
        Block& b = blocks_.back();
        char* r = b.bytes.get() + b.used;
        const auto n = static_cast<std::uint32_t>(id.size());
        std::memcpy(r, &n, 4);
        std::memcpy(r + 4, id.data(), id.size());
        const std::uint64_t place = (std::uint64_t{blocks_.size() - 1} << 20) | b.used;
        b.used += need;
        return place;
    }
    void grow() {
        std::vector<std::uint64_t> old(std::max<std::size_t>(slots_.size() * 2, 1024), kFree);
        old.swap(slots_);
        const std::size_t mask = slots_.size() - 1;
        for (const std::uint64_t slot : old) {
            if (slot == kFree) continue;
            std::size_t i = std::hash<std::string_view>()(idOf(at(slot))) & mask;
            while (slots_[i] != kFree) i = (i + 1) & mask;
            slots_[i] = slot;
        }
    }

    bool dated_;
    std::vector<Block> blocks_;
    std::vector<std::uint64_t> slots_;
    std::size_t count_ = 0;
};

// The fields of a dated patient's record.
struct FirstResult {
    std::int64_t date = 0;
    ResultValue value;
    std::int64_t count = 1;
    std::uint32_t partition = 0;

    void store(char* to) const {
        const std::uint32_t meta = partition << 2 | static_cast<std::uint32_t>(value.kind);
        std::memcpy(to, &date, 8);
        std::memcpy(to + 8, &value.value, 8);
        std::memcpy(to + 16, &count, 8);
        std::memcpy(to + 24, &meta, 4);
    }
    static FirstResult load(const char* from) {
        FirstResult r;
        std::uint32_t meta;
        std::memcpy(&r.date, from, 8);
        std::memcpy(&r.value.value, from + 8, 8);
        std::memcpy(&r.count, from + 16, 8);
        std::memcpy(&meta, from + 24, 4);
        r.value.kind = static_cast<ResultValue::Kind>(meta & 3);
        r.partition = meta >> 2;
        return r;
    }
};

std::string bandLabel(const std::vector<double>& bands, int band) {
    return numberText(bands[static_cast<std::size_t>(band)]) + "歳以上" +
           numberText(bands[static_cast<std::size_t>(band) + 1]) + "歳未満";
}

}  // namespace

std::optional<std::vector<double>> parseAgeBands(std::string_view text, std::string& problem) {
    std::vector<double> bands;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t comma = text.find(',', start);
        if (comma == std::string_view::npos) comma = text.size();
        const auto field = trimField(text.substr(start, comma - start));
        double v = 0;
        const auto r = std::from_chars(field.data(), field.data() + field.size(), v);
        if (field.empty() || r.ec != std::errc() || r.ptr != field.data() + field.size() ||
            !std::isfinite(v)) {
            problem = "年齢区分を数値の並びとして読めません: " + std::string(text);
            return std::nullopt;
        }
        if (!bands.empty() && !(v > bands.back())) {
            problem = "年齢区分は小さい順に並べて下さい: " + std::string(text);
            return std::nullopt;
        }
        bands.push_back(v);
        start = comma + 1;
    }
    if (bands.size() < 2) {
        problem = "年齢区分には2つ以上の境界を指定して下さい: " + std::string(text);
        return std::nullopt;
    }
    return bands;
}

std::optional<std::int64_t> dateKey(std::string_view text) {
    text = trimField(text);
    int part[6] = {0, 0, 0, 0, 0, 0};
    std::size_t i = 0;
    auto digits = [&](int& to, std::size_t maxDigits) {
        std::size_t n = 0;
        to = 0;
        while (i < text.size() && n < maxDigits && text[i] >= '0' && text[i] <= '9') {
            to = to * 10 + (text[i++] - '0');
            ++n;
        }
        return n;
    };
    const std::size_t yearDigits = digits(part[0], 4);
    if (yearDigits != 4) return std::nullopt;
    if (i < text.size() && (text[i] == '-' || text[i] == '/')) {
        const char sep = text[i++];
        if (digits(part[1], 2) == 0 || i >= text.size() || text[i++] != sep) return std::nullopt;
        if (digits(part[2], 2) == 0) return std::nullopt;
    } else {
        if (digits(part[1], 2) != 2 || digits(part[2], 2) != 2) return std::nullopt;
    }
    if (i < text.size() && (text[i] == ' ' || text[i] == 'T')) {
        ++i;
        if (digits(part[3], 2) == 0 || i >= text.size() || text[i++] != ':') return std::nullopt;
        if (digits(part[4], 2) != 2) return std::nullopt;
        if (i < text.size() && text[i] == ':') {
            ++i;
            if (digits(part[5], 2) != 2) return std::nullopt;
        }
    }
    if (i != text.size()) return std::nullopt;
    static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const int y = part[0], m = part[1], d = part[2];
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    if (m < 1 || m > 12 || d < 1 || d > kDays[m - 1] || (m == 2 && d == 29 && !leap))
        return std::nullopt;
    if (part[3] > 23 || part[4] > 59 || part[5] > 59) return std::nullopt;
    return ((((static_cast<std::int64_t>(y) * 100 + m) * 100 + d) * 100 + part[3]) * 100 +
            part[4]) *
               100 +
           part[5];
}

std::optional<std::int64_t> dateBound(std::string_view text, bool last) {
    auto key = dateKey(text);
    if (key && last && text.find(':') == std::string_view::npos) *key += 235959;
    return key;
}

namespace {

// Full-width digits, marks and signs, the minus sign and the ideographic space as their ASCII
// forms; a field without a byte above ASCII is left as it is.
std::string_view halfWidth(std::string_view field, std::string& keep) {
    if (std::all_of(field.begin(), field.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return field;
    keep.clear();
    for (std::size_t i = 0; i < field.size(); ++i) {
        const auto b = [&](std::size_t k) { return static_cast<unsigned char>(field[i + k]); };
        if (i + 2 < field.size() && b(0) == 0xEF && b(1) == 0xBC && b(2) >= 0x8B && b(2) <= 0x9E) {
            // U+FF0B … U+FF1E: ＋ ， － ． ／ ０-９ ： ； ＜ ＝ ＞
            keep += static_cast<char>(b(2) - 0x8B + '+');
            i += 2;
        } else if (i + 2 < field.size() && b(0) == 0xE2 && b(1) == 0x88 && b(2) == 0x92) {
            keep += '-';  // U+2212 minus sign
            i += 2;
        } else if (i + 2 < field.size() && b(0) == 0xE3 && b(1) == 0x80 && b(2) == 0x80) {
            keep += ' ';
            i += 2;
        } else {
            keep += field[i];
        }
    }
    return keep;
}

// A number field read whole by the data files' rule.
ResultValue readNumberField(std::string_view text, bool decimalComma, ResultValue::Kind kind) {
    ResultValue r;
    text = trimField(text);
    const FieldNumber n = readFieldNumber(text, decimalComma);
    if (n.kind == FieldNumber::Number && std::isfinite(n.value)) {
        r.kind = kind;
        r.value = n.value;
    } else {
        r.unread = n.kind == FieldNumber::Number ? FieldNumber::OutOfRange : n.kind;
    }
    return r;
}

}  // namespace

ResultValue readResult(std::string_view field, bool decimalComma) {
    std::string keep;
    field = trimField(halfWidth(trimField(field), keep));
    static constexpr std::pair<std::string_view, ResultValue::Kind> kBefore[] = {
        {"<=", ResultValue::Below}, {"=<", ResultValue::Below}, {"<", ResultValue::Below},
        {"≦", ResultValue::Below},  {"≤", ResultValue::Below},  {">=", ResultValue::Above},
        {"=>", ResultValue::Above}, {">", ResultValue::Above},  {"≧", ResultValue::Above},
        {"≥", ResultValue::Above}};
    static constexpr std::pair<std::string_view, ResultValue::Kind> kAfter[] = {
        {"未満", ResultValue::Below},
        {"以下", ResultValue::Below},
        {"以上", ResultValue::Above},
        {"超", ResultValue::Above}};
    for (const auto& [text, kind] : kBefore)
        if (startsWith(field, text))
            return readNumberField(field.substr(text.size()), decimalComma, kind);
    for (const auto& [text, kind] : kAfter)
        if (endsWith(field, text))
            return readNumberField(field.substr(0, field.size() - text.size()), decimalComma, kind);
    return readNumberField(field, decimalComma, ResultValue::Number);
}

std::optional<std::int64_t> readCount(std::string_view field, bool decimalComma, bool& tooLarge) {
    tooLarge = false;
    std::string keep;
    field = trimField(halfWidth(trimField(field), keep));
    const FieldNumber n = readFieldNumber(field, decimalComma);
    if (n.kind == FieldNumber::OutOfRange) tooLarge = true;
    if (n.kind != FieldNumber::Number) return std::nullopt;
    // Digits alone once the thousands separators are dropped: the count read exactly.
    std::string digits;
    for (const char c : field) {
        if (n.grouped && c == (decimalComma ? '.' : ',')) continue;
        if (c < '0' || c > '9') return std::nullopt;
        digits += c;
    }
    std::int64_t k = 0;
    const auto r = std::from_chars(digits.data(), digits.data() + digits.size(), k);
    if (r.ec == std::errc::result_out_of_range || (r.ec == std::errc() && k > kMaxResultCount)) {
        tooLarge = true;
        return std::nullopt;
    }
    if (digits.empty() || r.ec != std::errc() || r.ptr != digits.data() + digits.size())
        return std::nullopt;
    return k;
}

namespace {
bool protectedStart(char c) {
    return c == '=' || c == '+' || c == '-' || c == '@' || c == '\t' || c == '\r' || c == '\'';
}
}  // namespace

std::string protectedLabel(std::string_view label) {
    if (!label.empty() && label.front() == '\'') return "'" + std::string(label);
    return spreadsheetCell(label);
}

std::string unprotectedLabel(std::string_view text) {
    if (text.size() > 1 && text.front() == '\'' && protectedStart(text[1]))
        return std::string(text.substr(1));
    return std::string(text);
}

std::vector<std::string> ExtractResult::notes() const {
    std::vector<std::string> out;
    const auto note = [&](std::int64_t n, const char* what) {
        if (n > 0) out.push_back(std::string(what) + std::to_string(n) + "行を除きました。");
    };
    note(undecodable, "文字コードとして読めないバイト（または制御文字）を含む");
    note(notNumber, "値が数値でも「<」「>」「未満」「以上」などの付いた数値でもない");
    note(valueMalformed, "値の数値の形が正しくない（小数点が2つ、桁区切りの位置が違うなど）");
    note(valueOutOfRange, "値の数値が扱える範囲を超える");
    note(excludedWhere, "条件の列の値が違う");
    note(badDate, "日付を読めない");
    note(outsideDates, "日付が期間外の");
    note(noAge, "年齢がない（数値でない）");
    note(ageMalformed, "年齢の数値の形が正しくない");
    note(ageOutOfRange, "年齢の数値が扱える範囲を超える");
    note(outsideAges, "年齢が年齢区分の範囲外の");
    note(noGroup, "グループ列が空の");
    note(noSite, "施設の列が空の");
    note(noPatient, "患者IDが空の");
    note(laterResults, "同じ患者の2回目以降の結果");
    note(badCount, "件数が0以上の整数でない");
    note(countTooLarge, "件数が999兆9999億9999万9999を超える");
    return out;
}

ExtractResult readExtract(const std::vector<std::string>& files, const ExtractOptions& o) {
    ExtractResult result;
    // Partitions by group and band, found as the rows come.
    std::map<std::pair<std::string, int>, std::size_t> index;
    std::vector<PartitionCounts> parts;
    const auto partitionOf = [&](std::string_view group, int band) -> std::optional<std::size_t> {
        auto it = index.find({std::string(group), band});
        if (it != index.end()) return it->second;
        if (parts.size() >= kMaxPartitions) return std::nullopt;
        it = index.emplace(std::pair{std::string(group), band}, parts.size()).first;
        PartitionCounts p;
        p.group = group;
        p.band = band;
        parts.push_back(std::move(p));
        return it->second;
    };
    const auto add = [&](PartitionCounts& p, const ResultValue& v, std::int64_t count,
                         const std::string& site) {
        for (ValueCounts* c : {&p.counts, o.siteColumn ? &p.sites[site] : nullptr}) {
            if (!c) continue;
            if (v.kind == ResultValue::Number)
                c->add(v.value, count);
            else
                c->addCensored(v.kind == ResultValue::Below, v.value, count);
        }
    };
    // The first result per patient: without dates the first in file order, kept at once. A
    // patient's record names the partition and the site together (a cell).
    Patients first(o.dateColumn.has_value());
    std::map<std::pair<std::size_t, std::string>, std::uint32_t> cellIndex;
    std::vector<std::pair<std::size_t, std::string>> cells;
    const auto cellOf = [&](std::size_t partition, const std::string& site) {
        if (!o.siteColumn) return static_cast<std::uint32_t>(partition);
        const auto [it, added] =
            cellIndex.try_emplace({partition, site}, static_cast<std::uint32_t>(cells.size()));
        if (added) cells.emplace_back(partition, site);
        return it->second;
    };

    // The files are opened one after the other; the sizes of those not yet open are added to
    // the total as they come, so the progress never runs backwards.
    std::uint64_t before = 0;
    const auto cancelled = [&] {
        if (!o.progress || !o.progress->cancel) return false;
        result.cancelled = true;
        result.problem = "読み込みを中止しました。";
        return true;
    };
    for (const auto& path : files) {
        ExtractFile file;
        if (auto problem = file.open(path, o.sheet, o.progress, o.pipeWaitMilliseconds);
            !problem.empty()) {
            if (cancelled()) return result;  // a workbook's reading stopped
            result.problem = problem;
            return result;
        }
        if (o.progress) o.progress->total = before + file.size();
        const auto column = [&](const std::optional<std::string>& name, const char* what,
                                std::optional<std::size_t>& to) {
            if (!name) return true;
            to = file.findColumn(*name);
            if (!to)
                result.problem = std::string(what) + "が見つかりません: " + *name + "（" + path +
                                 " の列: " + file.headingList() + "）";
            return to.has_value();
        };
        std::optional<std::size_t> value, count, group, site, age, patient, date;
        if (!column(o.valueColumn, "値の列", value) || !column(o.countColumn, "件数の列", count) ||
            !column(o.groupColumn, "グループ列", group) ||
            !column(o.siteColumn, "施設の列", site) || !column(o.ageColumn, "年齢の列", age) ||
            !column(o.patientColumn, "患者IDの列", patient) ||
            !column(o.dateColumn, "日付の列", date))
            return result;
        std::vector<std::pair<std::size_t, std::string>> where;
        for (const auto& [name, text] : o.where) {
            std::optional<std::size_t> c;
            if (!column(name, "条件の列", c)) return result;
            where.emplace_back(*c, text);
        }

        std::vector<std::string_view> fields;
        const auto field = [&](std::size_t c) {
            return c < fields.size() ? trimField(fields[c]) : std::string_view();
        };
        std::string groupText;
        while (file.nextRow(fields)) {
            if ((++result.rows & 0xFFFF) == 0 && o.progress) {
                if (cancelled()) return result;
                o.progress->done = before + file.bytesRead();
            }
            bool other = false;
            for (const auto& [c, text] : where) other = other || field(c) != text;
            if (other) {
                ++result.excludedWhere;
                continue;
            }
            std::int64_t when = 0;
            if (date) {
                auto d = dateKey(field(*date));
                if (!d && file.workbook()) d = serialDateKey(field(*date));
                if (!d) {
                    ++result.badDate;
                    continue;
                }
                // A range given as days takes in the whole of its last day.
                if ((o.from && *d < *o.from) || (o.to && *d > *o.to)) {
                    ++result.outsideDates;
                    continue;
                }
                when = *d;
            }
            int band = -1;
            if (age) {
                const ResultValue a =
                    readNumberField(field(*age), file.decimalComma(), ResultValue::Number);
                if (a.kind != ResultValue::Number) {
                    ++(a.unread == FieldNumber::Malformed    ? result.ageMalformed
                       : a.unread == FieldNumber::OutOfRange ? result.ageOutOfRange
                                                             : result.noAge);
                    continue;
                }
                if (!o.ageBands.empty()) {
                    const auto it = std::upper_bound(o.ageBands.begin(), o.ageBands.end(), a.value);
                    if (it == o.ageBands.begin() || it == o.ageBands.end()) {
                        ++result.outsideAges;
                        continue;
                    }
                    band = static_cast<int>(it - o.ageBands.begin()) - 1;
                }
            }
            groupText.clear();
            if (group) {
                // A summary's labels come back as the summary wrote them.
                groupText =
                    o.countColumn ? unprotectedLabel(field(*group)) : std::string(field(*group));
                if (groupText.empty()) {
                    ++result.noGroup;
                    continue;
                }
            }
            std::string siteText;
            if (site) {
                siteText =
                    o.countColumn ? unprotectedLabel(field(*site)) : std::string(field(*site));
                if (siteText.empty()) {
                    ++result.noSite;
                    continue;
                }
            }
            const ResultValue v = readResult(field(*value), file.decimalComma());
            if (v.kind == ResultValue::None) {
                ++(v.unread == FieldNumber::Malformed    ? result.valueMalformed
                   : v.unread == FieldNumber::OutOfRange ? result.valueOutOfRange
                                                         : result.notNumber);
                continue;
            }
            std::int64_t n = 1;
            if (count) {
                bool tooLarge = false;
                const auto k = readCount(field(*count), file.decimalComma(), tooLarge);
                if (!k) {
                    ++(tooLarge ? result.countTooLarge : result.badCount);
                    continue;
                }
                n = *k;
            }
            const auto part = partitionOf(groupText, band);
            if (!part) {
                result.problem = "分割（グループ×年齢区分）が" + std::to_string(kMaxPartitions) +
                                 "を超えます。グループ列と年齢区分を確かめて下さい。";
                return result;
            }
            if (o.firstPerPatient && patient) {
                const auto id = field(*patient);
                if (id.empty()) {
                    ++result.noPatient;
                    continue;
                }
                bool seen = false;
                char* record = first.find(id, seen);
                if (seen) {
                    ++result.laterResults;
                    if (date && when < FirstResult::load(record).date)
                        FirstResult{when, v, n, cellOf(*part, siteText)}.store(record);
                    continue;
                }
                if (date) {
                    FirstResult{when, v, n, cellOf(*part, siteText)}.store(record);
                    continue;
                }
            }
            if (n > kMaxResultCount - result.kept) {
                result.problem = "件数の合計が999兆9999億9999万9999を超えます。";
                return result;
            }
            add(parts[*part], v, n, siteText);
            result.kept += n;
        }
        result.undecodable += file.undecodable();
        if (!file.problem().empty()) {
            result.problem = file.problem();
            return result;
        }
        if (file.sheetFailed()) {
            result.problem = path + ": " + fileProblemMessage(FileProblem::Changed, path);
            return result;
        }
        before += file.size();
        if (o.progress) o.progress->done = before;
        if (cancelled()) return result;
    }
    if (o.firstPerPatient && o.dateColumn) {
        first.forEach([&](const char* record) {
            const FirstResult r = FirstResult::load(record);
            if (r.count > kMaxResultCount - result.kept) {
                result.problem = "件数の合計が999兆9999億9999万9999を超えます。";
                return;
            }
            if (o.siteColumn) {
                const auto& [partition, site] = cells[r.partition];
                add(parts[partition], r.value, r.count, site);
            } else {
                add(parts[r.partition], r.value, r.count, std::string());
            }
            result.kept += r.count;
        });
        if (!result.problem.empty()) return result;
    }
    // Ordered by group and band; a summary's partitions in the order it gives them (its labels
    // hold the bands as text, which would not sort as numbers).
    std::vector<std::size_t> order;
    for (const auto& [key, i] : index) order.push_back(i);
    if (o.countColumn) std::sort(order.begin(), order.end());
    for (const std::size_t i : order) {
        PartitionCounts& p = parts[i];
        p.counts.compact();
        for (auto& [site, counts] : p.sites) counts.compact();
        p.label = p.group;
        if (p.band >= 0) p.label += (p.label.empty() ? "" : " ") + bandLabel(o.ageBands, p.band);
        if (p.label.empty()) p.label = "全体";
        result.partitions.push_back(std::move(p));
    }
    return result;
}

}  // namespace kijunchi
