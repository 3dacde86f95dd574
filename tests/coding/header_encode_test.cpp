// Writing ISO-2022-JP header lines, read back the way a reader that follows RFC 2047 reads
// them: folds removed, white space between adjacent encoded words dropped, and every word
// decoded by itself.
#include "support/testing.h"

#include "coding/base64.h"
#include "coding/cp932.h"
#include "coding/header_words.h"
#include "coding/jis.h"

#include <gtest/gtest.h>
#include <optional>
#include <vector>

namespace pelorin {
namespace {

using testing::S;

std::string Encode(std::string_view utf8Line) {
    return EncodeHeaderWords(SjisToJis(S(utf8Line)));
}

// The JIS bytes of one word, or nullopt when `word` is none.
std::optional<std::string> WordBytes(std::string_view word) {
    constexpr std::string_view kPrefix = "=?ISO-2022-JP?B?";
    if (word.size() < kPrefix.size() + 2 || word.substr(0, kPrefix.size()) != kPrefix ||
        word.substr(word.size() - 2) != "?=")
        return std::nullopt;
    return Base64Decode(word.substr(kPrefix.size(), word.size() - kPrefix.size() - 2));
}

// Whether JIS bytes start in ASCII, end in ASCII (ESC ( B) and hold only whole characters.
bool SelfContained(std::string_view jis) {
    bool kanji = false;
    for (size_t i = 0; i < jis.size();) {
        if (jis[i] == '\x1B') {
            if (jis.substr(i, 3) == "\x1B$B")
                kanji = true;
            else if (jis.substr(i, 3) == "\x1B(B")
                kanji = false;
            else
                return false;
            i += 3;
        } else if (kanji) {
            if (i + 1 >= jis.size() || jis[i + 1] == '\x1B')
                return false;
            i += 2;
        } else {
            ++i;
        }
    }
    return !kanji;
}

struct Reading {
    std::string text;                // UTF-8
    std::vector<std::string> words;  // each word's JIS bytes
    std::vector<std::string> lines;  // the folded lines as written
};

// An RFC 2047 reader of one header line.
Reading Read(std::string_view encoded) {
    Reading r;
    std::string unfolded;
    size_t start = 0;
    while (true) {
        size_t lf = encoded.find('\n', start);
        r.lines.emplace_back(encoded.substr(start, lf == std::string_view::npos ? lf : lf - start));
        if (lf == std::string_view::npos)
            break;
        start = lf + 1;
    }
    for (const std::string& line : r.lines) unfolded += line;
    // Tokens: runs of blanks and runs of other characters; a token that is an encoded word is
    // decoded alone, blanks between two encoded words vanish.
    std::string plain;  // Shift_JIS text waiting
    bool lastWasWord = false;
    std::string blanks;
    size_t i = 0;
    while (i < unfolded.size()) {
        size_t j = i;
        const bool blank = unfolded[i] == ' ' || unfolded[i] == '\t';
        while (j < unfolded.size() && (unfolded[j] == ' ' || unfolded[j] == '\t') == blank) ++j;
        std::string token = unfolded.substr(i, j - i);
        i = j;
        if (blank) {
            blanks += token;
            continue;
        }
        // An encoded word may stand between parentheses in a comment.
        std::string open, close;
        while (!token.empty() && token.front() == '(') {
            open += '(';
            token.erase(0, 1);
        }
        while (!token.empty() &&
               (token.back() == ')' || token.back() == ',' || token.back() == ':')) {
            close.insert(close.begin(), token.back());
            token.pop_back();
        }
        std::optional<std::string> bytes = WordBytes(token);
        if (bytes && !(lastWasWord && open.empty()))
            r.text += blanks;
        else if (!bytes)
            r.text += blanks;
        blanks.clear();
        r.text += open;
        if (bytes) {
            r.words.push_back(*bytes);
            r.text += cp932::ToUtf8(JisToSjis(*bytes));
        } else {
            r.text += token;
        }
        r.text += close;
        lastWasWord = bytes.has_value() && close.empty();
    }
    r.text += blanks;
    return r;
}

void ExpectWellFormed(const Reading& r) {
    for (size_t n = 0; n < r.lines.size(); ++n) {
        EXPECT_LE(r.lines[n].size(), 76u) << r.lines[n];
        if (n > 0) {
            ASSERT_FALSE(r.lines[n].empty());
            EXPECT_TRUE(r.lines[n][0] == ' ' || r.lines[n][0] == '\t') << r.lines[n];
        }
    }
    for (const std::string& w : r.words) {
        EXPECT_TRUE(SelfContained(w)) << testing::Hex(w);
        EXPECT_LE(w.size(), 75u);
        std::size_t bad = 0;
        cp932::ToUtf8(JisToSjis(w), &bad);
        EXPECT_EQ(bad, 0u) << testing::Hex(w);
    }
}

TEST(EncodeHeaderWords, EachWordHoldsWholeCharactersAndEndsInAscii) {
    for (const char* line : {
             "Subject: 三通目 拒否される",
             "Subject: テスト",
             "Subject: Re: 会議の件 (再送) について",
             "Subject: [pelorin:00123] ABCあいう123えお XYZ",
             "Subject: 全角　空白と半角 空白",
         }) {
        const std::string encoded = Encode(line);
        const Reading r = Read(encoded);
        SCOPED_TRACE(encoded);
        ExpectWellFormed(r);
        EXPECT_EQ(r.text, line);
        EXPECT_FALSE(r.words.empty());
    }
    EXPECT_EQ(Encode("Subject: テスト"),
              "Subject: =?ISO-2022-JP?B?" + Base64Encode("\x1B$B%F%9%H\x1B(B") + "?=");
}

TEST(EncodeHeaderWords, BlankBetweenJapaneseWordsIsInsideAWord) {
    const std::string encoded = Encode("To: 山田 太郎 <taro@example.jp>");
    const std::string yamada = SjisToJis(S("山田")).substr(3, 4);
    const std::string taro = SjisToJis(S("太郎")).substr(3, 4);
    EXPECT_EQ(encoded, "To: =?ISO-2022-JP?B?" +
                           Base64Encode("\x1B$B" + yamada + "\x1B(B \x1B$B" + taro + "\x1B(B") +
                           "?= <taro@example.jp>");
    EXPECT_EQ(Read(encoded).text, "To: 山田 太郎 <taro@example.jp>");
    EXPECT_EQ(Read(Encode("Subject: 三通目 拒否される")).words.size(), 1u);
}

TEST(EncodeHeaderWords, LongSubjectsFoldBetweenWordsWithinTheLineLimit) {
    const std::string subject =
        "Subject: これはとても長い件名なので、いくつかの語に分けて折り返されるはずです。"
        "さらに続けて、もっと長くしてみます ABC def 最後";
    const std::string encoded = Encode(subject);
    const Reading r = Read(encoded);
    ExpectWellFormed(r);
    EXPECT_GT(r.lines.size(), 2u);
    EXPECT_EQ(r.text, subject);
    // This program's own reader joins the folds as well.
    EXPECT_EQ(cp932::ToUtf8(JisToSjis(Unfold(DecodeHeaderWords(encoded)))), subject);
    // A long field name leaves the first word little room; it starts on the next line.
    const std::string longName = "X-" + std::string(70, 'N') + ": 漢字";
    const Reading named = Read(Encode(longName));
    ExpectWellFormed(named);
    EXPECT_EQ(named.lines.size(), 2u);
    EXPECT_EQ(named.text, longName);
}

TEST(EncodeHeaderWords, MixedAsciiAndHalfWidthKana) {
    // Half-width katakana has no place in ISO-2022-JP: it is written in its full-width form.
    // (A voiced-sound mark stays a character of its own.)
    EXPECT_EQ(Read(Encode("Subject: ﾃｽﾄ ｶﾞｲﾄﾞ")).text, "Subject: テスト カ゛イト゛");
    const Reading mixed = Read(Encode("Subject: abcｱｲｳdef 漢字xyz"));
    ExpectWellFormed(mixed);
    EXPECT_EQ(mixed.text, "Subject: abcアイウdef 漢字xyz");
    // ASCII words between Japanese ones stay plain when the line is short.
    const std::string plain = Encode("X: 前 middle 後");
    EXPECT_NE(plain.find("?= middle =?"), std::string::npos) << plain;
    // A line without Japanese text is unchanged, even a long one.
    const std::string ascii = "Subject: " + std::string(100, 'a');
    EXPECT_EQ(EncodeHeaderWords(ascii), ascii);
    EXPECT_EQ(EncodeHeaderWords(""), "");
}

TEST(EncodeHeaderWords, AddressFieldsEncodeNamesAndCommentsOnly) {
    struct Row {
        const char* line;
        const char* read;  // as an RFC 2047 reader shows it
    } rows[] = {
        {"To: 山田 太郎 <taro@example.jp>, 鈴木 <suzuki@example.jp>",
         "To: 山田 太郎 <taro@example.jp>, 鈴木 <suzuki@example.jp>"},
        // Quotes come off a Japanese name: words inside quotes are not decoded.
        {"From: \"山田, 太郎\" <taro@example.jp>", "From: 山田, 太郎 <taro@example.jp>"},
        {"Cc: taro@example.jp (山田 太郎)", "Cc: taro@example.jp (山田 太郎)"},
        {"To: チーム: a@example.jp, b@example.jp;", "To: チーム: a@example.jp, b@example.jp;"},
        {"Reply-To: \"plain name\" <p@example.jp>", "Reply-To: \"plain name\" <p@example.jp>"},
        // An encoded name is never glued to its "<".
        {"To: 山田<yamada@example.jp>", "To: 山田 <yamada@example.jp>"},
    };
    for (const Row& row : rows) {
        const std::string encoded = Encode(row.line);
        SCOPED_TRACE(encoded);
        const Reading r = Read(encoded);
        ExpectWellFormed(r);
        EXPECT_EQ(r.text, row.read);
        // Addresses and specials are never inside a word.
        for (const std::string& w : r.words) {
            const std::string text = cp932::ToUtf8(JisToSjis(w));
            EXPECT_EQ(text.find('@'), std::string::npos) << text;
            EXPECT_EQ(text.find('<'), std::string::npos) << text;
        }
    }
    // Many recipients fold at the blanks between them.
    std::string many = "To:";
    for (int i = 0; i < 8; ++i)
        many += " 宛先" + std::to_string(i) + " <user" + std::to_string(i) + "@example.jp>,";
    many.pop_back();
    const Reading r = Read(Encode(many));
    ExpectWellFormed(r);
    EXPECT_EQ(r.text, many);
}

TEST(EncodeUtf8HeaderLine, SameRulesWithUtf8Words) {
    const std::string subject =
        "Subject: Über 🎉 und noch viel mehr Text, der über die Zeile "
        "hinausgeht: Ünïcödé ümläüts ëvërywhërë";
    const std::string encoded = EncodeUtf8HeaderLine(subject);
    EXPECT_NE(encoded.find('\n'), std::string::npos);
    for (const std::string& line : Read(encoded).lines) EXPECT_LE(line.size(), 76u) << line;
    EXPECT_EQ(DecodeHeaderUtf8(encoded), subject);
    EXPECT_EQ(DecodeHeaderUtf8(EncodeUtf8HeaderLine("To: \"Yılmaz, Ünal\" <u@example.tr>")),
              "To: Yılmaz, Ünal <u@example.tr>");
    EXPECT_EQ(EncodeUtf8HeaderLine("To: u@example.tr (Ünal)").substr(0, 21),
              "To: u@example.tr (=?U");
    EXPECT_EQ(EncodeUtf8HeaderLine("Subject: plain"), "Subject: plain");
}

TEST(EncodeHeaderWords, BrokenJisStillGivesWholeWords) {
    // A run without its closing escape, and a lone byte left in a run.
    for (std::string line : {std::string("X: \x1B$B%F"), std::string("X: \x1B$B%F%"),
                             std::string("X: \x1B$B%F\x1B$B%9\x1B(J!")}) {
        const Reading r = Read(EncodeHeaderWords(line));
        ExpectWellFormed(r);
        EXPECT_EQ(r.text.substr(0, 6), "X: テ") << testing::Hex(line);
    }
    // A closing escape without an opening one is plain text.
    EXPECT_EQ(EncodeHeaderWords("X: a\x1B(Jb"), "X: a\x1B(Jb");
}

}  // namespace
}  // namespace pelorin
