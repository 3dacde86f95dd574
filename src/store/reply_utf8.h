// Posting a composed message in UTF-8, for text that holds characters ISO-2022-JP cannot carry
// (accented letters, Hangul, emoji ...): converting such text to ISO-2022-JP would lose them.
// Text that fits is posted in ISO-2022-JP exactly as before (ReplyMessageLines, outbound.h).
//
// The message keeps its header lines, each encoded by EncodeUtf8HeaderLine (non-ASCII words as
// "=?UTF-8?B?" words, addresses plain); the composed Mime-Version, Content-Type and
// Content-Transfer-Encoding lines are replaced by "Mime-Version: 1.0", "Content-Type:
// text/plain; charset=UTF-8" and "Content-Transfer-Encoding: quoted-printable". The body is
// quoted-printable: bytes of 0x80 and above, "=", control characters and blanks at a line's
// end are written as "=XX", and lines longer than 76 characters are broken with soft line
// breaks ("=" at the end), never inside an "=XX".
#pragma once

#include "store/strutil.h"

#include <string>
#include <string_view>

namespace pelorin {

// The reply file's lines for a composed message given in UTF-8 (header, empty line, body).
TSList ReplyMessageLinesUtf8(const TSList& composedUtf8);

// One body line as quoted-printable lines (one, or several joined by soft line breaks).
void AppendQuotedPrintable(std::string_view line, TSList& out);

// Reads a composed file (the bytes the user's editor wrote) into UTF-8 lines when it is UTF-8
// text holding a character Shift_JIS cannot: true, and `utf8Lines` holds it (a byte-order mark
// dropped). False otherwise (ordinary text, read the usual way), `utf8Lines` left empty.
bool ReadTextBeyondShiftJis(std::string_view path, TSList& utf8Lines);

}  // namespace pelorin
