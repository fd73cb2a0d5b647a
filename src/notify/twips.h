#pragma once

#include <QtGlobal>

// Windows are laid out in twips, 1440 to the inch. At `dpi` logical dots per
// inch a twip count is that many pixels, rounded to the nearest; on a screen
// of 96 dots per inch that is 15 twips to the pixel.
inline constexpr int kScreenDpi = 96;

inline int twipsToPixels(qint64 twips, int dpi = kScreenDpi) {
    return static_cast<int>((twips * dpi + 720) / 1440);
}
