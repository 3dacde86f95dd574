// The pane layout: every CutPattern with every SetPattern puts each pane into the container
// the pattern names, lays the strip out on the right side with the right sizes (kept when the
// window grows), full-window display stacks the panes and brings the focused one to the front,
// pane borders move, and an unknown pattern leaves the panes alone. Then the same through the
// main window and its settings file, where leaving full-window display puts the dividers back
// where they were dragged.
#include "app_testing.h"

#include "app/pane_layout.h"
#include "view/textview.h"

#include <QLineEdit>
#include <QSplitter>
#include <QTest>
#include <QVBoxLayout>

#include <memory>

using namespace pelorin;
using namespace pelorin::testing;

namespace {

// A window with the pane base and three panes that can take the focus.
struct Panes {
    QWidget window;
    QLineEdit* areas = new QLineEdit;
    QLineEdit* list = new QLineEdit;
    QLineEdit* text = new QLineEdit;
    TPaneLayout* layout = new TPaneLayout(areas, list, text, &window);

    Panes() {
        auto* box = new QVBoxLayout(&window);
        box->setContentsMargins(0, 0, 0, 0);
        box->addWidget(layout);
        window.resize(800, 600);
    }
    char LetterIn(QWidget* container) const {
        if (areas->parentWidget() == container)
            return 'A';
        if (list->parentWidget() == container)
            return 'S';
        if (text->parentWidget() == container)
            return 'T';
        return '-';
    }
    QString Placement() const {
        return QString(QChar(QLatin1Char(LetterIn(layout->Panel2())))) +
               QChar(QLatin1Char(LetterIn(layout->Panel3()))) +
               QChar(QLatin1Char(LetterIn(layout->Panel1())));
    }
};

}  // namespace

class LayoutTest : public QObject {
    Q_OBJECT

private slots:
    void placesPanesByPattern_data() {
        QTest::addColumn<QString>("cut");
        QTest::addColumn<QString>("set");
        for (const char* cut : {"Top", "Bottom", "Left", "Right"}) {
            for (const char* set : {"AST", "ATS", "SAT", "STA", "TAS", "TSA"}) {
                QTest::addRow("%s-%s", cut, set)
                    << QString::fromLatin1(cut) << QString::fromLatin1(set);
            }
        }
    }

    void placesPanesByPattern() {
        QFETCH(QString, cut);
        QFETCH(QString, set);
        Panes p;
        TLayoutSettings settings;
        settings.cutPattern = cut.toStdString();
        settings.setPattern = set.toStdString();
        settings.bWidth = 150;
        settings.bHeight = 120;
        p.layout->Apply(settings);
        p.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&p.window));
        QCOMPARE(p.Placement(), set);

        QSplitter* strip = p.layout->Strip();
        QSplitter* splitter2 = p.layout->Splitter2();
        const bool sideBySide = cut == QStringLiteral("Top") || cut == QStringLiteral("Bottom");
        QCOMPARE(p.layout->SideBySide(), sideBySide);
        QCOMPARE(splitter2->orientation(), sideBySide ? Qt::Vertical : Qt::Horizontal);
        QCOMPARE(strip->orientation(), sideBySide ? Qt::Horizontal : Qt::Vertical);
        const bool stripFirst = cut == QStringLiteral("Top") || cut == QStringLiteral("Left");
        QCOMPARE(splitter2->indexOf(strip), stripFirst ? 0 : 1);
        QCOMPARE(strip->indexOf(p.layout->Panel2()), 0);
        QVERIFY(strip->isVisible());
        QVERIFY(p.areas->isVisible() && p.list->isVisible() && p.text->isVisible());

        // Strip: 120 high and Panel2 150 wide side by side; 150 wide and 120 high stacked.
        const QWidget* panel2 = p.layout->Panel2();
        if (sideBySide) {
            QCOMPARE(strip->height(), 120);
            QCOMPARE(panel2->width(), 150);
        } else {
            QCOMPARE(strip->width(), 150);
            QCOMPARE(panel2->height(), 120);
        }
        QCOMPARE(p.layout->BWidth(), 150);
        QCOMPARE(p.layout->BHeight(), 120);
        // A larger window gives its room to Panel1 and Panel3.
        p.window.resize(1000, 700);
        QTRY_COMPARE(p.layout->width(), 1000);
        QCOMPARE(p.layout->BWidth(), 150);
        QCOMPARE(p.layout->BHeight(), 120);
    }

    void fullWindowStacksThePanes() {
        Panes p;
        p.layout->Apply({});
        p.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&p.window));
        TLayoutSettings full;
        full.panelPlane = false;
        full.bWidth = 111;
        p.layout->Apply(full);
        QVERIFY(p.layout->FullWindow());
        QCOMPARE(p.Placement(), QStringLiteral("--A"));
        QCOMPARE(p.list->parentWidget(), p.layout->Panel1());
        QCOMPARE(p.text->parentWidget(), p.layout->Panel1());
        QVERIFY(!p.layout->Strip()->isVisible());
        QCOMPARE(p.layout->FrontPane(), p.areas);
        QCOMPARE(p.list->geometry(), p.areas->geometry());
        // Every pane takes the focus (Tab walks them); the focused one comes to the front.
        p.window.activateWindow();
        p.areas->setFocus();
        QTRY_VERIFY(p.areas->hasFocus());
        QTest::keyClick(p.areas, Qt::Key_Tab);
        QTRY_VERIFY(p.list->hasFocus());
        QCOMPARE(p.layout->FrontPane(), p.list);
        p.text->setFocus();
        QTRY_COMPARE(p.layout->FrontPane(), p.text);
        // Sizes stay as they were set while the strip is hidden.
        QCOMPARE(p.layout->BWidth(), 111);

        // Back to three panes: the pattern places them again, focus no longer reorders.
        p.layout->Apply({});
        QCOMPARE(p.Placement(), QStringLiteral("AST"));
        QVERIFY(p.layout->Strip()->isVisible());
        p.list->setFocus();
        QTRY_VERIFY(p.list->hasFocus());
        QCOMPARE(p.list->parentWidget(), p.layout->Panel3());
    }

    void unknownPatternsLeaveThePanes() {
        Panes p;
        TLayoutSettings settings;
        settings.setPattern = "TSA";
        p.layout->Apply(settings);
        settings.setPattern = "XYZ";
        settings.cutPattern = "Middle";  // unknown: the strip stays where it was
        p.layout->Apply(settings);
        QCOMPARE(p.Placement(), QStringLiteral("TSA"));
        QVERIFY(p.layout->SideBySide());
        // After full-window display an unknown pattern would leave the strip empty.
        settings.panelPlane = false;
        p.layout->Apply(settings);
        settings.panelPlane = true;
        p.layout->Apply(settings);
        QCOMPARE(p.Placement(), QStringLiteral("AST"));
    }

    void bordersMove_data() {
        QTest::addColumn<QString>("cut");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        // BorderMove(10, -5) from BWidth 150, BHeight 120.
        QTest::newRow("Top") << QStringLiteral("Top") << 145 << 130;        // both grow
        QTest::newRow("Bottom") << QStringLiteral("Bottom") << 145 << 120;  // Panel2 only
        QTest::newRow("Left") << QStringLiteral("Left") << 145 << 130;      // both grow
        QTest::newRow("Right") << QStringLiteral("Right") << 150 << 130;    // Panel2 only
    }

    void bordersMove() {
        QFETCH(QString, cut);
        QFETCH(int, width);
        QFETCH(int, height);
        Panes p;
        TLayoutSettings settings;
        settings.cutPattern = cut.toStdString();
        settings.bWidth = 150;
        settings.bHeight = 120;
        p.layout->Apply(settings);
        p.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&p.window));
        p.layout->MoveBorder(10, -5);
        QCOMPARE(p.layout->BWidth(), width);
        QCOMPARE(p.layout->BHeight(), height);
    }

    void theWindowAppliesItsSettings() {
        TempDir temp;
        WriteSettings(temp,
                      "[Window]\r\nCutPattern=Left\r\nSetPattern=TAS\r\nBWidth=210\r\n"
                      "BHeight=90\r\nWidth=900\r\nHeight=600\r\n[Display]\r\nTabCount=8\r\n");
        FakeDialogs dialogs;
        TMainForm form({}, &dialogs);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        TPaneLayout* panes = form.Panes();
        QCOMPARE(panes->ContainerOf(TPaneLayout::Text), panes->Panel2());
        QCOMPARE(panes->ContainerOf(TPaneLayout::Areas), panes->Panel3());
        QCOMPARE(panes->ContainerOf(TPaneLayout::List), panes->Panel1());
        QVERIFY(!panes->SideBySide());
        QCOMPARE(panes->Strip()->width(), 210);
        QCOMPARE(form.TextView()->TabCount(), 8);

        // 全面表示 stores PanelPlane=N and stacks the panes; switching back restores them.
        QAction* fill = form.Commands().Find("mnuFill");
        fill->trigger();
        QVERIFY(panes->FullWindow());
        QCOMPARE(ReadFile(temp.home() / "pelorin.INI").find("PanelPlane=N") != std::string::npos,
                 true);
        fill->trigger();
        QVERIFY(!panes->FullWindow());
        QCOMPARE(panes->ContainerOf(TPaneLayout::Text), panes->Panel2());
        form.close();
    }

    void leavingFullWindowKeepsTheDividers_data() {
        QTest::addColumn<QString>("cut");
        QTest::newRow("side by side") << QStringLiteral("Top");
        QTest::newRow("stacked") << QStringLiteral("Left");
    }

    void leavingFullWindowKeepsTheDividers() {
        QFETCH(QString, cut);
        TempDir temp;
        WriteSettings(temp, "[Window]\r\nCutPattern=" + cut.toStdString() +
                                "\r\nWidth=900\r\nHeight=600\r\n");
        FakeDialogs dialogs;
        TMainForm form({}, &dialogs);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        TPaneLayout* panes = form.Panes();
        // Both dividers dragged away from where the settings put them.
        auto drag = [](QSplitter* splitter, int first) {
            QList<int> sizes = splitter->sizes();
            sizes[0] += first;
            sizes[1] -= first;
            splitter->setSizes(sizes);
        };
        drag(panes->Splitter2(), 57);
        drag(panes->Strip(), 43);
        const QList<int> outer = panes->Splitter2()->sizes();
        const QList<int> strip = panes->Strip()->sizes();
        QVERIFY(panes->BWidth() != 100 && panes->BHeight() != 80);

        QAction* fill = form.Commands().Find("mnuFill");
        fill->trigger();
        QVERIFY(panes->FullWindow());
        fill->trigger();
        QVERIFY(!panes->FullWindow());
        QTRY_COMPARE(panes->Splitter2()->sizes(), outer);
        QCOMPARE(panes->Strip()->sizes(), strip);
        form.close();
    }
};

QTEST_MAIN(LayoutTest)
#include "layout_test.moc"
