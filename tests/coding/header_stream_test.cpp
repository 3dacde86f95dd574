// A header value read in blocks must read exactly as the whole value does.
#include "coding/header_stream.h"

#include "coding/base64.h"
#include "coding/header_words.h"
#include "coding/jis.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

namespace pelorin {
namespace {

// The whole value at once, as the decode-header filter read it before it streamed.
std::string Whole(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return JisToSjis(Unfold(DecodeHeaderWords(text)));
}

// Fed in pieces of the given sizes (cycled), looking for a cut every `block` bytes.
std::string Streamed(std::string_view text,
                     size_t block,
                     const std::vector<size_t>& pieces,
                     size_t* maxHeld = nullptr) {
    HeaderValueStream stream(block);
    std::string out;
    for (size_t i = 0, k = 0; i < text.size(); ++k) {
        const size_t n = std::min(pieces[k % pieces.size()], text.size() - i);
        stream.Feed(text.substr(i, n), out);
        i += n;
        if (maxHeld)
            *maxHeld = std::max(*maxHeld, stream.Held());
    }
    stream.Finish(out);
    return out;
}

std::string Escaped(std::string_view s) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : s) {
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out += static_cast<char>(c);
        } else {
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

// Values built from the pieces every rule of the reader turns on: words of each kind, whole
// and broken, folds of both kinds, JIS escapes and SO/SI, CRs, Shift_JIS and UTF-8 bytes.
std::string RandomValue(std::mt19937& rng) {
    static const std::vector<std::string> kPieces = {
        "=?ISO-2022-JP?B?",
        "=?iso-2022-jp?q?",
        "=?UTF-8?B?",
        "=?utf-8?Q?",
        "=?ISO-8859-1?Q?caf=E9?=",
        "=?SHIFT_JIS?B?k/qWew==?=",
        "=?X-UNKNOWN?B?QUI=?=",
        "=?ISO-2022-JP?X?abc?=",
        "=?ISO-2022-JP?B?" + Base64Encode("\x1B$B%F%9%H\x1B(B") + "?=",
        "=?ISO-2022-JP?B?" + Base64Encode("\x1B$B%F") + "?=",
        "=?UTF-8?B?" + Base64Encode("\xE3\x83\x86") + "?=",
        "=?UTF-8?B?" + Base64Encode("\xE3") + "?=",
        "?=",
        "=?",
        "?",
        "=",
        "_",
        "=41",
        "GyRC",
        "QUI=",
        "\n",
        "\n",
        "\n",
        "\n ",
        "\n\t",
        "\n  ",
        "\n\t\t",
        "\n \t",
        "\n\n",
        "\nL",
        "\nM",
        "\nN",
        " ",
        "\t",
        "\r",
        "\r\n",
        "\x1B$B",
        "\x1B(B",
        "\x1B(J",
        "\x1B(I",
        "\x1B",
        "$B",
        "%F%9",
        "\x0E",
        "\x0F",
        "\x93\xfa\x96\x7b",
        "\x81",
        "\xE3\x83\x86",
        "abc",
        "Subject: ",
        "x",
        "From: a@b.c",
    };
    std::uniform_int_distribution<size_t> piece(0, kPieces.size() - 1);
    std::uniform_int_distribution<int> length(0, 60);
    std::string value;
    for (int n = length(rng); n > 0; --n) value += kPieces[piece(rng)];
    return value;
}

TEST(HeaderValueStream, ReadsHostileValuesAsTheWholeValueReads) {
    std::mt19937 rng(20261208);
    std::uniform_int_distribution<size_t> small(1, 40);
    for (int round = 0; round < 4000; ++round) {
        // Several values in a row, so cuts fall between and inside them.
        std::string text;
        for (int k = 0; k < 4; ++k) text += RandomValue(rng);
        const std::string expected = Whole(text);
        for (size_t block : {size_t{1}, size_t{7}, size_t{64}}) {
            const std::vector<size_t> pieces = {small(rng), small(rng), small(rng)};
            ASSERT_EQ(Streamed(text, block, pieces), expected)
                << "value: " << Escaped(text) << "\nblock " << block << ", pieces " << pieces[0]
                << "," << pieces[1] << "," << pieces[2];
        }
    }
}

TEST(HeaderValueStream, EdgeValues) {
    const std::vector<std::string> values = {
        "",
        "\n\n\r\n",
        "a\n\n",
        // A fold in the first piece of a stretch: the second piece keeps its own.
        "a\n b\nc\nd\n e\nf\n\tg\nh\n\ti",
        // The same stretch's space fold only after the cut, its TAB fold before it; later
        // folds (blanks after them show whether the fold or Unfold took them) stay.
        "a\n\t b\nc\nd\n  e\nx\n  f\ny\n\t\tg",
        "a\n  b\nc\n\t\td\nx\n\t\te\ny\n  f",
        // LF + space + TAB: a TAB fold forms where the space fold goes.
        "a\n\n \tb\nc\n\t\td",
        // A word whose end comes many lines later.
        "=?ISO-2022-JP?B?QU\nx\ny\nz?=\nw",
        // JIS left in kanji over many lines, closed at the end.
        "\x1B$B%F\nx\ny\n%9\x1B(B\nz",
        // SO never closed.
        "a\x0E\nbc\nde\nf",
        // Text "=?" that turns out not to be a word, and one that does.
        "a=?b\nc\nd=?UTF-8\nQ?x?=\ne\n=?UTF-8?Q?x?=\nf",
        // White space between two UTF-8 words is dropped, across lines too.
        "=?UTF-8?Q?a?=\n=?UTF-8?Q?b?=\n=?UTF-8?Q?c?=\nd",
    };
    for (const std::string& v : values) {
        for (size_t block : {size_t{1}, size_t{2}, size_t{5}}) {
            for (size_t piece : {size_t{1}, size_t{3}, v.size() + 1}) {
                EXPECT_EQ(Streamed(v, block, {piece}), Whole(v))
                    << Escaped(v) << " block " << block << " piece " << piece;
            }
        }
    }
}

TEST(HeaderValueStream, HoldsAboutABlockOfAMessageFile) {
    // A message file's worth of JIS mail: headers with folded words, bodies in kanji and
    // indented lines.
    std::string text;
    const std::string subject = Base64Encode("\x1B$B%F%9%H\x1B(B");
    for (int m = 0; m < 4000; ++m) {
        text += "From: a@b.c\nSubject: =?ISO-2022-JP?B?" + subject + "?=\n =?ISO-2022-JP?B?" +
                subject + "?=\nMessage-ID: <" + std::to_string(m) + "@b.c>\n\n";
        text += "\x1B$B$3$s$K$A$O\x1B(B\n  indented\n\tand tabbed\n=?not a word\n\n";
    }
    size_t maxHeld = 0;
    EXPECT_EQ(Streamed(text, 4096, {1000}, &maxHeld), Whole(text));
    EXPECT_LT(maxHeld, 3 * 4096u);
}

}  // namespace
}  // namespace pelorin
