#include "cli/study_command.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "analysis/number_text.h"
#include "analysis/store.h"
#include "cli/report_command.h"
#include "evaluation/exclusion.h"
#include "files/data_file.h"
#include "files/workbook.h"
#include "input/grid_sink.h"
#include "input/paste_reader.h"
#include "record/study_file.h"
#include "record/study_session.h"
#include "study/batch.h"
#include "study/batch_evaluation.h"
#include "study/batch_workbook.h"
#include "study/partition.h"
#include "study/study_text.h"
#include "study/table_stream.h"
#include "study/verification.h"

namespace kijunchi {

namespace {

constexpr const char* kStudyUsage =
    "使い方: kijunchi-report --verify LOW,HIGH [FILE]\n"
    "        kijunchi-report --group COLUMN [--column COLUMN] [--sheet N|NAME] [--save-study F] "
    "FILE\n"
    "        kijunchi-report --batch [--group COLUMN] [--format tsv|csv|json|xlsx] [--output OUT]\n"
    "                        [--sheet N|NAME] FILE\n"
    "        kijunchi-report --study F (--verify LOW,HIGH | --group)\n"
    "        kijunchi-report --verify-table jccls|TABLE --analyte NAME [--sex M|F] [--age YEARS]\n"
    "                        [FILE]\n"
    "\n"
    "  --verify LOW,HIGH  採用する基準範囲（下限,上限）を20個以上の値で検証する\n"
    "                     （値は張り付けと同じ規則で FILE か標準入力から読む）\n"
    "  --verify-table T   採用中の基準範囲の表（jccls: JCCLS共用基準範囲、または CSV の表）の\n"
    "                     --analyte の項目（--sex M|F で性別、--age で年齢（歳））で検証する\n"
    "  --group COLUMN     グループ列（番号か見出し）ごとに分割を検討する\n"
    "  --column COLUMN    --group で検討する値の列（既定はグループ列以外の最初の列）\n"
    "  --batch            ファイルの各列を1項目として一括評価し、表を書き出す\n"
    "  --format F         一括評価の表の形式: tsv（既定）、csv、json、xlsx（--output が必要）\n"
    "  --output OUT       一括評価の表を OUT に書く（全体を書けたときだけ置き換える）\n"
    "  --sheet N|NAME     ブック（.xlsx、.xlsm、.xls）のシート（既定は最初のシート）\n"
    "  --save-study F     --group の値とグループを検討ファイル F に保存する\n"
    "  --study F          FILE の代わりに検討ファイル F を読む（--group は列なしで、\n"
    "                     保存したグループを使う）\n";

struct StudyOptions {
    std::optional<std::string> verify, group, column, format, output, sheet, study, saveStudy;
    std::optional<std::string> verifyTable, analyte, sex, age;
    bool batch = false;
    std::string file = "-";
};

int usage(std::ostream& err, const std::string& message) {
    err << message << "\n\n" << kStudyUsage;
    return 2;
}

std::optional<std::string> parse(const std::vector<std::string>& args, StudyOptions& o) {
    bool fileSeen = false;
    const bool studyGiven = std::find(args.begin(), args.end(), "--study") != args.end();
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::optional<std::string>& to) -> std::optional<std::string> {
            if (i + 1 >= args.size()) return a + " に値がありません。";
            to = args[++i];
            return std::nullopt;
        };
        std::optional<std::string> error;
        if (a == "--verify")
            error = value(o.verify);
        else if (a == "--verify-table")
            error = value(o.verifyTable);
        else if (a == "--analyte")
            error = value(o.analyte);
        else if (a == "--sex")
            error = value(o.sex);
        else if (a == "--age")
            error = value(o.age);
        else if (a == "--group" && studyGiven &&
                 (i + 1 >= args.size() || args[i + 1].rfind("--", 0) == 0))
            o.group = "";  // the study's own groups
        else if (a == "--group")
            error = value(o.group);
        else if (a == "--study")
            error = value(o.study);
        else if (a == "--save-study")
            error = value(o.saveStudy);
        else if (a == "--column")
            error = value(o.column);
        else if (a == "--format")
            error = value(o.format);
        else if (a == "--output")
            error = value(o.output);
        else if (a == "--sheet")
            error = value(o.sheet);
        else if (a == "--batch")
            o.batch = true;
        else if (a.size() > 1 && a[0] == '-' && a != "-")
            return "この指定とは一緒に使えないか、不明なオプションです: " + a;
        else if (fileSeen)
            return "ファイルは1つだけ指定して下さい。";
        else {
            o.file = a;
            fileSeen = true;
        }
        if (error) return error;
    }
    if (o.verifyTable && o.verify) return "--verify と --verify-table は一緒に使えません。";
    if ((o.analyte || o.sex || o.age) && !o.verifyTable)
        return "--analyte、--sex と --age は --verify-table と一緒に指定して下さい。";
    if (o.verifyTable && !o.analyte)
        return "--verify-table には --analyte で項目を指定して下さい。";
    if (o.sex && *o.sex != "M" && *o.sex != "F")
        return "--sex には M（男）か F（女）を指定して下さい。";
    if (o.age) {
        const auto years = wholeNumber(*o.age);
        if (!years || *years < 0)
            return "--age には年齢（歳）を0以上の数値で指定して下さい: " + *o.age;
    }
    if (o.verifyTable && (o.batch || o.group))
        return "--verify-table は --group や --batch と一緒に使えません。";
    if (o.verify && (o.batch || o.group))
        return "--verify は --group や --batch と一緒に使えません。";
    if (o.format && !o.batch) return "--format は --batch と一緒に指定して下さい。";
    if (o.output && !o.batch) return "--output は --batch と一緒に指定して下さい。";
    if (o.sheet && (o.verify || o.verifyTable))
        return "--sheet は --group か --batch と一緒に指定して下さい。";
    if (o.format && *o.format == "xlsx" && !o.output)
        return "--format xlsx では --output で書き出すファイルを指定して下さい。";
    if (o.column && !o.group) return "--column は --group と一緒に指定して下さい。";
    if (o.study && (fileSeen || o.column || o.batch))
        return "--study はデータのファイルや --column、--batch と一緒には指定できません。";
    if (o.saveStudy && !o.group) return "--save-study は --group と一緒に指定して下さい。";
    if ((o.batch || o.group) && o.file == "-" && !o.study)
        return "--group と --batch ではデータのファイルを指定して下さい。";
    return std::nullopt;
}

int verify(const StudyOptions& o, const InputReader& readStdin, std::ostream& out,
           std::ostream& err) {
    const auto comma = o.verify ? o.verify->find(',') : std::string::npos;
    if (o.verify && comma == std::string::npos)
        return usage(err, "--verify には 下限,上限 の形で2つの数値を指定して下さい。");
    AdoptedTable table;
    if (o.verifyTable) {
        table = loadAdoptedTable(*o.verifyTable);
        if (!table.problem.empty()) {
            err << table.problem << "\n";
            return 2;
        }
    }
    AnalysisStore store;
    NullGrid grid;
    if (o.study) {
        // The study's data set as measured: its values without those it excludes.
        std::string message;
        auto study = openStudyFile(*o.study, message);
        if (!study) {
            err << message << "\n";
            return 2;
        }
        study->lambda.clear();
        rebuildStore(*study, store, grid);
    } else {
        // Read as the report reads its input: the same limits, messages and exit statuses.
        FieldReader reader;
        if (auto problem = readPastedValues(o.file, readStdin, reader)) {
            err << *problem << "\n";
            return 2;
        }
        storeMeasuredValues(store, reader.values(), grid);
        if (const std::string message = readingMessage(reader.result()); !message.empty())
            err << message << "\n";
    }
    std::vector<double> values;
    for (int i = 1; i <= store.DataCount; ++i)
        values.push_back(store.AnalysisValues[static_cast<std::size_t>(i)].toNumber());
    std::optional<AdoptedSex> sex;
    if (o.sex) sex = *o.sex == "M" ? AdoptedSex::Male : AdoptedSex::Female;
    Verification v;
    if (o.verifyTable) {
        std::string reason;
        const std::optional<double> age = o.age ? wholeNumber(*o.age) : std::nullopt;
        const AdoptedRow* row = verificationRowAtAge(table, *o.analyte, sex, age, reason);
        v = verifyRow(table, row, reason, values);
    } else {
        v = verifyTypedInterval(o.verify->substr(0, comma), o.verify->substr(comma + 1), values);
    }
    if (!v.refusal.empty()) {
        err << v.refusal << "\n";
        return v.n < kVerificationMinimum && v.refusal.rfind("検証には", 0) == 0 ? 3 : 2;
    }
    out << verificationText(v);
    return 0;
}

// The partition's text of values in groups, under the name of the values' column.
int partition(const std::string& heading, const std::vector<double>& values,
              const std::vector<std::string>& labels, std::ostream& out, std::ostream& err) {
    const auto groups = groupValues(values, labels);
    const auto study = studyPartition(groups);
    if (!study.refusal.empty()) {
        err << study.refusal << "\n";
        return 3;
    }
    out << "項目 =\t" << heading << "\r\n";
    out << partitionText(study);
    out << groupLimitsText(groups);
    return 0;
}

int group(const StudyOptions& o, TableStream& table, std::ostream& out, std::ostream& err) {
    const auto groupColumn = table.findColumn(*o.group);
    if (!groupColumn) return usage(err, "グループ列が見つかりません: " + *o.group);
    std::optional<std::size_t> valueColumn;
    if (o.column) {
        valueColumn = table.findColumn(*o.column);
        if (!valueColumn) return usage(err, "値の列が見つかりません: " + *o.column);
    } else {
        for (std::size_t c = 0; c < table.headings().size() && !valueColumn; ++c)
            if (c != *groupColumn) valueColumn = c;
    }
    if (!valueColumn || *valueColumn == *groupColumn)
        return usage(err, "グループ列とは別の値の列が必要です。");

    std::vector<double> values;
    std::vector<std::string> labels;
    int skipped = 0;
    std::vector<std::string_view> fields;
    while (table.nextRow(fields)) {
        const auto field = *valueColumn < fields.size() ? fields[*valueColumn] : "";
        const auto label = table.text(*groupColumn < fields.size() ? fields[*groupColumn] : "");
        const auto value = table.number(field);
        if (!value || label.empty()) {
            ++skipped;
            continue;
        }
        values.push_back(*value);
        labels.push_back(label);
    }
    if (table.problem() != FileProblem::None) {
        err << fileProblemMessage(table.problem(), o.file) << "\n";
        return 2;
    }
    if (skipped > 0) err << "数値でないかグループが空の行" << skipped << "個を読み飛ばしました。\n";
    const std::string heading = table.headings()[*valueColumn];
    if (o.saveStudy) {
        // The values as the table read them, each as the text of exactly its number, with
        // their groups; the record is the session's, as the report and the window make it.
        Study read;
        read.programVersion = programVersion();
        for (double v : values) read.values.push_back(exactNumberText(v));
        read.groups = labels;
        read.valuesFound = static_cast<std::int64_t>(values.size());
        AnalysisStore store;
        NullGrid grid;
        rebuildStore(read, store, grid);
        StudySource source{kOriginFile, std::filesystem::path(o.file).filename().string(), heading,
                           "", ""};
        if (o.sheet && workbookFileKind(o.file) != WorkbookKind::None) {
            std::string refusal;
            source.sheet = recordedSheet(*o.sheet, workbookSheets(o.file, refusal));
        }
        if (auto digest = fileSha256(o.file, kMaxDataFileBytes)) source.sha256 = std::move(*digest);
        const std::string when = localTimeText();
        StudySession session(store);
        session.dataRead(source, when);
        if (const std::string error = session.save(*o.saveStudy, read.classes, when);
            !error.empty()) {
            err << error << "\n";
            return 2;
        }
    }
    return partition(heading, values, labels, out, err);
}

// The study's groups, of the values it keeps.
int studyGroups(const StudyOptions& o, std::ostream& out, std::ostream& err) {
    std::string message;
    const auto study = openStudyFile(*o.study, message);
    if (!study) {
        err << message << "\n";
        return 2;
    }
    if (study->groups.empty()) {
        err << "検討ファイル " << *o.study << " の値にはグループがありません。\n";
        return 3;
    }
    const std::vector<double> asRead = studyValues(*study);
    std::vector<double> values;
    std::vector<std::string> labels;
    for (std::size_t i = 0; i < asRead.size(); ++i) {
        const auto excluded = [&](const ExcludedValue& e) {
            return e.position == static_cast<int>(i + 1);
        };
        if (std::any_of(study->excluded.begin(), study->excluded.end(), excluded)) continue;
        values.push_back(asRead[i]);
        labels.push_back(study->groups[i]);
    }
    return partition(study->source.column, values, labels, out, err);
}

int batch(const StudyOptions& o, TableStream& table, std::ostream& out, std::ostream& err) {
    BatchFormat format = BatchFormat::Tsv;
    const bool workbook = o.format && *o.format == "xlsx";
    if (o.format && !workbook) {
        if (*o.format == "tsv")
            format = BatchFormat::Tsv;
        else if (*o.format == "csv")
            format = BatchFormat::Csv;
        else if (*o.format == "json")
            format = BatchFormat::Json;
        else
            return usage(err, "--format には tsv, csv, json, xlsx のどれかを指定して下さい。");
    }
    BatchOptions options;
    if (o.group) {
        options.groupColumn = table.findColumn(*o.group);
        if (!options.groupColumn) return usage(err, "グループ列が見つかりません: " + *o.group);
    }
    // Into a file the table is gathered first and written whole; to standard output row by
    // row as the rows are done.
    std::ostringstream gathered;
    std::vector<BatchRow> rows;
    BatchWriter writer(o.output ? gathered : out, format, options.groupColumn.has_value());
    const auto summary = runBatch(table, options, makeBatchEvaluator, [&](const BatchRow& row) {
        if (workbook)
            rows.push_back(row);
        else
            writer.row(row);
    });
    writer.finish();
    if (summary.problem != FileProblem::None) {
        err << fileProblemMessage(summary.problem, o.file) << "\n";
        return 2;
    }
    if (o.output) {
        const std::string failed =
            workbook ? writeBatchWorkbook(*o.output, rows, options.groupColumn.has_value())
                     : writeFileWhole(*o.output, gathered.str());
        if (!failed.empty()) {
            err << failed << "\n";
            return 2;
        }
    }
    if (summary.analytesTotal == 0) {
        err << "グループ列のほかに評価する列がありません。\n";
        return 3;
    }
    return 0;
}

}  // namespace

bool isStudyCommand(const std::vector<std::string>& args) {
    for (const auto& a : args)
        if (a == "--verify" || a == "--verify-table" || a == "--group" || a == "--batch")
            return true;
    return false;
}

int runStudyCommand(const std::vector<std::string>& args, const InputReader& readStdin,
                    std::ostream& out, std::ostream& err) {
    StudyOptions o;
    if (auto error = parse(args, o)) return usage(err, *error);
    int code = 0;
    if (o.verify || o.verifyTable) {
        code = verify(o, readStdin, out, err);
    } else if (o.study) {
        code = studyGroups(o, out, err);
    } else {
        std::string problem;
        auto table = TableStream::open(o.file, problem, o.sheet.value_or(""));
        if (!table) {
            err << problem << "\n";
            return 2;
        }
        code = o.batch ? batch(o, *table, out, err) : group(o, *table, out, err);
    }
    // A closed pipe or a full disk: say so rather than end as if all had been written.
    if (!out.flush()) {
        err << "標準出力に書き込めません。\n";
        return 2;
    }
    return code;
}

}  // namespace kijunchi
