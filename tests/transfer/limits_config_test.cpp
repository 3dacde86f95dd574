// The limits of transfer.INI: defaults, [General] for every server with a section's own value
// winning, sizes with K, M and G, and values out of range refused with the section and key.
#include "support/testing.h"
#include "transfer/config.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace pelorin::transfer {
namespace {

using pelorin::testing::TempDir;
using pelorin::testing::WriteFile;

TransferConfig Load(const TempDir& dir, const std::string& text) {
    const std::string path = (dir / "transfer.INI").string();
    WriteFile(path, text);
    ::chmod(path.c_str(), 0600);
    return LoadConfig(path);
}

TEST(TransferLimits, DefaultsGeneralAndSection) {
    TempDir dir;
    TransferConfig c = Load(dir,
                            "[General]\nIdleTimeout=10\nMaxMessageSize=64M\n"
                            "[imap a]\nHost=a\nIdleTimeout=5   ; a slow link\nMessageTimeout=60\n"
                            "[pop3 b]\nHost=b\nMaxMessageSize=1g\n"
                            "[news c]\nHost=c\nConnectTimeout=3\nMaxMessageSize=512K\n"
                            "[smtp]\nHost=s\n");
    ASSERT_EQ(c.mail.size(), 2u);
    EXPECT_EQ(c.mail[0].connectTimeout, 30);
    EXPECT_EQ(c.mail[0].idleTimeout, 5);
    EXPECT_EQ(c.mail[0].messageTimeout, 60);
    EXPECT_EQ(c.mail[0].maxMessageSize, int64_t{64} << 20);
    EXPECT_EQ(c.mail[1].idleTimeout, 10);
    EXPECT_EQ(c.mail[1].messageTimeout, 900);
    EXPECT_EQ(c.mail[1].maxMessageSize, int64_t{1} << 30);
    EXPECT_EQ(c.news[0].connectTimeout, 3);
    EXPECT_EQ(c.news[0].maxMessageSize, 512 << 10);
    EXPECT_EQ(c.smtp.idleTimeout, 10);
    EXPECT_EQ(c.mail[0].Where(), "[imap a] a:993");

    TempDir plain;
    TransferConfig d = Load(plain, "[imap a]\nHost=a\n");
    EXPECT_EQ(d.mail[0].connectTimeout, 30);
    EXPECT_EQ(d.mail[0].idleTimeout, 120);
    EXPECT_EQ(d.mail[0].messageTimeout, 900);
    EXPECT_EQ(d.mail[0].maxMessageSize, int64_t{256} << 20);
}

TEST(TransferLimits, BadValuesNameSectionAndKey) {
    struct Row {
        std::string text;
        std::string named;
    } rows[] = {
        {"[imap a]\nHost=a\nIdleTimeout=0\n", "[imap a] IdleTimeout=0"},
        {"[imap a]\nHost=a\nConnectTimeout=ten\n", "[imap a] ConnectTimeout=ten"},
        {"[General]\nMessageTimeout=100000\n[imap a]\nHost=a\n", "[General] MessageTimeout"},
        {"[imap a]\nHost=a\nMaxMessageSize=12X\n", "[imap a] MaxMessageSize=12X"},
        {"[imap a]\nHost=a\nMaxMessageSize=100\n", "[imap a] MaxMessageSize=100"},  // < 1K
        {"[imap a]\nHost=a\nMaxMessageSize=5G\n", "[imap a] MaxMessageSize=5G"},
        {"[imap a]\nHost=a\nMaxMessageSize=M\n", "[imap a] MaxMessageSize=M"},
        {"[General]\nMaxMessageSize=-1\n[imap a]\nHost=a\n", "[General] MaxMessageSize=-1"},
    };
    for (const Row& r : rows) {
        TempDir dir;
        try {
            Load(dir, r.text);
            ADD_FAILURE() << r.text << ": accepted";
        } catch (const ConfigError& e) {
            EXPECT_NE(e.message.find(r.named), std::string::npos) << e.message;
        }
    }
}

}  // namespace
}  // namespace pelorin::transfer
