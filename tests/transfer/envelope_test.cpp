// The SMTP envelope of a reply: the sender from From:, every recipient of To:, Cc: and Bcc:
// (groups, quoted names with commas, comments and folded lines included).
#include "transfer/mail_client.h"

#include <gtest/gtest.h>

namespace pelorin::transfer {
namespace {

TEST(EnvelopeOf, EveryRecipientOfEveryField) {
    const Envelope env = EnvelopeOf(
        "From: =?ISO-2022-JP?B?GyRCOzNFRBsoQg==?= <taro@example.jp>\r\n"
        "To: team: a@example.jp, \"Suzuki, Hanako\" <b@example.net>;,\r\n"
        " c@example.org (C)\r\n"
        "Cc: undisclosed-recipients:;\r\n"
        "Bcc: <@relay.example:hidden@example.com>\r\n"
        "Subject: x\r\n\r\nTo: body@example.jp\r\n");
    EXPECT_EQ(env.from, "taro@example.jp");
    EXPECT_EQ(env.to, (std::vector<std::string>{"a@example.jp", "b@example.net", "c@example.org",
                                                "hidden@example.com"}));
}

TEST(EnvelopeOf, NothingThatIsNoAddressReachesTheServer) {
    const Envelope env = EnvelopeOf(
        "From: nobody\nTo: local-user, <a@b.example\r\nRCPT TO:<evil@example.com>>, \"x y\"@z\n\n");
    EXPECT_EQ(env.from, "");
    EXPECT_EQ(env.to, (std::vector<std::string>{"a@b.example"}));
}

}  // namespace
}  // namespace pelorin::transfer
