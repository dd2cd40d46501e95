// The two generator dialogs: focus handling, OK, キャンセル and the refused count.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <map>
#include <optional>
#include <string>

#include "analysis/store.h"
#include "generators/generators.h"
#include "generators/itiyou_dialog.h"
#include "generators/nrm_dialog.h"
#include "generators/random_source.h"
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
    std::optional<std::string> countLabel;
    std::optional<std::string> commentLabel;
    void putGridValue(int position, std::string_view text) override {
        cells[position] = std::string(text);
    }
    void resetCurrentCell() override {}
    void setCountLabel(std::string_view text) override { countLabel = std::string(text); }
    void setCommentLabel(std::string_view text) override { commentLabel = std::string(text); }
    bool untouched() const { return cells.empty() && !countLabel && !commentLabel; }
};

// A data set that a generator run would visibly replace.
AnalysisStore storeWithOldData() {
    AnalysisStore store;
    store.DataCount = store.WorkCount = 3;
    for (int i = 1; i <= 3; ++i) store.DataValues[i] = store.AnalysisValues[i] = 10.0 * i;
    store.Lambda = store.LambdaShown = Value("0.5");
    return store;
}

void expectOldDataKept(const AnalysisStore& store) {
    EXPECT_EQ(store.DataCount, 3);
    EXPECT_EQ(store.WorkCount, 3);
    for (int i = 1; i <= 3; ++i) {
        EXPECT_EQ(store.AnalysisValues[i].toNumber(), 10.0 * i);
        EXPECT_EQ(store.DataValues[i].toNumber(), 10.0 * i);
    }
    EXPECT_EQ(store.Lambda, Value("0.5"));
}

TEST(NrmDialogTest, EnterMovesTheFocusRoundTheBoxesAndCancelClosesWithoutChange) {
    AnalysisStore store = storeWithOldData();
    RandomSource random;
    RecordingGrid grid;
    testing::RecordingPrompt prompt;
    auto* dialog = new NRM(store, random, grid, prompt);
    QPointer<NRM> alive(dialog);
    dialog->show();
    dialog->Text1->setText("20");
    dialog->Text2->setText("50");
    dialog->Text3->setText("10");

    EXPECT_EQ(dialog->focusWidget(), dialog->Text1);
    QTest::keyClick(dialog->Text1, Qt::Key_Return);
    EXPECT_EQ(dialog->focusWidget(), dialog->Text2);
    QTest::keyClick(dialog->Text2, Qt::Key_Enter);
    EXPECT_EQ(dialog->focusWidget(), dialog->Text3);
    QTest::keyClick(dialog->Text3, Qt::Key_Return);
    EXPECT_EQ(dialog->focusWidget(), dialog->Text1);

    ASSERT_TRUE(alive);
    EXPECT_TRUE(dialog->isVisible());
    expectOldDataKept(store);
    EXPECT_TRUE(grid.untouched());
    EXPECT_TRUE(prompt.shown.empty());
    EXPECT_EQ(dialog->windowTitle(), "正規乱数の発生");
    EXPECT_FALSE(dialog->isModal());
    QTest::mouseClick(dialog->Command1, Qt::LeftButton);  // キャンセル: closes, changes nothing
    runDeferredDeletes();
    EXPECT_TRUE(alive.isNull());
    expectOldDataKept(store);
    EXPECT_TRUE(grid.untouched());
}

TEST(NrmDialogTest, OkGeneratesIntoTheStoreAndGridThenCloses) {
    AnalysisStore store = storeWithOldData();
    RandomSource random;
    RecordingGrid grid;
    testing::RecordingPrompt prompt;
    QPointer<NRM> dialog = new NRM(store, random, grid, prompt);
    dialog->show();
    dialog->Text1->setText("7");
    dialog->Text2->setText("1234.5678");
    dialog->Text3->setText("0");  // SD 0: seven copies of the mean
    QTest::mouseClick(dialog->Command2, Qt::LeftButton);

    runDeferredDeletes();

    EXPECT_TRUE(dialog.isNull());  // closed and deleted
    EXPECT_TRUE(prompt.shown.empty());
    EXPECT_EQ(store.WorkCount, 7);
    for (int i = 1; i <= 7; ++i) {
        EXPECT_EQ(store.AnalysisValues[i].toNumber(), 1234.5678);
        EXPECT_EQ(store.DataValues[i].toNumber(), 1235.0);
        EXPECT_EQ(grid.cells[i - 1], "1235");
    }
    EXPECT_EQ(grid.countLabel, "7");
    EXPECT_TRUE(store.Lambda.isBlank());
}

TEST(GeneratorDialogsTest, RefusedCountsChangeNothingAndKeepTheDialogOpen) {
    for (const char* count : {"5001", "-3", "2.5"}) {
        SCOPED_TRACE(count);
        AnalysisStore store = storeWithOldData();
        RandomSource random;
        RecordingGrid grid;
        testing::RecordingPrompt prompt;
        bool listed = false;
        NRM normal(store, random, grid, prompt);
        ITIYOU uniform(store, random, grid, prompt,
                       [&listed](const std::string&) { listed = true; });
        normal.setAttribute(Qt::WA_DeleteOnClose, false);
        uniform.setAttribute(Qt::WA_DeleteOnClose, false);
        normal.show();
        uniform.show();
        normal.Text1->setText(count);
        normal.Text2->setText("50");
        normal.Text3->setText("10");
        uniform.Text1->setText(count);
        uniform.Text2->setText("100");
        QTest::mouseClick(normal.Command2, Qt::LeftButton);
        QTest::mouseClick(uniform.Command2, Qt::LeftButton);

        ASSERT_EQ(prompt.shown.size(), 2u);
        for (const auto& shown : prompt.shown) {
            EXPECT_EQ(shown.text, "データ数は0以上5000以下の整数を入力して下さい。");
            EXPECT_EQ(shown.title, "入力エラー");
            EXPECT_EQ(shown.icon, Prompt::Icon::Exclamation);
        }
        EXPECT_TRUE(normal.isVisible());
        EXPECT_TRUE(uniform.isVisible());
        EXPECT_FALSE(listed);
        expectOldDataKept(store);
        EXPECT_TRUE(grid.untouched());
        // The uniform source was not drawn from.
        RandomSource fresh;
        EXPECT_EQ(random.uniform(), fresh.uniform());
    }
}

TEST(NrmDialogTest, ValuesThatOverflowAreRefusedWithTheCalculationErrorMessage) {
    AnalysisStore store = storeWithOldData();
    RandomSource random;
    RecordingGrid grid;
    testing::RecordingPrompt prompt;
    NRM dialog(store, random, grid, prompt);
    dialog.setAttribute(Qt::WA_DeleteOnClose, false);
    dialog.show();
    // Every positive deviate (about half of 100) pushes 1.7E308 past the largest double.
    dialog.Text1->setText("100");
    dialog.Text2->setText("1.7E308");
    dialog.Text3->setText("1E308");
    QTest::mouseClick(dialog.Command2, Qt::LeftButton);
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].text, "計算エラーがあります。データに問題が無いか確認して下さい。");
    EXPECT_EQ(prompt.shown[0].title, "エラー");
    EXPECT_TRUE(dialog.isVisible());
    expectOldDataKept(store);
    EXPECT_TRUE(grid.untouched());
}

TEST(ItiyouDialogTest, AValueTooLargeToRoundShowsTheCalculationErrorMessageInsteadOfEnding) {
    AnalysisStore store = storeWithOldData();
    RandomSource random;  // from its fixed seed, draw 1994 is 0.99994: 1.7976E308 rounds past
    RecordingGrid grid;   // the largest double
    testing::RecordingPrompt prompt;
    ITIYOU dialog(store, random, grid, prompt, [](const std::string&) {});
    dialog.setAttribute(Qt::WA_DeleteOnClose, false);
    dialog.show();
    dialog.Text1->setText("2000");
    dialog.Text2->setText("1.79769313486231E308");
    QTest::mouseClick(dialog.Command2, Qt::LeftButton);
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].text, "計算エラーがあります。データに問題が無いか確認して下さい。");
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(grid.cells.empty());
}

TEST(ItiyouDialogTest, OkListsTheFirstTenValuesRefreshesTheGridAndCloses) {
    AnalysisStore store = storeWithOldData();
    RandomSource random;
    RecordingGrid grid;
    testing::RecordingPrompt prompt;
    std::string listing;
    int listings = 0;
    QPointer<ITIYOU> dialog = new ITIYOU(store, random, grid, prompt, [&](const std::string& text) {
        listing = text;
        ++listings;
    });
    dialog->show();
    dialog->Text1->setText("12");
    dialog->Text2->setText("100");
    QTest::mouseClick(dialog->Command2, Qt::LeftButton);

    runDeferredDeletes();
    EXPECT_TRUE(dialog.isNull());
    EXPECT_TRUE(prompt.shown.empty());
    ASSERT_EQ(listings, 1);
    // Ten values of 1..100, each on its line, then an empty line.
    EXPECT_TRUE(listing.ends_with("\r\n\r\n"));
    EXPECT_EQ(std::count(listing.begin(), listing.end(), '\n'), 11);
    EXPECT_EQ(store.WorkCount, 12);
    EXPECT_EQ(store.UniformMax, 100.0);
    EXPECT_EQ(grid.countLabel, "12");
    EXPECT_EQ(grid.cells.size(), 12u);
}

}  // namespace
}  // namespace kijunchi
