// The plain description of a font as the settings file stores it (eight keys from a prefix:
// Name, Size, Color, CharSet and the four Style flags). The core reads and writes it
// (settings.h); the Qt layer turns it into a QFont and a QColor (view/font_qt.h).
#pragma once

#include <cstdint>
#include <string>

namespace pelorin {

struct TFont {
    std::string name;        // family name, Shift_JIS; empty means the platform's default face
    int32_t size = 9;        // size in points; 0 or less keeps the platform's default size
    int32_t color = 0;       // colour as 0x00BBGGRR (red in the low byte); values with the top
                             // byte 0xFF name a system colour by its index in the low byte
    int32_t charSet = 128;   // character-set number; 128 is Shift_JIS, 1 the default set
    bool bold = false;       // StyleBold
    bool italic = false;     // StyleItalic
    bool underline = false;  // StyleUnderline
    bool strikeout = false;  // StyleStrikeout

    bool operator==(const TFont&) const = default;
};

}  // namespace pelorin
