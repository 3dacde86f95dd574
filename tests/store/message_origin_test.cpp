// Date: and Message-ID: for posted messages.
#include "store/message_origin.h"

#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>
#include <regex>
#include <set>

namespace pelorin {
namespace {

// Runs `body` with the local zone set to `tz`, then puts the zone back.
template <typename F>
void InZone(const char* tz, F body) {
    const char* old = std::getenv("TZ");
    const std::string saved = old ? old : "";
    setenv("TZ", tz, 1);
    tzset();
    body();
    if (old)
        setenv("TZ", saved.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

TEST(MessageDate, LocalTimeWithNumericZoneInEnglish) {
    const std::time_t when = 1796732649;  // 2026-12-08 12:24:09 UTC, a Tuesday
    InZone("JST-9", [&] { EXPECT_EQ(MessageDate(when), "Tue, 08 Dec 2026 21:24:09 +0900"); });
    InZone("UTC0", [&] { EXPECT_EQ(MessageDate(when), "Tue, 08 Dec 2026 12:24:09 +0000"); });
    // West of Greenwich, with half hours; the day before.
    InZone("NST3:30", [&] { EXPECT_EQ(MessageDate(when), "Tue, 08 Dec 2026 08:54:09 -0330"); });
    InZone("XXX14", [&] { EXPECT_EQ(MessageDate(when), "Mon, 07 Dec 2026 22:24:09 -1400"); });
}

TEST(NewMessageId, UniqueAndWellFormed) {
    const std::regex form(R"(<\d{14}\.\d+\.[0-9a-f]{8}@example\.jp>)");
    std::set<std::string> seen;
    for (int i = 0; i < 1000; ++i) {
        const std::string id = NewMessageId("example.jp", 1796732649);
        EXPECT_TRUE(std::regex_match(id, form)) << id;
        seen.insert(id);
    }
    EXPECT_EQ(seen.size(), 1000u);
}

TEST(MessageIdDomain, SenderFirstThenHost) {
    EXPECT_EQ(MessageIdDomain("Taro <taro@mail.example.jp>"), "mail.example.jp");
    EXPECT_EQ(MessageIdDomain("team: a@x.jp;"), "x.jp");
    // No usable sender domain: the host's name (or localhost); never a broken one.
    const std::string host = MessageIdDomain("");
    for (const char* from : {"nobody", "a@[192.0.2.1]", "a@bad..domain", "\"x y\"@a b"})
        EXPECT_EQ(MessageIdDomain(from), host) << from;
    EXPECT_FALSE(host.empty());
    EXPECT_EQ(host.find_first_of(" <>@()[]"), std::string::npos) << host;
}

TEST(MissingOriginFields, OnlyWhatIsMissing) {
    const std::time_t when = 1796732649;
    const TSList none = MissingOriginFields({"From: a@x.jp", "Subject: s"}, when);
    ASSERT_EQ(none.size(), 2u);
    EXPECT_EQ(none[0].rfind("Date: ", 0), 0u);
    EXPECT_EQ(none[1].rfind("Message-ID: <", 0), 0u);
    EXPECT_NE(none[1].find("@x.jp>"), std::string::npos);
    EXPECT_EQ(MissingOriginFields({"DATE: x", "Subject: s"}, when).size(), 1u);
    EXPECT_EQ(MissingOriginFields({"Message-Id: <a@b>", "date: x"}, when).size(), 0u);
    // A field name only counts at the start of a line, not in a continuation or another name.
    EXPECT_EQ(
        MissingOriginFields({"X-Date: y", "Subject: Date: z", " Message-ID: <q>"}, when).size(),
        2u);
}

}  // namespace
}  // namespace pelorin
