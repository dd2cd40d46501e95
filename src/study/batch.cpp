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
#include <mutex>
#include <thread>
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

// The numbers in one piece, their blocks let go as they are copied and handed back to the
// system as they go (the C library would keep freed blocks for itself): a set of a billion
// bytes is never held twice.
std::vector<double> inOnePiece(std::deque<double>& cells) {
    constexpr std::size_t kStep = std::size_t{1} << 21;  // 16 MB of numbers
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

// What the one pass over the file keeps: per analyte and group the numbers, in the order of
// the file, and the counts the rows tell.
class BatchData {
public:
    BatchData(TableStream& table, const std::optional<std::size_t>& groupColumn);

    std::size_t analytes() const { return columns_.size(); }
    std::size_t groups() const { return groupColumn_ ? groupNames_.size() : 1; }

    // The rows of analyte a (the a-th analyte column). Its numbers are taken: each analyte's
    // rows are asked for once (from any thread, one analyte on each).
    std::vector<BatchRow> takeRows(const TableStream& table, std::size_t a,
                                   const BatchEvaluator& evaluate);

private:
    std::optional<std::size_t> groupColumn_;
    std::vector<std::size_t> columns_;  // the file's columns that are analytes, in order
    // The groups in the order of their first row, found by the raw text of the field.
    std::vector<std::string> groupNames_;
    // Per analyte, per group, the numbers; in blocks, so that the memory follows the data
    // without a copy as it grows.
    std::vector<std::vector<std::deque<double>>> cells_;
    // Per group, per analyte: values, and fields that held something but no number.
    std::vector<std::vector<int>> counts_, skipped_;
    std::vector<int> withoutGroup_;  // per analyte: values in rows with an empty group
};

BatchData::BatchData(TableStream& table, const std::optional<std::size_t>& groupColumn)
    : groupColumn_(groupColumn) {
    const std::size_t columns = table.headings().size();
    for (std::size_t c = 0; c < columns; ++c)
        if (!groupColumn || c != *groupColumn) columns_.push_back(c);
    const std::size_t analytes = columns_.size();
    withoutGroup_.assign(analytes, 0);
    cells_.assign(analytes, std::vector<std::deque<double>>(groupColumn ? 0 : 1));
    if (!groupColumn) {
        counts_.assign(1, std::vector<int>(analytes, 0));
        skipped_ = counts_;
    }

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
                for (std::size_t a = 0; a < analytes; ++a) use(a);
                return;
            }
            for (std::size_t c : *filled)
                if (c < analyteOf.size() && analyteOf[c] != kNone) use(analyteOf[c]);
        };
        std::uint32_t group = 0;
        if (groupColumn) {
            const std::string_view raw = trimmed(field(*groupColumn));
            if (raw.empty()) {
                eachAnalyte([&](std::size_t a) {
                    if (table.number(field(columns_[a]))) ++withoutGroup_[a];
                });
                continue;
            }
            auto it = groupIndex.find(raw);
            if (it == groupIndex.end()) {
                it = groupIndex
                         .emplace(std::string(raw), static_cast<std::uint32_t>(groupNames_.size()))
                         .first;
                groupNames_.push_back(table.text(raw));
                counts_.emplace_back(analytes, 0);
                skipped_.emplace_back(analytes, 0);
                for (auto& sets : cells_) sets.emplace_back();
            }
            group = it->second;
        }
        auto& counts = counts_[group];
        auto& skipped = skipped_[group];
        eachAnalyte([&](std::size_t a) {
            const std::string_view f = field(columns_[a]);
            const auto v = table.number(f);
            if (v) {
                ++counts[a];
                cells_[a][group].push_back(*v);
            } else if (f.find_first_not_of(" \t") != std::string_view::npos) {
                ++skipped[a];
            }
        });
    }
}

std::vector<BatchRow> BatchData::takeRows(const TableStream& table, std::size_t a,
                                          const BatchEvaluator& evaluate) {
    const std::string& heading = table.headings()[columns_[a]];
    const std::size_t sets = groups();
    // This analyte's values, per group (one set without a group column), in the file's order.
    // The blocks are let go as soon as their numbers are in one piece.
    std::vector<std::vector<double>> values(sets);
    for (std::size_t g = 0; g < sets; ++g) values[g] = inOnePiece(cells_[a][g]);

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
        row.skipped = skipped_[g][a];
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
        if (g == 0 && withoutGroup_[a] > 0)
            appendMessage(row.message, "グループが空欄の値" + std::to_string(withoutGroup_[a]) +
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
    if (progress && !progress(0, summary.analytesTotal)) {
        summary.cancelled = true;
        return summary;
    }
    // Each analyte's rows wait in their slot until the analytes before them are handed on.
    std::vector<std::optional<std::vector<BatchRow>>> done(total);
    std::mutex mutex;
    std::condition_variable ready;
    std::atomic<std::size_t> next{0};
    std::atomic<bool> stop{false};
    std::exception_ptr failure;
    auto work = [&](const BatchEvaluator& evaluate) {
        try {
            while (!stop) {
                const std::size_t a = next++;
                if (a >= total) break;
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
            if (++handed == total) break;
        }
        if (progress && !progress(static_cast<int>(handed), summary.analytesTotal)) {
            summary.cancelled = true;
            break;
        }
    }
    stop = true;
    for (auto& worker : workers) worker.join();
    if (failure) std::rethrow_exception(failure);
    summary.analytes = static_cast<int>(handed);
    if (progress && !summary.cancelled) progress(summary.analytes, summary.analytesTotal);
    return summary;
}

}  // namespace kijunchi
