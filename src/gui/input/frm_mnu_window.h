#pragma once
// The input window "入力画面": the grid of the data set, the class count, the paste buffer and
// the command buttons. It is the grid the data side writes into.
#include <QList>
#include <QPair>
#include <QRect>
#include <QString>
#include <QWidget>
#include <functional>

#include "analysis/store.h"
#include "input/grid_sink.h"
#include "input/paste_reader.h"

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QScrollArea;
class QTableWidget;

namespace kijunchi {

class Prompt;

// The hidden paste buffer: the raw text of the pastes, characters exactly as pasted (a CR LF
// pair, a lone CR and a lone LF stay what they are), and a caret.
class PasteBuffer {
public:
    const QString& text() const { return text_; }
    int caret() const { return caret_; }
    // Replacing the whole text puts the caret at the start.
    void setText(const QString& text) {
        text_ = text;
        caret_ = 0;
    }
    // Inserting puts the caret just after the inserted text.
    void insert(const QString& text) {
        text_.insert(caret_, text);
        caret_ += static_cast<int>(text.size());
    }

private:
    QString text_;
    int caret_ = 0;
};

class frmMnu : public QWidget, public GridSink {
    Q_OBJECT
public:
    // pasteText is the copy of the paste buffer that the frame keeps while this window is
    // closed: paste and the re-read before the transformation write it, a load reads it back.
    frmMnu(AnalysisStore& store, Prompt& prompt, QString& pasteText, QWidget* parent = nullptr);

    // The designed client area, 7275 × 6900 twips. In a smaller window the controls scroll; in
    // a larger one the grid grows with it.
    QSize sizeHint() const override;

    // GridSink: PutGridValue, the current cell and the two labels.
    void putGridValue(int position, std::string_view text) override;
    void resetCurrentCell() override;
    void setCountLabel(std::string_view text) override;
    void setCommentLabel(std::string_view text) override;

    // The grid in its own terms: row 0 and column 0 are the fixed headings.
    QString TextMatrix(int row, int col) const;
    int Row() const;
    int Col() const;
    static constexpr int kRows = 205;
    static constexpr int kCols = 6;

    // The text of the class-count box, as the analysis command reads it.
    QString classCountText() const;

    // The commands the window carries out itself.
    void pasteCommand();  // 張り付け (also Ctrl+V)
    void newCommand();    // 新規作成
    // Asked before 新規作成 empties anything; false keeps the data set (unset: always true).
    std::function<bool()> confirmNew;
    // Asked before a paste replaces or adds to the data set: false leaves it as it is (the
    // frame asks about a study's unsaved changes).
    std::function<bool()> confirmPaste;

    // 張り付け with "グループ列あり" ticked: value and group columns.
    void pasteWithGroups();

    // The values of a data file become the paste buffer's whole text (caret at its end, as
    // after a paste into an empty buffer) and are read as a paste reads them, without groups.
    PasteResult replacePasteBuffer(const QString& text);
    // Text that has already been read becomes the paste buffer's whole text, so that
    // "修正ベキ変換" re-reads it as it is (the values of a reading with groups).
    void setPasteBufferText(const QString& text);

    // The menu bar that takes the frame's place while this window is the active child.
    QList<QAction*> menuBarActions() const;

    // The scrolling area that holds the controls.
    QScrollArea* scrollArea() const { return scroll_; }

    // Controls, with their captions and what they mean.
    QTableWidget* MSFlexGrid1 = nullptr;  // the data grid
    QPushButton* Command2 = nullptr;      // 張り付け: paste
    QPushButton* Command1 = nullptr;      // 新規作成: new data set
    QPushButton* Command5 = nullptr;      // 解析(ﾋｽﾄｸﾞﾗﾑ): analysis (histogram)
    QPushButton* Command3 = nullptr;      // 修正ベキ変換: modified power transformation
    QPushButton* Command9 = nullptr;      // 正規乱数の発生: normal random numbers
    QPushButton* Command4 = nullptr;      // 一様乱数の発生: uniform random numbers
    QPushButton* Command10 = nullptr;     // 終了: exit
    QPushButton* Command6 = nullptr;      // 基準範囲の評価: the evaluation
    QPushButton* Command11 = nullptr;     // ファイルを開く: open a data file
    QLineEdit* Text3 = nullptr;           // the histogram's class count
    PasteBuffer Text1;                    // the paste buffer (never shown)
    QLabel* Label1 = nullptr;             // the version label
    QLabel* Label2 = nullptr;             // データ数: number of values (caption)
    QLabel* Label3 = nullptr;             // ｺﾒﾝﾄ: the comment line
    QLabel* Label4 = nullptr;             // the number of values
    QLabel* Label7 = nullptr;     // ﾋｽﾄｸﾞﾗﾑの階級数: class count (caption)
    QGroupBox* Frame3 = nullptr;  // ｼﾐｭﾚ-ｼｮﾝ: simulation
    QLabel* Picture1 = nullptr;   // the small decoration
    QLabel* Picture2 = nullptr;   // the large decoration

    QCheckBox* GroupTick = nullptr;  // グループ列あり

    // Menu bar.
    QMenu* M1 = nullptr;     // ファイル: file
    QAction* M2 = nullptr;   // 新規作成: new data set
    QAction* P1 = nullptr;   // プリンターの設定: printer setup
    QAction* ME = nullptr;   // 終了: exit
    QMenu* WW1 = nullptr;    // ウィンドウ(&W): window
    QAction* WW2 = nullptr;  // 並べて表示: tile
    QAction* WW3 = nullptr;  // 重ねて表示: cascade
    QAction* WW5 = nullptr;  // 基準範囲の評価: the evaluation, as in the frame's window menu
    QAction* ww4 = nullptr;  // バージョン情報: version
    QAction* EN = nullptr;   // 終了: exit

signals:
    void analysisRequested();          // 解析(ﾋｽﾄｸﾞﾗﾑ)
    void evaluationRequested();        // 基準範囲の評価
    void transformRequested();         // 修正ベキ変換, after the paste buffer was read again
    void normalGeneratorRequested();   // 正規乱数の発生
    void uniformGeneratorRequested();  // 一様乱数の発生
    void exitRequested();              // 終了 (the button and both menu items)
    void printerSetupRequested();      // プリンターの設定
    void tileRequested();              // 並べて表示
    void cascadeRequested();           // 重ねて表示
    void versionRequested();           // バージョン情報
    void openFileRequested();          // ファイルを開く
    void fileDropped(const QString& path);  // a file dropped onto the window
    void pasted();        // 張り付け has read the clipboard (also with groups)
    void dataSetShown();  // the grid shows a data set written anew

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

public:
    // 検討(&K): the study windows' menu, which the frame that opens the study windows gives
    // (null until then).
    QMenu* StudyMenu = nullptr;

private:
    void buildControls();
    void buildMenus();
    void addStudyControls();
    void load();
    void readPasteBuffer();
    void fitContent();
    void widenColumnFor(int column, const QString& text);

    AnalysisStore& store_;
    Prompt& prompt_;
    QString& pasteText_;
    QScrollArea* scroll_ = nullptr;
    QWidget* content_ = nullptr;              // the designed client area inside the scrolling area
    QList<QPair<QWidget*, QRect>> designed_;  // every control with its designed place
    int designedColumnWidth_ = 0;
};

}  // namespace kijunchi
