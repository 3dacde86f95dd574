// PacketAppender: see appender.h.
#include "transfer/appender.h"

#include "coding/cp932.h"
#include "store/append_journal.h"
#include "store/grp.h"
#include "store/inifile.h"
#include "store/msgfile.h"
#include "store/packet_files.h"
#include "store/packet_lock.h"
#include "store/replace_file.h"
#include "store/strutil.h"
#include "store/textfile.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace pelorin::transfer {
namespace {

std::string Reason(int error) {
    return std::strerror(error);
}

// Column text for an index line: TABs, CRs and LFs become blanks.
std::string Column(std::string value) {
    for (char& c : value)
        if (c == '\t' || c == '\r' || c == '\n')
            c = ' ';
    return value;
}

int LineCount(std::string_view text) {
    int n = 0;
    for (char c : text) n += c == '\n';
    return n;
}

// An append-only file: opened without following a symbolic link, so that a link planted in a
// packet never makes us write elsewhere.
class AppendFile {
public:
    ~AppendFile() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    void Open(const std::string& path) {
        path_ = path;
        fd_ = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd_ < 0)
            throw AppendError{path + ": " + Reason(errno)};
        struct stat st {};
        if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode))
            throw AppendError{path + ": not a regular file"};
        size_ = st.st_size;
        inode_ = st.st_ino;
    }
    int64_t Size() const { return size_; }
    uint64_t Inode() const { return inode_; }
    // Writes and flushes; on failure cuts the file back and throws.
    void WriteAll(std::string_view bytes) {
        size_t done = 0;
        while (done < bytes.size()) {
            ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                Fail(errno);
            done += static_cast<size_t>(n);
        }
        if (::fsync(fd_) != 0)
            Fail(errno);
    }
    void Undo() {
        if (fd_ >= 0)
            (void)::ftruncate(fd_, size_);
    }

private:
    [[noreturn]] void Fail(int error) {
        Undo();
        throw AppendError{path_ + ": " + Reason(error)};
    }
    int fd_ = -1;
    int64_t size_ = 0;
    uint64_t inode_ = 0;
    std::string path_;
};

void Step(const char* name) {
    if (appendStepHook)
        appendStepHook(name);
}

std::string DiskName(const std::string& sjisPath) {
    return cp932::ToUtf8(sjisPath);
}

// What tells two messages apart: the SHA-256 of their bytes, raw.
std::string Digest(std::string_view bytes) {
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), md, &size, EVP_sha256(), nullptr) != 1)
        throw AppendError{"SHA-256 is not available"};
    return std::string(reinterpret_cast<const char*>(md), size);
}

}  // namespace

std::string NormalizeLineEnds(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 1);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        out += text[i];
    }
    if (!out.empty() && out.back() != '\n')
        out += '\n';
    return out;
}

std::vector<std::string> HeaderLines(std::string_view text) {
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t nl = text.find('\n', pos);
        std::string_view line = text.substr(pos, nl == std::string_view::npos ? nl : nl - pos);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty())
            break;
        lines.emplace_back(line);
        if (nl == std::string_view::npos)
            break;
        pos = nl + 1;
    }
    return lines;
}

PacketAppender::PacketAppender(std::string packetDir)
    : dir_(std::move(packetDir)) {
    if (dir_.empty())
        dir_ = ".";
    if (dir_.back() != '/')
        dir_ += '/';
    std::error_code ec;
    std::filesystem::create_directories(dir_, ec);
    sjis_ = cp932::FromUtf8(dir_);
}

void PacketAppender::RecoverJournal() {
    if (std::string error; !UndoCutShortAppend(sjis_, &error))
        throw AppendError{error};
}

bool PacketAppender::FindArea(std::string_view area, AreaLine& found) {
    std::string text = ReadFileBytes(FindPacketFile(sjis_ + "AREAS"));
    for (const std::string& line : SplitTextLines(text)) {
        TSList f = SplitTab(line, 3);
        if (Trim(f[0]).empty() || f[1] != area)
            continue;
        found.prefix = f[0];
        found.encoding = f[2];
        // The last line of that name wins, as in the reader's area lookup.
    }
    return !found.prefix.empty();
}

PacketAppender::AreaLine PacketAppender::CreateArea(std::string_view area,
                                                    std::string_view encoding) {
    const std::string areasPath = FindPacketFile(sjis_ + "AREAS");
    const bool existed = PacketFileExists(areasPath);
    std::string text = ReadFileBytes(areasPath);
    if (existed && text.empty() && FileSize(areasPath) > 0)
        throw AppendError{DiskName(areasPath) + ": cannot be read; nothing was changed"};
    TSList lines = SplitTextLines(text);
    std::unordered_set<std::string> used;
    for (const std::string& line : lines) used.insert(SjisUpper(SplitTab(line, 1)[0]));
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(dir_, ec)) {
        std::string name = entry.path().filename().string();
        used.insert(SjisUpper(name.substr(0, name.find('.'))));
    }
    AreaLine made;
    for (int n = 1; n <= 99999999 && made.prefix.empty(); ++n) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%.8d", n);
        if (!used.count(buf))
            made.prefix = buf;
    }
    if (made.prefix.empty())
        throw AppendError{dir_ + ": no free area prefix is left"};
    made.encoding = std::string(encoding);
    std::string out;
    for (const std::string& line : lines) out += line + "\n";
    out += made.prefix + "\t" + std::string(area) + "\t" + made.encoding + "\n";
    if (ReplaceFile(areasPath, out) != ReplaceResult::Ok)
        throw AppendError{DiskName(areasPath) + ": " + LastWriteError()};
    return made;
}

std::unordered_set<std::string>& PacketAppender::IdsOf(std::string_view area,
                                                       const AreaLine& line) {
    const std::string base = sjis_ + line.prefix;
    const SharedPath msgFile(FindPacketFile(base + ".MSG"));
    struct stat st {};
    const bool exists = ::stat(DiskName(msgFile).c_str(), &st) == 0;
    IdCache& cache = known_[std::string(area)];
    if (exists && cache.prefix == line.prefix && cache.inode == st.st_ino &&
        cache.size == st.st_size)
        return cache.ids;
    MessageList messages;
    const char letter1 = !line.encoding.empty() ? line.encoding[0] : ' ';
    const char letter2 = line.encoding.size() > 1 ? line.encoding[1] : ' ';
    if (letter2 == 'c') {
        ParseIndexFile(FindPacketFile(base + ".IDX"), 'c', msgFile, messages, {});
    } else {
        ParseContext ctx{msgFile, ""};
        if (letter1 == 'u')
            ParseRnewsFile(ctx, messages, {});
        else
            ParseBinaryFile(ctx, messages, {});
    }
    cache.prefix = line.prefix;
    cache.inode = exists ? static_cast<uint64_t>(st.st_ino) : 0;
    cache.size = exists ? static_cast<int64_t>(st.st_size) : -1;
    cache.ids.clear();
    cache.spans.clear();
    cache.digests.clear();
    cache.digestsMade = false;
    cache.spans.reserve(messages.size());
    for (const auto& m : messages) {
        if (!m->messageId.empty())
            cache.ids.insert(m->messageId);
        cache.spans.emplace_back(m->offset, m->length);
    }
    return cache.ids;
}

void PacketAppender::MakeDigests(IdCache& cache, const std::string& msgPath) {
    if (cache.digestsMade)
        return;
    const int fd = ::open(msgPath.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    std::string bytes;
    for (const auto& [offset, length] : cache.spans) {
        if (fd < 0 || offset < 0 || length < 0)
            continue;
        bytes.resize(static_cast<size_t>(length));
        size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::pread(fd, bytes.data() + done, bytes.size() - done,
                                      static_cast<off_t>(offset + static_cast<int64_t>(done)));
            if (n <= 0)
                break;
            done += static_cast<size_t>(n);
        }
        bytes.resize(done);
        cache.digests.insert(Digest(bytes));
    }
    if (fd >= 0)
        ::close(fd);
    cache.spans.clear();
    cache.spans.shrink_to_fit();
    cache.digestsMade = true;
}

std::unordered_set<std::string> PacketAppender::KnownIds(std::string_view area) {
    PacketLock lock(sjis_);
    AreaLine line;
    if (!FindArea(area, line))
        return {};
    return IdsOf(area, line);
}

AppendResult PacketAppender::Append(std::string_view area,
                                    std::string_view encoding,
                                    const std::vector<Article>& articles,
                                    bool skipKnown) {
    AppendResult result;
    PacketLock lock(sjis_);
    RecoverJournal();
    AreaLine line;
    const bool exists = FindArea(area, line);
    // An existing area keeps its letters; a new one takes those asked for.
    const std::string letters = (exists ? line.encoding : std::string(encoding)) + "  ";
    const char letter1 = letters[0];
    const char letter2 = letters[1];
    if (exists && ((letter1 != 'u' && letter1 != 'b' && letter1 != 'B') ||
                   (letter2 != 'n' && letter2 != 'c' && letter2 != 'C')))
        throw AppendError{"area " + std::string(area) + " has the letters " + line.encoding +
                          ", which this program does not append to"};
    if (articles.empty())
        return result;
    if (!exists)
        line = CreateArea(area, encoding);
    const std::string base = sjis_ + line.prefix;
    if (exists && !PacketFileExists(FindPacketFile(base + ".MSG")))
        // Said, not refused: nothing is there to lose, and the new messages are wanted.
        result.missingFile = "area " + cp932::ToUtf8(area) + ": AREAS names the message file " +
                             line.prefix + ".MSG, which is not in " + dir_ +
                             "; a new one is started";
    if (exists) {
        // A rewrite cut short would rename its files over ours: finish or undo it first.
        TGrp grp(std::string(area), base, line.encoding, std::string(area));
        if (grp.HasInterruptedRewrite())
            grp.FinishInterruptedRewrite();
    }
    // The Message-IDs the area holds, kept between calls while the message file is only ours
    // to change (same inode, the size we left it at).
    std::unordered_set<std::string>& known = IdsOf(area, line);
    IdCache& cache = known_[std::string(area)];
    // IDs go into the set as messages are taken; until the files hold them the cache is void.
    cache.size = -1;

    const bool indexed = letter2 == 'c' || letter2 == 'C';
    const std::string msgPath = DiskName(FindPacketFile(base + ".MSG"));
    const std::string idxPath = DiskName(FindPacketFile(base + ".IDX"));
    AppendFile msg;
    msg.Open(msgPath);
    AppendFile idx;
    struct stat st {};
    const bool idxExisted = ::lstat(idxPath.c_str(), &st) == 0;
    if (indexed)
        idx.Open(idxPath);

    std::string msgBytes;
    std::string idxBytes;
    // The messages taken in this call: their digests and where they will lie.
    std::unordered_set<std::string> fresh;
    std::vector<std::pair<int64_t, int64_t>> freshSpans;
    for (const Article& article : articles) {
        std::string text = NormalizeLineEnds(article.text);
        std::vector<std::string> header = HeaderLines(text);
        std::string id = std::string(Trim(HeaderListValue(header, "Message-ID")));
        // A message is there already only when its bytes are; its Message-ID (or the lack
        // of one) only says when the bytes must be compared.
        std::string digest = Digest(text);
        if (skipKnown) {
            bool there = fresh.count(digest) > 0;
            if (!there && (id.empty() || known.count(id))) {
                MakeDigests(cache, DiskName(FindPacketFile(base + ".MSG")));
                there = cache.digests.count(digest) > 0;
            }
            if (there) {
                ++result.duplicates;
                continue;
            }
        }
        fresh.insert(std::move(digest));
        if (!id.empty())
            known.insert(id);
        if (letter1 == 'u') {
            char frame[32];
            std::snprintf(frame, sizeof frame, "#! rnews %.8zu\n", text.size());
            msgBytes += frame;
        } else {
            if (text.size() > 0xFFFFFFFFu)
                throw AppendError{"a message of " + std::to_string(text.size()) +
                                  " bytes does not fit the binary framing"};
            const auto n = static_cast<uint32_t>(text.size());
            msgBytes += static_cast<char>(n >> 24);
            msgBytes += static_cast<char>(n >> 16);
            msgBytes += static_cast<char>(n >> 8);
            msgBytes += static_cast<char>(n);
        }
        const int64_t offset = msg.Size() + static_cast<int64_t>(msgBytes.size());
        freshSpans.emplace_back(offset, static_cast<int64_t>(text.size()));
        msgBytes += text;
        if (indexed) {
            std::string row = std::to_string(offset) + "\t" +
                              Column(HeaderListValue(header, "Subject")) + "\t" +
                              Column(HeaderListValue(header, "From")) + "\t" +
                              Column(HeaderListValue(header, "Date")) + "\t";
            if (letter2 == 'c')
                row += Column(id) + "\t" + Column(ReferencesOrInReplyTo(header)) + "\t";
            row += std::to_string(text.size()) + "\t" + std::to_string(LineCount(text)) + "\t" +
                   std::to_string(article.number) + "\n";
            idxBytes += row;
        }
        ++result.appended;
    }
    // The set holds what the file holds once it reaches `size` bytes; inode 0 means the set
    // was made while the file was missing, and Open created it.
    auto keepCache = [&](int64_t size) {
        if (cache.prefix == line.prefix && (cache.inode == msg.Inode() || cache.inode == 0)) {
            cache.inode = msg.Inode();
            cache.size = size;
            if (cache.digestsMade)
                cache.digests.insert(fresh.begin(), fresh.end());
            else
                cache.spans.insert(cache.spans.end(), freshSpans.begin(), freshSpans.end());
        }
    };
    if (msgBytes.empty()) {
        keepCache(msg.Size());
        return result;
    }

    // The journal holds the old sizes until both files are flushed.
    const std::string journal = std::string(kJournalName);
    const std::string entry = AppendJournalLine(
        line.prefix, {msg.Size(), msg.Inode()},
        indexed ? AppendedFile{idxExisted ? idx.Size() : -1, idx.Inode()} : AppendedFile{});
    if (ReplaceFile(sjis_ + journal, entry) != ReplaceResult::Ok)
        throw AppendError{dir_ + journal + ": " + LastWriteError()};
    Step("journal");
    try {
        msg.WriteAll(msgBytes);
        Step("msg");
        if (indexed) {
            idx.WriteAll(idxBytes);
            Step("idx");
        }
    } catch (const AppendError&) {
        // Cut back and flushed before the journal goes; should that fail, the journal stays
        // and the next one to take the lock finishes the undo.
        (void)UndoCutShortAppend(sjis_);
        throw;
    }
    ::unlink((dir_ + journal).c_str());
    (void)SyncDirectory(dir_);
    result.bytes = static_cast<int64_t>(msgBytes.size());
    keepCache(msg.Size() + result.bytes);
    UpdateCounts(area, msg.Size(), msg.Size() + result.bytes, result.appended);
    return result;
}

void PacketAppender::UpdateCounts(std::string_view area,
                                  int64_t sizeBefore,
                                  int64_t sizeAfter,
                                  int appended) {
    TIniF stat(FindPacketFile(sjis_ + "GRPSTAT.PBS"));
    stat.SetLinkPolicy(LinkPolicy::Replace);
    stat.SetDurable(true);
    const int64_t size = ToInteger64(stat.ReadString(area, "MSGSize", "0"));
    const int64_t count = stat.ReadInteger(area, "MSGCount", 0);
    // Counts that did not describe the file before are left as they are: the reader counts
    // the area when it loads it.
    if (size != sizeBefore || count < 0 || (count == 0 && sizeBefore > 0))
        return;
    const int64_t unread = std::max<int32_t>(stat.ReadInteger(area, "UnreadMsgs", 0), 0);
    auto clamp = [](int64_t v) { return static_cast<int32_t>(std::min<int64_t>(v, INT32_MAX)); };
    TIniF::Update batch(stat);
    stat.WriteInteger(area, "MSGCount", clamp(count + appended));
    stat.WriteString(area, "MSGSize", std::to_string(sizeAfter));
    stat.WriteInteger(area, "UnreadMsgs", clamp(unread + appended));
}

}  // namespace pelorin::transfer
