#include "study/batch.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>
#if defined(__GLIBC__)
#include <malloc.h>  // malloc_trim
#endif

#include "analysis/number_text.h"
#include "files/table_text.h"
#include "report/sig_round.h"
#include "study/partition.h"

namespace kijunchi {

namespace {

struct Column {
    const char* heading;  // TSV and CSV
    const char* key;      // JSON
    std::optional<double> BatchRow::*number;
};

// The numeric columns after n, in table order.
const Column kFigures[] = {
    {"ノンパラ下限", "npLower", &BatchRow::npLower},
    {"下限90%CI下", "npLowerLow", &BatchRow::npLowerLow},
    {"下限90%CI上", "npLowerHigh", &BatchRow::npLowerHigh},
    {"ノンパラ上限", "npUpper", &BatchRow::npUpper},
    {"上限90%CI下", "npUpperLow", &BatchRow::npUpperLow},
    {"上限90%CI上", "npUpperHigh", &BatchRow::npUpperHigh},
    {"パラ下限", "paramLower", &BatchRow::paramLower},
    {"パラ上限", "paramUpper", &BatchRow::paramUpper},
    {"λ", "lambda", &BatchRow::lambda},
    {"変換パラ下限", "lambdaLower", &BatchRow::lambdaLower},
    {"変換パラ上限", "lambdaUpper", &BatchRow::lambdaUpper},
    {"ロバスト下限", "robustLower", &BatchRow::robustLower},
    {"ロバスト上限", "robustUpper", &BatchRow::robustUpper},
    {"変換ロバスト下限", "lambdaRobustLower", &BatchRow::lambdaRobustLower},
    {"変換ロバスト上限", "lambdaRobustUpper", &BatchRow::lambdaRobustUpper},
    {"歪度p", "pSkewness", &BatchRow::pSkewness},
    {"尖度p", "pKurtosis", &BatchRow::pKurtosis},
    {"カイ二乗p", "pChiSquare", &BatchRow::pChiSquare},
};

// Text cells only: the figures are written as numbers.
std::string csvField(const std::string& text) {
    const std::string s = spreadsheetCell(text);
    if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
    std::string q = "\"";
    for (char c : s) q += c == '"' ? std::string("\"\"") : std::string(1, c);
    return q + "\"";
}

std::string tsvField(const std::string& text) {
    std::string s = spreadsheetCell(text);
    for (char& c : s)
        if (c == '\t' || c == '\r' || c == '\n') c = ' ';
    return s;
}

std::string jsonString(const std::string& s) {
    std::string q = "\"";
    for (char c : s) {
        switch (c) {
            case '"':
                q += "\\\"";
                break;
            case '\\':
                q += "\\\\";
                break;
            case '\n':
                q += "\\n";
                break;
            case '\r':
                q += "\\r";
                break;
            case '\t':
                q += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", c);
                    q += buf;
                } else {
                    q += c;
                }
        }
    }
    return q + "\"";
}

std::string rounded(const std::optional<double>& v) {
    return v ? numberText(SigRound(*v, 4)) : std::string();
}

std::string skippedMessage(int skipped) {
    return "数値でない欄" + std::to_string(skipped) + "個を読み飛ばしました。";
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

void appendMessage(std::string& to, const std::string& message) {
    if (!to.empty()) to += " ";
    to += message;
}

// One row's figures; a failure is that row's message, and the batch goes on. The values are
// handed on, not copied: a set may be most of the memory the batch holds.
void evaluateRow(const BatchEvaluator& evaluate, std::vector<double> values, BatchRow& row) {
    try {
        evaluate(std::move(values), row);
    } catch (const std::exception&) {
        const std::string analyte = row.analyte, group = row.group;
        const int n = row.n, skipped = row.skipped;
        row = BatchRow{};
        row.analyte = analyte;
        row.group = group;
        row.n = n;
        row.skipped = skipped;
        row.message = "計算できませんでした。";
    }
}

}  // namespace

std::vector<std::string> batchHeadings(bool grouped) {
    std::vector<std::string> head{"項目"};
    if (grouped) head.push_back("グループ");
    head.push_back("データ数");
    for (const auto& c : kFigures) head.push_back(c.heading);
    head.insert(head.end(), {"外れ値", "推奨"});
    if (grouped) head.insert(head.end(), {"SDR", "分割"});
    head.push_back("注意");
    return head;
}

std::vector<BatchCell> batchCells(const BatchRow& r, bool grouped) {
    std::vector<BatchCell> cells;
    cells.reserve(std::size(kFigures) + 8);
    cells.push_back({r.analyte});
    if (grouped) cells.push_back({r.group});
    cells.push_back({std::to_string(r.n), true});
    for (const auto& c : kFigures) cells.push_back({rounded(r.*(c.number)), true});
    cells.push_back({r.outliers ? std::to_string(*r.outliers) : std::string(), true});
    cells.push_back({r.recommendation});
    if (grouped) {
        cells.push_back({rounded(r.sdr), true});
        cells.push_back({r.partition});
    }
    cells.push_back({r.message});
    return cells;
}

BatchWriter::BatchWriter(std::ostream& out, BatchFormat format, bool grouped)
    : out_(out), format_(format), grouped_(grouped) {
    if (format_ == BatchFormat::Json) {
        out_ << "[";
        return;
    }
    const auto head = batchHeadings(grouped_);
    const char* sep = format_ == BatchFormat::Csv ? "," : "\t";
    for (std::size_t i = 0; i < head.size(); ++i) out_ << (i ? sep : "") << head[i];
    out_ << "\r\n";
}

void BatchWriter::row(const BatchRow& r) {
    if (format_ == BatchFormat::Json) {
        out_ << (rows_++ ? ",\n" : "\n") << "{\"analyte\": " << jsonString(r.analyte);
        if (grouped_) out_ << ", \"group\": " << jsonString(r.group);
        out_ << ", \"n\": " << r.n;
        for (const auto& c : kFigures) {
            const auto& v = r.*(c.number);
            out_ << ", \"" << c.key << "\": " << (v ? numberText(*v) : std::string("null"));
        }
        out_ << ", \"outliers\": " << (r.outliers ? std::to_string(*r.outliers) : "null");
        out_ << ", \"recommendation\": " << jsonString(r.recommendation);
        if (grouped_) {
            out_ << ", \"sdr\": " << (r.sdr ? numberText(*r.sdr) : std::string("null"));
            out_ << ", \"partition\": " << jsonString(r.partition);
        }
        out_ << ", \"message\": " << jsonString(r.message) << "}";
        return;
    }
    const bool csv = format_ == BatchFormat::Csv;
    const char* sep = csv ? "," : "\t";
    const auto cells = batchCells(r, grouped_);
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const BatchCell& cell = cells[i];
        out_ << (i ? sep : "")
             << (cell.number ? cell.text
                 : csv       ? csvField(cell.text)
                             : tsvField(cell.text));
    }
    out_ << "\r\n";
    ++rows_;
}

void BatchWriter::finish() {
    if (format_ == BatchFormat::Json) out_ << (rows_ ? "\n]\n" : "]\n");
    out_.flush();
}

namespace {

constexpr std::size_t kStep = std::size_t{1} << 21;  // 16 MB of numbers

// The numbers in one piece, their blocks let go as they are copied and handed back to the
// system as they go (the C library would keep freed blocks for itself): a set of a billion
// bytes is never held twice.
std::vector<double> inOnePiece(std::deque<double>& cells) {
    std::vector<double> values;
    values.reserve(cells.size());
    while (!cells.empty()) {
        const auto k = static_cast<std::ptrdiff_t>(std::min(kStep, cells.size()));
        values.insert(values.end(), cells.begin(), cells.begin() + k);
        cells.erase(cells.begin(), cells.begin() + k);
#if defined(__GLIBC__)
        if (static_cast<std::size_t>(k) == kStep) malloc_trim(0);
#endif
    }
    std::deque<double>().swap(cells);
    return values;
}

// The group of each value of an analyte: a byte each while there are at most 256 groups (a
// file's usual few), four bytes from the 257th on.
class GroupIds {
public:
    void push(std::uint32_t g) {
        if (g > 0xFF && !wide_) {
            wide_ = true;
            wideIds_ =
                std::make_unique<std::deque<std::uint32_t>>(narrowIds_.begin(), narrowIds_.end());
            std::deque<std::uint8_t>().swap(narrowIds_);
        }
        if (wide_)
            wideIds_->push_back(g);
        else
            narrowIds_.push_back(static_cast<std::uint8_t>(g));
    }
    std::uint32_t operator[](std::size_t i) const { return wide_ ? (*wideIds_)[i] : narrowIds_[i]; }
    std::size_t size() const { return wide_ ? wideIds_->size() : narrowIds_.size(); }
    // Lets the first k go.
    void dropFront(std::size_t k) {
        const auto n = static_cast<std::ptrdiff_t>(k);
        if (wide_)
            wideIds_->erase(wideIds_->begin(), wideIds_->begin() + n);
        else
            narrowIds_.erase(narrowIds_.begin(), narrowIds_.begin() + n);
    }
    void clear() {
        std::deque<std::uint8_t>().swap(narrowIds_);
        wideIds_.reset();
        wide_ = false;
    }

private:
    bool wide_ = false;
    std::deque<std::uint8_t> narrowIds_;
    std::unique_ptr<std::deque<std::uint32_t>> wideIds_;  // made at the 257th group
};

// The same, the numbers dealt out to their groups (of `sets`), each group's in the file's order.
std::vector<std::vector<double>> inGroups(std::deque<double>& cells, GroupIds& groupOf,
                                          std::size_t sets) {
    std::vector<std::size_t> sizes(sets, 0);
    for (std::size_t i = 0; i < groupOf.size(); ++i) ++sizes[groupOf[i]];
    std::vector<std::vector<double>> values(sets);
    for (std::size_t g = 0; g < sets; ++g) values[g].reserve(sizes[g]);
    while (!cells.empty()) {
        const std::size_t k = std::min(kStep, cells.size());
        for (std::size_t i = 0; i < k; ++i) values[groupOf[i]].push_back(cells[i]);
        cells.erase(cells.begin(), cells.begin() + static_cast<std::ptrdiff_t>(k));
        groupOf.dropFront(k);
#if defined(__GLIBC__)
        if (k == kStep) malloc_trim(0);
#endif
    }
    std::deque<double>().swap(cells);
    groupOf.clear();
    return values;
}

// What the one pass over the file keeps: per analyte the numbers, in the order of the file,
// with the group of each, and the counts the rows tell. What is kept follows the cells present,
// never analytes × groups: a wide sheet with a group on every row would otherwise cost its
// width times its rows.
class BatchData {
public:
    BatchData(TableStream& table, const std::optional<std::size_t>& groupColumn);

    std::size_t analytes() const { return columns_.size(); }
    std::size_t groups() const { return groupColumn_ ? groupNames_.size() : 1; }
    const std::vector<std::size_t>& columns() const { return columns_; }

    // The rows of analyte a (the a-th analyte column). Its numbers are taken: each analyte's
    // rows are asked for once (from any thread, one analyte on each).
    std::vector<BatchRow> takeRows(const TableStream& table, std::size_t a,
                                   const BatchEvaluator& evaluate);

private:
    struct Analyte {
        std::deque<double> values;
        GroupIds groupOf;  // the group of each value (with a group column)
        std::unordered_map<std::uint32_t, int> skipped;  // per group: fields without a number
        int withoutGroup = 0;                            // values in rows with an empty group
        bool filled = false;                             // any field of the column holds something
    };

    std::optional<std::size_t> groupColumn_;
    // The file's columns that are analytes, in order: every column but the group column that
    // holds a cell (a heading, or a field in any row). A column without one is no analyte.
    std::vector<std::size_t> columns_;
    // The groups in the order of their first row, found by the raw text of the field.
    std::vector<std::string> groupNames_;
    std::vector<Analyte> data_;  // per analyte
};

BatchData::BatchData(TableStream& table, const std::optional<std::size_t>& groupColumn)
    : groupColumn_(groupColumn) {
    const std::size_t columns = table.headings().size();
    for (std::size_t c = 0; c < columns; ++c)
        if (!groupColumn || c != *groupColumn) columns_.push_back(c);
    const std::size_t analytes = columns_.size();
    data_.resize(analytes);

    // The analyte of each column of the file (kNone for the group column).
    constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    std::vector<std::size_t> analyteOf(columns, kNone);
    for (std::size_t a = 0; a < analytes; ++a) analyteOf[columns_[a]] = a;
    std::map<std::string, std::uint32_t, std::less<>> groupIndex;
    std::vector<std::string_view> fields;
    table.restart();
    while (table.nextRow(fields)) {
        auto field = [&](std::size_t c) {
            return c < fields.size() ? fields[c] : std::string_view();
        };
        // An empty field counts for nothing: of a sheet's row only the filled are looked at.
        const std::vector<std::size_t>* filled = table.filledColumns();
        const auto eachAnalyte = [&](auto&& use) {
            if (!filled) {
                for (std::size_t a = 0; a < analytes; ++a) {
                    const std::string_view f = field(columns_[a]);
                    if (f.find_first_not_of(" \t") != std::string_view::npos) use(a, f);
                }
                return;
            }
            for (std::size_t c : *filled) {
                if (c >= analyteOf.size() || analyteOf[c] == kNone) continue;
                const std::string_view f = field(c);
                if (f.find_first_not_of(" \t") != std::string_view::npos) use(analyteOf[c], f);
            }
        };
        std::uint32_t group = 0;
        if (groupColumn) {
            const std::string_view raw = trimmed(field(*groupColumn));
            if (raw.empty()) {
                eachAnalyte([&](std::size_t a, std::string_view f) {
                    data_[a].filled = true;
                    if (table.number(f)) ++data_[a].withoutGroup;
                });
                continue;
            }
            auto it = groupIndex.find(raw);
            if (it == groupIndex.end()) {
                it = groupIndex
                         .emplace(std::string(raw), static_cast<std::uint32_t>(groupNames_.size()))
                         .first;
                groupNames_.push_back(table.text(raw));
            }
            group = it->second;
        }
        eachAnalyte([&](std::size_t a, std::string_view f) {
            Analyte& d = data_[a];
            d.filled = true;
            if (const auto v = table.number(f)) {
                d.values.push_back(*v);
                if (groupColumn) d.groupOf.push(group);
            } else {
                ++d.skipped[group];
            }
        });
    }

    // The columns without a cell are left out.
    std::size_t kept = 0;
    for (std::size_t a = 0; a < analytes; ++a) {
        if (!data_[a].filled && !table.headingGiven(columns_[a])) continue;
        if (kept != a) {
            columns_[kept] = columns_[a];
            data_[kept] = std::move(data_[a]);
        }
        ++kept;
    }
    columns_.resize(kept);
    data_.resize(kept);
}

std::vector<BatchRow> BatchData::takeRows(const TableStream& table, std::size_t a,
                                          const BatchEvaluator& evaluate) {
    const std::string& heading = table.headings()[columns_[a]];
    const std::size_t sets = groups();
    Analyte& d = data_[a];
    // This analyte's values, per group (one set without a group column), in the file's order.
    // The blocks are let go as soon as their numbers are in one piece.
    std::vector<std::vector<double>> values;
    if (groupColumn_) {
        values = inGroups(d.values, d.groupOf, sets);
    } else {
        values.push_back(inOnePiece(d.values));
    }

    std::vector<BatchRow> rows;
    std::optional<PartitionStudy> study;
    if (groupColumn_) {
        std::vector<ValueGroup> groups;
        for (std::size_t g = 0; g < sets; ++g)
            groups.push_back({groupNames_[g], std::move(values[g])});
        study = studyPartition(groups);
        for (std::size_t g = 0; g < sets; ++g) values[g] = std::move(groups[g].values);
    }
    if (groupColumn_ && sets == 0) {
        BatchRow row;
        row.analyte = heading;
        row.message = "グループ列に値がありません。";
        rows.push_back(std::move(row));
    }
    for (std::size_t g = 0; g < sets; ++g) {
        BatchRow row;
        row.analyte = heading;
        if (groupColumn_) row.group = groupNames_[g];
        row.n = static_cast<int>(values[g].size());
        const auto skipped = d.skipped.find(static_cast<std::uint32_t>(g));
        row.skipped = skipped == d.skipped.end() ? 0 : skipped->second;
        if (row.n == 0) {
            row.message = "数値がありません。";
        } else {
            evaluateRow(evaluate, std::move(values[g]), row);
            if (row.n < 20) {
                // The evaluation recommends no limit below 20 values: none is shown.
                for (std::optional<double> BatchRow::*limit :
                     {&BatchRow::npLower, &BatchRow::npLowerLow, &BatchRow::npLowerHigh,
                      &BatchRow::npUpper, &BatchRow::npUpperLow, &BatchRow::npUpperHigh,
                      &BatchRow::paramLower, &BatchRow::paramUpper, &BatchRow::lambdaLower,
                      &BatchRow::lambdaUpper, &BatchRow::robustLower, &BatchRow::robustUpper,
                      &BatchRow::lambdaRobustLower, &BatchRow::lambdaRobustUpper})
                    (row.*limit).reset();
                appendMessage(row.message, "値が20個未満のため、基準範囲は推奨できません。");
            }
        }
        if (study) {
            if (!study->refusal.empty()) {
                appendMessage(row.message, study->refusal);
            } else {
                if (study->anova) row.sdr = study->anova->sdr;
                row.partition = study->partitionNeeded ? "グループごと" : "全体で1つ";
            }
        }
        if (row.skipped > 0) appendMessage(row.message, skippedMessage(row.skipped));
        if (g == 0 && d.withoutGroup > 0)
            appendMessage(row.message, "グループが空欄の値" + std::to_string(d.withoutGroup) +
                                           "個は評価していません。");
        rows.push_back(std::move(row));
    }
    return rows;
}

// The analytes on one thread, with one evaluator.
BatchSummary runInTurn(const TableStream& table, BatchData& data, const BatchEvaluator& evaluate,
                       const std::function<void(const BatchRow&)>& sink,
                       const std::function<bool(int done, int total)>& progress) {
    BatchSummary summary;
    summary.analytesTotal = static_cast<int>(data.analytes());
    summary.analyteColumns = data.columns();
    for (std::size_t a = 0; a < data.analytes(); ++a) {
        if (progress && !progress(summary.analytes, summary.analytesTotal)) {
            summary.cancelled = true;
            return summary;
        }
        for (const BatchRow& row : data.takeRows(table, a, evaluate)) sink(row);
        ++summary.analytes;
    }
    if (progress) progress(summary.analytes, summary.analytesTotal);
    return summary;
}

int threadsFor(const BatchOptions& options, std::size_t analytes) {
    int threads = options.threads;
    if (threads <= 0) threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    return static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(threads), analytes));
}

// The batch of a file whose reading stopped (it changed, a line too long, unreadable): no row
// is written, the problem is told.
BatchSummary unread(const TableStream& table) {
    BatchSummary summary;
    summary.problem = table.problem();
    return summary;
}

}  // namespace

BatchSummary runBatch(TableStream& table, const BatchOptions& options,
                      const BatchEvaluator& evaluate,
                      const std::function<void(const BatchRow&)>& sink,
                      const std::function<bool(int done, int total)>& progress) {
    BatchData data(table, options.groupColumn);
    if (table.problem() != FileProblem::None) return unread(table);
    return runInTurn(table, data, evaluate, sink, progress);
}

BatchSummary runBatch(TableStream& table, const BatchOptions& options,
                      const BatchEvaluatorFactory& makeEvaluator,
                      const std::function<void(const BatchRow&)>& sink,
                      const std::function<bool(int done, int total)>& progress) {
    BatchData data(table, options.groupColumn);
    if (table.problem() != FileProblem::None) return unread(table);
    const std::size_t total = data.analytes();
    const int threads = threadsFor(options, total);
    if (threads <= 1) return runInTurn(table, data, makeEvaluator(), sink, progress);

    BatchSummary summary;
    summary.analytesTotal = static_cast<int>(total);
    summary.analyteColumns = data.columns();
    if (progress && !progress(0, summary.analytesTotal)) {
        summary.cancelled = true;
        return summary;
    }
    // Each analyte's rows wait in their slot until the analytes before them are handed on.
    std::vector<std::optional<std::vector<BatchRow>>> done(total);
    std::mutex mutex;
    std::condition_variable ready, room;
    std::atomic<std::size_t> next{0};
    std::atomic<bool> stop{false};
    std::exception_ptr failure;
    // The threads run at most this many analytes ahead of the rows handed on: the rows waiting
    // in their slots stay a few analytes' worth however fast the threads and slow the sink (a
    // sheet of many analytes and groups would otherwise hold nearly all its rows at once).
    const std::size_t ahead = 2 * static_cast<std::size_t>(threads);
    std::size_t handedOn = 0;  // under the mutex
    auto work = [&](const BatchEvaluator& evaluate) {
        try {
            while (!stop) {
                const std::size_t a = next++;
                if (a >= total) break;
                {
                    std::unique_lock lock(mutex);
                    room.wait(lock, [&] { return stop || a < handedOn + ahead; });
                    if (stop) break;
                }
                auto rows = data.takeRows(table, a, evaluate);
                const std::lock_guard lock(mutex);
                done[a] = std::move(rows);
                ready.notify_one();
            }
        } catch (...) {
            const std::lock_guard lock(mutex);
            if (!failure) failure = std::current_exception();
            stop = true;
            ready.notify_one();
        }
    };
    std::vector<BatchEvaluator> evaluators;
    for (int t = 0; t < threads; ++t) evaluators.push_back(makeEvaluator());
    // Joined also when a sink throws: the threads then finish the analytes left, unseen.
    std::vector<std::jthread> workers;
    for (const auto& evaluate : evaluators) {
        try {
            workers.emplace_back(work, std::cref(evaluate));
        } catch (const std::system_error&) {
            break;  // no more threads to be had: those started do the work
        }
    }
    // Not one thread to be had: the analytes on this one, as without a factory.
    if (workers.empty()) return runInTurn(table, data, evaluators.front(), sink, progress);
    // Whichever way this ends (a sink that throws among them), the threads that wait for room
    // are woken to stop before they are joined.
    struct Release {
        std::mutex& mutex;
        std::atomic<bool>& stop;
        std::condition_variable& room;
        ~Release() {
            const std::lock_guard lock(mutex);
            stop = true;
            room.notify_all();
        }
    } release{mutex, stop, room};

    std::size_t handed = 0;
    while (handed < total) {
        std::optional<std::vector<BatchRow>> rows;
        {
            std::unique_lock lock(mutex);
            ready.wait_for(lock, std::chrono::milliseconds(50),
                           [&] { return done[handed].has_value() || failure; });
            if (failure) break;
            if (done[handed]) rows.swap(done[handed]);
        }
        if (rows) {
            for (const BatchRow& row : *rows) sink(row);
            {
                const std::lock_guard lock(mutex);
                handedOn = handed + 1;
                room.notify_all();
            }
            if (++handed == total) break;
        }
        if (progress && !progress(static_cast<int>(handed), summary.analytesTotal)) {
            summary.cancelled = true;
            break;
        }
    }
    {
        const std::lock_guard lock(mutex);
        stop = true;
        room.notify_all();
    }
    for (auto& worker : workers) worker.join();
    if (failure) std::rethrow_exception(failure);
    summary.analytes = static_cast<int>(handed);
    if (progress && !summary.cancelled) progress(summary.analytes, summary.analytesTotal);
    return summary;
}

}  // namespace kijunchi
