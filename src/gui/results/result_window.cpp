#include "gui/results/result_window.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <algorithm>

#include "gui/widgets/prompt.h"

namespace kijunchi {

void copyTextToClipboard(const QString& text) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(text);
}

ResultWindow::ResultWindow(Prompt& prompt, QWidget* parent) : QWidget(parent), prompt_(prompt) {
    EarlierLabel = new QLabel(QString::fromUtf8(kEarlierDataLine), this);
    EarlierLabel->setObjectName(QStringLiteral("EarlierLabel"));
    EarlierLabel->setWordWrap(true);
    EarlierLabel->setAutoFillBackground(true);
    QPalette palette = EarlierLabel->palette();
    palette.setColor(QPalette::Window, QColor(255, 240, 200));
    palette.setColor(QPalette::WindowText, QColor(128, 0, 0));
    EarlierLabel->setPalette(palette);
    EarlierLabel->setMargin(2);
    EarlierLabel->hide();
    ExcludedLabel = new QLabel(this);
    ExcludedLabel->setObjectName(QStringLiteral("ExcludedLabel"));
    ExcludedLabel->setWordWrap(true);
    ExcludedLabel->setMargin(2);
    ExcludedLabel->hide();
}

void ResultWindow::setExclusionNote(const QString& note) {
    if (note == ExcludedLabel->text() && note.isEmpty() == ExcludedLabel->isHidden()) return;
    ExcludedLabel->setText(note);
    ExcludedLabel->setVisible(!note.isEmpty());
    layoutContent();
}

void ResultWindow::setEarlierData(bool earlier) {
    const QString mark = QString::fromUtf8(kEarlierDataCaption);
    QString title = windowTitle();
    if (title.endsWith(mark)) title.chop(mark.size());
    if (earlier) title += mark;
    earlier_ = earlier;
    setWindowTitle(title);
    EarlierLabel->setVisible(earlier);
    layoutContent();
}

void ResultWindow::closeEvent(QCloseEvent* event) {
    prompt_.message(this, QString::fromUtf8(kKeepFormMessage), QString::fromUtf8(kKeepFormTitle),
                    Prompt::Icon::Exclamation);
    event->ignore();
}

void ResultWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    QWidget* frame = parentWidget();
    if ((frame && frame->isMinimized()) || isMinimized()) return;
    layoutContent();
}

void ResultWindow::fillBelow(QWidget& content, const QWidget& button) {
    int top = button.geometry().bottom() + 1;
    if (earlier_) {
        const int line = EarlierLabel->heightForWidth(width());
        EarlierLabel->setGeometry(0, top, width(), line);
        EarlierLabel->raise();
        top += line;
    }
    if (!ExcludedLabel->isHidden()) {
        const int line = ExcludedLabel->heightForWidth(width());
        ExcludedLabel->setGeometry(0, top, width(), line);
        top += line;
    }
    content.setGeometry(0, top, width(), std::max(0, height() - top));
}

}  // namespace kijunchi
