#pragma once
// Placing windows and controls: layouts are designed in twips (1440 to the inch); on screen
// we use 96 pixels to the inch, so 15 twips make one pixel. Windows and dialogs centre
// themselves on the screen when they load.
#include <QRect>
#include <QSize>

class QLabel;
class QScrollArea;
class QWidget;

namespace kijunchi {

inline constexpr int kTwipsPerPixel = 15;

constexpr int twips(int t) {
    return (t + kTwipsPerPixel / 2) / kTwipsPerPixel;
}

inline QRect twipsRect(int left, int top, int width, int height) {
    return QRect(twips(left), twips(top), twips(width), twips(height));
}

inline QSize twipsSize(int width, int height) {
    return QSize(twips(width), twips(height));
}

// left = (screen width - window width) / 2, top = (screen height - window height) / 2.
void centreOnScreen(QWidget& window);

// Centres the window on the screen the first time it is shown (when its size is final).
void centreOnFirstShow(QWidget& window);

// Sizes a top-level window to at most `wanted` and centres it inside the screen's available
// area (without the task bars), keeping room for the window manager's frame around it, so that
// its title bar and its bottom edge stay on the screen at any scaling.
void fitInAvailableArea(QWidget& window, QSize wanted);

// A top-level window placed from a remembered geometry (taken on a larger screen or at a smaller
// scaling, perhaps) that does not fit the screen's available area with the window manager's
// frame around it is made to fit as fitInAvailableArea does; one that fits but lies partly
// outside is moved inside. A maximised or full-screen window is left as it is.
void keepInAvailableArea(QWidget& window);

// Shows a top-level window, raises it above its siblings and gives it the focus.
void bringForward(QWidget& window);

// A wrapping note at (left, top) in pixels, of the given width; with width 0, when its text
// carries a run of blanks where its line is meant to break, just wide enough for the part
// before the blanks so that the rest wraps to the next line.
QLabel* makeNote(QWidget* parent, const char* text, int left, int top, int width = 0);

// Gives window the page as its whole content, scrolled when the window is smaller than the
// page needs (a window of many controls at a large text scaling).
// Returns the scroll area.
QScrollArea* setScrollingPage(QWidget& window, QWidget* page);

}  // namespace kijunchi
