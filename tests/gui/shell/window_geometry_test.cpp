// The windows at every size: cascade keeps every title bar in view, the input window's controls
// stay reachable and its grid grows, no button covers text, the chart follows the picture's
// size, windows open where they can be seen, the toolbar buttons and the keyboard.
#include <QAction>
#include <QApplication>
#include <QChartView>
#include <QClipboard>
#include <QFontMetrics>
#include <QGraphicsTextItem>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegion>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QWindow>
#include <algorithm>
#include <optional>

#include "gui/evaluation/distribution_charts.h"
#include "gui/evaluation/evaluation_window.h"
#include "gui/results/histogram_window.h"
#include "gui/results/picture_box.h"
#include "gui/results/statistics_window.h"
#include "gui/shell/about.h"
#include "gui/shell/frame_fixture.h"
#include "gui/transform/box_window.h"

namespace kijunchi::testing {
namespace {

// 40 values, enough for a chart with bars and the curve.
QString glucose() {
    QString text;
    for (int v :
         {92, 88, 97,  101, 85, 94, 90, 99,  87, 93, 105, 91, 89, 96, 84, 98,  92, 95, 103, 90,
          86, 94, 100, 93,  88, 97, 91, 108, 95, 89, 92,  99, 96, 83, 94, 102, 90, 93, 87,  98})
        text += QString::number(v) + QStringLiteral("\r\n");
    return text;
}

int countPixels(const QImage& image, QRgb colour) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) n += (image.pixel(x, y) & 0xffffff) == colour;
    return n;
}

class WindowsTest : public FrameTest {
protected:
    void analyse() {
        paste(glucose());
        input().Command5->click();
    }
    QMdiSubWindow* sub(QWidget* window) { return frame->subWindowOf(window); }
    // The part of a child window's title bar that no window in front of it covers.
    QRegion visibleTitleBar(QMdiSubWindow* window) {
        const int title = window->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, window);
        QRegion visible(QRect(window->geometry().topLeft(), QSize(window->width(), title)));
        const QList<QMdiSubWindow*> stacking =
            frame->mdiArea->subWindowList(QMdiArea::StackingOrder);
        for (qsizetype i = stacking.indexOf(window) + 1; i < stacking.size(); ++i)
            if (stacking[i]->isVisible()) visible -= stacking[i]->geometry();
        return visible;
    }
    void makeActive() {
        frame->activateWindow();
        QApplication::setActiveWindow(frame.get());
    }
};

TEST_F(WindowsTest, CascadePutsTheActiveWindowInFrontAndKeepsEveryTitleBarInView) {
    analyse();
    for (QAction* command : {frame->WW2, input().WW3}) {
        SCOPED_TRACE(command->text().toStdString());
        // The large statistics window active: it goes in front at the last offset.
        frame->mdiArea->setActiveSubWindow(sub(frame->statisticsWindow()));
        command->trigger();
        const QList<QMdiSubWindow*> stacking =
            frame->mdiArea->subWindowList(QMdiArea::StackingOrder);
        ASSERT_EQ(stacking.size(), 3);
        QMdiSubWindow* front = frame->mdiArea->activeSubWindow();
        EXPECT_EQ(stacking.back(), front);
        for (QMdiSubWindow* window : stacking) {
            EXPECT_GT(front->geometry().top(), window == front ? -1 : window->geometry().top());
            const QRegion title = visibleTitleBar(window);
            EXPECT_FALSE(title.isEmpty()) << window->windowTitle().toStdString();
            EXPECT_GE(title.boundingRect().width(), 40) << window->windowTitle().toStdString();
            EXPECT_TRUE(frame->mdiArea->viewport()->rect().contains(window->geometry()));
        }
    }
}

TEST_F(WindowsTest, TheInputWindowScrollsToEveryControlWhenTiledSmall) {
    frame->tileCommand();
    QScrollArea* scroll = input().scrollArea();
    ASSERT_LT(scroll->viewport()->height(), input().sizeHint().height());
    EXPECT_GT(scroll->verticalScrollBar()->maximum(), 0);
    for (QWidget* control :
         std::initializer_list<QWidget*>{input().Command3, input().Command9, input().Command4,
                                         input().Command10, input().Text3}) {
        SCOPED_TRACE(control->objectName().toStdString());
        scroll->ensureWidgetVisible(control, 0, 0);
        const QRect place(control->mapTo(scroll->viewport(), QPoint(0, 0)), control->size());
        EXPECT_TRUE(scroll->viewport()->rect().contains(place));
    }
}

TEST_F(WindowsTest, AMaximisedInputWindowGivesTheRoomToTheGrid) {
    QTableWidget* grid = input().MSFlexGrid1;
    const QSize designed = grid->size();
    const int designedRows = grid->rowAt(grid->viewport()->height() - 1);
    sub(&input())->showMaximized();
    QScrollArea* scroll = input().scrollArea();
    EXPECT_EQ(scroll->verticalScrollBar()->maximum(), 0);
    EXPECT_GT(grid->height(), designed.height() + 100);
    // Only as wide as its columns need: five narrow ones fit the designed width, wider ones
    // take more of the room.
    EXPECT_EQ(grid->width(), designed.width());
    for (int position : {0, 200, 400, 600, 800})
        frame->inputGrid().putGridValue(position, "-2.30258509299405");
    EXPECT_GT(grid->width(), designed.width());
    EXPECT_LE(grid->width(), grid->verticalHeader()->width() + grid->horizontalHeader()->length() +
                                 grid->verticalScrollBar()->sizeHint().width() +
                                 2 * grid->frameWidth());
    EXPECT_GT(grid->rowAt(grid->viewport()->height() - 1), designedRows + 5);
    // The controls below the grid stay below it, inside the window.
    for (QWidget* control :
         std::initializer_list<QWidget*>{input().Label4, input().Command10, input().Command3}) {
        EXPECT_GE(control->y(), grid->geometry().bottom());
        EXPECT_LE(control->geometry().bottom(), scroll->viewport()->height());
    }
    // Back to normal, the designed height returns.
    sub(&input())->showNormal();
    EXPECT_EQ(grid->height(), designed.height());
}

TEST_F(WindowsTest, GridColumnsMakeRoomForFifteenSignificantDigits) {
    const QString widest = QStringLiteral("-2.30258509299405");
    frame->inputGrid().putGridValue(0, "12.5");
    const int narrow = input().MSFlexGrid1->columnWidth(0);
    frame->inputGrid().putGridValue(200, widest.toStdString());
    const QFontMetrics metrics(input().MSFlexGrid1->font());
    EXPECT_GT(input().MSFlexGrid1->columnWidth(1), metrics.horizontalAdvance(widest));
    EXPECT_EQ(input().MSFlexGrid1->columnWidth(0), narrow);
    EXPECT_EQ(input().MSFlexGrid1->item(0, 1)->toolTip(), widest);
    // New gives the columns their designed width back.
    input().Command1->click();
    EXPECT_EQ(input().MSFlexGrid1->columnWidth(1), narrow);
}

TEST_F(WindowsTest, NoButtonCoversTheTextOrThePicture) {
    analyse();
    for (QSize size : {QSize(300, 200), QSize(700, 500)}) {
        sub(frame->statisticsWindow())->resize(size);
        sub(frame->histogramWindow())->resize(size);
        const StatV& statV = *frame->statisticsWindow();
        EXPECT_GT(statV.Text2->geometry().top(), statV.Command1->geometry().bottom());
        EXPECT_EQ(statV.Text2->geometry().bottom(), statV.rect().bottom());
        const REG& reg = *frame->histogramWindow();
        for (QWidget* button : {reg.Command1, reg.Command3})
            EXPECT_GT(reg.Picture1->geometry().top(), button->geometry().bottom());
        EXPECT_EQ(reg.Picture1->geometry().bottom(), reg.rect().bottom());
    }
}

TEST_F(WindowsTest, TheChartFollowsThePictureSizeAndTheCopyIsThePictureAsShown) {
    analyse();
    REG& reg = *frame->histogramWindow();
    const auto steps = reg.Picture1->drawing().size();
    frame->tileCommand();
    sub(&reg)->resize(sub(&reg)->width() - 150, sub(&reg)->height() + 90);
    const QImage shown = reg.Picture1->image();
    EXPECT_EQ(shown.size(), reg.Picture1->size() * reg.Picture1->devicePixelRatioF());
    EXPECT_EQ(reg.Picture1->drawing().size(), steps);  // resizing runs nothing again
    EXPECT_GT(countPixels(shown, 0x0000ff), 50);       // the normal curve
    EXPECT_GT(countPixels(shown, 0x000000), 200);      // text, bars and axes

    QGuiApplication::clipboard()->setText(QStringLiteral("something else"));
    reg.Command1->click();
    const QImage copied = QGuiApplication::clipboard()->image();
    EXPECT_EQ(copied.size(), shown.size());
    EXPECT_EQ(copied.convertToFormat(QImage::Format_RGB32),
              shown.convertToFormat(QImage::Format_RGB32));
}

TEST(PictureBox, NoLineOfTheChartCrossesAPrintedLine) {
    PictureBox picture;
    picture.resize(200, 100);
    PainterCanvas canvas(picture);
    canvas.clear();
    canvas.printLine("WWWWWWWWWW");
    canvas.setScale(0, 0, 200, 100);
    canvas.drawLine(20, 0, 20, 100);  // an axis where the text would begin
    canvas.drawLine(0, 5, 200, 5);    // a line through the text
    const QImage image = picture.image();
    const int lineHeight = QFontMetrics(picture.font()).height();
    // The axis is whole: the text begins to its right.
    for (int y = 0; y < 100; ++y) EXPECT_EQ(image.pixel(20, y) & 0xffffff, 0u) << y;
    int black = 0;
    for (int x = 24; x < 100; ++x) black += (image.pixel(x, 5) & 0xffffff) == 0;
    EXPECT_LT(black, 76);  // the line is interrupted by the text's white ground
    EXPECT_EQ(image.pixel(150, 5) & 0xffffff, 0u);  // and drawn beyond it
    (void)lineHeight;
}

TEST(PictureBox, PrintedLinesStayAboveTheAxisAndTheLabelInside) {
    // Eleven printed lines, as many as the histogram window's summary, over a chart whose axis
    // runs along the bottom; the largest class's label far above the picture's top.
    for (const int height : {180, 240, 400}) {
        SCOPED_TRACE(height);
        PictureBox picture;
        picture.resize(600, height);
        PainterCanvas canvas(picture);
        canvas.clear();
        for (int i = 0; i < 11; ++i) canvas.printLine("          Number of data= 25");
        canvas.setScale(-10, -10, 400, 400);
        canvas.drawLine(20, -460, 20, 399);
        canvas.drawLine(20, 399, 330, 399);
        canvas.drawLine(15, -300, 20, -300);
        canvas.printAtPosition("15");
        const QImage image = picture.image();
        // The text (black right of the axis, above the bottom axis) well above the axis: in the
        // top 60% (and a little for the rounding of the font's size).
        int lowest = 0;
        for (int y = 0; y < height - 5; ++y)
            for (int x = 60; x < 400; ++x)
                if (qGray(image.pixel(x, y)) < 160) lowest = y;
        EXPECT_LE(lowest, height * 13 / 20);
        // The label at the top, where the axis is at 30/410 of the width (44 pixels), not
        // hidden by the text beside it.
        int label = 0;
        for (int y = 0; y < 12; ++y)
            for (int x = 40; x < 60; ++x) label += qGray(image.pixel(x, y)) < 160;
        EXPECT_GT(label, 3);
    }
}

TEST_F(WindowsTest, TheInputWindowOpensCentredInTheWorkArea) {
    const QRect area = frame->mdiArea->viewport()->rect();
    const QRect window = sub(&input())->geometry();
    ASSERT_LE(window.width(), area.width());
    ASSERT_LE(window.height(), area.height());
    EXPECT_LE(std::abs(window.center().x() - area.center().x()), 1);
    EXPECT_LE(std::abs(window.center().y() - area.center().y()), 1);
}

TEST(FramePlacement, TheFrameOpensInsideTheAvailableScreenArea) {
    AnalysisStore store;
    RandomSource random;
    RecordingPrompt prompt;
    MDIForm1 frame(store, random, prompt);
    const QRect room = frame.screen()->availableGeometry();
    ASSERT_LT(room.height(), 820);  // the size the frame would like does not fit
    // With room for the window manager's title bar and borders around it.
    EXPECT_TRUE(room.contains(frame.geometry().adjusted(0, 0, 16, 48)));
    EXPECT_GT(frame.height(), room.height() - 100);
}

// A place remembered on a larger screen or at a smaller scaling: the offscreen screen is
// 800 × 800, and the frame keeps 16 × 48 pixels around it for the window manager's frame.
// Expected: the frame's corner (pos) and the size, or nothing where the place is kept as it was.
TEST(FramePlacement, ARememberedPlaceIsKeptInsideTheAvailableScreenArea) {
    struct Case {
        QRect remembered;
        std::optional<QRect> moved;
    };
    const Case cases[] = {
        {QRect(40, 50, 300, 200), std::nullopt},
        {QRect(500, 400, 700, 400), QRect(84, 352, 700, 400)},  // 800 − 716, 800 − 448
        {QRect(40, 50, 1400, 1000), QRect(0, 0, 784, 752)},     // too large: fitted, centred
    };
    for (const Case& c : cases) {
        AnalysisStore store;
        RandomSource random;
        RecordingPrompt prompt;
        {
            MDIForm1 before(store, random, prompt);
            ASSERT_EQ(before.screen()->availableGeometry(), QRect(0, 0, 800, 800));
            before.showNormal();
            before.setGeometry(c.remembered);
            before.rememberPlace();
        }
        MDIForm1 frame(store, random, prompt);
        frame.endProgram = [] {};
        frame.startUp(1);
        EXPECT_EQ(c.moved ? QRect(frame.pos(), frame.size()) : frame.geometry(),
                  c.moved.value_or(c.remembered))
            << c.remembered.width();
    }
}

TEST_F(WindowsTest, TheTransformationWindowStaysAboveTheFrame) {
    paste(glucose());
    input().Command3->click();
    box* window = frame->transformWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isWindow());
    EXPECT_EQ(window->windowType(), Qt::Dialog);
    EXPECT_EQ(window->parentWidget(), frame.get());
    ASSERT_NE(window->windowHandle(), nullptr);
    EXPECT_EQ(window->windowHandle()->transientParent(), frame->windowHandle());
}

TEST_F(WindowsTest, ToolbarButtonsBringTheirWindowsForward) {
    const QList<QAction*> buttons = frame->Toolbar1->actions();
    ASSERT_EQ(buttons.size(), 5);
    EXPECT_EQ(buttons[0]->toolTip(), QStringLiteral("基準値"));
    buttons[0]->trigger();
    ASSERT_NE(frame->statisticsWindow(), nullptr);
    EXPECT_EQ(frame->mdiArea->activeSubWindow(), sub(frame->statisticsWindow()));

    EXPECT_EQ(buttons[2]->toolTip(), QStringLiteral("ヒストグラム"));
    buttons[2]->trigger();
    ASSERT_NE(frame->histogramWindow(), nullptr);
    EXPECT_EQ(frame->mdiArea->activeSubWindow(), sub(frame->histogramWindow()));

    EXPECT_EQ(buttons[1]->toolTip(), QStringLiteral("メニュー画面の表示"));
    sub(&input())->showMinimized();
    buttons[1]->trigger();
    EXPECT_FALSE(sub(&input())->isMinimized());
    EXPECT_EQ(frame->mdiArea->activeSubWindow(), sub(&input()));

    EXPECT_EQ(buttons[4]->toolTip(), QStringLiteral("バージョン"));
    buttons[4]->trigger();
    ASSERT_NE(frame->modelessAbout(), nullptr);
    EXPECT_TRUE(frame->modelessAbout()->isVisible());
    EXPECT_FALSE(frame->modelessAbout()->isModal());
}

TEST_F(WindowsTest, NoMenuDropsDownAfterTheVersionWindowCloses) {
    bool versionShown = false;
    QTimer closer;
    closer.setInterval(0);
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (auto* about = qobject_cast<About*>(QApplication::activeModalWidget())) {
            versionShown = true;
            about->OK->click();
        }
    });
    closer.start();
    frame->M7->popup(QPoint(10, 10));
    for (int i = 0; i < 100 && !versionShown; ++i) QCoreApplication::processEvents();
    closer.stop();
    QCoreApplication::processEvents();
    EXPECT_TRUE(versionShown);
    EXPECT_FALSE(frame->M7->isVisible());
}

TEST_F(WindowsTest, CtrlVPastesDataInTheGridAndTextInTheClassCountBox) {
    makeActive();
    QGuiApplication::clipboard()->setText(QStringLiteral("12\r\n15\r\n"));
    QTest::keyClick(input().MSFlexGrid1, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(store->DataCount, 2);
    EXPECT_EQ(input().TextMatrix(2, 1), QStringLiteral("15"));

    // In the class-count box the key pastes into the box, never into the data set.
    QGuiApplication::clipboard()->setText(QStringLiteral("18"));
    input().Text3->setFocus();
    QTest::keyClick(input().Text3, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(store->DataCount, 2);
    EXPECT_EQ(input().Text3->text(), QStringLiteral("518"));

    // With the focus on a button of the window it pastes data again.
    QGuiApplication::clipboard()->setText(QStringLiteral("21\r\n"));
    input().Command5->setFocus();
    QTest::keyClick(input().Command5, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(store->DataCount, 3);
}

TEST_F(WindowsTest, CtrlCInAResultWindowCopiesLikeItsCopyButton) {
    analyse();
    makeActive();
    QClipboard* clipboard = QGuiApplication::clipboard();
    StatV& statV = *frame->statisticsWindow();
    frame->mdiArea->setActiveSubWindow(sub(&statV));
    statV.Text2->setFocus();
    statV.Text2->selectAll();
    clipboard->setText(QStringLiteral("something else"));
    QTest::keyClick(statV.Text2, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(clipboard->text(), statV.text());  // the whole text with CR LF, as "ｺﾋﾟｰ"

    REG& reg = *frame->histogramWindow();
    frame->mdiArea->setActiveSubWindow(sub(&reg));
    reg.Picture1->setFocus();
    clipboard->setText(QStringLiteral("something else"));
    QTest::keyClick(reg.Picture1, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(clipboard->image().size(), reg.Picture1->image().size());
}

// Opening the evaluation leaves the other windows where they are, tiling gives no window less
// than its controls need, and the evaluation closed with its X leaves the documents.
TEST_F(WindowsTest, OpeningTheEvaluationMovesNothingAndTilingGivesEachWindowItsRoom) {
    analyse();
    const QRect statistics = sub(frame->statisticsWindow())->geometry();
    const QRect histogram = sub(frame->histogramWindow())->geometry();
    frame->WW3->trigger();
    EvaluationWindow* evaluation = frame->evaluationWindow();
    ASSERT_TRUE(evaluation);
    EXPECT_EQ(sub(frame->statisticsWindow())->geometry(), statistics);
    EXPECT_EQ(sub(frame->histogramWindow())->geometry(), histogram);

    frame->tileCommand();
    for (QMdiSubWindow* window : frame->mdiArea->subWindowList()) {
        if (!window->isVisible()) continue;
        SCOPED_TRACE(window->windowTitle().toStdString());
        EXPECT_GE(window->height(), window->minimumSizeHint().height());
    }

    // Closed, it leaves the documents until it is opened again.
    sub(evaluation)->close();
    EXPECT_FALSE(frame->documentParts().contains(evaluation));
    frame->WW3->trigger();
    EXPECT_EQ(frame->evaluationWindow(), evaluation);
    EXPECT_TRUE(frame->documentParts().contains(evaluation));
}

TEST_F(WindowsTest, TilingWithTheEvaluationKeepsItWholeAndAnAnalysisKeepsTheArrangement) {
    analyse();
    frame->WW3->trigger();  // 基準範囲の評価
    frame->tileCommand();
    QMdiSubWindow* evaluation = sub(frame->evaluationWindow());
    // At least its least size (the text and both charts), the work area scrolling to it.
    EXPECT_GE(evaluation->height(), evaluation->minimumSizeHint().height());
    EXPECT_GE(frame->evaluationWindow()->Charts1->height(), 200);
    for (QMdiSubWindow* s : frame->mdiArea->subWindowList())
        if (s->isVisible()) {
            EXPECT_GE(s->height(), s->minimumSizeHint().height());
        }

    // Moved by the user, the windows stay where they are through an analysis.
    evaluation->move(evaluation->x() + 30, evaluation->y());
    const QRect moved = evaluation->geometry();
    const QRect input = sub(&this->input())->geometry();
    this->input().Command5->click();
    EXPECT_EQ(evaluation->geometry(), moved);
    EXPECT_EQ(sub(&this->input())->geometry(), input);
}

// At its least size the evaluation shows every text of its charts whole: Qt Charts gives a legend
// on the right at most 0.4 of the chart's width and cuts the labels beyond it short ("...").
TEST_F(WindowsTest, TheEvaluationAtItsLeastSizeCutsNoTextOfItsCharts) {
    analyse();
    frame->WW3->trigger();
    QMdiSubWindow* evaluation = sub(frame->evaluationWindow());
    evaluation->showNormal();
    evaluation->resize(evaluation->minimumSizeHint());
    QCoreApplication::processEvents();
    DistributionCharts* charts = frame->evaluationWindow()->Charts1;
    int texts = 0;
    for (QChartView* view : {charts->histogramView(), charts->qqView()})
        for (QGraphicsItem* item : view->scene()->items())
            if (auto* text = dynamic_cast<QGraphicsTextItem*>(item); text && text->isVisible()) {
                ++texts;
                EXPECT_FALSE(text->toPlainText().contains(QStringLiteral("...")))
                    << text->toPlainText().toStdString();
            }
    EXPECT_GE(texts, 5);  // the legend's labels at least
}

TEST_F(WindowsTest, TheWindowMenuListsTheOpenWindowsAndTheFileMenuIsOne) {
    analyse();
    frame->WW3->trigger();
    // The evaluation active: its menu bar has the input window's file menu (新規作成, 終了).
    QMenuBar* bar = frame->menuBar();
    ASSERT_FALSE(bar->actions().isEmpty());
    EXPECT_EQ(bar->actions().front(), input().M1->menuAction());
    for (QMenu* menu : {frame->ww, input().WW1}) {
        SCOPED_TRACE(menu->title().toStdString());
        emit menu->aboutToShow();
        QStringList titles;
        QString checked;
        for (QAction* a : menu->actions())
            if (a->isCheckable()) {
                titles << a->text();
                if (a->isChecked()) checked = a->text();
            }
        EXPECT_EQ(titles, (QStringList{"&1 入力画面", "&2 統計量", "&3 ヒストグラム",
                                       "&4 基準範囲の評価"}));
        EXPECT_EQ(checked, "&4 基準範囲の評価");
        emit menu->aboutToShow();  // listed once, not again
        const QList<QAction*> again = menu->actions();
        EXPECT_EQ(
            std::count_if(again.begin(), again.end(), [](QAction* a) { return a->isCheckable(); }),
            4);
    }
    // Choosing one brings it forward.
    for (QAction* a : frame->ww->actions())
        if (a->text() == "&2 統計量") a->trigger();
    EXPECT_EQ(frame->mdiArea->activeSubWindow(), sub(frame->statisticsWindow()));
}

TEST_F(WindowsTest, ASecondPasteSaysItAddedToTheDataSet) {
    paste("12\r\n15\r\n");
    EXPECT_EQ(input().Label3->text(), "");
    paste("20\r\n");
    EXPECT_EQ(input().Label3->text(), "追加しました（計3個）");
}

}  // namespace
}  // namespace kijunchi::testing
