// The append journal: see append_journal.h.
#include "store/append_journal.h"

#include "store/disk_path.h"
#include "store/packet_files.h"
#include "store/replace_file.h"
#include "store/strutil.h"
#include "store/textfile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pelorin {

std::string AppendJournalLine(std::string_view prefix, AppendedFile msg, AppendedFile idx) {
    // One line: prefix, then for the message and the index file its old size and its inode.
    return std::string(prefix) + "\t" + std::to_string(msg.oldSize) + "\t" +
           std::to_string(msg.inode) + "\t" + std::to_string(idx.oldSize) + "\t" +
           std::to_string(idx.inode) + "\n";
}

bool UndoCutShortAppend(std::string_view directory, std::string* error) {
    std::string dir(directory);
    if (!dir.empty() && dir.back() != '/')
        dir += '/';
    const std::string journal = dir + std::string(kAppendJournalName);
    const std::string diskJournal = DiskPath(journal).string();
    struct stat js {};
    if (::lstat(diskJournal.c_str(), &js) != 0)
        return true;
    const std::string text = S_ISREG(js.st_mode) ? ReadFileBytes(journal) : std::string();
    const TSList lines = SplitTextLines(text);
    if (!lines.empty()) {
        const TSList f = SplitTab(lines.front(), 4);
        const std::string& prefix = f[0];
        const int64_t sizes[2] = {ToInteger64(f[1]), ToInteger64(f[3])};
        const uint64_t inodes[2] = {static_cast<uint64_t>(ToInteger64(f[2])),
                                    static_cast<uint64_t>(ToInteger64(f[4]))};
        const char* exts[2] = {".MSG", ".IDX"};
        // A prefix naming another folder is not one of ours.
        const bool sound = !prefix.empty() && prefix.find('/') == std::string::npos &&
                           prefix.find('\\') == std::string::npos;
        for (int i = 0; sound && i < 2; ++i) {
            const std::string path = DiskPath(FindPacketFile(dir + prefix + exts[i])).string();
            if (sizes[i] < -1)
                continue;
            const int fd = ::open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
            if (fd < 0)
                continue;  // missing, a link or not ours to write: nothing we appended to
            struct stat st {};
            bool ok = true;
            if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
                static_cast<uint64_t>(st.st_ino) == inodes[i]) {
                if (sizes[i] < 0)
                    ok = ::unlink(path.c_str()) == 0 || errno == ENOENT;
                else if (st.st_size > sizes[i])
                    ok = ::ftruncate(fd, sizes[i]) == 0 && ::fsync(fd) == 0;
            }
            const int saved = errno;
            ::close(fd);
            if (!ok) {
                if (error)
                    *error = path + ": cannot undo an interrupted append: " + std::strerror(saved);
                return false;
            }
        }
    }
    // The files are cut and flushed before the journal that asks for it goes.
    (void)SyncDirectory(DiskPath(dir).string());
    ::unlink(diskJournal.c_str());
    (void)SyncDirectory(DiskPath(dir).string());
    return true;
}

}  // namespace pelorin
