// The transformation window: the table and its copy, "変換する", "OK", "閉じる", the refused λ.
#include "transform/box_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "analysis/store.h"
#include "input/grid_sink.h"
#include "support/recording_prompt.h"

namespace kijunchi {
namespace {

// Runs the deletions that closing a window with WA_DeleteOnClose has queued.
void runDeferredDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

class RecordingGrid final : public GridSink {
public:
    std::map<int, std::string> cells;
    std::string countLabel;
    std::string commentLabel;
    int writes = 0;
    void putGridValue(int position, std::string_view text) override {
        cells[position] = std::string(text);
        ++writes;
    }
    void resetCurrentCell() override {}
    void setCountLabel(std::string_view text) override {
        countLabel = std::string(text);
        ++writes;
    }
    void setCommentLabel(std::string_view text) override {
        commentLabel = std::string(text);
        ++writes;
    }
};

AnalysisStore storeWith(const std::vector<double>& values) {
    AnalysisStore store;
    store.DataCount = store.WorkCount = static_cast<int>(values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        store.DataValues[i + 1] = store.AnalysisValues[i + 1] = values[i];
    }
    return store;
}

// The modified power transformation with λ = 0.5, written out: (x^0.5 − 1)/0.5 + 0.5.
double half(double x) {
    return 2 * std::sqrt(x) - 1.5;
}

struct Fixture {
    AnalysisStore store;
    RecordingGrid grid;
    testing::RecordingPrompt prompt;
    QPointer<box> window;
    explicit Fixture(const std::vector<double>& values) : store(storeWith(values)) {
        window = new box(store, grid, prompt);
        window->show();
    }
    ~Fixture() { delete window; }
    void transform(const char* lambda) {
        window->Text1->setText(QString::fromUtf8(lambda));
        QTest::mouseClick(window->Command2, Qt::LeftButton);
    }
};

TEST(BoxWindowTest, OpensWithTheTableAndCopiesItWithCrLf) {
    Fixture f({1, 2, 4});
    EXPECT_EQ(f.window->windowTitle(), "修正ベキ変換");
    EXPECT_EQ(f.window->Text1->text(), "1");
    EXPECT_TRUE(f.window->Text2->isReadOnly());
    // Worked example for 1, 2, 4: ML(0) ≈ −0.3717051, ML(±1) ≈ −0.6627491, ML(3) ≈ −2.5625836.
    const QString shown = f.window->Text2->toPlainText();
    EXPECT_TRUE(shown.contains("\n0\t-0.3717051"));
    EXPECT_TRUE(shown.contains("\n1\t-0.6627491"));

    QApplication::clipboard()->setText("stale");
    QTest::mouseClick(f.window->Command1, Qt::LeftButton);
    const QString copied = QApplication::clipboard()->text();
    EXPECT_TRUE(
        copied.startsWith("\r\n\r\n Power Transfomation\r\nλ  \tML       　   \r\n-1\t-0.6627491"))
        << copied.left(80).toStdString();
    EXPECT_TRUE(copied.contains("\r\n3\t-2.56258356"));  // ≈ −2.5625836
    EXPECT_TRUE(copied.endsWith("\r\n"));
    EXPECT_EQ(copied.count("\r\n"), 2 + 1 + 1 + 41);
    EXPECT_EQ(copied.count('\n'), copied.count("\r\n"));
    EXPECT_TRUE(f.window->isVisible());
}

TEST(BoxWindowTest, EmptyTableForASingleValueAndTheButtonsStillWork) {
    Fixture f({5});
    EXPECT_TRUE(f.window->Text2->toPlainText().isEmpty());
    QApplication::clipboard()->setText("stale");
    QTest::mouseClick(f.window->Command1, Qt::LeftButton);
    EXPECT_TRUE(QApplication::clipboard()->text().isEmpty());
    f.transform("1");
    EXPECT_TRUE(f.prompt.shown.empty());
    EXPECT_EQ(f.window->Label3->text(), "ﾃﾞｰﾀはλ=1で変換しました。");
}

TEST(BoxWindowTest, TwoPressesComposeAndTheGridShowsFullPrecision) {
    Fixture f({1, 2, 4});
    f.transform("0.5");
    EXPECT_EQ(f.window->Label3->text(), "ﾃﾞｰﾀはλ=0.5で変換しました。");
    EXPECT_EQ(f.grid.commentLabel, "ﾃﾞｰﾀはλ=0.5で変換しました。");
    f.transform("0.50");
    EXPECT_EQ(f.window->Label3->text(), "ﾃﾞｰﾀはλ=0.50で変換しました。");
    EXPECT_EQ(f.store.Lambda, Value("0.50"));
    EXPECT_EQ(f.store.LambdaShown, Value("0.50"));

    const double data[] = {1, 2, 4};
    for (int i = 1; i <= 3; ++i) {
        const double expected = half(half(data[i - 1]));  // 4 → 2.5 → 2√2.5 − 1.5
        EXPECT_NEAR(f.store.DataValues[i].toNumber(), expected, 1e-12);
        EXPECT_NEAR(f.store.AnalysisValues[i].toNumber(), expected, 1e-12);
        EXPECT_NEAR(std::stod(f.grid.cells[i - 1]), expected, 1e-13);
        EXPECT_GE(f.grid.cells[i - 1].size(), 12u);  // not cut to four digits
    }
    EXPECT_EQ(f.grid.countLabel, "3");
    EXPECT_TRUE(f.window->isVisible());
}

TEST(BoxWindowTest, CloseRoundsTheGridWhileOkLeavesItAtFullPrecision) {
    const double expected = half(2);  // 2√2 − 1.5 = 1.32842712474619
    {
        Fixture f({1, 2, 4});
        f.transform("0.5");
        QTest::mouseClick(f.window->Command4, Qt::LeftButton);  // OK
        runDeferredDeletes();
        EXPECT_TRUE(f.window.isNull());
        EXPECT_NEAR(std::stod(f.grid.cells[1]), expected, 1e-13);
        EXPECT_NEAR(f.store.DataValues[2].toNumber(), expected, 1e-13);
    }
    {
        Fixture f({1, 2, 4});
        f.transform("0.5");
        QTest::mouseClick(f.window->Command3, Qt::LeftButton);  // 閉じる
        runDeferredDeletes();
        EXPECT_TRUE(f.window.isNull());
        EXPECT_EQ(f.grid.cells[0], "0.5");
        EXPECT_EQ(f.grid.cells[1], "1.328");
        EXPECT_EQ(f.grid.cells[2], "2.5");
        EXPECT_DOUBLE_EQ(f.store.DataValues[2].toNumber(), 1.328);
        EXPECT_NEAR(f.store.AnalysisValues[2].toNumber(), expected, 1e-13);
        EXPECT_EQ(f.store.Lambda, Value("0.5"));
    }
}

TEST(BoxWindowTest, CloseRoundsAValueAtTheEdgeOfTheDoublesWithoutEndingTheProgram) {
    Fixture f({1, 2, 1.7976e308});  // rounding up to 1.798E+308 would leave the doubles
    QTest::mouseClick(f.window->Command3, Qt::LeftButton);  // 閉じる
    runDeferredDeletes();
    EXPECT_TRUE(f.prompt.shown.empty());
    EXPECT_EQ(f.grid.cells[2], "1.797E+308");
    EXPECT_DOUBLE_EQ(f.store.DataValues[3].toNumber(), 1.797e308);
    EXPECT_TRUE(f.window.isNull());
}

TEST(BoxWindowTest, RefusedLambdaShowsTheMessageAndChangesNothing) {
    struct Case {
        std::vector<double> data;
        const char* lambda;
    };
    for (const Case& c : {Case{{1, 2, 4}, "abc"}, Case{{1, 2, 4}, ""}, Case{{-1, 2, 4}, "0.5"},
                          Case{{0, 2, 4}, "0"}}) {
        SCOPED_TRACE(c.lambda);
        Fixture f(c.data);
        f.store.Lambda = f.store.LambdaShown = Value("1");
        const QString labelBefore = f.window->Label3->text();
        const QString tableBefore = f.window->Text2->toPlainText();
        f.transform(c.lambda);

        ASSERT_EQ(f.prompt.shown.size(), 1u);
        EXPECT_EQ(f.prompt.shown[0].text,
                  "このλの値ではデータを変換できません。データとλを確認して下さい。");
        EXPECT_EQ(f.prompt.shown[0].title, "入力エラー");
        EXPECT_EQ(f.prompt.shown[0].icon, Prompt::Icon::Exclamation);
        EXPECT_EQ(f.grid.writes, 0);
        EXPECT_EQ(f.window->Label3->text(), labelBefore);
        EXPECT_EQ(f.window->Text2->toPlainText(), tableBefore);
        EXPECT_EQ(f.store.Lambda, Value("1"));
        EXPECT_EQ(f.store.LambdaShown, Value("1"));
        for (int i = 1; i <= 3; ++i) {
            EXPECT_EQ(f.store.DataValues[i].toNumber(), c.data[i - 1]);
            EXPECT_EQ(f.store.AnalysisValues[i].toNumber(), c.data[i - 1]);
        }
        EXPECT_TRUE(f.window->isVisible());
    }
}

TEST(BoxWindowTest, FocusGoesFromTheReportThroughTheButtonsToTheLambdaBox) {
    Fixture f({1, 2, 4});
    std::vector<QWidget*> order;
    QWidget* w = f.window->Text2;
    do {
        order.push_back(w);
        do {
            w = w->nextInFocusChain();
        } while (!(w->focusPolicy() & Qt::TabFocus) && w != f.window->Text2);
    } while (w != f.window->Text2 && order.size() < 20);
    const std::vector<QWidget*> expected = {f.window->Text2,    f.window->Command1,
                                            f.window->Command3, f.window->Command2,
                                            f.window->Command4, f.window->Text1};
    EXPECT_EQ(order, expected);
    EXPECT_EQ(f.window->focusWidget(), f.window->Text2);
}

}  // namespace
}  // namespace kijunchi
