// TAll on the real plug-ins (src/plugins), found in the folder the program looks in first (its
// own: the build puts them beside it): a JPEG with the offset-128 retry and the preview, a
// palette GIF as a picture and, on an 8-bit screen, with its colour table, a 24-bit TIFF, and
// the messages of a broken GIF and of one too large to decode.
#include "plugins/picture_files.h"
#include "support/testing.h"

#include "view/tall.h"

#include <QFile>
#include <QTest>

#include <memory>

using pelorin::TAll;
using namespace pelorin::testing;

namespace {

QString Path(const TempDir& dir, const char* name) {
    return QString::fromStdString((dir / name).string());
}

std::vector<uint32_t> Palette() {
    std::vector<uint32_t> colours(256);
    colours[1] = 0xFF0000;
    colours[2] = 0x0000FF;
    return colours;
}

// 20 x 10: index 1 (red) on the left half, 2 (blue) on the right.
std::vector<uint8_t> Halves() {
    std::vector<uint8_t> indices;
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x) indices.push_back(x < 10 ? 1 : 2);
    return indices;
}

}  // namespace

class PluginPicturesTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TempDir> dir;
    std::unique_ptr<TAll> all;
    QStringList messages;

private slots:
    void init() {
        dir = std::make_unique<TempDir>();
        all = std::make_unique<TAll>();
        messages.clear();
        all->OnMessage = [this](const QString& text) { messages.append(text); };
        all->SetPluginDirs({QStringLiteral(PELORIN_PLUGIN_DIR)});
    }
    void cleanup() {
        all.reset();
        dir.reset();
    }

    void jpegWithPrefixAndPreview() {
        WriteFile(*dir / "a.jpg", std::string(128, 'x') + EncodeJpeg(Quadrants(66, 34), 95));
        all->SetPictureName(Path(*dir, "a.jpg"));
        QCOMPARE(all->Error(), 0);
        QCOMPARE(all->OrgWidth(), 66);
        QCOMPARE(all->Picture().size(), QSize(66, 34));
        QVERIFY(Near(all->Picture().pixel(1, 1) & 0xFFFFFF, 0xFF0000));
        QVERIFY(Near(all->Picture().pixel(64, 32) & 0xFFFFFF, 0xFFFFFF));
        all->SetPreView(true);
        QCOMPARE(all->Error(), 0);
        QCOMPARE(all->Picture().size(), QSize(17, 9));
        QVERIFY(Near(all->Picture().pixel(1, 7) & 0xFFFFFF, 0x00FF00));
        QVERIFY(messages.isEmpty());
    }

    void gifWithAndWithoutThePaletteRule() {
        WriteFile(*dir / "a.gif", EncodeGif(20, 10, Halves(), Palette()));
        all->SetPictureName(Path(*dir, "a.gif"));
        QCOMPARE(all->Error(), 0);
        QCOMPARE(all->Picture().size(), QSize(20, 10));
        QCOMPARE(all->Picture().format(), QImage::Format_RGB32);
        QCOMPARE(all->Picture().pixel(2, 9), qRgb(255, 0, 0));
        QCOMPARE(all->Picture().pixel(19, 0), qRgb(0, 0, 255));

        all->TESTING_ONLY_SetScreenDepth(8);
        all->SetPictureName(Path(*dir, "a.gif"));
        QCOMPARE(all->Error(), 0);
        QCOMPARE(all->Picture().format(), QImage::Format_Indexed8);
        QCOMPARE(all->Picture().colorCount(), 256);
        QCOMPARE(all->Picture().pixelIndex(19, 0), 2);
        QVERIFY(messages.isEmpty());
    }

    void tiffIn24Bits() {
        std::vector<uint8_t> rows;
        for (const uint32_t c : Quadrants(8, 4).pixels)
            for (const int shift : {16, 8, 0}) rows.push_back(static_cast<uint8_t>(c >> shift));
        WriteTiff(*dir / "a.tif", 8, 4, 8, 3, 2 /* RGB */, rows);
        all->SetPictureName(Path(*dir, "a.tif"));
        QCOMPARE(all->Error(), 0);
        QCOMPARE(all->Picture().pixel(7, 0), qRgb(0, 0, 255));
        QCOMPARE(all->Picture().pixel(0, 3), qRgb(0, 255, 0));
    }

    void brokenAndHugeGifsSayWhy() {
        const std::string gif = EncodeGif(20, 10, Halves(), Palette());
        WriteFile(*dir / "cut.gif", gif.substr(0, gif.size() - 20));
        all->SetPictureName(Path(*dir, "cut.gif"));
        QCOMPARE(all->Error(), 3);
        QVERIFY(all->PictureName().isEmpty());
        WriteFile(*dir / "huge.gif", EncodeGif(20, 10, Halves(), Palette(), false, 60000, 60000));
        all->SetPictureName(Path(*dir, "huge.gif"));
        QCOMPARE(all->Error(), 4);
        QCOMPARE(messages,
                 QStringList(
                     {QStringLiteral("データが壊れている [%1]").arg(Path(*dir, "cut.gif")),
                      QStringLiteral("メモリーが確保出来ない [%1]").arg(Path(*dir, "huge.gif"))}));
    }
};

QTEST_MAIN(PluginPicturesTest)
#include "plugin_pictures_test.moc"
