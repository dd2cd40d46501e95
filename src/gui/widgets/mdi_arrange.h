#pragma once
// Arranging the child windows of a work area: one above the other, in cascade, and the icons of
// minimised windows along the bottom.
class QMdiArea;
class QMdiSubWindow;
class QWidget;

namespace kijunchi {

// One above the other, each as wide as the work area, the topmost window first; the last one
// takes what the division leaves over. Minimised and hidden windows keep their places.
void tileHorizontally(QMdiArea& area);

// Each window one title bar lower and to the right of the one behind it, the active window in
// front at the last offset, so that every title bar stays visible. All windows get the same
// size: the work area less the offsets of the windows in front.
void cascade(QMdiArea& area);

// Minimised windows in a row along the bottom of the work area, left to right, in the order
// they were created; when the row is full the next one starts again at the left edge.
void arrangeIcons(QMdiArea& area);

// The child window that holds a widget, or null.
QMdiSubWindow* subWindowOf(const QMdiArea& area, const QWidget* child);

// Shows the child window that holds a widget (restoring it if it was minimised) and makes it
// the active one.
void showAndActivate(QMdiArea& area, QWidget* child);

}  // namespace kijunchi
