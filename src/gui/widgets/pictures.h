#pragma once
// The program's pictures, drawn at run time: the start-up picture, the window and toolbar
// pictures, the button icons of the input window and its two decorations.
#include <QIcon>
#include <QPixmap>

namespace kijunchi::pictures {

QPixmap startupPicture();  // 198 × 200
QIcon programIcon();
QPixmap toolbarPicture(int index);  // 1..5, 16 × 16

enum class ButtonPicture { Paste, New, Analysis };
QPixmap buttonPicture(ButtonPicture which);  // 16 × 16

QPixmap smallDecoration();  // 39 × 29
QPixmap largeDecoration();  // 234 × 123

}  // namespace kijunchi::pictures
