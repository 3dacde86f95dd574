// Start-up: a fresh own directory gets a settings file that documents itself (window, display,
// fonts, files, editor, the 28 key bindings, print headers); stored switches and toolbar
// places come back; the auto-load list opens its packets in the order of their numbers, also
// past 9; command-line arguments naming AREAS files open their packets (any case), others are
// ignored; a waiting outbound packet is announced; and errors of the core end in an error box.
#include "app_testing.h"

#include "coding/cp932.h"
#include "store/inifile.h"
#include "store/settings.h"

#include "app/about_box.h"
#include "app/app_version.h"
#include "app/default_settings.h"
#include "app/error_display.h"
#include "app/help_manual.h"
#include "app/status_line.h"
#include "app/toolbars.h"
#include "view/textview.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QTabBar>
#include <QTest>
#include <QToolBar>

#include <stdexcept>

using namespace pelorin;
using namespace pelorin::testing;

namespace {

// The packet directories of the tree's packet nodes, in tree order.
std::vector<std::string> OpenDirectories(const TMainForm& form) {
    std::vector<std::string> dirs;
    for (int i = 0; i < form.AreaTree()->PacketCount(); ++i)
        dirs.push_back(TAreaTree::PacketOf(form.AreaTree()->PacketNode(i))->directory);
    return dirs;
}

std::string Dir(const std::filesystem::path& path) {
    return path.string() + "/";
}

}  // namespace

class StartupTest : public QObject {
    Q_OBJECT

private slots:
    void aFreshStartWritesTheSettingsFile() {
        TempDir temp;
        FakeDialogs dialogs;
        {
            TMainForm form({}, &dialogs);
            QVERIFY(form.windowTitle().startsWith(QStringLiteral("Pelorin Version ")));
            QCOMPARE(form.AreaTree()->PacketCount(), 0);
            // No stored bounds: three quarters of the screen's available area, centred.
            const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
            const QSize size(available.width() * 3 / 4, available.height() * 3 / 4);
            QCOMPARE(form.size(), size);
            QCOMPARE(form.pos(),
                     available.topLeft() + QPoint((available.width() - size.width()) / 2,
                                                  (available.height() - size.height()) / 2));
            QVERIFY(!form.Commands().Enabled("mnuClose"));
            QVERIFY(form.Commands().Checked("N3"));
            QVERIFY(form.Commands().Checked("mnuTab"));
            QVERIFY(!form.Commands().Checked("mnuFill"));
            for (const char* name :
                 {"mnuTBFile", "mnuTBCopy", "mnuTBHistry", "mnuTBMessage", "mnuTBSort"})
                QVERIFY(form.Commands().Checked(name));
            QCOMPARE(form.TextView()->ClickableColor(), QColor(0, 0, 255));
            // Seven-digit counts fit the counts panel.
            const QLabel* counts = form.StatusLine()->PanelLabel(0);
            QVERIFY(counts->contentsRect().width() >=
                    counts->fontMetrics().horizontalAdvance(QStringLiteral("1000000/1000000")));
            // Menus and toolbars hold the commands that exist, and nothing else.
            QStringList fileMenu;
            for (QAction* action : form.findChild<QMenu*>(QStringLiteral("FileMenu"))->actions())
                fileMenu << action->text();
            QCOMPARE(
                fileMenu,
                (QStringList{QStringLiteral("パケットを開く(&O)..."),
                             QStringLiteral("パケットを閉じる(&C)"), QString(),
                             QStringLiteral("新規フォルダパケット"), QStringLiteral("新規フォルダ"),
                             QString(), QStringLiteral("名前をつけて保存(&A)..."), QString(),
                             QStringLiteral("印刷(&P)..."), QStringLiteral("ﾌﾟﾘﾝﾀの設定(&R)..."),
                             QString(), QStringLiteral("設定"), QString(),
                             QStringLiteral("削除マークを処理して終了(&X)"),
                             QStringLiteral("終了(&Q)")}));
            QToolBar* file = form.Toolbars().Bar(TToolbars::File);
            QCOMPARE(file->actions().size(), 5);
            QCOMPARE(file->actions().at(0)->toolTip(), QStringLiteral("パケットを開く"));
            QVERIFY(form.findChild<QWidget*>(QStringLiteral("ftbQuit")));
            QCOMPARE(form.Toolbars().Bar(TToolbars::Copy)->actions().size(), 4);
            QVERIFY(form.Toolbars().Bar(TToolbars::Copy)->isVisibleTo(&form));
            QCOMPARE(form.Toolbars().Bar(TToolbars::View)->windowTitle(), QStringLiteral("表示"));
            form.close();
        }
        QVERIFY(dialogs.shown.empty());

        TIniF ini((temp.home() / "pelorin.INI").string());
        const TSList sections = ini.ReadSections();
        for (const char* name :
             {"Window", "Display", "Fonts", "Files", "Editor", "KeyBind", "Print", "ToolbarFile",
              "ToolbarCopy", "ToolbarView", "ToolbarMessage", "ToolbarSort"})
            QVERIFY2(std::find(sections.begin(), sections.end(), name) != sections.end(), name);
        QCOMPARE(ini.ReadString("Display", "SortType", "?"), std::string("0"));
        // The panes in proportion: the area tree a quarter of the width, the strip two fifths of
        // the height.
        const int width = static_cast<int>(ini.ReadInteger("Window", "Width", 0));
        const int height = static_cast<int>(ini.ReadInteger("Window", "Height", 0));
        QVERIFY(width > 500 && height > 300);
        QCOMPARE(ini.ReadInteger("Window", "BWidth", 0), width / 4);
        QCOMPARE(ini.ReadInteger("Window", "BHeight", 0), height * 2 / 5);
        QCOMPARE(ini.ReadString("Display", "PanelPlane", "?"), std::string("Y"));
        QCOMPARE(ini.ReadString("Window", "SetPattern", "?"), std::string("AST"));
        QCOMPARE(ini.ReadString("Fonts", "ClickableColor", "?"), std::string("16711680"));
        QCOMPARE(ini.ReadString("Files", "Outbound", "?"), temp.home().string() + "/");
        QCOMPARE(ini.ReadString("Files", "DataPath", "?"), temp.home().string() + "/");
        QVERIFY(!ini.ReadString("Editor", "ExternalEditor", "").empty());

        const auto bindings = ini.ReadSectionValues("KeyBind");
        QCOMPARE(bindings.size(), std::size(kDefaultBindings));
        for (size_t i = 0; i < bindings.size(); ++i) {
            QCOMPARE(bindings[i].first, std::string(kDefaultBindings[i].key));
            QCOMPARE(bindings[i].second, std::string(kDefaultBindings[i].binding));
        }
        TSList left, right;
        ReadList(ini, "Print", "PrintLeftHeader", left);
        ReadList(ini, "Print", "PrintRightHeader", right);
        QCOMPARE(left, (TSList{S("タイトル: %s"), S("差出人: %F"), S("投稿日: %Y年%m月%d日")}));
        QCOMPARE(right, TSList{"printed by Pelorin"});
        QCOMPARE(ini.ReadString("ToolbarFile", "Rev", "?"), std::string("2"));
        QCOMPARE(ini.ReadString("ToolbarView", "DockedTo", "?"), std::string("DockRight"));
    }

    void keepsWhatTheUserStored() {
        TempDir temp;
        WriteSettings(temp,
                      "[KeyBind]\r\n_N=\r\nC_A=MarkAll( ,*)\r\n[Print]\r\nPrintRightHeader0=右\r\n"
                      "[Display]\r\nShowStatusBar=N\r\nShowMessageTab=N\r\nPanelPlane=N\r\n"
                      "[Window]\r\nLeft=30\r\nTop=20\r\nWidth=640\r\nHeight=480\r\n"
                      "[ToolbarFile]\r\nRev=2\r\nVisible=0\r\nDockedTo=DockTop\r\n"
                      "[ToolbarView]\r\nRev=2\r\nVisible=1\r\nDockedTo=DockLeft\r\n"
                      "[ToolbarCopy]\r\nRev=1\r\nVisible=0\r\n");
        FakeDialogs dialogs;
        TMainForm form({}, &dialogs);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(form.size(), QSize(640, 480));
        QVERIFY(!form.StatusLine()->isVisible());
        QVERIFY(!form.MimeTab()->isVisibleTo(&form));
        QVERIFY(form.Commands().Checked("mnuFill"));
        QVERIFY(form.Panes()->FullWindow());
        QVERIFY(!form.Commands().Checked("mnuTBFile"));
        QVERIFY(!form.Toolbars().Bar(TToolbars::File)->isVisible());
        QCOMPARE(form.toolBarArea(form.Toolbars().Bar(TToolbars::View)), Qt::LeftToolBarArea);
        QVERIFY(form.Commands().Checked("mnuTBCopy"));  // Rev 1: the section is not used
        form.close();

        TIniF ini((temp.home() / "pelorin.INI").string());
        QCOMPARE(ini.ReadString("KeyBind", "_N", "?"), std::string());
        QCOMPARE(ini.ReadString("KeyBind", "C_A", "?"), std::string("MarkAll( ,*)"));
        QCOMPARE(ini.ReadString("KeyBind", "_P", "?"), std::string("ShowPrevMessage"));
        QCOMPARE(ini.ReadString("Print", "PrintRightHeader0", "?"), S("右"));
        QCOMPARE(ini.ReadString("Print", "PrintRightHeader1", "?"), std::string("?"));
        QCOMPARE(ini.ReadString("ToolbarFile", "Visible", "?"), std::string("0"));
        QCOMPARE(ini.ReadString("ToolbarView", "DockedTo", "?"), std::string("DockLeft"));
    }

    void autoLoadOpensInNumberOrder() {
        TempDir temp;
        // Twelve packets; the keys are stored out of order, and one names a missing packet.
        std::string settings = "[Files]\r\n";
        for (int n : {10, 2, 0, 11, 9, 1, 3, 4, 5, 6, 7, 8}) {
            const std::string areas =
                MakePacket(temp / ("p" + std::to_string(n)), "area" + std::to_string(n), 1);
            settings += "AutoLoad" + std::to_string(n) + "=" + areas + "\r\n";
        }
        settings += "AutoLoad12=" + (temp / "missing" / "AREAS").string() + "\r\n";
        settings += "AutoLoad13=" + (temp / "p0" / "areas").string() + "\r\n";  // open already
        WriteSettings(temp, settings);
        FakeDialogs dialogs;
        TMainForm form({}, &dialogs);
        std::vector<std::string> expected;
        for (int n = 0; n <= 11; ++n) expected.push_back(Dir(temp / ("p" + std::to_string(n))));
        QCOMPARE(OpenDirectories(form), expected);
        QVERIFY(dialogs.shown.empty());
        form.close();
    }

    void argumentsNamingAreasOpenTheirPackets() {
        TempDir temp;
        const std::string a = MakePacket(temp / "a", "alpha", 2);
        const std::string b = MakePacket(temp / "b", "beta", 2);
        MakePacket(temp / "c", "gamma", 2);
        std::filesystem::rename(temp / "c" / "AREAS", temp / "c" / "areas");
        MakePacket(temp / "d", "delta", 2);
        const QString saved = QDir::currentPath();
        QDir::setCurrent(QString::fromStdString((temp / "d").string()));
        FakeDialogs dialogs;
        TMainForm form({Q(a),
                        Q((temp / "b" / "0000001.MSG").string()),  // not an AREAS file
                        Q((temp / "c" / "Areas").string()),        // any case, either way
                        Q((temp / "missing" / "AREAS").string()),  // no such file
                        Q(a),                                      // open already
                        Q((temp / "nowhere" / "AREAS").string()),  // no such file either
                        Q((temp / "missing" / "AREAS").string()),  // named once
                        QStringLiteral("..\\d\\AREAS")},           // "\" separates too
                       &dialogs);
        QDir::setCurrent(saved);
        QCOMPARE(OpenDirectories(form),
                 (std::vector<std::string>{Dir(temp / "a"), Dir(temp / "c"), Dir(temp / "d")}));
        // The missing ones are named, together, in one message.
        QCOMPARE(dialogs.shown.size(), size_t{1});
        QCOMPARE(dialogs.shown[0].icon, MsgIcon::Warning);
        QCOMPARE(U(dialogs.shown[0].text), "次のパケットは見つからないため開けませんでした。\n" +
                                               (temp / "missing" / "AREAS").string() + "\n" +
                                               (temp / "nowhere" / "AREAS").string());
        (void)b;
        form.close();
    }

    void announcesAWaitingOutboundPacket() {
        TempDir temp;
        std::filesystem::create_directories(temp / "out");
        WriteSettings(temp, "[Files]\r\nOutbound=" + (temp / "out").string() + "\r\n");
        {
            WriteFile(temp / "out" / "REPLIES", "");
            FakeDialogs dialogs;
            TMainForm form({}, &dialogs);
            QVERIFY(dialogs.shown.empty());  // an empty REPLIES is nothing to send
            form.close();
        }
        {
            WriteFile(temp / "out" / "REPLIES", "0000001\tmail\tbn\n");
            FakeDialogs dialogs;
            TMainForm form({}, &dialogs);
            QCOMPARE(dialogs.shown.size(), size_t(1));
            QCOMPARE(dialogs.shown[0].text,
                     (temp / "out" / "REPLIES").string() + "\n" +
                         S("に送信パケットが残っています。\n送信し忘れないようにしましょう。"));
            QCOMPARE(dialogs.shown[0].buttons, MsgButtons::Ok);
            form.close();
        }
        {
            WriteSettings(temp, "[Files]\r\nOutbound=\r\n");
            FakeDialogs dialogs;
            TMainForm form({}, &dialogs);
            QVERIFY(dialogs.shown.empty());
            form.close();
        }
    }

    void theManualIsFoundAndOpenedWithF1() {
        TempDir temp;
        const std::filesystem::path source =
            std::filesystem::path(PELORIN_SOURCE_DIR) / "dist" / "manual" / "index.html";
        const std::string manual = ReadFile(source);
        // Japanese, and about everything a daily user meets.
        for (const char* part : {"lang=\"ja\"", "id=\"reading\"", "id=\"compose\"",
                                 "id=\"address\"", "id=\"subcommand\"", "id=\"settings\"",
                                 "id=\"transfer\"", "id=\"files\"", "pelorin-transfer fetch"})
            QVERIFY2(manual.find(part) != std::string::npos, part);
        // Beside the program (the build tree), else where installing puts it.
        std::filesystem::create_directories(temp / "bin");
        QCOMPARE(FindManual(Q((temp / "bin").string())), QString());
        std::filesystem::create_directories(temp / "share" / "pelorin" / "manual");
        std::filesystem::copy_file(source, temp / "share" / "pelorin" / "manual" / "index.html");
        QCOMPARE(FindManual(Q((temp / "bin").string())),
                 Q((temp / "share" / "pelorin" / "manual" / "index.html").string()));
        std::filesystem::create_directories(temp / "bin" / "manual");
        std::filesystem::copy_file(source, temp / "bin" / "manual" / "index.html");
        QCOMPARE(FindManual(Q((temp / "bin").string())),
                 Q((temp / "bin" / "manual" / "index.html").string()));

        FakeDialogs dialogs;
        TMainForm form({}, &dialogs);
        QAction* help = form.Commands().Find("HelpContentsItem");
        QCOMPARE(help->shortcut(), QKeySequence(Qt::Key_F1));
        auto* menu = form.menuBar()->findChild<QMenu*>(QStringLiteral("HelpMenu"));
        QCOMPARE(menu->actions().front(), help);
        QString opened;
        form.openManual = [&](const QString& file) { opened = file; };
        help->trigger();
        // The test program has no manual beside it: that is said, nothing is opened.
        if (FindManual(QCoreApplication::applicationDirPath()).isEmpty()) {
            QVERIFY(opened.isEmpty());
            QCOMPARE(dialogs.shown.size(), size_t(1));
            QCOMPARE(U(dialogs.shown[0].text), std::string("操作説明が見つかりません。"));
        } else {
            QCOMPARE(opened, FindManual(QCoreApplication::applicationDirPath()));
        }
        form.close();
    }

    void theAboutBoxShowsTheVersion() {
        TAboutBox box("Version 1.2.3");
        QCOMPARE(box.windowTitle(), QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報"));
        QCOMPARE(box.findChild<QLabel*>(QStringLiteral("Version"))->text(),
                 QStringLiteral("Version 1.2.3"));
        QVERIFY(!box.findChild<QLabel*>(QStringLiteral("ProgramIcon"))->pixmap().isNull());
        QCOMPARE(VersionText(""), std::string("Version: Error"));
        QCOMPARE(VersionText("0.1.0"), std::string("Version 0.1.0"));
    }

    void errorsEndInAnErrorBox() {
        TempDir temp;
        FakeDialogs dialogs;
        TMainForm form({}, &dialogs);
        QAction* failing = form.Commands().Add("TestFailing", QStringLiteral("x"), QString(), [] {
            throw std::runtime_error(Sjis("書けません: ") + "/tmp/x");
        });
        failing->trigger();
        failing->trigger();
        QCOMPARE(dialogs.shown.size(), size_t(2));
        QCOMPARE(dialogs.shown[0].text, S("書けません: /tmp/x"));
        QCOMPARE(dialogs.shown[0].icon, MsgIcon::Error);
        // UTF-8 messages (file names from the standard library) are shown as text too.
        QCOMPARE(ErrorText("ファイル /tmp/データ がありません"),
                 S("ファイル /tmp/データ がありません"));
        QCOMPARE(ErrorText(""), S("不明なエラーが発生しました。"));
        form.close();
    }
};

QTEST_MAIN(StartupTest)
#include "startup_test.moc"
