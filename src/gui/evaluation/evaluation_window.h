#pragma once
// The evaluation window "基準範囲の評価": the evaluation text of the last analysis and "ｺﾋﾟｰ",
// and the menu that takes values out of the data set and brings them back. The text sits in a
// splitter, so that charts can stand beside it.
#include <string>

#include "evaluation/evaluation_text.h"
#include "gui/results/document_part.h"
#include "gui/results/result_window.h"

class QAction;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QSplitter;

namespace kijunchi {

class DistributionCharts;

// The window's text once the data set of its evaluation has been replaced.
inline constexpr const char* kEvaluationDataChanged =
    "データが変わりました。「基準範囲の評価」を押すと新しいデータを評価します。\r\n";

// Why the charts of an evaluation whose view has no chart input are empty, from its text.
QString emptyChartNote(const std::string& evaluationText);
// The table of the estimates in an evaluation text, from its heading line "推定法" to the blank
// line after it, keyed by its first column.
DocumentPart::TextTable evaluationTextTable(const QString& text);
// The designed size of the evaluation's charts (0 the histogram, 1 the Q-Q plot).
QSize evaluationChartSize(int index);

class EvaluationWindow : public ResultWindow, public DocumentPart {
    Q_OBJECT
public:
    explicit EvaluationWindow(Prompt& prompt, QWidget* parent = nullptr);

    // Replaces the whole text.
    void setEvaluationText(const std::string& text);
    // The text and the charts after an analysis run (no charts without their input).
    void showEvaluation(const EvaluationView& view);
    // The whole text as it was set, CR LF line ends included.
    const QString& text() const { return text_; }

    QPushButton* Command1 = nullptr;  // ｺﾋﾟｰ
    QSplitter* Splitter1 = nullptr;   // the text, and room for charts beside it
    QPlainTextEdit* Text1 = nullptr;
    QPushButton* Command2 = nullptr;        // 図をｺﾋﾟｰ
    DistributionCharts* Charts1 = nullptr;  // histogram with limits, Q-Q plot

    // 除外: its menu asks the frame to take values out or bring them back; the window itself
    // changes nothing.
    QPushButton* Command3 = nullptr;
    QMenu* ExcludeMenu = nullptr;
    QAction* ExcludeTukey = nullptr;     // Tukey法の外れ値を除外
    QAction* ExcludeHorn = nullptr;      // Horn法の外れ値を除外
    QAction* ExcludeDixon = nullptr;     // Dixon-Reed法の外れ値を除外
    QAction* ExcludePosition = nullptr;  // 位置を指定して除外…
    QAction* RestoreOne = nullptr;       // 1個を選んで戻す…
    QAction* RestoreAll = nullptr;       // すべて戻す
    // The bringing back is offered while count values are out.
    void setExcludedCount(int count);

    // DocumentPart: the text as it stands and, after a run with data, the two charts.
    QString partTitle() const override { return windowTitle(); }
    QString partText() const override { return text_; }
    int pictureCount() const override { return hasCharts_ ? 2 : 0; }
    QString pictureName(int index) const override;
    QSize pictureSize(int index) const override;
    QSize pagePictureSize(int index) const override;
    // The table of the estimates, from its heading line "推定法" to the blank line after it.
    TextTable partTable() const override;
    void paintPicture(int index, QPainter& painter, const QSize& size) const override;

    // The designed client area.
    QSize sizeHint() const override;
    // What a tiling leaves it at least: the buttons, some lines of text and both charts.
    QSize minimumSizeHint() const override;

signals:
    // rule: "tukey", "horn" or "dixon".
    void excludeFlaggedRequested(const QString& rule);
    void excludePositionRequested();
    void restoreOneRequested();
    void restoreAllRequested();

protected:
    // The splitter fills the client area below the button.
    void layoutContent() override;
    // Not one of the design's windows: its X hides it, and the menus open it again.
    void closeEvent(QCloseEvent* event) override;

private:
    QString text_;
    bool hasCharts_ = false;
};

}  // namespace kijunchi
