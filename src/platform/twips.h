#pragma once

#include <QRect>

namespace brackenly::twips {

// Window layouts are drawn in twips: 15 twips = 1 logical pixel.
inline constexpr int kPerPixel = 15;

// Rounded to the nearest pixel, halves away from zero.
constexpr int toPixels(int tw)
{
    return tw >= 0 ? (tw + kPerPixel / 2) / kPerPixel : -((-tw + kPerPixel / 2) / kPerPixel);
}

constexpr int fromPixels(int px)
{
    return px * kPerPixel;
}

inline QRect toPixels(int left, int top, int width, int height)
{
    return QRect(toPixels(left), toPixels(top), toPixels(width), toPixels(height));
}

} // namespace brackenly::twips
