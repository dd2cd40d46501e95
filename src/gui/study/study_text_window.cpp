#include "gui/study/study_text_window.h"

#include <QClipboard>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QPushButton>

namespace kijunchi {

StudyTextWindow::StudyTextWindow(QWidget* parent) : QWidget(parent) {
    Text = new QPlainTextEdit(this);
    Text->setReadOnly(true);
    Text->setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont font(QStringLiteral("IPAGothic"), 10);
    font.setStyleHint(QFont::TypeWriter);
    Text->setFont(font);
    Text->setTabStopDistance(QFontMetricsF(font).horizontalAdvance(QLatin1Char('0')) * 10);
    CopyButton = new QPushButton(QStringLiteral("ｺﾋﾟｰ"), this);
    connect(CopyButton, &QPushButton::clicked, this, &StudyTextWindow::copyText);
}

void StudyTextWindow::setResultText(const std::string& text) {
    text_ = QString::fromStdString(text);
    Text->setPlainText(text_);
}

void StudyTextWindow::copyText() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(text_);
}

}  // namespace kijunchi
