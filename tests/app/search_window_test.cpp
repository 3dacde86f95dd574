// The search window from the main window: Ctrl+F opens it, a typed query lists what it finds
// newest first across the open packets, a bad query is named, Enter on a result shows that
// message in its own packet and area, and 戻る comes back to the message shown before. With
// $PELORIN_SCREENSHOT_DIR set (scripts/walkthrough.sh), a picture of the results is saved as
// search_1_results.png.
#include "app/search_window.h"

#include "app_testing.h"

#include "app/command_set.h"
#include "view/msglistbox.h"

#include <QAction>
#include <QImage>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>

using namespace pelorin;
using namespace pelorin::testing;

namespace {

std::string Packet(const std::filesystem::path& dir,
                   const std::string& area,
                   const std::vector<std::pair<std::string, std::string>>& messages) {
    std::filesystem::create_directories(dir);
    std::string file;
    for (const auto& [subject, body] : messages) {
        const std::string day = subject.substr(1);  // "s3" is written on the 3rd
        const std::string text = "From: a@example.com\nSubject: " + subject + "\nDate: " + day +
                                 " Jan 2026 10:00:00 +0900\nMessage-ID: <" + subject + "@x>\n\n" +
                                 body + "\n";
        file += "#! rnews " + std::to_string(text.size()) + "\n" + text;
    }
    WriteFile(dir / "0000001.MSG", file);
    WriteFile(dir / "AREAS", "0000001\t" + area + "\tun\n");
    return (dir / "AREAS").string();
}

}  // namespace

class SearchWindowTest : public QObject {
    Q_OBJECT

private slots:
    void aQueryFindsAcrossPacketsAndAHitIsShownWhereItLives() {
        TempDir temp;
        const std::string first =
            Packet(temp / "p1", "fj.one", {{"s1", "apple pie"}, {"s2", "nothing here"}});
        const std::string second = Packet(temp / "p2", "fj.two", {{"s3", "an APPLE tree"}});
        FakeDialogs dialogs;
        TMainForm form({}, &dialogs);
        QVERIFY(form.OpenPacket(first));
        QVERIFY(form.OpenPacket(second));
        // Reading the second message of the first packet.
        form.AreaTree()->setCurrentItem(form.AreaTree()->PacketNode(0)->child(0));
        form.SelectArea('A');
        form.MessageList()->SetItemIndex(1);
        form.DisplayMessage();
        QCOMPARE(form.CurrentMessage()->messageId, std::string("<s2@x>"));

        QAction* find = form.Commands().Find("mnuFind");
        QVERIFY(find && find->isEnabled());
        QCOMPARE(find->shortcut(), QKeySequence(QKeySequence::Find));
        find->trigger();
        auto* window = form.findChild<TSearchWindow*>();
        QVERIFY(window && window->isVisible());

        // A bad query is named, nothing is searched.
        auto* box = window->findChild<QLineEdit*>(QStringLiteral("edQuery"));
        QTest::keyClicks(box, QStringLiteral("\"apple"));
        QTest::keyClick(box, Qt::Key_Return);
        QVERIFY(window->ErrorText().contains(QStringLiteral("not closed")));

        box->setText(QStringLiteral("ａｐｐｌｅ"));  // typed in full width
        QSignalSpy finished(window, &TSearchWindow::searchFinished);
        QTest::keyClick(box, Qt::Key_Return);
        QVERIFY(finished.wait(20000));
        QCOMPARE(window->ResultCount(), 2);
        QCOMPARE(window->ResultAt(0)->messageId, std::string("<s3@x>"));  // newest first
        QCOMPARE(window->ResultAt(1)->messageId, std::string("<s1@x>"));
        auto* results = window->findChild<QTreeWidget*>(QStringLiteral("tvResults"));
        // scripts/walkthrough.sh keeps a picture of the window with its results.
        if (const QByteArray dir = qgetenv("PELORIN_SCREENSHOT_DIR"); !dir.isEmpty())
            QVERIFY(window->grab().toImage().save(QString::fromLocal8Bit(dir) +
                                                  QStringLiteral("/search_1_results.png")));
        QVERIFY(results->topLevelItem(0)->text(5).contains(QStringLiteral("【APPLE】")));

        // Enter on the first result: the other packet's area opens with that message.
        results->setCurrentItem(results->topLevelItem(0));
        emit results->itemActivated(results->topLevelItem(0), 0);
        QCOMPARE(form.CurrentArea()->areaName, std::string("fj.two"));
        QCOMPARE(form.CurrentMessage()->messageId, std::string("<s3@x>"));
        QVERIFY(window->isVisible());
        // 記事の検索 of the text's pop-up menu brings the window back.
        window->hide();
        form.Commands().Find("pmnFind")->trigger();
        QVERIFY(window->isVisible());
        // 戻る: back where the window was.
        form.HistoryBack();
        QCOMPARE(form.CurrentArea()->areaName, std::string("fj.one"));
        QCOMPARE(form.CurrentMessage()->messageId, std::string("<s2@x>"));
    }

    void aPacketOpenedIsIndexedInTheBackground() {
        TempDir temp;
        const std::string packet = Packet(temp / "p1", "fj.one", {{"s1", "apple"}, {"s2", "pie"}});
        FakeDialogs dialogs;
        TMainForm form({}, &dialogs);
        QVERIFY(form.OpenPacket(packet));
        // Nobody searched: the index follows the packet by itself, and the window stays free.
        QTRY_COMPARE_WITH_TIMEOUT(SearchIndex().Count(), 2, 20000);
        QVERIFY(!form.SearchWindow()->isVisible());
    }
};

QTEST_MAIN(SearchWindowTest)
#include "search_window_test.moc"
