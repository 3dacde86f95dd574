// The text of messages as the message actions hand it on: to the clipboard (the whole
// message) and to a file (the bodies of the checked messages).
//
// A message is stored as ISO-2022-JP with MIME header words. Each line handed on is converted
// the way the text view shows a line: DecodeHeaderWords, then JisToSjis. Lines are joined
// with CR LF, the line end of the program's own text files; a CR a line still carries from a
// CR LF message file is dropped first, so no line ends in CR CR LF.
//
// A message with text in another charset, or HTML, has its body handed on as the text pane shows
// it (its MIME parts read, see coding/readable_text.h); ISO-2022-JP mail is handed on line by
// line as always.
//
// A message whose text is read here only for the action (its lines were not loaded) has its
// lines freed again afterwards, so that acting on thousands of checked messages does not keep
// them all in memory.
#pragma once

#include "store/msg.h"
#include "store/replace_file.h"
#include "store/strutil.h"

#include <string>
#include <string_view>
#include <vector>

namespace pelorin {

// One stored line converted for the user: header words decoded, JIS turned to Shift_JIS.
std::string ConvertLine(std::string_view line);

// Every line of each message, header and body, converted and followed by CR LF, messages one
// after the other.
std::string WholeMessagesText(const std::vector<TMsg*>& msgs);

// The same in UTF-8 with every character (the clipboard takes Unicode): header lines through
// DecodeHeaderUtf8, bodies read through Unicode as they are, the rest converted from Shift_JIS.
std::string WholeMessagesUtf8(const std::vector<TMsg*>& msgs);

// The body of a message: the first empty line (the end of the header) and every line after it,
// converted. Empty when the message has no empty line.
TSList BodyLines(TMsg& msg);

// Writes the bodies of `msgs`, in order, to `path` (Shift_JIS), replacing the file through a
// temporary file and a rename, lines ending in CR LF. On failure the earlier file is untouched
// and `failure` says why.
ReplaceResult SaveBodies(std::string_view path,
                         const std::vector<TMsg*>& msgs,
                         WriteFailure& failure);

}  // namespace pelorin
