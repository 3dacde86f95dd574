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
// A value holding words of both charsets has only its ISO-2022-JP words decoded.
//
// In Q words "_" stands for a space (RFC 2047, 4.2); it is turned into one before the
// quoted-printable decoding, which by itself leaves "_" alone because bodies use it too.
//
// Bad input: a word without "?=" is kept as plain text from its prefix on; a word with an
// unknown encoding letter is kept as it stands; invalid base64 characters are skipped; "="
// without two upper-case hex digits after it is kept.
//
// Writing. Each JIS run, escapes included, becomes base64 words. The first word takes as many
// bytes as fit in 58 - L base64 characters, L being the length of the current output line;
// every further word starts a folded line and takes 43 bytes. The run is cut by byte count
// alone, which is harmless because the reader joins adjacent words before JisToSjis. A line
// already longer than 54 characters is folded before its first word.
#include "coding/header_words.h"

#include "coding/base64.h"

namespace pelorin {
namespace {

constexpr std::string_view kIsoPrefix = "=?ISO-2022-JP?";
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

void AppendBetweenWords(std::string& out, std::string_view between) {
    if (between.find('\n') == std::string_view::npos) {
        out.append(between);
        return;
    }
    std::string s(between);
    size_t p = s.find("\n ");
    if (p != std::string::npos)
        s.erase(p, 2);
    p = s.find("\n\t");
    if (p != std::string::npos)
        s.erase(p, 2);
    out += s;
}

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
        if (letter == 'B') {
            Base64DecodeAppend(out, payload);
        } else if (letter == 'Q') {
            std::string q(payload);
            for (char& c : q) {
                if (c == '_')
                    c = ' ';
            }
            out += QPDecode(q);
        } else {
            out.append(value.substr(p, end + 2 - p));
        }
        pos = end + 2;
    }
}

std::string DecodeWords(std::string_view value, std::string_view prefix) {
    std::string out;
    DecodeWordsTo(out, value, prefix);
    return out;
}

}  // namespace

std::string DecodeHeaderWords(std::string_view value) {
    std::string out;
    DecodeHeaderWordsTo(out, value);
    return out;
}

void DecodeHeaderWordsTo(std::string& out, std::string_view value) {
    const bool iso = FindNoCase(value, kIsoPrefix, 0) != std::string_view::npos;
    const bool sjis = !iso && FindNoCase(value, kSjisPrefix, 0) != std::string_view::npos;
    DecodeWordsTo(out, value, sjis ? kSjisPrefix : kIsoPrefix);
}

std::string DecodeSjisHeaderWords(std::string_view value) {
    return DecodeWords(value, kSjisPrefix);
}

std::string EncodeJisWord(std::string outputSoFar, std::string_view run) {
    size_t lf = outputSoFar.rfind('\n');
    size_t line_len = lf == std::string::npos ? outputSoFar.size() : outputSoFar.size() - lf - 1;
    if (line_len > 54) {
        outputSoFar += "\n ";
        line_len = 0;
    }
    while (!run.empty()) {
        outputSoFar += "=?ISO-2022-JP?B?";
        int budget = Base64BytesFor(58 - static_cast<int>(line_len));
        size_t n = budget < 1 ? 1 : static_cast<size_t>(budget);
        if (n > run.size())
            n = run.size();
        outputSoFar += Base64Encode(run.substr(0, n));
        outputSoFar += "?=";
        run.remove_prefix(n);
        if (!run.empty())
            outputSoFar += "\n ";
        line_len = 0;
    }
    return outputSoFar;
}

std::string EncodeHeaderWords(std::string_view line) {
    static constexpr std::string_view kKanjiIn = "\x1B$B";
    static constexpr std::string_view kKanjiOut = "\x1B(J";
    std::string out;
    out.reserve(line.size() * 2);
    while (!line.empty()) {
        size_t in = line.find(kKanjiIn);
        if (in == std::string_view::npos) {
            out.append(line);
            break;
        }
        out.append(line.substr(0, in));
        line.remove_prefix(in);
        size_t close = line.find(kKanjiOut, kKanjiIn.size());
        if (close == std::string_view::npos) {
            out = EncodeJisWord(std::move(out), line);
            break;
        }
        out = EncodeJisWord(std::move(out), line.substr(0, close + kKanjiOut.size()));
        line.remove_prefix(close + kKanjiOut.size());
    }
    return out;
}

}  // namespace pelorin
