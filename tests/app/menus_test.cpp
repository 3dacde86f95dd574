// The マーク submenu of 編集, the message list's pop-up menu and the text view's pop-up menu: the
// marks reach the checked rows, the tree and the status line; every text menu item does its
// work (全体をコピー, コピー, ファイルへ保存, アドレス帳へ追加, 記事の検索 ...).
#include "app_testing.h"

#include "app/address_dialog.h"
#include "app/status_line.h"
#include "view/msglistbox.h"
#include "view/textview.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace pelorin;
using namespace pelorin::testing;

namespace {

void OpenArea(TMainForm& form) {
    form.AreaTree()->setCurrentItem(form.AreaTree()->PacketNode(0)->child(0));
    form.SelectArea('A');
}

void Select(TMainForm& form, std::initializer_list<int> rows) {
    form.MessageList()->clearSelection();
    for (int row : rows) form.MessageList()->SetSelected(row, true);
}

QString Marks(TMainForm& form) {
    QString marks;
    for (int row = 0; row < form.MessageList()->Count(); ++row)
        marks += QChar::fromLatin1(form.MessageList()->MsgAt(row)->mark);
    return marks;
}

QStringList Texts(const QMenu* menu) {
    QStringList texts;
    for (const QAction* action : menu->actions()) texts << action->text();
    return texts;
}

QAction* Item(const QMenu* menu, const QString& text) {
    for (QAction* action : menu->actions()) {
        if (action->text() == text)
            return action;
    }
    qFatal("no menu item %s", qPrintable(text));
}

}  // namespace

class MenusTest : public QObject {
    Q_OBJECT

private slots:
    void marksFromTheEditMenuAndTheListMenu() {
        TempDir temp;
        const std::string areas = MakePacket(temp / "p", "fj.test", 4);
        FakeDialogs dialogs;
        TMainForm form({Q(areas)}, &dialogs);
        OpenArea(form);
        auto* edit = form.menuBar()->findChild<QMenu*>(QStringLiteral("EditMenu"));
        const QMenu* marks = edit->findChild<QMenu*>(QStringLiteral("mnuMark"));
        QVERIFY(marks);
        QVERIFY(edit->actions().contains(marks->menuAction()));
        QCOMPARE(Texts(marks),
                 (QStringList{QStringLiteral("－ 削除(&D)"), QStringLiteral("＋ 保存(&K)"),
                              QStringLiteral("＿ 既読(&R)"), QStringLiteral("＊ 未読(&U)")}));

        Select(form, {0, 2});
        Item(marks, QStringLiteral("－ 削除(&D)"))->trigger();
        QCOMPARE(Marks(form), QStringLiteral("-*-*"));
        QCOMPARE(form.StatusLine()->Panel(0), QStringLiteral("2/4"));
        QVERIFY(form.AreaTree()->PacketNode(0)->child(0)->text(0).contains(QStringLiteral("(2)")));
        QVERIFY(form.CurrentArea()->marksChanged);
        Select(form, {2, 3});
        Item(marks, QStringLiteral("＿ 既読(&R)"))->trigger();
        QCOMPARE(Marks(form), QStringLiteral("-*  "));
        QCOMPARE(form.StatusLine()->Panel(0), QStringLiteral("1/4"));

        // The list's menu: the marks and the message actions.
        const QMenu* list = form.ListMenu();
        QVERIFY(list);
        const QStringList items = Texts(list);
        QCOMPARE(items.front(), QStringLiteral("マーク(&K)"));
        for (const char* name : {"EditCopyItem", "FileSaveAsItem", "mnuDecode", "mnuCopyToFolder",
                                 "mnuReplyMail", "mnuFollowNews", "mnuSendMe"})
            QVERIFY2(list->actions().contains(form.Commands().Find(name)), name);
        const QMenu* listMarks = list->actions().front()->menu();
        Select(form, {1});
        Item(listMarks, QStringLiteral("＋ 保存(&K)"))->trigger();
        QCOMPARE(Marks(form), QStringLiteral("-+  "));
        QCOMPARE(form.StatusLine()->Panel(0), QStringLiteral("0/4"));
        QVERIFY(dialogs.shown.empty());
    }

    void everyTextMenuItemWorks() {
        TempDir temp;
        const std::string areas = MakePacket(temp / "p", "fj.test", 3);
        FakeDialogs dialogs;
        TMainForm form({Q(areas)}, &dialogs);
        OpenArea(form);
        form.MessageList()->SetItemIndex(1);
        form.DisplayMessage();
        const QMenu* menu = form.TextMenu();
        QVERIFY(menu);
        QCOMPARE(
            Texts(menu),
            (QStringList{QStringLiteral("全体をコピー"), QStringLiteral("コピー"), QString(),
                         QStringLiteral("ファイルへ保存"), QStringLiteral("ファイルへデコード"),
                         QStringLiteral("フォルダへコピー"), QString(),
                         QStringLiteral("リプライメール"), QStringLiteral("フォローアップ記事"),
                         QStringLiteral("本文取得要求"), QString(),
                         QStringLiteral("アドレス帳へ追加"), QStringLiteral("記事の検索")}));
        // Each follows its command.
        QVERIFY(Item(menu, QStringLiteral("記事の検索"))->isEnabled());
        QVERIFY(Item(menu, QStringLiteral("リプライメール"))->isEnabled());
        QVERIFY(!Item(menu, QStringLiteral("本文取得要求"))->isEnabled());  // not an index area

        // 全体をコピー: the whole message even with two rows selected.
        Select(form, {0, 2});
        QGuiApplication::clipboard()->clear();
        Item(menu, QStringLiteral("全体をコピー"))->trigger();
        const QString whole = QGuiApplication::clipboard()->text();
        QVERIFY(whole.startsWith(QStringLiteral("From: user2@example.com\r\n")));
        QVERIFY(whole.endsWith(QStringLiteral("\r\nBody 2\r\n")));
        // コピー: with the rows selected, every selected message.
        Item(menu, QStringLiteral("コピー"))->trigger();
        QVERIFY(QGuiApplication::clipboard()->text().contains(QStringLiteral("Body 1")));
        QVERIFY(QGuiApplication::clipboard()->text().contains(QStringLiteral("Body 3")));

        // ファイルへ保存: the checked bodies.
        const std::string path = (temp / "saved.txt").string();
        form.Actions().chooseSaveFile = [&] { return path; };
        dialogs.answers = {MsgAnswer::Ok};
        Item(menu, QStringLiteral("ファイルへ保存"))->trigger();
        QCOMPARE(ReadFile(path), std::string("\r\nBody 1\r\n\r\nBody 3\r\n"));

        // アドレス帳へ追加: the address book with the sender filled in.
        QString address;
        TESTING_ONLY_addressDialogShown = [&](TAddressDlg& d) {
            QTimer::singleShot(0, &d, [&] {
                address = d.findChild<QLineEdit*>(QStringLiteral("edtAddress"))->text();
                d.findChild<QPushButton*>(QStringLiteral("cmdCancel"))->click();
            });
        };
        Item(menu, QStringLiteral("アドレス帳へ追加"))->trigger();
        TESTING_ONLY_addressDialogShown = nullptr;
        QCOMPARE(address, QStringLiteral("user2@example.com"));
    }
};

QTEST_MAIN(MenusTest)
#include "menus_test.moc"
