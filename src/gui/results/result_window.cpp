#include "gui/results/result_window.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QGuiApplication>
#include <algorithm>

#include "gui/widgets/prompt.h"

namespace kijunchi {

void copyTextToClipboard(const QString& text) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(text);
}

ResultWindow::ResultWindow(Prompt& prompt, QWidget* parent) : QWidget(parent), prompt_(prompt) {}

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
    const int top = button.geometry().bottom() + 1;
    content.setGeometry(0, top, width(), std::max(0, height() - top));
}

}  // namespace kijunchi
