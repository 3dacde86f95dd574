// The pictures of the main window: the six node icons of the area tree, the glyphs of the
// toolbar buttons and the program icon. The tree icons are drawn here (so that the packet and
// area kinds stay told apart in every desktop theme); the toolbar glyphs come from the style's
// standard icons where one fits.
#pragma once

#include <QIcon>

#include <string_view>

namespace pelorin {

// Node icons by index:
//   0 packet, collapsed        1 packet, expanded
//   2 area of a SOUP packet    3 the open area of a SOUP packet
//   4 area of a folder or note packet    5 its open area
// Any other index gives an empty icon.
QIcon TreeIcon(int index);

// The glyph of a toolbar button, by the button's name ("ftbOpen" ...); a plain marked square
// for a name without a glyph of its own.
QIcon ButtonGlyph(std::string_view buttonName);

// The program's icon (windows, about box).
QIcon ProgramIcon();

}  // namespace pelorin
