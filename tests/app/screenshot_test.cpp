// Pictures of the main window for people to look at: the window on a copy of the demo packet,
// its Japanese mail area open, saved as PNG files - in the usual layout (main_window.png), with
// the small panes stacked at the left (main_window_left.png) and in full-window display
// (main_window_full.png). The files go to $PELORIN_SCREENSHOT_DIR, or to "screenshots" in the
// working directory (scripts/screenshot.sh runs this and names the folder). The test checks
// that the window drew its tree and list, not what they look like.
#include "app_testing.h"

#include "view/msglistbox.h"

#include <QDir>
#include <QImage>
#include <QTest>

using namespace pelorin;
using namespace pelorin::testing;

class ScreenshotTest : public QObject {
    Q_OBJECT

private slots:
    void savesTheWindowWithAnAreaOpen_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("settings");
        const QString size = QStringLiteral("[Window]\r\nWidth=960\r\nHeight=600\r\n");
        QTest::newRow("usual") << QStringLiteral("main_window.png")
                               << size + QStringLiteral("BHeight=190\r\nBWidth=260\r\n");
        QTest::newRow("left") << QStringLiteral("main_window_left.png")
                              << size + QStringLiteral(
                                            "BHeight=220\r\nBWidth=420\r\n"
                                            "CutPattern=Left\r\nSetPattern=AST\r\n");
        QTest::newRow("full") << QStringLiteral("main_window_full.png")
                              << size + QStringLiteral("[Display]\r\nPanelPlane=N\r\n");
    }

    void savesTheWindowWithAnAreaOpen() {
        QFETCH(QString, file);
        QFETCH(QString, settings);
        TempDir temp;
        const std::string areas = CopyDemo(temp / "demo");
        WriteSettings(temp, settings.toStdString());
        TMainForm form({Q(areas)});
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QTreeWidgetItem* mail = AreaNode(form.AreaTree()->PacketNode(0), "mail");
        QVERIFY(mail);
        form.AreaTree()->setCurrentItem(mail);
        form.SelectArea('A');
        QVERIFY(form.MessageList()->Count() > 0);
        form.MessageList()->SetSelected(0, true);
        form.MessageList()->SetItemIndex(0);
        QTest::qWait(50);

        const QImage shot = form.grab().toImage();
        QCOMPARE(shot.size(), form.size() * shot.devicePixelRatio());
        const QImage list = form.MessageList()->grab().toImage();
        QVERIFY(list.pixel(2, 2) != list.pixel(list.width() - 20, list.height() - 2));
        const QString dir = qEnvironmentVariableIsEmpty("PELORIN_SCREENSHOT_DIR")
                                ? QDir::currentPath() + QStringLiteral("/screenshots")
                                : qEnvironmentVariable("PELORIN_SCREENSHOT_DIR");
        QVERIFY(QDir().mkpath(dir));
        QVERIFY(shot.save(dir + QLatin1Char('/') + file));
        form.close();
    }
};

QTEST_MAIN(ScreenshotTest)
#include "screenshot_test.moc"
