// The Rot13/47 scrambler: ASCII letters turn 13 places, double-byte characters 47 places within
// the JIS rows and cells. Applying RotText twice gives valid text back.
#pragma once

#include <string>
#include <string_view>

namespace pelorin {

// An ASCII letter 13 places on (only meaningful for A-Z and a-z).
unsigned char Rot13Char(unsigned char ch);
// A Shift_JIS double-byte character scrambled through its JIS code. Where the scrambled code
// has no Shift_JIS form the two scrambled JIS bytes themselves are returned.
std::string Rot47Char(unsigned char lead, unsigned char trail);
// Scrambles a Shift_JIS line; other bytes are copied unchanged.
std::string RotText(std::string_view text);

}  // namespace pelorin
