#include "cli/report_command.h"

#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>

#include "analysis/analysis_run.h"
#include "analysis/number_text.h"
#include "analysis/store.h"
#include "evaluation/evaluation_text.h"
#include "input/grid_sink.h"
#include "input/paste_reader.h"
#include "transform/power_transform.h"

namespace kijunchi {

namespace {

constexpr const char* kUsage =
    "使い方: kijunchi-report [--classes N] [--lambda L] "
    "[--show report|summary|table|data|evaluation] [FILE]\n"
    "\n"
    "測定値の列（張り付けと同じ規則: 行は改行、列はTAB区切り）を FILE から、\n"
    "FILE が無いか - のときは標準入力から UTF-8 で読み、解析結果を表示します。\n"
    "\n"
    "  --classes N   ヒストグラムの階級数（4以上の整数、既定値 5）\n"
    "  --lambda L    データを修正ベキ変換してから解析する（L は入力どおりのλ。0 はlog変換）\n"
    "  --show report   統計量の画面の文章（既定）\n"
    "  --show summary  ヒストグラムの画面の見出し行\n"
    "  --show table    元データでのλごとのML（変換前のデータ）\n"
    "  --show data     読み込んだ（変換した）データ、1行に1つ\n"
    "  --show evaluation  基準範囲の評価の画面の文章\n"
    "  --help        この説明を表示する\n"
    "\n"
    "終了コード: 0 成功、1 計算エラー、2 指定の誤り・読めないファイル・受け付けない値、\n"
    "3 データがありません。\n";

enum class Show { Report, Summary, Table, Data, Evaluation };

struct Options {
    std::string classes = "5";
    std::optional<std::string> lambda;
    Show show = Show::Report;
    std::string file = "-";
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
        const std::string& arg = args[i];
        auto value = [&](const char* name) -> std::optional<std::string> {
            if (i + 1 >= args.size()) return std::nullopt;
            (void)name;
            return args[++i];
        };
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--classes" || arg == "--lambda" || arg == "--show") {
            auto v = value(arg.c_str());
            if (!v) return arg + " に値がありません。";
            if (arg == "--classes") options.classes = *v;
            if (arg == "--lambda") options.lambda = *v;
            if (arg == "--show") {
                if (*v == "report")
                    options.show = Show::Report;
                else if (*v == "summary")
                    options.show = Show::Summary;
                else if (*v == "table")
                    options.show = Show::Table;
                else if (*v == "data")
                    options.show = Show::Data;
                else if (*v == "evaluation")
                    options.show = Show::Evaluation;
                else
                    return "--show には report, summary, table, data, evaluation "
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

}  // namespace

CommandOutput runReportCommand(const std::vector<std::string>& args,
                               const std::function<std::string()>& readStdin) {
    Options options;
    if (auto error = parseArguments(args, options)) return failure(2, *error + "\n" + kUsage);
    if (options.help) return CommandOutput{0, kUsage, {}};

    const auto classCount = readClassCount(options.classes);
    if (!classCount) return failure(2, kClassCountMessage);

    std::string text;
    if (options.file == "-") {
        text = readStdin();
    } else {
        std::ifstream in(options.file, std::ios::binary);
        if (!in) return failure(2, "ファイルを読めません: " + options.file);
        text.assign(std::istreambuf_iterator<char>(in), {});
        if (in.bad()) return failure(2, "ファイルを読めません: " + options.file);
    }
    if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);

    CommandOutput output;
    AnalysisStore store;
    NullGrid grid;
    const PasteResult paste = ReadPasteBuffer(store, text, grid);
    if (paste.truncated()) output.err += tooManyValuesMessage(paste.valuesFound) + "\n";

    if (options.show == Show::Table) {
        output.out = likelihoodTable(store);
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
    if (status != RunStatus::Completed) {
        output.exitCode = 1;
        output.err += std::string(kCalcErrorMessage) + "\n";
        return output;
    }
    if (options.show == Show::Evaluation)
        output.out = evaluationTextAfterRun(store, status);
    else
        output.out = options.show == Show::Summary ? picture.text : report.text;
    return output;
}

}  // namespace kijunchi
