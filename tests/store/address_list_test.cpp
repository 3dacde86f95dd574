// Address lists: well-formed, obsolete, broken and hostile values.
#include "store/address_list.h"

#include "support/testing.h"

#include <chrono>
#include <gtest/gtest.h>

namespace pelorin {
namespace {

using testing::S;

// "name|address|group" per mailbox, joined by " ; ".
std::string Show(const AddressList& list) {
    std::string out;
    for (const Mailbox& m : list.mailboxes) {
        if (!out.empty())
            out += " ; ";
        out += m.name + "|" + m.address + "|" + m.group;
    }
    return out;
}

struct Row {
    const char* value;
    const char* mailboxes;
    bool clean;  // no problems reported
};

void Check(const Row& row, Text text = Text::Bytes) {
    const AddressList list = ParseAddressList(row.value, text);
    EXPECT_EQ(Show(list), row.mailboxes) << row.value;
    EXPECT_EQ(list.problems.empty(), row.clean) << row.value << ": " << list.problems.size();
}

TEST(ParseAddressList, WellFormedLists) {
    const Row rows[] = {
        {"a@x.jp", "|a@x.jp|", true},
        {"a@x.jp, b@y.jp", "|a@x.jp| ; |b@y.jp|", true},
        {"team: a@x.jp, b@y.jp;", "|a@x.jp|team ; |b@y.jp|team", true},
        {"team: a@x.jp, b@y.jp;, c@z.jp", "|a@x.jp|team ; |b@y.jp|team ; |c@z.jp|", true},
        {"undisclosed-recipients:;", "||undisclosed-recipients", true},
        {"Taro Yamada <taro@x.jp>", "Taro Yamada|taro@x.jp|", true},
        {"\"Yamada, Taro\" <taro@x.jp>, b@y.jp", "Yamada, Taro|taro@x.jp| ; |b@y.jp|", true},
        {"\"a\\\"b\\\\c\" <q@x.jp>", "a\"b\\c|q@x.jp|", true},
        {"taro@x.jp (Taro (the) Yamada)", "Taro (the) Yamada|taro@x.jp|", true},
        {"(lead) Taro <taro@x.jp> (trail)", "Taro|taro@x.jp|", true},
        {"=?ISO-2022-JP?B?GyRCOzNFRBsoQg==?= <t@x.jp>",
         "=?ISO-2022-JP?B?GyRCOzNFRBsoQg==?=|t@x.jp|", true},
        {"\"john doe\"@x.jp", "|\"john doe\"@x.jp|", true},
        {"user@[192.0.2.1]", "|user@[192.0.2.1]|", true},
        {"", "", true},
        {"  \t ", "", true},
    };
    for (const Row& row : rows) Check(row);
}

TEST(ParseAddressList, ObsoleteFormsAreRead) {
    const Row rows[] = {
        {"a@x.jp,, ,b@y.jp,", "|a@x.jp| ; |b@y.jp|", true},
        {"<@relay.jp,@other.jp:user@x.jp>", "|user@x.jp|", true},
        {"John Q. Public <jqp@x.jp>", "John Q. Public|jqp@x.jp|", true},
        {"a . b @ x . jp", "|a.b@x.jp|", true},
        {"\"Joe\" \"Q\" <joe@x.jp>", "Joe Q|joe@x.jp|", true},
    };
    for (const Row& row : rows) Check(row);
}

TEST(ParseAddressList, BrokenAndHostileValuesAreRepairedAndReported) {
    const Row rows[] = {
        {"Taro <taro@x.jp", "Taro|taro@x.jp|", false},
        {"Taro <taro@x.jp, b@y.jp", "Taro|taro@x.jp| ; |b@y.jp|", false},
        {"\"unclosed <a@x.jp>", "|unclosed <a@x.jp>|", false},
        {"a@x.jp (unclosed", "unclosed|a@x.jp|", false},
        {"team: a@x.jp, b@y.jp", "|a@x.jp|team ; |b@y.jp|team", false},
        {"Taro taro@x.jp", "Taro|taro@x.jp|", false},
        {"localuser", "|localuser|", false},
        {"@x.jp", "|@x.jp|", false},
        {"a@", "|a@|", false},
        {">>>,;;;)))", "", false},
        {"a@x.jp junk, b@y.jp", "|a@x.jp| ; |b@y.jp|", false},
        {"<a@x.jp> <b@y.jp>", "|a@x.jp|", false},
        // Line breaks and other controls never reach an address (no SMTP command smuggling).
        {"a@x.jp\r\nRCPT TO:<evil@y.jp>", "|a@x.jp|", false},
    };
    for (const Row& row : rows) Check(row);
    // A NUL inside the value is a control character like any other.
    const AddressList nul = ParseAddressList(std::string("a@x.jp\0, b@y.jp", 15), Text::Bytes);
    EXPECT_EQ(Show(nul), "|a@x.jp| ; |b@y.jp|");
    EXPECT_FALSE(nul.problems.empty());
}

TEST(ParseAddressList, HugeNestingAndLengthStayLinear) {
    const auto start = std::chrono::steady_clock::now();
    const std::string deep = std::string(200000, '(') + "x" + std::string(200000, ')');
    // (Kept out of the messages: a failure must not print half a megabyte.)
    for (const std::string& value : {deep + " a@x.jp", "a@x.jp " + deep}) {
        const AddressList commented = ParseAddressList(value);
        ASSERT_EQ(commented.mailboxes.size(), 1u);
        EXPECT_EQ(commented.mailboxes[0].address, "a@x.jp");
        EXPECT_EQ(commented.mailboxes[0].name.size(), deep.size() - 2);  // the outer pair gone
        EXPECT_TRUE(commented.problems.empty());
    }
    EXPECT_TRUE(ParseAddressList(deep.substr(1)).mailboxes.empty());  // unbalanced: no address
    std::string many;
    for (int i = 0; i < 20000; ++i) many += "g" + std::to_string(i) + ": m@x.jp;, <a@b.c, ";
    const AddressList list = ParseAddressList(many);
    EXPECT_EQ(list.groups, 20000u);
    EXPECT_EQ(list.mailboxes.size(), 40000u);
    EXPECT_LT(list.problems.size(), 10u);  // each kind of repair is noted once
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(ParseAddressList, ShiftJisNamesKeepTheirSecondBytes) {
    // "ソ" ends in the byte of "\" and "表" too; "＠" ends in that of "@"... in Shift_JIS.
    const std::string name = S("ソフト表示");
    const AddressList list = ParseAddressList("\"" + name + "\" <s@x.jp>, " + S("山田 太郎") +
                                              " <t@x.jp>, (" + S("ソ") + ") u@x.jp");
    EXPECT_EQ(Show(list),
              name + "|s@x.jp| ; " + S("山田 太郎") + "|t@x.jp| ; " + S("ソ") + "|u@x.jp|");
    EXPECT_TRUE(list.problems.empty());
    // Read byte by byte, a name ending in that second byte loses its closing quote.
    EXPECT_FALSE(ParseAddressList("\"" + S("ソ") + "\" <s@x.jp>", Text::Bytes).problems.empty());
    EXPECT_TRUE(ParseAddressList("\"" + S("ソ") + "\" <s@x.jp>").problems.empty());
}

TEST(FormatAddressList, WritesWhatReadsBackTheSame) {
    for (const char* value : {
             "a@x.jp",
             "Taro Yamada <taro@x.jp>, b@y.jp",
             "\"Yamada, Taro\" <taro@x.jp>",
             "team: a@x.jp, \"B. b\" <b@y.jp>;, c@z.jp",
             "empty:;",
             "\"a\\\"b\" <q@x.jp>",
         }) {
        const AddressList list = ParseAddressList(value);
        const std::string written = FormatAddressList(list);
        EXPECT_EQ(written, value);
        EXPECT_EQ(Show(ParseAddressList(written)), Show(list)) << written;
    }
    // A Shift_JIS name is quoted only for a real special character, never for a second byte.
    EXPECT_EQ(FormatMailbox({S("ソフト"), "s@x.jp", ""}), S("ソフト") + " <s@x.jp>");
    EXPECT_EQ(FormatMailbox({S("山田, 太郎"), "t@x.jp", ""}),
              "\"" + S("山田, 太郎") + "\" <t@x.jp>");
    EXPECT_EQ(DeliverableAddresses("team: a@x.jp, b@y.jp;, local, c@z.jp"),
              (std::vector<std::string>{"a@x.jp", "b@y.jp", "c@z.jp"}));
}

}  // namespace
}  // namespace pelorin
