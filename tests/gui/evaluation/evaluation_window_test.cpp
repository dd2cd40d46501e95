// The evaluation window: opened from the input window and the frame's menu, rewritten by every
// analysis while it is open, its copy, the no-data and failure texts, the refusal to close.
#include "gui/evaluation/evaluation_window.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSplitter>

#include "analysis/number_text.h"
#include "cli/report_command.h"
#include "evaluation/evaluation_text.h"
#include "gui/results/statistics_window.h"
#include "gui/shell/frame_fixture.h"
#include "report/analysis_run.h"
#include "support/data_set.h"
#include "support/recording_file_prompt.h"
#include "transform/power_transform.h"

namespace kijunchi::testing {
namespace {

class EvaluationWindowTest : public FrameTest {
protected:
    EvaluationWindow* window() { return frame->evaluationWindow(); }
    // The command line's evaluation of the same text.
    static QString commandLine(const std::string& data, std::vector<std::string> args = {}) {
        args.insert(args.begin(), {"--show", "evaluation"});
        CommandOutput out = runReportCommand(args, textReader(data));
        EXPECT_EQ(out.exitCode, 0) << out.err;
        // The command line heads a study's evaluation with the study's header block; the
        // window's text is the evaluation alone.
        const QString text = QString::fromStdString(out.out);
        return text.mid(std::max<qsizetype>(
            0, text.indexOf(QStringLiteral("                  基準範囲の評価"))));
    }
};

TEST_F(EvaluationWindowTest, OpensWithTheNoDataTextAndIsOneWindow) {
    EXPECT_EQ(window(), nullptr);
    input().Command6->click();
    ASSERT_NE(window(), nullptr);
    EXPECT_EQ(window()->windowTitle(), QStringLiteral("基準範囲の評価"));
    EXPECT_EQ(window()->text(), QString::fromUtf8(kEvaluationNoData));
    EXPECT_EQ(frame->mdiArea->activeSubWindow(), frame->subWindowOf(window()));
    EXPECT_EQ(frame->statisticsWindow(), nullptr);  // nothing was analysed
    EvaluationWindow* first = window();
    frame->WW3->trigger();
    EXPECT_EQ(window(), first);
    EXPECT_EQ(frame->mdiArea->subWindowList().size(), 2);  // the input window and this one
    // The text stands below the button and in a splitter that can take more panes.
    EXPECT_GE(window()->Splitter1->geometry().top(), window()->Command1->geometry().bottom());
    EXPECT_EQ(window()->Splitter1->indexOf(window()->Text1), 0);
}

TEST_F(EvaluationWindowTest, ShowsTheCommandLinesTextAfterEachAnalysisAndCopiesIt) {
    const std::string calcium = testData("calcium_240.txt");
    paste(QString::fromStdString(calcium));
    input().Command6->click();  // runs the analysis as "解析(ﾋｽﾄｸﾞﾗﾑ)" does
    ASSERT_NE(window(), nullptr);
    ASSERT_NE(frame->statisticsWindow(), nullptr);
    const QString expected = commandLine(calcium);
    EXPECT_EQ(window()->text(), expected);
    EXPECT_EQ(window()->Text1->toPlainText(),
              QString(expected).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    EXPECT_EQ(frame->mdiArea->activeSubWindow(), frame->subWindowOf(window()));

    window()->Command1->click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), expected);

    // A new data set and the analysis command: the open window follows.
    input().Command1->click();
    paste(QStringLiteral("92\r\n88\r\n97\r\n101\r\n85\r\n94\r\n90\r\n99\r\n87\r\n93\r\n"));
    input().Command5->click();
    EXPECT_EQ(window()->text(),
              commandLine("92\r\n88\r\n97\r\n101\r\n85\r\n94\r\n90\r\n99\r\n87\r\n93\r\n"));
    EXPECT_NE(window()->text().indexOf(QStringLiteral("データ数=\t10\r\n")), -1);
}

TEST_F(EvaluationWindowTest, ACalculationErrorOfTheReportLeavesTheEvaluationOfTheseData) {
    paste(QStringLiteral("1\r\n2\r\n3\r\n4\r\n5\r\n"));
    input().Command6->click();
    ASSERT_NE(window(), nullptr);
    input().Command1->click();
    // All equal: the report fails (its message box), the evaluation is of these four values.
    paste(QStringLiteral("5\r\n5\r\n5\r\n5\r\n"));
    input().Command5->click();
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(window()->text(), commandLine("5\r\n5\r\n5\r\n5\r\n"));
    EXPECT_NE(window()->text().indexOf(QStringLiteral("データ数=\t4\r\n統計量の画面は計算エラー")),
              -1);
}

TEST_F(EvaluationWindowTest, OneMistypedValueIsFlaggedNotAnError) {
    // The calcium values and one value typed without its decimal point: the report's upper
    // classes expect no value, its χo² is infinite, and the outlier screen finds the 96.
    std::string data;
    for (double v : calcium240()) data += numberText(v) + "\r\n";
    data += "96\r\n";
    input().Command6->click();
    input().Command1->click();
    paste(QString::fromStdString(data));
    input().Command5->click();
    EXPECT_TRUE(prompt.shown.empty());
    EXPECT_EQ(window()->text(), commandLine(data));
    EXPECT_NE(window()->text().indexOf(QStringLiteral("241\t96\tTukey法")), -1);
}

// Not one of the design's windows: unlike the statistics and histogram windows, its X hides
// it without a word, and its button opens it again.
// The record's times ("2026-12-09 15:04") of two runs may fall in different minutes.
QString withoutTimes(QString text) {
    static const QRegularExpression when(QStringLiteral("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d"));
    return text.replace(when, QStringLiteral("(when)"));
}

TEST_F(EvaluationWindowTest, ValuesTakenOutAndBroughtBackGiveTheCommandLinesEvaluations) {
    RecordingFilePrompt files;
    frame->setFilePrompt(files);
    const std::string calcium = testData("calcium_240.txt");
    paste(QString::fromStdString(calcium));
    input().Command6->click();
    ASSERT_NE(window(), nullptr);
    const QString before = window()->text();
    EXPECT_FALSE(window()->RestoreAll->isEnabled());
    store->Header.author = "検査 花子";  // who takes the values out

    window()->ExcludeTukey->trigger();
    const std::vector<std::string> author = {"--author", "検査 花子"};
    auto args = [&](std::vector<std::string> more) {
        more.insert(more.end(), author.begin(), author.end());
        return more;
    };
    EXPECT_EQ(withoutTimes(window()->text()),
              withoutTimes(commandLine(calcium, args({"--exclude-flagged", "tukey"}))));
    EXPECT_EQ(store->DataCount, 238);
    EXPECT_TRUE(window()->RestoreAll->isEnabled());
    // The statistics window shows the analysis of the values kept, and says which are out.
    EXPECT_FALSE(frame->statisticsWindow()->earlierData());
    EXPECT_EQ(frame->statisticsWindow()->ExcludedLabel->text(),
              QStringLiteral("2個を除外: 位置 1 8.8（Tukey法）、位置 240 10.6（Tukey法）"));

    // Position 5 of the data as read (the record's numbering).
    files.numbers.push_back(5);
    window()->ExcludePosition->trigger();
    EXPECT_EQ(files.numberMaximum, 240);
    EXPECT_EQ(
        withoutTimes(window()->text()),
        withoutTimes(commandLine(calcium, args({"--exclude-flagged", "tukey", "--exclude", "5"}))));
    files.numbers.push_back(5);  // taken out already: told, nothing changes
    const QString three = window()->text();
    window()->ExcludePosition->trigger();
    EXPECT_EQ(window()->text(), three);
    ASSERT_FALSE(prompt.shown.empty());
    EXPECT_EQ(prompt.shown.back().text, QStringLiteral("位置 5 の値はもう除外してあります。"));

    // The values out are offered in their order: 1, 5, 240; the second comes back.
    files.choices.push_back(1);
    window()->RestoreOne->trigger();
    ASSERT_EQ(files.items.size(), 3);
    EXPECT_TRUE(files.items[1].startsWith(QStringLiteral("位置 5　")));
    EXPECT_EQ(withoutTimes(window()->text()),
              withoutTimes(commandLine(calcium, args({"--exclude-flagged", "tukey"}))));

    window()->RestoreAll->trigger();
    EXPECT_EQ(window()->text(), before);
    EXPECT_TRUE(store->Excluded.empty());
    EXPECT_FALSE(window()->RestoreAll->isEnabled());
    EXPECT_TRUE(frame->statisticsWindow()->ExcludedLabel->isHidden());
}

TEST_F(EvaluationWindowTest, ATransformedDataSetIsRefusedAndNewDataForgetTheRecord) {
    paste(QString::fromStdString(testData("calcium_240.txt")));
    input().Command6->click();
    ASSERT_NE(window(), nullptr);
    window()->ExcludeTukey->trigger();
    ASSERT_EQ(store->Excluded.size(), 2u);

    ASSERT_TRUE(applyLambda(*store, "0", frame->inputGrid()));
    const std::size_t messages = prompt.shown.size();
    window()->RestoreAll->trigger();
    ASSERT_EQ(prompt.shown.size(), messages + 1);
    EXPECT_TRUE(prompt.shown.back().text.contains(QStringLiteral("修正ベキ変換")));
    EXPECT_EQ(store->Excluded.size(), 2u);  // kept with the transformed data set

    // Other data: the record of the earlier data set goes.
    input().Command1->click();
    paste(QStringLiteral("92\r\n88\r\n97\r\n101\r\n85\r\n"));
    EXPECT_TRUE(store->Excluded.empty());
    EXPECT_TRUE(store->ValuesBeforeExclusion.empty());
    EXPECT_FALSE(window()->RestoreAll->isEnabled());
}

TEST_F(EvaluationWindowTest, ClosesWithItsXAndOpensAgainFromItsButton) {
    input().Command6->click();
    EXPECT_TRUE(frame->subWindowOf(window())->close());
    flushDeletes();
    ASSERT_NE(window(), nullptr);
    EXPECT_TRUE(prompt.shown.empty());
    EXPECT_FALSE(window()->isVisible());
    input().Command6->click();
    EXPECT_TRUE(window()->isVisible());
}

}  // namespace
}  // namespace kijunchi::testing
