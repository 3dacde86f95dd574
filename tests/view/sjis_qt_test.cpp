// The Unicode edge: Shift_JIS <-> QString, checked code by code against ICU's windows-31j
// converter (a second, independent CP932 table) where this Qt build has ICU.
#include "view/sjis_qt.h"

#include "coding/cp932.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <QTest>

using pelorin::FromQString;
using pelorin::ToQString;

class SjisQtTest : public QObject {
    Q_OBJECT

private slots:
    void literalsRoundTrip() {
        const QString text = QStringLiteral("件名: テスト ｶﾅ ①～");
        const std::string sjis = FromQString(text);
        QCOMPARE(sjis, pelorin::Sjis("件名: テスト ｶﾅ ①～"));
        QCOMPARE(ToQString(sjis), text);
        QCOMPARE(ToQString(std::string("\x80", 1)), QString(QChar(0xFFFD)));
        QCOMPARE(FromQString(QStringLiteral("€")), std::string("?"));
    }

    void everyDoubleByteCodeAgreesWithIcu() {
        QStringDecoder icu("windows-31j");
        if (!icu.isValid())
            QSKIP("this Qt build has no ICU converter for windows-31j");
        int compared = 0;
        for (int lead = 0x81; lead <= 0xFC; ++lead) {
            if (lead > 0x9F && lead < 0xE0)
                continue;
            for (int trail = 0x40; trail <= 0xFC; ++trail) {
                if (trail == 0x7F)
                    continue;
                const char bytes[2] = {static_cast<char>(lead), static_cast<char>(trail)};
                const QString ours = ToQString(std::string_view(bytes, 2));
                QStringDecoder dec("windows-31j");
                const QString theirs = dec.decode(QByteArrayView(bytes, 2));
                const bool ours_mapped = ours != QString(QChar(0xFFFD));
                const bool theirs_mapped =
                    theirs.size() == 1 && theirs[0] != QChar(0xFFFD) && theirs[0] != QChar(0x1A);
                if (!ours_mapped && !theirs_mapped)
                    continue;
                if (ours != theirs) {
                    QFAIL(qPrintable(QStringLiteral("%1%2: ours U+%3, ICU U+%4")
                                         .arg(lead, 2, 16)
                                         .arg(trail, 2, 16)
                                         .arg(ours.isEmpty() ? 0 : ours[0].unicode(), 4, 16)
                                         .arg(theirs.isEmpty() ? 0 : theirs[0].unicode(), 4, 16)));
                }
                ++compared;
            }
        }
        QVERIFY(compared > 9000);
    }

    void encodingAgreesWithIcu() {
        QStringEncoder icu("windows-31j");
        if (!icu.isValid())
            QSKIP("this Qt build has no ICU converter for windows-31j");
        // Every character of the table, encoded by both: both must pick the same code.
        for (int lead = 0x81; lead <= 0xFC; ++lead) {
            if (lead > 0x9F && lead < 0xE0)
                continue;
            for (int trail = 0x40; trail <= 0xFC; ++trail) {
                if (trail == 0x7F)
                    continue;
                const char bytes[2] = {static_cast<char>(lead), static_cast<char>(trail)};
                const QString ch = ToQString(std::string_view(bytes, 2));
                if (ch == QString(QChar(0xFFFD)))
                    continue;
                QStringEncoder enc("windows-31j");
                const QByteArray theirs = enc.encode(ch);
                const std::string ours = FromQString(ch);
                QCOMPARE(QByteArray(ours.data(), static_cast<qsizetype>(ours.size())), theirs);
            }
        }
    }
};

QTEST_GUILESS_MAIN(SjisQtTest)
#include "sjis_qt_test.moc"
