// `pelorin --plugins`: each plug-in is found in the first folder that holds it, and a plug-in
// that is missing, is no library, or lacks an entry point is named with the reason.
#include "support/testing.h"

#include "app/plugin_report.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace pelorin;

class PluginReportTest : public QObject {
    Q_OBJECT

private slots:
    void namesWhereEachPlugInIsAndWhetherItLoads() {
        testing::TempDir tmp;
        const QString first = QString::fromStdString((tmp / "first").string());
        QDir().mkpath(first);
        // A file of the right name that is no library, in the folder searched first.
        QFile junk(QDir(first).filePath(QStringLiteral("ifpic.spi")));
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write("not a library");
        junk.close();

        const QString spiDir = QStringLiteral(PELORIN_TEST_SPI_DIR);
        const QStringList lines =
            PluginReport({first, spiDir}).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 8);
        auto line = [&](const char* name) {
            for (const QString& l : lines)
                if (l.startsWith(QString::fromLatin1(name) + QLatin1Char('\t')))
                    return l.split(QLatin1Char('\t'));
            return QStringList();
        };
        QCOMPARE(line("ifjpeg.spi"),
                 (QStringList{QStringLiteral("ifjpeg.spi"), spiDir + QStringLiteral("/ifjpeg.spi"),
                              QStringLiteral("ok")}));
        QCOMPARE(line("iftiff.spi").value(2), QStringLiteral("no GetPicture"));
        QCOMPARE(line("ifpic.spi").value(1), first + QStringLiteral("/ifpic.spi"));
        QVERIFY(line("ifpic.spi").value(2) != QStringLiteral("ok"));
        QCOMPARE(line("ifmag.spi"), (QStringList{QStringLiteral("ifmag.spi"), QStringLiteral("-"),
                                                 QStringLiteral("not found")}));
    }
};

QTEST_GUILESS_MAIN(PluginReportTest)
#include "picture_plugin_report_test.moc"
