// Zip packets: importing merges areas (names in any case), never writes outside the packet,
// and skips what it cannot take; exporting packs the reply packet and replaces a zip whole.
#include "transfer/zip_packet.h"

#include "support/testing.h"
#include "transfer/appender.h"
#include "transfer/errors.h"

#include <archive.h>
#include <archive_entry.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>

namespace pelorin::transfer {
namespace {

using pelorin::testing::ReadFile;
using pelorin::testing::RnewsFile;
using pelorin::testing::TempDir;
using pelorin::testing::WriteFile;

void WriteZip(const std::filesystem::path& zip,
              const std::vector<std::pair<std::string, std::string>>& members) {
    archive* a = archive_write_new();
    archive_write_set_format_zip(a);
    ASSERT_EQ(archive_write_open_filename(a, zip.c_str()), ARCHIVE_OK);
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

std::map<std::string, std::string> ReadZip(const std::filesystem::path& zip) {
    std::map<std::string, std::string> out;
    archive* a = archive_read_new();
    archive_read_support_format_zip(a);
    archive_read_open_filename(a, zip.c_str(), 4096);
    archive_entry* e = nullptr;
    while (archive_read_next_header(a, &e) == ARCHIVE_OK) {
        std::string bytes(static_cast<size_t>(archive_entry_size(e)), '\0');
        archive_read_data(a, bytes.data(), bytes.size());
        out[archive_entry_pathname(e)] = bytes;
    }
    archive_read_free(a);
    return out;
}

std::string Message(int n) {
    return "From: a@example.org\nSubject: s" + std::to_string(n) + "\nMessage-ID: <" +
           std::to_string(n) + "@x>\n\nbody\n";
}

TEST(ZipPacket, ImportMergesAreasAndWritesNothingOutsideThePacket) {
    TempDir dir;
    const auto packet = dir / "packet";
    PacketAppender(packet.string()).Append("fj.test", "un", {Article{Message(1), 0}});
    WriteZip(dir / "in.zip",
             {{"areas", "0000001\tfj.test\tun\n0000002\tmail\tbn\n0000003\tbox\tmn\n"},
              {"0000001.msg", RnewsFile({Message(1), Message(2)})},
              {"0000002.MSG", pelorin::testing::BinaryFile({Message(3)})},
              {"../evil", "x"},
              {"sub/evil", "x"}});
    ImportResult r = ImportZip((dir / "in.zip").string(), packet.string());
    EXPECT_EQ(r.messages, 2);
    EXPECT_EQ(r.duplicates, 1);
    EXPECT_EQ(r.areas, 2);
    EXPECT_EQ(r.warnings.size(), 3u);  // two members and the "mn" area
    EXPECT_FALSE(std::filesystem::exists(dir / "evil"));
    EXPECT_FALSE(std::filesystem::exists(packet / "evil"));
    EXPECT_EQ(ReadFile(packet / "AREAS"), "00000001\tfj.test\tun\n00000002\tmail\tbn\n");
    EXPECT_EQ(PacketAppender(packet.string()).KnownIds("fj.test").size(), 2u);
    // The private unpacking folder is gone.
    int entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(packet)) ++entries;
    EXPECT_EQ(entries, 5);  // AREAS, two .MSG files, their counts (GRPSTAT.PBS) and the lock
    EXPECT_TRUE(std::filesystem::exists(packet / "GRPSTAT.PBS"));
}

TEST(ZipPacket, AnAreaPrefixWithAFolderReadsNothingOutsideTheArchive) {
    TempDir dir;
    const auto packet = dir / "packet";
    WriteFile(dir / "secret.MSG", RnewsFile({Message(7)}));
    WriteZip(dir / "in.zip", {{"AREAS", "../../secret\tleak\tun\n0000001\tfj.test\tun\n"},
                              {"0000001.MSG", RnewsFile({Message(1)})}});
    ImportResult r = ImportZip((dir / "in.zip").string(), packet.string());
    EXPECT_EQ(r.areas, 1);
    EXPECT_EQ(r.messages, 1);
    ASSERT_EQ(r.warnings.size(), 1u);
    EXPECT_NE(r.warnings[0].find("leak"), std::string::npos);
    EXPECT_EQ(ReadFile(packet / "AREAS"), "00000001\tfj.test\tun\n");
}

TEST(ZipPacket, ABrokenArchiveChangesNothing) {
    TempDir dir;
    WriteFile(dir / "bad.zip", "PK\x03\x04 not really");
    try {
        ImportZip((dir / "bad.zip").string(), (dir / "packet").string());
        FAIL() << "no error";
    } catch (const TransferError& e) {
        EXPECT_EQ(e.kind(), Failure::LocalFile);
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "packet" / "AREAS"));
}

// A zip whose one area member is `size` bytes of `fill`, written a block at a time.
void WriteBigZip(const std::filesystem::path& zip, int64_t size, char fill, int members = 1) {
    archive* a = archive_write_new();
    archive_write_set_format_zip(a);
    ASSERT_EQ(archive_write_open_filename(a, zip.c_str()), ARCHIVE_OK);
    for (int m = 0; m < members; ++m) {
        const std::string name = m == 0 ? "AREAS" : "0000001.MSG." + std::to_string(m);
        archive_entry* e = archive_entry_new();
        archive_entry_set_pathname(e, name.c_str());
        archive_entry_set_filetype(e, AE_IFREG);
        archive_entry_set_perm(e, 0644);
        archive_entry_set_size(e, 0);
        archive_write_header(a, e);
        archive_entry_free(e);
    }
    archive_entry* e = archive_entry_new();
    archive_entry_set_pathname(e, "0000001.MSG");
    archive_entry_set_filetype(e, AE_IFREG);
    archive_entry_set_perm(e, 0644);
    archive_entry_set_size(e, size);
    archive_write_header(a, e);
    std::string block(1 << 20, fill);
    uint32_t x = 12345;
    for (int64_t done = 0; done < size; done += static_cast<int64_t>(block.size())) {
        if (fill == '?')  // bytes that do not compress
            for (char& c : block) c = static_cast<char>((x = x * 1103515245 + 12345) >> 24);
        archive_write_data(a, block.data(),
                           static_cast<size_t>(std::min<int64_t>(size - done, block.size())));
    }
    archive_entry_free(e);
    archive_write_close(a);
    archive_write_free(a);
}

TEST(ZipPacket, BombsAreRefusedWithinTheirLimitsAndLeaveThePacketAsItWas) {
    TempDir dir;
    const auto packet = dir / "packet";
    PacketAppender(packet.string()).Append("fj.test", "un", {Article{Message(1), 0}});
    const std::string before = ReadFile(packet / "00000001.MSG");
    struct Case {
        const char* what;
        int64_t size;
        char fill;
        int members;
        ImportLimits limits;
        const char* key;
    };
    const Case cases[] = {
        {"zeros, a thousand times their packed size", int64_t{64} << 20, '\0', 1, {}, "MaxRatio"},
        {"more than MaxSizeMB", int64_t{3} << 20, '?', 1, {2, 100, 100}, "MaxSizeMB"},
        {"more members than MaxMembers", 10, 'x', 5, {100, 100, 4}, "MaxMembers"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteBigZip(dir / "bomb.zip", c.size, c.fill, c.members);
        try {
            ImportZip((dir / "bomb.zip").string(), packet.string(), c.limits);
            ADD_FAILURE() << "imported";
        } catch (const TransferError& e) {
            EXPECT_EQ(e.kind(), Failure::LocalFile);
            EXPECT_NE(std::string(e.what()).find(c.key), std::string::npos) << e.what();
        }
        EXPECT_EQ(ReadFile(packet / "00000001.MSG"), before);
        for (const auto& entry : std::filesystem::directory_iterator(packet))
            EXPECT_EQ(entry.path().filename().string().find(".pelorin-import-"), std::string::npos);
    }
}

TEST(ZipPacket, LimitsComeFromTheImportSectionOfTheSettings) {
    TempDir dir;
    WriteFile(dir / "transfer.INI", "[import]\nMaxSizeMB=5\nMaxRatio=junk\n");
    const ImportLimits l = ReadImportLimits((dir / "transfer.INI").string());
    EXPECT_EQ(l.maxTotalMiB, 5);
    EXPECT_EQ(l.maxRatio, ImportLimits{}.maxRatio);
    EXPECT_EQ(ReadImportLimits((dir / "none.INI").string()).maxMembers, ImportLimits{}.maxMembers);
}

TEST(ZipPacket, AFullTextFollowsItsSummaryAndAnArchiveImportedTwiceAddsNothing) {
    TempDir dir;
    const auto packet = dir / "packet";
    const std::string full = Message(1) + "second line\nthird line\n";
    const std::string summary = Message(1);
    // An index line of one message, the only one of its rnews file.
    auto index = [](const std::string& text) {
        const size_t offset = ("#! rnews " + std::to_string(text.size()) + "\n").size();
        return std::to_string(offset) + "\ts1\ta@example.org\t\t<1@x>\t\t" +
               std::to_string(text.size()) + "\t5\t1\n";
    };
    WriteZip(dir / "summary.zip", {{"AREAS", "0000001\tfj.test\tuc\n"},
                                   {"0000001.MSG", RnewsFile({summary})},
                                   {"0000001.IDX", index(summary)}});
    WriteZip(dir / "full.zip", {{"AREAS", "0000001\tfj.test\tuc\n"},
                                {"0000001.MSG", RnewsFile({full})},
                                {"0000001.IDX", index(full)}});
    EXPECT_EQ(ImportZip((dir / "summary.zip").string(), packet.string()).messages, 1);
    EXPECT_EQ(ImportZip((dir / "full.zip").string(), packet.string()).messages, 1);
    ImportResult again = ImportZip((dir / "full.zip").string(), packet.string());
    EXPECT_EQ(again.messages, 0);
    EXPECT_EQ(again.duplicates, 1);
    const std::string area = ReadFile(packet / "00000001.MSG");
    EXPECT_NE(area.find(summary + "#! rnews"), std::string::npos);  // the summary stays first
    EXPECT_NE(area.find(full), std::string::npos);
}

TEST(ZipPacket, ExportPacksRepliesCommandsAndTheirFiles) {
    TempDir dir;
    const auto out = dir / "outbound";
    std::filesystem::create_directories(out);
    WriteFile(out / "REPLIES", "PBM00001\tmail\tbn\nPBN00002\tnews\tBn\n");
    WriteFile(out / "PBM00001.MSG", "mail");
    WriteFile(out / "pbn00002.msg", "news");
    WriteFile(out / "COMMANDS", "SENDME\tfj.test\t5\n");
    WriteFile(out / "OTHER.TXT", "not packed");
    WriteFile(dir / "out.zip", "old");
    EXPECT_EQ(ExportZip(out.string(), (dir / "out.zip").string()), 4);
    auto members = ReadZip(dir / "out.zip");
    EXPECT_EQ(members.size(), 4u);
    EXPECT_EQ(members["pbn00002.msg"], "news");
    EXPECT_EQ(members["COMMANDS"], "SENDME\tfj.test\t5\n");

    // A REPLIES line whose file is missing: nothing is packed, the old zip stays.
    WriteFile(out / "REPLIES", "PBM00009\tmail\tbn\n");
    EXPECT_THROW(ExportZip(out.string(), (dir / "out.zip").string()), TransferError);
    EXPECT_EQ(ReadZip(dir / "out.zip").size(), 4u);
}

}  // namespace
}  // namespace pelorin::transfer
