// transfer.INI: server sections and their defaults, bad values named, and the three ways to a
// password - with Password= refused while others may read the file. Traces mask credentials.
#include "transfer/config.h"

#include "support/testing.h"
#include "transfer/imap_client.h"
#include "transfer/log.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace pelorin::transfer {
namespace {

using pelorin::testing::TempDir;
using pelorin::testing::WriteFile;

std::string Write(const TempDir& dir, const std::string& text, mode_t mode) {
    const std::string path = (dir / "transfer.INI").string();
    WriteFile(path, text);
    ::chmod(path.c_str(), mode);
    return path;
}

TEST(TransferConfig, SectionsKeysAndDefaults) {
    TempDir dir;
    TransferConfig c = LoadConfig(Write(dir,
                                        "[General]\nPacket=/p\n"
                                        "[news main]\nHost=n.example   ; the server\n"
                                        "Groups=fj.a, fj.b fj.c\t; three\n"
                                        "Summary=fj.b\n"
                                        "[news other]\nHost=o.example\nSecurity=starttls\nPost=Y\n"
                                        "[imap box]\nHost=i.example\nAfterFetch=seen\n"
                                        "[pop3 old]\nHost=p.example\nSecurity=none\n"
                                        "[smtp]\nHost=s.example\n",
                                        0600));
    EXPECT_EQ(c.packetDir, "/p");
    ASSERT_EQ(c.news.size(), 2u);
    EXPECT_EQ(c.news[0].host, "n.example");
    EXPECT_EQ(c.news[0].port, 563);
    EXPECT_EQ(c.news[0].groups, (std::vector<std::string>{"fj.a", "fj.b", "fj.c"}));
    EXPECT_TRUE(c.news[0].IsSummary("fj.b"));
    EXPECT_FALSE(c.news[0].IsSummary("fj.a"));
    EXPECT_EQ(c.news[1].port, 119);
    EXPECT_EQ(c.PostServer()->name, "other");
    ASSERT_EQ(c.mail.size(), 2u);
    EXPECT_EQ(c.mail[0].port, 993);
    EXPECT_TRUE(c.mail[0].markSeen);
    EXPECT_EQ(c.mail[1].port, 110);
    EXPECT_EQ(c.mail[1].area, "mail");
    EXPECT_TRUE(c.hasSmtp);
    EXPECT_EQ(c.smtp.port, 587);
    EXPECT_EQ(c.smtp.security, Security::StartTls);
}

TEST(TransferConfig, BadValuesAreNamed) {
    TempDir dir;
    for (const char* text :
         {"[news a]\nHost=h\nPort=70000\n", "[news a]\nPort=119\n",
          "[imap a]\nHost=h\nSecurity=maybe\n", "[pop3 a]\nHost=h\nAfterFetch=seen\n"}) {
        try {
            LoadConfig(Write(dir, text, 0600));
            ADD_FAILURE() << text;
        } catch (const ConfigError& e) {
            EXPECT_NE(e.message.find("[" + std::string(text).substr(1, 6) + "]"), std::string::npos)
                << e.message;
        }
    }
    EXPECT_THROW(LoadConfig((dir / "missing.INI").string()), ConfigError);
}

TEST(TransferConfig, PasswordsComeFromACommandAVariableOrAPrivateFile) {
    TempDir dir;
    const std::string text =
        "[imap cmd]\nHost=h\nUser=u\nPasswordCommand=printf 'secret1\\nother'\n"
        "[imap env]\nHost=h\nUser=u\nPasswordEnv=PELORIN_TEST_PW\n"
        "[imap plain]\nHost=h\nUser=u\nPassword=secret3\n"
        "[imap fails]\nHost=h\nUser=u\nPasswordCommand=exit 3\n";
    TransferConfig c = LoadConfig(Write(dir, text, 0600));
    ::setenv("PELORIN_TEST_PW", "secret2", 1);
    EXPECT_EQ(ResolvePassword(c.mail[0], c), "secret1");
    EXPECT_EQ(ResolvePassword(c.mail[1], c), "secret2");
    EXPECT_EQ(ResolvePassword(c.mail[2], c), "secret3");
    EXPECT_THROW(ResolvePassword(c.mail[3], c), ConfigError);
    ::unsetenv("PELORIN_TEST_PW");
    EXPECT_THROW(ResolvePassword(c.mail[1], c), ConfigError);

    // Readable by the group: the plain password is refused, and never shown.
    c = LoadConfig(Write(dir, text, 0640));
    try {
        ResolvePassword(c.mail[2], c);
        FAIL();
    } catch (const ConfigError& e) {
        EXPECT_NE(e.message.find("chmod 600"), std::string::npos);
        EXPECT_EQ(e.message.find("secret3"), std::string::npos);
    }
    EXPECT_EQ(ResolvePassword(c.mail[0], c), "secret1");
}

TEST(TransferConfig, TracesMaskCredentials) {
    EXPECT_EQ(MaskCredentials("AUTHINFO PASS hunter2"), "AUTHINFO PASS ****");
    EXPECT_EQ(MaskCredentials("authinfo pass hunter2"), "authinfo pass ****");
    EXPECT_EQ(MaskCredentials("A001 LOGIN user hunter2"), "A001 LOGIN ****");
    EXPECT_EQ(MaskCredentials("AUTH PLAIN AHVzZXIAaHVudGVyMg=="), "AUTH PLAIN ****");
    EXPECT_EQ(MaskCredentials("GROUP fj.test"), "GROUP fj.test");
}

TEST(TransferConfig, TokenSignInTakesItsTokenFromTheCommandsFirstLine) {
    TempDir dir;
    TransferConfig c = LoadConfig(Write(dir,
                                        "[imap g]\nHost=i.example\nUser=me@example.org\n"
                                        "Auth=XOAUTH2\nTokenCommand=printf 'tok-1\\nrest\\n'\n"
                                        "[smtp]\nHost=s.example\nUser=me\nAuth=oauthbearer\n"
                                        "TokenCommand=echo t2 ; true\n",
                                        0644));
    ASSERT_EQ(c.mail.size(), 1u);
    EXPECT_EQ(c.mail[0].auth, AuthMethod::XOAuth2);
    // A token needs no owner-only file: it comes from a program, never from the file.
    EXPECT_EQ(ResolvePassword(c.mail[0], c), "tok-1");
    EXPECT_EQ(c.smtp.auth, AuthMethod::OAuthBearer);
    EXPECT_EQ(ResolvePassword(c.smtp, c), "t2");

    auto refused = [&](const std::string& text) {
        try {
            LoadConfig(Write(dir, text, 0600));
        } catch (const ConfigError& e) {
            return e.message;
        }
        return std::string("accepted");
    };
    EXPECT_EQ(refused("[imap g]\nHost=h\nUser=u\nAuth=gssapi\n"),
              "[imap g] Auth=gssapi: use password, xoauth2 or oauthbearer");
    EXPECT_EQ(refused("[news n]\nHost=h\nUser=u\nAuth=xoauth2\nTokenCommand=true\n"),
              "[news n] Auth=xoauth2: a news server signs in with a password (AUTHINFO)");
    EXPECT_NE(refused("[imap g]\nHost=h\nUser=u\nAuth=xoauth2\n").find("needs TokenCommand="),
              std::string::npos);
    EXPECT_NE(
        refused("[pop3 g]\nHost=h\nAuth=oauthbearer\nTokenCommand=true\n").find("needs User="),
        std::string::npos);
    EXPECT_NE(refused("[imap g]\nHost=h\nTrustCertificate=" + (dir / "none.pem").string() + "\n")
                  .find("TrustCertificate=" + (dir / "none.pem").string() + ": No such file"),
              std::string::npos);
}

TEST(TransferConfig, TheTokenGoesInEachMechanismsOwnFormat) {
    ServerConfig s;
    s.host = "imap.example.org";
    s.port = 993;
    s.user = "a,b=c@example.org";
    s.auth = AuthMethod::XOAuth2;
    EXPECT_EQ(SaslTokenResponse(s, "T0K"), std::string("user=a,b=c@example.org\x01"
                                                       "auth=Bearer T0K\x01\x01"));
    // RFC 7628: the user in the GS2 header with "," and "=" escaped, then host and port.
    s.auth = AuthMethod::OAuthBearer;
    EXPECT_EQ(SaslTokenResponse(s, "T0K"), std::string("n,a=a=2Cb=3Dc@example.org,\x01"
                                                       "host=imap.example.org\x01"
                                                       "port=993\x01"
                                                       "auth=Bearer T0K\x01\x01"));
}

}  // namespace
}  // namespace pelorin::transfer
