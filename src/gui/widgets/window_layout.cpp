#include "gui/widgets/window_layout.h"

#include <QEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>
#include <QWidget>
#include <algorithm>

namespace kijunchi {

void centreOnScreen(QWidget& window) {
    const QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect s = screen->geometry();
    const QSize size = window.frameGeometry().size();
    window.move(s.left() + (s.width() - size.width()) / 2,
                s.top() + (s.height() - size.height()) / 2);
}

namespace {

// Centres its window at the window's first Show event, then goes away.
class CentreAtFirstShow final : public QObject {
public:
    explicit CentreAtFirstShow(QWidget& window) : QObject(&window), window_(window) {
        window.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &window_ && event->type() == QEvent::Show) {
            window_.removeEventFilter(this);
            centreOnScreen(window_);
            deleteLater();
        }
        return false;
    }

private:
    QWidget& window_;
};

// Room for the window manager's frame (title bar and borders), in device-independent pixels.
constexpr int kFrameWidthAllowance = 16;
constexpr int kFrameHeightAllowance = 48;

}  // namespace

void centreOnFirstShow(QWidget& window) {
    new CentreAtFirstShow(window);
}

void fitInAvailableArea(QWidget& window, QSize wanted) {
    const QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    if (!screen) {
        window.resize(wanted);
        return;
    }
    const QRect room = screen->availableGeometry();
    const QSize size =
        wanted.boundedTo(room.size() - QSize(kFrameWidthAllowance, kFrameHeightAllowance))
            .expandedTo(QSize(1, 1));
    window.resize(size);
    const QSize outer = size + QSize(kFrameWidthAllowance, kFrameHeightAllowance);
    window.move(room.left() + std::max(0, (room.width() - outer.width()) / 2),
                room.top() + std::max(0, (room.height() - outer.height()) / 2));
}

void keepInAvailableArea(QWidget& window) {
    if (window.isMaximized() || window.isFullScreen()) return;
    const QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect room = screen->availableGeometry();
    const QSize outer = window.size() + QSize(kFrameWidthAllowance, kFrameHeightAllowance);
    if (outer.width() > room.width() || outer.height() > room.height()) {
        fitInAvailableArea(window, window.size());
        return;
    }
    // A top-level window's place is the corner of its frame, title bar and borders included.
    const int left = std::clamp(window.x(), room.left(), room.right() + 1 - outer.width());
    const int top = std::clamp(window.y(), room.top(), room.bottom() + 1 - outer.height());
    if (left != window.x() || top != window.y()) window.move(left, top);
}

void bringForward(QWidget& window) {
    window.show();
    window.raise();
    window.activateWindow();
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

QScrollArea* setScrollingPage(QWidget& window, QWidget* page) {
    auto* scroll = new QScrollArea(&window);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setWidget(page);
    auto* outer = new QVBoxLayout(&window);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(scroll);
    return scroll;
}

}  // namespace kijunchi
