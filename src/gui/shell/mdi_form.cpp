#include "gui/shell/mdi_form.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTimer>
#include <QToolBar>
#include <algorithm>
#include <functional>
#include <string>

#include "evaluation/evaluation_text.h"
#include "files/report_export.h"
#include "gui/evaluation/evaluation_window.h"
#include "gui/files/file_prompt_dialog.h"
#include "gui/generators/itiyou_dialog.h"
#include "gui/generators/nrm_dialog.h"
#include "gui/input/frm_mnu_window.h"
#include "gui/results/histogram_window.h"
#include "gui/results/statistics_window.h"
#include "gui/shell/about.h"
#include "gui/shell/startf.h"
#include "gui/study/batch_window.h"
#include "gui/study/study_windows.h"
#include "gui/transform/box_window.h"
#include "gui/widgets/mdi_arrange.h"
#include "gui/widgets/pictures.h"
#include "gui/widgets/prompt.h"
#include "gui/widgets/window_layout.h"
#include "report/analysis_run.h"

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

template <class Window, class Make>
Window* MDIForm1::openOrRaise(QPointer<Window>& window, Make make) {
    if (!window) {
        window = make();
        window->setAttribute(Qt::WA_DeleteOnClose);
    }
    bringForward(*window);
    return window;
}

void MDIForm1::ForwardingGrid::putGridValue(int position, std::string_view text) {
    if (frame_.input_) frame_.input_->putGridValue(position, text);
}
void MDIForm1::ForwardingGrid::resetCurrentCell() {
    if (frame_.input_) frame_.input_->resetCurrentCell();
}
void MDIForm1::ForwardingGrid::setCountLabel(std::string_view text) {
    if (frame_.input_)
        frame_.input_->setCountLabel(text);  // which tells the frame
    else
        frame_.checkDataSet();
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
    dialogFilePrompt_ = std::make_unique<DialogFilePrompt>();
    filePrompt_ = dialogFilePrompt_.get();
    buildMenus();
    buildFileActions();
    buildToolbar();
    // The file commands in the frame's menu bar too, so that they can be reached from the menus
    // whichever child window is active.
    // The same items as the input window's "ファイル", which stands in for it while the input
    // window is open, so that the file menu is the same whichever window is active.
    FileMenu = new QMenu(QStringLiteral("ファイル(&F)"), this);
    NewData = FileMenu->addAction(QStringLiteral("新規作成"));
    connect(NewData, &QAction::triggered, this, [this] {
        showInputWindow();
        if (input_) input_->M2->trigger();
    });
    FileMenu->addAction(OpenFile);
    FileMenu->addSeparator();
    FileMenu->addActions({OpenStudy, SaveStudy, SaveStudyAs, RecentStudies->menuAction()});
    FileMenu->addSeparator();
    FileMenu->addActions({SaveStatistics, ExportPicture});
    FileMenu->addSeparator();
    PrinterSetup = FileMenu->addAction(QStringLiteral("プリンターの設定"));
    connect(PrinterSetup, &QAction::triggered, this, &MDIForm1::printerSetup);
    FileMenu->addActions({PrintReport, ExportPdf});
    FileMenu->addSeparator();
    FileMenu->addAction(StudyInfo);
    FileMenu->addSeparator();
    FileExit = FileMenu->addAction(QStringLiteral("終了"));
    connect(FileExit, &QAction::triggered, this, &MDIForm1::exitConfirmation);
    frameMenu_.insert(0, FileMenu->menuAction());
    menuBar()->insertAction(menuBar()->actions().value(0), FileMenu->menuAction());
    connect(mdiArea, &QMdiArea::subWindowActivated, this, &MDIForm1::updateMenuBar);

    endProgram = [] { QCoreApplication::exit(0); };
    printerDialog = [this](QWidget* parent) {
        // A failing or cancelled dialog is ignored.
        QPrinter printer;
        QPrintDialog dialog(&printer, parent);
        dialog.setWindowTitle(QStringLiteral("プリンターの設定"));
        // Its print button prints the report document.
        if (dialog.exec() == QDialog::Accepted) printReport(printer);
    };
    printPreview = [this](QWidget* parent) {
        QPrinter printer(QPrinter::HighResolution);
        QPrintPreviewDialog dialog(&printer, parent);
        dialog.setWindowTitle(QStringLiteral("レポートを印刷"));
        connect(&dialog, &QPrintPreviewDialog::paintRequested, this,
                [this](QPrinter* target) { printReport(*target); });
        // Wide enough for its whole toolbar where the screen has room: at a large scaling the
        // print button, the toolbar's last, was otherwise hidden behind its overflow arrow.
        // Tall enough for a page to be read.
        QSize wanted = dialog.sizeHint().expandedTo(QSize(0, 900));
        if (const auto* bar = dialog.findChild<QToolBar*>())
            wanted.setWidth(std::max(wanted.width(), bar->sizeHint().width() + 40));
        fitInAvailableArea(dialog, wanted);
        dialog.exec();
    };

    // Inside the screen's available area at any scaling, title bar and bottom edge included.
    fitInAvailableArea(*this, QSize(1040, 820));
}

MDIForm1::~MDIForm1() {
    // The work area reports activations while the frame is taken apart; nothing to update then.
    disconnect(mdiArea, nullptr, this, nullptr);
    if (input_) disconnect(input_, nullptr, this, nullptr);
    // The top-level windows opened from the input window are the frame's children and go
    // with it.
}

void MDIForm1::buildMenus() {
    M1 = new QAction(QStringLiteral("入力画面の表示"), this);
    connect(M1, &QAction::triggered, this, &MDIForm1::showInputWindow);

    M7 = new QMenu(QStringLiteral("バージョン情報"), this);
    HP = M7->addAction(QStringLiteral("製作にあたって"));
    // Choosing the title itself opens the version window; the item does nothing. The menu is
    // closed before the window opens, so that it does not drop down once the window is gone.
    connect(M7, &QMenu::aboutToShow, this, [this] {
        QTimer::singleShot(0, this, [this] {
            M7->hide();
            menuBar()->setActiveAction(nullptr);
            showAboutModal();
        });
    });

    ww = new QMenu(QStringLiteral("ウィンドウ(画面の整列）(&W)"), this);
    WW1 = ww->addAction(QStringLiteral("並べて表示"));
    WW2 = ww->addAction(QStringLiteral("重ねて表示"));
    connect(WW1, &QAction::triggered, this, &MDIForm1::tileCommand);
    connect(WW2, &QAction::triggered, this, &MDIForm1::cascadeOnly);
    WW3 = ww->addAction(QStringLiteral("基準範囲の評価"));
    connect(WW3, &QAction::triggered, this, &MDIForm1::openEvaluationWindow);
    connect(ww, &QMenu::aboutToShow, this, [this] { listWindows(*ww); });

    M8 = new QAction(QStringLiteral("終了"), this);
    connect(M8, &QAction::triggered, this, &MDIForm1::exitConfirmation);

    studies = new StudyWindows(*mdiArea, store_, prompt_, *filePrompt_, this);
    studies->analyte = [this] { return QString::fromStdString(session_.source().column); };
    connect(studies, &StudyWindows::partCreated, this,
            [this](QWidget* window, const DocumentPart* part) {
                addDocumentPart(window, part);
                if (auto* batch = qobject_cast<BatchWindow*>(window)) askFilesThroughFrame(*batch);
            });
    frameMenu_ = {M1, M7->menuAction(), ww->menuAction(), studies->buildMenu(this)->menuAction(),
                  M8};
    menuBar()->addActions(frameMenu_);
}

void MDIForm1::setFilePrompt(FilePrompt& prompt) {
    filePrompt_ = &prompt;
    studies->setFilePrompt(prompt);
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
    // While the input window is open its "ファイル" stands for the frame's: one file menu,
    // whichever window is active.
    QList<QAction*> actions = frameMenu_;
    if (input_) actions.replace(0, input_->M1->menuAction());
    return actions;
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
        case kStatisticsButton:
            showStatisticsWindow();
            break;
        case kInputButton:
            showInputWindow();
            break;
        case kHistogramButton:
            showHistogramWindow();
            break;
        case kPrinterButton:
            printerSetup();
            break;
        case kVersionButton:
            showAboutModeless();
            break;
        default:
            break;
    }
}

void MDIForm1::updateMenuBar(QMdiSubWindow* active) {
    QList<QAction*> wanted = frameMenuActions();
    if (input_ && active && active->widget() == input_) wanted = input_->menuBarActions();
    QMenuBar* bar = menuBar();
    if (bar->actions() == wanted) return;
    for (QAction* action : bar->actions()) bar->removeAction(action);
    bar->addActions(wanted);
}

void MDIForm1::startUp(int startupMs) {
    fitInAvailableArea(*this, size());
    restorePlace();
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
    return kijunchi::subWindowOf(*mdiArea, child);
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
    kijunchi::showAndActivate(*mdiArea, child);
}

void MDIForm1::showInputWindow() {
    if (!input_) {
        input_ = new frmMnu(store_, prompt_, PasteText);
        input_->StudyMenu = studies->buildMenu(input_);
        input_->confirmNew = [this] {
            if (!leaveStudy()) return false;
            forgetStudy();
            return true;
        };
        // Other data end a study that has a file: its changes are asked about first.
        input_->confirmPaste = [this] { return session_.path().empty() || leaveStudy(); };
        connect(input_, &frmMnu::analysisRequested, this, &MDIForm1::analysisCommand);
        connect(input_, &frmMnu::evaluationRequested, this, &MDIForm1::openEvaluationWindow);
        connect(input_, &frmMnu::transformRequested, this, &MDIForm1::openTransformWindow);
        connect(input_, &frmMnu::normalGeneratorRequested, this, &MDIForm1::openNormalGenerator);
        connect(input_, &frmMnu::uniformGeneratorRequested, this, &MDIForm1::openUniformGenerator);
        connect(input_, &frmMnu::exitRequested, this, &MDIForm1::exitConfirmation);
        connect(input_, &frmMnu::printerSetupRequested, this, &MDIForm1::printerSetup);
        connect(input_, &frmMnu::tileRequested, this, &MDIForm1::tileCommand);
        connect(input_, &frmMnu::cascadeRequested, this, &MDIForm1::cascadeWithHistogram);
        connect(input_, &frmMnu::versionRequested, this, [this] {
            arrangeIcons();
            showAboutModeless();
        });
        addFileActions(input_->M1);
        connect(input_->WW1, &QMenu::aboutToShow, this, [this] { listWindows(*input_->WW1); });
        connect(input_, &frmMnu::openFileRequested, this, &MDIForm1::openDataFileCommand);
        // The file is read once the drop has ended.
        connect(input_, &frmMnu::fileDropped, this, &MDIForm1::openDataFile, Qt::QueuedConnection);
        connect(input_, &frmMnu::pasted, this, [this] {
            StudySource clipboard;
            clipboard.origin = kOriginPaste;
            setDataSource(clipboard);
        });
        connect(input_, &frmMnu::dataSetShown, this, &MDIForm1::checkDataSet);
        QMdiSubWindow* sub = addChild(input_);
        sub->setAttribute(Qt::WA_DeleteOnClose);
        connect(
            input_, &QObject::destroyed, this,
            [this] { updateMenuBar(mdiArea->activeSubWindow()); }, Qt::QueuedConnection);
        // Centred in the work area, its top left corner kept inside it.
        const QSize area = mdiArea->viewport()->size();
        sub->move(std::max(0, (area.width() - sub->width()) / 2),
                  std::max(0, (area.height() - sub->height()) / 2));
    }
    showAndActivate(input_);
}

void MDIForm1::showStatisticsWindow() {
    showAndActivate(statV());
}

void MDIForm1::showHistogramWindow() {
    showAndActivate(reg());
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
        addDocumentPart(evaluation_, evaluation_);
        evaluation_->setExcludedCount(static_cast<int>(store_.Excluded.size()));
        connect(evaluation_, &EvaluationWindow::excludeFlaggedRequested, this,
                &MDIForm1::excludeFlaggedCommand);
        connect(evaluation_, &EvaluationWindow::excludePositionRequested, this,
                &MDIForm1::excludePositionCommand);
        connect(evaluation_, &EvaluationWindow::restoreOneRequested, this,
                &MDIForm1::restoreOneCommand);
        connect(evaluation_, &EvaluationWindow::restoreAllRequested, this,
                &MDIForm1::restoreAllCommand);
    }
    return evaluation_;
}

void MDIForm1::openEvaluationWindow() {
    EvaluationWindow* window = evaluation();
    showAndActivate(window);
    if (store_.WorkCount == 0) {
        window->showEvaluation({kEvaluationNoData, std::nullopt, {}});
        return;
    }
    // The evaluation is always that of the last analysis, which runs now with the input
    // window's class count (or the last one while the input window is closed). The other
    // windows stay where they are.
    if (input_) {
        const std::optional<double> classCount =
            readClassCount(input_->classCountText().toStdString());
        if (!classCount) {
            prompt_.message(input_, QString::fromUtf8(kClassCountMessage),
                            QString::fromUtf8(kClassCountTitle), Prompt::Icon::Exclamation);
            return;
        }
        store_.ClassCount = *classCount;
    }
    analysisRun();
    // The results beside the evaluation, where they are (or where the work area puts them).
    for (QWidget* results : {static_cast<QWidget*>(statV_), static_cast<QWidget*>(reg_)})
        if (const QMdiSubWindow* sub = subWindowOf(results); sub && sub->isHidden())
            showAndActivate(results);
    showAndActivate(window);
}

void MDIForm1::tileCommand() {
    showInputWindow();
    showAndActivate(statV());
    showAndActivate(reg());
    tileHorizontally(*mdiArea);
    rememberArrangement();
}

void MDIForm1::cascadeOnly() {
    cascade(*mdiArea);
    rememberArrangement();
}

void MDIForm1::cascadeWithHistogram() {
    showAndActivate(reg());
    cascade(*mdiArea);
    rememberArrangement();
}

void MDIForm1::rememberArrangement() {
    arranged_.clear();
    for (const QMdiSubWindow* sub : mdiArea->subWindowList())
        if (sub->isVisible() && !sub->isMinimized()) arranged_.insert(sub, sub->geometry());
}

bool MDIForm1::arrangedByUser() const {
    // Moved or resized since the program arranged them, or another window shown among them
    // (the evaluation, a study window): the user's arrangement. The windows an analysis shows
    // itself are not.
    for (const QMdiSubWindow* sub : mdiArea->subWindowList()) {
        if (!sub->isVisible() || sub->isMinimized()) continue;
        const auto at = arranged_.constFind(sub);
        if (at != arranged_.constEnd()) {
            if (*at != sub->geometry()) return true;
        } else if (sub->widget() != input_ && sub->widget() != statV_ && sub->widget() != reg_) {
            return true;
        }
    }
    return false;
}

void MDIForm1::listWindows(QMenu& menu) {
    // The open windows after the arrangement commands, the active one checked.
    for (QAction* action : menu.actions())
        if (action->property("openWindow").toBool()) {
            menu.removeAction(action);
            action->deleteLater();
        }
    const QMdiSubWindow* active = mdiArea->activeSubWindow();
    bool first = true;
    int number = 0;
    for (QMdiSubWindow* sub : mdiArea->subWindowList(QMdiArea::CreationOrder)) {
        if (!sub->isVisible() && !sub->isMinimized()) continue;
        if (first) {
            QAction* line = menu.addSeparator();
            line->setProperty("openWindow", true);
            first = false;
        }
        ++number;
        const QString title = sub->widget() ? sub->widget()->windowTitle() : sub->windowTitle();
        QAction* action =
            menu.addAction(number < 10 ? QStringLiteral("&%1 %2").arg(number).arg(title)
                                       : QStringLiteral("%1 %2").arg(number).arg(title));
        action->setProperty("openWindow", true);
        action->setCheckable(true);
        action->setChecked(sub == active);
        connect(action, &QAction::triggered, this,
                [this, sub] { kijunchi::showAndActivate(*mdiArea, sub->widget()); });
    }
}

void MDIForm1::arrangeIcons() {
    kijunchi::arrangeIcons(*mdiArea);
}

bool MDIForm1::askExit() {
    // Unsaved changes: the question whether to save them is the one question.
    if (unsavedChanges()) return leaveStudy();
    return prompt_.askYesNo(this, QString::fromUtf8(kExitQuestion), QString::fromUtf8(kExitTitle));
}

void MDIForm1::exitConfirmation() {
    if (askExit()) {
        rememberPlace();
        endProgram();
    }
}

void MDIForm1::closeEvent(QCloseEvent* event) {
    // The close box asks the exit confirmation instead of asking the child windows.
    if (askExit()) {
        event->accept();
        rememberPlace();
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
    openOrRaise(aboutModeless_, [this] {
        auto* about = new About(this);
        about->setModal(false);
        return about;
    });
}

void MDIForm1::analysisCommand() {
    if (store_.WorkCount == 0 || !input_) return;
    std::optional<double> classCount = readClassCount(input_->classCountText().toStdString());
    if (!classCount) {
        prompt_.message(input_, QString::fromUtf8(kClassCountMessage),
                        QString::fromUtf8(kClassCountTitle), Prompt::Icon::Exclamation);
        return;
    }
    store_.ClassCount = *classCount;
    WaitCursor hourglass;
    // Windows the user has arranged stay where they are.
    const bool keep = arrangedByUser();
    showAndActivate(input_);
    showAndActivate(statV());
    showAndActivate(reg());
    if (!keep) {
        // Twice: the first arrangement can add or remove the work area's scroll bars, which
        // changes the room the second one divides.
        tileHorizontally(*mdiArea);
        tileHorizontally(*mdiArea);
        rememberArrangement();
    }
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
    if (evaluation_) evaluation_->showEvaluation(evaluationViewAfterRun(store_, status));
    if (status != RunStatus::NoData) {
        const QDateTime now = QDateTime::currentDateTime();
        session_.analysed(static_cast<int>(store_.ClassCount),
                          now.toString(QStringLiteral("yyyy/MM/dd HH:mm")).toStdString(),
                          now.toString(QStringLiteral("yyyy-MM-dd HH:mm")).toStdString());
        statV_->setEarlierData(false);
        reg_->setEarlierData(false);
        const QString note = exclusionNote();
        statV_->setExclusionNote(note);
        reg_->setExclusionNote(note);
        refreshCopyHeads();
    }
    if (status == RunStatus::CalculationError) {
        hourglass.restore();
        prompt_.message(reg_, QString::fromUtf8(kCalcErrorMessage),
                        QString::fromUtf8(kCalcErrorTitle), Prompt::Icon::Exclamation);
    }
}

void MDIForm1::setDataSource(StudySource source, const QString& name) {
    const std::string when =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")).toStdString();
    // Other data in an opened or saved study begin a new, untitled one: the study's file stays
    // as it was saved, and Ctrl+S asks for a name.
    if (!session_.path().empty()) session_.startNew();
    session_.dataRead(std::move(source), when, name.toStdString());
    checkDataSet();
}

void MDIForm1::refreshCopyHeads() {
    // One rule with the command line: the header block, then the values excluded unless the
    // text lists them itself (the evaluation does).
    if (statV_) statV_->setCopyHead(QString::fromStdString(session_.textHead(true)));
    if (evaluation_) evaluation_->setCopyHead(QString::fromStdString(session_.textHead(false)));
}

void MDIForm1::checkDataSet() {
    if (session_.forgetStaleExclusions() && evaluation_) evaluation_->setExcludedCount(0);
    const bool transformed = !store_.Lambda.isBlank() && !store_.UntransformedValues.empty();
    session_.transformed(
        transformed ? store_.Lambda.toText() : std::string(),
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")).toStdString());
    if (studies) studies->dataSetChanged();
    if (!session_.stale()) return;
    if (statV_) statV_->setEarlierData(true);
    if (reg_) reg_->setEarlierData(true);
    if (evaluation_) evaluation_->showEvaluation({kEvaluationDataChanged, std::nullopt, {}});
}

void MDIForm1::openTransformWindow() {
    // A window of its own that stays above the frame. Open already, it shows the data set
    // restored as measured.
    if (box_) box_->reload();
    openOrRaise(box_, [this] { return new box(store_, inputGrid(), prompt_, this); });
}

void MDIForm1::openNormalGenerator() {
    openOrRaise(nrm_, [this] { return new NRM(store_, random_, inputGrid(), prompt_, this); });
    if (nrm_) noteGeneratorSource(nrm_, nrm_->Command2, QStringLiteral("正規乱数の発生"));
}

void MDIForm1::openUniformGenerator() {
    openOrRaise(itiyou_, [this] {
        return new ITIYOU(
            store_, random_, inputGrid(), prompt_,
            [this](const std::string& text) { showListing(text); }, this);
    });
    if (itiyou_) noteGeneratorSource(itiyou_, itiyou_->Command2, QStringLiteral("一様乱数の発生"));
}

void MDIForm1::showListing(const std::string& text) {
    StatV* window = statV();
    showAndActivate(window);
    window->setStatisticsText(text);
}

}  // namespace kijunchi
