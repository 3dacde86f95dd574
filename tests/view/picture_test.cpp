// TAll offscreen: the loader kinds by extension, Qt's readers (BMP, PNG), every failure message
// as "%s [%s]", the empty name, plug-ins looked up by folder (missing, lacking an entry point),
// the JPEG offset-128 retry and the quarter-size preview, PIC density stretching, the size
// limit, and the bitmap blocks with and without the 8-bit palette rule.
#include "support/testing.h"

#include "view/picture_plugin.h"
#include "view/tall.h"

#include <QBuffer>
#include <QColor>
#include <QFile>
#include <QImage>
#include <QTest>

#include <cstring>
#include <memory>
#include <vector>

using pelorin::TAll;

namespace {

QString Path(const pelorin::testing::TempDir& dir, const char* name) {
    return QString::fromStdString((dir / name).string());
}

// A picture of w x h: red on the left half, blue on the right.
QImage Halves(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, x < w / 2 ? qRgb(255, 0, 0) : qRgb(0, 0, 255));
    return image;
}

void WriteWithPrefix(const QString& path,
                     const QByteArray& prefix,
                     const QImage& image,
                     const char* format) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(prefix);
    QVERIFY(image.save(&file, format, 95));
}

uint32_t Crc32(const QByteArray& bytes) {
    uint32_t crc = 0xFFFFFFFFu;
    for (const char ch : bytes) {
        crc ^= static_cast<unsigned char>(ch);
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

bool Reddish(QRgb c) {
    return qRed(c) > 200 && qBlue(c) < 60;
}
bool Bluish(QRgb c) {
    return qBlue(c) > 200 && qRed(c) < 60;
}

}  // namespace

class PictureTest : public QObject {
    Q_OBJECT

    std::unique_ptr<pelorin::testing::TempDir> dir;
    std::unique_ptr<TAll> all;
    QStringList messages;

private slots:
    void init() {
        dir = std::make_unique<pelorin::testing::TempDir>();
        all = std::make_unique<TAll>();
        messages.clear();
        all->OnMessage = [this](const QString& text) { messages.append(text); };
        all->SetPluginDirs({Path(*dir, "none"), QStringLiteral(PELORIN_TEST_SPI_DIR)});
    }
    void cleanup() {
        all.reset();
        dir.reset();
    }

    void kinds_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("kind");
        QTest::newRow("bmp") << "a.bmp" << 0;
        QTest::newRow("ico upper") << "A.ICO" << 0;
        QTest::newRow("png") << "dir.x/a.png" << 0;
        QTest::newRow("jpg") << "a.jpg" << 1;
        QTest::newRow("jpe") << "a.Jpe" << 1;
        QTest::newRow("jpeg") << "a.jpeg" << -1;
        QTest::newRow("gif") << "a.gif" << 2;
        QTest::newRow("tif") << "a.tif" << 3;
        QTest::newRow("tiff") << "a.tiff" << -1;
        QTest::newRow("pic") << "a.pic" << 4;
        QTest::newRow("p2") << "a.p2" << 5;
        QTest::newRow("mag") << "a.mag" << 6;
        QTest::newRow("q4") << "a.q4" << 7;
        QTest::newRow("pi") << "a.pi" << 8;
        QTest::newRow("txt") << "a.txt" << -1;
        QTest::newRow("none") << "bmp" << -1;
    }
    void kinds() {
        QFETCH(QString, name);
        QFETCH(int, kind);
        QCOMPARE(TAll::KindOf(name), kind);
    }

    void qtReaderLoadsBmpAndPng() {
        const QString bmp = Path(*dir, "a.bmp");
        QVERIFY(Halves(40, 20).save(bmp, "BMP"));
        all->SetPreView(true);
        all->SetPictureName(bmp);
        QCOMPARE(all->Error(), 0);
        QCOMPARE(all->PictureName(), bmp);
        QCOMPARE(all->Picture().size(), QSize(40, 20));
        QCOMPARE(all->size(), QSize(40, 20));  // auto-size
        QVERIFY(!all->PreView());
        QCOMPARE(all->OrgWidth(), 0);
        QVERIFY(Reddish(all->Picture().pixel(0, 0)));
        QVERIFY(Bluish(all->Picture().pixel(39, 19)));

        const QString png = Path(*dir, "b.PNG");
        QVERIFY(Halves(8, 6).save(png, "PNG"));
        all->SetPictureName(png);
        QCOMPARE(all->Error(), 0);
        QCOMPARE(all->Picture().size(), QSize(8, 6));
        QVERIFY(messages.isEmpty());

        all->SetPictureName(QString());
        QCOMPARE(all->Error(), 0);
        QVERIFY(all->Picture().isNull());
        QVERIFY(messages.isEmpty());
    }

    void failuresSayWhatAndWhere() {
        const QString txt = Path(*dir, "a.txt");
        all->SetPictureName(txt);
        QCOMPARE(all->Error(), 10);
        QVERIFY(all->PictureName().isEmpty());
        QCOMPARE(messages.value(0), QStringLiteral("サポートされない拡張子 [%1]").arg(txt));

        // A picture cut off under a Qt extension: its reader knows it, its pixels are broken.
        const QString broken = Path(*dir, "broken.png");
        QByteArray bytes;
        {
            QFile file(broken);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QImage image = Halves(30, 30);
            QVERIFY(image.save(&file, "PNG"));
        }
        {
            QFile file(broken);
            QVERIFY(file.open(QIODevice::ReadWrite));
            bytes = file.readAll();
            file.resize(bytes.size() / 2);
        }
        all->SetPictureName(broken);
        QCOMPARE(all->Error(), 3);
        QCOMPARE(messages.value(1), QStringLiteral("データが壊れている [%1]").arg(broken));
        QVERIFY(all->Picture().isNull());

        all->SetPictureName(Path(*dir, "missing.bmp"));
        QCOMPARE(all->Error(), 6);
        QVERIFY(messages.value(2).startsWith(QStringLiteral("ファイルリードエラー [")));

        // A GIF picture without ifgif.spi in any plug-in folder.
        const QString gif = Path(*dir, "a.gif");
        QVERIFY(Halves(4, 4).save(gif, "PNG"));
        all->SetPictureName(gif);
        QCOMPARE(all->Error(), 20);
        QCOMPARE(messages.value(3), QStringLiteral("IFGIF.SPI not found [%1]").arg(gif));
        QVERIFY(all->PictureName().isEmpty());

        // A plug-in without GetPicture is never called.
        const QString tif = Path(*dir, "a.tif");
        QVERIFY(Halves(4, 4).save(tif, "PNG"));
        all->SetPictureName(tif);
        QCOMPARE(all->Error(), 21);
        QVERIFY(messages.value(4).contains(QLatin1String("GetPicture")));
        QVERIFY(messages.value(4).endsWith(QStringLiteral("[%1]").arg(tif)));

        // Random bytes under a Qt extension: no reader knows them.
        const QString random = Path(*dir, "random.png");
        {
            QFile file(random);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray(64, '\x55'));
        }
        all->SetPictureName(random);
        QCOMPARE(all->Error(), 2);
        QCOMPARE(messages.value(5), QStringLiteral("未知のフォーマット [%1]").arg(random));
        QCOMPARE(messages.size(), 6);
    }

    void hugeDimensionsAreRefused() {
        // A PNG whose header claims 20000 x 20000 pixels (400 megapixels) over one real row.
        QByteArray png;
        {
            QBuffer buffer(&png);
            QVERIFY(buffer.open(QIODevice::WriteOnly));
            QVERIFY(Halves(2, 2).save(&buffer, "PNG"));
        }
        // IHDR: length (4), "IHDR" (4), width and height (big-endian) at 16 and 20, CRC after
        // the 13 data bytes (over type and data).
        for (int at : {16, 20}) {
            png[at] = 0;
            png[at + 1] = 0;
            png[at + 2] = static_cast<char>(20000 >> 8);
            png[at + 3] = static_cast<char>(20000 & 0xFF);
        }
        const uint32_t crc = Crc32(png.mid(12, 17));
        for (int i = 0; i < 4; ++i) png[29 + i] = static_cast<char>(crc >> (24 - 8 * i));
        const QString path = Path(*dir, "huge.png");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(png);
        file.close();
        all->SetPictureName(path);
        QCOMPARE(all->Error(), 4);
        QCOMPARE(messages.value(0), QStringLiteral("メモリーが確保出来ない [%1]").arg(path));
    }

    void jpegThroughPluginWithRetryAndPreview() {
        const QString plain = Path(*dir, "plain.jpg");
        WriteWithPrefix(plain, QByteArray(), Halves(64, 32), "JPG");
        all->SetPictureName(plain);
        QCOMPARE(all->Error(), 0);
        QCOMPARE(all->OrgWidth(), 64);
        QCOMPARE(all->OrgHeight(), 32);
        QCOMPARE(all->Picture().size(), QSize(64, 32));
        QVERIFY(Reddish(all->Picture().pixel(2, 2)));
        QVERIFY(Bluish(all->Picture().pixel(60, 30)));

        const QString prefixed = Path(*dir, "prefixed.JPG");
        WriteWithPrefix(prefixed, QByteArray(128, 'x'), Halves(50, 30), "JPG");
        all->SetPictureName(prefixed);
        QCOMPARE(all->Error(), 0);
        QCOMPARE(all->Picture().size(), QSize(50, 30));
        QVERIFY(Bluish(all->Picture().pixel(45, 15)));

        // The preview: a quarter of each side, rounded up; OrgWidth stays the full size.
        all->SetPreView(true);
        QCOMPARE(all->Error(), 0);
        QCOMPARE(all->PictureName(), prefixed);
        QCOMPARE(all->Picture().size(), QSize(13, 8));
        QCOMPARE(all->OrgWidth(), 50);
        QVERIFY(messages.isEmpty());

        // Neither offset holds a picture: the second answer is the error.
        const QString junk = Path(*dir, "junk.jpg");
        {
            QFile file(junk);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray(300, '\x55'));
        }
        all->SetPictureName(junk);
        QCOMPARE(all->Error(), 2);
        QCOMPARE(messages.value(0), QStringLiteral("未知のフォーマット [%1]").arg(junk));
    }

    void picWithTallPixelsIsStretched() {
        // The test ifpic.spi reports densities 1 and 2: twice as wide as its pixel grid.
        const QString pic = Path(*dir, "a.pic");
        QVERIFY(Halves(20, 10).save(pic, "PNG"));
        all->SetPictureName(pic);
        QCOMPARE(all->Error(), 0);
        QCOMPARE(all->Picture().size(), QSize(40, 10));
        QCOMPARE(all->OrgWidth(), 0);
        QVERIFY(Reddish(all->Picture().pixel(15, 5)));
        QVERIFY(Bluish(all->Picture().pixel(25, 5)));

        // The test ifpic2.spi reports densities 1 and 65535: 40000 pixels stretched that far
        // pass INT_MAX, and are refused as too large instead of wrapping to a null picture.
        const QString p2 = Path(*dir, "b.p2");
        QVERIFY(Halves(40000, 1).save(p2, "PNG"));
        all->SetPictureName(p2);
        QCOMPARE(all->Error(), 4);
        QVERIFY(all->PictureName().isEmpty());
    }

    void paletteRuleAppliesOnlyOn8BitScreens() {
        // A 2-colour picture as an 8-bit bitmap with clrUsed 2 (blocks as a plug-in gives them).
        std::vector<unsigned char> info(40 + 8, 0);
        auto put = [&](size_t at, uint32_t v) {
            for (int i = 0; i < 4; ++i)
                info[at + static_cast<size_t>(i)] = static_cast<unsigned char>(v >> (8 * i));
        };
        put(0, 40);
        put(4, 3);
        put(8, 2);  // bottom-up
        info[12] = 1;
        info[14] = 8;
        put(32, 2);
        info[42] = 255;  // colour 0: red (blue, green, red, 0)
        info[44] = 255;  // colour 1: blue
        // Rows of 3 bytes padded to 4; the bottom row first.
        const unsigned char bits[8] = {1, 1, 1, 0, 0, 1, 0, 0};
        int error = -1;
        const QImage indexed = pelorin::ImageFromBitmapBlocks(info.data(), bits, true, &error);
        QCOMPARE(error, 0);
        QCOMPARE(indexed.format(), QImage::Format_Indexed8);
        QCOMPARE(indexed.colorCount(), 2);
        QCOMPARE(indexed.pixel(0, 0), qRgb(255, 0, 0));
        QCOMPARE(indexed.pixel(1, 0), qRgb(0, 0, 255));
        QCOMPARE(indexed.pixel(0, 1), qRgb(0, 0, 255));
        const QImage full = pelorin::ImageFromBitmapBlocks(info.data(), bits, false, &error);
        QCOMPARE(error, 0);
        QCOMPARE(full.format(), QImage::Format_RGB32);
        QCOMPARE(full.pixel(2, 0), qRgb(255, 0, 0));

        // Blocks the control cannot read: a compressed bitmap, a 16-bit one, a huge one.
        put(16, 1);
        QVERIFY(pelorin::ImageFromBitmapBlocks(info.data(), bits, false, &error).isNull());
        QCOMPARE(error, 3);
        put(16, 0);
        info[14] = 16;
        QVERIFY(pelorin::ImageFromBitmapBlocks(info.data(), bits, false, &error).isNull());
        QCOMPARE(error, 3);
        info[14] = 8;
        put(4, 100000);
        put(8, 100000);
        QVERIFY(pelorin::ImageFromBitmapBlocks(info.data(), bits, false, &error).isNull());
        QCOMPARE(error, 4);

        // Header fields that would send the reads outside the block: a header size past the
        // longest form, and a colour count on a 24-bit picture, which has no table.
        put(4, 1);
        put(8, 2);
        put(0, 0x7FFFFFFF);
        QVERIFY(pelorin::ImageFromBitmapBlocks(info.data(), bits, false, &error).isNull());
        QCOMPARE(error, 3);
        put(0, 40);
        info[14] = 24;
        put(32, 0xFFFFFFFF);
        const QImage rgb = pelorin::ImageFromBitmapBlocks(info.data(), bits, true, &error);
        QCOMPARE(error, 0);
        QCOMPARE(rgb.format(), QImage::Format_RGB32);
        QCOMPARE(rgb.pixel(0, 0), qRgb(0, 1, 0));  // the top row: blue 0, green 1, red 0
    }

    void pluginPicturesFollowTheScreenDepth() {
        // ifpic.spi hands an indexed picture over with its colour table; on an 8-bit screen
        // the control keeps it indexed.
        QImage source(4, 4, QImage::Format_Indexed8);
        source.setColorTable({qRgb(255, 0, 0), qRgb(0, 0, 255)});
        source.fill(1);
        const QString pic = Path(*dir, "p.pic");
        QVERIFY(source.save(pic, "PNG"));
        all->TESTING_ONLY_SetScreenDepth(8);
        all->SetPictureName(pic);
        QCOMPARE(all->Error(), 0);
        QCOMPARE(all->Picture().format(), QImage::Format_Indexed8);
        QCOMPARE(all->Picture().pixel(0, 0), qRgb(0, 0, 255));
        all->TESTING_ONLY_SetScreenDepth(24);
        all->SetPictureName(pic);
        QCOMPARE(all->Picture().format(), QImage::Format_RGB32);
    }
};

QTEST_MAIN(PictureTest)
#include "picture_test.moc"
