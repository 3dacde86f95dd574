// Writing header lines with encoded words: EncodeHeaderWords (ISO-2022-JP, from the line
// SjisToJis made) and EncodeUtf8HeaderLine (UTF-8), see header_words.h. Both share the rules
// below; they differ only in how a word's bytes are made.
//
// The line is read into characters: ASCII bytes, and the double-byte characters of its ESC $ B
// (or ESC $ @) runs - or, in UTF-8, its multi-byte characters (a broken byte stands alone).
// The value is then cut into pieces: blanks, plain text and "encodable" tokens (those holding
// a character beyond ASCII). In unstructured fields (Subject, Comments, ...) tokens are what
// the blanks separate. In address fields a token also ends at the specials ( ) < > , ; : [ ]
// and quoted strings are tokens of their own; a quoted string holding such characters loses
// its quotes, since an encoded word inside quotes is no encoded word (RFC 2047, 5), and its
// text becomes a phrase word like any other.
//
// Encodable tokens separated only by blanks form one run, the blanks included: readers drop
// the white space between two adjacent encoded words, so a blank that must survive has to be
// inside a word. Each run becomes encoded words that each hold whole characters; an
// ISO-2022-JP word starts in ASCII and ends with ESC ( B (RFC 1468), so every word reads by
// itself. A word is at most 75 characters and no line grows past 76: the words of a run are
// folded between them (that fold is no text), plain text is folded before one of its blanks.
//
// Folding plain text loses its blank in this program's own reader (which joins folds without
// a blank), so an unstructured value that does not fit on one line is encoded whole, from its
// first non-blank character on, and folds only between words.
#include "coding/base64.h"
#include "coding/charset.h"
#include "coding/header_words.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace pelorin {
namespace {

constexpr size_t kMaxLine = 76;
constexpr size_t kMaxWord = 75;
constexpr std::string_view kKanjiIn = "\x1B$B";
constexpr std::string_view kAsciiIn = "\x1B(B";

// One character of the line: where its bytes are, and whether it needs encoding. An ASCII
// character is its own byte; `code` keeps that byte for the tests below.
struct Char {
    uint32_t at = 0;
    uint8_t length = 1;
    bool wide = false;
    char code = 0;
};
using Chars = std::vector<Char>;

// How words are written in one charset.
struct Style {
    std::string_view prefix;  // "=?ISO-2022-JP?B?"
    bool jis;                 // runs of wide characters need ESC $ B ... ESC ( B
};
constexpr Style kJis{"=?ISO-2022-JP?B?", true};
constexpr Style kUtf8{"=?UTF-8?B?", false};

// The characters of a JIS line. An escape that switches to ASCII or JIS-Roman ends a run, ESC
// $ B or ESC $ @ starts one; any other byte in a run starts a pair (a lone last byte, or one
// before an escape, counts as ASCII).
Chars ReadJis(std::string_view line) {
    Chars out;
    out.reserve(line.size());
    bool kanji = false;
    for (size_t i = 0; i < line.size();) {
        if (line[i] == '\x1B' && i + 2 < line.size()) {
            const char x = line[i + 1], y = line[i + 2];
            if (x == '$' && (y == 'B' || y == '@')) {
                kanji = true;
                i += 3;
                continue;
            }
            if (x == '(' && (y == 'B' || y == 'J')) {
                kanji = false;
                i += 3;
                continue;
            }
        }
        const auto at = static_cast<uint32_t>(i);
        if (kanji && line[i] != '\x1B' && i + 1 < line.size() && line[i + 1] != '\x1B') {
            out.push_back({at, 2, true, 0});
            i += 2;
            continue;
        }
        out.push_back({at, 1, false, line[i]});
        ++i;
    }
    return out;
}

// The characters of a UTF-8 line; every byte of 0x80 and above belongs to a wide one.
Chars ReadUtf8(std::string_view line) {
    Chars out;
    out.reserve(line.size());
    for (size_t i = 0; i < line.size();) {
        const size_t n = std::max<size_t>(Utf8CharLength(line, i), 1);
        const bool wide = static_cast<unsigned char>(line[i]) >= 0x80;
        out.push_back(
            {static_cast<uint32_t>(i), static_cast<uint8_t>(n), wide, wide ? char(0) : line[i]});
        i += n;
    }
    return out;
}

bool IsBlank(const Char& c) {
    return !c.wide && (c.code == ' ' || c.code == '\t');
}

bool IsSpecial(const Char& c) {
    if (c.wide)
        return false;
    switch (c.code) {
        case '(':
        case ')':
        case '<':
        case '>':
        case ',':
        case ';':
        case ':':
        case '[':
        case ']':
        case '"':
            return true;
        default:
            return false;
    }
}

bool HasWide(const Chars& chars) {
    return std::any_of(chars.begin(), chars.end(), [](const Char& c) { return c.wide; });
}

// Header fields whose value is an address list: there an encoded word may only stand for a
// word of a display name or inside a comment.
bool IsAddressField(std::string_view name) {
    static constexpr std::string_view kFields[] = {"from",
                                                   "to",
                                                   "cc",
                                                   "bcc",
                                                   "reply-to",
                                                   "sender",
                                                   "resent-from",
                                                   "resent-to",
                                                   "resent-cc",
                                                   "resent-bcc",
                                                   "resent-sender",
                                                   "mail-followup-to",
                                                   "mail-reply-to",
                                                   "errors-to",
                                                   "return-receipt-to",
                                                   "disposition-notification-to"};
    for (std::string_view f : kFields) {
        if (f.size() != name.size())
            continue;
        bool same = true;
        for (size_t i = 0; i < f.size() && same; ++i) {
            char c = name[i];
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
            same = c == f[i];
        }
        if (same)
            return true;
    }
    return false;
}

enum class Kind { Blank, Plain, Encoded };
struct Piece {
    Kind kind;
    Chars chars;
};

void Add(std::vector<Piece>& pieces, Kind kind, Chars chars) {
    if (chars.empty())
        return;
    // Neighbouring pieces of one kind are one piece; encoded pieces that only blanks separate
    // are one run with those blanks in it.
    if (!pieces.empty() && pieces.back().kind == kind && kind != Kind::Blank) {
        pieces.back().chars.insert(pieces.back().chars.end(), chars.begin(), chars.end());
        return;
    }
    if (kind == Kind::Encoded && pieces.size() >= 2 && pieces.back().kind == Kind::Blank &&
        pieces[pieces.size() - 2].kind == Kind::Encoded) {
        Chars blanks = std::move(pieces.back().chars);
        pieces.pop_back();
        Chars& run = pieces.back().chars;
        run.insert(run.end(), blanks.begin(), blanks.end());
        run.insert(run.end(), chars.begin(), chars.end());
        return;
    }
    pieces.push_back({kind, std::move(chars)});
}

// Blanks and blank-separated tokens.
std::vector<Piece> UnstructuredPieces(const Chars& value) {
    std::vector<Piece> pieces;
    size_t i = 0;
    while (i < value.size()) {
        size_t j = i;
        const bool blank = IsBlank(value[i]);
        while (j < value.size() && IsBlank(value[j]) == blank) ++j;
        Chars token(value.begin() + static_cast<std::ptrdiff_t>(i),
                    value.begin() + static_cast<std::ptrdiff_t>(j));
        const Kind kind = blank ? Kind::Blank : HasWide(token) ? Kind::Encoded : Kind::Plain;
        Add(pieces, kind, std::move(token));
        i = j;
    }
    return pieces;
}

// Blanks, specials, quoted strings and atoms of an address list.
std::vector<Piece> AddressPieces(const Chars& value) {
    std::vector<Piece> pieces;
    size_t i = 0;
    while (i < value.size()) {
        if (IsBlank(value[i])) {
            size_t j = i;
            while (j < value.size() && IsBlank(value[j])) ++j;
            Add(pieces, Kind::Blank,
                Chars(value.begin() + static_cast<std::ptrdiff_t>(i),
                      value.begin() + static_cast<std::ptrdiff_t>(j)));
            i = j;
        } else if (!value[i].wide && value[i].code == '"') {
            // The quoted string with its quotes, and its text with the escapes undone.
            size_t j = i + 1;
            Chars text;
            while (j < value.size() && (value[j].wide || value[j].code != '"')) {
                if (!value[j].wide && value[j].code == '\\' && j + 1 < value.size())
                    ++j;
                text.push_back(value[j]);
                ++j;
            }
            const bool closed = j < value.size();
            if (closed)
                ++j;
            if (HasWide(text) && closed)
                Add(pieces, Kind::Encoded, std::move(text));
            else
                Add(pieces, Kind::Plain,
                    Chars(value.begin() + static_cast<std::ptrdiff_t>(i),
                          value.begin() + static_cast<std::ptrdiff_t>(j)));
            i = j;
        } else if (IsSpecial(value[i])) {
            Add(pieces, Kind::Plain, Chars{value[i]});
            ++i;
        } else {
            size_t j = i;
            while (j < value.size() && !IsBlank(value[j]) && !IsSpecial(value[j])) ++j;
            Chars token(value.begin() + static_cast<std::ptrdiff_t>(i),
                        value.begin() + static_cast<std::ptrdiff_t>(j));
            const Kind kind = HasWide(token) ? Kind::Encoded : Kind::Plain;
            Add(pieces, kind, std::move(token));
            i = j;
        }
    }
    return pieces;
}

// The bytes of an encoded word holding chars[from, to): in ISO-2022-JP from ASCII, back to
// ASCII at its end.
std::string WordBytes(
    std::string_view src, const Chars& chars, size_t from, size_t to, const Style& style) {
    std::string bytes;
    bool kanji = false;
    for (size_t i = from; i < to; ++i) {
        if (style.jis && chars[i].wide != kanji) {
            bytes.append(chars[i].wide ? kKanjiIn : kAsciiIn);
            kanji = chars[i].wide;
        }
        bytes.append(src.substr(chars[i].at, chars[i].length));
    }
    if (kanji)
        bytes.append(kAsciiIn);
    return bytes;
}

size_t WordLength(const Style& style, size_t bytes) {
    return style.prefix.size() + (bytes + 2) / 3 * 4 + 2;
}

// The characters from `from` on that fit in one word of at most `room` characters.
size_t Fit(const Chars& chars, size_t from, size_t room, const Style& style) {
    size_t end = from;
    size_t bytes = 0;
    bool kanji = false;
    while (end < chars.size()) {
        size_t add = chars[end].length;
        if (style.jis && chars[end].wide != kanji)
            add += 3;
        const size_t closing = style.jis && chars[end].wide ? kAsciiIn.size() : 0;
        if (WordLength(style, bytes + add + closing) > room)
            break;
        bytes += add;
        kanji = chars[end].wide;
        ++end;
    }
    return end;
}

class Writer {
public:
    Writer(std::string_view src, const Style& style, std::string start)
        : src_(src)
        , style_(style)
        , out_(std::move(start))
        , column_(out_.size()) {}

    void Blank(const Chars& blanks) {
        for (const Char& c : blanks) held_.push_back(c.code);
    }

    void Plain(const Chars& chars) {
        std::string text;
        for (const Char& c : chars) text.append(src_.substr(c.at, c.length));
        Place(text.size());
        Write(text);
    }

    void Encoded(const Chars& chars) {
        size_t i = 0;
        while (i < chars.size()) {
            if (i == 0) {
                // The first word goes where the line has room for at least one character.
                const size_t used = column_ + held_.size();
                const size_t room = used >= kMaxLine ? 0 : std::min(kMaxWord, kMaxLine - used);
                Place(Fit(chars, i, room, style_) == i ? kMaxLine : 0);
            } else {
                Fold();
            }
            const size_t room = column_ >= kMaxLine ? 0 : std::min(kMaxWord, kMaxLine - column_);
            const size_t end = std::max(Fit(chars, i, room, style_), i + 1);
            Write(std::string(style_.prefix) +
                  Base64Encode(WordBytes(src_, chars, i, end, style_)) + "?=");
            i = end;
        }
    }

    std::string Finish() {
        out_ += held_;
        return std::move(out_);
    }

private:
    // Writes the blanks held back before `length` more characters, folding before them when
    // the line would grow past its limit (a fold needs a blank: one is added when none was
    // held).
    void Place(size_t length) {
        if (column_ + held_.size() + length > kMaxLine && column_ > 0 && !lineStart_) {
            out_ += '\n';
            column_ = 0;
            lineStart_ = true;
            if (held_.empty())
                held_ = " ";
        }
        out_ += held_;
        column_ += held_.size();
        held_.clear();
    }

    void Fold() {
        out_ += "\n ";
        column_ = 1;
        lineStart_ = true;
    }

    void Write(const std::string& text) {
        out_ += text;
        column_ += text.size();
        if (!text.empty())
            lineStart_ = false;
    }

    std::string_view src_;
    const Style& style_;
    std::string out_;
    std::string held_;  // blanks not yet written
    size_t column_ = 0;
    bool lineStart_ = false;  // the line holds nothing but the blank of its fold
};

std::string Render(std::string_view src,
                   const Style& style,
                   std::string_view name,
                   const std::vector<Piece>& pieces) {
    Writer w(src, style, std::string(name));
    for (size_t i = 0; i < pieces.size(); ++i) {
        const Piece& p = pieces[i];
        switch (p.kind) {
            case Kind::Blank:
                w.Blank(p.chars);
                break;
            case Kind::Plain:
                // A name written up to its "<" gets a blank after its last word: readers want
                // one after an encoded word.
                if (i > 0 && pieces[i - 1].kind == Kind::Encoded && p.chars[0].code == '<')
                    w.Blank({Char{0, 1, false, ' '}});
                w.Plain(p.chars);
                break;
            case Kind::Encoded:
                w.Encoded(p.chars);
                break;
        }
    }
    return w.Finish();
}

// Whether every fold of `text` stands between two encoded words and every line fits.
bool FoldsBetweenWordsOnly(std::string_view text) {
    size_t start = 0;
    while (true) {
        const size_t lf = text.find('\n', start);
        const size_t end = lf == std::string_view::npos ? text.size() : lf;
        if (end - start > kMaxLine)
            return false;
        if (lf == std::string_view::npos)
            return true;
        if (lf < 2 || text.substr(lf - 2, 2) != "?=" || text.substr(lf + 1, 3) != " =?")
            return false;
        start = lf + 1;
    }
}

// Encodes one line whose characters are `chars`.
std::string EncodeLine(std::string_view line, Chars chars, const Style& style) {
    // The field name stays plain: printable ASCII up to the colon.
    size_t nameEnd = 0;
    while (nameEnd < chars.size() && !chars[nameEnd].wide && chars[nameEnd].code > ' ' &&
           chars[nameEnd].code < 0x7F && chars[nameEnd].code != ':')
        ++nameEnd;
    std::string name;
    if (nameEnd > 0 && nameEnd < chars.size() && chars[nameEnd].code == ':') {
        name = std::string(line.substr(0, chars[nameEnd].at + 1));
        chars.erase(chars.begin(), chars.begin() + static_cast<std::ptrdiff_t>(nameEnd + 1));
    }
    const std::string_view fieldName = std::string_view(name).substr(0, nameEnd);
    if (!name.empty() && IsAddressField(fieldName))
        return Render(line, style, name, AddressPieces(chars));
    std::string out = Render(line, style, name, UnstructuredPieces(chars));
    if (FoldsBetweenWordsOnly(out))
        return out;
    // Folded at a blank of its own: the value from its first non-blank character on as one run.
    size_t lead = 0;
    while (lead < chars.size() && IsBlank(chars[lead])) ++lead;
    std::vector<Piece> whole;
    if (lead > 0)
        whole.push_back(
            {Kind::Blank, Chars(chars.begin(), chars.begin() + static_cast<std::ptrdiff_t>(lead))});
    whole.push_back(
        {Kind::Encoded, Chars(chars.begin() + static_cast<std::ptrdiff_t>(lead), chars.end())});
    return Render(line, style, name, whole);
}

}  // namespace

std::string EncodeHeaderWords(std::string_view line) {
    if (line.find('\x1B') == std::string_view::npos)
        return std::string(line);
    Chars chars = ReadJis(line);
    if (!HasWide(chars))
        return std::string(line);
    return EncodeLine(line, std::move(chars), kJis);
}

std::string EncodeUtf8HeaderLine(std::string_view line) {
    if (!Has8Bit(line))
        return std::string(line);
    return EncodeLine(line, ReadUtf8(line), kUtf8);
}

}  // namespace pelorin
