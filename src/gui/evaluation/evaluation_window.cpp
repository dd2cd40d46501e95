#include "gui/evaluation/evaluation_window.h"

#include <QChartView>
#include <QFontMetricsF>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTextDocument>
#include <QTextOption>

#include "gui/evaluation/distribution_charts.h"
#include "gui/widgets/window_layout.h"

namespace kijunchi {

EvaluationWindow::EvaluationWindow(Prompt& prompt, QWidget* parent) : ResultWindow(prompt, parent) {
    setWindowTitle(QStringLiteral("基準範囲の評価"));
    resize(sizeHint());

    Command1 = new QPushButton(QStringLiteral("ｺﾋﾟｰ"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(twipsRect(0, 0, 495, 255));
    connect(Command1, &QPushButton::clicked, this, [this] { copyTextToClipboard(text_); });

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
    Text1->setLineWrapMode(QPlainTextEdit::NoWrap);
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

    setTabOrder(Text1, Command1);
    setTabOrder(Command1, Command2);
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
        Charts1->setData(std::nullopt, std::nullopt);
        return;
    }
    Charts1->setData(histogramChart(*view.chart), qqPlot(*view.chart),
                     QString::fromStdString(view.lambdaText));
}

namespace {

QChartView* chartView(const DistributionCharts& charts, int index) {
    return index == 0 ? charts.histogramView() : charts.qqView();
}

}  // namespace

QString EvaluationWindow::pictureName(int index) const {
    return index == 0 ? QStringLiteral("ヒストグラムと基準範囲")
                      : QStringLiteral("正規Q-Qプロット");
}

QSize EvaluationWindow::pictureSize(int index) const {
    const QSize size = chartView(*Charts1, index)->size();
    // A window never shown yet has no size of its own: the charts' designed proportions.
    return size.width() > 50 && size.height() > 50 ? size : QSize(640, 400);
}

void EvaluationWindow::paintPicture(int index, QPainter& painter, const QSize& size) const {
    QChartView* view = chartView(*Charts1, index);
    QGraphicsScene* scene = view->scene();
    if (!scene) return;
    // The chart as laid out on screen, scaled into the given size with its proportions kept;
    // the scene draws vectors, so a PDF or SVG stays sharp.
    painter.save();
    painter.fillRect(QRect(QPoint(0, 0), size), Qt::white);
    scene->render(&painter, QRectF(QPointF(0, 0), QSizeF(size)), view->sceneRect());
    painter.restore();
}

QSize EvaluationWindow::sizeHint() const {
    return twipsSize(13500, 9750);
}

void EvaluationWindow::layoutContent() {
    fillBelow(*Splitter1, *Command1);
}

}  // namespace kijunchi
