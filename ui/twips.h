// Window positions are designed in twips (1/1440 inch); Qt places widgets in
// logical pixels, which it scales for dense screens by itself.
#pragma once

#include <QRect>

namespace tarvik {

inline constexpr int kTwipsPerPixel = 15;

// Nearest whole pixel; a twip count never falls exactly on a half pixel.
constexpr int Px(int twips) {
    return twips >= 0 ? (2 * twips + kTwipsPerPixel) / (2 * kTwipsPerPixel)
                      : -((-2 * twips + kTwipsPerPixel) / (2 * kTwipsPerPixel));
}

inline QRect TwipsRect(int left, int top, int width, int height) {
    return QRect(Px(left), Px(top), Px(width), Px(height));
}

}  // namespace tarvik
