// The rules under the reading commands, without a window: key names and the [KeyBind] lookup
// order with focus contexts, binding values and their arguments, the display history, where
// the area moves go, and the tab captions and newsgroup matching of the display pipeline.
#include "support/testing.h"

#include "coding/mime.h"
#include "store/inifile.h"

#include "app/display_pipeline.h"
#include "app/history.h"
#include "app/key_bindings.h"
#include "app/navigation.h"

#include <QTest>
#include <QTreeWidgetItem>

using namespace pelorin;
using namespace pelorin::testing;

class ReadingRulesTest : public QObject {
    Q_OBJECT

private slots:
    void keyNamesFollowTheTable() {
        QCOMPARE(KeyName(VirtualKeyOf(Qt::Key_N), false, true, true), std::string("CS_N"));
        QCOMPARE(KeyName(VirtualKeyOf(Qt::Key_Space), false, false, false), std::string("_<SPC>"));
        QCOMPARE(KeyName(VirtualKeyOf(Qt::Key_Left), true, true, true), std::string("ACS_<LEFT>"));
        QCOMPARE(KeyName(VirtualKeyOf(Qt::Key_F12), false, false, false), std::string("_<F12>"));
        QCOMPARE(KeyName(VirtualKeyOf(Qt::Key_Enter), false, false, false), std::string("_<RET>"));
        QCOMPARE(KeyName(VirtualKeyOf(Qt::Key_7), false, false, true), std::string("S_7"));
        // Keys outside the table have no name.
        QCOMPARE(KeyName(VirtualKeyOf(Qt::Key_Tab), false, false, false), std::string());
        QCOMPARE(KeyName(VirtualKeyOf(Qt::Key_F13), false, false, false), std::string());
        QCOMPARE(MouseKeyName(MouseButton::Right, true, false, true), std::string("AS_<RBUTTON>"));
    }

    void lookupTriesTheContextThenTheTextViewThenTheBareName() {
        TempDir temp;
        TIniF ini((temp / "keys.INI").string());
        ini.WriteString("KeyBind", "CS_N", "NextMessage");
        ini.WriteString("KeyBind", "CS_N@s", "PrevMessage");
        ini.WriteString("KeyBind", "_N", "ShowNextMessage");
        ini.WriteString("KeyBind", "_N@b", "NextPart");
        ini.WriteString("KeyBind", "_P@t", "");  // empty: unbound
        ini.WriteString("KeyBind", "_P", "ShowPrevMessage");
        QCOMPARE(LookupBinding(ini, "CS_N", kContextList), std::string("PrevMessage"));
        QCOMPARE(LookupBinding(ini, "CS_N", kContextAreas), std::string("NextMessage"));
        QCOMPARE(LookupBinding(ini, "CS_N", kNoContext), std::string("NextMessage"));
        QCOMPARE(LookupBinding(ini, "_N", kContextTab), std::string("NextPart"));
        QCOMPARE(LookupBinding(ini, "_N", kContextList), std::string("ShowNextMessage"));
        QCOMPARE(LookupBinding(ini, "_P", kContextTab), std::string("ShowPrevMessage"));
        QCOMPARE(LookupBinding(ini, "_X", kContextTab), std::string());
        QCOMPARE(LookupBinding(ini, "", kContextTab), std::string());
        // Looking up writes nothing.
        QVERIFY(!ini.KeyExists("KeyBind", "_X@t"));
    }

    void bindingValuesAndArguments() {
        TBinding b = ParseBinding("MarkAll( ,*)");
        QCOMPARE(b.name, std::string("MarkAll"));
        QCOMPARE(b.FirstOf(0), ' ');
        QCOMPARE(b.FirstOf(1), '*');
        QCOMPARE(b.FirstOf(2), '\0');
        b = ParseBinding("ExecSubCommand(my command, two)");
        QCOMPARE(b.argText, std::string("my command, two"));
        // Without its closing parenthesis the last character is lost.
        b = ParseBinding("HScroll(120");
        QCOMPARE(b.Number(), 12);
        b = ParseBinding("BorderMove(010,-5)");
        QCOMPARE(b.NumberOf(0), 10);
        QCOMPARE(b.NumberOf(1), -5);
        b = ParseBinding("A(1,2,3,4,5,6,7,8,9,10,11)");
        QCOMPARE(b.args[9], std::string("10"));
        b = ParseBinding("NextUnreadPage");
        QCOMPARE(b.name, std::string("NextUnreadPage"));
        QCOMPARE(b.First(), '\0');
        QCOMPARE(BindingInteger("abc"), 0);
        QCOMPARE(BindingInteger("12x"), 0);
        QCOMPARE(BindingInteger(" 7 "), 7);
        QCOMPARE(BindingInteger("99999999999"), 0);
        QCOMPARE(ParseBinding("X()").argText, std::string());
        QCOMPARE(ParseBinding("X(").argText, std::string());
    }

    void executeRunsNamedFunctionsOnly() {
        TKeyBindings bindings;
        std::string seen;
        bool busyInside = false;
        bindings.Define("MarkAll", [&](const TBinding& b) {
            seen = b.args[0] + "|" + b.args[1];
            busyInside = bindings.Executing();
            // A binding run from inside another is ignored.
            QVERIFY(!bindings.ExecuteBinding("MarkAll(a,b)"));
        });
        QVERIFY(bindings.ExecuteBinding("MarkAll( ,*)"));
        QCOMPARE(seen, std::string(" |*"));
        QVERIFY(busyInside);
        QVERIFY(!bindings.Executing());
        QVERIFY(!bindings.ExecuteBinding("markall( ,*)"));  // names are compared exactly
        QVERIFY(!bindings.ExecuteBinding(""));
    }

    void historyBackTruncatesAndIgnoresRepeats() {
        QTreeWidgetItem a, b;
        THistory h;
        QVERIFY(!h.Back());
        h.Push("<A>", &a);
        h.Push("<A>", &a);  // the same message twice: one entry
        QCOMPARE(h.Count(), 1);
        h.Push("<B>", &a);
        h.Push("<C>", &b);
        QVERIFY(h.CanGoBack());
        QVERIFY(!h.CanGoForward());
        const THistory::Entry* e = h.Back();
        QCOMPARE(e->messageId, std::string("<B>"));
        h.Push("<B>", &a);  // showing B again adds nothing and keeps C ahead
        QCOMPARE(h.Count(), 3);
        QVERIFY(h.CanGoForward());
        h.Push("<D>", &a);  // D truncates C
        QCOMPARE(h.Count(), 3);
        QCOMPARE(h.Entries().back().messageId, std::string("<D>"));
        QVERIFY(!h.Forward());
        // Entries of removed nodes are forgotten; the position stays on a surviving entry.
        h.Push("<E>", &b);
        h.Back();
        h.Back();  // at B
        h.ForgetNodes([&](const QTreeWidgetItem* n) { return n == &a; });
        QCOMPARE(h.Count(), 1);
        QCOMPARE(h.Entries()[0].messageId, std::string("<E>"));
        QCOMPARE(h.Position(), 0);
    }

    void areaMovesStayInTheirPacket() {
        const TreeShape shape = {3, 2};
        std::vector<std::pair<int, int>> withMark = {{0, 2}, {1, 1}};
        auto has = [&](int p, int a) {
            return std::find(withMark.begin(), withMark.end(), std::pair(p, a)) != withMark.end();
        };
        QCOMPARE(NextAreaWithMarkPos(shape, std::nullopt, has), std::optional(TreePos{0, -1}));
        QCOMPARE(NextAreaWithMarkPos(shape, TreePos{0, -1}, has), std::optional(TreePos{0, 2}));
        QCOMPARE(NextAreaWithMarkPos(shape, TreePos{0, 0}, has), std::optional(TreePos{0, 2}));
        // After the packet's last such area: nothing, never the next packet's area.
        QCOMPARE(NextAreaWithMarkPos(shape, TreePos{0, 2}, has), std::nullopt);
        QCOMPARE(NextAreaWithMarkPos({}, std::nullopt, has), std::nullopt);

        QCOMPARE(NextAreaPos(shape, std::nullopt), std::optional(TreePos{0, -1}));
        QCOMPARE(NextAreaPos(shape, TreePos{0, -1}), std::optional(TreePos{0, 0}));
        QCOMPARE(NextAreaPos(shape, TreePos{0, 2}), std::optional(TreePos{1, -1}));
        QCOMPARE(NextAreaPos(shape, TreePos{1, 1}), std::nullopt);  // the last area stays
        QCOMPARE(PrevAreaPos(shape, std::nullopt), std::optional(TreePos{1, 1}));
        QCOMPARE(PrevAreaPos(shape, TreePos{1, -1}), std::optional(TreePos{0, 2}));
        QCOMPARE(PrevAreaPos(shape, TreePos{1, 0}), std::optional(TreePos{0, -1}));
        QCOMPARE(PrevAreaPos(shape, TreePos{0, 0}), std::nullopt);
        QCOMPARE(PrevAreaPos(shape, TreePos{0, -1}), std::nullopt);

        const std::string marks = " * -*";
        auto at = [&](int r) { return marks[static_cast<size_t>(r)]; };
        QCOMPARE(FindMarkedRow(5, 0, '*', at), 1);
        QCOMPARE(FindMarkedRow(5, 2, '*', at), 4);
        QCOMPARE(FindMarkedRow(5, 5, '*', at), -1);
        QCOMPARE(FindMarkedRow(5, -1, ' ', at), 0);
    }

    void tabCaptionsForOneAndThreeParts() {
        TMIMEc single;
        single.Parse({"Subject: x", "", "body"});
        std::vector<TMIMEPart*> parts = DisplayParts(single.Root);
        QCOMPARE(TabCaptions("Hello", parts), std::vector<std::string>{"Hello"});

        TMIMEc multi;
        multi.Parse({"MIME-Version: 1.0", "Content-Type: multipart/mixed; boundary=\"b\"", "",
                     "--b", "Content-Type: text/plain", "", "one", "--b", "Content-Type: text/html",
                     "", "<p>two</p>", "--b", "Content-Type: image/gif; name=\"p.gif\"",
                     "Content-Transfer-Encoding: base64", "", "R0lGOD==", "--b--"});
        parts = DisplayParts(multi.Root);
        QCOMPARE(parts.size(), size_t(3));
        const std::vector<std::string> captions = TabCaptions("Hello", parts);
        QCOMPARE(captions[0], std::string("Hello(text/plain)"));
        QCOMPARE(captions[1], std::string("(text/html)"));
        QCOMPARE(captions[2], std::string("(image/gif):p.gif"));

        const TSList lines = PartLines(true, {"H: 1"}, *parts[0]);
        QCOMPARE(lines, (TSList{"H: 1", "", "one"}));
        QCOMPARE(PartLines(false, {"H: 1"}, *parts[0]), (TSList{"", "one"}));
    }

    void newsgroupsAreMatchedWhole() {
        QVERIFY(NamesNewsgroup("fj.test,fj.misc", "fj.misc"));
        QVERIFY(NamesNewsgroup("fj.test, fj.misc", "fj.misc"));
        QVERIFY(NamesNewsgroup("fj.test,fj.misc", "fj.test"));
        QVERIFY(!NamesNewsgroup("fj.alt.test,fj.misc", "alt.test"));
        QVERIFY(!NamesNewsgroup("fj.test,fj.misc", "fj"));
        QVERIFY(!NamesNewsgroup("fj.test,fj.misc", ""));
    }
};

QTEST_MAIN(ReadingRulesTest)
#include "reading_rules_test.moc"
