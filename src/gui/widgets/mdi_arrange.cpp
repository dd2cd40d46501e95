#include "gui/widgets/mdi_arrange.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QStyle>
#include <algorithm>

namespace kijunchi {

namespace {

bool arrangeable(const QMdiSubWindow* sub) {
    return sub->isVisible() && !sub->isMinimized();
}

}  // namespace

void tileHorizontally(QMdiArea& area) {
    QList<QMdiSubWindow*> windows;
    const QList<QMdiSubWindow*> stacking = area.subWindowList(QMdiArea::StackingOrder);
    for (auto it = stacking.rbegin(); it != stacking.rend(); ++it) {
        if (arrangeable(*it)) windows << *it;
    }
    if (windows.isEmpty()) return;
    const QRect room = area.viewport()->rect();
    const int height = room.height() / static_cast<int>(windows.size());
    // No window gets less than its controls need: where the strips do not fit, the work area
    // scrolls to the windows below.
    int top = 0;
    for (int i = 0; i < windows.size(); ++i) {
        QMdiSubWindow* sub = windows[i];
        if (sub->isMaximized()) sub->showNormal();
        const bool last = i == windows.size() - 1;
        const QSize least = sub->minimumSizeHint().expandedTo(sub->minimumSize());
        const int strip = std::max(last ? room.height() - top : height, least.height());
        sub->setGeometry(0, top, std::max(room.width(), least.width()), strip);
        top += strip;
    }
}

void cascade(QMdiArea& area) {
    // Behind to front: the stacking order, with the active window moved to the end.
    QList<QMdiSubWindow*> windows;
    for (QMdiSubWindow* sub : area.subWindowList(QMdiArea::StackingOrder)) {
        if (arrangeable(sub)) windows << sub;
    }
    if (windows.isEmpty()) return;
    QMdiSubWindow* active = area.activeSubWindow();
    if (active && windows.removeOne(active)) windows << active;

    // One title bar (with its frame) per step.
    const QMdiSubWindow* first = windows.front();
    const int step = first->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, first) +
                     first->style()->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth, nullptr, first);
    const QRect room = area.viewport()->rect();
    const int offsets = (static_cast<int>(windows.size()) - 1) * step;
    QSize size(room.width() - offsets, room.height() - offsets);
    for (QMdiSubWindow* sub : windows) size = size.expandedTo(sub->minimumSizeHint());
    int at = 0;
    for (QMdiSubWindow* sub : windows) {
        if (sub->isMaximized()) sub->showNormal();
        sub->setGeometry(at, at, size.width(), size.height());
        sub->raise();
        at += step;
    }
    if (active) area.setActiveSubWindow(active);
}

void arrangeIcons(QMdiArea& area) {
    int left = 0;
    const QRect room = area.viewport()->rect();
    for (QMdiSubWindow* sub : area.subWindowList(QMdiArea::CreationOrder)) {
        if (!sub->isMinimized() || !sub->isVisible()) continue;
        if (left > 0 && left + sub->width() > room.width()) left = 0;
        sub->move(left, room.height() - sub->height());
        left += sub->width();
    }
}

QMdiSubWindow* subWindowOf(const QMdiArea& area, const QWidget* child) {
    if (!child) return nullptr;
    for (QMdiSubWindow* sub : area.subWindowList()) {
        if (sub->widget() == child) return sub;
    }
    return nullptr;
}

void showAndActivate(QMdiArea& area, QWidget* child) {
    QMdiSubWindow* sub = subWindowOf(area, child);
    if (!sub) return;
    if (child->isHidden()) child->show();  // closed with its window's X
    if (sub->isMinimized()) {
        sub->showNormal();
    } else {
        sub->show();
    }
    area.setActiveSubWindow(sub);
}

}  // namespace kijunchi
