// The settings walk-through: the window on a copy of the demo packet, with a folder packet and
// an auto-load list, opens 設定 and shows each of its five pages in turn - the key page with
// Ctrl+Shift+N chosen, the display page's font button opening the font dialog - saving a
// picture of each to $PELORIN_SCREENSHOT_DIR (or "screenshots" in the working directory) as
// setup_1_directories, _2_message, _3_display, _4_print, _5_keys and _6_font_dialog (.png);
// then ｷｬﾝｾﾙ. scripts/walkthrough.sh runs this after the composing walk-through.
#include "app_testing.h"

#include "app/font_color_dialog.h"
#include "app/setup_dialog.h"

#include <QCheckBox>
#include <QDir>
#include <QImage>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

using namespace pelorin;
using namespace pelorin::testing;

namespace {

bool Save(QWidget& widget, const char* name) {
    QTest::qWait(30);
    const QString dir = qEnvironmentVariableIsEmpty("PELORIN_SCREENSHOT_DIR")
                            ? QDir::currentPath() + QStringLiteral("/screenshots")
                            : qEnvironmentVariable("PELORIN_SCREENSHOT_DIR");
    QDir().mkpath(dir);
    return widget.grab().toImage().save(dir + QStringLiteral("/setup_") +
                                        QString::fromLatin1(name) + QStringLiteral(".png"));
}

}  // namespace

class SetupWalkthroughTest : public QObject {
    Q_OBJECT

private slots:
    void showEveryPage() {
        TempDir temp;
        const std::string demo = CopyDemo(temp / "demo");
        std::filesystem::create_directories(temp / "folders");
        WriteFile(temp / "folders" / "AREAS", "00000001\tsent\tuc\n00000002\tkeep\tuc\n");
        WriteFile(temp / "folders" / "GRPSTAT.PBS",
                  "[General]\r\nPacketType=1\r\nPacketName=folders\r\n");
        const std::string folders = (temp / "folders" / "AREAS").string();
        WriteSettings(temp, "[Window]\r\nWidth=960\r\nHeight=600\r\n[Files]\r\nAutoLoad0=" + demo +
                                "\r\nAutoLoad1=" + folders +
                                "\r\n[Message]\r\nPostedFolder=sent\r\nPostedPacket=folders\r\n");
        TMainForm form({});
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));

        bool saved[6] = {};
        bool fontShown = false;
        TESTING_ONLY_fontDialogShown = [&](TFontColorDlg& f) {
            QTimer::singleShot(100, &f, [&] {
                fontShown = true;
                saved[5] = Save(f, "6_font_dialog");
                f.findChild<QPushButton*>(QStringLiteral("cmdCancel"))->click();
            });
        };
        TESTING_ONLY_setUpDialogShown = [&](TSetUpDlg& d) {
            QTimer::singleShot(100, &d, [&] {
                static const char* const kNames[5] = {"1_directories", "2_message", "3_display",
                                                      "4_print", "5_keys"};
                d.findChild<QListWidget*>(QStringLiteral("lstAutoLoad"))->setCurrentRow(0);
                auto* keys = d.findChild<QListWidget*>(QStringLiteral("lstKeys"));
                keys->setCurrentRow(13);  // N
                d.findChild<QCheckBox*>(QStringLiteral("cbCtrl"))->setChecked(true);
                d.findChild<QCheckBox*>(QStringLiteral("cbShift"))->setChecked(true);
                for (int page = 0; page < 5; ++page) {
                    d.Pages()->setCurrentIndex(page);
                    saved[page] = Save(d, kNames[page]);
                }
                d.Pages()->setCurrentIndex(2);
                d.findChild<QPushButton*>(QStringLiteral("cmdFontText"))->click();
                d.findChild<QPushButton*>(QStringLiteral("cmdCancel"))->click();
            });
        };
        form.Commands().Find("mnuSetUp")->trigger();
        TESTING_ONLY_setUpDialogShown = nullptr;
        TESTING_ONLY_fontDialogShown = nullptr;
        QVERIFY(fontShown);
        for (bool s : saved) QVERIFY(s);
        form.close();
    }
};

QTEST_MAIN(SetupWalkthroughTest)
#include "setup_walkthrough_test.moc"
