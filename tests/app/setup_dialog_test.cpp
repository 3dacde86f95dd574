// The settings dialog from the main window's 設定: OK without a change keeps pelorin.INI byte
// for byte, every page's controls store their keys and show them again, the layout, colour and
// background apply at once, a binding set on the key page runs at the next key, the two AREAS
// messages, values with line breaks, and ｷｬﾝｾﾙ.
#include "app/setup_dialog.h"

#include "app_testing.h"

#include "store/key_binding_editor.h"

#include "app/font_color_dialog.h"
#include "app/pane_layout.h"
#include "app/status_line.h"
#include "view/msglistbox.h"
#include "view/textview.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDialog>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace pelorin;
using namespace pelorin::testing;

namespace {

namespace fs = std::filesystem;

// A folder packet "folders" with the folders "keep" and "sent". Returns the AREAS path.
std::string FolderPacket(const fs::path& dir) {
    fs::create_directories(dir);
    WriteFile(dir / "AREAS", "00000001\tkeep\tuc\n00000002\tsent\tuc\n");
    WriteFile(dir / "GRPSTAT.PBS", "[General]\r\nPacketType=1\r\nPacketName=folders\r\n");
    return (dir / "AREAS").string();
}

// Runs 設定 with `act` working on the shown dialog; `act` ends by pressing OK or ｷｬﾝｾﾙ.
void RunSetUp(TMainForm& form, const std::function<void(TSetUpDlg&)>& act) {
    TESTING_ONLY_setUpDialogShown = [&](TSetUpDlg& d) {
        QTimer::singleShot(0, &d, [&] { act(d); });
    };
    form.SetUpClick();
    TESTING_ONLY_setUpDialogShown = nullptr;
}

template <class T>
T* Child(TSetUpDlg& d, const char* name) {
    T* w = d.findChild<T*>(QString::fromLatin1(name));
    if (!w)
        qFatal("no control %s", name);
    return w;
}

void Press(TSetUpDlg& d, const char* name) {
    Child<QPushButton>(d, name)->click();
}

QString Text(TSetUpDlg& d, const char* edit) {
    return Child<QLineEdit>(d, edit)->text();
}

std::string Ini(const TempDir& temp, std::string_view section, std::string_view key) {
    TIniF ini((temp.home() / "pelorin.INI").string());
    return ini.ReadString(section, key, "<missing>");
}

int Row(const TSList& list, std::string_view item) {
    return static_cast<int>(std::find(list.begin(), list.end(), item) - list.begin());
}

}  // namespace

class SetupDialogTest : public QObject {
    Q_OBJECT

private slots:
    void okWithoutChangeKeepsTheFileAndCancelWritesNothing() {
        TempDir temp;
        const std::string folders = FolderPacket(temp / "folders");
        const std::string other = MakePacket(temp / "news", "fj.test", 2);
        WriteSettings(temp, "[Files]\r\nAutoLoad1=" + other + "\r\nAutoLoad0=" + folders +
                                "\r\n[Message]\r\nPostedFolder=sent\r\nPostedPacket=folders\r\n"
                                "ReserveFolder=old\r\nReservePacket=archive\r\n"
                                "[Display]\r\nTabCount=20\r\n[Print]\r\nPrintTopMergine=050\r\n");
        // Bytes that are no Shift_JIS character show as U+FFFD and are kept as they were.
        WriteFile(temp.home() / "pelorin.INI",
                  ReadFile(temp.home() / "pelorin.INI") +
                      "[Editor]\r\nExternalEditor=/opt/\xff\xfe/ed\r\n");
        FakeDialogs dialogs;
        TMainForm form({}, &dialogs);
        form.show();  // the window's place is the shown frame's
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(form.AreaTree()->PacketCount(), 2);
        const fs::path ini = temp.home() / "pelorin.INI";
        std::string afterOpen;
        RunSetUp(form, [&](TSetUpDlg& d) {
            afterOpen = ReadFile(ini);
            // The posted folder is one of the open packet's; the reserve folder, of a packet
            // that is not open, is offered as stored.
            QCOMPARE(Child<QComboBox>(d, "cmbPosted")->currentText(),
                     QStringLiteral("sent(folders)"));
            QCOMPARE(Child<QComboBox>(d, "cmbPosted")->count(), 3);
            QCOMPARE(Child<QComboBox>(d, "cmbReserve")->currentText(),
                     QStringLiteral("old(archive)"));
            QCOMPARE(Child<QListWidget>(d, "lstAutoLoad")->item(0)->text(), Q(folders));
            QCOMPARE(Child<QSlider>(d, "TabBar")->value(), 12);  // kept as 20 on OK
            QCOMPARE(Text(d, "edtPrtTop"), QStringLiteral("50"));
            QVERIFY(Text(d, "edtEditor").contains(QChar(0xFFFD)));
            Press(d, "cmdOK");
        });
        QVERIFY(!afterOpen.empty());
        QCOMPARE(ReadFile(ini), afterOpen);
        // No area was opened yet, so the dialog was the first reader of the list format.
        QCOMPARE(Ini(temp, "Display", "ListStrings"), std::string("%50(%L{(%@),}%V%s%) >> %c"));
        RunSetUp(form, [&](TSetUpDlg& d) { Press(d, "cmdOK"); });
        QCOMPARE(ReadFile(ini), afterOpen);

        // ｷｬﾝｾﾙ after changing every page stores nothing.
        RunSetUp(form, [&](TSetUpDlg& d) {
            Child<QLineEdit>(d, "edtRefer")->setText(QStringLiteral("changed"));
            Child<QListWidget>(d, "lstAutoLoad")->setCurrentRow(0);
            Press(d, "cmdPktDel");
            Child<QComboBox>(d, "cmbPosted")->setCurrentIndex(0);
            Child<QRadioButton>(d, "optRight")->setChecked(true);
            Child<QPlainTextEdit>(d, "mmPageLeftHeader")->setPlainText(QStringLiteral("x"));
            Child<QLineEdit>(d, "edtPrtLeft")->setText(QStringLiteral("1"));
            Child<QListWidget>(d, "lstKeys")->setCurrentRow(Row(SetupKeys(), "Q"));
            Child<QListWidget>(d, "lstFunc")->setCurrentRow(0);
            Press(d, "cmdCancel");
        });
        QCOMPARE(ReadFile(ini), afterOpen);
        QVERIFY(dialogs.shown.empty());
    }

    void everyPageStoresItsKeysAndShowsThemAgain() {
        TempDir temp;
        const std::string folders = FolderPacket(temp / "folders");
        const std::string news = MakePacket(temp / "news", "fj.test", 2);
        fs::create_directories(temp / "out");
        QImage picture(8, 8, QImage::Format_RGB32);
        picture.fill(Qt::red);
        QVERIFY(picture.save(Q((temp / "back.bmp").string()), "BMP"));
        FakeDialogs dialogs;
        TMainForm form({Q(folders)}, &dialogs);
        QVERIFY(form.TextView()->BackPicture().isNull());

        RunSetUp(form, [&](TSetUpDlg& d) {
            // ディレクトリ
            d.chooseFile = [&](const QString&, const std::string&, const QString&) {
                return (temp / "news" / "AREAS").string();
            };
            d.chooseDirectory = [&](const std::string&) { return (temp / "out").string(); };
            Press(d, "cmdPktAdd");
            Press(d, "cmdSendRef");
            Child<QLineEdit>(d, "edtDataDir")->setText(QStringLiteral("/data/dir/"));
            // メッセージ作成
            Child<QLineEdit>(d, "edtEditor")->setText(QStringLiteral("vi"));
            Child<QLineEdit>(d, "edtQuote")->setText(QStringLiteral("| "));
            Child<QLineEdit>(d, "edtRefer")->setText(QStringLiteral("%F さんは書きました"));
            Child<QLineEdit>(d, "edtSig")->setText(QStringLiteral("/sig.txt"));
            Child<QLineEdit>(d, "edtReplyTo")->setText(QStringLiteral("me@example.jp"));
            Child<QComboBox>(d, "cmbPosted")->setCurrentText(QStringLiteral("sent(folders)"));
            Child<QComboBox>(d, "cmbReserve")->setCurrentText(QStringLiteral("keep(folders)"));
            // 画面表示
            Child<QLineEdit>(d, "edtSubjectLine")->setText(QStringLiteral("%s"));
            Child<QLineEdit>(d, "edtQuoteChars")->setText(QStringLiteral(">|"));
            Child<QSlider>(d, "TabBar")->setValue(8);
            d.chooseFile = [&](const QString&, const std::string&, const QString&) {
                return (temp / "back.bmp").string();
            };
            Press(d, "cmdBackPicRef");
            Child<QCheckBox>(d, "cbShowImage")->setChecked(true);
            d.chooseFont = [](TFont& font) {
                font.bold = true;
                font.color = 0x0000FF;
                return true;
            };
            Press(d, "cmdFontQuote");
            d.chooseColour = [](int32_t& colour) {
                colour = 0x00FF00;
                return true;
            };
            Press(d, "cmdFontClick");
            Child<QRadioButton>(d, "optBottom")->setChecked(true);
            Child<QRadioButton>(d, "optTSA")->setChecked(true);
            // 印刷
            Child<QPlainTextEdit>(d, "mmPageLeftHeader")->setPlainText(QStringLiteral("L1\nL2\n"));
            Child<QPlainTextEdit>(d, "mmPageRightHeader")->setPlainText(QStringLiteral("R1"));
            Child<QLineEdit>(d, "edtPrtTop")->setText(QStringLiteral("007"));
            Child<QLineEdit>(d, "edtPrtBottom")->setText(QStringLiteral("ten"));
            Child<QLineEdit>(d, "edtPrtLeft")->setText(QStringLiteral("20"));
            Child<QLineEdit>(d, "edtPrtRight")->setText(QStringLiteral("30"));
            Press(d, "cmdOK");
        });

        QCOMPARE(Ini(temp, "Files", "AutoLoad0"), (temp / "news" / "AREAS").string());
        QCOMPARE(Ini(temp, "Files", "Outbound"), (temp / "out").string() + "/");
        QCOMPARE(Ini(temp, "Files", "DataPath"), std::string("/data/dir/"));
        QCOMPARE(Ini(temp, "Editor", "ExternalEditor"), std::string("vi"));
        QCOMPARE(Ini(temp, "Message", "QuoteCharacter"), std::string("| "));
        QCOMPARE(Ini(temp, "Message", "Refer"), S("%F さんは書きました"));
        QCOMPARE(Ini(temp, "Message", "Signature-File"), std::string("/sig.txt"));
        QCOMPARE(Ini(temp, "Message", "ReplyTo"), std::string("me@example.jp"));
        QCOMPARE(Ini(temp, "Message", "PostedFolder"), std::string("sent"));
        QCOMPARE(Ini(temp, "Message", "PostedPacket"), std::string("folders"));
        QCOMPARE(Ini(temp, "Message", "ReserveFolder"), std::string("keep"));
        QCOMPARE(Ini(temp, "Display", "ListStrings"), std::string("%s"));
        QCOMPARE(Ini(temp, "Message", "QuoteChar"), std::string(">|"));
        QCOMPARE(Ini(temp, "Display", "TabCount"), std::string("8"));
        QCOMPARE(Ini(temp, "Display", "BackPicture"), (temp / "back.bmp").string());
        QCOMPARE(Ini(temp, "Display", "ShowImage"), std::string("Y"));
        QVERIFY(form.Commands().Checked("mnuShowImage"));
        QCOMPARE(Ini(temp, "Fonts", "QuoteStyleBold"), std::string("Y"));
        QCOMPARE(Ini(temp, "Fonts", "QuoteColor"), std::string("255"));
        QCOMPARE(Ini(temp, "Fonts", "ClickableColor"), std::string("65280"));
        QCOMPARE(Ini(temp, "Window", "CutPattern"), std::string("Bottom"));
        QCOMPARE(Ini(temp, "Window", "SetPattern"), std::string("TSA"));
        QCOMPARE(Ini(temp, "Print", "PrintLeftHeader1"), std::string("L2"));
        QCOMPARE(Ini(temp, "Print", "PrintLeftHeader2"), std::string("<missing>"));
        QCOMPARE(Ini(temp, "Print", "PrintRightHeader0"), std::string("R1"));
        QCOMPARE(Ini(temp, "Print", "PrintTopMergine"), std::string("7"));
        QCOMPARE(Ini(temp, "Print", "PrintBottomMergine"), std::string("0"));
        // Applied at once: the clickable colour, the background, the layout.
        QCOMPARE(form.TextView()->ClickableColor(), QColor(0, 255, 0));
        QVERIFY(!form.TextView()->BackPicture().isNull());
        TPaneLayout* panes = form.Panes();
        QCOMPARE(panes->ContainerOf(TPaneLayout::Text), panes->Panel2());
        QCOMPARE(panes->ContainerOf(TPaneLayout::Areas), panes->Panel1());
        QVERIFY(dialogs.shown.empty());

        RunSetUp(form, [&](TSetUpDlg& d) {
            QCOMPARE(Child<QListWidget>(d, "lstAutoLoad")->count(), 1);
            QCOMPARE(Text(d, "edtSendDir"), Q((temp / "out").string() + "/"));
            QCOMPARE(Text(d, "edtRefer"), QStringLiteral("%F さんは書きました"));
            QCOMPARE(Child<QComboBox>(d, "cmbPosted")->currentText(),
                     QStringLiteral("sent(folders)"));
            QCOMPARE(Child<QComboBox>(d, "cmbReserve")->currentText(),
                     QStringLiteral("keep(folders)"));
            QCOMPARE(Child<QSlider>(d, "TabBar")->value(), 8);
            QVERIFY(Child<QRadioButton>(d, "optBottom")->isChecked());
            QVERIFY(Child<QRadioButton>(d, "optTSA")->isChecked());
            QVERIFY(Child<QPushButton>(d, "cmdFontQuote")->font().bold());
            QVERIFY(Child<QCheckBox>(d, "cbShowImage")->isChecked());
            QCOMPARE(Child<QPlainTextEdit>(d, "mmPageLeftHeader")->toPlainText(),
                     QStringLiteral("L1\nL2"));
            QCOMPARE(Text(d, "edtPrtBottom"), QStringLiteral("0"));
            // なし empties a folder pair.
            Child<QComboBox>(d, "cmbReserve")->setCurrentIndex(0);
            Press(d, "cmdOK");
        });
        QCOMPARE(Ini(temp, "Message", "ReserveFolder"), std::string());
        QCOMPARE(Ini(temp, "Message", "ReservePacket"), std::string());
    }

    void fontsChosenInAFreshHomeAreReadAtTheNextStart() {
        TempDir temp;  // no pelorin.INI yet
        {
            FakeDialogs dialogs;
            TMainForm form({}, &dialogs);
            RunSetUp(form, [&](TSetUpDlg& d) {
                int size = 11;
                d.chooseFont = [&size](TFont& font) {
                    font.size = size++;
                    font.italic = true;
                    font.color = 0x102030;
                    return true;
                };
                for (const char* button :
                     {"cmdFontArea", "cmdFontSubj", "cmdFontText", "cmdFontQuote", "cmdFontMono"})
                    Press(d, button);
                d.chooseColour = [](int32_t& colour) {
                    colour = 0x00AA00;
                    return true;
                };
                Press(d, "cmdFontClick");
                Press(d, "cmdOK");
            });
            QVERIFY(dialogs.shown.empty());
        }
        FakeDialogs dialogs;
        TMainForm form({}, &dialogs);
        QCOMPARE(form.AreaTree()->font().pointSize(), 11);
        QCOMPARE(form.MessageList()->font().pointSize(), 12);
        QCOMPARE(form.TextView()->TextFont().pointSize(), 13);
        QCOMPARE(form.TextView()->QuoteFont().pointSize(), 14);
        QCOMPARE(form.TextView()->MonoFont().pointSize(), 15);
        QVERIFY(form.TextView()->TextFont().italic());
        QVERIFY(form.TextView()->MonoFont().italic());
        QCOMPARE(form.TextView()->ClickableColor(), QColor(0, 0xAA, 0));
        for (const char* prefix : {"Groups", "Subj", "Text", "Quote", "MonoSpace"})
            QCOMPARE(Ini(temp, "Fonts", std::string(prefix) + "Color"), std::to_string(0x102030));
    }

    void aBindingSetOnTheKeyPageRunsAtOnce() {
        TempDir temp;
        FakeDialogs dialogs;
        TMainForm form({}, &dialogs);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const bool statusShown = form.StatusLine()->isVisible();
        RunSetUp(form, [&](TSetUpDlg& d) {
            auto* keys = Child<QListWidget>(d, "lstKeys");
            auto* functions = Child<QListWidget>(d, "lstFunc");
            auto* arg = Child<QComboBox>(d, "cmbArg");
            // A modifier without a key changes nothing.
            Child<QCheckBox>(d, "cbCtrl")->setChecked(true);
            Child<QCheckBox>(d, "cbCtrl")->setChecked(false);
            // N alone, focus 全体, shows its default binding.
            keys->setCurrentRow(Row(SetupKeys(), "N"));
            QCOMPARE(functions->currentRow(), Row(SetupFunctionNames(), "ShowNextMessage"));
            QCOMPARE(functions->currentItem()->text(),
                     QStringLiteral("記事一覧で1つ下を選択し表示"));
            QVERIFY(!arg->isEnabled());
            // Ctrl+Shift+N is NextMessage.
            Child<QCheckBox>(d, "cbCtrl")->setChecked(true);
            Child<QCheckBox>(d, "cbShift")->setChecked(true);
            QCOMPARE(functions->currentRow(), Row(SetupFunctionNames(), "NextMessage"));
            Child<QCheckBox>(d, "cbCtrl")->setChecked(false);
            Child<QCheckBox>(d, "cbShift")->setChecked(false);
            // X in the area tree switches the status bar; Q is unbound.
            keys->setCurrentRow(Row(SetupKeys(), "X"));
            QCOMPARE(functions->currentRow(), 0);
            qobject_cast<QRadioButton*>(d.findChild<QRadioButton*>(QStringLiteral("rgFocus1")))
                ->setChecked(true);
            QCOMPARE(d.CurrentKeyName(), std::string("_X@a"));
            functions->setCurrentRow(Row(SetupFunctionNames(), "ToggleShowStatBar"));
            d.findChild<QRadioButton*>(QStringLiteral("rgFocus0"))->setChecked(true);
            keys->setCurrentRow(Row(SetupKeys(), "Q"));
            functions->setCurrentRow(0);
            // F5 runs a sub-command; its parameter is typed after choosing the function.
            keys->setCurrentRow(Row(SetupKeys(), "<F5>"));
            functions->setCurrentRow(Row(SetupFunctionNames(), "ExecSubCommand("));
            QVERIFY(arg->isEnabled());
            arg->setEditText(QStringLiteral("未読に"));
            QCOMPARE(Child<QLabel>(d, "lblBinding")->text(),
                     QStringLiteral("_<F5> = ExecSubCommand(未読に)"));
            // Going back to F5 shows its function and parameter.
            keys->setCurrentRow(Row(SetupKeys(), "A"));
            QVERIFY(!arg->isEnabled());
            keys->setCurrentRow(Row(SetupKeys(), "<F5>"));
            QVERIFY(arg->isEnabled());
            QCOMPARE(arg->currentText(), QStringLiteral("未読に"));
            Press(d, "cmdOK");
        });
        QCOMPARE(Ini(temp, "KeyBind", "_X@a"), std::string("ToggleShowStatBar"));
        QCOMPARE(Ini(temp, "KeyBind", "_Q"), std::string());
        QCOMPARE(Ini(temp, "KeyBind", "_<F5>"), "ExecSubCommand(" + S("未読に") + ")");

        form.AreaTree()->setFocus();
        QTest::keyClick(form.AreaTree(), Qt::Key_X);
        QCOMPARE(form.StatusLine()->isVisible(), !statusShown);
        QTest::keyClick(form.AreaTree(), Qt::Key_Q);  // no longer asks to quit
        QVERIFY(dialogs.shown.empty());
        form.close();
    }

    void addingAPacketTwiceOrAMissingOneIsRefused() {
        TempDir temp;
        const std::string news = MakePacket(temp / "news", "fj.test", 1);
        WriteSettings(temp, "[Files]\r\nAutoLoad0=" + news + "\r\n");
        FakeDialogs dialogs;
        TMainForm form({}, &dialogs);
        RunSetUp(form, [&](TSetUpDlg& d) {
            d.chooseFile = [&](const QString&, const std::string&, const QString&) { return news; };
            Press(d, "cmdPktAdd");
            d.chooseFile = [&](const QString&, const std::string&, const QString&) {
                return (temp / "nothing" / "AREAS").string();
            };
            Press(d, "cmdPktAdd");
            QCOMPARE(Child<QListWidget>(d, "lstAutoLoad")->count(), 1);
            QVERIFY(!Child<QPushButton>(d, "cmdPktDel")->isEnabled());
            Press(d, "cmdOK");
        });
        QCOMPARE(dialogs.shown.size(), size_t(2));
        QCOMPARE(dialogs.shown[0].text, news + S(" はすでに登録されています"));
        QCOMPARE(dialogs.shown[1].text,
                 (temp / "nothing" / "AREAS").string() + S(" は存在しません"));
        QCOMPARE(Ini(temp, "Files", "AutoLoad0"), news);
    }

    void aLineBreakInAValueIsStoredAsABlankAndShown() {
        TempDir temp;
        FakeDialogs dialogs;
        TMainForm form({}, &dialogs);
        RunSetUp(form, [&](TSetUpDlg& d) {
            Child<QLineEdit>(d, "edtRefer")->setText(QStringLiteral("one\ntwo "));
            Press(d, "cmdOK");
        });
        QCOMPARE(Ini(temp, "Message", "Refer"), std::string("one two "));
        QCOMPARE(dialogs.shown.size(), size_t(1));
        QVERIFY(dialogs.shown[0].text.find("[Message] Refer=one two ") != std::string::npos);
        QCOMPARE(ReadFile(temp.home() / "pelorin.INI").find("one\n"), std::string::npos);
    }

    void theFontMenuChoosesFaceAndColourInOneDialog() {
        TempDir temp;
        FakeDialogs dialogs;
        TMainForm form({}, &dialogs);
        bool shown = false;
        TESTING_ONLY_fontDialogShown = [&](TFontColorDlg& d) {
            QTimer::singleShot(0, &d, [&] {
                shown = true;
                QFont font = d.FontChooser()->currentFont();
                font.setPointSize(15);
                d.FontChooser()->setCurrentFont(font);
                d.SetColour(QColor(0x12, 0x34, 0x56));
                d.findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();
            });
        };
        form.Commands().Find("K4")->trigger();  // フォント > 本文...
        TESTING_ONLY_fontDialogShown = nullptr;
        QVERIFY(shown);
        QCOMPARE(Ini(temp, "Fonts", "TextSize"), std::string("15"));
        QCOMPARE(Ini(temp, "Fonts", "TextColor"), std::to_string(0x563412));
        // A colour that follows the desktop (system colour 8) stays so when only the size
        // changes.
        TESTING_ONLY_fontDialogShown = [&](TFontColorDlg& d) {
            QTimer::singleShot(0, &d, [&] {
                QFont font = d.FontChooser()->currentFont();
                font.setPointSize(14);
                d.FontChooser()->setCurrentFont(font);
                d.findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();
            });
        };
        form.Commands().Find("K3")->trigger();  // フォント > 記事一覧...
        TESTING_ONLY_fontDialogShown = nullptr;
        QCOMPARE(Ini(temp, "Fonts", "SubjSize"), std::string("14"));
        QCOMPARE(Ini(temp, "Fonts", "SubjColor"),
                 std::to_string(static_cast<int32_t>(0xFF000008u)));
        // The settings dialog shows the font and stores nothing new on OK.
        std::string before;
        RunSetUp(form, [&](TSetUpDlg& d) {
            before = ReadFile(temp.home() / "pelorin.INI");
            QCOMPARE(Child<QPushButton>(d, "cmdFontText")->font().pointSize(), 15);
            QCOMPARE(Child<QPushButton>(d, "cmdFontText")->palette().color(QPalette::ButtonText),
                     QColor(0x12, 0x34, 0x56));
            Press(d, "cmdOK");
        });
        QCOMPARE(ReadFile(temp.home() / "pelorin.INI"), before);
    }
};

QTEST_MAIN(SetupDialogTest)
#include "setup_dialog_test.moc"
