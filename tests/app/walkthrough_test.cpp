// The reading walk-through: the window on a copy of the demo packet, read from start to end by
// pressing Space and nothing else (Space pages through a message, then shows the next unread
// one, moving on to the packet's next area with unread messages). At the end every area node
// reads "(0)" and the status panel "0/<total>". Pictures of the way go to
// $PELORIN_SCREENSHOT_DIR (or "screenshots" in the working directory) as walkthrough_1_start,
// _2_first_message, _3_halfway and _4_all_read (.png); scripts/walkthrough.sh runs this.
// Then, with pictures on ([Display] ShowImage Y), the mailing list's map (a PNG part) and photo
// (a JPEG attachment, through the real ifjpeg.spi of the build) are shown as pictures:
// walkthrough_5_png_picture and _6_jpeg_picture.
#include "app_testing.h"

#include "app/status_line.h"
#include "view/msglistbox.h"
#include "view/tall.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QTabBar>
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

// Shows the message of the open area whose subject starts with `subject` (ASCII), then its
// part tab `tab`.
bool ShowPart(TMainForm& form, const std::string& subject, int tab) {
    const TGrp* area = form.CurrentArea();
    for (size_t row = 0; area && row < area->display.size(); ++row) {
        if (area->display[row].msg->subject.rfind(subject, 0) != 0)
            continue;
        for (int i = 0; i < form.MessageList()->Count(); ++i)
            form.MessageList()->SetSelected(i, i == static_cast<int>(row));
        form.MessageList()->SetItemIndex(static_cast<int>(row));
        form.DisplayMessage();
        form.MimeTab()->setCurrentIndex(tab);
        return form.MimeTab()->currentIndex() == tab;
    }
    return false;
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

    void showThePicturesOfTheMailingList() {
        TempDir temp;
        const std::string areas = CopyDemo(temp / "demo");
        std::filesystem::create_directories(temp / "data");
        WriteSettings(temp,
                      "[Window]\r\nWidth=960\r\nHeight=600\r\nBHeight=190\r\n"
                      "BWidth=260\r\n[Display]\r\nShowImage=Y\r\n[Files]\r\nDataPath=" +
                          (temp / "data").string() + "/\r\n");
        // The program's own folder holds the plug-ins in the build; the test program lives
        // elsewhere, so they go to the plugins folder of the own directory.
        std::filesystem::create_directories(temp.home() / "plugins");
        std::filesystem::copy_file(std::filesystem::path(PELORIN_PLUGIN_DIR) / "ifjpeg.spi",
                                   temp.home() / "plugins" / "ifjpeg.spi");
        FakeDialogs dialogs;
        TMainForm form({Q(areas)}, &dialogs);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.AreaTree()->setCurrentItem(AreaNode(form.AreaTree()->PacketNode(0), "ml.tabi"));
        form.SelectArea('A');

        QVERIFY(ShowPart(form, "[tabi:0042]", 2));  // text, 持ち物.txt, map.png
        QCOMPARE(form.Image()->Error(), 0);
        QVERIFY(!form.Image()->isHidden());
        QCOMPARE(form.Image()->Picture().size(), QSize(8, 8));
        QVERIFY(!std::filesystem::exists(temp / "data" / "map.png"));  // never the data folder
        Save(form, QStringLiteral("5_png_picture"));

        QVERIFY(ShowPart(form, "[tabi:0044]", 1));  // text, yama.jpg
        QCOMPARE(form.Image()->Error(), 0);
        QVERIFY(!form.Image()->isHidden());
        QCOMPARE(form.Image()->Picture().size(), QSize(120, 80));
        QCOMPARE(form.Image()->OrgWidth(), 120);
        QVERIFY(!std::filesystem::exists(temp / "data" / "yama.jpg"));
        Save(form, QStringLiteral("6_jpeg_picture"));
        QVERIFY(dialogs.shown.empty());
        form.close();
    }
};

QTEST_MAIN(WalkthroughTest)
#include "walkthrough_test.moc"
