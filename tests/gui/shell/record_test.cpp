// The study's record as the laboratory relies on it: the same work saved by the window, by
// kijunchi-report and from a reopened study is the same record; the faults a record must not
// have (a document mixing two data sets, a study overwritten with other data, wrong origins,
// sheets or headings, changes not logged, a lost analysis time, an approval that outlives a
// change) each have a case.
#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <functional>
#include <regex>

#include "cli/report_command.h"
#include "gui/evaluation/evaluation_window.h"
#include "gui/generators/nrm_dialog.h"
#include "gui/results/statistics_window.h"
#include "gui/shell/frame_fixture.h"
#include "gui/transform/box_window.h"
#include "gui/widgets/prompt.h"
#include "record/study_file.h"
#include "record/study_session.h"
#include "support/data_set.h"
#include "support/poppler.h"
#include "support/recording_file_prompt.h"
#include "support/temp_files.h"

namespace kijunchi::testing {
namespace {

class RecordTest : public FileFrameTest {
protected:
    // A fresh frame, for the next case of a table.
    void restart() {
        TearDown();
        files = {};
        prompt.shown.clear();
        SetUp();
    }
    void saveAs(const std::string& path) {
        files.fileNames.push_back(QString::fromStdString(path));
        frame->SaveStudyAs->trigger();
    }
    Study read(const std::string& path) {
        const StudyReading reading = parseStudy(TempFolder::read(path));
        EXPECT_EQ(reading.refusal, StudyRefusal::None) << path;
        return reading.study;
    }
    std::string lastWhat() const {
        return frame->session().log().empty() ? "" : frame->session().log().back().what;
    }
};

// The calcium values in the second column of a CSV with headings "No" and "Ca".
std::string calciumCsv() {
    std::string csv = "No,Ca\r\n";
    int row = 0;
    for (double v : calcium240()) csv += std::to_string(++row) + "," + exactNumberText(v) + "\r\n";
    return csv;
}

const std::vector<std::string> kVocabulary = {"opened",   "transformed", "excluded",
                                              "restored", "header",      "analysed",
                                              "approved", "unapproved",  "saved"};

// The same work through the window, through kijunchi-report and from the study reopened and
// saved again: every member but the log's times is the same.
TEST_F(RecordTest, TheSameWorkSavedThreeWaysIsTheSameRecord) {
    const std::string csv = folder.write("calcium.csv", calciumCsv());
    const std::string book = std::string(KIJUNCHI_TEST_DATA) + "/workbook_calcium.xls";
    struct Case {
        const char* name;
        std::function<void()> work;     // in the window
        std::vector<std::string> args;  // the same for kijunchi-report
    };
    const std::vector<Case> cases = {
        {"a column, a header, Tukey's rule",
         [&] {
             open(csv, 1);
             analyse();
             StudyHeader header;
             header.analyte = "カルシウム";
             header.author = "検査 花子";
             frame->setStudyHeader(header);
             frame->openEvaluationWindow();
             frame->evaluationWindow()->ExcludeTukey->trigger();
         },
         {"--column", "2", "--analyte", "カルシウム", "--author", "検査 花子", "--exclude-flagged",
          "tukey", csv}},
        // tests/data/workbook_calcium.xls: the sheet "日付", its column "値".
        {"a workbook's second sheet",
         [&] {
             files.choices = {1, 1};
             open(book);
         },
         {"--sheet", "2", "--column", "値", book}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        restart();
        c.work();
        const std::string window = folder.file("window.kijunchi");
        const std::string command = folder.file("command.kijunchi");
        const std::string reopened = folder.file("reopened.kijunchi");
        saveAs(window);
        std::vector<std::string> args = c.args;
        args.insert(args.end() - 1, {"--save-study", command});
        const CommandOutput output = runReportCommand(args, textReader(""));
        EXPECT_TRUE(output.exitCode == 0 || output.exitCode == 1) << output.err;
        files.fileNames.push_back(QString::fromStdString(window));
        frame->OpenStudy->trigger();
        saveAs(reopened);

        const Study w = read(window), k = read(command), r = read(reopened);
        for (const Study* s : {&k, &r}) {
            SCOPED_TRACE(s == &k ? "kijunchi-report" : "reopened");
            EXPECT_EQ(s->values, w.values);
            EXPECT_EQ(s->valuesFound, w.valuesFound);
            EXPECT_EQ(s->source, w.source);
            EXPECT_EQ(s->lambda, w.lambda);
            EXPECT_EQ(s->classes, w.classes);
            EXPECT_EQ(s->header, w.header);
            ASSERT_EQ(s->excluded.size(), w.excluded.size());
            for (std::size_t i = 0; i < w.excluded.size(); ++i) {
                EXPECT_EQ(s->excluded[i].position, w.excluded[i].position);
                EXPECT_EQ(s->excluded[i].value, w.excluded[i].value);
                EXPECT_EQ(s->excluded[i].rule, w.excluded[i].rule);
                EXPECT_EQ(s->excluded[i].who, w.excluded[i].who);
            }
            // One vocabulary, and the reading and exclusions told in the same words.
            for (const StudyLogEntry& e : s->log)
                EXPECT_NE(std::find(kVocabulary.begin(), kVocabulary.end(), e.what),
                          kVocabulary.end())
                    << e.what;
            const auto detail = [](const Study& study, const std::string& what) {
                for (const StudyLogEntry& e : study.log)
                    if (e.what == what) return e.detail;
                return std::string();
            };
            EXPECT_EQ(detail(*s, "opened"), detail(w, "opened"));
            EXPECT_EQ(detail(*s, "excluded"), detail(w, "excluded"));
        }
        // The analysis time is kept; a study saved unanalysed is analysed when reopened.
        if (!w.analysedAt.empty()) {
            EXPECT_EQ(r.analysedAt, w.analysedAt);
        }
    }
    // The column by its heading, the sheet by its name (not "Ca（240個）", not "2").
    const Study book2 = read(folder.file("command.kijunchi"));
    EXPECT_EQ(book2.source.sheet, "日付");
    EXPECT_EQ(book2.source.column, "値");
}

// The faults of the record, one case each, each in a fresh frame.
TEST_F(RecordTest, TheRecordNeitherMixesNorLosesNorHidesAChange) {
    const std::string csv = folder.write("calcium.csv", calciumCsv());
    const std::string ten = folder.write("ten.txt", "7\n8\n9\n11\n8\n10\n9\n12\n7\n10\n");
    const bool havePoppler = !QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty();
    const auto header = [](const char* analyte, const char* approver = "") {
        StudyHeader h;
        h.analyte = analyte;
        h.approver = approver;
        return h;
    };
    struct Case {
        const char* fault;
        std::function<void()> check;
    };
    const std::vector<Case> cases = {
        {"a PDF after another file was opened and not analysed",
         [&] {
             if (!havePoppler) return;
             open(ten);
             frame->setStudyHeader(header("IgM"));
             analyse();
             prompt.threeWayAnswers = {Prompt::Answer::No};  // the untitled study is not saved
             open(csv, 1);
             const QString pages = pdfText();
             // The count and fingerprint of the ten values analysed, not of the 240 opened.
             EXPECT_TRUE(pages.contains(QStringLiteral("データ数：10")));
             EXPECT_TRUE(pages.contains(
                 QString::fromStdString(dataFingerprint({7, 8, 9, 11, 8, 10, 9, 12, 7, 10}))));
             EXPECT_FALSE(pages.contains(QString::fromStdString(dataFingerprint(calcium240()))));
         }},
        {"Ctrl+S after other data were loaded into a saved study",
         [&] {
             open(ten);
             frame->setStudyHeader(header("IgM"));
             const std::string study = folder.file("ten.kijunchi");
             saveAs(study);
             const std::string saved = TempFolder::read(study);
             open(csv, 1);
             files.fileNames.clear();  // the name question is cancelled
             const qsizetype asked = files.folders.size();
             frame->SaveStudy->trigger();
             EXPECT_EQ(files.folders.size(), asked + 1);  // a new, untitled study: asked
             EXPECT_EQ(TempFolder::read(study), saved);
             EXPECT_TRUE(frame->studyPath().isEmpty());
         }},
        {"a paste into a saved study with changes not saved",
         [&] {
             open(ten);
             frame->setStudyHeader(header("IgM"));
             const std::string study = folder.file("asked.kijunchi");
             saveAs(study);
             frame->setStudyHeader(header("IgG"));
             prompt.threeWayAnswers = {Prompt::Answer::Cancel};
             paste(QStringLiteral("1\n2\n3\n"));
             EXPECT_TRUE(prompt.threeWayAnswers.empty());  // asked
             EXPECT_EQ(store->DataCount, 10);
             EXPECT_EQ(frame->studyPath().toStdString(), study);
         }},
        {"the origins of a paste, a generator and standard input",
         [&] {
             paste(QStringLiteral("1\n2\n3\n"));
             EXPECT_EQ(frame->session().source().origin, "paste");
             EXPECT_EQ(frame->dataSource(), QStringLiteral("クリップボード"));
             frame->openNormalGenerator();
             NRM& nrm = *frame->normalGenerator();
             nrm.Text1->setText(QStringLiteral("30"));
             nrm.Text2->setText(QStringLiteral("50"));
             nrm.Text3->setText(QStringLiteral("5"));
             nrm.Command2->click();
             EXPECT_EQ(frame->session().source().origin, "generator");
             const std::string piped = folder.file("piped.kijunchi");
             runReportCommand({"--save-study", piped}, textReader("1\n2\n3\n4\n"));
             EXPECT_EQ(read(piped).source.origin, "stdin");
             EXPECT_EQ(sourceName(read(piped).source), "標準入力");
         }},
        {"a header edit",
         [&] {
             frame->setStudyHeader(header("Ca"));
             frame->setStudyHeader(header("Ca2"));
             EXPECT_EQ(lastWhat(), "header");
             EXPECT_EQ(frame->session().log().back().detail, "項目名: Ca → Ca2");
         }},
        {"the analysis time of a reopened study",
         [&] {
             open(ten);
             frame->setStudyHeader(header("IgM"));
             analyse();
             const std::string study = folder.file("kept.kijunchi");
             saveAs(study);
             // An analysis made long ago: the study says when.
             const std::string text = std::regex_replace(TempFolder::read(study),
                                                         std::regex("\"analysedAt\": \"[^\"]*\""),
                                                         "\"analysedAt\": \"2020/01/02 03:04\"");
             folder.write("kept.kijunchi", text);
             files.fileNames.push_back(QString::fromStdString(study));
             frame->OpenStudy->trigger();
             EXPECT_TRUE(frame->runningHead().contains(QStringLiteral("2020/01/02 03:04")));
             EXPECT_EQ(lastWhat(), "opened");  // the reopening logs its own time only
             frame->SaveStudy->trigger();
             EXPECT_EQ(read(study).analysedAt, "2020/01/02 03:04");
         }},
        {"修正ベキ変換 opened and closed without transforming",
         [&] {
             open(csv, 1);
             frame->openEvaluationWindow();
             const QString evaluation = frame->evaluationWindow()->text();
             frame->openTransformWindow();
             frame->transformWindow()->close();
             flushDeletes();
             EXPECT_FALSE(frame->session().stale());
             EXPECT_FALSE(frame->statisticsWindow()->earlierData());
             EXPECT_EQ(frame->evaluationWindow()->text(), evaluation);
         }},
        {"an approval and the change after it",
         [&] {
             open(ten);
             frame->setStudyHeader(header("IgM", "承認 太郎"));
             analyse();
             frame->Approve->trigger();
             EXPECT_TRUE(frame->runningHead().contains(QStringLiteral("承認：承認 太郎")));
             EXPECT_EQ(lastWhat(), "approved");
             StudyHeader changed = header("IgM", "承認 太郎");
             changed.unit = "mg/dL";
             frame->setStudyHeader(changed);
             EXPECT_EQ(lastWhat(), "unapproved");
             EXPECT_TRUE(frame->runningHead().endsWith(QStringLiteral("未承認")));
             EXPECT_TRUE(frame->reportDescription().contains(QStringLiteral("未承認")));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault);
        restart();
        c.check();
    }
}

}  // namespace
}  // namespace kijunchi::testing
