#include "indirect/extract.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <unordered_map>

#include "files/data_file.h"
#include "files/table_file.h"
#include "files/table_text.h"

namespace kijunchi {

namespace {

constexpr std::size_t kBlock = std::size_t{1} << 22;

bool startsWith(std::string_view s, std::string_view p) {
    return s.substr(0, p.size()) == p;
}

std::string numberText(double v) {
    char buffer[32];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, v);
    return std::string(buffer, r.ptr);
}

// One file of the extract, read once from start to end a block at a time. It is judged (byte
// order mark, encoding, separator, headings) from its first block, since the extract is never
// read whole; bytes further on that do not decode end the reading with a message. A workbook's
// sheet is read through once when opened (whatever refuses it does so then), then row by row.
class ExtractFile {
public:
    std::string open(const std::string& path, std::string_view sheet, ReadProgress* progress) {
        path_ = path;
        FileProblem p = checkPath(path, size_);
        if (p == FileProblem::None && workbookFileKind(path) != WorkbookKind::None)
            return openWorkbook(sheet, progress);
        in_.open(path, std::ios::binary);
        if (p == FileProblem::None && !in_) p = FileProblem::Unreadable;
        std::string head(kBlock, '\0');
        if (p == FileProblem::None) {
            in_.read(head.data(), static_cast<std::streamsize>(kBlock));
            head.resize(static_cast<std::size_t>(in_.gcount()));
            // Streamed, so the size limit of a file read whole does not apply.
            p = checkBytes(head.substr(0, 8), std::min<std::uint64_t>(head.size(), 1));
        }
        if (p == FileProblem::None) {
            // Up to the last line end, so that no character is cut.
            const std::size_t end = head.size() == kBlock ? head.find_last_of('\n') : head.size();
            EncodingScan scan;
            scan.feed(std::string_view(head).substr(0, end == std::string::npos ? 0 : end + 1));
            p = chooseEncoding(head.substr(0, 8), scan, encoding_);
        }
        if (p != FileProblem::None) return fileProblemMessage(p, path);
        restart();
        std::vector<std::string> sample;
        std::string_view line;
        while (sample.size() < kSampleLines && nextLine(line))
            if (!isBlank(line)) sample.emplace_back(line);
        if (sample.empty()) return fileProblemMessage(FileProblem::Empty, path);
        layout_ = detectLayout(std::vector<std::string_view>(sample.begin(), sample.end()));
        restart();
        std::vector<std::string_view> fields;
        if (nextRow(fields) && isHeadingRow(fields, layout_.decimalComma)) {
            headings_.assign(fields.begin(), fields.end());
            hasHeadings_ = true;
        } else {
            restart();
        }
        return {};
    }

    bool decimalComma() const { return layout_.decimalComma; }
    bool workbook() const { return sheet_ != nullptr; }
    std::uint64_t size() const { return size_; }
    // The bytes of the file read so far (after the look at its first block).
    std::uint64_t bytesRead() const { return bytesRead_; }
    const std::string& path() const { return path_; }
    bool undecodable() const { return undecodable_; }
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
        std::string_view line;
        while (nextLine(line)) {
            if (!splitter_.split(line, layout_.separator)) continue;
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
        bytesRead_ = size_;
        if (sheet_->firstRow().empty()) return fileProblemMessage(FileProblem::Empty, path_);
        const auto& first = sheet_->firstRow();
        sheet_->restart();
        if (isHeadingRow(std::vector<std::string_view>(first.begin(), first.end()), false)) {
            headings_ = first;
            hasHeadings_ = true;
            std::vector<std::string_view> fields;
            sheet_->next(fields);
        }
        return {};
    }

    void restart() {
        bytesRead_ = 0;
        in_.clear();
        in_.seekg(static_cast<std::streamoff>(textStart(encoding_)));
        decoder_.emplace(encoding_);
        text_.clear();
        complete_ = 0;
        lines_ = LineReader();
        end_ = false;
    }
    void readBlock() {
        text_.erase(0, complete_);
        block_.resize(kBlock);
        in_.read(block_.data(), static_cast<std::streamsize>(kBlock));
        const auto got = static_cast<std::size_t>(in_.gcount());
        bytesRead_ += got;
        end_ = got < kBlock || !in_;
        if (!decoder_->decode(std::string_view(block_.data(), got), text_)) {
            undecodable_ = true;
            end_ = true;
        }
        complete_ = text_.size();
        if (!end_) {
            const std::size_t lastEnd = text_.find_last_of("\r\n");
            complete_ = lastEnd == std::string::npos ? 0 : lastEnd + 1;
        }
        lines_ = LineReader(std::string_view(text_).substr(0, complete_));
    }
    bool nextLine(std::string_view& line) {
        while (!lines_.next(line)) {
            if (end_) return false;
            readBlock();
        }
        return true;
    }

    std::string path_;
    std::ifstream in_;
    TextEncoding encoding_ = TextEncoding::Utf8;
    TableLayout layout_;
    bool hasHeadings_ = false;
    std::vector<std::string> headings_;
    std::optional<TextDecoder> decoder_;
    std::string block_, text_;
    std::size_t complete_ = 0;
    LineReader lines_;
    bool end_ = false, undecodable_ = false;
    FieldSplitter splitter_;
    std::uint64_t size_ = 0, bytesRead_ = 0;
    std::unique_ptr<SheetReader> sheet_;
};

// A date cell of a workbook, read as its serial number (days from 1899-12-30, the time as the
// day's fraction), as dateKey gives a date; from 1900-03-01 on, where the serials are days.
std::optional<std::int64_t> serialDateKey(std::string_view field) {
    const auto v = fieldNumber(field, false);
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

// A patient's first result so far.
struct FirstResult {
    std::int64_t date = 0, order = 0;
    std::size_t partition = 0;
    ResultValue value;
    std::int64_t count = 1;
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

ResultValue readResult(std::string_view field, bool decimalComma) {
    field = trimField(field);
    static constexpr std::pair<std::string_view, ResultValue::Kind> kComparators[] = {
        {"<=", ResultValue::Below}, {"<", ResultValue::Below},  {"≦", ResultValue::Below},
        {"≤", ResultValue::Below},  {"＜", ResultValue::Below}, {">=", ResultValue::Above},
        {">", ResultValue::Above},  {"≧", ResultValue::Above},  {"≥", ResultValue::Above},
        {"＞", ResultValue::Above}};
    ResultValue r;
    for (const auto& [text, kind] : kComparators) {
        if (startsWith(field, text)) {
            if (const auto v = fieldNumber(trimField(field.substr(text.size())), decimalComma)) {
                r.kind = kind;
                r.value = *v;
            }
            return r;
        }
    }
    if (const auto v = fieldNumber(field, decimalComma); v && std::isfinite(*v)) {
        r.kind = ResultValue::Number;
        r.value = *v;
    }
    return r;
}

std::vector<std::string> ExtractResult::notes() const {
    std::vector<std::string> out;
    const auto note = [&](std::int64_t n, const char* what) {
        if (n > 0) out.push_back(std::string(what) + std::to_string(n) + "行を除きました。");
    };
    note(notNumber, "値が数値でも「<」「>」付きでもない");
    note(excludedWhere, "条件（--where）に合わない");
    note(badDate, "日付を読めない");
    note(outsideDates, "日付が期間外の");
    note(noAge, "年齢がない（数値でない）");
    note(outsideAges, "年齢が年齢区分の範囲外の");
    note(noGroup, "グループ列が空の");
    note(noPatient, "患者IDが空の");
    note(laterResults, "同じ患者の2回目以降の結果");
    note(badCount, "件数が0以上の整数でない");
    return out;
}

ExtractResult readExtract(const std::vector<std::string>& files, const ExtractOptions& o) {
    ExtractResult result;
    // Partitions by group and band, found as the rows come.
    std::map<std::pair<std::string, int>, std::size_t> index;
    std::vector<PartitionCounts> parts;
    const auto partitionOf = [&](const std::string& group, int band) {
        const auto [it, added] = index.try_emplace({group, band}, parts.size());
        if (added) {
            PartitionCounts p;
            p.group = group;
            p.band = band;
            parts.push_back(std::move(p));
        }
        return it->second;
    };
    const auto add = [&](PartitionCounts& p, const ResultValue& v, std::int64_t count) {
        if (v.kind == ResultValue::Number)
            p.counts.add(v.value, count);
        else
            p.counts.addCensored(v.kind == ResultValue::Below, v.value, count);
    };
    std::unordered_map<std::string, FirstResult> first;
    std::int64_t order = 0;

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
        if (auto problem = file.open(path, o.sheet, o.progress); !problem.empty()) {
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
        std::optional<std::size_t> value, count, group, age, patient, date;
        if (!column(o.valueColumn, "値の列", value) || !column(o.countColumn, "件数の列", count) ||
            !column(o.groupColumn, "グループ列", group) || !column(o.ageColumn, "年齢の列", age) ||
            !column(o.patientColumn, "患者IDの列", patient) ||
            !column(o.dateColumn, "日付の列", date))
            return result;
        std::vector<std::pair<std::size_t, std::string>> where;
        for (const auto& [name, text] : o.where) {
            std::optional<std::size_t> c;
            if (!column(name, "--where の列", c)) return result;
            where.emplace_back(*c, text);
        }

        std::vector<std::string_view> fields;
        const auto field = [&](std::size_t c) {
            return c < fields.size() ? trimField(fields[c]) : std::string_view();
        };
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
                const auto a = fieldNumber(field(*age), file.decimalComma());
                if (!a) {
                    ++result.noAge;
                    continue;
                }
                if (!o.ageBands.empty()) {
                    const auto it = std::upper_bound(o.ageBands.begin(), o.ageBands.end(), *a);
                    if (it == o.ageBands.begin() || it == o.ageBands.end()) {
                        ++result.outsideAges;
                        continue;
                    }
                    band = static_cast<int>(it - o.ageBands.begin()) - 1;
                }
            }
            std::string groupText;
            if (group) {
                groupText = std::string(field(*group));
                if (groupText.empty()) {
                    ++result.noGroup;
                    continue;
                }
            }
            const ResultValue v = readResult(field(*value), file.decimalComma());
            if (v.kind == ResultValue::None) {
                ++result.notNumber;
                continue;
            }
            std::int64_t n = 1;
            if (count) {
                const auto c = field(*count);
                std::int64_t k = 0;
                const auto r = std::from_chars(c.data(), c.data() + c.size(), k);
                if (c.empty() || r.ec != std::errc() || r.ptr != c.data() + c.size() || k < 0) {
                    ++result.badCount;
                    continue;
                }
                n = k;
            }
            const std::size_t part = partitionOf(groupText, band);
            if (o.firstPerPatient && patient) {
                const auto id = field(*patient);
                if (id.empty()) {
                    ++result.noPatient;
                    continue;
                }
                FirstResult candidate{when, order++, part, v, n};
                const auto [it, added] = first.try_emplace(std::string(id), candidate);
                if (!added) {
                    ++result.laterResults;
                    if (date && when < it->second.date) it->second = candidate;
                }
                continue;
            }
            add(parts[part], v, n);
            result.kept += n;
        }
        if (file.sheetFailed()) {
            result.problem = path + ": " + fileProblemMessage(FileProblem::Changed, path);
            return result;
        }
        if (file.undecodable()) {
            result.problem =
                path + ": 文字コードとして読めないバイトがあるため、読み込みを中止しました。";
            return result;
        }
        before += file.size();
        if (o.progress) o.progress->done = before;
        if (cancelled()) return result;
    }
    for (const auto& [id, r] : first) {
        add(parts[r.partition], r.value, r.count);
        result.kept += r.count;
    }
    for (auto& [key, i] : index) {
        PartitionCounts& p = parts[i];
        p.label = p.group;
        if (p.band >= 0) p.label += (p.label.empty() ? "" : " ") + bandLabel(o.ageBands, p.band);
        if (p.label.empty()) p.label = "全体";
        result.partitions.push_back(std::move(p));
    }
    return result;
}

}  // namespace kijunchi
