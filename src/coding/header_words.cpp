// Encoded words in header values.
//
// Reading. A word is: prefix, one encoding letter (B or Q, either case), one character that is
// not checked (normally "?"), the payload, and "?=". The payload runs to the first "?=" after
// it. Prefix and letter are matched without regard to ASCII case; the payload keeps its case. Each word is decoded by itself (base64 bits left over at the end
// of a word are dropped), but the bytes of adjacent words are simply concatenated, so a JIS
// escape or a double-byte code cut between two words is whole again when JisToSjis reads it.
//
// Text between words loses its first LF + space and its first LF + TAB (each at most once):
// words separated by a fold join with nothing between them, words separated by a space on one
// line keep that space.
//
// Words in other charsets: the bytes of adjacent words in the same charset are joined before
// they are read (writers cut UTF-8 inside a character as they cut JIS), and white space
// between two words is dropped where either of them is such a word (RFC 2047, 6.2). Such a
// word must be whole to count as one; "=?" in ordinary text, or a word in a charset iconv
// does not know, stays text. After an ISO-2022-JP word, an ESC ( B is put before the bytes of
// a word in any other charset, so a JIS word that did not return to ASCII cannot turn them
// into kanji pairs.
//
// In Q words "_" stands for a space (RFC 2047, 4.2); it is turned into one before the
// quoted-printable decoding, which by itself leaves "_" alone because bodies use it too.
//
// Bad input: a word without "?=" is kept as plain text from its prefix on; a word with an
// unknown encoding letter is kept as it stands; invalid base64 characters are skipped; "="
// without two upper-case hex digits after it is kept.
//
// Writing header lines: header_encode.cpp.
#include "coding/header_words.h"

#include "coding/base64.h"
#include "coding/charset.h"
#include "coding/cp932.h"
#include "coding/header_words_scan.h"
#include "coding/jis.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace pelorin {
namespace {

// The first "=?" in `text`, or npos. JIS text is full of '=' bytes, so both bytes are compared
// at once, sixteen places at a time where the processor can (bodies are searched this way).
size_t FindWordStart(std::string_view text) {
    size_t i = 0;
#if defined(__SSE2__)
    const __m128i eq = _mm_set1_epi8('='), q = _mm_set1_epi8('?');
    for (; i + 17 <= text.size(); i += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i + 1));
        const int hits =
            _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, eq), _mm_cmpeq_epi8(b, q)));
        if (hits != 0)
            return i + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(hits)));
    }
#endif
    for (; i + 1 < text.size(); ++i) {
        if (text[i] == '=' && text[i + 1] == '?')
            return i;
    }
    return std::string_view::npos;
}

constexpr std::string_view kSjisPrefix = "=?SHIFT_JIS?";

char UpperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// The first place from `pos` on where `upperPrefix` stands in `value`, ASCII case ignored.
size_t FindNoCase(std::string_view value, std::string_view upperPrefix, size_t pos) {
    while (pos < value.size()) {
        pos = value.find(upperPrefix[0], pos);
        if (pos == std::string_view::npos || value.size() - pos < upperPrefix.size())
            return std::string_view::npos;
        size_t k = 1;
        while (k < upperPrefix.size() && UpperAscii(value[pos + k]) == upperPrefix[k]) ++k;
        if (k == upperPrefix.size())
            return pos;
        ++pos;
    }
    return std::string_view::npos;
}

void AppendPayload(std::string& out, char letter, std::string_view payload) {
    if (letter == 'B') {
        Base64DecodeAppend(out, payload);
        return;
    }
    std::string q(payload);
    for (char& c : q) {
        if (c == '_')
            c = ' ';
    }
    out += QPDecode(q);
}

}  // namespace

namespace header_scan {

// The first place of LF + `blank` in `text` from `from` on, or npos.
size_t FindFold(std::string_view text, char blank, size_t from) {
    for (size_t lf = text.find('\n', from); lf != std::string_view::npos;
         lf = text.find('\n', lf + 1)) {
        if (lf + 1 < text.size() && text[lf + 1] == blank)
            return lf;
    }
    return std::string_view::npos;
}

// Appends the text between words with its first LF + space, and then (in what is left) its
// first LF + TAB, taken out: the folds a header value's words are joined across.
void AppendBetweenWords(std::string& out, std::string_view between) {
    const size_t space = FindFold(between, ' ');
    if (space == std::string_view::npos) {
        const size_t tab = FindFold(between, '\t');
        out.append(between.substr(0, tab));
        if (tab != std::string_view::npos)
            out.append(between.substr(tab + 2));
        return;
    }
    // With the LF + space gone, the text is `a` + `b`; an LF + TAB may also form where the two
    // meet.
    const std::string_view a = between.substr(0, space), b = between.substr(space + 2);
    size_t tab = FindFold(a, '\t');
    if (tab == std::string_view::npos && !a.empty() && a.back() == '\n' && !b.empty() &&
        b.front() == '\t') {
        out.append(a.substr(0, a.size() - 1));
        out.append(b.substr(1));
        return;
    }
    if (tab != std::string_view::npos) {
        out.append(a.substr(0, tab));
        out.append(a.substr(tab + 2));
        out.append(b);
        return;
    }
    out.append(a);
    tab = FindFold(b, '\t');
    out.append(b.substr(0, tab));
    if (tab != std::string_view::npos)
        out.append(b.substr(tab + 2));
}

}  // namespace header_scan

namespace {

using header_scan::AppendBetweenWords;
using header_scan::FindFold;

// Today's reading of one charset's words ("=?ISO-2022-JP?" or "=?SHIFT_JIS?"), used by
// DecodeSjisHeaderWords.
void DecodeWordsTo(std::string& out, std::string_view value, std::string_view prefix) {
    out.clear();
    out.reserve(value.size());
    size_t pos = 0;
    while (pos < value.size()) {
        size_t p = FindNoCase(value, prefix, pos);
        if (p == std::string::npos) {
            AppendBetweenWords(out, value.substr(pos));
            break;
        }
        AppendBetweenWords(out, value.substr(pos, p - pos));
        size_t letter_at = p + prefix.size();
        size_t payload_at = letter_at + 2;
        size_t end = payload_at <= value.size() ? value.find("?=", payload_at) : std::string::npos;
        if (end == std::string::npos) {
            out.append(value.substr(p));
            break;
        }
        std::string_view payload = value.substr(payload_at, end - payload_at);
        char letter = UpperAscii(value[letter_at]);
        if (letter == 'B' || letter == 'Q')
            AppendPayload(out, letter, payload);
        else
            out.append(value.substr(p, end + 2 - p));
        pos = end + 2;
    }
}

std::string DecodeWords(std::string_view value, std::string_view prefix) {
    std::string out;
    DecodeWordsTo(out, value, prefix);
    return out;
}

bool IsJisName(std::string_view charset) {
    constexpr std::string_view kJis = "ISO-2022-JP";
    if (charset.size() != kJis.size())
        return false;
    for (size_t i = 0; i < kJis.size(); ++i) {
        if (UpperAscii(charset[i]) != kJis[i])
            return false;
    }
    return true;
}

}  // namespace

header_scan::WordStart header_scan::FindWord(std::string_view value, size_t pos, bool complete) {
    while (true) {
        const size_t p = value.find("=?", pos);
        if (p == std::string_view::npos)
            return {};
        const size_t q = value.find('?', p + 2);
        if (q == std::string_view::npos)
            return {};
        WordStart w;
        w.at = p;
        w.letter_at = q + 1;
        w.charset = value.substr(p + 2, q - p - 2);
        if (IsJisName(w.charset)) {
            w.kind = CharsetKind::Jis;
            return w;
        }
        if (!w.charset.empty() && w.charset.size() <= 40 &&
            w.charset.find_first_of(" \t\r\n=") == std::string_view::npos && q + 2 < value.size() &&
            value[q + 2] == '?' &&
            (UpperAscii(value[q + 1]) == 'B' || UpperAscii(value[q + 1]) == 'Q')) {
            if (value.find("?=", q + 3) != std::string_view::npos) {
                w.kind = ClassifyCharset(w.charset);
                if (w.kind != CharsetKind::Unknown && w.kind != CharsetKind::None)
                    return w;
            } else if (!complete) {
                // Its "?=" may still come, and with it a word. (A value that ends before its
                // payload or inside its charset has no line start after "=?", so there is
                // nothing to decide there.)
                w.undecided = true;
                return w;
            }
        }
        pos = p + 2;
    }
}

namespace {

using header_scan::FindWord;
using header_scan::WordStart;

bool OnlyWhiteSpace(std::string_view s) {
    return s.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

// Reads the words of `value` in order and hands `sink` the pieces: appended to its Plain()
// buffer the text between words, words kept as text and the bytes of ISO-2022-JP, Shift_JIS and
// US-ASCII words (all of which JisToSjis reads); Unicode(bytes, charset) for the joined bytes of
// adjacent words in any other charset.
template <typename Sink>
void ReadWords(std::string_view value, Sink& sink) {
    std::string pending;  // bytes of adjacent words in one Unicode-read charset
    std::string_view pendingCharset;
    const auto flush = [&] {
        if (pendingCharset.empty())
            return;
        sink.Unicode(pending, pendingCharset);
        pending.clear();
        pendingCharset = {};
    };
    CharsetKind last = CharsetKind::None;  // kind of the word just read; None after text
    size_t pos = 0;
    while (pos < value.size()) {
        const WordStart w = FindWord(value, pos);
        const std::string_view between =
            value.substr(pos, w.at == std::string_view::npos ? value.npos : w.at - pos);
        const bool unicode = w.kind == CharsetKind::Utf8 || w.kind == CharsetKind::Other;
        const bool lastUnicode = last == CharsetKind::Utf8 || last == CharsetKind::Other;
        // White space between two words is dropped (RFC 2047, 6.2) where either is read
        // through Unicode; between ISO-2022-JP words it stays as this program always read it.
        if (w.at == std::string_view::npos || last == CharsetKind::None ||
            !(unicode || lastUnicode) || !OnlyWhiteSpace(between)) {
            flush();
            AppendBetweenWords(sink.Plain(), between);
            if (!between.empty())
                last = CharsetKind::None;
        }
        if (w.at == std::string_view::npos)
            break;
        const size_t payload_at = w.letter_at + 2;
        const size_t end =
            payload_at <= value.size() ? value.find("?=", payload_at) : std::string::npos;
        if (end == std::string::npos) {  // only a JIS word gets here
            flush();
            sink.Plain().append(value.substr(w.at));
            break;
        }
        const std::string_view payload = value.substr(payload_at, end - payload_at);
        const char letter = UpperAscii(value[w.letter_at]);
        pos = end + 2;
        if (letter != 'B' && letter != 'Q') {  // only a JIS word gets here
            flush();
            sink.Plain().append(value.substr(w.at, pos - w.at));
            last = CharsetKind::None;
            continue;
        }
        if (unicode) {
            if (!pendingCharset.empty() && pendingCharset != w.charset)
                flush();
            if (last == CharsetKind::Jis)
                sink.Plain() += "\x1B(B";  // a JIS word left open must not swallow what follows
            pendingCharset = w.charset;
            AppendPayload(pending, letter, payload);
        } else {
            flush();
            std::string& plain = sink.Plain();
            if (last == CharsetKind::Jis && w.kind != CharsetKind::Jis)
                plain += "\x1B(B";
            AppendPayload(plain, letter, payload);
        }
        last = w.kind;
    }
    flush();
}

// Shift_JIS output: the bytes for JisToSjis, Unicode words already in Shift_JIS.
struct SjisSink {
    std::string& out;
    std::string utf8;
    std::string& Plain() { return out; }
    void Unicode(std::string_view bytes, std::string_view charset) {
        utf8.clear();
        AppendUtf8(utf8, bytes, charset);
        AppendSjisText(out, utf8);
    }
};

// UTF-8 output: runs of plain pieces are read as this program reads header text (UTF-8 when
// they are well-formed UTF-8 with 8-bit bytes, else JisToSjis and CP932), Unicode words as
// their charset says.
struct Utf8Sink {
    std::string out;
    std::string run;
    std::string& Plain() { return run; }
    void Unicode(std::string_view bytes, std::string_view charset) {
        Flush();
        AppendUtf8(out, bytes, charset);
    }
    void Flush() {
        run = Unfold(run);
        if (Has8Bit(run) && IsUtf8(run))
            out += run;
        else
            out += cp932::ToUtf8(JisToSjis(run));
        run.clear();
    }
};

}  // namespace

std::string DecodeHeaderWords(std::string_view value) {
    std::string out;
    DecodeHeaderWordsTo(out, value);
    return out;
}

void DecodeHeaderWordsTo(std::string& out, std::string_view value) {
    out.clear();
    if (FindWordStart(value) == std::string_view::npos) {  // the common case: no words at all
        AppendBetweenWords(out, value);
        return;
    }
    out.reserve(value.size());
    SjisSink sink{out, {}};
    ReadWords(value, sink);
}

std::string DecodeHeaderUtf8(std::string_view value) {
    Utf8Sink sink;
    ReadWords(value, sink);
    sink.Flush();
    return Unfold(sink.out);
}

std::string DecodeSjisHeaderWords(std::string_view value) {
    return DecodeWords(value, kSjisPrefix);
}

std::string Unfold(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    UnfoldAppend(out, text);
    return out;
}

void UnfoldAppend(std::string& out, std::string_view text) {
    for (size_t lf; (lf = text.find('\n')) != std::string_view::npos;) {
        out.append(text.substr(0, lf));
        size_t next = lf + 1;
        while (next < text.size() && (text[next] == ' ' || text[next] == '\t')) ++next;
        text.remove_prefix(next);
    }
    out.append(text);
}

}  // namespace pelorin
