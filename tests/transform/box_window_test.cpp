// The transformation window: the table's copy, "変換する", "OK", "閉じる" and the refused λ.
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
#include <string>
#include <vector>

#include "analysis/store.h"
#include "support/data_set.h"
#include "support/recording_grid.h"
#include "support/recording_prompt.h"
#include "transform/power_transform.h"

namespace kijunchi {
namespace {

struct Fixture {
    AnalysisStore store;
    testing::RecordingGrid grid;
    testing::RecordingPrompt prompt;
    QPointer<box> window;
    explicit Fixture(const std::vector<double>& values) {
        testing::load(store, values);
        window = new box(store, grid, prompt);
        window->show();
    }
    ~Fixture() { delete window; }
    void press(QPushButton* button) {
        QTest::mouseClick(button, Qt::LeftButton);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    void transform(const char* lambda) {
        window->Text1->setText(QString::fromUtf8(lambda));
        press(window->Command2);
    }
};

TEST(BoxWindowTest, ShowsAndCopiesTheTableWithCrLf) {
    Fixture f({1, 2, 4});
    EXPECT_EQ(f.window->Text1->text(), "1");
    QApplication::clipboard()->setText("stale");
    f.press(f.window->Command1);
    // The core's table text (checked there), CR LF and all; the window shows the same lines.
    const QString table = QString::fromStdString(likelihoodTable(f.store));
    EXPECT_EQ(QApplication::clipboard()->text(), table);
    EXPECT_TRUE(table.contains("\r\n"));
    EXPECT_EQ(f.window->Text2->toPlainText(), QString(table).replace("\r\n", "\n"));
    EXPECT_TRUE(f.window->isVisible());
}

TEST(BoxWindowTest, TwoPressesComposeAndTheGridShowsFullPrecision) {
    Fixture f({1, 2, 4});
    f.transform("0.5");
    f.transform("0.50");
    EXPECT_EQ(f.window->Label3->text(), "ﾃﾞｰﾀはλ=0.50で変換しました。");
    EXPECT_EQ(f.grid.commentLabels.back(), "ﾃﾞｰﾀはλ=0.50で変換しました。");
    // By hand: 4 → 2√4 − 1.5 = 2.5 → 2√2.5 − 1.5 = 1.6622776601683795.
    EXPECT_NEAR(f.store.DataValues[3].toNumber(), 1.6622776601683795, 1e-12);
    EXPECT_NEAR(std::stod(f.grid.cell(2)), 1.6622776601683795, 1e-13);
    EXPECT_TRUE(f.window->isVisible());
}

TEST(BoxWindowTest, CloseRoundsTheGridWhileOkLeavesItAtFullPrecision) {
    const double full = 1.3284271247461903;  // 2 → 2√2 − 1.5
    Fixture ok({1, 2, 4});
    ok.transform("0.5");
    ok.press(ok.window->Command4);  // OK
    EXPECT_TRUE(ok.window.isNull());
    EXPECT_NEAR(std::stod(ok.grid.cell(1)), full, 1e-13);
    EXPECT_NEAR(ok.store.DataValues[2].toNumber(), full, 1e-13);

    Fixture close({1, 2, 4});
    close.transform("0.5");
    close.press(close.window->Command3);  // 閉じる
    EXPECT_TRUE(close.window.isNull());
    EXPECT_EQ(close.grid.cell(1), "1.328");
    EXPECT_EQ(close.store.DataValues[2].toNumber(), 1.328);
    EXPECT_NEAR(close.store.AnalysisValues[2].toNumber(), full, 1e-13);
}

TEST(BoxWindowTest, RefusedLambdaShowsTheMessageAndChangesNothing) {
    struct Case {
        std::vector<double> data;
        const char* lambda;
    };
    for (const Case& c : {Case{{1, 2, 4}, "abc"}, Case{{-1, 2, 4}, "0.5"}}) {
        SCOPED_TRACE(c.lambda);
        Fixture f(c.data);
        f.store.Lambda = f.store.LambdaShown = Value("1");
        const QString labelBefore = f.window->Label3->text();
        f.transform(c.lambda);
        ASSERT_EQ(f.prompt.shown.size(), 1u);
        EXPECT_EQ(f.prompt.shown[0].text,
                  "このλの値ではデータを変換できません。データとλを確認して下さい。");
        EXPECT_EQ(f.prompt.shown[0].title, "入力エラー");
        EXPECT_TRUE(f.grid.untouched());
        EXPECT_EQ(f.window->Label3->text(), labelBefore);
        EXPECT_EQ(f.store.LambdaShown, Value("1"));
        EXPECT_EQ(testing::dataValues(f.store), c.data);
        EXPECT_TRUE(f.window->isVisible());
    }
}

}  // namespace
}  // namespace kijunchi
