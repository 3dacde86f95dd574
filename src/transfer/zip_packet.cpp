// ImportZip / ExportZip: see zip_packet.h.
#include "transfer/zip_packet.h"

#include "transfer/appender.h"
#include "transfer/errors.h"

#include "coding/cp932.h"
#include "store/disk_path.h"
#include "store/inifile.h"
#include "store/mapped_file.h"
#include "store/msgfile.h"
#include "store/packet_files.h"
#include "store/scratch_folder.h"
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
#include <limits>
#include <memory>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace pelorin::transfer {
namespace {

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

}  // namespace

ImportLimits ReadImportLimits(const std::string& configPath) {
    ImportLimits limits;
    std::error_code ec;
    if (configPath.empty() || !std::filesystem::exists(configPath, ec))
        return limits;
    TIniF ini(cp932::FromUtf8(configPath));
    auto number = [&](const char* key, int64_t fallback) {
        const int64_t v = ToInteger64(ini.ReadString("import", key, ""));
        return v > 0 ? v : fallback;
    };
    limits.maxTotalMiB = number("MaxSizeMB", limits.maxTotalMiB);
    limits.maxRatio = number("MaxRatio", limits.maxRatio);
    limits.maxMembers = number("MaxMembers", limits.maxMembers);
    return limits;
}

namespace {

constexpr size_t kBatchMessages = 50;
constexpr size_t kBatchBytes = 8 << 20;
// Below this, an archive is never refused for its ratio: small members compress unevenly.
constexpr int64_t kRatioFloor = int64_t{16} << 20;
// Room kept free on the disk beside what an import itself needs.
constexpr int64_t kSpareBytes = int64_t{64} << 20;

std::string DiskFull(const std::string& path) {
    return path + ": the disk is full (" + std::strerror(ENOSPC) + "); nothing more was imported";
}

std::string WriteFailure(const std::string& path, int error) {
    return error == ENOSPC || error == EDQUOT ? DiskFull(path) : path + ": " + std::strerror(error);
}

int64_t FreeBytes(const std::string& dir) {
    struct statvfs vfs {};
    if (::statvfs(dir.c_str(), &vfs) != 0)
        return std::numeric_limits<int64_t>::max();
    return static_cast<int64_t>(vfs.f_bavail) * static_cast<int64_t>(vfs.f_frsize);
}

// Unpacks the archive's plain members into `scratch` within `limits`; the member names as
// they are on disk.
void Unpack(const std::string& zipPath,
            const std::string& scratch,
            const ImportLimits& limits,
            ImportResult& result) {
    std::error_code ec;
    const auto stored = static_cast<int64_t>(std::filesystem::file_size(zipPath, ec));
    const int64_t maxTotal = limits.maxTotalMiB << 20;
    // The members are unpacked here and then appended to the packet: twice their size.
    int64_t free = FreeBytes(scratch) - kSpareBytes;

    ArchiveReader reader;
    archive_read_support_format_zip(reader.a);
    if (archive_read_open_filename(reader.a, zipPath.c_str(), 65536) != ARCHIVE_OK)
        LocalFailure(zipPath + ": " + archive_error_string(reader.a));
    archive_entry* entry = nullptr;
    int64_t total = 0;
    int64_t members = 0;
    int rc = ARCHIVE_OK;
    std::vector<char> none;
    while ((rc = archive_read_next_header(reader.a, &entry)) == ARCHIVE_OK) {
        if (++members > limits.maxMembers)
            LocalFailure(zipPath + ": more than " + std::to_string(limits.maxMembers) +
                         " members ([import] MaxMembers); nothing imported");
        const char* raw = archive_entry_pathname(entry);
        const std::string name = SafeName(raw);
        if (archive_entry_filetype(entry) == AE_IFDIR)
            continue;
        if (name.empty() || archive_entry_filetype(entry) != AE_IFREG) {
            result.warnings.push_back(std::string("skipped member ") + (raw ? raw : "?") +
                                      ": not a plain file at the top of the archive");
            continue;
        }
        const std::string out = scratch + name;
        const int fd =
            ::open(out.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            const int error = errno;
            if (error == ENOSPC || error == EDQUOT)
                LocalFailure(DiskFull(out));
            result.warnings.push_back("skipped member " + name + ": " + std::strerror(error) +
                                      " (a second member of that name?)");
            continue;
        }
        struct Closer {
            int fd;
            ~Closer() { ::close(fd); }
        } closer{fd};
        const void* buf = nullptr;
        size_t len = 0;
        la_int64_t offset = 0;
        int r = ARCHIVE_OK;
        while ((r = archive_read_data_block(reader.a, &buf, &len, &offset)) == ARCHIVE_OK) {
            total += static_cast<int64_t>(len);
            if (total > maxTotal)
                LocalFailure(zipPath + ": expands to more than " +
                             std::to_string(limits.maxTotalMiB) +
                             " MiB ([import] MaxSizeMB); nothing imported");
            if (total > kRatioFloor && stored > 0 && total / stored > limits.maxRatio)
                LocalFailure(zipPath + ": expands to more than " + std::to_string(limits.maxRatio) +
                             " times its size ([import] MaxRatio), as a zip bomb does; nothing "
                             "imported");
            if (2 * total > free) {
                free = FreeBytes(scratch) - kSpareBytes + total;  // measured again, once
                if (2 * total > free)
                    LocalFailure(DiskFull(out));
            }
            for (size_t done = 0; done < len;) {
                const ssize_t n = ::write(fd, static_cast<const char*>(buf) + done, len - done);
                if (n < 0 && errno == EINTR)
                    continue;
                if (n <= 0)
                    LocalFailure(WriteFailure(out, n < 0 ? errno : ENOSPC));
                done += static_cast<size_t>(n);
            }
        }
        if (r != ARCHIVE_EOF)
            LocalFailure(zipPath + ": " + archive_error_string(reader.a));
    }
    if (rc != ARCHIVE_EOF)
        LocalFailure(zipPath + ": " + archive_error_string(reader.a));
}

// Appends the messages of one unpacked area a batch at a time, so that memory stays bounded
// whatever the size of its file.
class AreaFeed {
public:
    AreaFeed(PacketAppender& appender, std::string name, std::string letters, ImportResult& result)
        : appender_(appender)
        , name_(std::move(name))
        , letters_(std::move(letters))
        , result_(result) {}

    void Add(std::string_view text, int64_t number) {
        ++count_;
        bytes_ += text.size();
        batch_.push_back(Article{std::string(text), number});
        if (batch_.size() >= kBatchMessages || bytes_ >= kBatchBytes)
            Flush();
    }
    void Flush() {
        if (batch_.empty())
            return;
        try {
            AppendResult r = appender_.Append(name_, letters_, batch_);
            result_.messages += r.appended;
            result_.duplicates += r.duplicates;
            if (!r.missingFile.empty())
                result_.warnings.push_back(r.missingFile);
        } catch (const AppendError& e) {
            LocalFailure(e.message);
        }
        batch_.clear();
        bytes_ = 0;
    }
    int64_t Count() const { return count_; }

private:
    PacketAppender& appender_;
    std::string name_;
    std::string letters_;
    ImportResult& result_;
    std::vector<Article> batch_;
    size_t bytes_ = 0;
    int64_t count_ = 0;
};

}  // namespace

ImportResult ImportZip(const std::string& zipPath,
                       const std::string& packetDir,
                       const ImportLimits& limits) {
    ImportResult result;
    PacketAppender appender(packetDir);
    // Folders of imports that were killed go first.
    RemoveStaleScratchFolders(cp932::FromUtf8(appender.Directory()));
    ScratchFolder scratch;
    if (!scratch.Create(appender.Directory()))
        LocalFailure(WriteFailure(appender.Directory(), errno));
    Unpack(zipPath, scratch.Path(), limits, result);

    const std::string sjis = cp932::FromUtf8(scratch.Path());
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
        const std::string msgPath = FindPacketFile(sjis + prefix + ".MSG");
        if (!PacketFileExists(msgPath)) {
            result.warnings.push_back("skipped area " + cp932::ToUtf8(name) + ": its file " +
                                      cp932::ToUtf8(prefix) + ".MSG is not in the archive");
            continue;
        }
        MappedFile msg(msgPath);
        const std::string_view bytes = msg.Bytes();
        AreaFeed feed(appender, name, enc.substr(0, 2), result);
        if (l2 == 'n') {
            ForEachFramedText(bytes, l1, [&](std::string_view text, int64_t end) {
                feed.Add(text, 0);
                msg.DoneBefore(static_cast<size_t>(end));
            });
        } else {
            // Index lines give each message's place: offset first, then the length and the
            // number in the layout's columns.
            MappedFile idx(FindPacketFile(sjis + prefix + ".IDX"));
            const std::string_view lines = idx.Bytes();
            const size_t lengthColumn = l2 == 'c' ? 6 : 4;
            size_t pos = 0;
            std::string_view row;
            while (NextTextLine(lines, pos, row)) {
                const TSList col = SplitTab(row, static_cast<int>(lengthColumn + 2));
                const int64_t offset = ToInteger64(col[0]);
                const int64_t length = ToInteger64(col[lengthColumn]);
                if (row.empty() || offset < 0 || static_cast<uint64_t>(offset) > bytes.size() ||
                    length < 0)
                    continue;
                const size_t at = static_cast<size_t>(offset);
                feed.Add(bytes.substr(
                             at, std::min<size_t>(static_cast<size_t>(length), bytes.size() - at)),
                         ToInteger64(col[lengthColumn + 2]));
            }
        }
        feed.Flush();
        if (feed.Count() == 0 && !bytes.empty())
            result.warnings.push_back("area " + cp932::ToUtf8(name) + ": its file " +
                                      cp932::ToUtf8(prefix) + ".MSG holds no message in the " +
                                      "framing its letters " + f[2] + " name");
        ++result.areas;
        // Its room on the disk goes back at once.
        ::unlink(DiskPath(msgPath).c_str());
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
