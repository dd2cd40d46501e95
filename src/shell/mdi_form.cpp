#include "shell/mdi_form.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPrintDialog>
#include <QPrinter>
#include <QScreen>
#include <QTimer>
#include <QToolBar>
#include <algorithm>

#include "analysis/analysis_run.h"
#include "evaluation/evaluation_text.h"
#include "evaluation/evaluation_window.h"
#include "generators/itiyou_dialog.h"
#include "generators/nrm_dialog.h"
#include "input/frm_mnu_window.h"
#include "results/histogram_window.h"
#include "results/statistics_window.h"
#include "shell/about.h"
#include "shell/pictures.h"
#include "shell/prompt.h"
#include "shell/startf.h"
#include "shell/window_layout.h"
#include "study/study_menu_window.h"
#include "transform/box_window.h"

namespace kijunchi {

namespace {

// The hourglass for the length of a command; restore() may come early (before a message).
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { restore(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
    void restore() {
        if (active_) QApplication::restoreOverrideCursor();
        active_ = false;
    }

private:
    bool active_ = true;
};

}  // namespace

void MDIForm1::ForwardingGrid::putGridValue(int position, std::string_view text) {
    if (frame_.input_) frame_.input_->putGridValue(position, text);
}
void MDIForm1::ForwardingGrid::resetCurrentCell() {
    if (frame_.input_) frame_.input_->resetCurrentCell();
}
void MDIForm1::ForwardingGrid::setCountLabel(std::string_view text) {
    if (frame_.input_) frame_.input_->setCountLabel(text);
}
void MDIForm1::ForwardingGrid::setCommentLabel(std::string_view text) {
    if (frame_.input_) frame_.input_->setCommentLabel(text);
}

MDIForm1::MDIForm1(AnalysisStore& store, RandomSource& random, Prompt& prompt, QWidget* parent)
    : QMainWindow(parent), store_(store), random_(random), prompt_(prompt) {
    setWindowTitle(QStringLiteral("基準値（正規性の確認とベキ変換）"));
    mdiArea = new QMdiArea(this);
    mdiArea->setBackground(QColor(128, 128, 128));
    mdiArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdiArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(mdiArea);
    buildMenus();
    buildToolbar();
    connect(mdiArea, &QMdiArea::subWindowActivated, this, &MDIForm1::updateMenuBar);

    endProgram = [] { QCoreApplication::exit(0); };
    printerDialog = [](QWidget* parent) {
        // Nothing reads the chosen settings; a failing or cancelled dialog is ignored.
        QPrinter printer;
        QPrintDialog dialog(&printer, parent);
        dialog.setWindowTitle(QStringLiteral("プリンターの設定"));
        dialog.exec();
    };

    QSize size(1040, 820);
    if (QScreen* s = screen()) size = size.boundedTo(s->availableGeometry().size());
    resize(size);
}

MDIForm1::~MDIForm1() {
    // The work area reports activations while the frame is taken apart; nothing to update then.
    disconnect(mdiArea, nullptr, this, nullptr);
    if (input_) disconnect(input_, nullptr, this, nullptr);
    // The top-level windows opened from the input window go with the frame.
    delete box_.data();
    delete aboutModeless_.data();
}

void MDIForm1::buildMenus() {
    M1 = new QAction(QStringLiteral("入力画面の表示"), this);
    connect(M1, &QAction::triggered, this, &MDIForm1::showInputWindow);

    M7 = new QMenu(QStringLiteral("バージョン情報"), this);
    HP = M7->addAction(QStringLiteral("製作にあたって"));
    // Choosing the title itself opens the version window; the item does nothing.
    connect(M7, &QMenu::aboutToShow, this, &MDIForm1::showAboutModal);

    ww = new QMenu(QStringLiteral("ウィンドウ(画面の整列）(&W)"), this);
    WW1 = ww->addAction(QStringLiteral("並べて表示"));
    WW2 = ww->addAction(QStringLiteral("重ねて表示"));
    connect(WW1, &QAction::triggered, this, &MDIForm1::tileCommand);
    connect(WW2, &QAction::triggered, this, &MDIForm1::cascadeOnly);
    WW3 = ww->addAction(QStringLiteral("基準範囲の評価"));
    connect(WW3, &QAction::triggered, this, &MDIForm1::openEvaluationWindow);

    M8 = new QAction(QStringLiteral("終了"), this);
    connect(M8, &QAction::triggered, this, &MDIForm1::exitConfirmation);

    studies = new StudyWindows(*mdiArea, store_, prompt_, this);
    frameMenu_ = {M1, M7->menuAction(), ww->menuAction(), studies->buildMenu(this)->menuAction(),
                  M8};
    menuBar()->addActions(frameMenu_);
}

frmMnu* MDIForm1::inputWindow() const {
    return input_;
}
StatV* MDIForm1::statisticsWindow() const {
    return statV_;
}
REG* MDIForm1::histogramWindow() const {
    return reg_;
}
EvaluationWindow* MDIForm1::evaluationWindow() const {
    return evaluation_;
}
box* MDIForm1::transformWindow() const {
    return box_;
}
NRM* MDIForm1::normalGenerator() const {
    return nrm_;
}
ITIYOU* MDIForm1::uniformGenerator() const {
    return itiyou_;
}
About* MDIForm1::modelessAbout() const {
    return aboutModeless_;
}

QList<QAction*> MDIForm1::frameMenuActions() const {
    return frameMenu_;
}

void MDIForm1::buildToolbar() {
    Toolbar1 = new QToolBar(this);
    Toolbar1->setObjectName(QStringLiteral("Toolbar1"));
    Toolbar1->setIconSize(QSize(16, 16));
    Toolbar1->setMovable(false);
    Toolbar1->setFloatable(false);
    const QString tips[] = {QStringLiteral("基準値"), QStringLiteral("メニュー画面の表示"),
                            QStringLiteral("ヒストグラム"), QStringLiteral("プリンターの設定"),
                            QStringLiteral("バージョン")};
    for (int index = 1; index <= 5; ++index) {
        QAction* button =
            Toolbar1->addAction(QIcon(pictures::toolbarPicture(index)), tips[index - 1]);
        button->setToolTip(tips[index - 1]);
        connect(button, &QAction::triggered, this, [this, index] { toolbarButtonClick(index); });
    }
    addToolBar(Qt::TopToolBarArea, Toolbar1);
}

void MDIForm1::toolbarButtonClick(int index) {
    switch (index) {
        case 2:
            showInputWindow();
            break;
        case 4:
            printerSetup();
            break;
        default:
            break;
    }
}

void MDIForm1::updateMenuBar(QMdiSubWindow* active) {
    QList<QAction*> wanted = frameMenu_;
    if (input_ && active && active->widget() == input_) wanted = input_->menuBarActions();
    QMenuBar* bar = menuBar();
    if (bar->actions() == wanted) return;
    for (QAction* action : bar->actions()) bar->removeAction(action);
    bar->addActions(wanted);
}

void MDIForm1::startUp(int startupMs) {
    centreOnScreen(*this);
    {
        Startf startf(this, startupMs);
        startf.exec();
        // The timer has stopped and the window is gone before the input window comes.
        startf.Timer1->stop();
    }
    if (!isVisible()) show();
    showInputWindow();
}

QMdiSubWindow* MDIForm1::subWindowOf(const QWidget* child) const {
    if (!child) return nullptr;
    for (QMdiSubWindow* sub : mdiArea->subWindowList()) {
        if (sub->widget() == child) return sub;
    }
    return nullptr;
}

QMdiSubWindow* MDIForm1::addChild(QWidget* child) {
    auto* sub = new QMdiSubWindow;
    sub->setWidget(child);
    sub->setWindowTitle(child->windowTitle());
    sub->setWindowIcon(child->windowIcon().isNull() ? pictures::programIcon()
                                                    : child->windowIcon());
    mdiArea->addSubWindow(sub);
    sub->adjustSize();
    return sub;
}

void MDIForm1::showAndActivate(QWidget* child) {
    QMdiSubWindow* sub = subWindowOf(child);
    if (!sub) return;
    sub->show();
    mdiArea->setActiveSubWindow(sub);
}

void MDIForm1::showInputWindow() {
    if (!input_) {
        input_ = new frmMnu(*this, store_, prompt_);
        QMdiSubWindow* sub = addChild(input_);
        sub->setAttribute(Qt::WA_DeleteOnClose);
        connect(
            input_, &QObject::destroyed, this,
            [this] { updateMenuBar(mdiArea->activeSubWindow()); }, Qt::QueuedConnection);
        // The window centres itself on the screen; the position is taken inside the work
        // area, kept within it so that the window can always be reached.
        QSize screenSize = screen() ? screen()->geometry().size() : QSize(1280, 960);
        QSize area = mdiArea->viewport()->size();
        int left = (screenSize.width() - sub->width()) / 2;
        int top = (screenSize.height() - sub->height()) / 2;
        left = std::max(0, std::min(left, area.width() - sub->width()));
        top = std::max(0, std::min(top, area.height() - sub->height()));
        sub->move(left, top);
    }
    showAndActivate(input_);
}

StatV* MDIForm1::statV() {
    if (!statV_) {
        statV_ = new StatV(prompt_);
        addChild(statV_);
    }
    return statV_;
}

REG* MDIForm1::reg() {
    if (!reg_) {
        reg_ = new REG(prompt_, [this] { analysisRun(); });
        addChild(reg_);
    }
    return reg_;
}

EvaluationWindow* MDIForm1::evaluation() {
    if (!evaluation_) {
        evaluation_ = new EvaluationWindow(prompt_);
        addChild(evaluation_);
    }
    return evaluation_;
}

void MDIForm1::openEvaluationWindow() {
    EvaluationWindow* window = evaluation();
    showAndActivate(window);
    if (store_.WorkCount == 0) {
        window->setEvaluationText(kEvaluationNoData);
        return;
    }
    // The evaluation is always that of the last analysis, which runs now as from the input
    // window (or with the last class count while the input window is closed).
    if (input_)
        analysisCommand();
    else
        analysisRun();
    showAndActivate(window);
}

void MDIForm1::tile() {
    // One above the other, each as wide as the work area, the topmost window first.
    QList<QMdiSubWindow*> windows;
    const QList<QMdiSubWindow*> stacking = mdiArea->subWindowList(QMdiArea::StackingOrder);
    for (auto it = stacking.rbegin(); it != stacking.rend(); ++it) {
        QMdiSubWindow* sub = *it;
        if (sub->isVisible() && !sub->isMinimized()) windows << sub;
    }
    if (windows.isEmpty()) return;
    QRect area = mdiArea->viewport()->rect();
    int height = area.height() / static_cast<int>(windows.size());
    int top = 0;
    for (int i = 0; i < windows.size(); ++i) {
        QMdiSubWindow* sub = windows[i];
        if (sub->isMaximized()) sub->showNormal();
        bool last = i == windows.size() - 1;
        sub->setGeometry(0, top, area.width(), last ? area.height() - top : height);
        top += height;
    }
}

void MDIForm1::tileCommand() {
    showInputWindow();
    showAndActivate(statV());
    showAndActivate(reg());
    tile();
}

void MDIForm1::cascadeOnly() {
    mdiArea->cascadeSubWindows();
}

void MDIForm1::cascadeWithHistogram() {
    showAndActivate(reg());
    mdiArea->cascadeSubWindows();
}

void MDIForm1::arrangeIcons() {
    // Minimised windows in a row along the bottom of the work area, left to right.
    int left = 0;
    QRect area = mdiArea->viewport()->rect();
    for (QMdiSubWindow* sub : mdiArea->subWindowList(QMdiArea::CreationOrder)) {
        if (!sub->isMinimized() || !sub->isVisible()) continue;
        if (left > 0 && left + sub->width() > area.width()) left = 0;
        sub->move(left, area.height() - sub->height());
        left += sub->width();
    }
}

void MDIForm1::exitConfirmation() {
    if (prompt_.askYesNo(this, QString::fromUtf8(kExitQuestion), QString::fromUtf8(kExitTitle))) {
        endProgram();
    }
}

void MDIForm1::closeEvent(QCloseEvent* event) {
    // The close box asks the exit confirmation instead of asking the child windows.
    if (prompt_.askYesNo(this, QString::fromUtf8(kExitQuestion), QString::fromUtf8(kExitTitle))) {
        event->accept();
        endProgram();
    } else {
        event->ignore();
    }
}

void MDIForm1::printerSetup() {
    if (printerDialog) printerDialog(input_ ? static_cast<QWidget*>(input_) : this);
}

void MDIForm1::showAboutModal() {
    About about(this);
    about.setModal(true);
    about.exec();
}

void MDIForm1::showAboutModeless() {
    if (!aboutModeless_) {
        aboutModeless_ = new About(this);
        aboutModeless_->setAttribute(Qt::WA_DeleteOnClose);
        aboutModeless_->setModal(false);
    }
    aboutModeless_->show();
    aboutModeless_->raise();
    aboutModeless_->activateWindow();
}

void MDIForm1::analysisCommand() {
    if (store_.WorkCount == 0 || !input_) return;
    std::optional<double> classCount = readClassCount(input_->Text3->text().toStdString());
    if (!classCount) {
        prompt_.message(input_, QString::fromUtf8(kClassCountMessage),
                        QString::fromUtf8(kClassCountTitle), Prompt::Icon::Exclamation);
        return;
    }
    store_.ClassCount = *classCount;
    WaitCursor hourglass;
    showAndActivate(input_);
    showAndActivate(statV());
    showAndActivate(reg());
    tile();
    tile();
    runAndReport();
    showAndActivate(input_);
}

void MDIForm1::analysisRun() {
    statV();
    reg();
    runAndReport();
}

void MDIForm1::runAndReport() {
    WaitCursor hourglass;
    RunStatus status = runAnalysis(store_, reg_->canvas(), *statV_);
    if (evaluation_) evaluation_->setEvaluationText(evaluationTextAfterRun(store_, status));
    if (status == RunStatus::CalculationError) {
        hourglass.restore();
        prompt_.message(reg_, QString::fromUtf8(kCalcErrorMessage),
                        QString::fromUtf8(kCalcErrorTitle), Prompt::Icon::Exclamation);
    }
}

void MDIForm1::openTransformWindow() {
    if (box_) {
        box_->reload();  // the data set has been restored as measured
        box_->show();
        box_->raise();
        box_->activateWindow();
        return;
    }
    box_ = new box(store_, inputGrid(), prompt_);
    box_->setAttribute(Qt::WA_DeleteOnClose);
    box_->show();
}

void MDIForm1::openNormalGenerator() {
    if (!nrm_) {
        nrm_ = new NRM(store_, random_, inputGrid(), prompt_, this);
        nrm_->setAttribute(Qt::WA_DeleteOnClose);
        nrm_->setModal(false);
    }
    nrm_->show();
    nrm_->raise();
    nrm_->activateWindow();
}

void MDIForm1::openUniformGenerator() {
    if (!itiyou_) {
        itiyou_ = new ITIYOU(
            store_, random_, inputGrid(), prompt_,
            [this](const std::string& text) { showListing(text); }, this);
        itiyou_->setAttribute(Qt::WA_DeleteOnClose);
        itiyou_->setModal(false);
    }
    itiyou_->show();
    itiyou_->raise();
    itiyou_->activateWindow();
}

void MDIForm1::showListing(const std::string& text) {
    StatV* window = statV();
    showAndActivate(window);
    window->setStatisticsText(text);
}

}  // namespace kijunchi
