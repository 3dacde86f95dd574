// Pictures in the main window: an image part shown as a picture over the text view, fitted
// into the text pane, and the text view back for the next message; each part decoded from its
// own message into the program's private file (through the test ifjpeg.spi for JPEG), never
// from a file of the data folder, and that file gone with the picture; a cut-off part shown
// as broken data; unknown formats and missing plug-ins reported and shown as text;
// headers on or ShowImage N keep the text; picture files from the open dialog; the text font
// read again for each message; the fitting rule itself.
#include "app_testing.h"

#include "coding/base64.h"

#include "app/display_pipeline.h"
#include "view/msglistbox.h"
#include "view/tall.h"
#include "view/textview.h"

#include <QAction>
#include <QBuffer>
#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QTabBar>
#include <QTest>

using namespace pelorin;
using namespace pelorin::testing;
namespace fs = std::filesystem;

namespace {

std::string Encoded(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    const std::string raw(bytes.constData(), static_cast<size_t>(bytes.size()));
    std::string out;
    const std::string b64 = Base64Encode(raw);
    for (size_t i = 0; i < b64.size(); i += 72) out += b64.substr(i, 72) + "\n";
    return out;
}

QImage Picture(int w, int h, QRgb colour) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// A message of a text part and one image part (`type` "image/png; name=..." etc.).
std::string WithImage(int n, const std::string& type, const std::string& base64) {
    return "From: a@example.jp\nSubject: picture" + std::to_string(n) + "\nMessage-ID: <" +
           std::to_string(n) +
           "@x>\nMIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=\"B\"\n\n--B\n"
           "Content-Type: text/plain\n\ntext\n--B\nContent-Type: " +
           type + "\nContent-Transfer-Encoding: base64\n\n" + base64 + "--B--\n";
}

std::string Packet(const fs::path& dir, const std::vector<std::string>& messages) {
    fs::create_directories(dir);
    std::string file;
    for (const std::string& m : messages) file += "#! rnews " + std::to_string(m.size()) + "\n" + m;
    WriteFile(dir / "AREAS", "0000001\tfj.test\tun\n");
    WriteFile(dir / "0000001.MSG", file);
    return (dir / "AREAS").string();
}

void Settings(const TempDir& temp, bool showImage, const std::string& more = {}) {
    fs::create_directories(temp / "data");
    WriteSettings(temp, "[Files]\r\nDataPath=" + (temp / "data").string() +
                            "/\r\n[Display]\r\nShowImage=" + (showImage ? "Y" : "N") + "\r\n" +
                            more);
}

void Show(TMainForm& form, int row, int tab) {
    if (form.MessageList()->Count() == 0) {
        form.AreaTree()->setCurrentItem(form.AreaTree()->PacketNode(0)->child(0));
        form.SelectArea('A');
    }
    form.MessageList()->SetItemIndex(row);
    form.DisplayMessage();
    form.MimeTab()->setCurrentIndex(tab);  // shows the part (DisplayPart) when it changes
}

void InstallTestJpegPlugin(const TempDir& temp) {
    fs::create_directories(temp.home() / "plugins");
    fs::copy_file(fs::path(PELORIN_TEST_SPI_DIR) / "ifjpeg.spi",
                  temp.home() / "plugins" / "ifjpeg.spi");
}

}  // namespace

class PictureDisplayTest : public QObject {
    Q_OBJECT

private slots:
    void imagePartIsShownAndFittedThenTextReturns() {
        TempDir temp;
        Settings(temp, true);
        const std::string areas =
            Packet(temp / "p", {WithImage(1, "image/png; name=\"wide.png\"",
                                          Encoded(Picture(200, 50, qRgb(0, 200, 0)), "PNG")),
                                WithImage(2, "text/plain", "dGV4dA==\n")});
        FakeDialogs dialogs;
        TMainForm form({Q(areas)}, &dialogs);
        form.resize(900, 700);
        form.show();
        Show(form, 0, 1);
        QVERIFY(dialogs.shown.empty());
        QVERIFY(fs::is_empty(temp / "data"));
        QVERIFY(!form.Image()->isHidden());
        QVERIFY(form.TextView()->isHidden());
        QCOMPARE(form.Image()->Picture().size(), QSize(200, 50));
        // Wider than the pane's shape: full width, centred vertically below the tab bar.
        const QRect place = form.Image()->geometry();
        const QWidget* pane = form.Image()->parentWidget();
        QCOMPARE(place.width(), pane->width());
        QCOMPARE(place.height(), pane->width() / 4);
        QVERIFY(place.top() > form.MimeTab()->height());
        // The tab bar stays at the top of the pane, above the picture.
        QCOMPARE(form.MimeTab()->geometry().top(), 0);
        QVERIFY(form.MimeTab()->geometry().bottom() < place.top());
        // The pane grows: the picture follows.
        form.resize(1000, 700);
        QTRY_COMPARE(form.Image()->geometry().width(), pane->width());

        // The text tab, and the next message, show text again.
        form.MimeTab()->setCurrentIndex(0);
        QVERIFY(form.Image()->isHidden());
        QVERIFY(!form.TextView()->isHidden());
        Show(form, 0, 1);
        QVERIFY(!form.Image()->isHidden());
        form.MessageList()->SetItemIndex(1);
        form.DisplayMessage();
        QVERIFY(form.Image()->isHidden());
        QVERIFY(!form.TextView()->isHidden());
        QVERIFY(form.Image()->PictureName().isEmpty());
    }

    void namelessPicturesAndUnknownFormats() {
        TempDir temp;
        Settings(temp, true);
        InstallTestJpegPlugin(temp);
        const std::string red = Encoded(Picture(40, 30, qRgb(255, 0, 0)), "JPG");
        const std::string blue = Encoded(Picture(20, 60, qRgb(0, 0, 255)), "JPG");
        const std::string areas =
            Packet(temp / "p", {WithImage(1, "image/jpeg", red), WithImage(2, "image/jpeg", blue),
                                WithImage(3, "image/gif", red), WithImage(4, "image/x-mag", red)});
        FakeDialogs dialogs;
        TMainForm form({Q(areas)}, &dialogs);
        Show(form, 0, 1);
        QVERIFY(dialogs.shown.empty());
        QCOMPARE(form.Image()->Picture().size(), QSize(40, 30));
        QCOMPARE(form.Image()->OrgWidth(), 40);
        Show(form, 1, 1);
        QCOMPARE(form.Image()->Picture().size(), QSize(20, 60));
        QCOMPARE(form.MimeTab()->tabText(1), QStringLiteral("(image/jpeg)"));

        // No ifgif.spi anywhere: the control's message, then ours, and the text.
        Show(form, 2, 1);
        QCOMPARE(dialogs.shown.size(), size_t{2});
        QVERIFY(U(dialogs.shown[0].text).starts_with("IFGIF.SPI not found ["));
        QVERIFY(U(dialogs.shown[0].text).ends_with(".GIF]"));
        QCOMPARE(U(dialogs.shown[1].text), "この形式の画像は表示できません");
        QVERIFY(form.Image()->isHidden());
        QVERIFY(!form.TextView()->isHidden());

        // A subtype the control has no reader for, and no name to go by: reported, as text.
        dialogs.shown.clear();
        Show(form, 3, 1);
        QCOMPARE(dialogs.shown.size(), size_t{1});
        QCOMPARE(U(dialogs.shown[0].text),
                 "イメージファイルの形式が\n不明なので表示できません\n(image/x-mag)");
        QVERIFY(!form.TextView()->isHidden());
        QVERIFY(fs::is_empty(temp / "data"));
    }

    void eachPictureComesFromItsOwnMessage() {
        TempDir temp;
        Settings(temp, true);
        // The user keeps a file of the parts' name in the data folder.
        QVERIFY(
            Picture(7, 7, qRgb(9, 9, 9)).save(Q((temp / "data" / "photo.png").string()), "PNG"));
        const std::string green = Encoded(Picture(40, 30, qRgb(0, 255, 0)), "PNG");
        const std::string blue = Encoded(Picture(20, 60, qRgb(0, 0, 255)), "PNG");
        const std::string cut = green.substr(0, green.size() / 2) + "\n";
        const std::string type = "image/png; name=\"photo.png\"";
        const std::string areas =
            Packet(temp / "p",
                   {WithImage(1, type, green), WithImage(2, type, blue), WithImage(3, type, cut)});
        FakeDialogs dialogs;
        TMainForm form({Q(areas)}, &dialogs);
        Show(form, 0, 1);
        QVERIFY(dialogs.shown.empty());
        QCOMPARE(form.Image()->Picture().size(), QSize(40, 30));
        QCOMPARE(form.Image()->Picture().pixel(5, 5), qRgb(0, 255, 0));
        // Shown from a file of the program's own, readable by the user alone.
        const QString first = form.Image()->PictureName();
        QVERIFY(!first.contains(Q((temp / "data").string())));
        QCOMPARE(QFileInfo(first).fileName().endsWith(QStringLiteral(".PNG")), true);
        QCOMPARE(fs::status(first.toStdString()).permissions() & fs::perms::all,
                 fs::perms::owner_read | fs::perms::owner_write);

        Show(form, 1, 1);
        QVERIFY(dialogs.shown.empty());
        QCOMPARE(form.Image()->Picture().size(), QSize(20, 60));
        QCOMPARE(form.Image()->Picture().pixel(5, 5), qRgb(0, 0, 255));
        QVERIFY(!fs::exists(first.toStdString()));  // the last picture's file is gone
        const QString second = form.Image()->PictureName();

        // A part cut off mid-picture is broken data, never the user's file.
        Show(form, 2, 1);
        QVERIFY(!dialogs.shown.empty());
        QVERIFY2(U(dialogs.shown[0].text).starts_with("データが壊れている"),
                 U(dialogs.shown[0].text).c_str());
        QVERIFY(form.Image()->isHidden());
        QVERIFY(!form.TextView()->isHidden());
        QVERIFY(!fs::exists(second.toStdString()));

        // The data folder holds the user's file alone, untouched.
        QCOMPARE(std::distance(fs::directory_iterator(temp / "data"), fs::directory_iterator()), 1);
        QCOMPARE(QImage(Q((temp / "data" / "photo.png").string())).size(), QSize(7, 7));
    }

    void textWhenHeadersAreShownOrPicturesAreOff() {
        TempDir temp;
        Settings(temp, false);
        const std::string png = Encoded(Picture(10, 10, qRgb(1, 2, 3)), "PNG");
        const std::string areas =
            Packet(temp / "p", {WithImage(1, "image/png; name=\"a.png\"", png)});
        {
            FakeDialogs dialogs;
            TMainForm form({Q(areas)}, &dialogs);
            Show(form, 0, 1);
            QVERIFY(form.Image()->isHidden());
            QVERIFY(!fs::exists(temp / "data" / "a.png"));
            // Opening a picture file does nothing either.
            const std::string bmp = (temp / "a.bmp").string();
            QVERIFY(Picture(10, 10, qRgb(1, 2, 3)).save(Q(bmp), "BMP"));
            form.OpenChosenFile(bmp);
            QVERIFY(form.Image()->isHidden());
            QCOMPARE(form.AreaTree()->PacketCount(), 1);
            // 表示 > 画像を表示 switches pictures on for the part on show, and off again.
            QAction* show = form.Commands().Find("mnuShowImage");
            QVERIFY(!show->isChecked());
            show->trigger();
            QVERIFY(!form.Image()->isHidden());
            QCOMPARE(form.Settings().ReadString("Display", "ShowImage", "?"), std::string("Y"));
            show->trigger();
            QVERIFY(form.Image()->isHidden());
            QVERIFY(!form.TextView()->isHidden());
            QCOMPARE(form.Settings().ReadString("Display", "ShowImage", "?"), std::string("N"));
            QVERIFY(dialogs.shown.empty());
        }
        Settings(temp, true, "[Display]\r\nShowHeaders=Y\r\n");
        {
            FakeDialogs dialogs;
            TMainForm form({Q(areas)}, &dialogs);
            form.Commands().Check("K7", true);
            Show(form, 0, 1);
            QCOMPARE(form.MimeTab()->count(), 2);
            QVERIFY(form.Image()->isHidden());
            QVERIFY(!fs::exists(temp / "data" / "a.png"));
        }
    }

    void pictureFilesOpenFromTheDialog() {
        TempDir temp;
        Settings(temp, true);
        FakeDialogs dialogs;
        TMainForm form({}, &dialogs);
        const std::string bmp = (temp / "a.BMP").string();
        QVERIFY(Picture(30, 20, qRgb(9, 9, 9)).save(Q(bmp), "BMP"));
        form.OpenChosenFile(bmp);
        QVERIFY(!form.Image()->isHidden());
        QCOMPARE(form.Image()->Picture().size(), QSize(30, 20));
        QCOMPARE(form.AreaTree()->PacketCount(), 0);
        // Copying while it is shown puts the picture on the clipboard.
        QGuiApplication::clipboard()->clear();
        form.EditCopy();
        QCOMPARE(QGuiApplication::clipboard()->image().size(), QSize(30, 20));
        QCOMPARE(QGuiApplication::clipboard()->image().pixel(5, 5), qRgb(9, 9, 9));
        // A broken one: the control's message and ours.
        WriteFile(temp / "b.bmp", "BM not really");
        form.OpenChosenFile((temp / "b.bmp").string());
        QCOMPARE(dialogs.shown.size(), size_t{2});
        QCOMPARE(U(dialogs.shown[1].text), "この形式の画像は表示できません");
        QVERIFY(form.Image()->isHidden());
    }

    void textFontIsReadForEachMessage() {
        TempDir temp;
        Settings(temp, false);
        const std::string areas = MakePacket(temp / "p", "fj.test", 2);
        FakeDialogs dialogs;
        TMainForm form({Q(areas)}, &dialogs);
        Show(form, 0, 0);
        (void)form.Settings().WriteString("Fonts", "TextSize", "31");
        form.MessageList()->SetItemIndex(1);
        form.DisplayMessage();
        QCOMPARE(form.TextView()->TextFont().pointSize(), 31);
    }

    void fitting_data() {
        QTest::addColumn<QList<int>>("in");   // pane w, h, tab height, picture w, h
        QTest::addColumn<QList<int>>("out");  // left, top, width, height
        QTest::newRow("wide picture")
            << QList<int>{400, 320, 20, 200, 100} << QList<int>{1, 70, 400, 200};
        QTest::newRow("tall picture")
            << QList<int>{400, 320, 20, 100, 300} << QList<int>{150, 21, 99, 298};
        QTest::newRow("no tab bar")
            << QList<int>{300, 300, 0, 10, 10} << QList<int>{1, 1, 298, 298};
        QTest::newRow("empty picture") << QList<int>{300, 300, 0, 0, 10} << QList<int>{0, 0, 0, 0};
    }
    void fitting() {
        QFETCH(QList<int>, in);
        QFETCH(QList<int>, out);
        const PictureBox box = FitPicture(in[0], in[1], in[2], in[3], in[4]);
        QCOMPARE((QList<int>{box.left, box.top, box.width, box.height}), out);
    }
};

QTEST_MAIN(PictureDisplayTest)
#include "picture_display_test.moc"
