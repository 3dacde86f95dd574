// The window showing today's mail from the demo packet: the UTF-8 message's text pane holds
// UTF-8 lines with every character (Hangul, emoji, accented names) and clickable URLs, the
// HTML-only newsletter shows as readable text, the list keeps "〓" for what Shift_JIS cannot
// hold, and the next ISO-2022-JP message is shown in Shift_JIS again.
#include "app_testing.h"

#include "coding/cp932.h"

#include "view/msglistbox.h"
#include "view/textview.h"

#include <QTest>

#include <algorithm>

using namespace pelorin;
using namespace pelorin::testing;

namespace {

// Shows the message of `messageId` in the open area.
void ShowMessage(TMainForm& form, const std::string& messageId) {
    TMsgListBox* list = form.MessageList();
    for (int row = 0; row < list->Count(); ++row) {
        if (list->MsgAt(row)->messageId == messageId) {
            list->SetItemIndex(row);
            form.DisplayMessage();
            return;
        }
    }
    QFAIL(qPrintable(QString::fromStdString("no message " + messageId)));
}

bool HasLine(const TSList& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

}  // namespace

class CharsetsDisplayTest : public QObject {
    Q_OBJECT

private slots:
    void showsTodaysMailWithEveryCharacter() {
        TempDir temp;
        const std::string areas = CopyDemo(temp / "demo");
        FakeDialogs dialogs;
        TMainForm form({}, &dialogs);
        QVERIFY(form.OpenPacket(areas));
        form.AreaTree()->setCurrentItem(AreaNode(form.AreaTree()->PacketNode(0), "mail"));
        form.SelectArea('A');

        ShowMessage(form, "<20261129211000.5@example.kr>");
        TTextView* text = form.TextView();
        QCOMPARE(text->LineCoding(), textview::LineCoding::Utf8);
        QVERIFY(HasLine(text->Lines(), "ソウル出張ではお世話になりました。감사합니다 🙏"));
        QVERIFY(HasLine(text->Lines(), "Müller さんと Zoë さんにもよろしくお伝えください。"));
        QVERIFY(HasLine(text->Lines(), "김민지 (Kim Minji)"));
        const std::string subject = form.CurrentMessage()->subject;
        QCOMPARE(subject, cp932::FromUtf8("ソウルからこんにちは 〓 (〓〓 〓〓)"));

        ShowMessage(form, "<newsletter.6@example.jp>");
        QCOMPARE(text->LineCoding(), textview::LineCoding::Utf8);
        QVERIFY(HasLine(text->Lines(), "・ 한국어 / Ελληνικά / Русский"));
        QVERIFY(HasLine(
            text->Lines(),
            "詳しくは ニュースのページ <https://example.jp/pelorin/news> をご覧ください。"));
        for (const std::string& line : text->Lines())
            QVERIFY2(line.find("track") == std::string::npos, line.c_str());

        ShowMessage(form, "<20261130091500.1@example.jp>");
        QCOMPARE(text->LineCoding(), textview::LineCoding::ShiftJis);
        QVERIFY(HasLine(text->Lines(), S("場所はいつもの第二会議室です。")));
        form.close();
    }
};

QTEST_MAIN(CharsetsDisplayTest)
#include "charsets_display_test.moc"
