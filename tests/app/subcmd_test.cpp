// The sub-command dialog and the window's runs: the dialog's defaults and enabling rules, a
// condition tree built with its controls, 登録 / 削除 and loading back in a new dialog; the
// サブコマンド menu item only with an area open; ExecSubCommand with an unknown and a stored
// name, the rows it marks and selects.
#include "app_testing.h"

#include "app/status_line.h"
#include "app/subcmd_dialog.h"
#include "view/msglistbox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeWidget>

using namespace pelorin;
using namespace pelorin::testing;

namespace {

QString Dump(QTreeWidgetItem* item) {
    QString s = item->text(0);
    if (item->childCount() > 0) {
        QStringList children;
        for (int i = 0; i < item->childCount(); ++i) children << Dump(item->child(i));
        s += QLatin1Char('(') + children.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return s;
}

template <class W>
W* Child(QObject& o, const char* name) {
    W* w = o.findChild<W*>(QLatin1String(name));
    if (!w)
        qFatal("no control %s", name);
    return w;
}

bool Enabled(QObject& o, const char* name) {
    return Child<QWidget>(o, name)->isEnabled();
}

// Adds a condition leaf through the controls.
void AddLeaf(TCMD& d, const QString& field, int op, const QString& value, bool andGroup) {
    Child<QComboBox>(d, "cmbHeader")->setEditText(field);
    Child<QComboBox>(d, "cmbCond")->setCurrentIndex(op);
    Child<QComboBox>(d, "cmbText")->setEditText(value);
    Child<QRadioButton>(d, andGroup ? "OptAnd" : "OptOr")->setChecked(true);
    QVERIFY(Enabled(d, "btnAdd"));
    Child<QPushButton>(d, "btnAdd")->click();
}

void SelectNode(TCMD& d, int line) {
    auto* tree = Child<QTreeWidget>(d, "tvCondition");
    QTreeWidgetItemIterator it(tree);
    for (int i = 0; *it; ++it, ++i) (*it)->setSelected(i == line);
}

}  // namespace

class SubCmdTest : public QObject {
    Q_OBJECT

private slots:
    void dialogDefaultsAndEnablingRules() {
        TempDir temp;
        TCMD d((temp.home() / "SUBCMD.INI").string());
        d.AddFolder("keep(F)", nullptr);
        d.Activate();
        QCOMPARE(d.windowTitle(), QStringLiteral("サブコマンド実行"));
        QVERIFY(Child<QRadioButton>(d, "optSelected")->isChecked());
        QVERIFY(!Enabled(d, "cmdSave"));
        QVERIFY(!Enabled(d, "cmdDel"));
        QVERIFY(!Enabled(d, "OKBtn"));
        QVERIFY(!Enabled(d, "cmbHeader"));
        QVERIFY(!Enabled(d, "btnAdd"));
        QVERIFY(Child<QCheckBox>(d, "cbCode")->isChecked());
        QVERIFY(!Enabled(d, "cbCode"));
        QVERIFY(!Enabled(d, "edtFilename"));
        QVERIFY(!Enabled(d, "cmbFolder"));
        QCOMPARE(Child<QPushButton>(d, "cmdSave")->toolTip(), QStringLiteral("コマンドの保存"));

        // An action: 選択 alone runs in selected-message mode.
        Child<QCheckBox>(d, "cbCheck")->setChecked(true);
        QVERIFY(Enabled(d, "OKBtn"));
        // Condition mode with an empty tree never runs.
        Child<QRadioButton>(d, "optCond")->setChecked(true);
        QVERIFY(!Enabled(d, "OKBtn"));
        QVERIFY(Enabled(d, "cmbHeader"));
        Child<QCheckBox>(d, "cbCheck")->setChecked(false);

        // Folder copy counts only with a folder chosen.
        Child<QCheckBox>(d, "cbFolderCopy")->setChecked(true);
        QVERIFY(Enabled(d, "cmbFolder"));
        // The mark: the list follows its box; 即時削除 only with "－".
        Child<QCheckBox>(d, "cbMarkSet")->setChecked(true);
        QVERIFY(Enabled(d, "cmbMark"));
        Child<QComboBox>(d, "cmbMark")->setCurrentIndex(0);
        QVERIFY(Enabled(d, "cbKill"));
        Child<QComboBox>(d, "cmbMark")->setCurrentIndex(1);
        QVERIFY(!Enabled(d, "cbKill"));
        // Saving: options follow ファイルへ保存; the name is off with 保管ファイルへ.
        Child<QCheckBox>(d, "cbSave")->setChecked(true);
        QVERIFY(Enabled(d, "cbHeader"));
        QVERIFY(Enabled(d, "edtFilename"));
        Child<QCheckBox>(d, "cbExpire")->setChecked(true);
        QVERIFY(!Enabled(d, "edtFilename"));
        QVERIFY(!Enabled(d, "cmdRef"));

        // Field choice: operators and suggestions.
        auto* header = Child<QComboBox>(d, "cmbHeader");
        auto* cond = Child<QComboBox>(d, "cmbCond");
        auto* text = Child<QComboBox>(d, "cmbText");
        header->setEditText(QStringLiteral("Subject"));
        QCOMPARE(cond->count(), 2);
        QCOMPARE(text->count(), 0);
        header->setEditText(QStringLiteral("Date"));
        QCOMPARE(cond->count(), 6);
        QCOMPARE(cond->itemText(5), QStringLiteral("≧"));
        QCOMPARE(text->itemText(0), QStringLiteral("ExpireDate"));
        header->setEditText(QStringLiteral("マーク"));
        QCOMPARE(text->count(), 3);
        header->setEditText(QString());
        QVERIFY(!cond->isEnabled());
        QVERIFY(!Enabled(d, "btnAdd"));
    }

    void buildsATreeSavesDeletesAndReloads() {
        TempDir temp;
        const std::string ini = (temp.home() / "SUBCMD.INI").string();
        std::filesystem::create_directories(temp.home());
        {
            TCMD d(ini);
            d.AddFolder("keep(OLD)", nullptr);
            d.AddFolder("keep(NEW)", nullptr);
            d.Activate();
            Child<QRadioButton>(d, "optCond")->setChecked(true);
            AddLeaf(d, QStringLiteral("Subject"), 0, QStringLiteral("A"), true);
            QCOMPARE(Dump(Child<QTreeWidget>(d, "tvCondition")->topLevelItem(0)),
                     QStringLiteral("Subject＝A"));
            // No node selected in a non-empty tree: 追加 is off until one is.
            Child<QComboBox>(d, "cmbText")->setEditText(QStringLiteral("B"));
            QVERIFY(!Enabled(d, "btnAdd"));
            SelectNode(d, 0);
            AddLeaf(d, QStringLiteral("From"), 1, QStringLiteral("B"), true);
            SelectNode(d, 2);
            AddLeaf(d, QStringLiteral("Lines"), 3, QStringLiteral("100"), false);
            QCOMPARE(Dump(Child<QTreeWidget>(d, "tvCondition")->topLevelItem(0)),
                     QStringLiteral("[And](Subject＝A [Or](From≠B Lines≦100))"));
            SelectNode(d, 4);
            QVERIFY(Enabled(d, "btnDelete"));
            Child<QPushButton>(d, "btnDelete")->click();
            QCOMPARE(Dump(Child<QTreeWidget>(d, "tvCondition")->topLevelItem(0)),
                     QStringLiteral("[And](Subject＝A From≠B)"));

            Child<QCheckBox>(d, "cbMarkSet")->setChecked(true);
            Child<QComboBox>(d, "cmbMark")->setCurrentIndex(3);
            Child<QCheckBox>(d, "cbFolderCopy")->setChecked(true);
            Child<QComboBox>(d, "cmbFolder")->setCurrentIndex(0);
            QVERIFY(d.CanRun());
            Child<QComboBox>(d, "cmbCommand")->setEditText(QStringLiteral("  未読に  "));
            QVERIFY(Enabled(d, "cmdSave"));
            Child<QPushButton>(d, "cmdSave")->click();
            Child<QComboBox>(d, "cmbCommand")->setEditText(QStringLiteral("二つ目"));
            Child<QPushButton>(d, "cmdSave")->click();
            d.reject();  // closing writes the name list
        }
        std::string text = ReadFile(ini);
        QVERIFY(text.find(S("SubCom0=未読に\r\nSubCom1=二つ目")) != std::string::npos);
        QVERIFY(text.find("Mark=Q\r\n") != std::string::npos);
        QVERIFY(text.find(S("ConditionStr2=\" From≠B\"")) != std::string::npos);
        {
            TCMD d(ini);
            d.AddFolder("keep(NEW)", nullptr);
            d.Activate();
            QCOMPARE(Child<QComboBox>(d, "cmbCommand")->count(), 2);
            Child<QComboBox>(d, "cmbCommand")->setEditText(QStringLiteral("未読に"));
            QVERIFY(Enabled(d, "cmdDel"));
            QVERIFY(Child<QRadioButton>(d, "optCond")->isChecked());
            QCOMPARE(Dump(Child<QTreeWidget>(d, "tvCondition")->topLevelItem(0)),
                     QStringLiteral("[And](Subject＝A From≠B)"));
            QCOMPARE(Child<QComboBox>(d, "cmbMark")->currentIndex(), 3);
            // "keep(OLD)" is no entry now: the last entry of the same area is chosen.
            QCOMPARE(Child<QComboBox>(d, "cmbFolder")->currentText(), QStringLiteral("keep(NEW)"));
            QVERIFY(d.CanRun());
            Child<QPushButton>(d, "cmdDel")->click();
            QCOMPARE(Child<QComboBox>(d, "cmbCommand")->count(), 1);
            QVERIFY(Child<QTreeWidget>(d, "tvCondition")->topLevelItemCount() == 0);
            d.reject();
        }
        text = ReadFile(ini);
        QVERIFY(text.find(S("SubCom0=二つ目\r\n")) != std::string::npos);
        QVERIFY(text.find(S("SubCom1=")) == std::string::npos);
        QVERIFY(text.find(S("[未読に]")) != std::string::npos);  // the section stays
    }

    void windowMenuAndExecSubCommand() {
        TempDir temp;
        const std::string areas = MakePacket(temp / "p", "fj.test", 6);
        std::filesystem::create_directories(temp.home());
        WriteFile(temp.home() / "SUBCMD.INI",
                  S("[SubCommands]\r\nSubCom0=keep them\r\nSubCom1=no action\r\n"
                    "[keep them]\r\nTarget=MessageSelect\r\nConditionStr0=\"[Or]\"\r\n"
                    "ConditionStr1=\" Subject＝Subject 2\"\r\nConditionStr2=\" 本文＝Body 5\"\r\n"
                    "UseRegEx=N\r\nMarkSet=Y\r\nMark=|\r\nCheckMark=Y\r\n"
                    "[no action]\r\nTarget=MessageSelect\r\nConditionStr0=\"Subject\"\r\n"));
        FakeDialogs dialogs;
        TMainForm form({Q(areas)}, &dialogs);
        form.subCommandPauseMs = 0;
        auto* edit = form.menuBar()->findChild<QMenu*>(QStringLiteral("EditMenu"));
        QVERIFY(edit->actions().contains(form.Commands().Find("mnuSubCommand")));
        QVERIFY(!form.Commands().Enabled("mnuSubCommand"));
        QVERIFY(form.Commands().Enabled("mnuFind"));  // search

        // No area open: a stored name runs nothing, an unknown one is reported.
        QVERIFY(form.ExecuteBinding("ExecSubCommand(keep them)"));
        QVERIFY(dialogs.shown.empty());
        QVERIFY(form.ExecuteBinding("ExecSubCommand(nosuch)"));
        QCOMPARE(dialogs.shown.size(), size_t{1});
        QCOMPARE(ToQString(dialogs.shown[0].text),
                 QStringLiteral("nosuchというコマンドは登録されていません"));

        form.AreaTree()->setCurrentItem(form.AreaTree()->PacketNode(0)->child(0));
        form.SelectArea('A');
        QCOMPARE(form.StatusLine()->Panel(0), QStringLiteral("6/6"));
        QVERIFY(form.Commands().Enabled("mnuSubCommand"));
        QVERIFY(form.ExecuteBinding("ExecSubCommand(no action)"));  // not runnable: nothing
        QVERIFY(form.ExecuteBinding("ExecSubCommand(keep them)"));
        QCOMPARE(dialogs.shown.size(), size_t{1});
        TMsgListBox* list = form.MessageList();
        QString marks;
        for (int row = 0; row < list->Count(); ++row)
            marks += QChar::fromLatin1(list->MsgAt(row)->mark);
        QCOMPARE(marks, QStringLiteral("*+**+*"));
        QVERIFY(list->IsSelected(1));
        QVERIFY(list->IsSelected(4));
        QCOMPARE(list->SelCount(), 2);
        QVERIFY(form.CurrentMessage() == nullptr);
        QVERIFY(form.CurrentArea()->marksChanged);
        // The status line's counts follow the marks the run set, as the tree does.
        QCOMPARE(form.StatusLine()->Panel(0), QStringLiteral("4/6"));
        QVERIFY(form.AreaTree()->PacketNode(0)->child(0)->text(0).contains(QStringLiteral("(4)")));
    }
};

QTEST_MAIN(SubCmdTest)
#include "subcmd_test.moc"
