// Zip packets in the open dialog: one is unpacked into the folder the user chooses and opens
// there (a member that would land outside is skipped and listed); a packet open in the window
// is not unpacked into; a zip that cannot be read is named with the reason.
#include "app_testing.h"

#include "coding/cp932.h"

#include <QTest>

#include <archive.h>
#include <archive_entry.h>

using namespace pelorin;
using namespace pelorin::testing;

namespace {

void WriteZip(const std::filesystem::path& zip,
              const std::vector<std::pair<std::string, std::string>>& members) {
    archive* a = archive_write_new();
    archive_write_set_format_zip(a);
    archive_write_open_filename(a, zip.c_str());
    for (const auto& [name, bytes] : members) {
        archive_entry* e = archive_entry_new();
        archive_entry_set_pathname(e, name.c_str());
        archive_entry_set_filetype(e, AE_IFREG);
        archive_entry_set_perm(e, 0644);
        archive_entry_set_size(e, static_cast<la_int64_t>(bytes.size()));
        archive_write_header(a, e);
        archive_write_data(a, bytes.data(), bytes.size());
        archive_entry_free(e);
    }
    archive_write_close(a);
    archive_write_free(a);
}

}  // namespace

class ZipOpenTest : public QObject {
    Q_OBJECT

private slots:
    void aZipPacketIsUnpackedAndOpened() {
        TempDir temp;
        WriteZip(temp / "news.ZIP",
                 {{"areas", "0000001\tfj.test\tun\n"},
                  {"0000001.msg", RnewsFile({"Subject: one\nMessage-ID: <1@x>\n\nbody\n",
                                             "Subject: two\nMessage-ID: <2@x>\n\nbody\n"})},
                  {"../outside", "x"}});
        FakeDialogs dialogs;
        TMainForm form({}, &dialogs);
        std::string asked;
        form.chooseUnpackFolder = [&](const std::string& zip) {
            asked = zip;
            return (temp / "unpacked").string();
        };
        form.OpenChosenFile((temp / "news.ZIP").string());
        QCOMPARE(asked, (temp / "news.ZIP").string());
        QCOMPARE(form.AreaTree()->PacketCount(), 1);
        QTreeWidgetItem* packet = form.AreaTree()->PacketNode(0);
        QCOMPARE(packet->childCount(), 1);
        QCOMPARE(TAreaTree::AreaOf(packet->child(0))->areaName, std::string("fj.test"));
        QVERIFY(!std::filesystem::exists(temp / "outside"));
        QCOMPARE(dialogs.shown.size(), size_t{1});
        QVERIFY(dialogs.shown[0].text.find("../outside") != std::string::npos);
        QCOMPARE(form.Settings().ReadString("Files", "Last SOUP Packet", ""),
                 (temp / "unpacked").string() + "/AREAS");

        // Into the packet that is open now: refused, nothing changes.
        const std::string before = ReadFile(temp / "unpacked" / "00000001.MSG");
        form.OpenChosenFile((temp / "news.ZIP").string());
        QCOMPARE(dialogs.shown.size(), size_t{2});
        QVERIFY(dialogs.shown[1].text.find(S("閉じてから展開してください")) != std::string::npos);
        QCOMPARE(ReadFile(temp / "unpacked" / "00000001.MSG"), before);

        // Cancelling the folder choice does nothing.
        form.chooseUnpackFolder = [](const std::string&) { return std::string(); };
        form.OpenChosenFile((temp / "news.ZIP").string());
        QCOMPARE(dialogs.shown.size(), size_t{2});
        form.close();
    }

    void aBrokenZipIsNamed() {
        TempDir temp;
        WriteFile(temp / "bad.zip", "not a zip");
        FakeDialogs dialogs;
        TMainForm form({}, &dialogs);
        form.chooseUnpackFolder = [&](const std::string&) { return (temp / "p").string(); };
        form.OpenChosenFile((temp / "bad.zip").string());
        QCOMPARE(form.AreaTree()->PacketCount(), 0);
        QCOMPARE(dialogs.shown.size(), size_t{1});
        QVERIFY(dialogs.shown[0].text.find(S("パケットを展開できません。")) == 0);
        QCOMPARE(dialogs.shown[0].icon, MsgIcon::Error);
        form.close();
    }
};

QTEST_MAIN(ZipOpenTest)
#include "zip_open_test.moc"
