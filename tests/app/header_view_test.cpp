// The header display (ヘッダーの表示) on today's mail, and copying a whole message: bodies in
// single-byte and East Asian charsets, HTML-only and multipart mail read with headers on
// exactly as with headers off, below the header block with its encoded words decoded (every
// character, those CP932 lacks included); 全体をコピー puts on the clipboard what the view shows.
#include "app_testing.h"

#include "view/msglistbox.h"
#include "view/textview.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QTabBar>
#include <QTest>

#include <iconv.h>

using namespace pelorin;
using namespace pelorin::testing;
namespace fs = std::filesystem;

namespace {

// `utf8` in `charset`, through iconv.
std::string Encode(const std::string& utf8, const char* charset) {
    iconv_t cd = iconv_open(charset, "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return "<no " + std::string(charset) + ">";
    std::string in = utf8, out(utf8.size() * 4 + 16, '\0');
    char* ip = in.data();
    char* op = out.data();
    size_t il = in.size(), ol = out.size();
    const size_t r = iconv(cd, &ip, &il, &op, &ol);
    iconv_close(cd);
    if (r == static_cast<size_t>(-1))
        return "<not in " + std::string(charset) + ">";
    out.resize(out.size() - ol);
    return out;
}

struct Mail {
    std::string head;  // header lines after From and Message-ID, each ending in LF
    std::string body;
    std::string expected;  // UTF-8 text the view's body must hold
};

std::string Packet(const fs::path& dir, const std::vector<Mail>& mails) {
    fs::create_directories(dir);
    std::string file;
    for (size_t i = 0; i < mails.size(); ++i) {
        const std::string m = "From: a@example.jp\nMessage-ID: <" + std::to_string(i) + "@x>\n" +
                              mails[i].head + "\n" + mails[i].body;
        file += "#! rnews " + std::to_string(m.size()) + "\n" + m;
    }
    WriteFile(dir / "AREAS", "0000001\tfj.test\tun\n");
    WriteFile(dir / "0000001.MSG", file);
    return (dir / "AREAS").string();
}

Mail Text(const char* charset, const std::string& utf8) {
    return {"Subject: " + std::string(charset) +
                "\nMIME-Version: 1.0\nContent-Type: text/plain; charset=" + charset +
                "\nContent-Transfer-Encoding: 8bit\n",
            Encode(utf8, charset) + "\n", utf8};
}

// The view's lines in UTF-8.
TSList Utf8Lines(TMainForm& form) {
    TSList lines = form.TextView()->Lines();
    if (form.TextView()->LineCoding() == textview::LineCoding::ShiftJis) {
        for (std::string& line : lines) line = U(line);
    }
    return lines;
}

void Show(TMainForm& form, int row) {
    form.MessageList()->SetItemIndex(row);
    form.DisplayMessage();
}

bool Holds(const TSList& lines, const std::string& text) {
    for (const std::string& line : lines) {
        if (line.find(text) != std::string::npos)
            return true;
    }
    return false;
}

}  // namespace

class HeaderViewTest : public QObject {
    Q_OBJECT

private slots:
    void headersOnReadTheBodyAsHeadersOff() {
        TempDir temp;
        std::vector<Mail> mails = {
            Text("ISO-8859-1", "Grüße aus Köln"),
            Text("KOI8-R", "Привет, мир"),
            Text("ISO-8859-7", "Καλημέρα κόσμε"),
            Text("windows-1252", "“smart” quotes cost 5 €"),
            Text("EUC-KR", "안녕하세요 세계"),
            Text("GB2312", "简体中文测试"),
            Text("Big5", "繁體中文測試"),
            {"Subject: html\nMIME-Version: 1.0\nContent-Type: text/html; charset=UTF-8\n",
             "<html><body><p>Hello <b>world</b></p><script>x()</script></body></html>\n",
             "Hello world"},
            {"Subject: mixed\nMIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=\"B\"\n",
             "--B\nContent-Type: text/plain; charset=UTF-8\n\nfirst part ünï\n--B\n"
             "Content-Type: application/octet-stream; name=\"f.bin\"\n"
             "Content-Transfer-Encoding: base64\n\nAAEC\n--B--\n",
             "first part ünï"},
        };
        const std::string areas = Packet(temp / "p", mails);
        WriteSettings(temp, "");
        FakeDialogs dialogs;
        TMainForm form({Q(areas)}, &dialogs);
        form.AreaTree()->setCurrentItem(form.AreaTree()->PacketNode(0)->child(0));
        form.SelectArea('A');
        for (int row = 0; row < static_cast<int>(mails.size()); ++row) {
            const std::string name = "row " + std::to_string(row);
            form.Commands().Check("K7", false);
            Show(form, row);
            const int tabs = form.MimeTab()->count();
            const TSList plain = Utf8Lines(form);
            QVERIFY2(Holds(plain, mails[static_cast<size_t>(row)].expected), name.c_str());

            form.Commands().Check("K7", true);
            Show(form, row);
            QCOMPARE(form.MimeTab()->count(), tabs);
            const TSList shown = Utf8Lines(form);
            QCOMPARE(shown.front(), std::string("From: a@example.jp"));
            const auto blank = std::find(shown.begin(), shown.end(), std::string());
            QVERIFY2(blank != shown.end(), name.c_str());
            QVERIFY2(TSList(blank, shown.end()) == plain, name.c_str());
            QVERIFY2(!Holds(shown, "--B"), name.c_str());
            QVERIFY2(!Holds(shown, "<p>"), name.c_str());
        }
    }

    void encodedWordsAreDecodedAndCopiedAsShown() {
        TempDir temp;
        const std::string hangul = Encode("김철수", "EUC-KR");
        std::string b64;
        {
            static const char* k =
                "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
            size_t i = 0;
            for (; i + 2 < hangul.size(); i += 3) {
                const unsigned v = (static_cast<unsigned char>(hangul[i]) << 16) |
                                   (static_cast<unsigned char>(hangul[i + 1]) << 8) |
                                   static_cast<unsigned char>(hangul[i + 2]);
                for (int s = 18; s >= 0; s -= 6) b64 += k[(v >> s) & 63];
            }
            QCOMPARE(i, hangul.size());  // 6 bytes: no padding
        }
        const std::vector<Mail> mails = {
            {"Subject: =?UTF-8?Q?=E6=97=A5=E6=9C=AC=E8=AA=9E_=E3=81=A8?=\n"
             " =?UTF-8?Q?_=C3=9Cn?=\n =?ISO-8859-1?Q?=EFc=F6d=E9?=\n"
             "To: =?EUC-KR?B?" +
                 b64 +
                 "?= <kim@example.kr>\n"
                 "X-Note: plain words\n folded here\n"
                 "MIME-Version: 1.0\nContent-Type: text/plain; charset=UTF-8\n",
             "body ünï 안녕\n", "body ünï 안녕"},
        };
        const std::string areas = Packet(temp / "p", mails);
        WriteSettings(temp, "[Display]\r\nShowHeaders=Y\r\n");
        FakeDialogs dialogs;
        TMainForm form({Q(areas)}, &dialogs);
        QVERIFY(form.Commands().Checked("K7"));
        form.AreaTree()->setCurrentItem(form.AreaTree()->PacketNode(0)->child(0));
        form.SelectArea('A');
        Show(form, 0);
        const TSList shown = Utf8Lines(form);
        const TSList expected = {"From: a@example.jp",
                                 "Message-ID: <0@x>",
                                 "Subject: 日本語 と Ünïcödé",
                                 "To: 김철수 <kim@example.kr>",
                                 "X-Note: plain words folded here",
                                 "MIME-Version: 1.0",
                                 "Content-Type: text/plain; charset=UTF-8",
                                 "",
                                 "body ünï 안녕"};
        QCOMPARE(shown, expected);

        // 全体をコピー: the clipboard gets the text the view shows.
        QGuiApplication::clipboard()->clear();
        form.EditCopy();
        std::string text;
        for (const std::string& line : expected) text += line + "\r\n";
        QCOMPARE(QGuiApplication::clipboard()->text().toStdString(), text);
    }
};

QTEST_MAIN(HeaderViewTest)
#include "header_view_test.moc"
