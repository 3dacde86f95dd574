// The search index and the query language over a packet the test writes: Japanese in every
// form the fuzzy dictionary folds, ASCII, charsets, HTML, dates, marks and areas, each query
// checked against a scan written here; updates after an append, a purge and a rewrite; a
// damaged index made anew; bad queries named.
#include "support/testing.h"

#include "coding/cp932.h"
#include "coding/jis.h"
#include "select/search_fold.h"
#include "select/search_run.h"
#include "store/soup.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <set>

namespace pelorin {
namespace {

using testing::RnewsFile;
using testing::TempDir;
using testing::WriteFile;

// A message of the test: what it says, as the reader sees it, and how it is stored.
struct Mail {
    std::string subject;  // UTF-8
    std::string from;
    std::string date;  // RFC 5322
    std::string body;  // UTF-8, as the reader sees it
    std::string stored;
};

// ISO-2022-JP mail, the way Japanese mail is stored.
Mail Jis(const std::string& subject,
         const std::string& from,
         const std::string& date,
         const std::string& body) {
    const std::string jisSubject = SjisToJis(cp932::FromUtf8(subject));
    std::string stored = "From: " + from + "\nSubject: " + jisSubject + "\nDate: " + date +
                         "\nMessage-ID: <" + std::to_string(std::hash<std::string>{}(subject)) +
                         "@test>\nMIME-Version: 1.0\nContent-Type: text/plain; "
                         "charset=ISO-2022-JP\n\n" +
                         SjisToJis(cp932::FromUtf8(body)) + "\n";
    return {subject, from, date, body, stored};
}

// Mail in another charset or as HTML: the body is stored as given, `shown` is what it reads.
Mail Other(const std::string& subject,
           const std::string& date,
           const std::string& type,
           const std::string& storedBody,
           const std::string& shown) {
    std::string stored = "From: someone@example.org\nSubject: " + subject + "\nDate: " + date +
                         "\nMIME-Version: 1.0\nContent-Type: " + type + "\n\n" + storedBody + "\n";
    return {subject, "someone@example.org", date, shown, stored};
}

// The scan the index is checked against, with its own folding of the characters these
// messages use: half-width kana to full-width, katakana to hiragana, small kana to large,
// full-width to ASCII, kanji numerals to digits, small ASCII letters.
std::u32string TestFold(const std::string& text) {
    std::string utf8 = text;
    for (const auto& [from, to] : std::vector<std::pair<std::string, std::string>>{
             {"ﾋﾟ", "ぴ"}, {"ｭ", "ゆ"}, {"ｰ", "ー"}, {"ｯ", "つ"}, {"ｶﾞ", "が"}}) {
        for (size_t at; (at = utf8.find(from)) != std::string::npos;)
            utf8.replace(at, from.size(), to);
    }
    std::u32string in;
    for (size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        const int n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        char32_t cp = n == 1 ? c : c & (0xFF >> (n + 1));
        for (int k = 1; k < n; ++k) cp = cp << 6 | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        in += cp;
        i += static_cast<size_t>(n);
    }
    static const std::u32string kanaHalf = U"ｱｲｳｴｵｶｷｸｹｺｻｼｽｾｿﾀﾁﾂﾃﾄﾅﾆﾇﾈﾉﾊﾋﾌﾍﾎﾏﾐﾑﾒﾓﾔﾕﾖﾗﾘﾙﾚﾛﾜｦﾝ";
    static const std::u32string kanaFull =
        U"あいうえおかきくけこさしすせそたちつてとなにぬねのはひふへほまみむめもやゆよらりるれろわ"
        U"をん";
    static const std::u32string numerals = U"〇一二三四五六七八九";
    std::u32string out;
    for (char32_t c : in) {
        if (c >= U'ァ' && c <= U'ヶ')
            c -= 0x60;
        if (size_t k = std::u32string_view(U"ぁぃぅぇぉっゃゅょ").find(c);
            k != std::u32string::npos)
            c = U"あいうえおつやゆよ"[k];
        else if (c >= U'！' && c <= U'～')
            c -= 0xFEE0;
        else if (size_t k = kanaHalf.find(c); k != std::u32string::npos)
            c = kanaFull[k];
        else if (size_t d = numerals.find(c); d != std::u32string::npos)
            c = U'0' + static_cast<char32_t>(d);
        if (c >= U'A' && c <= U'Z')
            c += 32;
        out += c;
    }
    return out;
}

bool Contains(const std::string& text, const std::string& word) {
    return TestFold(text).find(TestFold(word)) != std::u32string::npos;
}

class SearchTest : public ::testing::Test {
protected:
    TempDir dir;
    std::string packet = (dir / "packet").string() + "/";
    SearchIndex index{(dir / "index").string()};

    void SetUp() override { std::filesystem::create_directories(packet); }

    std::unique_ptr<TSoup> Open() {
        auto soup = std::make_unique<TSoup>(packet);
        soup->LoadAreas();
        return soup;
    }
    // Subjects of what a query finds, in the order found.
    std::vector<std::string> Find(TSoup& soup, const std::string& q) {
        index.Update(soup);
        std::vector<std::string> subjects;
        for (const FoundMessage& f : RunSearch(index, ParseSearchQuery(q), {&soup}))
            subjects.push_back(cp932::ToUtf8(f.msg->subject));
        return subjects;
    }
    static void Leave(TSoup& soup) {
        for (const auto& a : soup.areas) a->LeaveMessagesForExit();
    }
};

TEST_F(SearchTest, QueriesFindWhatAScanOfTheTextFinds) {
    const std::vector<Mail> news = {
        Jis("打ち合わせの資料", "yamada@example.jp", "Mon, 5 Jan 2026 10:00:00 +0900",
            "明日の打ち合わせの資料を送ります。第一会議室です。"),
        Jis("カタカナのメール", "sato@example.jp", "Tue, 10 Feb 2026 10:00:00 +0900",
            "コンピュータの話です。ＡＢＣ社の件。"),
        Jis("週報 2026", "yamada@example.jp", "Wed, 11 Mar 2026 10:00:00 +0900",
            "weekly report: 売上は１２３件でした。"),
        Jis("一般の話題", "tanaka@example.jp", "Thu, 1 Jan 2025 10:00:00 +0900",
            "1月の会議は中止です。"),
    };
    const std::vector<Mail> mail = {
        Other("=?UTF-8?B?"
              "44Kz44Oz44OU44Ol44O844K/"
              "?= half",
              "Fri, 6 Mar 2026 09:00:00 +0000", "text/plain; charset=UTF-8",
              "ｺﾝﾋﾟｭｰﾀ を半角で書きました", "ｺﾝﾋﾟｭｰﾀ を半角で書きました"),
        Other("Cafe menu", "Sat, 7 Mar 2026 09:00:00 +0000", "text/plain; charset=ISO-8859-1",
              "Caf\xE9 au lait and cr\xE8me", "Café au lait and crème"),
        Other("html only", "Sun, 8 Mar 2026 09:00:00 +0000", "text/html; charset=UTF-8",
              "<html><body><p>meeting <b>agenda</b></p><script>var "
              "secretword=1;</script></body></html>",
              "meeting agenda"),
    };
    std::vector<std::string> newsStored, mailStored;
    for (const Mail& m : news) newsStored.push_back(m.stored);
    for (const Mail& m : mail) mailStored.push_back(m.stored);
    WriteFile(packet + "AREAS", "0000001\tfj.test\tun\n0000002\tmailbox\tbn\n");
    WriteFile(packet + "0000001.MSG", RnewsFile(newsStored));
    WriteFile(packet + "0000002.MSG", pelorin::testing::BinaryFile(mailStored));

    auto soup = Open();
    // The subject "コンピュータ half" is decoded from its encoded word.
    std::vector<Mail> all = news;
    all.insert(all.end(), mail.begin(), mail.end());
    all[4].subject = "コンピュータ half";

    // Words: every message whose text holds each word (in any folded form) is found.
    for (const std::string q : {"打ち合わせ", "うちあわせ", "資料", "こんぴゅーた", "コンピュータ",
                                "ｺﾝﾋﾟｭｰﾀ", "abc", "ＡＢＣ", "123", "１２３", "weekly", "WEEKLY",
                                "café", "crème", "agenda", "会議", "1月", "一月", "売上 件"}) {
        SCOPED_TRACE(q);
        std::set<std::string> expected;
        for (const Mail& m : all) {
            const std::string text = m.subject + "\n" + m.from + "\n" + m.body;
            bool every = true;
            size_t from = 0;
            while (from <= q.size()) {
                size_t sp = q.find(' ', from);
                if (sp == std::string::npos)
                    sp = q.size();
                every = every && Contains(text, q.substr(from, sp - from));
                from = sp + 1;
            }
            if (every)
                expected.insert(m.subject);
        }
        const std::vector<std::string> got = Find(*soup, q);
        EXPECT_EQ(std::set<std::string>(got.begin(), got.end()), expected);
    }

    // Fields, dates, areas, negation, OR, marks, patterns, and the order: newest first.
    struct Row {
        const char* query;
        std::vector<std::string> subjects;
    };
    soup->FindArea("fj.test")->Prepare();
    soup->FindArea("fj.test")->messages[0]->mark = '-';
    const Row rows[] = {
        {"from:yamada", {"週報 2026", "打ち合わせの資料"}},
        {"subject:資料", {"打ち合わせの資料"}},
        {"subject:会議", {}},  // only in the body
        {"date:2026-03", {"週報 2026", "html only", "Cafe menu", "コンピュータ half"}},
        {"date:..2025", {"一般の話題"}},
        {"date:2026-01..2026-02", {"カタカナのメール", "打ち合わせの資料"}},
        {"area:mailbox date:2026-03-07", {"Cafe menu"}},
        {"会議 -中止", {"打ち合わせの資料"}},
        {"secretword", {}},  // script is no text
        {"\"meeting agenda\"", {"html only"}},
        {"\"agenda meeting\"", {}},
        {"weekly OR café", {"週報 2026", "Cafe menu"}},
        {"mark:-", {"打ち合わせの資料"}},
        {"mark:* from:yamada", {"週報 2026"}},
        {"/売上は[0-9１-９]+件/", {"週報 2026"}},
        {"area:fj.test /会議/", {"打ち合わせの資料", "一般の話題"}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.query);
        EXPECT_EQ(Find(*soup, r.query), r.subjects);
    }
    Leave(*soup);
}

TEST_F(SearchTest, TheIndexFollowsAppendsPurgesAndRewritesAndIsMadeAnewWhenDamaged) {
    auto msg = [](int n, const std::string& word) {
        return Jis("記事" + std::to_string(n), "a@example.jp",
                   std::to_string(n) + " Jan 2026 10:00:00 +0900", word + "の本文")
            .stored;
    };
    WriteFile(packet + "AREAS", "0000001\tfj.test\tun\n");
    WriteFile(packet + "0000001.MSG", RnewsFile({msg(1, "りんご"), msg(2, "みかん")}));
    {
        auto soup = Open();
        EXPECT_EQ(Find(*soup, "りんご").size(), 1u);
        EXPECT_EQ(index.Update(*soup), 0);  // nothing changed
        Leave(*soup);
    }
    // Appended by a fetch: only the new message is read.
    {
        std::ofstream out(packet + "0000001.MSG", std::ios::app | std::ios::binary);
        out << RnewsFile({msg(3, "りんご")});
    }
    {
        auto soup = Open();
        EXPECT_EQ(index.Update(*soup), 1);
        EXPECT_EQ(Find(*soup, "りんご"), (std::vector<std::string>{"記事3", "記事1"}));
        // Purged: the window removes message 1 and rewrites the area.
        TGrp* area = soup->FindArea("fj.test");
        area->Prepare();
        area->messages[0]->mark = '-';
        area->marksChanged = true;
        ASSERT_EQ(area->Rewrite(true), ReplaceResult::Ok);
        EXPECT_EQ(Find(*soup, "りんご"), (std::vector<std::string>{"記事3"}));
        EXPECT_EQ(index.Count(), 2);
    }
    // Damaged: made anew from the packet, never trusted.
    for (const auto& e : std::filesystem::directory_iterator(dir / "index"))
        if (e.is_regular_file())
            WriteFile(e.path(), "not an index");
    {
        SearchIndex again((dir / "index").string());
        auto soup = Open();
        EXPECT_EQ(again.Update(*soup), 2);
        EXPECT_EQ(again.Count(), 2);
        Leave(*soup);
    }
}

TEST(SearchQuery, BadQueriesAreNamedWithTheirPlace) {
    struct Bad {
        const char* query;
        const char* says;
        size_t at;
    };
    const Bad bad[] = {
        {"\"open phrase", "not closed", 0},
        {"a OR", "OR needs", 4},
        {"OR a", "OR needs", 0},
        {"date:2026-13", "is not", 5},
        {"date:2026-02-30", "is not", 5},
        {"date:2026..2025", "ends before", 5},
        {"mark:x", "mark:", 5},
        {"has:pictures", "has:", 4},
        {"/open", "not closed", 0},
        {"/a/ /b/", "only one", 4},
        {"from:", "needs a word", 5},
    };
    for (const Bad& b : bad) {
        SCOPED_TRACE(b.query);
        try {
            ParseSearchQuery(b.query);
            ADD_FAILURE() << "accepted";
        } catch (const SearchQueryError& e) {
            EXPECT_NE(e.message.find(b.says), std::string::npos) << e.message;
            EXPECT_EQ(e.position, b.at);
        }
    }
    const SearchQuery q = ParseSearchQuery("ＡＢＣ　-\"x y\" from:Ｙａｍａｄａ a OR b date:2026");
    ASSERT_EQ(q.clauses.size(), 4u);
    EXPECT_EQ(q.clauses[0][0].text, "abc");
    EXPECT_TRUE(q.clauses[1][0].negated && q.clauses[1][0].phrase);
    EXPECT_EQ(q.clauses[2][0].field, SearchTerm::Field::From);
    EXPECT_EQ(q.clauses[2][0].text, "yamada");
    EXPECT_EQ(q.clauses[3].size(), 2u);
    EXPECT_EQ(q.dateFrom, "2026");
    EXPECT_EQ(q.dateTo, "2026~");
}

TEST(SearchFold, EveryFormOfAGroupFoldsToOne) {
    EXPECT_EQ(FoldForSearch("カタカナ"), FoldForSearch("かたかな"));
    EXPECT_EQ(FoldForSearch("ｶﾞｯｺｳ"), FoldForSearch("がっこう"));
    EXPECT_EQ(FoldForSearch("か゛"), FoldForSearch("が"));
    EXPECT_EQ(FoldForSearch("一①１"), "111");
    EXPECT_EQ(FoldForSearch("ＡbＣ"), "abc");
    EXPECT_EQ(FoldForSearch("漢字 stays\xFF"), "漢字 stays\xFF");
}

}  // namespace
}  // namespace pelorin
