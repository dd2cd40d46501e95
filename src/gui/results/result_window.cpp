#include "gui/results/result_window.h"

#include <QCloseEvent>

#include "gui/widgets/prompt.h"

namespace kijunchi {

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

}  // namespace kijunchi
