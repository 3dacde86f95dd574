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

#include "store/compose_file.h"
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

// The same in UTF-8 with every character (the clipboard takes Unicode): the header as
// HeaderBlockUtf8 gives it, bodies read through Unicode as they are, the rest converted from
// Shift_JIS - the text the pane shows with headers on.
std::string WholeMessagesUtf8(const std::vector<TMsg*>& msgs);

// A message's header lines as the text pane shows them with headers on, in UTF-8 with every
// character: one line per field, its continuation lines joined (the line break dropped, the
// blank that began the next line kept, so that plain words stay apart and the blank between
// two encoded words goes as RFC 2047 says), encoded words decoded in any charset, raw 8-bit
// text read as UTF-8 when it is and as JIS or Shift_JIS otherwise; a CR at a line's end
// dropped. Lines before the first field (a stray continuation) stay lines of their own.
TSList HeaderBlockUtf8(const TSList& headerLines);

// The body lines of a message in UTF-8, as the pane shows them: text read through Unicode as
// it is, the rest converted from Shift_JIS. Without the empty line that ends the header.
TSList BodyLinesUtf8(TMsg& msg);

// Text files for the user are written in a TextCharset (compose_file.h).
// The environment's locale's (LC_ALL, LC_CTYPE, LANG): Shift_JIS for a Shift_JIS or CP932
// locale, UTF-8 for anything else (an unknown or missing locale included).
TextCharset LocaleTextCharset();
// [Files] SaveCharset: "UTF-8" or "Shift_JIS" as ParseCharset reads them; anything else
// (empty included) is the locale's. TextCharsetName gives the stored form back.
TextCharset ParseTextCharset(std::string_view name);
std::string_view TextCharsetName(TextCharset charset);

// A message some of whose characters the chosen set could not carry.
struct SaveLoss {
    TMsg* msg = nullptr;
    std::size_t replaced = 0;  // characters written as "〓" (Shift_JIS) instead
};

// The body of a message: the first empty line (the end of the header) and every line after it,
// converted. Empty when the message has no empty line.
TSList BodyLines(TMsg& msg);

// Writes the bodies of `msgs`, in order, to `path` (Shift_JIS), replacing the file through a
// temporary file and a rename, lines ending in CR LF. On failure the earlier file is untouched
// and `failure` says why.
ReplaceResult SaveBodies(std::string_view path,
                         const std::vector<TMsg*>& msgs,
                         WriteFailure& failure);
// The same in `charset`: UTF-8 keeps every character; Shift_JIS writes "〓" for each one CP932
// cannot hold, and `losses` gets one entry per message where that happened (in order).
ReplaceResult SaveBodies(std::string_view path,
                         const std::vector<TMsg*>& msgs,
                         TextCharset charset,
                         WriteFailure& failure,
                         std::vector<SaveLoss>& losses);

}  // namespace pelorin
