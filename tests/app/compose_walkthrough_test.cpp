// The composing walk-through: the window on a copy of the demo packet answers the first message
// of its first area as a user would - Ctrl+R opens the header form, アドレス帳 shows the address
// book, OK starts the editor (the test editor of tests/support, which adds a line), and はい in
// the posting question posts the reply. Pictures of the header form, the address book and the
// posting question go to $PELORIN_SCREENSHOT_DIR (or "screenshots" in the working directory)
// as compose_1_header_form, compose_2_address_book, compose_3_posting_question and
// compose_4_posted (.png); scripts/walkthrough.sh runs this after the reading walk-through.
#include "app_testing.h"

#include "coding/jis.h"

#include "app/address_dialog.h"
#include "app/header_form.h"
#include "view/msglistbox.h"
#include "view/textview.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

using namespace pelorin;
using namespace pelorin::testing;

namespace {

QString ShotDir() {
    return qEnvironmentVariableIsEmpty("PELORIN_SCREENSHOT_DIR")
               ? QDir::currentPath() + QStringLiteral("/screenshots")
               : qEnvironmentVariable("PELORIN_SCREENSHOT_DIR");
}

bool Save(QWidget& widget, const char* name) {
    QDir().mkpath(ShotDir());
    return widget.grab().toImage().save(ShotDir() + QStringLiteral("/compose_") +
                                        QString::fromLatin1(name) + QStringLiteral(".png"));
}

QMessageBox* ShownMessageBox() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible())
            return box;
    }
    return nullptr;
}

}  // namespace

class ComposeWalkthroughTest : public QObject {
    Q_OBJECT

private slots:
    void replyToADemoMessage() {
        TempDir temp;
        const std::string areas = CopyDemo(temp / "demo");
        const std::filesystem::path out = temp / "out";
        std::filesystem::create_directories(out);
        WriteSettings(temp,
                      "[Window]\r\nWidth=960\r\nHeight=600\r\nBHeight=190\r\nBWidth=260\r\n"
                      "[Editor]\r\nExternalEditor=" +
                          std::string(PELORIN_SOURCE_DIR) +
                          "/tests/support/append_line_editor.sh\r\n[Files]\r\nOutbound=" +
                          out.string() + "\r\n");
        WriteFile(temp.home() / "ADDRESS.DAT",
                  S("友人\r\n\t山田 太郎<taro@example.jp>\r\n\t鈴木 花子<hanako@example.jp>\r\n"
                    "仕事\r\n\tPelorin 事務局<office@example.jp>\r\n"));
        TMainForm form({Q(areas)});
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.activateWindow();

        // Read the first message of the first area.
        form.AreaTree()->setCurrentItem(form.AreaTree()->PacketNode(0)->child(0));
        form.SelectArea('A');
        form.MessageList()->SetSelected(0, true);
        form.MessageList()->SetItemIndex(0);
        form.DisplayMessage();
        QVERIFY(form.CurrentMessage());

        bool formSaved = false, bookSaved = false, questionSaved = false;
        TESTING_ONLY_addressDialogShown = [&](TAddressDlg& d) {
            QTimer::singleShot(100, &d, [&] {
                auto* tree = d.findChild<QTreeWidget*>(QStringLiteral("tvAddress"));
                tree->expandAll();
                tree->setCurrentItem(tree->topLevelItem(0)->child(0));
                bookSaved = Save(d, "2_address_book");
                d.findChild<QPushButton*>(QStringLiteral("cmdCancel"))->click();
            });
        };
        TESTING_ONLY_headerFormShown = [&](TfrmInput& f) {
            QTimer::singleShot(100, &f, [&] {
                formSaved = Save(f, "1_header_form");
                f.findChild<QPushButton*>(QStringLiteral("cmdAddress"))->click();
                f.findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();
            });
        };
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            QMessageBox* box = ShownMessageBox();
            if (!box || questionSaved)
                return;
            QTest::qWait(50);
            questionSaved = Save(*box, "3_posting_question");
            for (QAbstractButton* b : box->buttons()) {
                if (b->text() == QStringLiteral("はい"))
                    b->click();
            }
        });
        poll.start(50);

        QTest::keyClick(form.TextView(), Qt::Key_R, Qt::ControlModifier);
        for (int i = 0; i < 400 && !std::filesystem::exists(out / "REPLIES"); ++i) QTest::qWait(25);
        poll.stop();
        TESTING_ONLY_headerFormShown = nullptr;
        TESTING_ONLY_addressDialogShown = nullptr;

        QVERIFY(formSaved);
        QVERIFY(bookSaved);
        QVERIFY(questionSaved);
        const std::string replies = ReadFile(out / "REPLIES");
        QVERIFY2(replies.ends_with("\tmail\tbn\n"), replies.c_str());
        const std::string name = replies.substr(0, 8);
        const std::string reply = ReadFile(out / (name + ".MSG"));
        QVERIFY(reply.find("Subject: Re: =?ISO-2022-JP?B?") != std::string::npos);
        QVERIFY(reply.find(SjisToJis(S("テスト編集者が追記した行です。"))) != std::string::npos);
        QVERIFY(!std::filesystem::exists(temp.home() / (name + ".TMP")));
        QTest::qWait(30);
        QVERIFY(Save(form, "4_posted"));
        form.close();
    }
};

QTEST_MAIN(ComposeWalkthroughTest)
#include "compose_walkthrough_test.moc"
