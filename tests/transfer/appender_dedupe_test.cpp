// What the appender takes for a message it holds already: the same bytes (line ends aside),
// never merely the same Message-ID - within one call, across calls, and in a packet opened
// afresh, where the bytes are read back from the message file - in both framings.
#include "support/testing.h"
#include "transfer/appender.h"

#include "store/soup.h"

#include <gtest/gtest.h>

namespace pelorin::transfer {
namespace {

using pelorin::testing::TempDir;

Article Mail(const std::string& id, const std::string& body, int64_t uid) {
    std::string text = "From: a@example.org\r\nSubject: s\r\n";
    if (!id.empty())
        text += "Message-ID: " + id + "\r\n";
    return Article{text + "\r\n" + body + "\r\n", uid};
}

// The bodies' first lines of an area, in file order.
std::string Bodies(const TempDir& dir, const std::string& area) {
    TSoup soup(dir.path().string());
    soup.LoadAreas();
    TGrp* g = soup.FindArea(area);
    if (!g)
        return "no area";
    g->Load();
    std::string out;
    for (const auto& m : g->messages) {
        std::string text = m->ReadText();
        const size_t body = text.find("\n\n");
        out += text.substr(body + 2, text.find('\n', body + 2) - body - 2) + "|";
    }
    return out;
}

TEST(AppenderDuplicates, OnlyTheSameBytesAreTheSameMessage) {
    for (const char* letters : {"bn", "un"}) {
        SCOPED_TRACE(letters);
        TempDir dir;
        {
            PacketAppender app(dir.path().string());
            AppendResult r = app.Append(
                "a", letters,
                {Mail("<x@y>", "one", 1), Mail("<x@y>", "two", 2), Mail("<x@y>", "one", 3),
                 Mail("", "plain", 4), Mail("", "plain", 5), Mail("", "other", 6)});
            EXPECT_EQ(r.appended, 4);
            EXPECT_EQ(r.duplicates, 2);
            // The next call knows them from the set it keeps, CR LF or not.
            Article lf = Mail("<x@y>", "two", 7);
            lf.text = NormalizeLineEnds(lf.text);
            r = app.Append("a", letters, {lf, Mail("", "other", 8), Mail("<x@y>", "three", 9)});
            EXPECT_EQ(r.appended, 1);
            EXPECT_EQ(r.duplicates, 2);
        }
        // A new appender reads the bytes back from the message file.
        PacketAppender again(dir.path().string());
        AppendResult r = again.Append("a", letters,
                                      {Mail("", "plain", 1), Mail("<x@y>", "three", 2),
                                       Mail("<x@y>", "four", 3), Mail("<new@y>", "one", 4)});
        EXPECT_EQ(r.appended, 2);
        EXPECT_EQ(r.duplicates, 2);
        EXPECT_EQ(Bodies(dir, "a"), "one|two|plain|other|three|four|one|");
        // And the set made from the file keeps up with what is appended after it.
        r = again.Append("a", letters, {Mail("<x@y>", "four", 5), Mail("", "five", 6)});
        EXPECT_EQ(r.appended, 1);
        EXPECT_EQ(r.duplicates, 1);
        r = again.Append("a", letters, {Mail("", "five", 7)});
        EXPECT_EQ(r.duplicates, 1);
    }
}

}  // namespace
}  // namespace pelorin::transfer
