// Settings-file fonts and colours to Qt and back (see font_qt.h).
#include "view/font_qt.h"

#include "view/sjis_qt.h"

#include <cmath>

namespace pelorin {
namespace {

// The platform's system colour indexes that appear in settings files, as palette roles.
QPalette::ColorRole SystemRole(int index) {
    switch (index) {
        case 4:  // menu
            return QPalette::Window;
        case 5:  // window background
            return QPalette::Base;
        case 13:  // highlight
            return QPalette::Highlight;
        case 14:  // highlighted text
            return QPalette::HighlightedText;
        case 15:  // button face
            return QPalette::Button;
        case 16:  // button shadow
            return QPalette::Dark;
        case 17:  // grey text
            return QPalette::PlaceholderText;
        case 18:  // button text
            return QPalette::ButtonText;
        case 20:  // button highlight
            return QPalette::Light;
        case 21:  // dark 3-D shadow
            return QPalette::Shadow;
        case 22:  // 3-D light
            return QPalette::Midlight;
        case 23:  // tool tip text
            return QPalette::ToolTipText;
        case 24:  // tool tip background
            return QPalette::ToolTipBase;
        default:  // 7 menu text, 8 window text and anything else
            return QPalette::WindowText;
    }
}

}  // namespace

QFont ToQFont(const TFont& font, const QFont& base) {
    QFont q(base);
    if (!font.name.empty())
        q.setFamily(ToQString(font.name));
    if (font.size > 0)
        q.setPointSize(font.size);
    q.setBold(font.bold);
    q.setItalic(font.italic);
    q.setUnderline(font.underline);
    q.setStrikeOut(font.strikeout);
    return q;
}

TFont FromQFont(const QFont& font, const TFont& base) {
    TFont f(base);
    f.name = FromQString(font.family());
    if (font.pointSizeF() > 0)
        f.size = static_cast<int32_t>(std::lround(font.pointSizeF()));
    else if (font.pixelSize() > 0)
        f.size = static_cast<int32_t>(std::lround(font.pixelSize() * 72.0 / 96.0));
    f.bold = font.bold();
    f.italic = font.italic();
    f.underline = font.underline();
    f.strikeout = font.strikeOut();
    return f;
}

QColor ToQColor(int32_t value, const QPalette& palette) {
    const auto v = static_cast<uint32_t>(value);
    if ((v & 0xFF000000u) == 0xFF000000u)
        return palette.color(QPalette::Active, SystemRole(static_cast<int>(v & 0xFFu)));
    return QColor(static_cast<int>(v & 0xFFu), static_cast<int>((v >> 8) & 0xFFu),
                  static_cast<int>((v >> 16) & 0xFFu));
}

int32_t FromQColor(const QColor& color) {
    const QColor rgb = color.toRgb();
    return static_cast<int32_t>(static_cast<uint32_t>(rgb.red()) |
                                (static_cast<uint32_t>(rgb.green()) << 8) |
                                (static_cast<uint32_t>(rgb.blue()) << 16));
}

}  // namespace pelorin
