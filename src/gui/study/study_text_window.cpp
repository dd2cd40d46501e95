#include "gui/study/study_text_window.h"

#include <QFontMetricsF>
#include <QPlainTextEdit>
#include <QPushButton>

#include "gui/results/result_window.h"

namespace kijunchi {

StudyTextWindow::StudyTextWindow(QWidget* parent) : QWidget(parent) {
    Text = new QPlainTextEdit(this);
    Text->setReadOnly(true);
    // Long lines (the advice, the verdicts) wrap at the window's edge.
    Text->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    QFont font(QStringLiteral("IPAGothic"), 10);
    font.setStyleHint(QFont::TypeWriter);
    Text->setFont(font);
    Text->setTabStopDistance(QFontMetricsF(font).horizontalAdvance(QLatin1Char('0')) * 10);
    CopyButton = new QPushButton(QStringLiteral("ｺﾋﾟｰ"), this);
    connect(CopyButton, &QPushButton::clicked, this, [this] { copyTextToClipboard(text_); });
}

void StudyTextWindow::setResultText(const std::string& text) {
    text_ = QString::fromStdString(text);
    Text->setPlainText(text_);
}

}  // namespace kijunchi
