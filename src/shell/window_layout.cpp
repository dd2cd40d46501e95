#include "shell/window_layout.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QWidget>

namespace kijunchi {

void centreOnScreen(QWidget& window) {
    const QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect s = screen->geometry();
    const QSize size = window.frameGeometry().size();
    window.move(s.left() + (s.width() - size.width()) / 2,
                s.top() + (s.height() - size.height()) / 2);
}

QLabel* makeNote(QWidget* parent, const char* text, int left, int top, int width) {
    auto* note = new QLabel(QString::fromUtf8(text), parent);
    note->setWordWrap(true);
    note->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    if (width <= 0) {
        const QString all = note->text();
        const qsizetype blanks = all.indexOf(QStringLiteral("  "));
        const QFontMetrics fm(note->font());
        width = fm.horizontalAdvance(blanks < 0 ? all : all.left(blanks)) + 2;
    }
    note->setGeometry(left, top, width, note->heightForWidth(width));
    return note;
}

}  // namespace kijunchi
