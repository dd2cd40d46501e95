#include "cli/report_command.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <optional>
#include <utility>

#include "analysis/number_text.h"
#include "analysis/store.h"
#include "evaluation/evaluation_text.h"
#include "evaluation/lambda_estimate.h"
#include "files/data_file.h"
#include "files/workbook.h"
#include "input/grid_sink.h"
#include "input/paste_reader.h"
#include "report/analysis_run.h"
#include "transform/power_transform.h"

namespace kijunchi {

namespace {

constexpr const char* kUsage =
    "使い方: kijunchi-report [--classes N] [--lambda L] "
    "[--show report|summary|table|lambda|data|evaluation] [--column N|見出し] [--sheet N|名前] "
    "[FILE]\n"
    "        kijunchi-report --verify LOW,HIGH [FILE]\n"
    "        kijunchi-report --group COLUMN [--column COLUMN] FILE\n"
    "        kijunchi-report --batch [--group COLUMN] [--format tsv|csv|json|xlsx] [--output OUT]\n"
    "                        [--sheet N|名前] FILE\n"
    "\n"
    "測定値の列（張り付けと同じ規則: 行は改行、列はTAB区切り）を FILE から、\n"
    "FILE が無いか - のときは標準入力から UTF-8 で読み、解析結果を表示します。\n"
    "\n"
    "  --classes N   ヒストグラムの階級数（4以上1000以下の整数、既定値 5）\n"
    "  --lambda L    データを修正ベキ変換してから解析する（L は入力どおりのλ。0 はlog変換）\n"
    "  --show report   統計量の画面の文章（既定）\n"
    "  --show summary  ヒストグラムの画面の見出し行\n"
    "  --show table    元データでのλごとのML（変換前のデータ）\n"
    "  --show lambda   元データでMLが最大となるλと95%信頼区間（変換前のデータ）\n"
    "  --show data     読み込んだ（変換した）データ、1行に1つ\n"
    "  --show evaluation  基準範囲の評価の画面の文章\n"
    "  --column N|見出し  FILE をデータファイル（CSV、TSV、テキスト。UTF-8 か Shift_JIS）か\n"
    "                ブック（.xlsx、.xlsm、.xls）として読み、N 番目（1から）の列か、\n"
    "                見出しがその名前の列を使う\n"
    "  --sheet N|名前  ブックのシート（番号か名前。既定は最初のシート）\n"
    "  --verify LOW,HIGH  採用する基準範囲（下限,上限）を20個以上の値で検証する\n"
    "  --group COLUMN  グループ列（番号か見出し）ごとに分割を検討する（値の列は --column、\n"
    "                既定はグループ列以外の最初の列）\n"
    "  --batch       FILE の各列を1項目として（--group があればグループごとに）一括評価し、\n"
    "                表を書き出す\n"
    "  --format F    一括評価の表の形式: tsv（既定）、csv、json、xlsx（--output が必要）\n"
    "  --output OUT  一括評価の表を OUT に書く（全体を書けたときだけ置き換える）\n"
    "  --help        この説明を表示する\n"
    "\n"
    "終了コード: 0 成功、1 計算エラー、2 指定の誤り・読めないファイル・受け付けない値、\n"
    "3 データがありません。\n";

enum class Show { Report, Summary, Table, Lambda, Data, Evaluation };

struct Options {
    std::string classes = "5";
    std::optional<std::string> lambda;
    Show show = Show::Report;
    std::string file = "-";
    std::optional<std::string> column;
    std::string sheet;  // a workbook's sheet: number from 1 or name; the first when empty
    bool help = false;
};

CommandOutput failure(int code, std::string message) {
    CommandOutput output;
    output.exitCode = code;
    output.err = std::move(message) + "\n";
    return output;
}

// Parses the arguments; an error message when they are not usable.
std::optional<std::string> parseArguments(const std::vector<std::string>& args, Options& options) {
    bool fileSeen = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        // The GNU long form --name=value beside --name value.
        std::optional<std::string> attached;
        if (arg.rfind("--", 0) == 0) {
            const std::size_t equals = arg.find('=');
            if (equals != std::string::npos) {
                attached = arg.substr(equals + 1);
                arg.erase(equals);
            }
        }
        auto value = [&]() -> std::optional<std::string> {
            if (attached) return attached;
            if (i + 1 >= args.size()) return std::nullopt;
            return args[++i];
        };
        if (attached && arg != "--classes" && arg != "--lambda" && arg != "--show" &&
            arg != "--column" && arg != "--sheet") {
            return "不明なオプションです: " + args[i];
        }
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--classes" || arg == "--lambda" || arg == "--show" ||
                   arg == "--column" || arg == "--sheet") {
            auto v = value();
            if (!v) return arg + " に値がありません。";
            if (arg == "--classes") options.classes = *v;
            if (arg == "--lambda") options.lambda = *v;
            if (arg == "--column") options.column = *v;
            if (arg == "--sheet") options.sheet = *v;
            if (arg == "--show") {
                if (*v == "report")
                    options.show = Show::Report;
                else if (*v == "summary")
                    options.show = Show::Summary;
                else if (*v == "table")
                    options.show = Show::Table;
                else if (*v == "lambda")
                    options.show = Show::Lambda;
                else if (*v == "data")
                    options.show = Show::Data;
                else if (*v == "evaluation")
                    options.show = Show::Evaluation;
                else
                    return "--show には report, summary, table, lambda, data, evaluation "
                           "のどれかを指定して下さい。";
            }
        } else if (arg.size() > 1 && arg[0] == '-' && arg != "-") {
            return "不明なオプションです: " + arg;
        } else {
            if (fileSeen) return "ファイルは1つだけ指定して下さい。";
            options.file = arg;
            fileSeen = true;
        }
    }
    return std::nullopt;
}

// Collects what the run prints into the histogram window's picture.
class SummaryCanvas final : public NullCanvas {
public:
    std::string text;
    void clear() override { text.clear(); }
    void printLine(std::string_view line) override {
        text += line;
        text += "\r\n";
    }
};

class TextReport final : public ReportSink {
public:
    std::string text;
    void setStatisticsText(const std::string& t) override { text = t; }
};

// Feeds the whole input (standard input for "-") to the reader, without a UTF-8 byte order
// mark at its start, and stops at the empty line that ends the data. False when the input
// cannot be opened or read.
bool readInput(const std::string& file, const InputReader& readStdin, FieldReader& reader) {
    int fd = -1;
    if (file != "-") {
        do {
            fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
        } while (fd < 0 && errno == EINTR);
        if (fd < 0) return false;
    }
    auto readChunk = [&](char* buffer, std::size_t size) -> std::ptrdiff_t {
        if (fd < 0) return readStdin(buffer, size);
        for (;;) {
            const ssize_t n = ::read(fd, buffer, size);
            if (n >= 0 || errno != EINTR) return n;
        }
    };
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    std::string head;  // the first bytes, until the mark can be told
    bool headDone = false;
    bool ok = true;
    std::vector<char> buffer(1 << 16);
    while (!reader.ended()) {
        const std::ptrdiff_t n = readChunk(buffer.data(), buffer.size());
        if (n < 0) {
            ok = false;
            break;
        }
        if (n == 0) break;
        std::string_view chunk(buffer.data(), static_cast<std::size_t>(n));
        if (!headDone) {
            head.append(chunk);
            if (head.size() < kByteOrderMark.size() &&
                kByteOrderMark.substr(0, head.size()) == head)
                continue;
            headDone = true;
            reader.feed(std::string_view(head).substr(head.rfind(kByteOrderMark, 0) == 0 ? 3 : 0));
            head.clear();
            continue;
        }
        reader.feed(chunk);
    }
    if (ok && !headDone) reader.feed(head);  // fewer bytes than a whole mark
    if (fd >= 0) ::close(fd);
    if (!ok) return false;
    reader.finish();
    return true;
}

}  // namespace

InputReader textReader(std::string text) {
    auto position = std::make_shared<std::size_t>(0);
    auto held = std::make_shared<std::string>(std::move(text));
    return [held, position](char* buffer, std::size_t size) -> std::ptrdiff_t {
        const std::size_t n = std::min(size, held->size() - *position);
        held->copy(buffer, n, *position);
        *position += n;
        return static_cast<std::ptrdiff_t>(n);
    };
}

int writeCommandOutput(const CommandOutput& output) {
    const bool written =
        std::fwrite(output.out.data(), 1, output.out.size(), stdout) == output.out.size() &&
        std::fflush(stdout) == 0;
    std::fwrite(output.err.data(), 1, output.err.size(), stderr);
    if (!written) {
        std::fputs("標準出力に書き込めません。\n", stderr);
        std::fflush(stderr);
        return 2;
    }
    std::fflush(stderr);
    return output.exitCode;
}

CommandOutput runReportCommand(const std::vector<std::string>& args, const InputReader& readStdin) {
    Options options;
    if (auto error = parseArguments(args, options)) return failure(2, *error + "\n" + kUsage);
    if (options.help) return CommandOutput{0, kUsage, {}};

    const auto classCount = readClassCount(options.classes);
    if (!classCount) return failure(2, kClassCountMessage);

    FieldReader reader;
    std::int64_t fileSkipped = 0;  // fields of the chosen column that held no number
    bool decimalComma = false;
    std::string fileNotes;
    if (options.column) {
        // A data file: the chosen column's values are read as a paste reads them.
        const bool fromStdin = options.file == "-";
        DataFileResult read;
        std::vector<std::string> notes;  // a workbook's dates, error cells, formulas
        if (fromStdin) {
            std::string bytes;
            std::vector<char> buffer(1 << 16);
            for (;;) {
                const std::ptrdiff_t n = readStdin(buffer.data(), buffer.size());
                if (n < 0) return failure(2, "標準入力を読めません。");
                if (n == 0) break;
                bytes.append(buffer.data(), static_cast<std::size_t>(n));
                if (bytes.size() > kMaxDataFileBytes) break;
            }
            read = readDataText(bytes);
        } else {
            TableFileRead table = readTableFile(options.file, options.sheet);  // or a workbook
            if (!table.refusal.empty()) return failure(2, tableFileMessage(table, options.file));
            read = std::move(table.read);
            notes = std::move(table.notes);
        }
        if (read.problem != FileProblem::None) {
            return failure(2,
                           fileProblemMessage(read.problem, fromStdin ? "標準入力" : options.file));
        }
        auto column = findColumn(read.file, *options.column);
        if (!column) {
            std::string message = "列「" + *options.column + "」がありません。列:";
            for (std::size_t c = 0; c < read.file.columns.size(); ++c) {
                message +=
                    "\n  " + std::to_string(c + 1) + ": " + columnLabel(read.file.columns[c]);
            }
            return failure(2, message);
        }
        const DataColumn& chosen = read.file.columns[*column];
        reader.feed(columnValuesText(chosen));
        reader.finish();
        fileSkipped = chosen.skipped;
        decimalComma = read.file.decimalComma;
        for (const auto& note : notes) fileNotes += note + "\n";
    } else if (!readInput(options.file, readStdin, reader)) {
        return failure(2, options.file == "-" ? std::string("標準入力を読めません。")
                                              : "ファイルを読めません: " + options.file);
    }

    CommandOutput output;

    AnalysisStore store;
    NullGrid grid;
    storeMeasuredValues(store, reader.values(), grid);
    store.ValuesRead = reader.result().valuesFound;
    PasteResult reading = reader.result();
    reading.fieldsSkipped += fileSkipped;
    if (const std::string message = readingMessage(reading); !message.empty())
        output.err += message + "\n";
    if (decimalComma) output.err += std::string(kDecimalCommaNotice) + "\n";
    output.err += fileNotes;

    // An unusable λ text is refused whatever is shown.
    if (options.lambda && !wholeNumber(*options.lambda)) {
        output.exitCode = 2;
        output.err += std::string(kLambdaRefusedMessage) + "\n";
        return output;
    }
    if (options.show == Show::Table) {
        output.out = likelihoodTable(store);
        return output;
    }
    if (options.show == Show::Lambda) {
        const std::vector<double> values = tableValues(store);
        const auto estimate = estimateLambda(values);
        (estimate ? output.out : output.err) += lambdaEstimateText(estimate, values) + "\n";
        if (!estimate) output.exitCode = 1;
        return output;
    }
    if (options.lambda && !applyLambda(store, *options.lambda, grid)) {
        output.exitCode = 2;
        output.err += std::string(kLambdaRefusedMessage) + "\n";
        return output;
    }
    if (store.WorkCount == 0) {
        output.exitCode = 3;
        output.err += "データがありません。\n";
        return output;
    }
    if (options.show == Show::Data) {
        for (int i = 1; i <= store.WorkCount; ++i)
            output.out += store.DataValues[static_cast<std::size_t>(i)].toText() + "\n";
        return output;
    }

    store.ClassCount = *classCount;
    SummaryCanvas picture;
    TextReport report;
    const RunStatus status = runAnalysis(store, picture, report);
    // The evaluation needs nothing of the report: it is shown whatever the run found, and
    // says itself what the run could not give it.
    if (options.show == Show::Evaluation) {
        output.out = evaluationTextAfterRun(store, status);
        return output;
    }
    if (status != RunStatus::Completed) {
        output.exitCode = 1;
        output.err += std::string(kCalcErrorMessage) + "\n";
        return output;
    }
    output.out = options.show == Show::Summary ? picture.text : report.text;
    return output;
}

}  // namespace kijunchi
