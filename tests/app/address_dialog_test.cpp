// The address book window: adding at the top and under a group, changing and deleting, that
// Cancel still saves, that a file whose levels jump shows the error naming the line and is
// never saved over, and the window opened from the header form with the recipient's parts
// filled in, giving back the chosen entry.
#include "app/address_dialog.h"

#include "app_testing.h"

#include "store/compose_form.h"

#include "app/header_form.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

using namespace pelorin;
using namespace pelorin::testing;

namespace {

// The tree as text: each node's text, children in parentheses, "+" after an expanded node.
QString Dump(QTreeWidgetItem* item) {
    QString s = item->text(0);
    if (item->isExpanded())
        s += QLatin1Char('+');
    if (item->childCount() > 0) {
        QStringList children;
        for (int i = 0; i < item->childCount(); ++i) children << Dump(item->child(i));
        s += QLatin1Char('(') + children.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return s;
}

QString Dump(QTreeWidget* tree) {
    QStringList top;
    for (int i = 0; i < tree->topLevelItemCount(); ++i) top << Dump(tree->topLevelItem(i));
    return top.join(QLatin1Char(' '));
}

QTreeWidget* Tree(TAddressDlg& d) {
    return d.findChild<QTreeWidget*>(QStringLiteral("tvAddress"));
}

void Type(TAddressDlg& d, const char* name, const char* address) {
    d.findChild<QLineEdit*>(QStringLiteral("edtName"))->setText(QString::fromUtf8(name));
    d.findChild<QLineEdit*>(QStringLiteral("edtAddress"))->setText(QString::fromUtf8(address));
}

void Click(QWidget& d, const char* name) {
    d.findChild<QPushButton*>(QString::fromLatin1(name))->click();
}

// Runs `act` on the address book window once it is up, then leaves it with `button`.
struct DialogScript {
    std::function<void(TAddressDlg&)> act;
    const char* button = "cmdOK";
    int shown = 0;

    DialogScript() {
        TESTING_ONLY_addressDialogShown = [this](TAddressDlg& d) {
            ++shown;
            QTimer::singleShot(0, &d, [this, &d] {
                if (act)
                    act(d);
                Click(d, button);
            });
        };
    }
    ~DialogScript() { TESTING_ONLY_addressDialogShown = nullptr; }
};

std::string Dir(const TempDir& temp) {
    std::filesystem::create_directories(temp.home());
    return temp.home().string() + "/";
}

}  // namespace

class AddressDialogTest : public QObject {
    Q_OBJECT

private slots:
    void addChangeDelete() {
        TempDir temp;
        WriteFile(temp.home() / "ADDRESS.DAT", S("友人\r\n\t山田<yamada@example.jp>\r\n"));
        TAddressBookDialogModel model(Dir(temp));
        TAddressDlg d(model);
        QTreeWidget* tree = Tree(d);
        QCOMPARE(Dump(tree), QStringLiteral("友人(山田<yamada@example.jp>)"));

        // Nothing selected: a top-level entry.
        Type(d, "鈴木", "suzuki@example.jp");
        Click(d, "cmdAdd");
        QCOMPARE(Dump(tree),
                 QStringLiteral("友人(山田<yamada@example.jp>) 鈴木<suzuki@example.jp>"));
        // A group selected: its child, and the group opens. Choosing a group leaves the fields.
        tree->setCurrentItem(tree->topLevelItem(0));
        QCOMPARE(d.findChild<QLineEdit*>(QStringLiteral("edtName"))->text(),
                 QStringLiteral("鈴木"));
        Type(d, "佐藤", "");
        Click(d, "cmdAdd");
        QCOMPARE(Dump(tree),
                 QStringLiteral("友人+(山田<yamada@example.jp> 佐藤<>) 鈴木<suzuki@example.jp>"));
        // An empty name adds nothing.
        Type(d, "", "nobody@example.jp");
        Click(d, "cmdAdd");
        QCOMPARE(tree->topLevelItem(0)->childCount(), 2);

        // Choosing an entry fills the fields; 変更 rewrites it.
        tree->setCurrentItem(tree->topLevelItem(0)->child(0));
        QCOMPARE(d.findChild<QLineEdit*>(QStringLiteral("edtName"))->text(),
                 QStringLiteral("山田"));
        QCOMPARE(d.findChild<QLineEdit*>(QStringLiteral("edtAddress"))->text(),
                 QStringLiteral("yamada@example.jp"));
        Type(d, "山田 太郎", "taro@example.jp");
        Click(d, "cmdMod");
        QCOMPARE(
            Dump(tree),
            QStringLiteral("友人+(山田 太郎<taro@example.jp> 佐藤<>) 鈴木<suzuki@example.jp>"));
        QCOMPARE(tree->currentItem()->text(0), QStringLiteral("山田 太郎<taro@example.jp>"));

        // 削除 removes a node with its children.
        tree->setCurrentItem(tree->topLevelItem(0));
        Click(d, "cmdDel");
        QCOMPARE(Dump(tree), QStringLiteral("鈴木<suzuki@example.jp>"));
        QCOMPARE(d.windowTitle(), QStringLiteral("アドレス帳"));
        QCOMPARE(d.findChild<QPushButton*>(QStringLiteral("cmdCancel"))->text(),
                 QStringLiteral("ｷｬﾝｾﾙ"));
    }

    void cancelStillSavesAndLevelJumpsAreNeverSavedOver() {
        TempDir temp;
        const std::string dir = Dir(temp);
        FakeDialogs dialogs;
        DialogScript script;
        script.button = "cmdCancel";
        script.act = [](TAddressDlg& d) {
            Type(d, "田中", "tanaka@example.jp");
            Click(d, "cmdAdd");
        };
        QVERIFY(!RunAddressBook(dir, {}, dialogs, nullptr));
        QCOMPARE(U(ReadFile(temp.home() / "ADDRESS.DAT")),
                 std::string("田中<tanaka@example.jp>\r\n"));
        QVERIFY(dialogs.shown.empty());

        // Two group levels read back as they were written.
        script.act = [](TAddressDlg& d) {
            QTreeWidget* tree = Tree(d);
            Type(d, "会社", "");
            Click(d, "cmdAdd");
            tree->setCurrentItem(tree->topLevelItem(1));
            Type(d, "部署", "");
            Click(d, "cmdAdd");
            tree->setCurrentItem(tree->topLevelItem(1)->child(0));
            Type(d, "課長", "kacho@example.jp");
            Click(d, "cmdAdd");
        };
        RunAddressBook(dir, {}, dialogs, nullptr);
        const std::string saved = ReadFile(temp.home() / "ADDRESS.DAT");
        QCOMPARE(U(saved), std::string("田中<tanaka@example.jp>\r\n会社<>\r\n\t部署<>\r\n\t\t課長<"
                                       "kacho@example.jp>\r\n"));
        QString reread;
        script.act = [&reread](TAddressDlg& d) { reread = Dump(Tree(d)); };
        RunAddressBook(dir, {}, dialogs, nullptr);
        QCOMPARE(reread,
                 QStringLiteral("田中<tanaka@example.jp> 会社<>+(部署<>+(課長<kacho@example.jp>))")
                     .remove(QLatin1Char('+')));
        QCOMPARE(ReadFile(temp.home() / "ADDRESS.DAT"), saved);

        // A hand-edited file jumping from level 0 to level 2: the error names the line, the
        // nodes before it show, and nothing is written over the file, whatever the user does.
        const std::string jumped =
            S("組\r\n\t\t深すぎ<deep@example.jp>\r\n残り<rest@example.jp>\r\n");
        WriteFile(temp.home() / "ADDRESS.DAT", jumped);
        script.button = "cmdOK";
        script.act = [&reread](TAddressDlg& d) {
            reread = Dump(Tree(d));
            Type(d, "新規", "new@example.jp");
            Click(d, "cmdAdd");
        };
        RunAddressBook(dir, {}, dialogs, nullptr);
        QCOMPARE(reread, QStringLiteral("組"));
        QCOMPARE(dialogs.shown.size(), size_t(2));
        QVERIFY(U(dialogs.shown[0].text).find("深すぎ<deep@example.jp>") != std::string::npos);
        QVERIFY(U(dialogs.shown[1].text).find("保存しませんでした") != std::string::npos);
        QCOMPARE(ReadFile(temp.home() / "ADDRESS.DAT"), jumped);
    }

    void openedFromTheHeaderForm() {
        TempDir temp;
        const std::string dir = Dir(temp);
        WriteFile(temp.home() / "ADDRESS.DAT",
                  S("友人\r\n\t山田<yamada@example.jp>\r\n\t鈴木<suzuki@example.jp>\r\n"));
        FakeDialogs dialogs;
        THeaderForm form = PrepareHeaderForm(kMail, nullptr, "", false, dir);
        form.recipient = S("佐藤 <sato@example.jp>");
        TfrmInput input(form, dir, dialogs);
        auto* to = input.findChild<QComboBox*>(QStringLiteral("cmbTo"));
        // The drop-down offers the whole entries.
        QCOMPARE(to->count(), 2);
        QCOMPARE(to->itemText(1), QStringLiteral("鈴木<suzuki@example.jp>"));

        DialogScript script;
        QString name, address;
        script.act = [&](TAddressDlg& d) {
            name = d.findChild<QLineEdit*>(QStringLiteral("edtName"))->text();
            address = d.findChild<QLineEdit*>(QStringLiteral("edtAddress"))->text();
            QTreeWidget* tree = Tree(d);
            tree->setCurrentItem(tree->topLevelItem(0)->child(1));
        };
        input.cmdAddressClick();
        QCOMPARE(script.shown, 1);
        QCOMPARE(name, QStringLiteral("佐藤"));
        QCOMPARE(address, QStringLiteral("sato@example.jp"));
        QCOMPARE(to->currentText(), QStringLiteral("鈴木<suzuki@example.jp>"));
        // OK: the header list takes the address inside the brackets.
        input.accept();
        QCOMPARE(HeaderList(form)[1], std::string("To: suzuki@example.jp"));

        // Cancel in the address book leaves the recipient as it was.
        script.button = "cmdCancel";
        input.cmdAddressClick();
        QCOMPARE(to->currentText(), QStringLiteral("鈴木<suzuki@example.jp>"));
    }
};

QTEST_MAIN(AddressDialogTest)
#include "address_dialog_test.moc"
