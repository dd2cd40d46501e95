// The transformation window: the table and its copy, "変換する", "OK", "閉じる", the refused λ.
#include "gui/transform/box_window.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScrollBar>
#include <QTextBlock>
#include <cmath>
#include <string>

#include "analysis/distributions.h"
#include "support/dialog_fixture.h"
#include "transform/power_transform.h"

namespace kijunchi::testing {
namespace {

class BoxWindowTest : public DialogTest {
protected:
    box& open(const std::vector<double>& values) {
        load(store, values);
        window = new box(store, grid, prompt);
        window->show();
        return *window;
    }
    void transform(const char* lambda) {
        window->Text1->setText(QString::fromUtf8(lambda));
        press(window->Command2);
    }
    void TearDown() override { delete window; }
    QPointer<box> window;
};

TEST_F(BoxWindowTest, ShowsAndCopiesTheTableWithCrLf) {
    open({1, 2, 4});
    EXPECT_EQ(window->Text1->text(), "1");
    QApplication::clipboard()->setText("stale");
    press(window->Command1);
    // The core's table text (checked there), CR LF and all; the window shows the same lines.
    const QString table = QString::fromStdString(likelihoodTable(store));
    EXPECT_EQ(QApplication::clipboard()->text(), table);
    EXPECT_TRUE(table.contains("\r\n"));
    EXPECT_EQ(window->Text2->toPlainText(), QString(table).replace("\r\n", "\n"));
}

TEST_F(BoxWindowTest, ShowsTheLambdaOfLargestLikelihoodAndMarksItsRow) {
    // R: set.seed(13); round(exp(rnorm(40, 3, 0.6)), 1); optimize() of ML gives λ̂ −0.0354,
    // the interval −0.536 .. 0.467: the row of λ = 0 is the nearest.
    open({28,   17,   58.3, 22.5, 39.9, 25.8, 42,   23.2, 16.1, 39,   10.4, 26.5, 8.9, 6.6,
          15.4, 17.9, 46.4, 21.3, 18.8, 30.6, 23.5, 60.4, 24.9, 10.7, 29.1, 22,   8.4, 6,
          10.7, 13,   20,   33.4, 16,   14.6, 17,   14,   16.4, 17.4, 12,   12.1});
    EXPECT_EQ(window->LambdaLabel->text(), "最尤λ = -0.035（95%信頼区間 -0.54 ～ 0.47）");
    EXPECT_EQ(window->MarkedRow, 10);
    const auto marks = window->Text2->extraSelections();
    ASSERT_EQ(marks.size(), 1);
    EXPECT_TRUE(marks[0].cursor.block().text().startsWith("0\t"));
    // The table, its copy and the λ box stay as they were.
    EXPECT_EQ(window->Text2->toPlainText(),
              QString::fromStdString(likelihoodTable(store)).replace("\r\n", "\n"));
    EXPECT_EQ(window->Text1->text(), "1");

    delete window;
    open({5});
    EXPECT_EQ(window->LambdaLabel->text(), "最尤λ：求められません（正の値3個以上が必要）");
    EXPECT_TRUE(window->Text2->extraSelections().isEmpty());
    EXPECT_EQ(window->MarkedRow, -1);
}

TEST_F(BoxWindowTest, ScrollsTheMarkedRowIntoSight) {
    // Squares of normal scores become normal again at λ = 0.5 … 2: x = √(50 + 10z) at the 60
    // scores z = Φ⁻¹((i − 0.5)/60) has its λ of largest likelihood near 2, far down the table.
    std::vector<double> values;
    for (int i = 1; i <= 60; ++i)
        values.push_back(std::sqrt(50 + 10 * normalQuantile((i - 0.5) / 60)));
    open(values);
    QCoreApplication::processEvents();
    ASSERT_GE(window->MarkedRow, 25);
    const auto marks = window->Text2->extraSelections();
    ASSERT_EQ(marks.size(), 1);
    const QRect row = window->Text2->cursorRect(marks[0].cursor);
    EXPECT_TRUE(window->Text2->viewport()->rect().contains(row.center()))
        << row.y() << " in " << window->Text2->viewport()->height();
    // The table above it is still there to scroll back to.
    EXPECT_GT(window->Text2->verticalScrollBar()->value(), 0);
}

TEST_F(BoxWindowTest, TwoPressesComposeAndTheGridShowsFullPrecision) {
    open({1, 2, 4});
    transform("0.5");
    transform("0.50");
    EXPECT_EQ(window->Label3->text(), "ﾃﾞｰﾀはλ=0.50で変換しました。");
    EXPECT_EQ(grid.commentLabels.back(), "ﾃﾞｰﾀはλ=0.50で変換しました。");
    // By hand: 4 → 2√4 − 1.5 = 2.5 → 2√2.5 − 1.5 = 1.6622776601683795.
    EXPECT_NEAR(store.DataValues[3].toNumber(), 1.6622776601683795, 1e-12);
    EXPECT_NEAR(std::stod(grid.cell(2)), 1.6622776601683795, 1e-13);
    EXPECT_TRUE(window->isVisible());
}

TEST_F(BoxWindowTest, CloseRoundsTheGridWhileOkLeavesItAtFullPrecision) {
    const double full = 1.3284271247461903;  // 2 → 2√2 − 1.5
    open({1, 2, 4});
    transform("0.5");
    press(window->Command4);  // OK
    EXPECT_TRUE(window.isNull());
    EXPECT_NEAR(std::stod(grid.cell(1)), full, 1e-13);
    EXPECT_NEAR(store.DataValues[2].toNumber(), full, 1e-13);

    open({1, 2, 4});
    transform("0.5");
    press(window->Command3);  // 閉じる
    EXPECT_TRUE(window.isNull());
    EXPECT_EQ(grid.cell(1), "1.328");
    EXPECT_EQ(store.DataValues[2].toNumber(), 1.328);
    EXPECT_NEAR(store.AnalysisValues[2].toNumber(), full, 1e-13);
}

TEST_F(BoxWindowTest, CloseRoundsAValueAtTheEdgeOfTheDoublesWithoutEndingTheProgram) {
    open({1, 2, 1.7976e308});  // rounding up to 1.798E+308 would leave the doubles
    press(window->Command3);   // 閉じる
    EXPECT_TRUE(prompt.shown.empty());
    EXPECT_EQ(grid.cell(2), "1.797E+308");
    EXPECT_DOUBLE_EQ(store.DataValues[3].toNumber(), 1.797e308);
    EXPECT_TRUE(window.isNull());
}

TEST_F(BoxWindowTest, RefusedLambdaShowsTheMessageAndChangesNothing) {
    open({-1, 2, 4});  // no square root of −1
    store.Lambda = store.LambdaShown = Value("1");
    const QString labelBefore = window->Label3->text();
    transform("0.5");
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].text,
              "このλの値ではデータを変換できません。データとλを確認して下さい。");
    EXPECT_EQ(prompt.shown[0].title, "入力エラー");
    EXPECT_TRUE(grid.untouched());
    EXPECT_EQ(window->Label3->text(), labelBefore);
    EXPECT_EQ(store.LambdaShown, Value("1"));
    EXPECT_EQ(dataValues(store), std::vector<double>({-1, 2, 4}));
    EXPECT_TRUE(window->isVisible());
}

}  // namespace
}  // namespace kijunchi::testing
