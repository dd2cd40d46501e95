#include "gui/evaluation/evaluation_window.h"

#include <QCloseEvent>
#include <QFontMetricsF>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTextDocument>
#include <QTextOption>
#include <algorithm>

#include "gui/evaluation/distribution_charts.h"
#include "gui/widgets/window_layout.h"

namespace kijunchi {

EvaluationWindow::EvaluationWindow(Prompt& prompt, QWidget* parent) : ResultWindow(prompt, parent) {
    setWindowTitle(QStringLiteral("基準範囲の評価"));
    resize(sizeHint());

    Command1 = new QPushButton(QStringLiteral("ｺﾋﾟｰ"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(twipsRect(0, 0, 495, 255));
    connect(Command1, &QPushButton::clicked, this,
            [this] { copyTextToClipboard(copyHead() + text_); });

    Command2 = new QPushButton(QStringLiteral("図をｺﾋﾟｰ"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    Command2->setGeometry(twipsRect(495, 0, 900, 255));

    // The text above the charts: its lines are wide, the charts want the width too.
    Splitter1 = new QSplitter(Qt::Vertical, this);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setChildrenCollapsible(false);
    Text1 = new QPlainTextEdit(Splitter1);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setReadOnly(true);
    // Long lines (the advice, the verdicts) wrap at the window's edge.
    Text1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    QFont font(QStringLiteral("IPAGothic"), 10);
    font.setStyleHint(QFont::TypeWriter);
    Text1->setFont(font);
    // Tab stops for the table: the name of the estimate, then the limits and their intervals.
    const qreal digit = QFontMetricsF(font).horizontalAdvance(QLatin1Char('0'));
    QList<qreal> stops;
    for (int column : {28, 38, 50, 54, 64, 74, 86, 90, 100, 110}) stops << column * digit;
    QTextOption option = Text1->document()->defaultTextOption();
    option.setTabArray(stops);
    Text1->document()->setDefaultTextOption(option);
    Text1->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    Splitter1->addWidget(Text1);
    Charts1 = new DistributionCharts(Splitter1);
    Charts1->setObjectName(QStringLiteral("Charts1"));
    Splitter1->addWidget(Charts1);
    Splitter1->setStretchFactor(0, 2);
    Splitter1->setStretchFactor(1, 3);
    connect(Command2, &QPushButton::clicked, Charts1, &DistributionCharts::copyToClipboard);

    Command3 = new QPushButton(QStringLiteral("除外"), this);
    Command3->setObjectName(QStringLiteral("Command3"));
    Command3->setGeometry(twipsRect(1395, 0, 900, 255));
    ExcludeMenu = new QMenu(Command3);
    ExcludeTukey = ExcludeMenu->addAction(QStringLiteral("Tukey法の外れ値を除外"));
    ExcludeHorn = ExcludeMenu->addAction(QStringLiteral("Horn法の外れ値を除外"));
    ExcludeDixon = ExcludeMenu->addAction(QStringLiteral("Dixon-Reed法の外れ値を除外"));
    ExcludePosition = ExcludeMenu->addAction(QStringLiteral("位置を指定して除外…"));
    ExcludeMenu->addSeparator();
    RestoreOne = ExcludeMenu->addAction(QStringLiteral("1個を選んで戻す…"));
    RestoreAll = ExcludeMenu->addAction(QStringLiteral("すべて戻す"));
    Command3->setMenu(ExcludeMenu);
    connect(ExcludeTukey, &QAction::triggered, this,
            [this] { emit excludeFlaggedRequested(QStringLiteral("tukey")); });
    connect(ExcludeHorn, &QAction::triggered, this,
            [this] { emit excludeFlaggedRequested(QStringLiteral("horn")); });
    connect(ExcludeDixon, &QAction::triggered, this,
            [this] { emit excludeFlaggedRequested(QStringLiteral("dixon")); });
    connect(ExcludePosition, &QAction::triggered, this,
            &EvaluationWindow::excludePositionRequested);
    connect(RestoreOne, &QAction::triggered, this, &EvaluationWindow::restoreOneRequested);
    connect(RestoreAll, &QAction::triggered, this, &EvaluationWindow::restoreAllRequested);
    setExcludedCount(0);

    setTabOrder(Text1, Command1);
    setTabOrder(Command1, Command2);
    setTabOrder(Command2, Command3);
    layoutContent();
}

void EvaluationWindow::setEvaluationText(const std::string& text) {
    text_ = QString::fromStdString(text);
    Text1->setPlainText(text_);
}

void EvaluationWindow::showEvaluation(const EvaluationView& view) {
    setEvaluationText(view.text);
    hasCharts_ = view.chart.has_value();
    if (!view.chart) {
        Charts1->setData(std::nullopt, std::nullopt, {}, emptyChartNote(view.text));
        return;
    }
    Charts1->setData(histogramChart(*view.chart), qqPlot(*view.chart),
                     QString::fromStdString(view.lambdaText));
}

void EvaluationWindow::setExcludedCount(int count) {
    RestoreOne->setEnabled(count > 0);
    RestoreAll->setEnabled(count > 0);
}

QString EvaluationWindow::pictureName(int index) const {
    return index == 0 ? QStringLiteral("ヒストグラムと基準範囲")
                      : QStringLiteral("正規Q-Qプロット");
}

QString emptyChartNote(const std::string& evaluationText) {
    // The charts say why they are empty: the text's first line, the message.
    if (evaluationText.rfind(kCalcErrorMessage, 0) == 0)
        return QStringLiteral("（計算エラーのため描けません）");
    if (evaluationText.rfind(kEvaluationNoData, 0) == 0)
        return QStringLiteral("（データがありません）");
    if (evaluationText.rfind(kEvaluationDataChanged, 0) == 0)
        return QStringLiteral("（データが変わりました）");
    return QStringLiteral("（値が3個以上必要）");
}

DocumentPart::TextTable EvaluationWindow::partTable() const {
    return evaluationTextTable(text_);
}

DocumentPart::TextTable evaluationTextTable(const QString& text) {
    const QStringList lines = text.split(QStringLiteral("\r\n"));
    qsizetype first = 0;
    while (first < lines.size() && !lines[first].startsWith(QStringLiteral("推定法\t"))) ++first;
    if (first == lines.size()) return {};
    qsizetype last = first + 1;
    while (last < lines.size() && !lines[last].isEmpty()) ++last;
    return {static_cast<int>(first), 1, static_cast<int>(last)};
}

QSize EvaluationWindow::pictureSize(int) const {
    // Proposed for export: every chart at one size, whatever the window's on the screen.
    return {1000, 700};
}

QSize EvaluationWindow::pagePictureSize(int index) const {
    return evaluationChartSize(index);
}

QSize evaluationChartSize(int index) {
    // The charts' designed proportions on a page, not the window's: drawn anew at its size.
    return index == 0 ? QSize(640, 400) : QSize(400, 400);
}

void EvaluationWindow::paintPicture(int index, QPainter& painter, const QSize& size) const {
    // Vectors, so a PDF or SVG stays sharp.
    Charts1->paintChart(index, painter, size);
}

QSize EvaluationWindow::minimumSizeHint() const {
    // The buttons, a few lines of the text and both charts whole (axes, ticks and legend): a
    // tiling gives it no less, and the work area scrolls to the rest.
    const int text = 6 * Text1->fontMetrics().lineSpacing();
    return QSize(
        std::max({560, Command3->geometry().right() + 1, Charts1->minimumSizeHint().width()}),
        Command1->height() + text + Splitter1->handleWidth() + 280);
}

QSize EvaluationWindow::sizeHint() const {
    return twipsSize(13500, 9750);
}

void EvaluationWindow::closeEvent(QCloseEvent* event) {
    event->accept();
}

void EvaluationWindow::layoutContent() {
    fillBelow(*Splitter1, *Command1);
}

}  // namespace kijunchi
