#include "cli/report_command.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <utility>

#include "analysis/number_text.h"
#include "analysis/store.h"
#include "evaluation/evaluation_text.h"
#include "evaluation/exclusion.h"
#include "evaluation/lambda_estimate.h"
#include "files/column_reading.h"
#include "files/data_file.h"
#include "files/file_access.h"
#include "files/report_export.h"
#include "files/table_file.h"
#include "input/grid_sink.h"
#include "input/paste_reader.h"
#include "record/study_file.h"
#include "record/study_session.h"
#include "report/analysis_run.h"
#include "transform/power_transform.h"

namespace kijunchi {

namespace {

constexpr const char* kUsage =
    "使い方: kijunchi-report [--classes N] [--lambda L] "
    "[--show report|summary|table|lambda|data|evaluation] [--column N|見出し]\n"
    "                        [--header yes|no] [--sheet N|名前] [--save-study F] [--pdf F]\n"
    "                        [FILE | --study F]\n"
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
    "  --header yes|no  データファイルの1行目を見出しとするか（既定はデータから判断）\n"
    "  --sheet N|名前  ブックのシート（番号か名前。既定は最初のシート）\n"
    "  --verify LOW,HIGH  採用する基準範囲（下限,上限）を20個以上の値で検証する\n"
    "  --group COLUMN  グループ列（番号か見出し）ごとに分割を検討する（値の列は --column、\n"
    "                既定はグループ列以外の最初の列）\n"
    "  --batch       FILE の各列を1項目として（--group があればグループごとに）一括評価し、\n"
    "                表を書き出す\n"
    "  --format F    一括評価の表の形式: tsv（既定）、csv、json、xlsx（--output が必要）\n"
    "  --output OUT  一括評価の表を OUT に書く（全体を書けたときだけ置き換える）\n"
    "  --exclude P[,P…]  読み込んだ順で P 番目（1から）の値を除外して解析する\n"
    "  --exclude-flagged tukey|horn|dixon  その規則が外れ値の候補とした値を除外して解析する\n"
    "  --author NAME  作成者（除外した人としても記録する名前）\n"
    "  --analyte T, --unit T, --method T, --facility T, --approver T\n"
    "                文書の見出しの項目名、単位、測定法・機器、施設、承認者\n"
    "  --study F     データの代わりに検討ファイル F（.kijunchi）を読む\n"
    "  --save-study F  検討（データ、設定、除外、見出し、記録）を F に保存する\n"
    "  --pdf F       印刷と同じA4の文書をPDFファイル F に書き出す\n"
    "  --help        この説明を表示する\n"
    "\n"
    "終了コード: 0 成功、1 計算エラー、2 指定の誤り・読めないファイル・受け付けない値、\n"
    "3 データがありません。\n";

enum class Show { Report, Summary, Table, Lambda, Data, Evaluation };

struct Options {
    std::optional<std::string> classes;
    std::optional<std::string> lambda;
    Show show = Show::Report;
    bool showGiven = false;
    std::optional<std::string> study, saveStudy, pdf;
    StudyHeader studyHeader;
    std::string file = "-";
    std::optional<std::string> column;
    std::string sheet;  // a workbook's sheet: number from 1 or name; the first when empty
    std::vector<int> excludePositions;
    std::vector<OutlierRule> excludeRules;
    std::optional<bool> header;
    bool help = false;
};

// "3,17" as positions from 1; nullopt when a part is no whole number of at least 1.
std::optional<std::vector<int>> positionList(const std::string& text) {
    std::vector<int> positions;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find(',', start), text.size());
        const auto v = wholeNumber(text.substr(start, end - start));
        if (!v || *v < 1 || *v > 1e9 || *v != static_cast<int>(*v)) return std::nullopt;
        positions.push_back(static_cast<int>(*v));
        start = end + 1;
    }
    return positions;
}

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
        // The header of the documents, and the study's files.
        const std::pair<const char*, std::string*> texts[] = {
            {"--analyte", &options.studyHeader.analyte},
            {"--unit", &options.studyHeader.unit},
            {"--method", &options.studyHeader.method},
            {"--facility", &options.studyHeader.facility},
            {"--author", &options.studyHeader.author},
            {"--approver", &options.studyHeader.approver}};
        const std::pair<const char*, std::optional<std::string>*> files[] = {
            {"--study", &options.study},
            {"--save-study", &options.saveStudy},
            {"--pdf", &options.pdf}};
        const auto text = std::find_if(std::begin(texts), std::end(texts),
                                       [&](const auto& t) { return arg == t.first; });
        const auto file = std::find_if(std::begin(files), std::end(files),
                                       [&](const auto& f) { return arg == f.first; });
        if (text != std::end(texts) || file != std::end(files)) {
            auto v = value();
            if (!v) return arg + " に値がありません。";
            if (text != std::end(texts)) *text->second = *v;
            if (file != std::end(files)) {
                if (v->empty()) return arg + " にファイル名を指定して下さい。";
                *file->second = *v;
            }
            continue;
        }
        if (arg == "--exclude" || arg == "--exclude-flagged") {
            auto v = value();
            if (!v) return arg + " に値がありません。";
            if (arg == "--exclude") {
                const auto positions = positionList(*v);
                if (!positions)
                    return "--exclude には1以上の整数の位置をコンマで区切って指定して下さい。";
                options.excludePositions.insert(options.excludePositions.end(), positions->begin(),
                                                positions->end());
            } else {
                const auto rules = outlierRulesNamed(*v);
                if (!rules)
                    return "--exclude-flagged には tukey, horn, dixon のどれかを指定して下さい。";
                options.excludeRules.insert(options.excludeRules.end(), rules->begin(),
                                            rules->end());
            }
            continue;
        }
        if (attached && arg != "--classes" && arg != "--lambda" && arg != "--show" &&
            arg != "--column" && arg != "--header" && arg != "--sheet") {
            return "不明なオプションです: " + args[i];
        }
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--classes" || arg == "--lambda" || arg == "--show" ||
                   arg == "--column" || arg == "--header" || arg == "--sheet") {
            auto v = value();
            if (!v) return arg + " に値がありません。";
            if (arg == "--header") {
                if (*v != "yes" && *v != "no") return "--header には yes か no を指定して下さい。";
                options.header = *v == "yes";
            }
            if (arg == "--classes") options.classes = *v;
            if (arg == "--lambda") options.lambda = *v;
            if (arg == "--column") options.column = *v;
            if (arg == "--sheet") options.sheet = *v;
            if (arg == "--show") {
                options.showGiven = true;
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
    if (options.header && !options.column) return "--header は --column と一緒に指定して下さい。";
    if (options.study && (fileSeen || options.column))
        return "--study はデータのファイルや --column と一緒には指定できません。";
    return std::nullopt;
}

constexpr const char* kPdfUnavailable =
    "--pdf は使えません。この kijunchi-report はデスクトップ版なしで作られています。";

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

std::optional<std::string> readPastedValues(const std::string& file, const InputReader& readStdin,
                                            FieldReader& reader) {
    const bool fromStdin = file == "-";
    const std::string unreadable =
        fromStdin ? std::string("標準入力を読めません。") : "ファイルを読めません: " + file;
    int fd = -1;
    if (!fromStdin) {
        do {
            fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
        } while (fd < 0 && errno == EINTR);
        if (fd < 0) return unreadable;
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
    std::optional<std::string> problem;
    std::uint64_t total = 0;
    std::vector<char> buffer(1 << 16);
    while (!reader.ended()) {
        const std::ptrdiff_t n = readChunk(buffer.data(), buffer.size());
        if (n < 0) {
            problem = unreadable;
            break;
        }
        if (n == 0) break;
        total += static_cast<std::uint64_t>(n);
        if (total > kMaxDataFileBytes) {
            problem = fileProblemMessage(FileProblem::TooLarge, fromStdin ? "標準入力" : file);
            break;
        }
        std::string_view chunk(buffer.data(), static_cast<std::size_t>(n));
        if (!headDone) {
            head.append(chunk);
            if (head.size() < kByteOrderMark.size() &&
                kByteOrderMark.substr(0, head.size()) == head)
                continue;
            headDone = true;
            // A workbook read as pasted text would give its bytes' digits: its column is asked for.
            // A workbook is read from its file only.
            if (workbookKind(head) != WorkbookKind::None) {
                problem = fromStdin ? std::string(
                                          "標準入力のデータはブックです。ブックはファイル名と、"
                                          "読む列を --column で指定して下さい。")
                                    : "「" + file +
                                          "」はブックです。読む列を --column で指定して下さい。";
                break;
            }
            reader.feed(std::string_view(head).substr(head.rfind(kByteOrderMark, 0) == 0 ? 3 : 0));
            head.clear();
            continue;
        }
        reader.feed(chunk);
    }
    if (!problem && !headDone) reader.feed(head);  // fewer bytes than a whole mark
    if (fd >= 0) ::close(fd);
    if (problem) return problem;
    if (reader.result().fieldTooLong)
        return fileProblemMessage(FileProblem::LineTooLong, fromStdin ? "標準入力" : file);
    reader.finish();
    return std::nullopt;
}

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

InputReader standardInputReader() {
    return [](char* buffer, std::size_t size) {
        for (;;) {
            const ssize_t n = ::read(STDIN_FILENO, buffer, size);
            if (n >= 0 || errno != EINTR) return static_cast<std::ptrdiff_t>(n);
        }
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

namespace {

// The data set as read, before any option changes it: the values and where they came from.
struct ReadData {
    Study study;          // values, valuesFound, and an opened study's whole record
    bool opened = false;  // a saved study in place of the data
    StudySource source;   // of data read now
    std::string notes;    // what the reading of a data file tells
};

// A data file's column: read as a paste reads it.
std::optional<CommandOutput> readColumnFile(const Options& options, const InputReader& readStdin,
                                            FieldReader& reader, ReadData& data) {
    const bool fromStdin = options.file == "-";
    DataReadOptions readOptions;
    readOptions.headings = options.header;
    DataFileResult read;
    std::vector<std::string> workbookNotes;  // a workbook's dates, error cells, formulas
    std::vector<std::string> sheets;
    std::string bytes;
    if (fromStdin) {
        if (auto problem = readWholeInput(readStdin, bytes)) return failure(2, *problem);
        read = readDataText(bytes, readOptions);
    } else {
        TableFileRead table = readTableFile(options.file, options.sheet, readOptions);
        if (!table.refusal.empty()) return failure(2, tableFileMessage(table, options.file));
        read = std::move(table.read);  // a data file or a workbook's sheet
        workbookNotes = std::move(table.notes);
        sheets = std::move(table.sheets);
    }
    if (read.problem != FileProblem::None)
        return failure(2, fileProblemMessage(read.problem, fromStdin ? "標準入力" : options.file));
    const auto column = findColumn(read.file, *options.column);
    if (!column) {
        std::string message = "列「" + *options.column + "」がありません。列:";
        for (std::size_t c = 0; c < read.file.columns.size(); ++c)
            message += "\n  " + std::to_string(c + 1) + ": " + columnLabel(read.file.columns[c]);
        return failure(2, message);
    }
    const ColumnReading reading = readColumn(read.file, *column);
    reader.feed(reading.valuesText);
    reader.finish();
    data.notes = reading.message;
    for (const auto& note : workbookNotes) data.notes += (data.notes.empty() ? "" : "\n") + note;
    data.study.valuesFound = reading.counts.valuesFound;
    // The column by its heading, as the desktop program records it; by its number without one.
    const DataColumn& chosen = read.file.columns[*column];
    data.source.column = chosen.heading.empty() ? std::to_string(*column + 1) : chosen.heading;
    if (!sheets.empty()) data.source.sheet = recordedSheet(options.sheet, sheets);
    if (fromStdin) data.source.sha256 = sha256Hex(bytes);
    return std::nullopt;
}

// Reads the data set the options name: a study, a data file's column, or a paste's values.
std::optional<CommandOutput> readData(const Options& options, const InputReader& readStdin,
                                      ReadData& data) {
    if (options.study) {
        std::string message;
        auto opened = openStudyFile(*options.study, message);
        if (!opened) return failure(2, message);
        data.study = std::move(*opened);
        data.opened = true;
        return std::nullopt;
    }
    FieldReader reader;
    reader.keepTexts();
    const bool fromStdin = options.file == "-";
    if (options.column) {
        if (auto failed = readColumnFile(options, readStdin, reader, data)) return failed;
    } else if (auto problem = readPastedValues(options.file, readStdin, reader)) {
        return failure(2, *problem);
    } else {
        data.notes = readingMessage(reader.result());
        data.study.valuesFound = reader.result().valuesFound;
    }
    data.study.programVersion = programVersion();
    data.study.values = reader.texts();
    data.source.origin = fromStdin ? kOriginStdin : kOriginFile;
    data.source.file = fromStdin ? "" : std::filesystem::path(options.file).filename().string();
    // The file's bytes as they lie on disk, for the record only.
    if (!fromStdin && options.saveStudy) {
        auto digest = fileSha256(options.file, kMaxDataFileBytes);
        if (!digest) return failure(2, "ファイルを読めません: " + options.file);
        data.source.sha256 = std::move(*digest);
    }
    return std::nullopt;
}

// Makes the store the data set read, untransformed (the likelihood views want it so), and
// applies the header and the exclusions the options give, through the session's record.
std::optional<CommandOutput> applyOptions(const Options& options, ReadData& data,
                                          StudySession& session, AnalysisStore& store,
                                          GridSink& grid, int classes, const std::string& when) {
    Study untransformed = data.study;
    untransformed.lambda.clear();
    untransformed.classes = classes;
    if (rebuildStore(untransformed, store, grid) != StudyRefusal::None)
        return failure(
            2, studyRefusalMessage(StudyRefusal::Damaged, options.study.value_or(options.file)));
    if (data.opened)
        session.opened(data.study, *options.study, when);
    else
        session.dataRead(data.source, when);
    // The header given beside a study replaces its items one by one.
    StudyHeader header = store.Header;
    for (auto [given, kept] : {std::pair{&options.studyHeader.analyte, &header.analyte},
                               {&options.studyHeader.unit, &header.unit},
                               {&options.studyHeader.method, &header.method},
                               {&options.studyHeader.facility, &header.facility},
                               {&options.studyHeader.author, &header.author},
                               {&options.studyHeader.approver, &header.approver}})
        if (!given->empty()) *kept = *given;
    session.setHeader(header, when);

    if (options.excludePositions.empty() && options.excludeRules.empty()) return std::nullopt;
    const std::vector<double> asRead = valuesAsRead(store);
    for (int p : options.excludePositions)
        if (p > static_cast<int>(asRead.size()))
            return failure(2, "除外する位置 " + std::to_string(p) +
                                  " にデータがありません（データ数 " +
                                  std::to_string(asRead.size()) + "）。");
    const std::string who = session.exclusionWho();
    std::vector<ExcludedValue> added = flaggedExclusions(asRead, options.excludeRules, who, when);
    for (const ExcludedValue& e : positionExclusions(asRead, options.excludePositions, who, when))
        added.push_back(e);
    session.addExclusions(added, grid, when);
    return std::nullopt;
}

// Writes the study and the PDF the options ask for.
std::optional<CommandOutput> writeFiles(const Options& options, StudySession& session,
                                        const AnalysisStore& beforeRun, RunStatus status,
                                        int classes, const std::string& when,
                                        const PdfWriter& writePdf, CommandOutput& output) {
    if (options.saveStudy)
        if (const std::string error = session.save(*options.saveStudy, classes, when);
            !error.empty())
            return failure(2, error);
    if (!options.pdf) return std::nullopt;
    if (status != RunStatus::Completed) {
        output.exitCode = 1;
        output.err += std::string(kCalcErrorMessage) + "\n";
        return output;
    }
    const std::string now = localTimeText("%Y/%m/%d %H:%M");
    PdfHead pdfHead{session.description(now), session.runningHead(now)};
    if (const std::string error = writePdf(*options.pdf, beforeRun, pdfHead); !error.empty())
        return failure(2, error);
    return std::nullopt;
}

}  // namespace

std::optional<std::string> readWholeInput(const InputReader& readStdin, std::string& bytes) {
    std::vector<char> buffer(1 << 16);
    for (;;) {
        const std::ptrdiff_t n = readStdin(buffer.data(), buffer.size());
        if (n < 0) return std::string("標準入力を読めません。");
        if (n == 0) return std::nullopt;
        bytes.append(buffer.data(), static_cast<std::size_t>(n));
        if (bytes.size() > kMaxDataFileBytes)
            return fileProblemMessage(FileProblem::TooLarge, "標準入力");
    }
}

CommandOutput runReportCommand(const std::vector<std::string>& args, const InputReader& readStdin,
                               const PdfWriter& writePdf) {
    Options options;
    if (auto error = parseArguments(args, options)) return failure(2, *error + "\n" + kUsage);
    if (options.help) return CommandOutput{0, kUsage, {}};
    if (options.pdf && !writePdf) return failure(2, kPdfUnavailable);
    // Outputs go to a regular file or a new one, never over a device: refused before any work.
    for (const auto* output : {&options.pdf, &options.saveStudy})
        if (*output)
            if (std::string refused = outputRefusal(**output); !refused.empty())
                return failure(2, refused);

    ReadData data;
    if (auto failed = readData(options, readStdin, data)) return *failed;
    // A saved study's λ and class count, unless the options give their own.
    if (data.opened && !options.lambda && !data.study.lambda.empty())
        options.lambda = data.study.lambda;
    const auto classCount = readClassCount(options.classes ? *options.classes
                                           : data.opened   ? numberText(data.study.classes)
                                                           : "5");
    if (!classCount) return failure(2, kClassCountMessage);
    const int classes = static_cast<int>(*classCount);

    const std::string when = localTimeText();
    AnalysisStore store;
    NullGrid grid;
    StudySession session(store);
    if (auto failed = applyOptions(options, data, session, store, grid, classes, when))
        return *failed;
    CommandOutput output;
    if (!data.notes.empty()) output.err += data.notes + "\n";

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
    session.transformed(options.lambda.value_or(""), when);
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
    std::unique_ptr<AnalysisStore> beforeRun;
    if (options.pdf) beforeRun = std::make_unique<AnalysisStore>(store);
    SummaryCanvas picture;
    TextReport report;
    const RunStatus status = runAnalysis(store, picture, report);
    if (status == RunStatus::Completed)
        session.analysed(classes, localTimeText("%Y/%m/%d %H:%M"), when);
    if (auto failed = writeFiles(options, session, beforeRun ? *beforeRun : store, status, classes,
                                 when, writePdf, output))
        return *failed;
    // With files to write, the views go to standard output only when asked for.
    if ((options.pdf || options.saveStudy) && !options.showGiven) {
        if (status != RunStatus::Completed) {
            output.exitCode = 1;
            output.err += std::string(kCalcErrorMessage) + "\n";
        }
        return output;
    }

    // The study's texts begin with its header; those of a bare data set stay as they were.
    const std::string head = session.textHead(options.show != Show::Evaluation);
    // The evaluation needs nothing of the report: it is shown whatever the run found, and
    // says itself what the run could not give it.
    if (options.show == Show::Evaluation) {
        output.out = head + evaluationTextAfterRun(store, status);
        return output;
    }
    if (status != RunStatus::Completed) {
        output.exitCode = 1;
        output.err += std::string(kCalcErrorMessage) + "\n";
        return output;
    }
    output.out = head + (options.show == Show::Summary ? picture.text : report.text);
    return output;
}

}  // namespace kijunchi
