// Writing messages from the window: the header form (what it shows for answers, its tab order,
// what OK and Cancel do to the compose counter), a whole reply through the real QProcess editor
// and a test editor script, two compositions at once, quitting while the editor runs, child
// messages of note packets with the panes disabled meanwhile, and the メッセージ menu with its
// command states. The reply file is read back by a MIME reader of the test's own (Qt's base64
// and the system's iconv), not by the program's decoders.
#include "app_testing.h"
#include "support/fake_editor.h"

#include "coding/jis.h"
#include "store/inifile.h"

#include "app/header_form.h"
#include "view/msglistbox.h"
#include "view/textview.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include <filesystem>
#include <iconv.h>
#include <map>

using namespace pelorin;
using namespace pelorin::testing;

namespace {

QStringList L(std::initializer_list<const char*> texts) {
    QStringList list;
    for (const char* t : texts) list << QString::fromUtf8(t);
    return list;
}

const char* const kAddedLine = "テスト編集者が追記した行です。";

std::string TestEditor() {
    return std::string(PELORIN_SOURCE_DIR) + "/tests/support/append_line_editor.sh";
}

std::string Rnews(const std::string& m) {
    return "#! rnews " + std::to_string(m.size()) + "\n" + m;
}

// A news packet of two messages: one without Reply-To whose subject carries two reply
// prefixes, one with Reply-To, a Japanese subject and a follow-up to two newsgroups.
std::string MakeNewsPacket(const std::filesystem::path& dir, const std::string& state = {}) {
    std::filesystem::create_directories(dir);
    WriteFile(dir / "AREAS", "0000001\tfj.test\tun\n");
    WriteFile(dir / "0000001.MSG",
              Rnews("Subject: RE: Re: hello\nFrom: " + S("山田") +
                    " <yamada@example.jp>\nMessage-ID: <1@x>\nNewsgroups: fj.test\n"
                    "Date: Mon, 1 Jan 2024 10:00:00 +0900\n\nfirst line\n") +
                  Rnews("Subject: =?ISO-2022-JP?B?GyRCJUYlOSVIGyhK?=\nFrom: b@x (B)\n"
                        "Reply-To: reply@example.jp\nMessage-ID: <2@x>\nReferences: <0@x>\n"
                        "Newsgroups: fj.test,fj.misc\nFollowup-To: fj.a,fj.b\n"
                        "Date: Mon, 1 Jan 2024 11:00:00 +0900\n\nbody line\n" +
                        SjisToJis(S("二行目")) + "\n"));
    if (!state.empty())
        WriteFile(dir / "GRPSTAT.PBS", state);
    return (dir / "AREAS").string();
}

// Opens the packet's first area and shows the message in list row `row` (file order).
void Show(TMainForm& form, int row) {
    QTreeWidgetItem* area = form.AreaTree()->PacketNode(0)->child(0);
    if (form.CurrentArea() != TAreaTree::AreaOf(area)) {
        form.AreaTree()->setCurrentItem(area);
        form.SelectArea('A');
    }
    form.MessageList()->SetSelected(row, true);
    form.MessageList()->SetItemIndex(row);
    form.DisplayMessage();
}

int LastMessage(const TempDir& temp) {
    TIniF ini((temp.home() / "pelorin.INI").string());
    return ini.ReadInteger("Message", "LastMessage", -1);
}

// What a header form showed when it opened.
struct FormSeen {
    QString subject, recipient;
    bool followupsEnabled = false, labelEnabled = false, editHeader = false;
    QStringList followups;
    QStringList tabOrder;
};

FormSeen Look(TfrmInput& f) {
    FormSeen seen;
    seen.subject = f.findChild<QLineEdit*>(QStringLiteral("edtSubj"))->text();
    seen.recipient = f.findChild<QComboBox*>(QStringLiteral("cmbTo"))->currentText();
    auto* list = f.findChild<QListWidget*>(QStringLiteral("lstGrp"));
    seen.followupsEnabled = list->isEnabled();
    seen.labelEnabled = f.findChild<QLabel*>(QStringLiteral("lblGrp"))->isEnabled();
    for (int i = 0; i < list->count(); ++i) seen.followups << list->item(i)->text();
    seen.editHeader = f.findChild<QCheckBox*>(QStringLiteral("cbHeader"))->isChecked();
    // The focus chain from the subject, one entry per control that takes Tab (the drop-down's
    // own line edit counts as the drop-down).
    QWidget* w = f.findChild<QLineEdit*>(QStringLiteral("edtSubj"));
    for (int guard = 0; guard < 40 && seen.tabOrder.size() < 8; ++guard) {
        QWidget* named = w->objectName().isEmpty() && w->parentWidget() ? w->parentWidget() : w;
        if ((w->focusPolicy() & Qt::TabFocus) && !named->objectName().isEmpty() &&
            (seen.tabOrder.isEmpty() || seen.tabOrder.back() != named->objectName()))
            seen.tabOrder << named->objectName();
        w = w->nextInFocusChain();
    }
    return seen;
}

// Every header form is looked at, then `act` runs on it once its window is up.
struct FormScript {
    std::vector<FormSeen> seen;
    std::function<void(TfrmInput&)> act;

    FormScript() {
        TESTING_ONLY_headerFormShown = [this](TfrmInput& f) {
            seen.push_back(Look(f));
            QTimer::singleShot(0, &f, [this, &f] { act(f); });
        };
    }
    ~FormScript() { TESTING_ONLY_headerFormShown = nullptr; }
};

void Click(TfrmInput& f, const char* name) {
    f.findChild<QPushButton*>(QString::fromLatin1(name))->click();
}

// ---- a MIME reader of the test's own, for reply files ----

std::string FromIso2022Jp(const std::string& jis) {
    iconv_t cd = iconv_open("UTF-8", "ISO-2022-JP");
    std::string in = jis, out(jis.size() * 4 + 16, '\0');
    char* ip = in.data();
    char* op = out.data();
    size_t il = in.size(), ol = out.size();
    const size_t r = iconv(cd, &ip, &il, &op, &ol);
    iconv_close(cd);
    if (r == static_cast<size_t>(-1))
        return "<bad ISO-2022-JP>";
    out.resize(out.size() - ol);
    return out;
}

// Decodes =?ISO-2022-JP?B?...?= words (blanks between two words dropped).
std::string DecodeWords(const std::string& value) {
    std::string out;
    size_t pos = 0;
    const std::string open = "=?ISO-2022-JP?B?";
    while (pos < value.size()) {
        size_t start = value.find(open, pos);
        if (start == std::string::npos) {
            out += value.substr(pos);
            break;
        }
        std::string between = value.substr(pos, start - pos);
        if (!(pos > 0 && between.find_first_not_of(" \t") == std::string::npos))
            out += between;
        size_t end = value.find("?=", start + open.size());
        const QByteArray b64 =
            QByteArray::fromStdString(value.substr(start + open.size(), end - start - open.size()));
        out += FromIso2022Jp(QByteArray::fromBase64(b64).toStdString());
        pos = end + 2;
    }
    return out;
}

struct ReplyFile {
    std::map<std::string, std::string> header;  // field name -> decoded, unfolded value (UTF-8)
    std::vector<std::string> body;              // UTF-8
    bool framed = false;                        // the length bytes count the rest exactly
};

ReplyFile ReadReply(const std::filesystem::path& path) {
    ReplyFile r;
    const std::string bytes = ReadFile(path);
    if (bytes.size() < 4)
        return r;
    const size_t length = (size_t(uint8_t(bytes[0])) << 24) | (size_t(uint8_t(bytes[1])) << 16) |
                          (size_t(uint8_t(bytes[2])) << 8) | size_t(uint8_t(bytes[3]));
    r.framed = length == bytes.size() - 4;
    std::vector<std::string> lines;
    for (size_t pos = 4; pos < bytes.size();) {
        size_t lf = bytes.find('\n', pos);
        lines.push_back(bytes.substr(pos, lf - pos));
        pos = lf + 1;
    }
    size_t i = 0;
    std::string last;
    for (; i < lines.size() && !lines[i].empty(); ++i) {
        if ((lines[i][0] == ' ' || lines[i][0] == '\t') && !last.empty()) {
            r.header[last] += lines[i];
            continue;
        }
        const size_t colon = lines[i].find(':');
        last = lines[i].substr(0, colon);
        r.header[last] = lines[i].substr(colon + 2);
    }
    for (auto& [name, value] : r.header) value = DecodeWords(value);
    for (++i; i < lines.size(); ++i) r.body.push_back(FromIso2022Jp(lines[i]));
    return r;
}

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// Runs `action` once, as soon as `form` waits for `n` editors (polled from the event loops the
// waits run).
void WhenEditorsRunning(TMainForm& form, int n, std::function<void()> action) {
    auto* poll = new QTimer(&form);
    QObject::connect(poll, &QTimer::timeout, &form, [poll, &form, n, action = std::move(action)] {
        if (form.EditorsRunning() != n)
            return;
        poll->stop();
        poll->deleteLater();
        action();
    });
    poll->start(20);
}

void WaitUntil(const std::function<bool()>& done) {
    for (int i = 0; i < 400 && !done(); ++i) QTest::qWait(25);
}

}  // namespace

class ComposeTest : public QObject {
    Q_OBJECT

private slots:
    void headerFormOfAnswersAndTheComposeCounter() {
        TempDir temp;
        WriteSettings(temp, "[Message]\r\nLastMessage=41\r\n");
        const std::string areas = MakeNewsPacket(temp / "news");
        FakeDialogs dialogs;
        FakeEditor editor;
        TMainForm form({Q(areas)}, &dialogs);
        form.SetEditor(&editor);
        FormScript script;

        // A reply to a message without Reply-To goes to its From address; both prefixes of
        // "RE: Re: hello" go. Cancel leaves the counter alone and runs no editor.
        Show(form, 0);
        script.act = [](TfrmInput& f) { Click(f, "cmdCancel"); };
        form.Commands().Find("mnuReplyMail")->trigger();
        QCOMPARE(script.seen.size(), size_t(1));
        QCOMPARE(script.seen[0].subject, QStringLiteral("Re: hello"));
        QCOMPARE(script.seen[0].recipient, QStringLiteral("yamada@example.jp"));
        QVERIFY(!script.seen[0].followupsEnabled);
        QVERIFY(!script.seen[0].labelEnabled);
        QVERIFY(!script.seen[0].editHeader);
        QCOMPARE(script.seen[0].tabOrder, L({"edtSubj", "cmdOK", "cmdCancel", "lstGrp", "cbHeader",
                                             "cmbTo", "cmdAddress", "edtSubj"}));
        QCOMPARE(LastMessage(temp), 41);
        QVERIFY(editor.runs.empty());

        // With Reply-To, the reply goes there.
        Show(form, 1);
        form.Commands().Find("mnuReplyMail")->trigger();
        QCOMPARE(script.seen.back().recipient, QStringLiteral("reply@example.jp"));
        QCOMPARE(script.seen.back().subject, QStringLiteral("Re: テスト"));

        // A follow-up to "fj.a,fj.b" offers both and "なし"; with EditHeader on, the compose
        // file opens with the headers, the chosen Followup-To among them. OK takes number 42.
        form.Settings().WriteString("Message", "EditHeader", "Y");
        script.act = [](TfrmInput& f) {
            f.findChild<QListWidget*>(QStringLiteral("lstGrp"))->setCurrentRow(1);
            Click(f, "cmdOK");
        };
        TSList opened;
        editor.edits.push_back(
            [&opened](const std::string& path) { (void)ReadUserTextFile(path, opened); });
        dialogs.answers.push_back(MsgAnswer::Cancel);  // the posting question: discard
        form.Commands().Find("mnuFollowNews")->trigger();
        const FormSeen& follow = script.seen.back();
        QCOMPARE(follow.recipient, QStringLiteral("fj.a,fj.b"));
        QVERIFY(follow.followupsEnabled);
        QVERIFY(follow.labelEnabled);
        QCOMPARE(follow.followups, L({"fj.a", "fj.b", "なし"}));
        QVERIFY(follow.editHeader);
        QCOMPARE(LastMessage(temp), 42);
        QCOMPARE(editor.runs.size(), size_t(1));
        QVERIFY(editor.runs[0].argv.back().ends_with("PBN00042.TMP"));
        QCOMPARE(editor.runs[0].workingDir, temp.home().string() + "/");
        QVERIFY(opened.size() > 4);
        QCOMPARE(U(opened[0]), std::string("Subject: Re: テスト"));
        QCOMPARE(opened[1], std::string("Newsgroups: fj.a,fj.b"));
        QCOMPARE(opened[2], std::string("Followup-To: fj.b"));
        QCOMPARE(opened[3], std::string("References: <0@x> <2@x>"));
        QVERIFY(!std::filesystem::exists(temp.home() / "PBN00042.TMP"));  // discarded
    }

    void wholeReplyThroughTheEditorProcess() {
        TempDir temp;
        const std::filesystem::path out = temp / "out";
        std::filesystem::create_directories(out);
        WriteSettings(temp, "[Message]\r\nLastMessage=6\r\n[Editor]\r\nExternalEditor=" +
                                TestEditor() + "\r\n[Files]\r\nOutbound=" + out.string() + "\r\n");
        const std::string areas = MakeNewsPacket(temp / "news");
        FakeDialogs dialogs;
        TMainForm form({Q(areas)}, &dialogs);
        FormScript script;
        script.act = [](TfrmInput& f) { Click(f, "cmdOK"); };
        Show(form, 1);
        dialogs.answers.push_back(MsgAnswer::Yes);
        form.Commands().Find("ftbReply")->trigger();

        QCOMPARE(dialogs.shown.size(), size_t(1));
        QCOMPARE(U(dialogs.shown[0].text),
                 std::string("【Re: テスト】\nを投稿しますか？\n[いいえ]を選択すると\n"
                             "保留フォルダにコピーします。"));
        QVERIFY(!std::filesystem::exists(temp.home() / "PBM00007.TMP"));
        QCOMPARE(ReadFile(out / "REPLIES"), std::string("PBM00007\tmail\tbn\n"));
        const ReplyFile reply = ReadReply(out / "PBM00007.MSG");
        QVERIFY(reply.framed);
        QCOMPARE(reply.header.at("Subject"), std::string("Re: テスト"));
        QCOMPARE(reply.header.at("To"), std::string("reply@example.jp"));
        QCOMPARE(reply.header.at("References"), std::string("<0@x> <2@x>"));
        QVERIFY(reply.header.at("X-Mailer").starts_with("Pelorin"));
        QVERIFY(Contains(reply.body, ">body line"));
        QVERIFY(Contains(reply.body, ">二行目"));
        QCOMPARE(reply.body.back(), std::string(kAddedLine));
    }

    void twoCompositionsAtOnceAndQuittingWhileTheEditorRuns() {
        TempDir temp;
        const std::filesystem::path out = temp / "out";
        const std::filesystem::path hold = temp / "release";
        std::filesystem::create_directories(out);
        WriteSettings(temp, "[Message]\r\nLastMessage=20\r\n[Editor]\r\nExternalEditor=" +
                                TestEditor() + "\r\n[Files]\r\nOutbound=" + out.string() + "\r\n");
        qputenv("PELORIN_TEST_EDITOR_HOLD", QByteArray::fromStdString(hold.string()));
        const std::string areas = MakeNewsPacket(temp / "news");
        FakeDialogs dialogs;
        auto form = std::make_unique<TMainForm>(QStringList{Q(areas)}, &dialogs);
        FormScript script;
        script.act = [](TfrmInput& f) {
            // A new mail needs a recipient before OK takes it.
            auto* to = f.findChild<QComboBox*>(QStringLiteral("cmbTo"));
            if (to->currentText().isEmpty())
                to->setEditText(QStringLiteral("friend@example.jp"));
            Click(f, "cmdOK");
        };
        Show(*form, 0);

        // While the answer's editor is open, the user reads on and writes a new mail; the
        // packet being answered cannot be closed meanwhile.
        int runningSeen = 0;
        bool closeRefused = false;
        WhenEditorsRunning(*form, 1, [&] {
            runningSeen = form->EditorsRunning();
            form->AreaTree()->setCurrentItem(form->AreaTree()->PacketNode(0));
            form->ClosePacket();
            closeRefused = form->AreaTree()->PacketCount() == 1;
            WhenEditorsRunning(*form, 2, [&] {
                runningSeen = std::max(runningSeen, form->EditorsRunning() * 10);
                WriteFile(hold, "");
            });
            form->Commands().Find("mnuNewMail")->trigger();
        });
        dialogs.answers = {MsgAnswer::Ok /* the close refusal */, MsgAnswer::Yes, MsgAnswer::Yes};
        form->Commands().Find("mnuReplyMail")->trigger();
        QCOMPARE(runningSeen, 20);
        QVERIFY(closeRefused);
        // Each has its own number; both were posted, the inner one first.
        QCOMPARE(ReadFile(out / "REPLIES"),
                 std::string("PBM00022\tmail\tbn\nPBM00021\tmail\tbn\n"));
        QCOMPARE(ReadReply(out / "PBM00021.MSG").body.back(), std::string(kAddedLine));
        QCOMPARE(ReadReply(out / "PBM00022.MSG").body.back(), std::string(kAddedLine));
        QCOMPARE(ReadReply(out / "PBM00021.MSG").header.at("To"), std::string("yamada@example.jp"));

        // Closing while an editor runs asks; Cancel keeps everything going.
        std::filesystem::remove(hold);
        dialogs.shown.clear();
        dialogs.answers = {MsgAnswer::Cancel, MsgAnswer::Ok};
        bool stillOpen = false;
        WhenEditorsRunning(*form, 1, [&] {
            form->close();
            stillOpen = form->AreaTree()->PacketCount() == 1 && form->EditorsRunning() == 1;
            // OK: the window closes once the composition has returned, leaving its file.
            form->close();
        });
        form->Commands().Find("mnuNewMail")->trigger();
        QVERIFY(stillOpen);
        QCOMPARE(dialogs.shown.size(), size_t(2));
        QVERIFY(U(dialogs.shown[0].text).find("終了しますか") != std::string::npos);
        WaitUntil([&] { return form->AreaTree()->PacketCount() == 0; });
        QCOMPARE(form->AreaTree()->PacketCount(), 0);  // FormClose ran
        QCOMPARE(dialogs.shown.size(), size_t(2));     // no posting question
        QVERIFY(std::filesystem::exists(temp.home() / "PBM00023.TMP"));
        QVERIFY(ReadFile(temp.home() / "PBM00023.TMP").find(kAddedLine) != std::string::npos);
        QVERIFY(!std::filesystem::exists(out / "PBM00023.MSG"));
        WriteFile(hold, "");  // lets the editor go
        qunsetenv("PELORIN_TEST_EDITOR_HOLD");
        // The next start does not take the kept file's number.
        form.reset();
        TMainForm again({Q(areas)}, &dialogs);
        Show(again, 0);
        FakeEditor editor;
        again.SetEditor(&editor);
        dialogs.answers = {MsgAnswer::Cancel};
        again.Commands().Find("mnuNewMail")->trigger();
        QVERIFY(editor.runs.back().argv.back().ends_with("PBM00024.TMP"));
    }

    void childMessageOfANotePacketWithThePanesDisabled() {
        TempDir temp;
        const std::string areas =
            MakeNewsPacket(temp / "notes", "[General]\r\nPacketType=2\r\nPacketName=notes\r\n");
        FakeDialogs dialogs;
        FakeEditor editor;
        TMainForm form({Q(areas)}, &dialogs);
        form.SetEditor(&editor);
        Show(form, 0);
        QVERIFY(form.Commands().Find("mnuMakeNewChild")->isVisible());
        QVERIFY(form.Commands().Enabled("mnuModMsg"));
        bool disabled = false;
        editor.edits.push_back([&](const std::string& path) {
            disabled = !form.AreaTree()->isEnabled() && !form.MessageList()->isEnabled() &&
                       !form.TextView()->isEnabled() && !form.menuBar()->isEnabled() && form.Busy();
            WriteFile(path, ReadFile(path) + S("子の本文") + "\r\n");
        });
        dialogs.answers.push_back(MsgAnswer::Ok);
        form.Commands().Find("mnuMakeNewChild")->trigger();
        QVERIFY(disabled);
        QVERIFY(form.AreaTree()->isEnabled() && form.MessageList()->isEnabled() &&
                form.TextView()->isEnabled() && form.menuBar()->isEnabled() && !form.Busy());
        QCOMPARE(U(dialogs.shown.back().text), std::string("メッセージを追加しますか？"));
        QVERIFY(std::filesystem::exists(temp.home() / "SBTMP.TXT"));
        // The area is shown anew with the child threaded under the message it answers.
        TGrp* area = form.CurrentArea();
        QCOMPARE(area->display.size(), size_t(3));
        QCOMPARE(form.MessageList()->Count(), 3);
        bool child = false;
        for (int i = 0; TMsg* m = area->MessageAt(i); ++i) {
            if (m->subject == "RE: Re: hello" && m->Header("References") == "<1@x>")
                child = true;
        }
        QVERIFY(child);
    }

    void editorThatCannotStartIsReportedAndCompositionGoesOn() {
        TempDir temp;
        const std::filesystem::path out = temp / "out";
        std::filesystem::create_directories(out);
        WriteSettings(temp, "[Editor]\r\nExternalEditor=" + (temp / "no-such-editor").string() +
                                "\r\n[Files]\r\nOutbound=" + out.string() + "\r\n");
        const std::string areas = MakeNewsPacket(temp / "news");
        FakeDialogs dialogs;
        TMainForm form({Q(areas)}, &dialogs);
        FormScript script;
        script.act = [](TfrmInput& f) { Click(f, "cmdOK"); };
        Show(form, 0);
        dialogs.answers = {MsgAnswer::Ok, MsgAnswer::Yes};
        form.Commands().Find("mnuReplyMail")->trigger();
        QCOMPARE(dialogs.shown.size(), size_t(2));
        QVERIFY(U(dialogs.shown[0].text).starts_with("エディタを起動できませんでした。"));
        QCOMPARE(form.EditorsRunning(), 0);
        const ReplyFile reply = ReadReply(out / "PBM00002.MSG");
        QCOMPARE(reply.header.at("To"), std::string("yamada@example.jp"));
        QVERIFY(Contains(reply.body, ">first line"));
    }

    void reEditInANotePacketOnlyForKeptMessages() {
        TempDir temp;
        const std::filesystem::path out = temp / "out";
        std::filesystem::create_directories(out);
        WriteSettings(temp, "[Message]\r\nReserveFolder=fj.test\r\n[Files]\r\nOutbound=" +
                                out.string() + "\r\n");
        // A received packet whose area shares the reserve folder's name: nothing to re-edit.
        const std::string received = MakeNewsPacket(temp / "news");
        const std::string notes =
            MakeNewsPacket(temp / "notes", "[General]\r\nPacketType=2\r\nPacketName=notes\r\n");
        FakeDialogs dialogs;
        FakeEditor editor;
        TMainForm form({Q(received)}, &dialogs);
        form.SetEditor(&editor);
        Show(form, 0);
        QVERIFY(!form.Commands().Enabled("mnuModMsg"));
        form.ModifyMessage();
        QVERIFY(editor.runs.empty());
        QCOMPARE(form.CurrentArea()->display.size(), size_t(2));

        // In a note packet the shown message is edited, removed and posted; meanwhile the
        // window waits.
        form.AreaTree()->setCurrentItem(form.AreaTree()->PacketNode(0));
        form.ClosePacket();
        QVERIFY(form.OpenPacket(notes));
        Show(form, 0);
        QVERIFY(form.Commands().Enabled("mnuModMsg"));
        bool disabled = false;
        editor.edits.push_back([&](const std::string& path) {
            disabled = !form.AreaTree()->isEnabled() && !form.MessageList()->isEnabled() &&
                       !form.TextView()->isEnabled() && form.Busy();
            WriteFile(path, ReadFile(path) + "edited\r\n");
        });
        dialogs.answers.push_back(MsgAnswer::Yes);
        form.Commands().Find("mnuModMsg")->trigger();
        QVERIFY(disabled);
        QVERIFY(form.AreaTree()->isEnabled() && !form.Busy());
        QCOMPARE(form.CurrentArea()->display.size(), size_t(1));
        QCOMPARE(form.MessageList()->Count(), 1);
        QCOMPARE(ReadFile(out / "REPLIES").substr(0, 9), std::string("PBN00002\t"));
        QCOMPARE(ReadReply(out / "PBN00002.MSG").body.back(), std::string("edited"));
    }

    void messageMenuToolbarAndCommandStates() {
        TempDir temp;
        const std::string areas = MakeNewsPacket(temp / "news");
        // An indexed area of summaries: its index carries the article numbers.
        std::filesystem::create_directories(temp / "idx");
        WriteFile(temp / "idx" / "AREAS", "0000009\tfj.idx\tuc\n");
        WriteFile(temp / "idx" / "0000009.MSG", "");
        WriteFile(temp / "idx" / "0000009.IDX",
                  "0\tone\ta@x\t\t<1@x>\t\t0\t0\t101\n0\ttwo\ta@x\t\t<2@x>\t\t0\t0\t150\n"
                  "0\tthree\ta@x\t\t<3@x>\t\t0\t0\t205\n");
        const std::string mails = (temp / "idx" / "AREAS").string();
        FakeDialogs dialogs;
        TMainForm form({Q(areas), Q(mails)}, &dialogs);
        QStringList menus;
        for (QAction* a : form.menuBar()->actions()) menus << a->text();
        QVERIFY(menus.indexOf(QStringLiteral("表示(&D)")) + 1 ==
                menus.indexOf(QStringLiteral("メッセージ(&M)")));
        QVERIFY(menus.indexOf(QStringLiteral("メッセージ(&M)")) + 1 ==
                menus.indexOf(QStringLiteral("ヘルプ(&H)")));
        auto* bar = form.findChild<QToolBar*>(QStringLiteral("ToolbarMessage"));
        QStringList buttons;
        for (QAction* a : bar->actions()) buttons << a->toolTip();
        QCOMPARE(buttons, L({"新規メール", "リプライメール", "新規ニュース",
                             "フォローアップニュース", "本文取得"}));
        TCommandSet& c = form.Commands();
        QVERIFY(!c.Enabled("ftbReply") && !c.Enabled("ftbFollow") && !c.Enabled("ftbSendMe"));
        Show(form, 0);
        QVERIFY(c.Enabled("ftbMail") && c.Enabled("ftbReply") && c.Enabled("ftbNews") &&
                c.Enabled("ftbFollow"));
        QVERIFY(!c.Enabled("ftbSendMe"));  // index letter 'n'
        QVERIFY(!c.Find("mnuMakeNewChild")->isVisible());
        QVERIFY(!c.Enabled("mnuModMsg"));

        // An area with index 'c': body requests for the shown message.
        QTreeWidgetItem* mailArea = form.AreaTree()->PacketNode(1)->child(0);
        form.AreaTree()->setCurrentItem(mailArea);
        form.SelectArea('A');
        form.MessageList()->SetSelected(0, true);
        form.MessageList()->SetItemIndex(0);
        form.DisplayMessage();
        QVERIFY(c.Enabled("mnuSendMe"));
        dialogs.answers.push_back(MsgAnswer::Ok);
        c.Find("ftbSendMe")->trigger();
        QCOMPARE(U(dialogs.shown.back().text),
                 std::string("チェックされた1件の\n本文取得要求を発行します"));
        // Two rows selected: both are requested, in list order.
        form.MessageList()->SetSelected(2, true);
        dialogs.answers.push_back(MsgAnswer::Ok);
        c.Find("mnuSendMe")->trigger();
        const std::string first = form.MessageList()->MsgAt(0)->subject == "one" ? "101" : "?";
        QCOMPARE(
            ReadFile(temp.home() / "COMMANDS"),
            "SENDME\tfj.idx\t" + first + "\nSENDME\tfj.idx\t" + first + "\nSENDME\tfj.idx\t205\n");

        // The default bindings C_M ... name composition; C_M opens the header form.
        FormScript script;
        script.act = [](TfrmInput& f) { Click(f, "cmdCancel"); };
        form.ExecuteBinding("PostNewMail");
        WaitUntil([&] { return !script.seen.empty(); });
        QCOMPARE(script.seen.size(), size_t(1));
        QCOMPARE(script.seen[0].subject, QString());
        QCOMPARE(script.seen[0].recipient, QString());

        // OK without a recipient is refused with the reason; the form keeps what was typed.
        bool stayed = false;
        QString subjectAfter;
        script.act = [&](TfrmInput& f) {
            f.findChild<QLineEdit*>(QStringLiteral("edtSubj"))->setText(QStringLiteral("会議"));
            f.findChild<QComboBox*>(QStringLiteral("cmbTo"))->setEditText(QStringLiteral("  "));
            Click(f, "cmdOK");
            stayed = f.isVisible();
            subjectAfter = f.findChild<QLineEdit*>(QStringLiteral("edtSubj"))->text();
            Click(f, "cmdCancel");
        };
        dialogs.shown.clear();
        const size_t before = script.seen.size();
        form.ExecuteBinding("PostNewMail");
        WaitUntil([&] { return script.seen.size() > before && !subjectAfter.isEmpty(); });
        QVERIFY(stayed);
        QCOMPARE(subjectAfter, QStringLiteral("会議"));
        QCOMPARE(dialogs.shown.size(), size_t(1));
        QCOMPARE(U(dialogs.shown[0].text),
                 std::string("宛先が入力されていません。\n宛先を入力してください。"));
        QVERIFY(!std::filesystem::exists(temp.home() / "REPLIES"));
    }
};

QTEST_MAIN(ComposeTest)
#include "compose_test.moc"
