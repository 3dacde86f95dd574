// TTextView showing a part read through Unicode (UTF-8 lines), offscreen: the drawn text holds
// characters CP932 cannot (accented letters, Hangul, an emoji) as themselves, compared by text;
// positions count UTF-8 bytes, so selection, clickable items, quote lines and printing work as
// they do for Shift_JIS lines.
#include "support/testing.h"

#include "coding/cp932.h"

#include "view/textview.h"
#include "view/textview_line.h"

#include <QPrinter>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using pelorin::TTextView;
namespace tv = pelorin::textview;

namespace {

QString Q(const std::string& utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

}  // namespace

class TextViewUtf8Test : public QObject {
    Q_OBJECT

    std::unique_ptr<TTextView> view;

    tv::DrawnLine Drawn(int line) {
        const std::string& text = view->Lines()[static_cast<std::size_t>(line)];
        return tv::DrawnLine(text, line, view->LineFont(text), view->TabCount(),
                             view->ClickableColor(), view->viewport(), tv::LineCoding::Utf8);
    }
    QPoint PointAt(int line, std::size_t from, std::size_t to) {
        const tv::DrawnLine drawn = Drawn(line);
        const qreal x = view->LeftMergine() + (drawn.X(from) + drawn.X(to)) / 2;
        return QPoint(static_cast<int>(x), line * view->LineHeight() + view->LineHeight() / 2);
    }

    const pelorin::TSList kLines{
        "Grüße aus 한국어 🎉 http://example.com/x",
        ">引用された ü",
        "broken \xFF byte",
        "\ttab",
    };

private slots:
    void init() {
        view = std::make_unique<TTextView>();
        view->resize(600, 300);
        view->show();
        view->SetLineCoding(tv::LineCoding::Utf8);
        view->SetLines(kLines);
        view->SetTopLine(0);
    }
    void cleanup() { view.reset(); }

    void drawsEveryCharacter() {
        QCOMPARE(Drawn(0).Text(), Q(kLines[0]));
        QCOMPARE(Drawn(1).Text(), Q(kLines[1]));
        QCOMPARE(Drawn(2).Text(), QStringLiteral("broken \uFFFD byte"));
        // The emoji (two UTF-16 units) ends where the next byte's x begins.
        const tv::DrawnLine line = Drawn(0);
        const std::size_t emoji = kLines[0].find("🎉");
        QCOMPARE(line.TextIndex(emoji + 4), line.TextIndex(emoji) + 2);
        QVERIFY(line.X(emoji + 4) > line.X(emoji));
        // Painting goes through the same lines.
        QVERIFY(!view->viewport()->grab().toImage().isNull());
        QVERIFY(view->IsQuoteLine(kLines[1]));
        QVERIFY(!view->IsQuoteLine(kLines[0]));
    }

    void selectsAndClicksByUtf8Bytes() {
        const std::size_t hangul = kLines[0].find("한");
        const std::size_t emoji = kLines[0].find("🎉");
        QTest::mousePress(view->viewport(), Qt::LeftButton, {}, PointAt(0, hangul, hangul + 3));
        QTest::mouseMove(view->viewport(), PointAt(0, emoji, emoji + 4));
        QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, PointAt(0, emoji, emoji + 4));
        QCOMPARE(view->SelectedUnicodeText(), QStringLiteral("한국어 🎉"));
        // The core's copy has "〓" where CP932 has no character.
        QCOMPARE(view->SelectedText(), pelorin::cp932::FromUtf8("〓〓〓 〓"));

        const std::size_t url = kLines[0].find("http");
        QTest::mouseMove(view->viewport(), PointAt(0, url + 3, url + 4));
        QCOMPARE(view->ClickText(), std::string("http://example.com/x"));
    }

    void printsUtf8Lines() {
        QTemporaryDir dir;
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath(QStringLiteral("utf8.pdf")));
        QCOMPARE(view->PrintText(printer), 1);
    }

    void shiftJisAgainAfterwards() {
        view->SetLineCoding(tv::LineCoding::ShiftJis);
        view->SetLines({pelorin::testing::S("日本語")});
        QCOMPARE(tv::DrawnLine(view->Lines()[0], 0, view->LineFont(view->Lines()[0]), 8, QColor(),
                               view->viewport())
                     .Text(),
                 QStringLiteral("日本語"));
    }
};

QTEST_MAIN(TextViewUtf8Test)
#include "textview_utf8_test.moc"
