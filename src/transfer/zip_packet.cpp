// ImportZip / ExportZip: see zip_packet.h.
#include "transfer/zip_packet.h"

#include "transfer/appender.h"
#include "transfer/errors.h"

#include "coding/cp932.h"
#include "store/msgfile.h"
#include "store/packet_files.h"
#include "store/strutil.h"
#include "store/textfile.h"

#include <archive.h>
#include <archive_entry.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace pelorin::transfer {
namespace {

constexpr int64_t kMaxMember = int64_t{2} << 30;
constexpr int64_t kMaxTotal = int64_t{8} << 30;

[[noreturn]] void LocalFailure(const std::string& message) {
    throw TransferError(Failure::LocalFile, message);
}

struct ArchiveReader {
    archive* a = archive_read_new();
    ~ArchiveReader() { archive_read_free(a); }
};

// A member name as a plain file name, or "" when it must not be unpacked.
std::string SafeName(const char* path) {
    if (!path)
        return {};
    std::string name = path;
    if (name.empty() || name.find('/') != std::string::npos ||
        name.find('\\') != std::string::npos || name == "." || name == "..")
        return {};
    for (unsigned char c : name)
        if (c < 0x20 || c == 0x7F)
            return {};
    return name;
}

// Removes the private folder on every way out.
struct ScratchDir {
    std::string path;
    ~ScratchDir() {
        std::error_code ec;
        if (!path.empty())
            std::filesystem::remove_all(path, ec);
    }
};

}  // namespace

ImportResult ImportZip(const std::string& zipPath, const std::string& packetDir) {
    ImportResult result;
    PacketAppender appender(packetDir);
    ScratchDir scratch;
    std::string templ = appender.Directory() + ".pelorin-import-XXXXXX";
    if (!::mkdtemp(templ.data()))
        LocalFailure(appender.Directory() + ": " + std::strerror(errno));
    scratch.path = templ + "/";

    ArchiveReader reader;
    archive_read_support_format_zip(reader.a);
    if (archive_read_open_filename(reader.a, zipPath.c_str(), 65536) != ARCHIVE_OK)
        LocalFailure(zipPath + ": " + archive_error_string(reader.a));
    archive_entry* entry = nullptr;
    int64_t total = 0;
    int rc = ARCHIVE_OK;
    while ((rc = archive_read_next_header(reader.a, &entry)) == ARCHIVE_OK) {
        const char* raw = archive_entry_pathname(entry);
        const std::string name = SafeName(raw);
        if (archive_entry_filetype(entry) == AE_IFDIR)
            continue;
        if (name.empty() || archive_entry_filetype(entry) != AE_IFREG) {
            result.warnings.push_back(std::string("skipped member ") + (raw ? raw : "?") +
                                      ": not a plain file at the top of the archive");
            continue;
        }
        const std::string out = scratch.path + name;
        int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            result.warnings.push_back("skipped member " + name + ": " + std::strerror(errno) +
                                      " (a second member of that name?)");
            continue;
        }
        int64_t size = 0;
        const void* buf = nullptr;
        size_t len = 0;
        la_int64_t offset = 0;
        int r = ARCHIVE_OK;
        while ((r = archive_read_data_block(reader.a, &buf, &len, &offset)) == ARCHIVE_OK) {
            size += static_cast<int64_t>(len);
            total += static_cast<int64_t>(len);
            if (size > kMaxMember || total > kMaxTotal) {
                ::close(fd);
                LocalFailure(zipPath + ": member " + name + " is too large; nothing imported");
            }
            if (::write(fd, buf, len) != static_cast<ssize_t>(len)) {
                const int error = errno;
                ::close(fd);
                LocalFailure(out + ": " + std::strerror(error));
            }
        }
        ::close(fd);
        if (r != ARCHIVE_EOF)
            LocalFailure(zipPath + ": " + archive_error_string(reader.a));
    }
    if (rc != ARCHIVE_EOF)
        LocalFailure(zipPath + ": " + archive_error_string(reader.a));

    const std::string sjis = cp932::FromUtf8(scratch.path);
    const std::string areas = FindPacketFile(sjis + "AREAS");
    if (!PacketFileExists(areas))
        LocalFailure(zipPath + ": the archive holds no AREAS file");
    for (const std::string& line : SplitTextLines(ReadFileBytes(areas))) {
        TSList f = SplitTab(line, 3);
        if (Trim(f[0]).empty())
            continue;
        const std::string& prefix = f[0];
        const std::string& name = f[1];
        if (prefix.find('/') != std::string::npos) {
            // Its files would be read from outside the archive's own.
            result.warnings.push_back("skipped area " + cp932::ToUtf8(name) + ": its prefix " +
                                      cp932::ToUtf8(prefix) + " names a folder");
            continue;
        }
        std::string enc = f[2];
        while (enc.size() < 2) enc += ' ';
        const char l1 = enc[0];
        const char l2 = enc[1];
        if ((l1 != 'u' && l1 != 'b' && l1 != 'B') || (l2 != 'n' && l2 != 'c' && l2 != 'C')) {
            result.warnings.push_back("skipped area " + cp932::ToUtf8(name) + ": letters " + f[2] +
                                      " are not appended by this program");
            continue;
        }
        const SharedPath msgPath(FindPacketFile(sjis + prefix + ".MSG"));
        MessageList messages;
        if (l2 == 'n') {
            ParseContext ctx{msgPath, ""};
            if (l1 == 'u')
                ParseRnewsFile(ctx, messages, {});
            else
                ParseBinaryFile(ctx, messages, {});
        } else {
            ParseIndexFile(FindPacketFile(sjis + prefix + ".IDX"), l2, msgPath, messages, {});
        }
        const std::string bytes = ReadFileBytes(msgPath);
        std::vector<Article> articles;
        for (const auto& m : messages) {
            if (m->offset < 0 || static_cast<uint64_t>(m->offset) > bytes.size())
                continue;
            Article a;
            a.text = bytes.substr(static_cast<size_t>(m->offset),
                                  static_cast<size_t>(std::max<int64_t>(m->length, 0)));
            a.number = m->number;
            articles.push_back(std::move(a));
        }
        try {
            AppendResult r = appender.Append(name, enc.substr(0, 2), articles);
            result.messages += r.appended;
            result.duplicates += r.duplicates;
            ++result.areas;
        } catch (const AppendError& e) {
            LocalFailure(e.message);
        }
    }
    return result;
}

int ExportZip(const std::string& outboundDir, const std::string& zipPath) {
    std::string dir = outboundDir.empty() ? std::string(".") : outboundDir;
    if (dir.back() != '/')
        dir += '/';
    const std::string sjis = cp932::FromUtf8(dir);
    std::vector<std::string> files;  // on-disk paths
    const std::string replies = FindPacketFile(sjis + "REPLIES");
    if (!PacketFileExists(replies))
        LocalFailure(dir + ": no REPLIES file: nothing to send");
    files.push_back(cp932::ToUtf8(replies));
    for (const std::string& line : SplitTextLines(ReadFileBytes(replies))) {
        std::string prefix = SplitTab(line, 1)[0];
        if (Trim(prefix).empty())
            continue;
        std::string msg = FindPacketFile(sjis + prefix + ".MSG");
        if (!PacketFileExists(msg) || prefix.find('/') != std::string::npos)
            LocalFailure(dir + ": REPLIES names " + cp932::ToUtf8(prefix) +
                         ", but its message file is missing");
        files.push_back(cp932::ToUtf8(msg));
    }
    if (std::string commands = FindPacketFile(sjis + "COMMANDS"); PacketFileExists(commands))
        files.push_back(cp932::ToUtf8(commands));

    std::string temp = zipPath + ".pelorin-XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0)
        LocalFailure(zipPath + ": " + std::strerror(errno));
    archive* a = archive_write_new();
    archive_write_set_format_zip(a);
    bool ok = archive_write_open_fd(a, fd) == ARCHIVE_OK;
    std::string why;
    for (size_t i = 0; ok && i < files.size(); ++i) {
        const std::string bytes = ReadFileBytes(cp932::FromUtf8(files[i]));
        archive_entry* e = archive_entry_new();
        archive_entry_set_pathname(e, std::filesystem::path(files[i]).filename().c_str());
        archive_entry_set_filetype(e, AE_IFREG);
        archive_entry_set_perm(e, 0644);
        archive_entry_set_size(e, static_cast<la_int64_t>(bytes.size()));
        ok = archive_write_header(a, e) == ARCHIVE_OK &&
             archive_write_data(a, bytes.data(), bytes.size()) ==
                 static_cast<la_ssize_t>(bytes.size());
        archive_entry_free(e);
    }
    if (!ok)
        why = archive_error_string(a) ? archive_error_string(a) : "write failed";
    ok = archive_write_close(a) == ARCHIVE_OK && ok;
    archive_write_free(a);
    ok = ::fsync(fd) == 0 && ok;
    ::close(fd);
    if (!ok || std::rename(temp.c_str(), zipPath.c_str()) != 0) {
        const int error = errno;
        ::unlink(temp.c_str());
        LocalFailure(zipPath + ": " + (why.empty() ? std::strerror(error) : why));
    }
    return static_cast<int>(files.size());
}

}  // namespace pelorin::transfer
