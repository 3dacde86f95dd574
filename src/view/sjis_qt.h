// The Unicode edge of the program: Shift_JIS bytes to QString and back, through the CP932
// codec. Every text that the core hands to a widget, and every text the user types that goes
// back to the core, passes through these two functions and nowhere else.
#pragma once

#include <QString>

#include <string>
#include <string_view>

namespace pelorin {

// Shift_JIS bytes to text; bytes with no character show as U+FFFD.
QString ToQString(std::string_view sjis);
// Text to Shift_JIS bytes; characters CP932 cannot hold become "?".
std::string FromQString(const QString& text);

// The UTF-8 side of the edge, for text the core read through Unicode (parts in UTF-8 and other
// charsets, whose every character is kept): UTF-8 to text (broken bytes give U+FFFD) and back.
QString Utf8ToQString(std::string_view utf8);
std::string QStringToUtf8(const QString& text);

}  // namespace pelorin
