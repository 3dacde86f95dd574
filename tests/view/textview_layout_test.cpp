// The text view's rules without a widget: TAB expansion and its byte map, quote and page-break
// lines, clickable items in Japanese text, selection text, screen pages and printed pages.
#include "view/textview_layout.h"

#include "support/testing.h"

#include "view/textview_paging.h"

#include <QTest>

#include <random>
#include <set>

using pelorin::testing::S;
using pelorin::testing::U;
namespace tv = pelorin::textview;

namespace {

QString Show(const std::string& sjis) {
    return QString::fromStdString(U(sjis));
}

std::string Describe(const std::vector<tv::Clickable>& items) {
    std::string out;
    for (const tv::Clickable& item : items)
        out += "[" + std::to_string(item.line) + ":" + std::to_string(item.offset) + " " +
               U(item.text) + "]";
    return out;
}

std::function<bool(int)> BreaksAt(std::set<int> lines) {
    return [lines](int i) { return lines.count(i) != 0; };
}

}  // namespace

class TextViewLayoutTest : public QObject {
    Q_OBJECT

private slots:
    void expandsTabsToStops() {
        QCOMPARE(tv::ExpandTabs("\tx", 4), std::string("    x"));
        QCOMPARE(tv::ExpandTabs("abc\tx", 4), std::string("abc x"));
        QCOMPARE(tv::ExpandTabs("abcd\tx", 4), std::string("abcd    x"));
        QCOMPARE(tv::ExpandTabs("a\t\tb", 4), std::string("a       b"));
        QCOMPARE(tv::ExpandTabs("a\tb", 8), std::string("a       b"));
        // A double-byte character takes two columns.
        QCOMPARE(tv::ExpandTabs(S("あ\tい"), 4), S("あ  い"));
        QCOMPARE(tv::ExpandTabs("no tabs", 4), std::string("no tabs"));
        // Out-of-range widths: below 1 is 1 (one space per TAB), above the limit is the limit.
        QCOMPARE(tv::ExpandTabs("ab\t\tc", 0), std::string("ab  c"));
        QCOMPARE(tv::ExpandTabs("ab\t\tc", -5), std::string("ab  c"));
        QCOMPARE(tv::ExpandTabs("\t", 1000000).size(), std::size_t(tv::kMaxTabCount));
    }

    void mapsStoredBytesToExpandedBytes() {
        const tv::ExpandedLine line = tv::ExpandTabsMapped("ab\tc", 4);
        QCOMPARE(line.text, std::string("ab  c"));
        QCOMPARE(line.offset, (std::vector<std::size_t>{0, 1, 2, 4, 5}));
        const tv::ExpandedLine empty = tv::ExpandTabsMapped("", 4);
        QCOMPARE(empty.offset, (std::vector<std::size_t>{0}));
    }

    void stepsOverWholeCharacters() {
        const std::string line = "a" + S("あ") + "b";
        QCOMPARE(tv::CharLength(line, 0), std::size_t(1));
        QCOMPARE(tv::CharLength(line, 1), std::size_t(2));
        QCOMPARE(tv::CharLength(line, 4), std::size_t(0));
        QCOMPARE(tv::CharBoundaryAtOrBefore(line, 2), std::size_t(1));
        QCOMPARE(tv::CharBoundaryAtOrBefore(line, 3), std::size_t(3));
        QCOMPARE(tv::CharBoundaryAtOrBefore(line, 99), std::size_t(4));
        // A lead byte at the end, or before a byte that cannot follow it, stands alone.
        const std::string lead = S("あ").substr(0, 1);
        QCOMPARE(tv::CharLength(lead, 0), std::size_t(1));
        QCOMPARE(tv::CharLength(lead + " ", 0), std::size_t(1));
    }

    void detectsQuoteLines() {
        const std::string quoting = S(">＞");
        QVERIFY(tv::IsQuoteLine("> quoted", quoting));
        QVERIFY(tv::IsQuoteLine("  \t>indented", quoting));
        QVERIFY(tv::IsQuoteLine(S("＞全角"), quoting));
        QVERIFY(tv::IsQuoteLine(S("  ＞全角"), quoting));
        QVERIFY(!tv::IsQuoteLine("plain > text", quoting));
        QVERIFY(!tv::IsQuoteLine("", quoting));
        QVERIFY(!tv::IsQuoteLine(" \t ", quoting));
        // The full-width space is a character, not indentation.
        QVERIFY(!tv::IsQuoteLine(S("　＞"), quoting));
        // Whole characters are compared: "＞" shares its lead byte with "＜".
        QVERIFY(!tv::IsQuoteLine(S("＜"), quoting));
        QVERIFY(!tv::IsQuoteLine(S("あ").substr(0, 1), quoting));
        QVERIFY(tv::IsQuoteLine("| bar", "|#"));
    }

    void detectsPageBreakLines() {
        QVERIFY(tv::IsPageBreakLine("\f", '\f'));
        QVERIFY(tv::IsPageBreakLine("\fnext", '\f'));
        QVERIFY(!tv::IsPageBreakLine(" \f", '\f'));
        QVERIFY(!tv::IsPageBreakLine("", '\f'));
        QVERIFY(tv::IsPageBreakLine("--", '-'));
    }

    void findsClickables_data() {
        QTest::addColumn<QString>("line");  // UTF-8 text, converted to Shift_JIS
        QTest::addColumn<QString>("items");

        QTest::newRow("url with query")
            << QStringLiteral("see http://example.com/a/b.html?q=1&r=%E3%81%82 now")
            << QStringLiteral("[7:4 http://example.com/a/b.html?q=1&r=%E3%81%82]");
        QTest::newRow("url with fragment and sub-delims")
            << QStringLiteral("https://w.jp/wiki/A_(b)?x=1;y=2,3#sec-4!*'+$ x")
            << QStringLiteral("[7:0 https://w.jp/wiki/A_(b)?x=1;y=2,3#sec-4!*'+$]");
        QTest::newRow("url ends before sentence punctuation")
            << QStringLiteral("見て(http://a.jp/x?y=1).")
            << QStringLiteral("[7:5 http://a.jp/x?y=1]");
        QTest::newRow("url before a full stop and a question mark")
            << QStringLiteral("Is it http://a.jp/p?q=z?")
            << QStringLiteral("[7:6 http://a.jp/p?q=z]");
        QTest::newRow("url with ipv6 host")
            << QStringLiteral("http://[::1]:80/. ") << QStringLiteral("[7:0 http://[::1]:80/]");
        QTest::newRow("url ends at blank, quote, bracket")
            << QStringLiteral("<http://a.jp/\"x> ") << QStringLiteral("[7:1 http://a.jp/]");
        QTest::newRow("https") << QStringLiteral("https://x.example.jp:8080/~u/")
                               << QStringLiteral("[7:0 https://x.example.jp:8080/~u/]");
        QTest::newRow("url between kanji") << QStringLiteral("詳細はhttp://a.jp/x_y-zを参照")
                                           << QStringLiteral("[7:6 http://a.jp/x_y-z]");
        QTest::newRow("only the first url") << QStringLiteral("http://a.jp/p&x http://b")
                                            << QStringLiteral("[7:0 http://a.jp/p&x]");
        QTest::newRow("earlier of the two schemes") << QStringLiteral("https://s.jp/ http://p.jp/")
                                                    << QStringLiteral("[7:0 https://s.jp/]");
        QTest::newRow("scheme is case-sensitive") << QStringLiteral("HTTP://A.JP/") << QString();
        // "Ｉ" is 0x82 0x68: its second byte is "h", but no URL starts inside a character.
        QTest::newRow("trail byte h") << QStringLiteral("Ｉttp://x.jp/") << QString();
        QTest::newRow("bracketed address") << QStringLiteral("From: Foo <foo.bar@example.co.jp>")
                                           << QStringLiteral("[7:10 <foo.bar@example.co.jp>]");
        QTest::newRow("message id with $") << QStringLiteral("<1$2_3-4@news.example>")
                                           << QStringLiteral("[7:0 <1$2_3-4@news.example>]");
        QTest::newRow("kanji around brackets")
            << QStringLiteral("参照<abc@def.jp>です") << QStringLiteral("[7:4 <abc@def.jp>]");
        // "　" is 0x81 0x40: its second byte is "@"; the first real "@" comes later.
        QTest::newRow("trail byte at-sign")
            << QStringLiteral("　<a@b.jp>") << QStringLiteral("[7:2 <a@b.jp>]");
        QTest::newRow("no brackets") << QStringLiteral("mail foo@example.jp") << QString();
        QTest::newRow("plus in local part")
            << QStringLiteral("To: <a+b@example.jp>") << QStringLiteral("[7:4 <a+b@example.jp>]");
        QTest::newRow("atext in local part") << QStringLiteral("<o'h=x/y{z}~!@example.jp>")
                                             << QStringLiteral("[7:0 <o'h=x/y{z}~!@example.jp>]");
        QTest::newRow("plus in the domain") << QStringLiteral("<a@exa+mple.jp>") << QString();
        QTest::newRow("no closing bracket") << QStringLiteral("<a@example.jp") << QString();
        QTest::newRow("at-sign first") << QStringLiteral("@x.jp>") << QString();
        QTest::newRow("only the first at-sign counts") << QStringLiteral("a@b <c@d>") << QString();
        QTest::newRow("url and address") << QStringLiteral("<id@x.jp> http://x.jp/")
                                         << QStringLiteral("[7:10 http://x.jp/][7:0 <id@x.jp>]");
        QTest::newRow("empty") << QString() << QString();
    }

    void findsClickables() {
        QFETCH(QString, line);
        QFETCH(QString, items);
        const std::string sjis = S(line.toStdString());
        QCOMPARE(QString::fromStdString(Describe(tv::ScanClickables(sjis, 7))), items);
    }

    void clickablesHaveNoLimitsOnPositions() {
        const std::string line = std::string(20000, ' ') + "<m@x.jp>";
        const std::vector<tv::Clickable> items = tv::ScanClickables(line, 123456);
        QCOMPARE(items.size(), std::size_t(1));
        QCOMPARE(items[0].line, 123456);
        QCOMPARE(items[0].offset, std::size_t(20000));
        QCOMPARE(items[0].End(), line.size());
    }

    void randomLinesKeepTheInvariants() {
        // Lines built from the bytes the scanners care about, double-byte characters whose
        // second byte is "@" ("　") or "h" ("Ｉ"), and their lead bytes alone.
        const std::string wide = S("　Ｉ");
        const std::string alphabet = std::string("http:/s<>@a.-+?\t ") + wide;
        std::mt19937 random(8);
        for (int round = 0; round < 3000; ++round) {
            std::string line;
            const int length = static_cast<int>(random() % 40);
            for (int i = 0; i < length; ++i) line += alphabet[random() % alphabet.size()];
            std::set<std::size_t> boundaries;
            for (std::size_t i = 0; i <= line.size();
                 i += std::max<std::size_t>(1, tv::CharLength(line, i)))
                boundaries.insert(i);
            for (const tv::Clickable& item : tv::ScanClickables(line, round)) {
                QVERIFY(boundaries.count(item.offset));
                QVERIFY(boundaries.count(item.End()));
                QCOMPARE(line.substr(item.offset, item.text.size()), item.text);
                QVERIFY(item.text.rfind("http", 0) == 0 || item.text.front() == '<');
            }
            const tv::ExpandedLine expanded = tv::ExpandTabsMapped(line, 4);
            QCOMPARE(expanded.offset.size(), line.size() + 1);
            QVERIFY(expanded.text.find('\t') == std::string::npos);
            for (std::size_t b = 0; b < line.size(); ++b) {
                const std::size_t width = expanded.offset[b + 1] - expanded.offset[b];
                QVERIFY(line[b] == '\t' ? width >= 1 && width <= 4 : width == 1);
            }
            const std::size_t a = random() % (line.size() + 2);
            const std::size_t b = random() % (line.size() + 2);
            const std::string picked = tv::SelectedText({line}, {0, a}, {0, b});
            const std::size_t from = tv::CharBoundaryAtOrBefore(line, a);
            QVERIFY(boundaries.count(from));
            QVERIFY(picked.empty() || (line.substr(from, picked.size()) == picked &&
                                       boundaries.count(from + picked.size())));
        }
    }

    void selectsTextAcrossLines() {
        const std::vector<std::string> lines = {"zero", S("あいうえお"), S("かきくけこ"), "xyz"};
        using P = tv::TextPos;
        QCOMPARE(Show(tv::SelectedText(lines, P{1, 2}, P{1, 6})), QStringLiteral("いう"));
        QCOMPARE(Show(tv::SelectedText(lines, P{1, 2}, P{3, 2})),
                 QStringLiteral("いうえお\r\nかきくけこ\r\nxy"));
        QCOMPARE(Show(tv::SelectedText(lines, P{1, 4}, P{2, 6})),
                 QStringLiteral("うえお\r\nかきく"));
        // Upward, backward on one line, or starting below the text: nothing.
        QCOMPARE(tv::SelectedText(lines, P{2, 2}, P{1, 6}), std::string());
        QCOMPARE(tv::SelectedText(lines, P{1, 6}, P{1, 2}), std::string());
        QCOMPARE(tv::SelectedText(lines, P{1, 6}, P{1, 6}), std::string());
        QCOMPARE(tv::SelectedText(lines, P{4, 0}, P{4, 0}), std::string());
        // An end below the text stands for the end of the text.
        QCOMPARE(Show(tv::SelectedText(lines, P{2, 8}, P{4, 0})), QStringLiteral("こ\r\nxyz"));
        // Counts inside a character never split it.
        QCOMPARE(Show(tv::SelectedText(lines, P{1, 3}, P{1, 5})), QStringLiteral("い"));
        QCOMPARE(Show(tv::SelectedText(lines, P{1, 0}, P{1, 99})), QStringLiteral("あいうえお"));
        QCOMPARE(tv::SelectedText({}, P{0, 0}, P{0, 5}), std::string());
    }

    void pagesPlainText() {
        const auto none = BreaksAt({});
        // No text: nothing drawn and already at the end.
        QCOMPARE(tv::ComputePage(0, 0, 10, none), (tv::PageLayout{0, 0, 0, 0, 0, true}));
        // Exactly one page: not the end yet; one more page shows nothing and is the end.
        QCOMPARE(tv::ComputePage(10, 0, 10, none), (tv::PageLayout{0, 10, 10, 10, 0, false}));
        QCOMPARE(tv::ComputePage(10, 10, 10, none), (tv::PageLayout{10, 0, 0, 10, 0, true}));
        // One line more: drawn cut off below the page, not counted as visible.
        QCOMPARE(tv::ComputePage(11, 0, 10, none), (tv::PageLayout{0, 11, 10, 10, 0, false}));
        QCOMPARE(tv::ComputePage(11, 10, 10, none), (tv::PageLayout{10, 1, 1, 11, 0, true}));
        // Going up: one page and one line, never above line 0.
        QCOMPARE(tv::ComputePage(100, 50, 10, none).prev_page_top, 39);
        QCOMPARE(tv::ComputePage(100, 5, 10, none).prev_page_top, 0);
        // A top past the text is clamped; a view without a full row still pages by one.
        QCOMPARE(tv::ComputePage(5, 99, 10, none).top, 5);
        QCOMPARE(tv::ComputePage(5, 0, 0, none), (tv::PageLayout{0, 2, 1, 1, 0, false}));
    }

    void pagesStopAtPageBreaks() {
        // Form feeds at lines 5 and 12 of 40, ten rows a page.
        const auto breaks = BreaksAt({5, 12});
        QCOMPARE(tv::ComputePage(40, 0, 10, breaks), (tv::PageLayout{0, 6, 6, 6, 0, false}));
        QCOMPARE(tv::ComputePage(40, 6, 10, breaks), (tv::PageLayout{6, 7, 7, 13, 0, false}));
        // From 13 one step up goes just past the form feed at 5 (12 is the one ending the
        // page above and is not looked at).
        QCOMPARE(tv::ComputePage(40, 13, 10, breaks).prev_page_top, 6);
        // From 20 the form feed at 12 is within reach.
        QCOMPARE(tv::ComputePage(40, 20, 10, breaks).prev_page_top, 13);
        // Out of reach: one page and one line up.
        QCOMPARE(tv::ComputePage(40, 30, 10, breaks).prev_page_top, 19);
        // A form feed as the last line ends its page without being the end of the text.
        const auto last = BreaksAt({2});
        QCOMPARE(tv::ComputePage(3, 0, 10, last), (tv::PageLayout{0, 3, 3, 3, 0, false}));
        QCOMPARE(tv::ComputePage(3, 3, 10, last).at_end, true);
        // A form feed in the cut-off row stops nothing that was visible.
        QCOMPARE(tv::ComputePage(40, 0, 10, BreaksAt({10})),
                 (tv::PageLayout{0, 11, 10, 10, 0, false}));
    }

    void plansPrintedPages() {
        tv::PrintGeometry g;
        g.page_width = 1000;
        g.page_height = 1000;
        g.line_height = 50;
        g.left = g.top = g.right = g.bottom = 100;

        // No header: the body starts at the top margin, no rule. Room for lines at
        // 100, 150, ..., 850 (the next would reach 950 > 900).
        std::vector<tv::PrintPage> pages = tv::PlanPrint(16, 0, 0, g);
        QCOMPARE(pages.size(), std::size_t(1));
        QVERIFY(pages[0].header_y.empty());
        QCOMPARE(pages[0].rule_y, -1);
        QCOMPARE(pages[0].line_y.front(), 100);
        QCOMPARE(pages[0].line_y.back(), 850);

        // Three left headers and one right: three rows, the rule half a line below them and
        // one empty line before the body. 12 lines fill the page exactly; the 13th starts a
        // new page with the header again.
        pages = tv::PlanPrint(13, 3, 1, g);
        QCOMPARE(pages.size(), std::size_t(2));
        QCOMPARE(pages[0].header_y, (std::vector<int>{100, 150, 200}));
        QCOMPARE(pages[0].rule_y, 275);
        QCOMPARE(pages[0].line_y.front(), 300);
        QCOMPARE(pages[0].line_y.size(), std::size_t(12));
        QCOMPARE(pages[0].line_y.back(), 850);
        QCOMPARE(pages[1].first_line, 12);
        QCOMPARE(pages[1].header_y.size(), std::size_t(3));
        QCOMPARE(pages[1].line_y, (std::vector<int>{300}));

        // Header rows stop once they pass half the page.
        pages = tv::PlanPrint(1, 40, 0, g);
        QCOMPARE(pages[0].header_y.back(), 500);
        QCOMPARE(pages[0].header_y.size(), std::size_t(9));

        // An empty text still prints its header page.
        pages = tv::PlanPrint(0, 1, 0, g);
        QCOMPARE(pages.size(), std::size_t(1));
        QVERIFY(pages[0].line_y.empty());

        // Lines taller than the page: one per page, no blank pages in between.
        g.line_height = 2000;
        pages = tv::PlanPrint(3, 1, 0, g);
        QCOMPARE(pages.size(), std::size_t(3));
        for (const tv::PrintPage& page : pages) QCOMPARE(page.line_y.size(), std::size_t(1));
    }
};

QTEST_GUILESS_MAIN(TextViewLayoutTest)
#include "textview_layout_test.moc"
