// TTextView as a widget, offscreen: paging with the scroll bar and NextPage, fonts and row
// height, TAB-expanded hit testing, mouse selection over double-byte text, clicks on URLs and
// bracketed addresses, the horizontal offset, painting, key forwarding and printing to PDF.
#include "view/textview.h"

#include "support/testing.h"

#include "view/textview_line.h"

#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QKeyEvent>
#include <QPrinter>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using pelorin::TTextView;
using pelorin::testing::S;
using pelorin::testing::U;
namespace tv = pelorin::textview;

namespace {

QString Show(const std::string& sjis) {
    return QString::fromStdString(U(sjis));
}

pelorin::TSList Numbered(int count) {
    pelorin::TSList lines;
    for (int i = 0; i < count; ++i) lines.push_back("line " + std::to_string(i));
    return lines;
}

}  // namespace

class TextViewTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TTextView> view;

    QScrollBar* Bar() { return view->verticalScrollBar(); }

    // Sizes the view so that exactly `rows` rows fit (and half of one more).
    void FitRows(int rows) {
        view->resize(400, rows * view->LineHeight() + view->LineHeight() / 2);
        QCOMPARE(view->PageLines(), rows);
    }

    void Fill(const pelorin::TSList& lines) {
        view->ClearText();
        view->SetLines(lines);
        view->SetTopLine(0);
    }

    // The drawn x of a byte offset of a shown line, in viewport coordinates.
    qreal XOf(int line, std::size_t bytes) {
        const std::string& text = view->Lines()[static_cast<std::size_t>(line)];
        const tv::DrawnLine drawn(text, line, view->LineFont(text), view->TabCount(),
                                  view->ClickableColor(), view->viewport());
        return view->LeftMergine() - view->HorzOffset() + drawn.X(bytes);
    }
    // The middle of the character at `bytes` (of `length` bytes) of a shown line.
    QPoint PointAt(int line, std::size_t bytes, std::size_t length = 1) {
        const qreal x = (XOf(line, bytes) + XOf(line, bytes + length)) / 2;
        const int y = (line - view->TopLine()) * view->LineHeight() + view->LineHeight() / 2;
        return QPoint(static_cast<int>(x), y);
    }

private slots:
    void initTestCase() { qRegisterMetaType<QKeyEvent*>(); }

    void init() {
        view = std::make_unique<TTextView>();
        QFont text(QStringLiteral("DejaVu Sans"));
        text.setPixelSize(14);
        QFont mono(QStringLiteral("DejaVu Sans Mono"));
        mono.setPixelSize(14);
        view->SetTextFont(text);
        view->SetQuoteFont(text);
        view->SetMonoFont(mono);
        view->resize(400, 300);
        view->show();
        QVERIFY(QTest::qWaitForWindowExposed(view.get()));
    }

    void cleanup() { view.reset(); }

    void hasItsDefaults() {
        QCOMPARE(view->LineMergine(), 2);
        QCOMPARE(view->LeftMergine(), 2);
        QCOMPARE(view->PrintLeftMergine(), 20);
        QCOMPARE(view->PrintBottomMergine(), 20);
        QCOMPARE(view->TabCount(), 4);
        QCOMPARE(view->PageBreakChar(), '\f');
        QCOMPARE(view->QuotingChars(), S(">＞"));
        QVERIFY(!view->SimpleFont());
        QCOMPARE(view->ScrollRate(), 1);
        view->SetTabCount(0);
        QCOMPARE(view->TabCount(), 1);
        view->SetTabCount(1000);
        QCOMPARE(view->TabCount(), tv::kMaxTabCount);
    }

    void emptyTextIsAtTheEnd() {
        view->ClearText();
        QSignalSpy ends(view.get(), &TTextView::OnEnd);
        QVERIFY(view->AtEnd());
        QVERIFY(view->NextPage());
        QCOMPARE(ends.count(), 1);
    }

    void onePageExactlyNeedsOneMoreStep() {
        FitRows(10);
        Fill(Numbered(10));
        QSignalSpy ends(view.get(), &TTextView::OnEnd);
        QVERIFY(!view->AtEnd());
        QCOMPARE(view->NextPageTop(), 10);
        QVERIFY(!view->NextPage());
        QCOMPARE(view->TopLine(), 10);
        QVERIFY(view->AtEnd());
        QCOMPARE(ends.count(), 0);
        QVERIFY(view->NextPage());
        QCOMPARE(ends.count(), 1);
    }

    void endHandlerMayShowTheNextText() {
        FitRows(10);
        Fill(Numbered(3));
        // The main window shows the next (short) message from OnEnd: its end state stands.
        connect(view.get(), &TTextView::OnEnd, this, [this] { Fill(Numbered(2)); });
        QVERIFY(view->NextPage());
        QCOMPARE(view->Lines().size(), std::size_t(2));
        QVERIFY(view->AtEnd());
    }

    void endHandlerMayShowNothing() {
        FitRows(10);
        Fill(Numbered(3));
        QSignalSpy ends(view.get(), &TTextView::OnEnd);
        // No next text (the last unread message): the page stays, and every further step asks
        // again rather than scrolling the text away.
        for (int i = 1; i <= 2; ++i) {
            QVERIFY(view->NextPage());
            QCOMPARE(ends.count(), i);
            QCOMPARE(view->TopLine(), 0);
            QVERIFY(view->AtEnd());
        }
    }

    void scrollStepsStopAtPagesAndFormFeeds() {
        FitRows(10);
        pelorin::TSList lines = Numbered(40);
        lines[5] = "\f";
        lines[12] = "\fnext";
        Fill(lines);
        QCOMPARE(view->NextPageTop(), 6);
        QVERIFY(!view->NextPage());
        QCOMPARE(view->TopLine(), 6);
        QCOMPARE(view->NextPageTop(), 13);
        QVERIFY(!view->NextPage());
        QCOMPARE(view->TopLine(), 13);
        QCOMPARE(view->PrevPageTop(), 6);
        // Page up wants line 3, but the page above starts after the form feed at 5.
        Bar()->triggerAction(QAbstractSlider::SliderPageStepSub);
        QCOMPARE(view->TopLine(), 6);
        // Dragging the thumb far down moves one page only.
        Bar()->setValue(35);
        QCOMPARE(view->TopLine(), 13);
        QCOMPARE(Bar()->value(), 13);
        Bar()->setValue(35);
        QCOMPARE(view->TopLine(), 23);
        // Arrow steps within the page move by the scroll rate.
        view->SetScrollRate(2);
        Bar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        QCOMPARE(view->TopLine(), 25);
    }

    void movingDownAtTheEndAsksForMore() {
        FitRows(10);
        pelorin::TSList lines = Numbered(40);
        lines[25] = "\f";
        Fill(lines);
        QSignalSpy ends(view.get(), &TTextView::OnEnd);
        while (!view->AtEnd()) QVERIFY(!view->NextPage());
        QCOMPARE(view->TopLine(), 36);
        Bar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        QCOMPARE(ends.count(), 1);
        QCOMPARE(view->TopLine(), 36);
        QCOMPARE(Bar()->value(), 36);
        // Going home from the end is a move up: one page up (to the form feed's page), and no
        // request for the next text.
        Bar()->triggerAction(QAbstractSlider::SliderToMinimum);
        QCOMPARE(ends.count(), 1);
        QCOMPARE(view->TopLine(), 25);
        QVERIFY(!view->AtEnd());
    }

    void rowsTakeTheTallerFont() {
        const int text_height = view->LineHeight();
        const QFontMetrics text(view->TextFont(), view->viewport());
        QCOMPARE(text_height, static_cast<int>(1.1 * text.height()) + 2);
        QFont big(QStringLiteral("DejaVu Sans"));
        big.setPixelSize(28);
        view->SetQuoteFont(big);
        const QFontMetrics metrics(big, view->viewport());
        QCOMPARE(view->LineHeight(), static_cast<int>(1.1 * metrics.height()) + 2);
        QVERIFY(view->LineHeight() > text_height);
        QCOMPARE(view->LineFont("> quote").pixelSize(), 28);
        QCOMPARE(view->LineFont(S("　　＞引用")).pixelSize(), 14);  // not a quote
        // Single-font mode: everything, quotes too, in the fixed-pitch font and its height.
        view->SetSimpleFont(true);
        QCOMPARE(view->LineFont("> quote").family(), view->MonoFont().family());
        const QFontMetrics mono(view->MonoFont(), view->viewport());
        QCOMPARE(view->LineHeight(), static_cast<int>(1.1 * mono.height()) + 2);
        view->SetLineMergine(10);
        QCOMPARE(view->LineHeight(), static_cast<int>(1.1 * mono.height()) + 10);
    }

    void hitTestsFollowExpandedTabs() {
        view->SetSimpleFont(true);
        Fill({"\tx", "abc\tx"});
        const QFontMetricsF metrics(view->MonoFont(), view->viewport());
        const qreal space = metrics.horizontalAdvance(QLatin1Char(' '));
        // A TAB at column 0 draws four spaces; after "abc" one.
        QVERIFY(qAbs(XOf(0, 1) - XOf(0, 0) - 4 * space) < 0.5);
        QVERIFY(qAbs(XOf(1, 4) - XOf(1, 3) - space) < 0.5);
        // On the spaces the TAB byte is hit; right of them, the "x".
        TTextView::Hit hit = view->HitTest(QPoint(static_cast<int>(XOf(0, 0) + 3 * space), 5));
        QCOMPARE(hit.before, (tv::TextPos{0, 0}));
        QCOMPARE(hit.through, (tv::TextPos{0, 1}));
        hit = view->HitTest(PointAt(0, 1));
        QCOMPARE(hit.before, (tv::TextPos{0, 1}));
        QCOMPARE(hit.through, (tv::TextPos{0, 2}));
        // Left of the margin: nothing before; right of the text: the whole line; below: no line.
        QCOMPARE(view->HitTest(QPoint(0, 5)).through, (tv::TextPos{0, 0}));
        QCOMPARE(view->HitTest(QPoint(390, 5)).before, (tv::TextPos{0, 2}));
        QCOMPARE(view->HitTest(QPoint(10, 250)).before, (tv::TextPos{2, 0}));
    }

    void selectsWithTheMouse() {
        Fill({"zero", S("あいうえお"), S("かきくけこ"), "xyz"});
        // From the middle of "い" to the middle of "く".
        QTest::mousePress(view->viewport(), Qt::LeftButton, {}, PointAt(1, 2, 2));
        QTest::mouseMove(view->viewport(), PointAt(2, 4, 2));
        QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, PointAt(2, 4, 2));
        QCOMPARE(view->SelectionStart(), (tv::TextPos{1, 2}));
        QCOMPARE(view->SelectionEnd(), (tv::TextPos{2, 6}));
        QCOMPARE(Show(view->SelectedText()), QStringLiteral("いうえお\r\nかきく"));

        // Within one line, over one character only.
        QTest::mousePress(view->viewport(), Qt::LeftButton, {}, PointAt(1, 4, 2));
        QTest::mouseMove(view->viewport(), PointAt(1, 4, 2) + QPoint(1, 0));
        QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, PointAt(1, 4, 2) + QPoint(1, 0));
        QCOMPARE(Show(view->SelectedText()), QStringLiteral("う"));

        // Upward: nothing.
        QTest::mousePress(view->viewport(), Qt::LeftButton, {}, PointAt(2, 2, 2));
        QTest::mouseMove(view->viewport(), PointAt(1, 2, 2));
        QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, PointAt(1, 2, 2));
        QCOMPARE(view->SelectedText(), std::string());

        // Past the end of the text: through its last character.
        QTest::mousePress(view->viewport(), Qt::LeftButton, {}, PointAt(3, 1));
        QTest::mouseMove(view->viewport(), QPoint(20, 250));
        QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, QPoint(20, 250));
        QCOMPARE(view->SelectedText(), std::string("yz"));

        // The highlight is painted: the row in the middle of a selection runs to the edge.
        QTest::mousePress(view->viewport(), Qt::LeftButton, {}, PointAt(0, 1));
        QTest::mouseMove(view->viewport(), PointAt(3, 1));
        QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, PointAt(3, 1));
        const QImage image = view->viewport()->grab().toImage();
        const QPoint probe(view->viewport()->width() - 3, view->LineHeight() * 2 - 2);
        QCOMPARE(image.pixelColor(probe), view->palette().color(QPalette::Highlight));

        // A click (no movement) clears the selection.
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, PointAt(0, 1));
        QCOMPARE(view->SelectedText(), std::string());
    }

    void clicksOnItems() {
        Fill({"see", S("詳細は http://example.jp/a?b です"), S("参照<abc@def.jp>です")});
        std::string clicked;
        QSignalSpy lefts(view.get(), &TTextView::OnLeftClick);
        QSignalSpy rights(view.get(), &TTextView::OnRightClick);
        connect(view.get(), &TTextView::OnLeftClick, this, [&] { clicked = view->ClickText(); });
        connect(view.get(), &TTextView::OnRightClick, this, [&] { clicked = view->ClickText(); });
        std::vector<std::string> items;
        connect(view.get(), &TTextView::OnClickText, this,
                [&](const std::string& item, Qt::MouseButton) { items.push_back(item); });

        // Hovering shows the hand over an item and the plain pointer elsewhere.
        QTest::mouseMove(view->viewport(), PointAt(1, 12));
        QCOMPARE(view->ClickText(), std::string("http://example.jp/a?b"));
        QCOMPARE(view->viewport()->cursor().shape(), Qt::PointingHandCursor);
        QTest::mouseMove(view->viewport(), PointAt(1, 27));  // the "b" after "?": the URL's too
        QCOMPARE(view->ClickText(), std::string("http://example.jp/a?b"));
        QTest::mouseMove(view->viewport(), PointAt(1, 30));  // "で" after it
        QCOMPARE(view->ClickText(), std::string());
        QCOMPARE(view->viewport()->cursor().shape(), Qt::ArrowCursor);

        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, PointAt(1, 12));
        QCOMPARE(lefts.count(), 1);
        QCOMPARE(clicked, std::string("http://example.jp/a?b"));
        QTest::mouseClick(view->viewport(), Qt::RightButton, {}, PointAt(2, 6));
        QCOMPARE(rights.count(), 1);
        QCOMPARE(clicked, std::string("<abc@def.jp>"));
        // A click on plain text still fires, with no item.
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, PointAt(0, 1));
        QCOMPARE(lefts.count(), 2);
        QCOMPARE(clicked, std::string());
        // Moving between press and release is a drag, not a click.
        QTest::mousePress(view->viewport(), Qt::LeftButton, {}, PointAt(1, 12));
        QTest::mouseMove(view->viewport(), PointAt(1, 14));
        QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, PointAt(1, 14));
        QCOMPARE(lefts.count(), 2);
        QCOMPARE(items, (std::vector<std::string>{"http://example.jp/a?b", "<abc@def.jp>"}));
        // A double click (as the window system delivers it) is two clicks and selects nothing.
        QTest::mouseDClick(view->windowHandle(), Qt::LeftButton, {},
                           view->viewport()->mapTo(view.get(), PointAt(1, 2, 2)));
        QCOMPARE(lefts.count(), 4);
        QCOMPARE(view->SelectedText(), std::string());
    }

    void shiftsRowsByTheHorizontalOffset() {
        Fill({std::string(300, 'W'), "short"});
        view->SetHorzOffset(-5);
        QCOMPARE(view->HorzOffset(), 0);
        view->SetHorzOffset(40);
        QCOMPARE(view->HorzOffset(), 40);
        // The character at the left edge is now one well inside the line.
        QVERIFY(view->HitTest(QPoint(5, 5)).before.bytes > 0);
        view->SetHorzOffset(1000000);
        const int limit = view->HorzOffset();
        QVERIFY(limit > 40 && limit < 1000000);
        // The line's end is reachable and no further.
        QVERIFY(XOf(0, 300) <= view->viewport()->width());
        QVERIFY(XOf(0, 300) > view->viewport()->width() - 10);
        view->ClearText();
        QCOMPARE(view->HorzOffset(), 0);
        Fill({"short"});
        view->SetHorzOffset(40);
        QCOMPARE(view->HorzOffset(), 0);
    }

    void tilesTheBackPicture() {
        view->ClearText();
        QPixmap tile(4, 4);
        tile.fill(Qt::red);
        view->SetBackPicture(tile);
        const QImage image = view->viewport()->grab().toImage();
        QCOMPARE(image.pixelColor(100, 100), QColor(Qt::red));
        QCOMPARE(image.pixelColor(3, 3), QColor(Qt::red));
    }

    void drawsQuoteLinesInTheirColour() {
        // Counts the pixels of a row that are drawn in exactly `colour`.
        const auto inked = [this](int row, const QColor& colour) {
            const QImage image = view->viewport()->grab().toImage();
            int n = 0;
            for (int y = row * view->LineHeight(); y < (row + 1) * view->LineHeight(); ++y) {
                for (int x = 0; x < image.width(); ++x) n += image.pixelColor(x, y) == colour;
            }
            return n;
        };
        Fill({"> quoted WWWW", "plain WWWW"});
        view->SetQuoteColor(QColor(Qt::blue));
        QVERIFY(inked(0, QColor(Qt::blue)) > 0);
        QCOMPARE(inked(1, QColor(Qt::blue)), 0);
        // Single-font display shows every line alike.
        view->SetSimpleFont(true);
        QCOMPARE(inked(0, QColor(Qt::blue)), 0);
    }

    void forwardsKeys() {
        FitRows(10);
        Fill(Numbered(40));
        QSignalSpy downs(view.get(), &TTextView::OnKeyDown);
        QSignalSpy ups(view.get(), &TTextView::OnKeyUp);
        view->setFocus();
        QTest::keyClick(view.get(), Qt::Key_PageDown);
        QCOMPARE(downs.count(), 1);
        QCOMPARE(ups.count(), 1);
        QCOMPARE(view->TopLine(), 10);
        // A handler that takes the key keeps the view from paging.
        connect(view.get(), &TTextView::OnKeyDown, this, [](QKeyEvent* event) { event->accept(); });
        QTest::keyClick(view.get(), Qt::Key_PageDown);
        QCOMPARE(view->TopLine(), 10);
    }

    void staysQuickOnLongTexts() {
        FitRows(10);
        pelorin::TSList lines;
        lines.reserve(200000);
        for (int i = 0; i < 200000; ++i)
            lines.push_back(S("本文 http://example.jp/ <id@example.jp> ") + std::to_string(i));
        QElapsedTimer timer;
        timer.start();
        Fill(std::move(lines));
        for (int i = 0; i < 50; ++i) QVERIFY(!view->NextPage());
        QCOMPARE(view->TopLine(), 500);
        Bar()->setValue(199995);
        QCOMPARE(view->TopLine(), 510);
        view->viewport()->repaint();
        qInfo("200000 lines: filled, paged 51 times and painted in %lld ms", timer.elapsed());
    }

    void printsToPdf() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        pelorin::TSList lines;
        for (int i = 0; i < 300; ++i) {
            lines.push_back(i % 3 == 0 ? S("> 引用された行 ") + std::to_string(i)
                                       : "a\tb " + std::string(i, 'x'));
        }
        lines[100] = "\f";
        Fill(lines);
        view->SetPrintLeftHeaders({S("タイトル: テスト"), S("差出人: 太郎"), S("投稿日: 2024年")});
        view->SetPrintRightHeaders({"printed by Pelorin"});
        view->SetPrintLeftMergine(100);
        view->SetPrintTopMergine(100);
        view->SetPrintRightMergine(100);
        view->SetPrintBottomMergine(100);

        const QString path = dir.filePath(QStringLiteral("text.pdf"));
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path);
        const int pages = view->PrintText(printer);
        QVERIFY(pages > 1);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray pdf = file.readAll();
        QVERIFY(pdf.startsWith("%PDF"));
        const QRegularExpressionMatch count =
            QRegularExpression(QStringLiteral("/Count (\\d+)")).match(QString::fromLatin1(pdf));
        QVERIFY(count.hasMatch());
        QCOMPARE(count.captured(1).toInt(), pages);

        // An empty text prints one page with its header.
        view->ClearText();
        QPrinter empty(QPrinter::HighResolution);
        empty.setOutputFormat(QPrinter::PdfFormat);
        empty.setOutputFileName(dir.filePath(QStringLiteral("empty.pdf")));
        QCOMPARE(view->PrintText(empty), 1);
    }
};

QTEST_MAIN(TextViewTest)
#include "textview_test.moc"
