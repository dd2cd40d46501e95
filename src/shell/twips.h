#pragma once
// Window layouts are designed in twips (1440 to the inch); on screen we use 96 pixels to the
// inch, so 15 twips make one pixel.
#include <QRect>
#include <QSize>

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

}  // namespace kijunchi
