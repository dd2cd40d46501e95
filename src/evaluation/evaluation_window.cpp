#include "evaluation/evaluation_window.h"

#include <QClipboard>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTextDocument>
#include <QTextOption>

#include "widgets/window_layout.h"

namespace kijunchi {

EvaluationWindow::EvaluationWindow(Prompt& prompt, QWidget* parent) : ResultWindow(prompt, parent) {
    setWindowTitle(QStringLiteral("基準範囲の評価"));
    resize(sizeHint());

    Command1 = new QPushButton(QStringLiteral("ｺﾋﾟｰ"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(twipsRect(0, 0, 495, 255));
    connect(Command1, &QPushButton::clicked, this, &EvaluationWindow::copyText);

    Splitter1 = new QSplitter(Qt::Horizontal, this);
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

    setTabOrder(Text1, Command1);
    layoutContent();
}

void EvaluationWindow::setEvaluationText(const std::string& text) {
    text_ = QString::fromStdString(text);
    Text1->setPlainText(text_);
}

QSize EvaluationWindow::sizeHint() const {
    return twipsSize(9600, 6000);
}

void EvaluationWindow::layoutContent() {
    const int top = Command1->geometry().bottom() + 1;
    Splitter1->setGeometry(0, top, width(), std::max(0, height() - top));
}

void EvaluationWindow::copyText() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(text_);
}

}  // namespace kijunchi
