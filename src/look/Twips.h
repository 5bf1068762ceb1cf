#pragma once

#include <QRect>

// Window layouts are drawn in twips; the screen counts 15 twips to a pixel at
// 96 dpi, and Qt's high-DPI scaling takes it from there.
namespace Twips {
inline constexpr int PerPixel = 15;

constexpr int toPixels(int twips) {
    return (twips + PerPixel / 2) / PerPixel;
}

constexpr QRect rect(int left, int top, int width, int height) {
    return QRect(toPixels(left), toPixels(top), toPixels(width), toPixels(height));
}
} // namespace Twips
