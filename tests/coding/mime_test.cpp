// The MIME part tree: header forms, multipart nesting, show-headers mode, text decoding,
// attachments written to files, and the same messages with CR LF line ends.
#include "coding/mime.h"

#include "support/testing.h"

#include "coding/base64.h"
#include "coding/jis.h"
#include "coding/rot.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace pelorin {
namespace {

using testing::Hex;
using testing::ReadFile;
using testing::S;
using testing::TempDir;
using testing::U;
using testing::WriteFile;

// The lines of `text` (LF-separated; a final LF ends the last line). With `crlf`, every line
// gets a CR, as in a message stored with CR LF line ends.
std::vector<std::string> Lines(std::string_view text, bool crlf = false) {
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t lf = text.find('\n', pos);
        std::size_t end = lf == std::string_view::npos ? text.size() : lf;
        lines.emplace_back(text.substr(pos, end - pos));
        if (crlf)
            lines.back() += '\r';
        pos = end + 1;
    }
    return lines;
}

// The tree as compact text: type/subtype[body line count] for a leaf,
// type/subtype(children) for a multipart with children.
std::string Tree(const TMIMEPart& part) {
    std::string s = part.ContentType + "/" + part.SubType;
    if (part.Parts.empty())
        return s + "[" + std::to_string(part.Body.size()) + "]";
    s += "(";
    for (std::size_t i = 0; i < part.Parts.size(); ++i) s += (i ? " " : "") + Tree(*part.Parts[i]);
    return s + ")";
}

std::string Jis(std::string_view utf8) {
    return SjisToJis(S(utf8));
}

std::string EncodedWord(std::string_view utf8) {
    return "=?ISO-2022-JP?B?" + Base64Encode(Jis(utf8)) + "?=";
}

const std::string kMixed =
    "From: a@example.com\n"
    "MIME-Version: 1.0\n"
    "Content-Type: multipart/mixed; boundary=\"xyz\"\n"
    "\n"
    "preamble\n"
    "--xyz\n"
    "Content-Type: text/plain; charset=ISO-2022-JP\n"
    "\n"
    "first\n"
    "--xyz\n"
    "Content-Type: image/gif; name=\"dot.gif\"\n"
    "Content-Transfer-Encoding: base64\n"
    "\n"
    "R0lG\n"
    "--xyz--\n"
    "epilogue\n";

TEST(MimeTree, MessageWithoutMimeHeadersIsOnePlainLeaf) {
    TMIMEc mime;
    mime.Parse(Lines("Subject: hi\n\n" + Jis("日本語") + "\nabc\n"));
    ASSERT_EQ(mime.Root.LeafCount(), 1u);
    TMIMEPart* leaf = mime.Root.Leaf(0);
    ASSERT_EQ(leaf, &mime.Root);
    EXPECT_EQ(leaf->ContentType, "text");
    EXPECT_EQ(leaf->SubType, "plain");
    EXPECT_EQ(leaf->Encoding, "7bit");
    EXPECT_EQ(leaf->MimeVersion, "");
    EXPECT_EQ(leaf->Header, std::vector<std::string>{"Subject: hi"});
    EXPECT_EQ(leaf->Body, (std::vector<std::string>{S("日本語"), "abc"}));
    EXPECT_EQ(mime.Root.Leaf(1), nullptr);
}

TEST(MimeTree, MultipartWithPreambleAndEpilogue) {
    for (const char* quote : {"\"", ""}) {
        std::string text = kMixed;
        if (!*quote)
            text.replace(text.find("\"xyz\""), 5, "xyz");
        TMIMEc mime;
        mime.Parse(Lines(text));
        SCOPED_TRACE(quote);
        EXPECT_EQ(Tree(mime.Root), "multipart/mixed(text/plain[1] image/gif[1])");
        EXPECT_EQ(mime.Root.Boundary, "xyz");
        EXPECT_TRUE(mime.Root.Closed);
        EXPECT_EQ(mime.Root.Body, (std::vector<std::string>{"preamble", "epilogue"}));
        ASSERT_EQ(mime.Root.LeafCount(), 2u);
        EXPECT_EQ(mime.Root.Leaf(0)->Body, std::vector<std::string>{"first"});
        EXPECT_EQ(mime.Root.Leaf(0)->Charset, "ISO-2022-JP");
        EXPECT_EQ(mime.Root.Leaf(0)->MimeVersion, "1.0");  // inherited
        EXPECT_EQ(mime.Root.Leaf(1)->FileName, "dot.gif");
        EXPECT_EQ(mime.Root.Leaf(1)->Encoding, "base64");
        EXPECT_EQ(mime.Root.Leaf(1)->Header.size(), 2u);
        EXPECT_EQ(mime.Root.Leaf(2), nullptr);
    }
}

TEST(MimeTree, CrLfMessageSplitsLikeLf) {
    TMIMEc lf, crlf;
    lf.Parse(Lines(kMixed));
    crlf.Parse(Lines(kMixed, true));
    EXPECT_EQ(Tree(crlf.Root), Tree(lf.Root));
    EXPECT_EQ(crlf.Root.Boundary, "xyz");
    EXPECT_EQ(crlf.Root.MimeVersion, "1.0");
    EXPECT_EQ(crlf.Root.Leaf(1)->Encoding, "base64");
    EXPECT_EQ(crlf.Root.Leaf(1)->FileName, "dot.gif");
    // Header lines are kept as received; body lines keep their CR.
    EXPECT_EQ(crlf.Root.Header[0], "From: a@example.com\r");
    EXPECT_EQ(crlf.Root.Leaf(0)->Body, std::vector<std::string>{"first\r"});
}

TEST(MimeTree, DelimitersMatchWholeLinesOnly) {
    TMIMEc mime;
    mime.Parse(
        Lines("Content-Type: multipart/mixed; boundary=b\n\n"
              "--b\n\none\n--b \n--B\n--bb\n--b--x\n--b--\n"));
    EXPECT_EQ(Tree(mime.Root), "multipart/mixed(text/plain[5])");
    // A multipart whose delimiter never comes is a leaf holding its lines unchanged.
    mime.Parse(Lines("Content-Type: multipart/mixed; boundary=b\n\n--c\n\nx\n"));
    EXPECT_EQ(Tree(mime.Root), "multipart/mixed[3]");
    EXPECT_EQ(mime.Root.Body[0], "--c");
}

TEST(MimeTree, ContentTypeContinuationLines) {
    TMIMEc mime;
    mime.Parse(Lines("Content-Type: multipart/mixed;\n\tboundary=\"b\"\n\n--b\n\nx\n--b--\n"));
    EXPECT_EQ(mime.Root.Boundary, "b");
    EXPECT_EQ(Tree(mime.Root), "multipart/mixed(text/plain[1])");
    // Three lines, as some mailers write it: the boundary is on the last one.
    mime.Parse(
        Lines("Content-Type: multipart/related;\n\ttype=\"multipart/alternative\";\n"
              "  boundary=\"b\"\nContent-Transfer-Encoding: \n BASE64\n\n--b\n\nx\n--b--\n"));
    EXPECT_EQ(mime.Root.Boundary, "b");
    EXPECT_EQ(mime.Root.Params,
              (std::vector<std::string>{"type=\"multipart/alternative\"", "boundary=\"b\""}));
    EXPECT_EQ(mime.Root.LeafCount(), 1u);
    // Content-Transfer-Encoding may continue as well.
    EXPECT_EQ(mime.Root.Encoding, "base64");
}

TEST(MimeTree, HeaderForms) {
    TMIMEc mime;
    mime.Parse(Lines("content-TYPE: TEXT/PLAIN; CHARSET=ISO-2022-JP\n\nx\n"));
    EXPECT_EQ(mime.Root.ContentType, "text");
    EXPECT_EQ(mime.Root.SubType, "plain");
    EXPECT_EQ(mime.Root.Charset, "ISO-2022-JP");

    // No space after the colon: not recognised, the part stays text/plain.
    mime.Parse(Lines("Content-Type:image/gif\n\nx\n"));
    EXPECT_EQ(mime.Root.ContentType, "text");
    EXPECT_EQ(mime.Root.SubType, "plain");

    // Without "/": the whole value is the type and the subtype is empty (still plain text).
    mime.Parse(Lines("Content-Type: Text\nContent-Transfer-Encoding: Quoted-Printable\n\nx\n"));
    EXPECT_EQ(mime.Root.ContentType, "text");
    EXPECT_EQ(mime.Root.SubType, "");
    EXPECT_EQ(mime.Root.Encoding, "quoted-printable");

    // Parameters: trimmed, quotes removed, a ";" inside quotes kept, the last one wins, the
    // name decoded from encoded words to Shift_JIS.
    mime.Parse(Lines("Content-Type: application/octet-stream; name=\"a;b.bin\" ; NAME=\"" +
                     EncodedWord("資料") + ".doc\";boundary=\n\nx\n"));
    EXPECT_EQ(mime.Root.FileName, S("資料.doc"));
    EXPECT_EQ(mime.Root.Boundary, "");
    EXPECT_EQ(mime.Root.Params.size(), 3u);
    EXPECT_EQ(mime.Root.Params[0], "name=\"a;b.bin\"");
}

TEST(MimeTree, NestedAlternativeGivesLeavesInDocumentOrder) {
    const std::string text =
        "Content-Type: multipart/mixed; boundary=outer\n\n"
        "--outer\n"
        "Content-Type: multipart/alternative; boundary=inner\n\n"
        "--inner\n\nplain\n--inner\nContent-Type: text/html\n\n<p>html</p>\n--inner--\n"
        "--outer\nContent-Type: application/pdf; name=a.pdf\n\nJVBE\n"
        "--outer--\n";
    TMIMEc mime;
    mime.Parse(Lines(text));
    EXPECT_EQ(Tree(mime.Root),
              "multipart/mixed(multipart/alternative(text/plain[1] text/html[1]) "
              "application/pdf[1])");
    ASSERT_EQ(mime.Root.LeafCount(), 3u);
    std::vector<TMIMEPart*> leaves = mime.Root.Leaves();
    ASSERT_EQ(leaves.size(), 3u);
    for (std::size_t i = 0; i < leaves.size(); ++i) EXPECT_EQ(leaves[i], mime.Root.Leaf(i));
    EXPECT_EQ(leaves[1]->Body[0], "<p>html</p>");
    EXPECT_EQ(leaves[2]->FileName, "a.pdf");
    EXPECT_EQ(leaves[2]->Level(), 1);
    EXPECT_EQ(leaves[0]->Level(), 2);
}

TEST(MimeTree, NestingDepthIsBounded) {
    // Every part opens one more multipart; past the limit the rest stays one raw leaf.
    std::string text;
    for (int i = 0; i < 100; ++i)
        text += "Content-Type: multipart/mixed; boundary=b" + std::to_string(i) + "\n\n--b" +
                std::to_string(i) + "\n";
    text += "\nbottom\n";
    TMIMEc mime;
    mime.Parse(Lines(text));
    ASSERT_EQ(mime.Root.LeafCount(), 1u);
    TMIMEPart* leaf = mime.Root.Leaf(0);
    EXPECT_EQ(leaf->Level(), kMaxMimeLevel);
    EXPECT_EQ(leaf->ContentType, "multipart");
    EXPECT_EQ(leaf->Body.front(), "--b" + std::to_string(kMaxMimeLevel));
    EXPECT_EQ(leaf->Body.back(), "bottom");
}

TEST(MimeTree, ShowHeadersModeKeepsTheBodyWhole) {
    TMIMEc mime;
    mime.Root.ParseBody = false;
    mime.Parse(Lines(kMixed));
    EXPECT_FALSE(mime.Root.ParseBody);  // survives Parse
    ASSERT_EQ(mime.Root.LeafCount(), 1u);
    EXPECT_EQ(mime.Root.ContentType, "multipart");
    EXPECT_EQ(mime.Root.Body,
              (std::vector<std::string>{
                  "preamble", "--xyz", "Content-Type: text/plain; charset=ISO-2022-JP", "", "first",
                  "--xyz", "Content-Type: image/gif; name=\"dot.gif\"",
                  "Content-Transfer-Encoding: base64", "", "R0lG", "--xyz--", "epilogue"}));
}

TEST(MimeTree, DecodeAsHeaderNeedsMimeVersion) {
    const std::string body = "see " + EncodedWord("添付") + " here\n";
    const std::string word = "see " + EncodedWord("添付") + " here";
    for (bool showHeaders : {false, true}) {
        SCOPED_TRACE(showHeaders);
        TMIMEc mime(true);
        EXPECT_TRUE(mime.Root.DecodeAsHeader);
        mime.Root.ParseBody = !showHeaders;
        mime.Parse(Lines("MIME-Version: 1.0\n\n" + body));
        EXPECT_EQ(U(mime.Root.Body[0]), "see 添付 here");
        mime.Parse(Lines("Subject: x\n\n" + body));
        EXPECT_EQ(mime.Root.Body[0], word);
        mime.Root.DecodeAsHeader = false;
        mime.Parse(Lines("MIME-Version: 1.0\n\n" + body));
        EXPECT_EQ(mime.Root.Body[0], word);
    }
    // In a multipart the parts inherit both the MIME-Version and the switch.
    TMIMEc mime(true);
    mime.Parse(Lines("MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=b\n\n--b\n\n" +
                     body + "--b--\n"));
    EXPECT_EQ(U(mime.Root.Leaf(0)->Body[0]), "see 添付 here");
}

TEST(MimeTree, OnlyPlainTextIsConverted) {
    const std::string jis = Jis("本文");
    TMIMEc mime;
    mime.Parse(Lines("Content-Type: text/html\n\n" + jis + "\n"));
    EXPECT_EQ(mime.Root.Body[0], jis);
    mime.Parse(Lines("Content-Type: text/plain\n\n" + jis + "\n"));
    EXPECT_EQ(mime.Root.Body[0], S("本文"));
}

TEST(MimeTree, ResetForgetsThePreviousMessage) {
    TMIMEc mime;
    mime.Parse(Lines(kMixed));
    // A message whose header never ends: nothing of the previous one survives.
    mime.Parse(Lines("Content-Type: image/gif; name=x.gif\nContent-Transfer-Encoding: base64\n"));
    EXPECT_TRUE(mime.Root.InHeader);
    EXPECT_TRUE(mime.Root.Body.empty());
    EXPECT_TRUE(mime.Root.Parts.empty());
    EXPECT_EQ(mime.Root.ContentType, "text");
    EXPECT_EQ(mime.Root.SubType, "plain");
    EXPECT_EQ(mime.Root.Encoding, "7bit");
    EXPECT_EQ(mime.Root.FileName, "");
    EXPECT_EQ(mime.Root.Boundary, "");
    EXPECT_EQ(mime.Root.MimeVersion, "");
    EXPECT_EQ(mime.Lines().size(), 2u);
}

// A text leaf with the given encoding and raw body lines.
TMIMEPart TextPart(const std::string& encoding, const std::vector<std::string>& body) {
    TMIMEPart part;
    part.InHeader = false;
    part.Encoding = encoding;
    part.Body = body;
    return part;
}

TEST(MimeDecodeText, Base64LineEnds) {
    const std::string jis = Jis("一行目") + "\r\nsecond\r\n" + Jis("最後");
    TMIMEc mime;
    mime.Parse(Lines("Content-Type: text/plain\nContent-Transfer-Encoding: base64\n\n" +
                     Base64Encode(jis).insert(20, "\n") + "\n"));
    mime.Root.DecodeText();
    EXPECT_EQ(mime.Root.Encoding, "7bit");
    // CR stays at the end of each line; the last line has no LF and is kept.
    EXPECT_EQ(mime.Root.Body,
              (std::vector<std::string>{S("一行目") + "\r", "second\r", S("最後")}));
    const std::vector<std::string> once = mime.Root.Body;
    mime.Root.DecodeText();
    EXPECT_EQ(mime.Root.Body, once);

    // A final LF gives no empty last line.
    TMIMEPart part = TextPart("base64", {Base64Encode("a\nb\n")});
    part.DecodeText();
    EXPECT_EQ(part.Body, (std::vector<std::string>{"a", "b"}));
}

TEST(MimeDecodeText, Base64WithStrayCharacters) {
    // A space and a CR in the raw text would shift every 200-character slice after them, and
    // chunks encoded one by one carry padding in the middle.
    std::string text;
    for (int i = 0; i < 60; ++i) text += "line" + std::to_string(i % 10) + "\n";
    const std::string b64 = Base64Encode(text);
    TMIMEPart spaced = TextPart(
        "base64", {b64.substr(0, 10) + " " + b64.substr(10, 66) + "\r", b64.substr(76) + " "});
    spaced.DecodeText();
    EXPECT_EQ(spaced.Body.size(), 60u);
    EXPECT_EQ(spaced.Body.back(), "line9");

    TMIMEPart chunks = TextPart("base64", {Base64Encode("ab"), Base64Encode("c\nde"), "Zg=="});
    chunks.DecodeText();
    EXPECT_EQ(chunks.Body, (std::vector<std::string>{"abc", "def"}));
}

TEST(MimeDecodeText, QuotedPrintableSoftLineBreaks) {
    // A JIS run cut by a soft line break is whole again before conversion.
    const std::string jis = Jis("日本語テキスト");
    std::string qp;
    for (char c : jis) {
        if (c == 0x1B)
            qp += "=1B";
        else
            qp += c;
    }
    TMIMEPart part =
        TextPart("quoted-printable", {qp.substr(0, 9) + "=", qp.substr(9) + " caf=C3=A9=", "",
                                      "next=3D1", "crlf= \r", "end\r", "tail="});
    part.DecodeText();
    EXPECT_EQ(part.Encoding, "7bit");
    ASSERT_EQ(part.Body.size(), 4u);
    EXPECT_EQ(part.Body[0], S("日本語テキスト") + " caf\xC3\xA9");
    EXPECT_EQ(part.Body[1], "next=1");
    EXPECT_EQ(part.Body[2], "crlfend\r");
    EXPECT_EQ(part.Body[3], "tail");
    const std::vector<std::string> once = part.Body;
    part.DecodeText();
    EXPECT_EQ(part.Body, once);
}

TEST(MimeDecodeText, LeavesOtherPartsAlone) {
    TMIMEPart image = TextPart("base64", {"QUJD"});
    image.ContentType = "image";
    image.DecodeText();
    EXPECT_EQ(image.Body, std::vector<std::string>{"QUJD"});
    EXPECT_EQ(image.Encoding, "base64");
    TMIMEPart eight = TextPart("8bit", {"=41"});
    eight.DecodeText();
    EXPECT_EQ(eight.Body, std::vector<std::string>{"=41"});
}

TEST(MimeRotBody, TwiceGivesTheTextBack) {
    TMIMEPart part = TextPart("7bit", {"Hello", S("日本語")});
    part.RotBody();
    EXPECT_EQ(part.Body[0], "Uryyb");
    EXPECT_NE(part.Body[1], S("日本語"));
    part.RotBody();
    EXPECT_EQ(part.Body, (std::vector<std::string>{"Hello", S("日本語")}));
}

class MimeSaveBase64 : public ::testing::Test {
protected:
    TMIMEPart Attachment(const std::string& name, const std::string& bytes) {
        TMIMEPart part = TextPart("base64", {});
        part.ContentType = "application";
        part.SubType = "octet-stream";
        part.FileName = name;
        const std::string b64 = Base64Encode(bytes);
        for (std::size_t i = 0; i < b64.size(); i += 76) part.Body.push_back(b64.substr(i, 76));
        return part;
    }
    std::string Dir() const { return tmp_.path().string() + "/"; }

    TempDir tmp_;
};

TEST_F(MimeSaveBase64, Results) {
    std::string bytes;
    for (int i = 0; i < 1000; ++i) bytes += static_cast<char>(i * 7);
    const TMIMEPart part = Attachment("data.bin", bytes);
    EXPECT_EQ(part.SaveBase64(Dir()), MimeSaveResult::Written);
    EXPECT_EQ(Hex(ReadFile(tmp_ / "data.bin")), Hex(bytes));

    WriteFile(tmp_ / "old.bin", "old");
    EXPECT_EQ(Attachment("old.bin", "new").SaveBase64(Dir()), MimeSaveResult::Exists);
    EXPECT_EQ(ReadFile(tmp_ / "old.bin"), "old");

    TMIMEPart text = Attachment("text.txt", "x");
    text.Encoding = "7bit";
    EXPECT_EQ(text.SaveBase64(Dir()), MimeSaveResult::NotBase64);
    EXPECT_FALSE(std::filesystem::exists(tmp_ / "text.txt"));

    EXPECT_EQ(Attachment("", "x").SaveBase64(Dir()), MimeSaveResult::BadName);
    EXPECT_EQ(Attachment("x.bin", "x").SaveBase64(Dir() + "missing/"), MimeSaveResult::Failed);
    EXPECT_FALSE(std::filesystem::exists(tmp_ / "missing"));
}

TEST_F(MimeSaveBase64, HostileNamesStayInTheDirectory) {
    std::filesystem::create_directory(tmp_ / "data");
    const std::string dir = Dir() + "data";
    EXPECT_EQ(Attachment("../../up.bin", "1").SaveBase64(dir), MimeSaveResult::Written);
    EXPECT_EQ(Attachment("C:\\WINDOWS\\win.ini", "2").SaveBase64(dir), MimeSaveResult::Written);
    EXPECT_EQ(Attachment("/etc/passwd", "3").SaveBase64(dir), MimeSaveResult::Written);
    for (const char* bad : {"..", ".", "dir/", "a\\..", "new\nline", "tab\there"})
        EXPECT_EQ(Attachment(bad, "x").SaveBase64(dir), MimeSaveResult::BadName) << bad;
    EXPECT_EQ(ReadFile(tmp_ / "data" / "up.bin"), "1");
    EXPECT_EQ(ReadFile(tmp_ / "data" / "win.ini"), "2");
    EXPECT_EQ(ReadFile(tmp_ / "data" / "passwd"), "3");
    std::size_t outside = 0;
    for (const auto& entry : std::filesystem::directory_iterator(tmp_.path()))
        outside += entry.path().filename() != "data" && entry.path().filename() != "home";
    EXPECT_EQ(outside, 0u);

    // A symbolic link planted under the name is neither followed nor replaced.
    std::filesystem::create_symlink(tmp_ / "target", tmp_ / "data" / "link.bin");
    EXPECT_EQ(Attachment("link.bin", "x").SaveBase64(dir), MimeSaveResult::Exists);
    EXPECT_FALSE(std::filesystem::exists(tmp_ / "target"));
    EXPECT_TRUE(std::filesystem::is_symlink(tmp_ / "data" / "link.bin"));
}

TEST_F(MimeSaveBase64, GoldenAttachmentFromFile) {
    const std::string b64 = ReadFile(testing::DataDir() / "coding/mime/bytes256.b64");
    TMIMEc mime;
    mime.Parse(Lines("Content-Type: application/octet-stream; name=\"" + EncodedWord("表") +
                         ".bin\"\nContent-Transfer-Encoding: base64\n\n" + b64,
                     true));
    ASSERT_EQ(mime.Root.FileName, S("表.bin"));
    EXPECT_EQ(mime.Root.SaveBase64(Dir()), MimeSaveResult::Written);
    // The name is Shift_JIS in the program and UTF-8 on disk; "表" ends in byte 0x5C.
    EXPECT_EQ(ReadFile(tmp_ / "表.bin"), ReadFile(testing::DataDir() / "coding/mime/bytes256.bin"));
}

}  // namespace
}  // namespace pelorin
