// The message list: rows show the mark and the expanded row template, rows without a message
// are skipped, a new mark shows on repaint without rebuilding, rows are as tall as the font,
// several rows select at once, and only the rows that are painted are ever formatted - also on
// an area of 100,000 messages scrolled to its end.
#include "support/testing.h"

#include "view/msglist_model.h"
#include "view/msglistbox.h"

#include <QAbstractItemModelTester>
#include <QImage>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using pelorin::DisplayEntry;
using pelorin::TGrp;
using pelorin::TMsg;
using pelorin::TMsgListBox;
using pelorin::testing::S;
using pelorin::testing::TempDir;

namespace {

// An area of `count` messages held in memory ("Subject N" from "Sender N"), in file order.
std::unique_ptr<TGrp> MakeArea(const TempDir& temp, int count) {
    auto area = std::make_unique<TGrp>("test", (temp / "0000001").string(), "un", "test");
    for (int i = 0; i < count; ++i) {
        auto msg = std::make_unique<TMsg>();
        msg->subject = i == 0 ? S("件名 0") : "Subject " + std::to_string(i);
        msg->SetFrom("Sender " + std::to_string(i) + " <s" + std::to_string(i) + "@example.com>");
        msg->messageId = "<" + std::to_string(i) + "@example.com>";
        msg->mark = '*';
        area->messages.push_back(std::move(msg));
    }
    area->SetSortType(0);
    return area;
}

QString RowText(const TMsgListBox& list, int row) {
    return list.model()->index(row, 0).data().toString();
}

}  // namespace

class MsgListTest : public QObject {
    Q_OBJECT

private slots:
    void rowsStartWithTheMark() {
        TempDir temp;
        auto area = MakeArea(temp, 3);
        TMsgListBox list;
        list.SetFormat("%s >> %r");
        list.LoadGroup(area.get());
        QCOMPARE(list.Count(), 3);
        QCOMPARE(list.Group(), area.get());
        QCOMPARE(RowText(list, 0), QStringLiteral("*件名 0 >> s0"));
        QCOMPARE(RowText(list, 2), QStringLiteral("*Subject 2 >> s2"));
        QCOMPARE(list.MsgAt(1), area->messages[1].get());
        QCOMPARE(list.MsgAt(3), nullptr);
        QCOMPARE(list.MsgAt(-1), nullptr);

        list.SetFormat("");
        QCOMPARE(RowText(list, 1), QStringLiteral("*"));
    }

    void aNewMarkShowsWithoutRebuilding() {
        TempDir temp;
        auto area = MakeArea(temp, 2);
        TMsgListBox list;
        list.SetFormat("%s");
        list.LoadGroup(area.get());
        QSignalSpy reset(list.model(), &QAbstractItemModel::modelReset);
        QSignalSpy changed(list.model(), &QAbstractItemModel::dataChanged);
        area->messages[1]->mark = ' ';
        list.InvalidateRow(1);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.first().at(0).toModelIndex().row(), 1);
        QCOMPARE(reset.count(), 0);
        QCOMPARE(RowText(list, 1), QStringLiteral(" Subject 1"));
    }

    void entriesWithoutAMessageAreSkipped() {
        TempDir temp;
        auto area = MakeArea(temp, 2);
        area->display.insert(area->display.begin() + 1, DisplayEntry{nullptr});
        TMsgListBox list;
        list.LoadGroup(area.get());
        QCOMPARE(list.Count(), 2);
        QCOMPARE(list.MsgAt(1), area->messages[1].get());
        list.Clear();
        QCOMPARE(list.Count(), 0);
        QCOMPARE(list.Group(), nullptr);
        QVERIFY(!list.model()->index(0, 0).data().isValid());
    }

    void isAGoodItemModel() {
        TempDir temp;
        auto area = MakeArea(temp, 20);
        TMsgListBox list;
        QAbstractItemModelTester tester(list.model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        list.SetFormat("%s");
        list.LoadGroup(area.get());
        list.InvalidateRow(5);
        list.Clear();
    }

    void rowsAreAsTallAsTheFontAndSelectTogether() {
        TempDir temp;
        auto area = MakeArea(temp, 30);
        TMsgListBox list;
        QFont font = list.font();
        font.setPixelSize(20);
        list.setFont(font);
        list.resize(300, 200);
        list.SetFormat("%s");
        list.LoadGroup(area.get());
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        const int height = QFontMetrics(font).height();
        QCOMPARE(list.visualRect(list.model()->index(0, 0)).height(), height);
        QCOMPARE(list.visualRect(list.model()->index(1, 0)).top(), height);

        font.setPixelSize(10);
        list.setFont(font);
        QCOMPARE(list.visualRect(list.model()->index(1, 0)).top(), QFontMetrics(font).height());

        list.SetSelected(2, true);
        list.SetSelected(4, true);
        list.SetItemIndex(4);
        QCOMPARE(list.SelCount(), 2);
        QVERIFY(list.IsSelected(2) && list.IsSelected(4) && !list.IsSelected(3));
        QCOMPARE(list.ItemIndex(), 4);
        QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::ControlModifier,
                          list.visualRect(list.model()->index(6, 0)).center());
        QCOMPARE(list.SelCount(), 3);
        QCOMPARE(list.ItemIndex(), 6);
    }

    void drawsTheTextOfItsRows() {
        TempDir temp;
        auto area = MakeArea(temp, 3);
        TMsgListBox list;
        list.resize(300, 100);
        list.LoadGroup(area.get());
        const QImage blank = list.grab().toImage();
        list.SetFormat("%s");
        list.LoadGroup(area.get());
        const QImage drawn = list.grab().toImage();
        QVERIFY(drawn != blank);  // the mark alone draws too, but the subjects add more
        const int rowHeight = list.visualRect(list.model()->index(0, 0)).height();
        // Below the last row nothing is drawn.
        const QImage below = drawn.copy(0, rowHeight * 3 + 2, drawn.width(), 20);
        for (int y = 0; y < below.height(); ++y) {
            for (int x = 0; x < below.width(); ++x) QCOMPARE(below.pixel(x, y), below.pixel(0, 0));
        }
    }

    void formatsOnlyThePaintedRows() {
        TempDir temp;
        auto area = MakeArea(temp, 100000);
        TMsgListBox list;
        list.resize(400, 300);
        list.SetFormat("%50(%4L{(%@),}%V%s%) >> %c");
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        list.LoadGroup(area.get());
        QCOMPARE(list.Count(), 100000);
        auto* model = static_cast<pelorin::TMsgListModel*>(list.model());
        QCoreApplication::processEvents();  // the view lays its rows out when it comes to it
        list.repaint();
        const int rowsOnScreen = 300 / list.visualRect(model->index(0, 0)).height() + 1;
        QVERIFY(model->TESTING_ONLY_FormattedRows() > 0);
        QVERIFY(model->TESTING_ONLY_FormattedRows() <= 3 * rowsOnScreen);

        list.scrollToBottom();
        QCoreApplication::processEvents();
        list.repaint();
        QCOMPARE(list.verticalScrollBar()->value(), list.verticalScrollBar()->maximum());
        QVERIFY(list.indexAt(QPoint(5, 3)).row() >= 100000 - rowsOnScreen);
        QVERIFY(model->TESTING_ONLY_FormattedRows() <= 6 * rowsOnScreen);

        // Typed letters do not search the rows (a search would format all of them).
        QTest::keyClicks(&list, QStringLiteral("sub"));
        QVERIFY(model->TESTING_ONLY_FormattedRows() <= 8 * rowsOnScreen);
        list.Clear();
    }
};

QTEST_MAIN(MsgListTest)
#include "msglist_test.moc"
