#pragma once

#include <QtGlobal>

// The alert windows are laid out in twips, 1440 to the inch; on a screen of
// 96 logical dots per inch that is 15 twips to the pixel.
inline constexpr int kTwipsPerPixel = 15;

inline int twipsToPixels(qint64 twips) {
    return static_cast<int>((twips * 2 + kTwipsPerPixel) / (2 * kTwipsPerPixel));
}
