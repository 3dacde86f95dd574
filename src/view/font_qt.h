// Fonts and colours of the settings file in Qt terms: the plain font description of the core
// (store/font.h) to QFont and back, and the stored colour values (0x00BBGGRR, or a system
// colour with the top byte 0xFF) to QColor and back.
//
// QFont has no character set; the number stays in the description (FromQFont keeps the one it
// is given). Sizes are points; a font sized in pixels is converted at 96 dots per inch.
#pragma once

#include "store/font.h"

#include <QColor>
#include <QFont>
#include <QPalette>

#include <cstdint>

namespace pelorin {

// The description's face, size and styles applied to `base` (empty name: base's face; size 0
// or less: base's size).
QFont ToQFont(const TFont& font, const QFont& base = QFont());
// Face, size and styles of `font`; colour and character set come from `base`.
TFont FromQFont(const QFont& font, const TFont& base = TFont());

// A stored colour value. System colours (top byte 0xFF, index in the low byte: 5 window,
// 8 window text, 13 highlight, 15 button face ...) are taken from `palette`.
QColor ToQColor(int32_t value, const QPalette& palette = QPalette());
// The stored value of a colour (0x00BBGGRR; alpha is dropped).
int32_t FromQColor(const QColor& color);

}  // namespace pelorin
