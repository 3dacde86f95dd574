// The reading walk-through: the window on a copy of the demo packet, read from start to end by
// pressing Space and nothing else (Space pages through a message, then shows the next unread
// one, moving on to the packet's next area with unread messages). At the end every area node
// reads "(0)" and the status panel "0/<total>". Pictures of the way go to
// $PELORIN_SCREENSHOT_DIR (or "screenshots" in the working directory) as walkthrough_1_start,
// _2_first_message, _3_halfway and _4_all_read (.png); scripts/walkthrough.sh runs this.
#include "app_testing.h"

#include "app/status_line.h"
#include "view/msglistbox.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QTest>

using namespace pelorin;
using namespace pelorin::testing;

namespace {

int UnreadInTree(TMainForm& form) {
    int unread = 0;
    QTreeWidgetItem* packet = form.AreaTree()->PacketNode(0);
    for (int i = 0; i < packet->childCount(); ++i)
        unread += TAreaTree::AreaOf(packet->child(i))->CountMarked('*');
    return unread;
}

void Save(TMainForm& form, const QString& name) {
    QTest::qWait(30);
    const QString dir = qEnvironmentVariableIsEmpty("PELORIN_SCREENSHOT_DIR")
                            ? QDir::currentPath() + QStringLiteral("/screenshots")
                            : qEnvironmentVariable("PELORIN_SCREENSHOT_DIR");
    QVERIFY(QDir().mkpath(dir));
    QVERIFY(form.grab().toImage().save(dir + QStringLiteral("/walkthrough_") + name +
                                       QStringLiteral(".png")));
}

}  // namespace

class WalkthroughTest : public QObject {
    Q_OBJECT

private slots:
    void readEveryUnreadMessageWithSpace() {
        TempDir temp;
        const std::string areas = CopyDemo(temp / "demo");
        WriteSettings(temp, "[Window]\r\nWidth=960\r\nHeight=600\r\nBHeight=190\r\nBWidth=260\r\n");
        TMainForm form({Q(areas)});
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.activateWindow();
        form.AreaTree()->setFocus();
        const int unreadAtStart = UnreadInTree(form);
        QVERIFY(unreadAtStart > 0);
        Save(form, QStringLiteral("1_start"));

        int presses = 0;
        bool savedFirst = false, savedHalf = false;
        while (UnreadInTree(form) > 0 && presses < 1000) {
            QWidget* target = QApplication::focusWidget();
            QTest::keyClick(target ? target : form.AreaTree(), Qt::Key_Space);
            ++presses;
            if (!savedFirst && form.CurrentMessage()) {
                Save(form, QStringLiteral("2_first_message"));
                savedFirst = true;
            }
            if (!savedHalf && UnreadInTree(form) <= unreadAtStart / 2) {
                Save(form, QStringLiteral("3_halfway"));
                savedHalf = true;
            }
        }
        QCOMPARE(UnreadInTree(form), 0);
        QTreeWidgetItem* packet = form.AreaTree()->PacketNode(0);
        for (int i = 0; i < packet->childCount(); ++i)
            QVERIFY2(packet->child(i)->text(0).startsWith(QStringLiteral("(0)")),
                     qPrintable(packet->child(i)->text(0)));
        QVERIFY(form.StatusLine()->Panel(0).startsWith(QStringLiteral("0/")));
        Save(form, QStringLiteral("4_all_read"));
        qInfo("%d unread messages read with %d presses of Space", unreadAtStart, presses);
        form.close();
    }
};

QTEST_MAIN(WalkthroughTest)
#include "walkthrough_test.moc"
