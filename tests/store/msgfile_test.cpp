// Parsing message files in place: the header fields of a record are what the header lookup of
// a message's lines gives (folds, CR LF, case, repeated and blank-continued fields), line
// counts are exact around NUL bytes and machine-word boundaries, and header values that need
// no decoding come through as they are.
#include "store/msgfile.h"

#include "support/testing.h"

#include "coding/header_words.h"
#include "coding/jis.h"
#include "store/textfile.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <random>

namespace pelorin {
namespace {

// The header lines of a text as the record's fields are defined on them: split at LF, a
// trailing CR dropped, up to the first empty line.
TSList HeaderOf(std::string_view text) {
    TSList lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t lf = text.find('\n', pos);
        if (lf == std::string_view::npos)
            lf = text.size();
        std::string line(text.substr(pos, lf - pos));
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty())
            break;
        lines.push_back(line);
        pos = lf + 1;
    }
    return lines;
}

void ExpectFieldsAsLookedUp(const std::string& text) {
    SCOPED_TRACE(text);
    MessageList out;
    ParseOneMessage(text, 100, ParseContext{"x.MSG", ""}, out);
    ASSERT_EQ(out.size(), 1u);
    const TMsg& m = *out[0];
    const TSList h = HeaderOf(text);
    EXPECT_EQ(m.subject, DecodeHeaderText(HeaderListValue(h, "Subject")));
    EXPECT_EQ(m.From(), DecodeHeaderText(HeaderListValue(h, "From")));
    EXPECT_EQ(m.Date(), HeaderListValue(h, "Date"));
    EXPECT_EQ(m.messageId, HeaderListValue(h, "Message-ID"));
    EXPECT_EQ(m.references, ReferencesOrInReplyTo(h));
    EXPECT_EQ(m.lineCount, std::count(text.begin(), text.end(), '\n'));
    EXPECT_EQ(m.length, static_cast<int64_t>(text.size()));
    EXPECT_EQ(m.offset, 100);
}

TEST(MsgFile, HeaderFieldsFoundInPlaceMatchTheLookup) {
    const std::string cases[] = {
        "Subject: plain\nFrom: a@b\nDate: 1 Dec 2026\nMessage-ID: <1@x>\n\nbody\n",
        "SUBJECT: upper\r\nfrom: lower@b\r\nmessage-id: <2@x>\r\n\r\nbody\r\n",
        "Subject: folded\n continued\n\tand tabbed\nFrom: a\n\n",
        "Subject: first\nSubject: second\nReferences: <a@x>\n <b@x>\n\n",
        "Subject: blank continuation\n   \nX: y\n\n",
        "Subject:no blank\nFrom: x\n\n",
        "X-Subject: not this\nSubject: this\n\n",
        "In-Reply-To: junk <p@x> (was)\n\n",
        "References: \nIn-Reply-To: <q@x>\n\n",
        "Subject: =?ISO-2022-JP?B?GyRCJUYlOSVIGyhK?=\n =?iso-2022-jp?b?GyRCJUYlOSVIGyhK?=\n\n",
        "Subject: no end of header",
        "Subject: x\r",
        "\nSubject: after the empty line\n",
        " continued first\nSubject: s\n\n",
        "",
    };
    for (const std::string& text : cases) ExpectFieldsAsLookedUp(text);

    // Random headers from a small alphabet of the tricky pieces.
    const std::string pieces[] = {"Subject: ",
                                  "subject: ",
                                  "From: ",
                                  "Message-ID: ",
                                  "<a@x>",
                                  "References: ",
                                  "In-Reply-To: ",
                                  " ",
                                  "\t",
                                  "\n",
                                  "\r\n",
                                  "=?ISO-2022-JP?B?GyRCJUYbKEo=?=",
                                  "x",
                                  "Date: ",
                                  ":"};
    std::mt19937 rng(7);
    for (int n = 0; n < 2000; ++n) {
        std::string text;
        const int count = 1 + static_cast<int>(rng() % 20);
        for (int k = 0; k < count; ++k) text += pieces[rng() % std::size(pieces)];
        ExpectFieldsAsLookedUp(text);
    }
}

TEST(MsgFile, LineCountsAreExactAroundNulsAndWordBoundaries) {
    for (size_t size = 0; size < 72; ++size) {  // up to two blocks of 32 bytes and more
        for (size_t nulAt = 0; nulAt <= size; ++nulAt) {
            std::string text;
            for (size_t i = 0; i < size; ++i) text += (i % 3 == 0) ? '\n' : 'a';
            const std::string body = "Subject: s\n\n" + text;
            std::string framed = body;
            if (nulAt < size)
                framed[12 + nulAt] = '\0';
            const std::string file = "#! rnews " + std::to_string(framed.size()) + "\n" + framed;
            testing::TempDir dir;
            testing::WriteFile(dir / "a.MSG", file);
            MessageList out;
            ParseRnewsFile(ParseContext{(dir / "a.MSG").string(), ""}, out, {});
            ASSERT_EQ(out.size(), 1u);
            const std::string kept = framed.substr(0, framed.find('\0'));
            EXPECT_EQ(out[0]->length, static_cast<int64_t>(kept.size())) << size << " " << nulAt;
            EXPECT_EQ(out[0]->lineCount, std::count(kept.begin(), kept.end(), '\n'))
                << size << " " << nulAt;
        }
    }
}

TEST(MsgFile, LongBodiesOfNothingButLineEndsCountEveryLine) {
    // More LFs in each byte lane than a byte can count, and a NUL far in.
    for (size_t lines : {4079u, 4080u, 4096u, 100000u}) {
        std::string text = "Subject: s\n\n" + std::string(lines, '\n');
        MessageList out;
        ParseOneMessage(text, 0, ParseContext{"x.MSG", ""}, out);
        ASSERT_EQ(out.size(), 1u);
        EXPECT_EQ(out[0]->lineCount, static_cast<int32_t>(lines + 2));
        testing::TempDir dir;
        text[9000 < text.size() ? 9000 : text.size() - 1] = '\0';
        testing::WriteFile(dir / "a.MSG", "#! rnews " + std::to_string(text.size()) + "\n" + text);
        MessageList framed;
        ParseRnewsFile(ParseContext{(dir / "a.MSG").string(), ""}, framed, {});
        ASSERT_EQ(framed.size(), 1u);
        const std::string kept = text.substr(0, text.find('\0'));
        EXPECT_EQ(framed[0]->lineCount, std::count(kept.begin(), kept.end(), '\n'));
    }
}

TEST(MsgFile, ValuesWithoutWordsFoldsOrEscapesNeedNoDecoding) {
    const std::string values[] = {"plain",
                                  "",
                                  "a=b?c",
                                  "=?",
                                  "x\ny",
                                  "\x1B$B%F%9%H\x1B(B",
                                  "\x0E"
                                  "1\x0F",
                                  "=?ISO-2022-JP?B?GyRCJUYbKEo=?=",
                                  "\x83\x65",
                                  "a\n b"};
    for (const std::string& v : values)
        EXPECT_EQ(DecodeHeaderText(v), JisToSjis(Unfold(DecodeHeaderWords(v)))) << v;
}

TEST(MsgFile, TextLinesSplitAtEveryKindOfLineEnd) {
    const std::string text = "a\r\nb\rc\n\r\nd\n\ne";
    EXPECT_EQ(SplitTextLines(text), (TSList{"a", "b", "c", "", "d", "", "e"}));
    EXPECT_EQ(SplitTextLines("x\n"), (TSList{"x"}));
    EXPECT_EQ(SplitTextLines("\r"), (TSList{""}));
    EXPECT_TRUE(SplitTextLines("").empty());
}

}  // namespace
}  // namespace pelorin
