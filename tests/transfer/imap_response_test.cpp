// The IMAP response reader: framing by literals (kept and dropped), responses of each kind,
// FETCH items, and the bad input a server may send - each a row of a table.
#include "transfer/imap_response.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace pelorin::transfer {
namespace {

TEST(ImapResponse, LiteralLengthsAtTheEndOfALine) {
    struct Row {
        std::string line;
        std::optional<uint64_t> size;
    } rows[] = {
        {"* 1 FETCH (BODY[] {12}", 12},
        {"{0}", 0},
        {"a LOGIN {5+}", 5},
        {"* 1 FETCH (BINARY[] ~{7}", 7},
        {"* OK {}", std::nullopt},
        {"* OK {12", std::nullopt},
        {"* OK 12}", std::nullopt},
        {"* OK {1a}", std::nullopt},
        {"* OK {99999999999999999999}", std::nullopt},  // past 64 bits
        {"* OK {4611686018427387905}", std::nullopt},   // past the 2^62 we accept
        {"* OK {4000000000}", 4000000000u},
    };
    for (const Row& r : rows) EXPECT_EQ(LiteralAtEnd(r.line), r.size) << r.line;
}

TEST(ImapResponse, FramesResponsesAroundLiterals) {
    const std::string stream =
        "* 1 FETCH (UID 7 BODY[] {12}\r\nHello\r\nWorld FLAGS (\\Seen))\r\n"
        "* 2 FETCH (UID 8 BODY[] {20}\r\n01234567890123456789)\r\n"
        "p1 OK done\r\n"
        "* 3 FETCH (UID 9 BODY[] {50}\r\nonly part of it";
    std::string error;
    std::vector<ImapRawResponse> out = SplitResponses(stream, 16, &error);
    EXPECT_EQ(error, "");
    ASSERT_EQ(out.size(), 3u);  // the last one is cut short and left out
    ASSERT_EQ(out[0].literals.size(), 1u);
    EXPECT_EQ(out[0].literals[0].bytes, "Hello\r\nWorld");
    EXPECT_EQ(out[0].text, "* 1 FETCH (UID 7 BODY[] {12} FLAGS (\\Seen))");
    // Longer than the limit: only its length is kept.
    ASSERT_EQ(out[1].literals.size(), 1u);
    EXPECT_FALSE(out[1].literals[0].kept);
    EXPECT_EQ(out[1].literals[0].size, 20u);
    EXPECT_EQ(out[1].literals[0].bytes, "");
    EXPECT_EQ(out[2].text, "p1 OK done");
}

TEST(ImapResponse, AnAnswerOfTooManyPiecesIsAnError) {
    std::string stream = "* 1 FETCH (";
    for (size_t i = 0; i <= ImapFramer::kMaxPieces; ++i) stream += "X {0}\r\n";
    stream += ")\r\n";
    std::string error;
    EXPECT_TRUE(SplitResponses(stream, 100, &error).empty());
    EXPECT_NE(error.find("literals"), std::string::npos);
}

ImapResponse Parse(const std::string& bytes) {
    std::vector<ImapRawResponse> raw = SplitResponses(bytes, 1 << 20);
    return raw.empty() ? ImapResponse{} : ParseResponse(raw[0]);
}

TEST(ImapResponse, ResponsesOfEachKind) {
    using T = ImapResponse::Type;
    struct Row {
        std::string bytes;
        T type;
        std::string tag, status, code, text;
        int64_t number;
        std::string name;
    } rows[] = {
        {"* OK [UIDVALIDITY 3857529045] UIDs valid\r\n", T::Untagged, "", "OK",
         "UIDVALIDITY 3857529045", "UIDs valid", -1, ""},
        {"p7 NO [AUTHENTICATIONFAILED] Authentication failed.\r\n", T::Tagged, "p7", "NO",
         "AUTHENTICATIONFAILED", "Authentication failed.", -1, ""},
        {"p2 ok done\r\n", T::Tagged, "p2", "OK", "", "done", -1, ""},
        {"* 23 EXISTS\r\n", T::Untagged, "", "", "", "", 23, "EXISTS"},
        {"* 0 RECENT\r\n", T::Untagged, "", "", "", "", 0, "RECENT"},
        {"* BYE shutting down\r\n", T::Untagged, "", "BYE", "", "shutting down", -1, ""},
        {"* PREAUTH welcome\r\n", T::Untagged, "", "PREAUTH", "", "welcome", -1, ""},
        {"+ go ahead\r\n", T::Continuation, "", "", "", "go ahead", -1, ""},
        {"+\r\n", T::Continuation, "", "", "", "", -1, ""},
        {"* CAPABILITY IMAP4rev1 LITERAL+ AUTH=PLAIN\r\n", T::Untagged, "", "", "", "", -1,
         "CAPABILITY"},
        {"* OK [PERMANENTFLAGS (\\Seen \\*)] ok\r\n", T::Untagged, "", "OK",
         "PERMANENTFLAGS (\\Seen \\*)", "ok", -1, ""},
    };
    for (const Row& r : rows) {
        ImapResponse got = Parse(r.bytes);
        EXPECT_EQ(got.malformed, "") << r.bytes;
        EXPECT_EQ(got.type, r.type) << r.bytes;
        EXPECT_EQ(got.tag, r.tag) << r.bytes;
        EXPECT_EQ(got.status, r.status) << r.bytes;
        EXPECT_EQ(got.code, r.code) << r.bytes;
        EXPECT_EQ(got.text, r.text) << r.bytes;
        EXPECT_EQ(got.number, r.number) << r.bytes;
        EXPECT_EQ(got.name, r.name) << r.bytes;
    }
}

TEST(ImapResponse, BadInputIsMarkedNeverThrown) {
    const std::string deep = "* 1 FETCH " + std::string(100, '(') + std::string(100, ')');
    const char* rows[] = {
        "p1 FOO bar\r\n",                        // tagged without a status
        "(p1) OK\r\n",                           // a tag of specials
        "* 1 FETCH (UID 5\r\n",                  // a list never closed
        "* 1 FETCH (UID 5))\r\n",                // closed twice
        "* 1 FETCH (X \"never closed)\r\n",      // a quoted string never closed
        "* 1 FETCH (BODY[TEXT {3}\r\nabc)\r\n",  // a section never closed
        "* OK [UIDVALIDITY 3\r\n",               // a response code never closed
        "*\r\n",                                 // nothing after the star
        "\r\n",                                  // an empty line
    };
    for (const char* bytes : rows) EXPECT_NE(Parse(bytes).malformed, "") << bytes;
    EXPECT_NE(Parse(deep + "\r\n").malformed, "");
}

TEST(ImapResponse, FetchItems) {
    struct Row {
        std::string bytes;
        uint32_t uid;
        int64_t size;
        bool seen, hasBody, dropped;
        std::string body;
        bool malformed;
    } rows[] = {
        {"* 1 FETCH (UID 7 RFC822.SIZE 1234)\r\n", 7, 1234, false, false, false, "", false},
        {"* 1 FETCH (FLAGS (\\Answered \\SEEN) UID 4294967295 BODY[] {5}\r\nab\r\nc)\r\n",
         4294967295u, -1, true, true, false, "ab\r\nc", false},
        {"* 1 FETCH (UID 3 BODY[] \"quoted \\\"text\\\"\")\r\n", 3, -1, false, true, false,
         "quoted \"text\"", false},
        {"* 1 FETCH (UID 3 BODY[] NIL)\r\n", 3, -1, false, true, false, "", false},
        // The text twice: the last one counts, whether kept or dropped.
        {"* 1 FETCH (UID 3 BODY[] {40}\r\n0123456789012345678901234567890123456789 BODY[] "
         "{2}\r\nok)\r\n",
         3, -1, false, true, false, "ok", false},
        {"* 1 FETCH (UID 3 BODY[] {2}\r\nok BODY[] {40}\r\n"
         "0123456789012345678901234567890123456789)\r\n",
         3, -1, false, true, true, "", false},
        {"* 1 FETCH (UID 3 BODY[] {40}\r\n0123456789012345678901234567890123456789)\r\n", 3, -1,
         false, true, true, "", false},
        // Items this client never asked for are passed over, lists and sections included.
        {"* 1 FETCH (MODSEQ (12) BODY[HEADER.FIELDS (SUBJECT)] {2}\r\nab UID 9)\r\n", 9, -1, false,
         false, false, "", false},
        {"* 1 FETCH (FLAGS (\\Seen))\r\n", 0, -1, true, false, false, "", false},
        {"* 1 FETCH (UID 0)\r\n", 0, -1, false, false, false, "", true},
        {"* 1 FETCH (UID 4294967296)\r\n", 0, -1, false, false, false, "", true},
        {"* 1 FETCH (UID abc)\r\n", 0, -1, false, false, false, "", true},
        {"* 1 FETCH (UID)\r\n", 0, -1, false, false, false, "", true},
        {"* 1 FETCH (RFC822.SIZE -5)\r\n", 0, -1, false, false, false, "", true},
        {"* 1 FETCH (FLAGS \\Seen)\r\n", 0, -1, false, false, false, "", true},
        {"* 1 FETCH (UID 3 BODY[] (a b))\r\n", 3, -1, false, true, false, "", true},
        {"* 1 FETCH UID 3\r\n", 0, -1, false, false, false, "", true},
    };
    for (const Row& r : rows) {
        std::vector<ImapRawResponse> raw = SplitResponses(r.bytes, 32);
        ASSERT_EQ(raw.size(), 1u) << r.bytes;
        ImapResponse response = ParseResponse(raw[0]);
        ASSERT_EQ(response.malformed, "") << r.bytes;
        ASSERT_EQ(response.name, "FETCH") << r.bytes;
        ImapFetch f = ParseFetch(response);
        EXPECT_EQ(!f.malformed.empty(), r.malformed) << r.bytes << ": " << f.malformed;
        if (r.malformed)
            continue;
        EXPECT_EQ(f.uid, r.uid) << r.bytes;
        EXPECT_EQ(f.size, r.size) << r.bytes;
        EXPECT_EQ(f.seen, r.seen) << r.bytes;
        EXPECT_EQ(f.hasBody, r.hasBody) << r.bytes;
        EXPECT_EQ(f.bodyDropped, r.dropped) << r.bytes;
        EXPECT_EQ(f.body, r.body) << r.bytes;
    }
}

TEST(ImapResponse, WhatTheClientWrites) {
    EXPECT_EQ(UidSet({}), "");
    EXPECT_EQ(UidSet({4}), "4");
    EXPECT_EQ(UidSet({1, 2, 3, 5, 7, 8, 4294967295u}), "1:3,5,7:8,4294967295");
    EXPECT_EQ(Quoted("tester"), "\"tester\"");
    EXPECT_EQ(Quoted("a\"b\\c d"), "\"a\\\"b\\\\c d\"");
    EXPECT_EQ(Quoted("line\r\nbreak"), std::nullopt);
    EXPECT_EQ(Quoted("p\xC3\xA4ss"), std::nullopt);
    // RFC 3501's own examples of modified UTF-7.
    EXPECT_EQ(MailboxName("INBOX"), "INBOX");
    EXPECT_EQ(MailboxName("Tom & Jerry"), "Tom &- Jerry");
    EXPECT_EQ(
        MailboxName("~peter/mail/\xE5\x8F\xB0\xE5\x8C\x97/\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E"),
        "~peter/mail/&U,BTFw-/&ZeVnLIqe-");
}

}  // namespace
}  // namespace pelorin::transfer
