// The frame: start-up, menus and their swap, toolbar, arrangement, exit confirmation, version
// window.
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include "results/histogram_window.h"
#include "results/statistics_window.h"
#include "shell/about.h"
#include "shell/frame_fixture.h"
#include "shell/startf.h"

namespace kijunchi::testing {
namespace {

QStringList titles(const QList<QAction*>& actions) {
    QStringList list;
    for (const QAction* a : actions) list << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return list;
}

TEST(Startf, IsACaptionlessPictureClosedByA3000msTimerRunningFromItsCreation) {
    Startf startf(nullptr);
    EXPECT_TRUE(startf.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(startf.Image1->pixmap().size(), QSize(198, 200));
    EXPECT_EQ(startf.Timer1->interval(), 3000);
    EXPECT_TRUE(startf.Timer1->isActive());
}

TEST(StartUp, ShowsTheStartupWindowModallyWithTheFrameBehindThenTheInputWindow) {
    AnalysisStore store;
    RandomSource random;
    RecordingPrompt prompt;
    MDIForm1 frame(store, random, prompt);
    bool frameVisibleDuringStartup = false;
    bool inputExistedDuringStartup = true;
    QString startupWindowClass;
    QTimer::singleShot(0, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal) startupWindowClass = QString::fromLatin1(modal->metaObject()->className());
        frameVisibleDuringStartup = frame.isVisible();
        inputExistedDuringStartup = frame.inputWindow() != nullptr;
    });
    frame.startUp(20);

    EXPECT_EQ(startupWindowClass, QStringLiteral("kijunchi::Startf"));
    EXPECT_TRUE(frameVisibleDuringStartup);
    EXPECT_FALSE(inputExistedDuringStartup);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_TRUE(frame.findChildren<Startf*>().isEmpty());
    ASSERT_NE(frame.inputWindow(), nullptr);
    EXPECT_TRUE(frame.inputWindow()->isVisible());
    EXPECT_EQ(frame.mdiArea->activeSubWindow(), frame.subWindowOf(frame.inputWindow()));
    EXPECT_EQ(frame.windowTitle(), QStringLiteral("基準値（正規性の確認とベキ変換）"));
    EXPECT_EQ(store.ClassCount, 5);
}

TEST_F(FrameTest, MenuBarsHoldTheTitlesAndItemsInTheirOrder) {
    EXPECT_EQ(
        titles(frame->frameMenuActions()),
        QStringList({"入力画面の表示", "バージョン情報", "ウィンドウ(画面の整列）(&W)", "終了"}));
    EXPECT_EQ(titles(frame->M7->actions()), QStringList({"製作にあたって"}));
    EXPECT_EQ(titles(frame->ww->actions()), QStringList({"並べて表示", "重ねて表示"}));

    EXPECT_EQ(titles(input().menuBarActions()),
              QStringList({"ファイル", "ウィンドウ(&W)", "バージョン情報", "終了"}));
    EXPECT_EQ(titles(input().M1->actions()),
              QStringList({"新規作成", "-", "プリンターの設定", "-", "終了"}));
    EXPECT_EQ(titles(input().WW1->actions()), QStringList({"並べて表示", "重ねて表示"}));
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

TEST_F(FrameTest, TileShowsTheThreeWindowsOneAboveTheOtherAcrossTheWorkArea) {
    // Before any analysis: the result windows are created and shown by the command.
    frame->WW1->trigger();
    ASSERT_NE(frame->statisticsWindow(), nullptr);
    ASSERT_NE(frame->histogramWindow(), nullptr);

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
    EXPECT_EQ(subs[0]->height(), share);
    EXPECT_EQ(subs[1]->height(), share);
    EXPECT_EQ(subs[2]->geometry().bottom(), area.bottom());
}

TEST_F(FrameTest, CascadeFromTheInputWindowShowsTheHistogramWindowFirstTheFramesDoesNot) {
    frame->WW2->trigger();
    EXPECT_EQ(frame->histogramWindow(), nullptr);
    input().WW3->trigger();
    ASSERT_NE(frame->histogramWindow(), nullptr);
    EXPECT_TRUE(frame->histogramWindow()->isVisible());
    EXPECT_EQ(frame->statisticsWindow(), nullptr);
}

TEST_F(FrameTest, ExitConfirmationAnsweredNoChangesNothingAndYesEndsTheProgram) {
    paste(QStringLiteral("12\r\n15\r\n"));
    prompt.answers = {false};
    input().Command10->click();
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].text, QStringLiteral("終了しますか。"));
    EXPECT_EQ(prompt.shown[0].title, QStringLiteral("終了の確認"));
    EXPECT_EQ(prompt.shown[0].icon, Prompt::Icon::Question);
    EXPECT_EQ(programEnds, 0);
    EXPECT_NE(frame->inputWindow(), nullptr);
    EXPECT_EQ(store->DataCount, 2);
    EXPECT_EQ(input().TextMatrix(2, 1), QStringLiteral("15"));

    // Every exit command asks the same question.
    prompt.answers = {false, false, false};
    input().ME->trigger();
    input().EN->trigger();
    frame->M8->trigger();
    EXPECT_EQ(prompt.shown.size(), 4u);
    EXPECT_EQ(programEnds, 0);

    prompt.answers = {true};
    frame->M8->trigger();
    EXPECT_EQ(programEnds, 1);
}

TEST_F(FrameTest, TheFramesCloseBoxAsksTheExitConfirmation) {
    frame->tileCommand();
    prompt.answers = {false};
    EXPECT_FALSE(frame->close());
    EXPECT_TRUE(frame->isVisible());
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].text, QStringLiteral("終了しますか。"));
    EXPECT_EQ(programEnds, 0);
    EXPECT_EQ(frame->mdiArea->subWindowList().size(), 3);

    prompt.answers = {true};
    EXPECT_TRUE(frame->close());
    EXPECT_EQ(programEnds, 1);
}

TEST_F(FrameTest, ToolbarButtonsActByTheirIndex) {
    QList<QAction*> buttons = frame->Toolbar1->actions();
    ASSERT_EQ(buttons.size(), 5);
    EXPECT_EQ(buttons[1]->toolTip(), QStringLiteral("メニュー画面の表示"));
    for (QAction* b : buttons) EXPECT_EQ(b->icon().availableSizes().value(0), QSize(16, 16));

    closeInputWindow();
    for (int i : {0, 2, 4}) buttons[i]->trigger();
    EXPECT_EQ(frame->inputWindow(), nullptr);
    EXPECT_EQ(printerDialogs, 0);
    EXPECT_TRUE(prompt.shown.empty());

    buttons[1]->trigger();
    ASSERT_NE(frame->inputWindow(), nullptr);
    EXPECT_TRUE(frame->inputWindow()->isVisible());

    buttons[3]->trigger();
    EXPECT_EQ(printerDialogs, 1);
    input().P1->trigger();
    EXPECT_EQ(printerDialogs, 2);
}

TEST_F(FrameTest, VersionWindowIsModalFromTheFrameAndModelessFromTheInputWindow) {
    QString title, version, note;
    bool modal = false;
    QTimer::singleShot(0, [&] {
        auto* about = qobject_cast<About*>(QApplication::activeModalWidget());
        if (!about) return;
        modal = true;
        title = about->windowTitle();
        version = about->Label1->text();
        note = about->Label2->text();
        about->OK->click();
    });
    emit frame->M7->aboutToShow();  // choosing the menu title
    EXPECT_TRUE(modal);
    EXPECT_EQ(title, QStringLiteral("バージョン情報"));
    EXPECT_EQ(version, QStringLiteral("β　Version 1"));
    EXPECT_EQ(note, QStringLiteral("（注）データ数は5000以下ですが増やすことはできます。"));

    input().ww4->trigger();
    About* about = frame->modelessAbout();
    ASSERT_NE(about, nullptr);
    EXPECT_TRUE(about->isVisible());
    EXPECT_FALSE(about->isModal());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    about->OK->click();
    flushDeletes();
    EXPECT_EQ(frame->modelessAbout(), nullptr);
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
        EXPECT_EQ(prompt.shown[0].icon, Prompt::Icon::Exclamation);
        EXPECT_TRUE(sub->isVisible());
        EXPECT_EQ(frame->subWindowOf(window), sub);
    }
}

TEST(MessageBoxPrompt, AsksInJapaneseWithYesAsTheDefault) {
    MessageBoxPrompt prompt;
    QStringList buttons;
    QString defaultButton;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        for (QAbstractButton* b : box->buttons()) buttons << b->text();
        defaultButton = box->defaultButton() ? box->defaultButton()->text() : QString();
        icon = box->icon();
        box->button(QMessageBox::No)->click();
    });
    EXPECT_FALSE(
        prompt.askYesNo(nullptr, QStringLiteral("終了しますか。"), QStringLiteral("終了の確認")));
    buttons.sort();
    EXPECT_EQ(buttons, QStringList({"いいえ(&N)", "はい(&Y)"}));
    EXPECT_EQ(defaultButton, QStringLiteral("はい(&Y)"));
    EXPECT_EQ(icon, QMessageBox::Question);
}

}  // namespace
}  // namespace kijunchi::testing
