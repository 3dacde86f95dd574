// The body of a message as its reader sees it, for searching and quoting.
//
// The search and the quoting of answers read a message's raw lines through JisToSjis, which is
// all an ISO-2022-JP message needs. A message with text in another charset (UTF-8, EUC-JP,
// ISO-8859-*, ...), undeclared 8-bit text, or HTML needs its MIME parts read first; this does
// that, the way the text pane shows them: every text part in order (of a
// multipart/alternative only the text/plain alternative, or the first one when there is none),
// transfer encodings undone, charsets read, HTML made readable. Attachments are left out.
//
// ReadableBody answers false, and leaves the caller to its old reading, for a message none of
// whose text parts is read through Unicode; so ISO-2022-JP mail is searched and quoted exactly
// as before. A cheap scan of the lines (8-bit bytes, a charset= other than ISO-2022-JP and
// US-ASCII, text/html) decides first whether the parts need to be read at all.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pelorin {

struct ReadableText {
    std::vector<std::string> sjis;  // body lines in Shift_JIS ("〓" where CP932 has no character)
    std::vector<std::string> utf8;  // the same lines in UTF-8, with every character
};

// `messageLines`: the whole message (header, empty line, body), lines without LF.
bool ReadableBody(const std::vector<std::string>& messageLines, ReadableText& out);

// The cheap scan ReadableBody starts with, over a whole message's bytes (lines split at LF):
// false means ReadableBody would answer false, without splitting the text into lines.
bool MayNeedParts(std::string_view messageText);

}  // namespace pelorin
