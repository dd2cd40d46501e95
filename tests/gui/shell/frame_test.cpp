// The frame: start-up, the menu-bar swap, tiling, the exit confirmation, the toolbar, the
// result windows' refusal to close and the Japanese message boxes.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QToolBar>
#include <algorithm>

#include "gui/evaluation/evaluation_window.h"
#include "gui/results/histogram_window.h"
#include "gui/results/statistics_window.h"
#include "gui/shell/frame_fixture.h"
#include "gui/shell/startf.h"

namespace kijunchi::testing {
namespace {

TEST(StartUp, ShowsTheStartupWindowModallyWithTheFrameBehindThenTheInputWindow) {
    AnalysisStore store;
    RandomSource random;
    RecordingPrompt prompt;
    MDIForm1 frame(store, random, prompt);
    bool startfShownAlone = false;  // modal, the frame visible behind, no input window yet
    QTimer::singleShot(0, [&] {
        startfShownAlone = qobject_cast<Startf*>(QApplication::activeModalWidget()) &&
                           frame.isVisible() && frame.inputWindow() == nullptr;
    });
    frame.startUp(20);  // the program's timer is 3000 ms

    EXPECT_TRUE(startfShownAlone);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_TRUE(frame.findChildren<Startf*>().isEmpty());
    ASSERT_NE(frame.inputWindow(), nullptr);
    EXPECT_TRUE(frame.inputWindow()->isVisible());
    EXPECT_EQ(frame.mdiArea->activeSubWindow(), frame.subWindowOf(frame.inputWindow()));
}

TEST_F(FrameTest, TheInputWindowsMenuBarReplacesTheFramesWhileItIsTheActiveChild) {
    QMenuBar* bar = frame->menuBar();
    EXPECT_EQ(bar->actions(), input().menuBarActions());

    frame->tileCommand();  // ends with the histogram window active
    EXPECT_EQ(frame->mdiArea->activeSubWindow(), frame->subWindowOf(frame->histogramWindow()));
    EXPECT_EQ(bar->actions(), frame->frameMenuActions());

    frame->mdiArea->setActiveSubWindow(frame->subWindowOf(frame->inputWindow()));
    EXPECT_EQ(bar->actions(), input().menuBarActions());

    closeInputWindow();
    EXPECT_EQ(bar->actions(), frame->frameMenuActions());
}

// Saving, printing and the PDF are in the menus whichever child window is active, and the input
// window's window menu opens the evaluation like the frame's.
TEST_F(FrameTest, TheFileCommandsAndTheEvaluationAreInBothMenuBars) {
    frame->tileCommand();  // the histogram window active: the frame's menu bar
    QMenu* file = nullptr;
    for (QAction* entry : frame->menuBar()->actions())
        if (entry->menu() && entry->menu()->actions().contains(frame->ExportPdf))
            file = entry->menu();
    ASSERT_NE(file, nullptr);
    for (QAction* command : {frame->SaveStatistics, frame->ExportPicture, frame->PrintReport})
        EXPECT_TRUE(file->actions().contains(command));

    QStringList windowMenu;
    for (QAction* item : input().WW1->actions()) windowMenu << item->text();
    EXPECT_TRUE(windowMenu.contains(QStringLiteral("基準範囲の評価")));
    QGuiApplication::clipboard()->setText(QStringLiteral("5\r\n7\r\n9\r\n"));
    input().Command2->click();
    input().WW5->trigger();
    ASSERT_NE(frame->evaluationWindow(), nullptr);
    EXPECT_TRUE(frame->evaluationWindow()->isVisible());
}

TEST_F(FrameTest, TileShowsTheThreeWindowsOneAboveTheOtherAcrossTheWorkArea) {
    // Before any analysis: the result windows are created and shown by the command.
    frame->WW1->trigger();
    QRect area = frame->mdiArea->viewport()->rect();
    QList<QMdiSubWindow*> subs = frame->mdiArea->subWindowList();
    ASSERT_EQ(subs.size(), 3);
    std::sort(subs.begin(), subs.end(),
              [](auto* a, auto* b) { return a->geometry().top() < b->geometry().top(); });
    int share = area.height() / 3;
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(subs[i]->isVisible());
        EXPECT_EQ(subs[i]->geometry().left(), 0);
        EXPECT_EQ(subs[i]->geometry().width(), area.width());
        EXPECT_EQ(subs[i]->geometry().top(), i * share);
    }
    EXPECT_EQ(subs[1]->height(), share);
    EXPECT_EQ(subs[2]->geometry().bottom(), area.bottom());
}

TEST_F(FrameTest, EveryExitAsksAndOnlyYesEndsTheProgram) {
    paste(QStringLiteral("12\r\n15\r\n"));
    frame->tileCommand();
    // "終了", its two menu items, the frame's menu item and the frame's own close box.
    prompt.answers = {false, false, false, false, false};
    input().Command10->click();
    input().ME->trigger();
    input().EN->trigger();
    frame->M8->trigger();
    EXPECT_FALSE(frame->close());
    ASSERT_EQ(prompt.shown.size(), 5u);
    for (const auto& shown : prompt.shown) {
        EXPECT_EQ(shown.text, QStringLiteral("終了しますか。"));
        EXPECT_EQ(shown.title, QStringLiteral("終了の確認"));
        EXPECT_EQ(shown.icon, Prompt::Icon::Question);
    }
    EXPECT_EQ(programEnds, 0);
    EXPECT_TRUE(frame->isVisible());
    EXPECT_EQ(frame->mdiArea->subWindowList().size(), 3);
    EXPECT_EQ(input().TextMatrix(2, 1), QStringLiteral("15"));

    prompt.answers = {true};
    EXPECT_TRUE(frame->close());
    EXPECT_EQ(programEnds, 1);
}

TEST_F(FrameTest, ToolbarButtonTwoShowsTheInputWindowAndFourThePrinterSetUp) {
    QList<QAction*> buttons = frame->Toolbar1->actions();
    ASSERT_EQ(buttons.size(), 5);
    closeInputWindow();
    for (int i : {0, 2, 4}) buttons[i]->trigger();  // the others do nothing
    EXPECT_EQ(frame->inputWindow(), nullptr);
    EXPECT_EQ(printerDialogs, 0);
    buttons[1]->trigger();
    EXPECT_NE(frame->inputWindow(), nullptr);
    buttons[3]->trigger();
    EXPECT_EQ(printerDialogs, 1);
}

TEST_F(FrameTest, ResultWindowsRefuseToBeClosed) {
    frame->tileCommand();
    for (QWidget* window : {static_cast<QWidget*>(frame->statisticsWindow()),
                            static_cast<QWidget*>(frame->histogramWindow())}) {
        prompt.shown.clear();
        QMdiSubWindow* sub = frame->subWindowOf(window);
        EXPECT_FALSE(sub->close());
        flushDeletes();
        ASSERT_EQ(prompt.shown.size(), 1u);
        EXPECT_EQ(prompt.shown[0].text, QStringLiteral("このフォームを削除しないで下さい。"));
        EXPECT_EQ(prompt.shown[0].title, QStringLiteral("お願い"));
        EXPECT_TRUE(sub->isVisible());
        EXPECT_EQ(frame->subWindowOf(window), sub);
    }
}

TEST(MessageBoxPrompt, AsksInJapaneseWithYesAsTheDefault) {
    QStringList buttons;  // the default first
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->defaultButton()) return;
        buttons << box->defaultButton()->text();
        for (QAbstractButton* b : box->buttons())
            if (b != box->defaultButton()) buttons << b->text();
        box->button(QMessageBox::No)->click();
    });
    EXPECT_FALSE(MessageBoxPrompt().askYesNo(nullptr, QStringLiteral("終了しますか。"),
                                             QStringLiteral("終了の確認")));
    EXPECT_EQ(buttons, QStringList({"はい(&Y)", "いいえ(&N)"}));
}

}  // namespace
}  // namespace kijunchi::testing
