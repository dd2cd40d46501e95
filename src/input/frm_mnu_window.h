#pragma once
// The input window "入力画面": the grid of the data set, the class count, the paste buffer and
// the command buttons. It is the grid the data side writes into.
#include <QList>
#include <QString>
#include <QWidget>

#include "analysis/store.h"
#include "input/grid_sink.h"

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTableWidget;

namespace kijunchi {

class MDIForm1;
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
    frmMnu(MDIForm1& frame, AnalysisStore& store, Prompt& prompt, QWidget* parent = nullptr);

    // The designed client area, 7275 × 6900 twips.
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

    // The commands.
    void pasteCommand();      // 張り付け
    void newCommand();        // 新規作成
    void transformCommand();  // 修正ベキ変換

    // 張り付け with "グループ列あり" ticked: value and group columns.
    void pasteWithGroups();

    // The menu bar that takes the frame's place while this window is the active child.
    QList<QAction*> menuBarActions() const;

    QTableWidget* MSFlexGrid1 = nullptr;
    QPushButton* Command2 = nullptr;   // 張り付け
    QPushButton* Command1 = nullptr;   // 新規作成
    QPushButton* Command5 = nullptr;   // 解析(ﾋｽﾄｸﾞﾗﾑ)
    QPushButton* Command3 = nullptr;   // 修正ベキ変換
    QPushButton* Command9 = nullptr;   // 正規乱数の発生
    QPushButton* Command4 = nullptr;   // 一様乱数の発生
    QPushButton* Command10 = nullptr;  // 終了
    QPushButton* Command6 = nullptr;   // 基準範囲の評価
    QLineEdit* Text3 = nullptr;        // class count
    PasteBuffer Text1;                 // paste buffer (never shown)
    QLabel* Label1 = nullptr;          // version label
    QLabel* Label2 = nullptr;          // データ数
    QLabel* Label3 = nullptr;          // comment line
    QLabel* Label4 = nullptr;          // number of values
    QLabel* Label7 = nullptr;          // ﾋｽﾄｸﾞﾗﾑの階級数
    QGroupBox* Frame3 = nullptr;       // ｼﾐｭﾚ-ｼｮﾝ
    QLabel* Picture1 = nullptr;
    QLabel* Picture2 = nullptr;

    QCheckBox* GroupTick = nullptr;  // グループ列あり

    // Menu bar.
    QMenu* M1 = nullptr;     // ファイル
    QAction* M2 = nullptr;   // 新規作成
    QAction* P1 = nullptr;   // プリンターの設定
    QAction* ME = nullptr;   // 終了
    QMenu* WW1 = nullptr;    // ウィンドウ(&W)
    QAction* WW2 = nullptr;  // 並べて表示
    QAction* WW3 = nullptr;  // 重ねて表示
    QAction* ww4 = nullptr;  // バージョン情報
    QAction* EN = nullptr;   // 終了

    QMenu* StudyMenu = nullptr;  // 検討(&K)

private:
    void buildControls();
    void buildMenus();
    void addStudyControls();
    void load();

    MDIForm1& frame_;
    AnalysisStore& store_;
    Prompt& prompt_;
};

}  // namespace kijunchi
