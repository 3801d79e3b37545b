// Image files beside the executable and the ways controls draw them.
#pragma once

#include <QColor>
#include <QPalette>
#include <QPixmap>
#include <cstdint>
#include <string_view>

class QPainter;

namespace uikit {

// Loads an image named as the callers write it ("icon\\tab_home.png"),
// relative to Manager's resource folder; cached. A missing file gives a null
// pixmap and the control draws without it.
QPixmap LoadImage(std::u16string_view name);
void ClearImageCache();

// Frame `index` of a strip of `count` equal frames laid side by side.
QPixmap Frame(const QPixmap& strip, int count, int index);

// Draws `image` over `target`; a border > 0 keeps that many pixels of each
// edge unstretched (nine-slice).
void DrawStretched(QPainter& painter, const QRect& target, const QPixmap& image, int border);
// Draws `image` over `target` with its top `fixedTop` rows at their own
// height (stretched across only) and the rows below stretched to fill the rest.
void DrawWithFixedTop(QPainter& painter, const QRect& target, const QPixmap& image, int fixedTop);

// The window's colours for what Qt draws itself (file dialogs, the frame and
// items of a combo box's list, scroll bars, tooltips).
QPalette WindowPalette();

// 0xAARRGGBB.
QColor ColorFromArgb(std::uint32_t argb);
// Windows colour value: red in bits 0-7, green 8-15, blue 16-23.
QColor ColorFromRgb(std::uint32_t colorref);

}  // namespace uikit
