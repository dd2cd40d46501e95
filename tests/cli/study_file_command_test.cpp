// kijunchi-report's studies: saved and opened again they give the same views byte for byte,
// a bad study is refused with its own message, and the headless PDF carries the study.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "cli/report_command.h"
#include "cli/study_command.h"
#include "support/data_set.h"
#include "support/temp_files.h"

namespace kijunchi {
namespace {

using testing::TempFolder;
const std::string kData = KIJUNCHI_TEST_DATA;

CommandOutput run(std::vector<std::string> args) {
    return runReportCommand(args, textReader(""));
}

std::vector<std::string> with(std::vector<std::string> args, std::vector<std::string> more) {
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

TEST(StudyFileCommand, ASavedStudyShowsEveryViewAsBefore) {
    const struct {
        const char* name;
        std::vector<std::string> args;
    } cases[] = {
        {"calcium", {kData + "/calcium_240.txt"}},
        {"calcium, header and Tukey's exclusions",
         {"--analyte", "カルシウム", "--unit", "mg/dL", "--author", "山田", "--exclude-flagged",
          "tukey", kData + "/calcium_240.txt"}},
        {"skewed, logarithm, 6 classes, a position excluded",
         {"--lambda", "0", "--classes", "6", "--exclude", "3", kData + "/skewed_25.txt"}},
        {"the value column of a grouped file",
         {"--column", "Ca", "--method", "比色法", kData + "/calcium_by_sex.tsv"}},
    };
    TempFolder folder;
    const std::string study = folder.file("s.kijunchi");
    for (const auto& c : cases) {
        for (const char* view : {"report", "summary", "evaluation", "data", "table"}) {
            // Shown and saved in one run, so that the record of an exclusion has one time.
            const CommandOutput saved = run(with(c.args, {"--show", view, "--save-study", study}));
            ASSERT_EQ(saved.exitCode, 0) << c.name << " " << view << saved.err;
            const CommandOutput opened = run({"--study", study, "--show", view});
            EXPECT_EQ(opened.exitCode, 0) << c.name << " " << view << opened.err;
            EXPECT_EQ(opened.out, saved.out) << c.name << " " << view;
        }
    }
}

TEST(StudyFileCommand, AGroupedStudyGivesThePartitionAndVerificationAsBefore) {
    TempFolder folder;
    const std::string study = folder.file("g.kijunchi");
    const auto studyRun = [](const std::vector<std::string>& args) {
        std::ostringstream out, err;
        const int code = runStudyCommand(args, textReader(""), out, err);
        EXPECT_EQ(code, 0) << err.str();
        return out.str();
    };
    const std::string saved = studyRun({"--group", "性別", "--column", "Ca", "--save-study", study,
                                        kData + "/calcium_by_sex.tsv"});
    EXPECT_EQ(saved.rfind("項目 =\tCa\r\n", 0), 0u);
    EXPECT_EQ(studyRun({"--study", study, "--group"}), saved);
    EXPECT_EQ(studyRun({"--study", study, "--verify", "9,10.5"}),
              studyRun({"--verify", "9,10.5", kData + "/calcium_240.txt"}));
}

TEST(StudyFileCommand, DocumentsBeginWithTheHeaderOnlyForAStudy) {
    const std::string file = kData + "/calcium_240.txt";
    for (const char* view : {"report", "summary", "evaluation"}) {
        const std::string bare = run({"--show", view, file}).out;
        const std::string headed = run({"--show", view, "--unit", "mg/dL", file}).out;
        // The fingerprint is the digest of the file itself (`sha256sum calcium_240.txt`): its
        // values are one a line, each as the shortest text of its number.
        const std::string head =
            "項目名 =\t―\r\n単位 =\tmg/dL\r\n測定法・機器 =\t―\r\n施設 =\t―\r\n"
            "作成者 =\t―\r\n承認者 =\t―\r\n備考 =\t―\r\nプログラムのバージョン =\t1.0\r\n"
            "データ数 =\t240\r\nデータのSHA-256 =\t"
            "b4d3e40b1fb7e8e7146e2782d05208e7e9c009b519bbab8ec46ef34a146fe396\r\n\r\n";
        EXPECT_EQ(headed, head + bare) << view;
        EXPECT_EQ(bare.find("SHA-256"), std::string::npos) << view;
    }
}

TEST(StudyFileCommand, BadStudiesAreRefusedWithTheirMessage) {
    TempFolder folder;
    const std::string good = folder.file("good.kijunchi");
    ASSERT_EQ(run({"--save-study", good, kData + "/one_to_four.txt"}).exitCode, 0);
    const std::string text = TempFolder::read(good);
    const auto edited = [&](const std::string& what, const std::string& with) {
        std::string t = text;
        t.replace(t.find(what), what.size(), with);
        return t;
    };
    const struct {
        const char* name;
        std::string text;
        const char* says;
    } cases[] = {
        {"damaged", "{\"format\": 3}", "壊れている"},
        {"truncated", text.substr(0, text.size() - 20), "途中で切れて"},
        {"future", edited("\"formatVersion\": 1", "\"formatVersion\": 7"), "新しいバージョン"},
        {"altered", edited("\"3\"", "\"5\""), "指紋"},
    };
    for (const auto& c : cases) {
        const std::string path = folder.write(std::string(c.name) + ".kijunchi", c.text);
        const std::string saveTo = folder.file(std::string(c.name) + "-saved.kijunchi");
        const CommandOutput out = run({"--study", path, "--save-study", saveTo});
        EXPECT_EQ(out.exitCode, 2) << c.name;
        EXPECT_TRUE(out.out.empty()) << c.name;
        EXPECT_NE(out.err.find(c.says), std::string::npos) << c.name << ": " << out.err;
        EXPECT_EQ(std::count(out.err.begin(), out.err.end(), '\n'), 1) << c.name;
        EXPECT_FALSE(std::filesystem::exists(saveTo)) << c.name;
    }
    // A study that cannot be written leaves no file behind, nor a half-written one.
    const CommandOutput unwritable =
        run({"--save-study", folder.file("no/such/folder/s.kijunchi"), kData + "/one_to_four.txt"});
    EXPECT_EQ(unwritable.exitCode, 2);
    EXPECT_EQ(std::count(unwritable.err.begin(), unwritable.err.end(), '\n'), 1);
}

TEST(StudyFileCommand, PdfGoesToTheWriterTheProgramGivesOrIsRefused) {
    const std::vector<std::string> args = {"--pdf", "out.pdf", "--analyte", "カルシウム",
                                           kData + "/one_to_four.txt"};
    const CommandOutput without = run(args);
    EXPECT_EQ(without.exitCode, 2);
    EXPECT_EQ(std::count(without.err.begin(), without.err.end(), '\n'), 1) << without.err;

    PdfHead given;
    int dataCount = -1;
    const PdfWriter writer = [&](const std::string& path, const AnalysisStore& store,
                                 const PdfHead& head) {
        EXPECT_EQ(path, "out.pdf");
        dataCount = store.DataCount;
        given = head;
        return std::string();
    };
    const CommandOutput written = runReportCommand(args, textReader(""), writer);
    EXPECT_EQ(written.exitCode, 0) << written.err;
    EXPECT_TRUE(written.out.empty());
    EXPECT_EQ(dataCount, 4);
    EXPECT_EQ(given.runningHead.rfind("基準値　解析レポート　　カルシウム　　", 0), 0u);
    const auto has = [&](const std::string& line) {
        return std::find(given.description.begin(), given.description.end(), line) !=
               given.description.end();
    };
    EXPECT_TRUE(has("項目名：カルシウム"));
    // Once: the header's count takes the place of the description's own.
    EXPECT_EQ(std::count_if(given.description.begin(), given.description.end(),
                            [](const std::string& l) { return l.rfind("データ数：", 0) == 0; }),
              1);
    EXPECT_TRUE(has("データ数：4"));
    // `printf '1\n2\n3\n4\n' | sha256sum`
    EXPECT_TRUE(
        has("データのSHA-256：16fbd7d1f18d2fedb247d73edc3bc6aa040f5ab99bd3b48c35b79e543d22179b"));
    // A writer that fails: its message, exit 2.
    const CommandOutput failed = runReportCommand(
        args, textReader(""), [](const std::string&, const AnalysisStore&, const PdfHead&) {
            return std::string("ファイルに書き込めません: out.pdf");
        });
    EXPECT_EQ(failed.exitCode, 2);
    EXPECT_EQ(failed.err, "ファイルに書き込めません: out.pdf\n");
}

// The built program: its exit status, standard error to /dev/null.
int runProgram(const std::string& arguments) {
    const std::string command =
        std::string(KIJUNCHI_REPORT_EXE) + " " + arguments + " >/dev/null 2>&1";
    const int raw = std::system(command.c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

// pdftotext's text of a PDF, or nothing when poppler-utils is missing.
std::optional<std::string> pdfText(const std::string& pdf, const std::string& text) {
    if (std::system("command -v pdftotext >/dev/null 2>&1") != 0) return std::nullopt;
    if (std::system(("pdftotext -layout '" + pdf + "' '" + text + "'").c_str()) != 0) return "";
    return TempFolder::read(text);
}

// The whitespace-separated words of each line. pdftotext gives the full-width tilde of the
// texts as the wave dash of the font; both are read as the wave dash.
std::vector<std::vector<std::string>> wordLines(const std::string& text) {
    std::vector<std::vector<std::string>> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        std::vector<std::string> out;
        for (std::string w; words >> w;) out.push_back(w == "～" ? "〜" : w);
        lines.push_back(out);
    }
    return lines;
}

// Whether a line of the text begins with the words.
bool hasLine(const std::string& text, const std::vector<std::string>& words) {
    for (const auto& line : wordLines(text))
        if (line.size() >= words.size() && std::equal(words.begin(), words.end(), line.begin()))
            return true;
    return false;
}

TEST(StudyFileProgram, HeadlessPdfCarriesTheStudy) {
    TempFolder folder;
    const std::string pdf = folder.file("ca.pdf");
    const std::string study = folder.file("ca.kijunchi");
    const int status =
        runProgram("--analyte カルシウム --unit mg/dL --exclude-flagged tukey --pdf " + pdf +
                   " --save-study " + study + " " + kData + "/calcium_240.txt");
#ifndef KIJUNCHI_WITH_PDF_PROGRAM
    if (status == 2 && !std::filesystem::exists(pdf))
        GTEST_SKIP() << "kijunchi-report was built without the desktop program: no --pdf";
#endif
    ASSERT_EQ(status, 0);
    const auto text = pdfText(pdf, folder.file("ca.txt"));
    if (!text) GTEST_SKIP() << "pdftotext (poppler-utils) is missing";

    // Every page's running head names the analyte.
    std::size_t pages = 0;
    std::istringstream pageTexts(*text);
    for (std::string page; std::getline(pageTexts, page, '\f');) {
        if (page.find_first_not_of(" \n") == std::string::npos) continue;
        ++pages;
        EXPECT_TRUE(hasLine(page, {"基準値", "解析レポート", "カルシウム"})) << page;
    }
    EXPECT_GE(pages, 2u);
    // The header, the fingerprint of the values as read and the excluded values with their
    // rule: Tukey's fences of these values are 9.5 − 1.5·0.4 = 8.9 and 9.9 + 1.5·0.4 = 10.5
    // (quartiles 9.5 and 9.9), outside which lie 8.8 (position 1) and 10.6 (position 240).
    EXPECT_NE(text->find("mg/dL"), std::string::npos);
    EXPECT_NE(text->find("b4d3e40b1fb7e8e7146e2782d05208e7e9c009b519bbab8ec46ef34a146fe396"),
              std::string::npos);
    EXPECT_TRUE(hasLine(*text, {"1", "8.8", "Tukey法"}));
    EXPECT_TRUE(hasLine(*text, {"240", "10.6", "Tukey法"}));

    // The limits are those of the kept values evaluated on their own.
    std::string kept;
    std::istringstream all(testing::testData("calcium_240.txt"));
    int position = 0;
    for (std::string line; std::getline(all, line);)
        if (++position != 1 && position != 240) kept += line + "\n";
    const std::string keptFile = folder.write("kept.txt", kept);
    const CommandOutput evaluation = run({"--show", "evaluation", keptFile});
    ASSERT_EQ(evaluation.exitCode, 0);
    // The table of the estimates, row by row, word for word.
    for (const char* method : {"ノンパラメトリック法", "ロバスト法", "パラメトリック法"}) {
        std::vector<std::string> expected;
        for (const auto& line : wordLines(evaluation.out))
            if (!line.empty() && line[0] == method && line.size() > 5) expected = line;
        ASSERT_FALSE(expected.empty()) << method;
        EXPECT_TRUE(hasLine(*text, expected)) << method;
    }

    // Opened again, the study makes the same document (but for the time it is made), its
    // record one entry longer: the opening.
    const std::string again = folder.file("again.pdf");
    ASSERT_EQ(runProgram("--study " + study + " --pdf " + again), 0);
    const std::regex time("[0-9]{4}/[0-9]{2}/[0-9]{2} [0-9]{2}:[0-9]{2}");
    const std::regex opening("\n *[0-9-]{10} [0-9:]{5} *読み込み *ca\\.kijunchi");
    const std::string reopened = *pdfText(again, folder.file("again.txt"));
    EXPECT_TRUE(std::regex_search(reopened, opening));
    // The line more moves what follows on the page, and may move a line across a page break:
    // the words are compared line by line without the blank lines, the running heads and the
    // page numbers, and with one blank between words (pdftotext's columns follow the page).
    const std::regex pageNumber("^[0-9]+ / [0-9]+$");
    const auto comparable = [&](const std::string& pages) {
        std::string out;
        for (const auto& words : wordLines(std::regex_replace(pages, time, "T"))) {
            std::string line;
            for (const auto& w : words) line += (line.empty() ? "" : " ") + w;
            if (!line.empty() && line[0] == '\f') line.erase(0, 1);
            if (line.empty() || std::regex_match(line, pageNumber) ||
                line.starts_with("基準値 解析レポート カルシウム T"))
                continue;
            out += line + "\n";
        }
        return out;
    };
    EXPECT_EQ(comparable(std::regex_replace(reopened, opening, "")), comparable(*text));
}

}  // namespace
}  // namespace kijunchi
