// The main window's caption, under the program's own application object: after start-up and
// after opening an area it reads exactly as built ("Pelorin " + version text, then " - " +
// the area's description + " - "), on the widget and on its platform window, and the platform
// adds nothing to it (Qt's platform windows append the application's display name, when it
// has one, to every caption that does not end with it).
#include "app_testing.h"

#include "app/application.h"

#include <QGuiApplication>
#include <QTest>
#include <QWindow>

using namespace pelorin;
using namespace pelorin::testing;

namespace {

// Whether the application has a display name of its own; without one
// applicationDisplayName() follows the application name.
bool HasDisplayName() {
    const QString name = QCoreApplication::applicationName();
    QCoreApplication::setApplicationName(name + QStringLiteral(" probe"));
    const bool own =
        QGuiApplication::applicationDisplayName() != QCoreApplication::applicationName();
    QCoreApplication::setApplicationName(name);
    return own;
}

// The title the window manager gets for `window`, composed as Qt's platform windows do.
QString PlatformTitle(const QWindow* window) {
    const QString display = QGuiApplication::applicationDisplayName();
    const QString title = window->title();
    if (!HasDisplayName() || title.endsWith(display))
        return title;
    return title + QStringLiteral(" \u2014 ") + display;
}

}  // namespace

class CaptionTest : public QObject {
    Q_OBJECT

private slots:
    void theCaptionIsExactlyAsBuilt() {
        QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("Pelorin"));
        TempDir temp;
        const std::string areas = MakePacket(temp / "p", "travel", 2);
        WriteFile(temp / "p" / "AREAS", "0000001\ttravel\tun\t" + S("旅行メーリングリスト") + "\n");
        FakeDialogs dialogs;
        TMainForm form({}, &dialogs);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QVERIFY(form.windowHandle());

        const QString started = Q("Pelorin " + form.VersionText());
        QVERIFY(started.startsWith(QStringLiteral("Pelorin Version ")));
        QCOMPARE(form.windowTitle(), started);
        QCOMPARE(form.windowHandle()->title(), started);
        QCOMPARE(PlatformTitle(form.windowHandle()), started);

        QVERIFY(form.OpenPacket(areas));
        form.AreaTree()->setCurrentItem(form.AreaTree()->PacketNode(0)->child(0));
        form.SelectArea('A');
        const QString open = started + QStringLiteral(" - 旅行メーリングリスト - ");
        QCOMPARE(form.windowTitle(), open);
        QCOMPARE(form.windowHandle()->title(), open);
        QCOMPARE(PlatformTitle(form.windowHandle()), open);
        form.close();
    }
};

// The program's application object, not QTEST_MAIN's plain one: what it sets is under test.
int main(int argc, char** argv) {
    TApplication app(argc, argv);
    CaptionTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "caption_test.moc"
