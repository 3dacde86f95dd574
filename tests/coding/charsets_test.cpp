// Messages in today's charsets, read from the corpus in tests/data/coding/charsets: header
// words into Shift_JIS ("〓" where CP932 has no character) and into UTF-8, text bodies in their
// declared (or detected) charset through every transfer encoding, HTML made readable,
// multipart/alternative, RFC 2231 file names and flowed text. Every expected text is written
// here by hand.
#include "support/testing.h"

#include "coding/charset.h"
#include "coding/cp932.h"
#include "coding/header_words.h"
#include "coding/jis.h"
#include "coding/mime.h"
#include "coding/readable_text.h"
#include "store/strutil.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace pelorin {
namespace {

using testing::DataDir;
using testing::ReadFile;
using testing::S;
using testing::TempDir;

using Lines = std::vector<std::string>;

Lines MessageLines(const std::string& name) {
    const std::string text = ReadFile(DataDir() / "coding" / "charsets" / name);
    Lines lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t lf = text.find('\n', pos);
        if (lf == std::string::npos)
            lf = text.size();
        lines.push_back(text.substr(pos, lf - pos));
        pos = lf + 1;
    }
    return lines;
}

// The value of a header field with its continuation lines (folds kept as LF + blank).
std::string Field(const Lines& lines, std::string_view name) {
    for (std::size_t i = 0; i < lines.size() && !lines[i].empty(); ++i) {
        if (lines[i].rfind(std::string(name) + ": ", 0) != 0)
            continue;
        std::string value = lines[i].substr(name.size() + 2);
        for (std::size_t j = i + 1;
             j < lines.size() && !lines[j].empty() && (lines[j][0] == ' ' || lines[j][0] == '\t');
             ++j)
            value += "\n" + lines[j];
        return value;
    }
    return {};
}

// The header value as the core holds it (Shift_JIS) and as UTF-8.
std::string SjisValue(const std::string& value) {
    return JisToSjis(Unfold(DecodeHeaderWords(value)));
}

// A parsed message whose leaves have been decoded as the text pane decodes them.
struct Parsed {
    TMIMEc mime;
    std::vector<TMIMEPart*> leaves;
    explicit Parsed(const std::string& name) {
        mime.Parse(MessageLines(name));
        leaves = mime.Root.Leaves();
        for (TMIMEPart* leaf : leaves) leaf->DecodeText();
    }
    // Leaf i's lines in UTF-8: its Unicode lines, or its Shift_JIS lines converted.
    Lines Utf8(std::size_t i = 0) const {
        const TMIMEPart& p = *leaves.at(i);
        if (!p.Text.empty())
            return p.Text;
        Lines out;
        for (const std::string& line : p.Body) out.push_back(cp932::ToUtf8(line));
        return out;
    }
};

TEST(CharsetHeaders, WordsInEveryCharsetDecode) {
    struct Case {
        const char* file;
        const char* utf8;  // the Subject as UTF-8
        const char* sjis;  // the Subject in core text, as UTF-8 for readability
    };
    const Case cases[] = {
        {"utf8_8bit.eml", "Grüße aus 東京 🎉", "Gr〓〓e aus 東京 〓"},
        {"utf8_qp.eml", "Köln und 東京", "K〓ln und 東京"},
        {"euc_jp.eml", "会議の案内", "会議の案内"},
        {"latin1.eml", "Café déjà vu", "Caf〓 d〓j〓 vu"},
        {"latin9.eml", "Prix en €", "Prix en 〓"},
        {"cp1252.eml", "“Quoted” – text", "“Quoted” 〓 text"},
        {"gb2312.eml", "简体中文", "〓体中文"},
        {"big5.eml", "繁體中文", "繁體中文"},
        {"euc_kr.eml", "안녕하세요", "〓〓〓〓〓"},
        {"koi8r.eml", "Привет", "Привет"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string subject = Field(MessageLines(c.file), "Subject");
        EXPECT_EQ(DecodeHeaderUtf8(subject), c.utf8);
        EXPECT_EQ(SjisValue(subject), cp932::FromUtf8(c.sjis));
    }
    const std::string from = Field(MessageLines("utf8_8bit.eml"), "From");
    EXPECT_EQ(DecodeHeaderUtf8(from), "Müller <mueller@example.org>");
}

TEST(CharsetHeaders, MixedWordsJoinAndUnknownCharsetsStay) {
    // JIS, UTF-8 and Latin-1 words in one folded header; a charset iconv does not know stays.
    const std::string subject = Field(MessageLines("mixed_words.eml"), "Subject");
    // Blanks between encoded words go (RFC 2047), so "café" joins the word before it.
    EXPECT_EQ(DecodeHeaderUtf8(subject), "日本語と한국어café =?X-UNKNOWN?B?QUJD?=");
    EXPECT_EQ(SjisValue(subject),
              S("日本語と") + cp932::FromUtf8("〓〓〓caf〓") + " =?X-UNKNOWN?B?QUJD?=");
    // A UTF-8 character cut between two words is whole again; blanks between words go.
    EXPECT_EQ(DecodeHeaderUtf8("=?UTF-8?B?5p2x?=  =?UTF-8?Q?=E4=BA?=\n =?UTF-8?Q?=AC?="), "東京");
    // A broken word shows U+FFFD (〓 in core text) and what follows stays.
    EXPECT_EQ(DecodeHeaderUtf8("=?UTF-8?Q?a=FFb?= rest"),
              "a\xEF\xBF\xBD"
              "b rest");
    EXPECT_EQ(SjisValue("=?UTF-8?Q?a=FFb?= rest"), S("a〓b rest"));
    // "=?" in plain text is no word; a JIS word left open does not swallow a UTF-8 word.
    EXPECT_EQ(SjisValue("1 =? 2"), "1 =? 2");
    EXPECT_EQ(SjisValue("=?ISO-2022-JP?B?GyRCRnw=?= =?UTF-8?B?5pys?="), S("日本"));
}

TEST(CharsetBodies, DeclaredCharsetsInEveryTransferEncoding) {
    struct Case {
        const char* file;
        Lines utf8;
    };
    const Case cases[] = {
        {"utf8_8bit.eml", {"こんにちは、世界。", "Grüße, 한국어, 🎉 und ü."}},
        {"utf8_qp.eml",
         {"Überall schöne Grüße aus Köln, dieser Satz ist lang genug für einen weichen "
          "Zeilenumbruch.",
          "日本語も少し。"}},
        {"utf8_base64.eml", {"ラーメン🍜とカレー\r", "Привет\r"}},
        {"euc_jp.eml", {"来週の会議は第二会議室で行います。"}},
        {"latin1.eml", {"Ça coûte 5 EUR? Non, 5 £ et ½ oeuf."}},
        {"latin9.eml", {"Le prix: 10 € pour une œuvre."}},
        {"cp1252.eml", {"“Smart” quotes – and € in Windows-1252."}},
        {"gb2312.eml", {"这是简体中文的邮件。"}},
        {"big5.eml", {"這是繁體中文的郵件。"}},
        {"euc_kr.eml", {"한국어 텍스트입니다."}},
        {"koi8r.eml", {"Привет, мир!"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const Parsed m(c.file);
        ASSERT_EQ(m.leaves.size(), 1u);
        EXPECT_EQ(m.Utf8(), c.utf8);
        // The core's lines are the same text in Shift_JIS.
        ASSERT_EQ(m.leaves[0]->Body.size(), c.utf8.size());
        for (std::size_t i = 0; i < c.utf8.size(); ++i)
            EXPECT_EQ(m.leaves[0]->Body[i], Utf8ToSjisText(c.utf8[i]));
    }
    EXPECT_EQ(Parsed("utf8_8bit.eml").leaves[0]->Body[1],
              cp932::FromUtf8("Gr〓〓e, 〓〓〓, 〓 und 〓."));
}

TEST(CharsetBodies, UndeclaredAndLyingCharsetsAreDetected) {
    EXPECT_EQ(Parsed("undeclared_utf8.eml").Utf8(), Lines{"宣言のないUTF-8の本文です。😀"});
    EXPECT_EQ(Parsed("undeclared_eucjp.eml").Utf8(),
              Lines{"宣言のないEUC-JPの本文です。このメッセージには文字コードの指定がありません。"
                    "日本語の文章を検出します。"});
    EXPECT_EQ(Parsed("lying_ascii.eml").Utf8(), Lines{"実はUTF-8です。ü"});
    EXPECT_EQ(Parsed("lying_utf8.eml").Utf8(),
              Lines{"本当はEUC-JPで書かれた日本語の文章です。文字コードの宣言が間違っています。"});
    // Undeclared Shift_JIS is read as it always was: its bytes stay, no Unicode lines.
    TMIMEc sjis;
    sjis.Parse({"Subject: s", "", S("シフトJISの本文")});
    EXPECT_TRUE(sjis.Root.Text.empty());
    EXPECT_EQ(sjis.Root.Body, Lines{S("シフトJISの本文")});
}

TEST(CharsetBodies, BrokenBytesShowWhereTheyAreAndCutNothing) {
    const Parsed m("broken_utf8.eml");
    EXPECT_EQ(m.Utf8(), (Lines{"before \xEF\xBF\xBD after\xEF\xBF\xBD end", "next line あ"}));
    EXPECT_EQ(m.leaves[0]->Body[0], S("before 〓 after〓 end"));
}

TEST(CharsetHtml, HtmlOnlyMessageReadsAsText) {
    const Parsed m("html_only.eml");
    EXPECT_EQ(m.Utf8(), (Lines{
                            "Hello & welcome, <friend> été 😀",
                            "",
                            "Line one",
                            "Line two",
                            "",
                            "・ first",
                            "・ second",
                            "",
                            "See our page <https://example.com/page> for more.",
                            "",
                            "日本語の段落",
                        }));
    // Quoting and searching read the same text.
    ReadableText readable;
    ASSERT_TRUE(ReadableBody(MessageLines("html_only.eml"), readable));
    EXPECT_EQ(readable.utf8, m.Utf8());
    EXPECT_EQ(readable.sjis.back(), S("日本語の段落"));
}

TEST(CharsetHtml, AlternativeShowsThePlainText) {
    const Parsed m("alternative.eml");
    ASSERT_EQ(m.leaves.size(), 2u);
    EXPECT_EQ(m.Utf8(0), Lines{"Plain ü text"});
    EXPECT_EQ(m.Utf8(1), Lines{"HTML ü text"});
    ReadableText readable;
    ASSERT_TRUE(ReadableBody(MessageLines("alternative.eml"), readable));
    EXPECT_EQ(readable.utf8, Lines{"Plain ü text"});
    // ISO-2022-JP mail keeps its old reading.
    EXPECT_FALSE(ReadableBody(
        {"Subject: x", "Content-Type: text/plain; charset=ISO-2022-JP", "", SjisToJis(S("本文"))},
        readable));
}

TEST(CharsetNames, Rfc2231AndEncodedWordsKeepTheirCharacters) {
    const Parsed m("rfc2231.eml");
    ASSERT_EQ(m.leaves.size(), 5u);
    EXPECT_EQ(m.leaves[1]->FileNameUtf8, "報告書 📄.txt");
    EXPECT_EQ(m.leaves[1]->FileName, S("報告書 〓.txt"));
    EXPECT_EQ(m.leaves[2]->FileNameUtf8, "résumé.txt");
    // The disposition's name, its path cut off by the safe writer.
    EXPECT_EQ(m.leaves[3]->FileName, "../../evil.txt");
    EXPECT_EQ(m.leaves[3]->DiskFileName(), "evil.txt");
    // The type's name= (an encoded word) is kept before the disposition's.
    EXPECT_EQ(m.leaves[4]->FileNameUtf8, "한국어.txt");

    TempDir dir;
    const std::string target = dir.path().string() + "/";
    for (std::size_t i = 1; i < m.leaves.size(); ++i)
        EXPECT_EQ(m.leaves[i]->SaveBase64(target), MimeSaveResult::Written) << i;
    for (const char* name : {"報告書 📄.txt", "résumé.txt", "evil.txt", "한국어.txt"})
        EXPECT_EQ(ReadFile(dir / name), "ABC") << name;
    EXPECT_FALSE(std::filesystem::exists(dir.path().parent_path() / "evil.txt"));
}

TEST(CharsetFlowed, SoftBreaksJoinAndQuotesKeepTheirDepth) {
    EXPECT_EQ(Parsed("flowed.eml").Utf8(), (Lines{
                                               "This paragraph is wrapped by the sender.",
                                               "> quoted text goes on",
                                               ">> deeper still",
                                               "From stuffed",
                                               "-- ",
                                               "sig",
                                           }));
}

TEST(CharsetNames, EndlessSpellingsOfOneCharsetKeepNoMoreConverters) {
    // iconv reads "ISO-8859-1//1", "ISO-8859-1//2", ... all as ISO-8859-1.
    for (int i = 0; i < 2000; ++i) {
        const std::string name = "ISO-8859-1//" + std::to_string(i);
        std::string out;
        ASSERT_TRUE(AppendUtf8(out, "caf\xE9", name)) << name;
        ASSERT_EQ(out, "café") << name;
        ASSERT_EQ(ClassifyCharset("X-NONE-" + std::to_string(i)), CharsetKind::Unknown);
    }
    EXPECT_LE(ConverterTableSize(), 256u);
}

TEST(CharsetNames, HostileRfc2231NamesComeOutSafe) {
    const auto name = [](const std::string& disposition) {
        TMIMEc mime;
        mime.Parse({"Mime-Version: 1.0", "Content-Type: application/octet-stream",
                    "Content-Transfer-Encoding: base64",
                    "Content-Disposition: attachment; " + disposition, "", "QUJD"});
        return mime.Root.DiskFileName();
    };
    EXPECT_EQ(name("filename*0*=UTF-8''..%2F..%2Fx.txt; filename*99999999*=zz"), "x.txt");
    EXPECT_EQ(name("filename*0*=UTF-8''a%00b.txt"), "");
    EXPECT_EQ(name("filename*0*=UTF-8''abc%; filename*2*=zz; filename*127=y"), "abc%");
    EXPECT_EQ(name("filename*1=a.txt"), "");
}

TEST(CharsetScan, LongLinesAreLookedAtOnce) {
    // Lines over 998 bytes name nothing; one of megabytes full of "charset=" and "text/html"
    // is passed over without being walked again for each of them.
    std::string huge;
    for (int i = 0; i < 200000; ++i) huge += "charset=utf-8 text/html ";
    EXPECT_FALSE(MayNeedParts("Subject: x\n" + huge + "\n\nbody\n"));
    EXPECT_TRUE(MayNeedParts(huge + "\nContent-Type: text/plain; charset=utf-8\n\nbody"));
    EXPECT_TRUE(MayNeedParts("Content-Type: text/html\n\n" + huge));
    EXPECT_FALSE(MayNeedParts("Content-Type: text/plain; charset=" + std::string(990, 'x')));
    EXPECT_TRUE(MayNeedParts("Content-Type: text/plain; charset=" + std::string(960, 'x')));
}

}  // namespace
}  // namespace pelorin
