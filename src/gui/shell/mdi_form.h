#pragma once
// The frame window: the work area with the input window, the result windows and the other
// child windows, the menus, the toolbar, the window arrangements, the start-up and the exit
// confirmation.
#include <QHash>
#include <QList>
#include <QMainWindow>
#include <QPair>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "analysis/store.h"
#include "input/grid_sink.h"
#include "record/study_file.h"
#include "record/study_session.h"

class QAction;
class QMdiArea;
class QPagedPaintDevice;
class QMdiSubWindow;
class QMenu;
class QPushButton;
class QToolBar;

namespace kijunchi {

class About;
class BatchWindow;
struct GroupedColumn;
class DocumentPart;
class EvaluationWindow;
class FilePrompt;
class ITIYOU;
class NRM;
class Prompt;
class RandomSource;
class REG;
class StatV;
class StudyWindows;
class box;
class frmMnu;

inline constexpr const char* kExitQuestion = "終了しますか。";
inline constexpr const char* kExitTitle = "終了の確認";
inline constexpr const char* kClassCountTitle = "入力エラー";

class MDIForm1 : public QMainWindow {
    Q_OBJECT
public:
    // The toolbar's buttons by their 1-based index.
    enum ToolbarButton {
        kStatisticsButton = 1,  // 基準値: the statistics window
        kInputButton = 2,       // メニュー画面の表示: the input window
        kHistogramButton = 3,   // ヒストグラム: the histogram window
        kPrinterButton = 4,     // プリンターの設定: printer setup
        kVersionButton = 5,     // バージョン: the version window
    };

    MDIForm1(AnalysisStore& store, RandomSource& random, Prompt& prompt, QWidget* parent = nullptr);
    ~MDIForm1() override;

    // The start-up sequence: centre, the start-up window for startupMs (modal), then the input
    // window.
    void startUp(int startupMs = 3000);

    // The input window's grid, or nothing while the input window is closed.
    GridSink& inputGrid() { return inputGrid_; }

    // The windows, null while they do not exist.
    frmMnu* inputWindow() const;
    StatV* statisticsWindow() const;
    REG* histogramWindow() const;
    EvaluationWindow* evaluationWindow() const;
    box* transformWindow() const;
    NRM* normalGenerator() const;
    ITIYOU* uniformGenerator() const;
    About* modelessAbout() const;
    QMdiSubWindow* subWindowOf(const QWidget* child) const;

    // Window-level state of the input window that survives its closing: the copy of its paste
    // buffer, which the input window works on.
    QString PasteText;

    // Commands.
    void showInputWindow();       // loads the input window anew if it was closed
    void tileCommand();           // "並べて表示"
    void cascadeOnly();           // the frame's "重ねて表示"
    void cascadeWithHistogram();  // the input window's "重ねて表示"
    void arrangeIcons();
    void exitConfirmation();
    void printerSetup();
    void showAboutModal();
    void showAboutModeless();
    void showStatisticsWindow();
    void showHistogramWindow();
    void toolbarButtonClick(int index);  // 1-based
    void analysisCommand();              // "解析(ﾋｽﾄｸﾞﾗﾑ)"
    void analysisRun();                  // the run alone ("再表示")
    void openTransformWindow();
    void openEvaluationWindow();  // "基準範囲の評価"
    void openNormalGenerator();
    void openUniformGenerator();
    void showListing(const std::string& text);

    // Files and documents.
    void openDataFileCommand();  // "データファイルを開く…" and "ファイルを開く"
    bool openDataFile(const QString& path);  // also a file dropped onto the input window
    void saveStatisticsCommand();            // "統計量の保存…"
    void exportPictureCommand();             // "図の書き出し…"
    void printReportCommand();               // "レポートを印刷…"
    void exportPdfCommand();                 // "PDFに出力…"
    void studyHeaderCommand();               // "検討の情報…"
    // The study file: "検討を保存" (under its name, else as "名前を付けて保存…" does),
    // "名前を付けて保存…", "検討を開く…" and one of the recent studies. Each returns whether
    // the study was written or opened.
    bool saveStudyCommand();
    bool saveStudyAsCommand();
    bool openStudyCommand();
    bool openStudy(const QString& path);
    bool saveStudy(const QString& path);
    // The study files opened or saved last, the latest first (at most five).
    QStringList recentStudies() const;
    // Whether the study has changes not in its file: once it has a file, a header or excluded
    // values, any change of its data set, exclusions, header, λ or class count since it was
    // last saved or opened.
    bool unsavedChanges() const;
    QString studyPath() const { return QString::fromStdString(session_.path()); }
    // The study's record: source, log, snapshot of the last analysis, approval.
    const StudySession& session() const { return session_; }
    // "承認…": the header's 承認者 and the time go into the log and onto every page until the
    // next change (refused while there is no current analysis or no 承認者).
    void approveCommand();
    // The header of the documents becomes header (logged item by item).
    void setStudyHeader(const StudyHeader& header);
    // Values out of the data set and back, from the evaluation window's 除外 menu: those the
    // rule ("tukey", "horn", "dixon") flags in the data set as it stands, one by its position
    // in the data as read, one chosen from those out, all of them. The data set is then the
    // data as read without them, and the analysis runs again.
    void excludeFlaggedCommand(const QString& rule);
    void excludePositionCommand();
    void restoreOneCommand();
    void restoreAllCommand();
    // The report document onto a printer or PDF writer; the number of pages.
    int printReport(QPagedPaintDevice& device);
    // The head of the document: count, source, date and time, λ.
    QStringList reportDescription() const;
    // Above every page: the title, the analyte (the file with its column's heading, or where
    // the values came from) and when the analysis ran.
    QString runningHead() const;
    // The windows that give text and pictures to the saved and printed report, in order.
    QList<const DocumentPart*> documentParts() const;
    // Another result window joins the report while it exists.
    void addDocumentPart(QWidget* window, const DocumentPart* part);
    // Where the data set came from: a file name, "クリップボード" or a generator.
    QString dataSource() const { return QString::fromStdString(session_.shownSource()); }
    // New values came from source (shown as name when given). An open study is left for a new,
    // untitled one: its file stays as saved.
    void setDataSource(StudySource source, const QString& name = {});
    // After anything that may have written the data set: when it is no longer the one of the
    // last analysis, the result windows say that they hold the earlier data's results, the
    // evaluation is cleared and the study windows take the new data set.
    void checkDataSet();
    // The file-name, column, sheet and size questions, the study windows' too; the real dialogs
    // unless a test sets its own.
    void setFilePrompt(FilePrompt& prompt);
    // The remembered place: the last folder used and the frame's geometry (QSettings).
    QString lastFolder() const;
    void rememberPlace();

    // Platform actions, replaceable in tests.
    std::function<void()> endProgram;
    std::function<void(QWidget*)> printerDialog;
    std::function<void(QWidget*)> printPreview;

    QMdiArea* mdiArea = nullptr;
    QToolBar* Toolbar1 = nullptr;
    QMenu* FileMenu = nullptr;   // ファイル(&F): the file commands, whichever child is active
    QAction* NewData = nullptr;  // 新規作成 (the input window's, opening it if closed)
    QAction* PrinterSetup = nullptr;  // プリンターの設定
    QAction* FileExit = nullptr;      // 終了
    QAction* M1 = nullptr;            // 入力画面の表示: show the input window
    QMenu* M7 = nullptr;     // バージョン情報: version (the title itself opens the window)
    QAction* HP = nullptr;   // 製作にあたって: about the making (no action)
    QMenu* ww = nullptr;     // ウィンドウ(画面の整列）(&W): window (arrangement)
    QAction* WW1 = nullptr;  // 並べて表示: tile
    QAction* WW2 = nullptr;  // 重ねて表示: cascade
    QAction* WW3 = nullptr;  // 基準範囲の評価: the evaluation window
    QAction* M8 = nullptr;   // 終了: exit

    StudyWindows* studies = nullptr;  // 検討: partition, verification, batch

    // The file commands, placed in the input window's "ファイル" menu; their shortcuts work
    // in the whole frame.
    QAction* OpenFile = nullptr;        // データファイルを開く… (Ctrl+O)
    QAction* SaveStatistics = nullptr;  // 統計量の保存…
    QAction* ExportPicture = nullptr;   // 図の書き出し…
    QAction* PrintReport = nullptr;     // レポートを印刷… (Ctrl+P)
    QAction* ExportPdf = nullptr;       // PDFに出力…
    QAction* StudyInfo = nullptr;       // 検討の情報…
    QAction* OpenStudy = nullptr;       // 検討を開く…
    QAction* SaveStudy = nullptr;       // 検討を保存 (Ctrl+S)
    QAction* SaveStudyAs = nullptr;     // 名前を付けて保存…
    QAction* Approve = nullptr;         // 承認…
    QMenu* RecentStudies = nullptr;     // 最近の検討

    // The top-level entries of the frame's own menu bar (the input window's "ファイル" first
    // while it is open).
    QList<QAction*> frameMenuActions() const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    class ForwardingGrid final : public GridSink {
    public:
        explicit ForwardingGrid(MDIForm1& frame) : frame_(frame) {}
        void putGridValue(int position, std::string_view text) override;
        void resetCurrentCell() override;
        void setCountLabel(std::string_view text) override;
        void setCommentLabel(std::string_view text) override;

    private:
        MDIForm1& frame_;
    };

    void buildMenus();
    void buildFileActions();
    // The geometry of each window as the last tiling or cascade left it; an analysis tiles
    // again only while the windows are so (arrangedByUser() false).
    void rememberArrangement();
    bool arrangedByUser() const;
    QHash<const QMdiSubWindow*, QRect> arranged_;
    // The open windows at the end of a ウィンドウ menu, the active one checked.
    void listWindows(QMenu& menu);
    // The batch window's files are named through the frame's file prompt, from the last folder.
    void askFilesThroughFrame(BatchWindow& batch);
    void addFileActions(QMenu* fileMenu);
    void restorePlace();
    void rememberFolder(const QString& file);
    // After a write to path: the message of title saying why it failed (error), else its folder
    // remembered.
    void written(const QString& path, const QString& error, const QString& title);
    // A data file's value column with its group column (read again to keep the groups), the
    // first row as headings as the tick says where it overrules the reading; a workbook's sheet.
    bool openGroupedColumn(const QString& path, GroupedColumn columns,
                           std::optional<bool> headings = std::nullopt,
                           const std::string& sheet = {});
    // The generator's OK button makes it the source of the data set (connected once).
    void noteGeneratorSource(QWidget* dialog, QPushButton* ok, const QString& source);
    bool hasReport() const;
    // The copies of the statistics and the evaluation begin as the command line's texts do.
    void refreshCopyHeads();
    // The exclusion commands refuse (with a message) when there are no data or the data set
    // is transformed.
    bool refuseExclusion(const QString& title);
    // The positions in the data as read of the data set's values.
    std::vector<int> keptPositions() const;
    // The data set becomes the data as read without excluded, and the analysis runs again.
    void applyExclusions(std::vector<ExcludedValue> excluded);
    // "N個を除外: 位置 p v（rule）、…" for the result windows; empty while nothing is excluded.
    QString exclusionNote() const;
    // The class count in force: the input window's box when it reads, else the store's.
    int classCount() const;
    void rememberRecentStudy(const QString& path);
    void fillRecentStudies();
    // Before the study is left (exit, 新規作成): with unsaved changes, asks whether to save;
    // false when the user cancels or the save did not happen.
    bool leaveStudy();
    void forgetStudy();
    // The source of values read from column (a heading) of the file at path, sheet a workbook's.
    static StudySource fileSource(const QString& path, const QString& column,
                                  const std::string& sheet);
    void buildToolbar();
    void updateMenuBar(QMdiSubWindow* active);
    QMdiSubWindow* addChild(QWidget* child);
    void showAndActivate(QWidget* child);
    StatV* statV();
    REG* reg();
    EvaluationWindow* evaluation();
    void runAndReport();
    bool askExit();
    // Creates the window with make() if it does not exist, then shows it in front.
    template <class Window, class Make>
    Window* openOrRaise(QPointer<Window>& window, Make make);

    AnalysisStore& store_;
    RandomSource& random_;
    Prompt& prompt_;
    ForwardingGrid inputGrid_{*this};
    QPointer<frmMnu> input_;
    QPointer<StatV> statV_;
    QPointer<REG> reg_;
    QPointer<EvaluationWindow> evaluation_;
    QPointer<box> box_;
    QPointer<NRM> nrm_;
    QPointer<ITIYOU> itiyou_;
    QPointer<About> aboutModeless_;
    QList<QAction*> frameMenu_;
    std::unique_ptr<FilePrompt> dialogFilePrompt_;
    FilePrompt* filePrompt_ = nullptr;
    QList<QPair<QPointer<QWidget>, const DocumentPart*>> extraParts_;
    // The study's record, over the store.
    StudySession session_{store_};
};

}  // namespace kijunchi
