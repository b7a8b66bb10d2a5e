#pragma once

// Windows 98 lays windows out in twips; at 96 dots per inch a pixel is 15.

#include <QRect>
#include <QtMath>

namespace zarvo {

constexpr int kTwipsPerPixel = 15;

// A rectangle given as left, top, width, height in twips, in pixels.
inline QRect twips(int left, int top, int width, int height) {
    auto px = [](int t) { return qRound(double(t) / kTwipsPerPixel); };
    return QRect(px(left), px(top), px(width), px(height));
}

}  // namespace zarvo
