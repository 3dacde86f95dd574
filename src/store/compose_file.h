// Compose files: the numbered text files in the program's own directory that hold a message
// while the user writes it ("PBM"/"PBN" + five-digit number + ".TMP"), the compose counter
// `LastMessage` that numbers them, and reading and writing the text files the user edits with
// an outside program (compose files, SBTMP.TXT, SIG.TXT, ADDRESS.DAT).
//
// Character sets: inside the program text is Shift_JIS. A file the user edits may come back in
// UTF-8, which is what editors on Linux write, so every such file is read through ToSjisText:
// text that is well-formed UTF-8 and holds at least one non-ASCII byte is taken as UTF-8 and
// converted (characters Shift_JIS cannot hold become "?"); anything else is taken as Shift_JIS
// as it stands. Real Shift_JIS Japanese text is practically never well-formed UTF-8: its lead
// bytes 0x81-0x9F are UTF-8 continuation bytes and its trail bytes 0x40-0x7E cannot follow a
// UTF-8 lead byte. The byte-order mark of a UTF-8 text is dropped; the same three bytes in
// front of text that is no UTF-8 stay, being Shift_JIS characters. Files are written with CR LF, in the
// character set the caller chooses ([Editor] Charset, see compose_settings.h).
//
// Compose numbers run from 1 to 99999, so that every compose file name, and the reply file
// named after it, has an eight-character base name that the one-to-eight-character prefix field
// of REPLIES names exactly. After 99999 the counter starts again at 1; a number whose compose
// file still exists (a message kept after a failure, or a re-edited one) or whose reply file
// still waits in the outbound directory is skipped, so a wrapped counter never writes over
// anything.
#pragma once

#include "store/inifile.h"
#include "store/replace_file.h"
#include "store/strutil.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace pelorin {

// Message kinds of composition and posting: PostFile treats 1 as mail and any other value as
// news.
enum MessageKind : int {
    kNews = 0,
    kMail = 1,
};

enum class TextCharset {
    Utf8,      // UTF-8 without byte-order mark
    ShiftJis,  // the program's own Shift_JIS bytes
};

// "UTF-8"/"UTF8" (any case) give Utf8, "Shift_JIS"/"SJIS"/"CP932" give ShiftJis, anything
// else gives `def`.
TextCharset ParseCharset(std::string_view name, TextCharset def = TextCharset::Utf8);

// True when `bytes` is well-formed UTF-8 (no overlong forms, surrogates or values past
// U+10FFFF).
bool IsWellFormedUtf8(std::string_view bytes);

// The bytes of a file the user may have written, as Shift_JIS text (see above).
std::string ToSjisText(std::string_view bytes);

enum class TextRead {
    Ok,
    Missing,     // no such file
    ReadFailed,  // the file exists but could not be read
};

// Reads a user-edited text file into Shift_JIS lines (line ends CR LF, LF or CR).
TextRead ReadUserTextFile(std::string_view path, TSList& lines);

// Replaces the file with `lines` (Shift_JIS) followed by CR LF each, converted to `charset`.
ReplaceResult WriteUserTextFile(const TSList& lines, std::string_view path, TextCharset charset);

constexpr int32_t kMaxComposeNumber = 99999;

// "PBM00012.TMP" for mail, "PBN00012.TMP" for news: five digits with leading zeros.
std::string ComposeFileName(int kind, int32_t number);

// Takes the next compose number: `[Message] LastMessage` (default 1, written when missing) + 1,
// wrapped to 1 after 99999 (also when the stored value is out of range), skipping numbers whose
// compose file exists in `programDir` or whose reply file ("PBM00012.MSG") exists in
// `replyDir` (when that is not empty). The number is stored back as LastMessage before it is
// returned. 0 when all 99999 numbers are taken (nothing is stored then). `programDir` and
// `replyDir` end with "/".
int32_t NextComposeNumber(TIniF& settings,
                          int kind,
                          std::string_view programDir,
                          std::string_view replyDir);

}  // namespace pelorin
