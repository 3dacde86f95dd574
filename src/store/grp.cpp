// TGrp: loading, marks, counts, copies, deletion and rewriting of one area (see grp.h).
#include "store/grp.h"

#include "coding/cp932.h"
#include "coding/file_write.h"
#include "store/append_journal.h"
#include "store/disk_path.h"
#include "store/linewriter.h"
#include "store/mapped_file.h"
#include "store/packet_files.h"
#include "store/packet_lock.h"
#include "store/textfile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <limits>
#include <unistd.h>
#include <unordered_map>

namespace pelorin {
namespace {

int32_t ClampInt32(int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

// One of the rewrite's new files, written in place under its own name (".SBM", ".SBI"): these
// names mean nothing until the new mark file ".SBX" exists, so they need no temporary name of
// their own. The data is flushed before Close reports success.
class NewAreaFile {
public:
    NewAreaFile() = default;
    ~NewAreaFile() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    NewAreaFile(const NewAreaFile&) = delete;
    NewAreaFile& operator=(const NewAreaFile&) = delete;

    bool Open(const std::string& path) {
        path_ = path;
        fd_ = ::open(DiskPath(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC,
                     0666);
        if (fd_ < 0)
            Fail();
        return fd_ >= 0;
    }
    void Write(std::string_view bytes) {
        if (fd_ < 0 || !error_.empty())
            return;
        buffer_.append(bytes);
        if (buffer_.size() >= kPiece)
            Drain();
    }
    // Writes what is buffered, flushes and closes; false (with Error set) on any failure.
    bool Close() {
        if (fd_ < 0)
            return false;
        Drain();
        if (error_.empty() && ::fdatasync(fd_) != 0)
            Fail();
        if (::close(fd_) != 0 && error_.empty())
            Fail();
        fd_ = -1;
        return error_.empty();
    }
    const std::string& Error() const { return error_; }
    const std::string& Path() const { return path_; }

private:
    static constexpr size_t kPiece = 256 * 1024;
    void Drain() {
        if (error_.empty() && !WriteFully(fd_, buffer_))
            Fail();
        buffer_.clear();
    }
    void Fail() {
        if (error_.empty())
            error_ = SystemReason(errno);
    }

    int fd_ = -1;
    std::string path_;
    std::string buffer_;
    std::string error_;
};

// Number of non-empty lines of a text file; -1 when it cannot be read.
int CountFileLines(std::string_view path) {
    if (!PacketFileExists(path))
        return -1;
    int n = 0;
    for (const std::string& line : SplitTextLines(ReadFileBytes(FindPacketFile(path)))) {
        if (!line.empty())
            ++n;
    }
    return n;
}

bool RemoveFile(std::string_view path) {
    std::error_code ec;
    return std::filesystem::remove(DiskPath(path), ec);
}

bool RenameFile(std::string_view from, std::string_view to) {
    std::error_code ec;
    std::filesystem::rename(DiskPath(from), DiskPath(to), ec);
    if (ec)
        errno = ec.value();
    return !ec;
}

// The mark file's lines for `msgs` (a message read in another area counts as read).
template <typename Range, typename Seen>
TSList MarkLines(const Range& msgs, const Seen& seen) {
    TSList lines;
    for (const TMsg* m : msgs) {
        char mark = m->mark;
        if (mark == '*' && seen.count(m->messageId))
            mark = ' ';
        std::string line(1, mark);
        line += m->messageId;
        line += '\t';
        line += m->parentId;
        lines.push_back(std::move(line));
    }
    return lines;
}

void Step(const char* name) {
    if (rewriteStepHook)
        rewriteStepHook(name);
}

int CountUnread(const TSList& markLines) {
    return static_cast<int>(std::count_if(markLines.begin(), markLines.end(),
                                          [](const std::string& l) { return l[0] == '*'; }));
}

// An index column from a header value: trailing CR gone, TABs (which would split the column)
// turned into blanks.
std::string IndexColumn(std::string value) {
    while (!value.empty() && value.back() == '\r') value.pop_back();
    std::replace(value.begin(), value.end(), '\t', ' ');
    return value;
}

}  // namespace

TGrp::TGrp(std::string name,
           std::string base,
           std::string enc,
           std::string desc,
           TIniF* stat,
           TDialogs* dialogs)
    : areaName(std::move(name))
    , pathBase(std::move(base))
    , encoding(std::move(enc))
    , description(std::move(desc))
    , stat_(stat)
    , dialogs_(dialogs) {
    encoding.resize(3, ' ');
}

TGrp::~TGrp() {
    if (!messages.empty() || contentChanged)
        (void)Unload();
}

std::string TGrp::MsgPath() const {
    return FindPacketFile(pathBase + ".MSG");
}
std::string TGrp::IdxPath() const {
    return FindPacketFile(pathBase + ".IDX");
}
std::string TGrp::PbxPath() const {
    return FindPacketFile(pathBase + ".PBX");
}

void TGrp::Report(size_t i, size_t n) {
    if (!onProgress || n == 0)
        return;
    int percent =
        static_cast<int>(static_cast<int64_t>(i) * progressSpan / static_cast<int64_t>(n)) +
        progressBase;
    if (lastReported_ < 0 || percent > lastReported_ + progressStep) {
        lastReported_ = percent;
        onProgress(percent);
    }
}

void TGrp::ReportPosition(int64_t pos, int64_t size) {
    if (!onProgress || size <= 0)
        return;
    onProgress(static_cast<int>(pos * progressSpan / size) + progressBase);
}

std::string TGrp::Directory() const {
    return std::string(DirPart(pathBase));
}

void TGrp::RecoverInterruptedRewrite() {
    // An append cut short goes first: what it left never counts, so it is never shown.
    (void)UndoCutShortAppend(Directory());
    const std::string sbm = pathBase + ".SBM", sbi = pathBase + ".SBI", sbx = pathBase + ".SBX";
    const bool have_sbm = PacketFileExists(sbm), have_sbi = PacketFileExists(sbi),
               have_sbx = PacketFileExists(sbx);
    const char l1 = Letter(0);
    const bool writes_msg = l1 == 'u' || l1 == 'b' || l1 == 'B';
    if (have_sbx) {
        // The new files were all complete: finish putting them in place. Each rename leaves a
        // state this same branch finishes, since ".SBX" goes last.
        if (have_sbm && RenameFile(FindPacketFile(sbm), MsgPath()))
            Step("redo-msg");
        if (have_sbi && RenameFile(FindPacketFile(sbi), IdxPath()))
            Step("redo-idx");
        if (RenameFile(FindPacketFile(sbx), PbxPath()))
            Step("redo-pbx");
        (void)SyncDirectory(DiskPath(Directory()).string());
    } else if (have_sbi && !have_sbm && writes_msg && SpansMessageFile(FindPacketFile(sbi), l1) &&
               !SpansMessageFile(IdxPath(), l1)) {
        // Left by an older version's rewrite, which kept no new mark file and put the new
        // message file in place before its index: the index must follow. The new index must
        // describe the message file exactly and the old one must not, so that leftovers of
        // our own (an undo cut short) are never taken for this.
        if (RenameFile(FindPacketFile(sbi), IdxPath()))
            Step("redo-idx");
    } else if (have_sbm || have_sbi) {
        // Nothing was replaced yet: the old files are whole.
        DropNewFiles();
    }
}

void TGrp::DropNewFiles() {
    // The new index goes first and reaches the disk before the new message file goes: an
    // undo cut short between the two leaves ".SBM" alone, which the next undo drops, and
    // never ".SBI" alone beside an old message file.
    const std::string sbi = FindPacketFile(pathBase + ".SBI");
    if (RemoveFile(sbi)) {
        (void)SyncDirectory(DiskPath(Directory()).string());
        Step("undo-sbi");
    }
    if (RemoveFile(FindPacketFile(pathBase + ".SBM")))
        Step("undo-sbm");
}

bool TGrp::SpansMessageFile(const std::string& indexPath, char framing) const {
    // Each entry's message must follow the one before it, behind a frame that gives its
    // length, and the last must end where the message file ends.
    if (!PacketFileExists(indexPath) || !PacketFileExists(pathBase + ".MSG"))
        return false;
    MappedFile msg(MsgPath());
    const std::string_view bytes = msg.Bytes();
    size_t end = 0;
    for (const std::string& line : SplitTextLines(ReadFileBytes(indexPath))) {
        const TSList f = SplitTab(line, 9);
        size_t columns = f.size();  // the last three are length, lines and number
        while (columns > 0 && f[columns - 1].empty()) --columns;
        if (columns < 4)
            return false;
        const int64_t offset = ToInteger64(f[0]);
        const int64_t length = ToInteger64(f[columns - 3]);
        if (offset < 0 || length < 0 || static_cast<uint64_t>(offset) > bytes.size() ||
            static_cast<uint64_t>(length) > bytes.size() - static_cast<size_t>(offset) ||
            static_cast<size_t>(offset) < end)
            return false;
        const std::string_view frame = bytes.substr(end, static_cast<size_t>(offset) - end);
        if (framing == 'u') {
            if (!frame.starts_with("#! rnews ") || !frame.ends_with("\n") ||
                ToInteger64(frame.substr(9, frame.size() - 10)) != length)
                return false;
        } else {
            if (frame.size() != 4)
                return false;
            int64_t n = 0;
            for (unsigned char c : frame) n = n << 8 | c;
            if (n != length)
                return false;
        }
        end = static_cast<size_t>(offset + length);
    }
    return end == bytes.size();
}

bool TGrp::HasInterruptedRewrite() const {
    for (const char* ext : {".SBM", ".SBI", ".SBX"}) {
        if (PacketFileExists(pathBase + ext))
            return true;
    }
    return false;
}

void TGrp::FinishInterruptedRewrite() {
    PacketLock lock(Directory());
    RecoverInterruptedRewrite();
}

void TGrp::NoteFailure(ReplaceResult result, std::string path, std::string reason) {
    lastFailure.result = result;
    lastFailure.path = std::move(path);
    lastFailure.reason = std::move(reason);
}

int64_t TGrp::SourceSize() const {
    const char l2 = Letter(1);
    const std::string file = pathBase + (l2 == 'c' || l2 == 'C' ? ".IDX" : ".MSG");
    if (!PacketFileExists(file))
        return 0;
    return std::max<int64_t>(FileSize(FindPacketFile(file)), 0);
}

bool TGrp::ChangedOnDisk() const {
    return loadedFromDisk_ && SourceSize() != loadedSize_;
}

ReplaceResult TGrp::RefuseChangedArea() {
    NoteFailure(ReplaceResult::WriteFailed, MsgPath(),
                Sjis("ほかのプログラムがこのエリアにメッセージを追加しました。"
                     "エリアを開き直してから処理してください"));
    return ReplaceResult::WriteFailed;
}

void TGrp::Load() {
    loadedList_ = nullptr;
    prelink_.reset();
    const bool fresh = messages.empty();
    // A rewrite by another process must not be taken for an interrupted one, nor its files
    // read half replaced.
    PacketLock lock(Directory());
    RecoverInterruptedRewrite();
    lastReported_ = -1;
    // Under the lock nobody appends: the size now is the size of what is read.
    loadedFromDisk_ = true;
    loadedSize_ = SourceSize();
    const char l1 = Letter(0), l2 = Letter(1);
    if (l2 == 'c' || l2 == 'C') {
        const std::string idx = pathBase + ".IDX";
        if (!PacketFileExists(idx))
            return;
        // An area shown in threads has its threads linked as its index is read (only the
        // lower-case layout has Message-IDs).
        if (fresh && l2 == 'c' && sortType == 1)
            prelink_ = std::make_unique<ThreadPrelink>(threadRange);
        ParseIndexFile(
            FindPacketFile(idx), l2, SharedPath(MsgPath()), messages,
            [this](size_t i, size_t n) { Report(i, n); }, prelink_.get());
        // Room was reserved by an estimate from the index's size; room never used is never
        // touched either (it costs address space, not memory), so only a gross overestimate
        // is given back.
        if (messages.capacity() / 2 > messages.size())
            messages.shrink_to_fit();
        ReadMarks();
        CorrectCounts();
        if (fresh)
            NoteLoadedList();
    } else if (l2 == 'n') {
        if (!PacketFileExists(pathBase + ".MSG"))
            return;
        ParseContext ctx{MsgPath(), digestMarker, &missingBytes};
        auto progress = [this](int64_t pos, int64_t size) { ReportPosition(pos, size); };
        if (l1 == 'b' || l1 == 'B')
            ParseBinaryFile(ctx, messages, progress);
        else if (l1 == 'u')
            ParseRnewsFile(ctx, messages, progress);
        messages.shrink_to_fit();  // the list grew by doubling; it stays as long as the area
        ReadMarks();
        CorrectCounts();
        if (fresh)
            NoteLoadedList();
    }
}

void TGrp::NoteLoadedList() {
    loadedList_ = messages.data();
    loadedCount_ = messages.size();
}

void TGrp::ReadMarks() {
    const std::string pbx = pathBase + ".PBX";
    if (messages.empty() || !PacketFileExists(pbx))
        return;
    MappedFile file(FindPacketFile(pbx));
    const std::string_view text = file.Bytes();
    std::unordered_multimap<std::string_view, TMsg*> by_id;  // built when first needed
    size_t pos = 0;
    std::string_view line;
    for (size_t i = 0; NextTextLine(text, pos, line); ++i) {
        if (line.empty())
            continue;
        const char mark = line[0];
        std::string_view rest = line.substr(1);
        const std::string_view id = LastAngleTokenView(rest.substr(0, rest.find('\t')));
        if (i < messages.size() && messages[i]->messageId == id) {
            messages[i]->mark = mark;
            continue;
        }
        // A line off its place says which message it was by its Message-ID alone; an empty one
        // names no message (it would name every message without an ID).
        if (mark == '*' || id.empty())
            continue;
        if (by_id.empty()) {
            for (auto& m : messages) by_id.emplace(m->messageId, m.get());
        }
        auto [from, to] = by_id.equal_range(id);
        for (auto it = from; it != to; ++it) it->second->mark = mark;
    }
}

void TGrp::Prepare() {
    progressStep = 5;
    progressBase = 0;
    progressSpan = 50;
    lastReported_ = -1;
    if (messages.empty())
        Load();
    progressBase = 50;
    SetSortType(sortType);
    ApplySeenList();
}

ReplaceResult TGrp::Unload() {
    if (ChangedOnDisk()) {
        // The appended messages are not held here: no purge and no rewrite from memory. The
        // marks are saved (by position and Message-ID, so the new messages stay unread) and
        // the next load reads the area whole, delete marks included.
        ReplaceResult r = ReplaceResult::Ok;
        if (!messages.empty() && (marksChanged || contentChanged || purgeOnClose))
            r = SaveMarks();
        if (r != ReplaceResult::Ok)
            return r;
        const bool deferred = contentChanged || purgeOnClose;
        display.clear();
        messages.clear();
        loadedList_ = nullptr;
        loadedFromDisk_ = false;
        contentChanged = false;
        return deferred ? RefuseChangedArea() : ReplaceResult::Ok;
    }
    if (purgeOnClose)
        PurgeDeleteMarked();
    if (!messages.empty() || contentChanged) {
        if (contentChanged) {
            ReplaceResult r = Rewrite(false);
            if (r != ReplaceResult::Ok)
                return r;
        }
        if (marksChanged) {
            ReplaceResult r = SaveMarks();
            if (r != ReplaceResult::Ok)
                return r;
        }
    }
    display.clear();
    messages.clear();
    loadedList_ = nullptr;
    prelink_.reset();
    loadedFromDisk_ = false;
    return ReplaceResult::Ok;
}

void TGrp::LeaveMessagesForExit() {
    if (messages.empty() || marksChanged || contentChanged || purgeOnClose)
        return;
    // Kept reachable, so that leak checkers see memory in use rather than lost.
    static auto* left = new std::vector<std::vector<std::unique_ptr<TMsg>>>;
    left->push_back(std::move(messages));
    messages.clear();
    display.clear();
    loadedList_ = nullptr;
    loadedFromDisk_ = false;
}

void TGrp::SetSortType(int type) {
    const int t = type == std::numeric_limits<int>::min() ? std::numeric_limits<int>::max()
                                                          : (type < 0 ? -type : type);
    if (t == sortType && !display.empty())
        return;
    sortType = t;
    if (!messages.empty()) {
        const bool loaded = loadedList_ == messages.data() && loadedCount_ == messages.size();
        loadedList_ = nullptr;
        const std::unique_ptr<ThreadPrelink> prelink = std::move(prelink_);
        if (!(loaded && t == 1 && prelink && prelink->Take(messages, threadRange, display))) {
            BuildDisplayList(
                messages, t, threadRange, display, [this](size_t i, size_t n) { Report(i, n); },
                loaded);
        }
    }
    sorted = true;
}

void TGrp::ApplySeenList() {
    if (seen_.empty())
        return;
    for (auto& m : messages) {
        if (m->mark == '*' && seenSet_.count(m->messageId))
            m->mark = ' ';
    }
}

int TGrp::CountMarked(char mark) {
    if (messages.empty()) {
        Load();
        SetSortType(sortType);
    }
    if (mark == 0)
        return static_cast<int>(display.size());
    ApplySeenList();
    return static_cast<int>(
        std::count_if(display.begin(), display.end(),
                      [mark](const DisplayEntry& e) { return e.msg->mark == mark; }));
}

TMsg* TGrp::MessageAt(int pos) const {
    if (pos < 0 || static_cast<size_t>(pos) >= display.size())
        return nullptr;
    return display[static_cast<size_t>(pos)].msg;
}

int TGrp::FindMessage(std::string_view messageId) const {
    for (size_t i = 0; i < display.size(); ++i) {
        if (display[i].msg->messageId == messageId)
            return static_cast<int>(i);
    }
    return -1;
}

void TGrp::AddCopy(TMsg* src) {
    if (messages.empty())
        Prepare();
    if (!src)
        return;
    if (src->lines.empty())
        src->LoadLines();
    auto copy = std::make_unique<TMsg>(*src);
    // Every record of an area names the same file; looking it up again (a directory scan
    // while the file does not exist yet) for each copy would make large copies quadratic.
    copy->msgFile = messages.empty() ? SharedPath(MsgPath()) : messages.front()->msgFile;
    copy->offset = 0;
    copy->depth = 0;
    copy->checked = false;
    copy->displayPos = static_cast<int32_t>(display.size());
    display.push_back({copy.get()});
    messages.push_back(std::move(copy));
    contentChanged = true;
}

void TGrp::DeleteAt(int pos) {
    if (pos < 0 || static_cast<size_t>(pos) >= display.size()) {
        if (dialogs_)
            dialogs_->MessageBox("bad index", MsgIcon::Information, MsgButtons::Ok);
        return;
    }
    TMsg* victim = display[static_cast<size_t>(pos)].msg;
    display.erase(display.begin() + pos);
    for (size_t i = static_cast<size_t>(pos); i < display.size(); ++i)
        display[i].msg->displayPos = static_cast<int32_t>(i);
    auto it = std::find_if(messages.begin(), messages.end(),
                           [victim](const std::unique_ptr<TMsg>& m) { return m.get() == victim; });
    if (it != messages.end())
        messages.erase(it);
    contentChanged = true;
    marksChanged = true;
}

void TGrp::PurgeDeleteMarked() {
    std::unordered_set<const TMsg*> victims;
    for (const DisplayEntry& e : display) {
        if (e.msg->mark == '-')
            victims.insert(e.msg);
    }
    if (victims.empty())
        return;
    std::erase_if(display, [&](const DisplayEntry& e) { return victims.count(e.msg) != 0; });
    for (size_t i = 0; i < display.size(); ++i)
        display[i].msg->displayPos = static_cast<int32_t>(i);
    std::erase_if(messages,
                  [&](const std::unique_ptr<TMsg>& m) { return victims.count(m.get()) != 0; });
    contentChanged = true;
    marksChanged = true;
}

ReplaceResult TGrp::Rewrite(bool skipDeleteMarked) {
    // Messages appended by another program since the area was loaded would be lost.
    if (ChangedOnDisk())
        return RefuseChangedArea();
    // Messages left out of the new files are gone from memory too, or the marks would speak
    // of messages the files no longer hold.
    if (skipDeleteMarked)
        PurgeDeleteMarked();
    PacketLock lock(Directory());
    RecoverInterruptedRewrite();
    if (ChangedOnDisk())
        return RefuseChangedArea();
    const std::string sbm = pathBase + ".SBM", sbi = pathBase + ".SBI", sbx = pathBase + ".SBX";

    const char l1 = Letter(0), l2 = Letter(1);
    const bool write_msg = l1 == 'u' || l1 == 'b' || l1 == 'B';
    const bool write_idx = l2 == 'c' || l2 == 'C';
    NewAreaFile msg_out, idx_out;
    // Whatever fails before the new mark file is in place takes back our new files: the old
    // ones are whole.
    auto fail = [&](ReplaceResult r, const std::string& path, const std::string& reason) {
        NoteFailure(r, path, reason);
        DropNewFiles();
        return r;
    };
    if (write_msg && !msg_out.Open(sbm))
        return fail(ReplaceResult::OpenFailed, sbm, msg_out.Error());
    if (write_idx && !idx_out.Open(sbi))
        return fail(ReplaceResult::OpenFailed, sbi, idx_out.Error());
    Step("open");

    struct Placed {
        TMsg* msg;
        int64_t offset;
        int64_t length;
        bool loadedHere;  // lines read only for the rewrite; dropped afterwards
    };
    std::vector<Placed> placed;
    placed.reserve(messages.size());
    int64_t pos = 0;
    for (auto& owned : messages) {
        TMsg& m = *owned;
        const bool had_lines = !m.lines.empty();
        if (!had_lines)
            m.LoadLines();
        int64_t size = 0;
        for (const std::string& line : m.lines) size += static_cast<int64_t>(line.size()) + 1;
        int64_t offset = m.offset;
        if (write_msg) {
            std::string frame;
            if (l1 == 'u') {
                char buf[32];
                std::snprintf(buf, sizeof buf, "#! rnews %.8lld\n", static_cast<long long>(size));
                frame = buf;
            } else {
                for (int shift = 24; shift >= 0; shift -= 8)
                    frame.push_back(static_cast<char>((size >> shift) & 0xFF));
            }
            msg_out.Write(frame);
            for (const std::string& line : m.lines) {
                msg_out.Write(line);
                msg_out.Write("\n");
            }
            offset = pos + static_cast<int64_t>(frame.size());
            pos = offset + size;
        }
        if (write_idx) {
            const TSList& lines = m.lines;
            TSList col;
            col.push_back(std::to_string(offset));
            col.push_back(IndexColumn(HeaderValue(lines, "Subject")));
            col.push_back(IndexColumn(HeaderValue(lines, "From")));
            col.push_back(IndexColumn(HeaderValue(lines, "Date")));
            if (l2 == 'c') {
                col.push_back(IndexColumn(HeaderValue(lines, "Message-ID")));
                std::string refs = HeaderValue(lines, "References");
                if (IndexColumn(refs).empty())
                    refs = LastAngleToken(IndexColumn(HeaderValue(lines, "In-Reply-To")));
                col.push_back(IndexColumn(refs));
            }
            col.push_back(std::to_string(size));
            col.push_back(std::to_string(lines.size()));
            col.push_back(std::to_string(m.number));
            std::string out;
            for (size_t i = 0; i < col.size(); ++i) {
                if (i)
                    out += '\t';
                out += col[i];
            }
            out += '\n';
            idx_out.Write(out);
        }
        placed.push_back({&m, offset, size, !had_lines});
    }
    auto drop_loaded_lines = [&placed] {
        for (const Placed& p : placed) {
            if (p.loadedHere)
                p.msg->lines.clear();
        }
    };

    if (write_msg && !msg_out.Close()) {
        drop_loaded_lines();
        return fail(ReplaceResult::WriteFailed, sbm, msg_out.Error());
    }
    Step("sbm");
    if (write_idx && !idx_out.Close()) {
        drop_loaded_lines();
        return fail(ReplaceResult::WriteFailed, sbi, idx_out.Error());
    }
    Step("sbi");
    // The new entries reach the disk before the mark file that makes them count.
    (void)SyncDirectory(DiskPath(Directory()).string());

    // The new mark file is the point of no return: once ".SBX" exists, the rewrite is
    // finished by whoever comes next, however this process ends.
    std::vector<const TMsg*> order;
    order.reserve(messages.size());
    for (const auto& m : messages) order.push_back(m.get());
    const TSList marks = MarkLines(order, seenSet_);
    if (ReplaceResult r = WriteLines(marks, sbx, '\r', "", WriteMode::Create);
        r != ReplaceResult::Ok) {
        drop_loaded_lines();
        return fail(r, PbxPath(), LastWriteError());
    }
    Step("sbx");
    // The new files are the area's from here on, whoever puts them in place: the records
    // describe them, and their size is the one loaded.
    if (write_idx || write_msg)
        loadedSize_ = std::max<int64_t>(FileSize(FindPacketFile(write_idx ? sbi : sbm)), 0);

    ReplaceResult r = ReplaceResult::Ok;
    std::string failed_path, reason;
    bool msg_replaced = !write_msg;
    if (write_msg) {
        msg_replaced = RenameFile(FindPacketFile(sbm), MsgPath());
        if (!msg_replaced) {
            r = ReplaceResult::RenameFailed;
            failed_path = MsgPath();
            reason = SystemReason(errno);
        }
    }
    Step("msg");
    if (r == ReplaceResult::Ok && write_idx && !RenameFile(FindPacketFile(sbi), IdxPath())) {
        r = ReplaceResult::RenameFailed;
        failed_path = IdxPath();
        reason = SystemReason(errno);
    }
    Step("idx");
    if (r == ReplaceResult::Ok && !RenameFile(FindPacketFile(sbx), PbxPath())) {
        r = ReplaceResult::RenameFailed;
        failed_path = PbxPath();
        reason = SystemReason(errno);
    }
    Step("pbx");
    (void)SyncDirectory(DiskPath(Directory()).string());
    // Once the message file is replaced, the records must point into the new one.
    const SharedPath msg_file = MsgPath();
    for (const Placed& p : placed) {
        if (msg_replaced && write_msg) {
            p.msg->msgFile = msg_file;
            p.msg->offset = p.offset;
            p.msg->length = p.length;
        }
    }
    drop_loaded_lines();
    if (r != ReplaceResult::Ok) {
        // What is left is finished by the next load or rewrite (".SBX" is in place); the area
        // stays marked as changed so that this process writes it again.
        NoteFailure(r, failed_path, reason);
        return r;
    }
    contentChanged = false;
    marksChanged = false;
    marksSaved = true;
    WriteCounts(CountUnread(marks));
    return ReplaceResult::Ok;
}

ReplaceResult TGrp::SaveMarks() {
    PacketLock lock(Directory());
    std::vector<const TMsg*> order;
    order.reserve(messages.size());
    for (const auto& m : messages) order.push_back(m.get());
    const TSList lines = MarkLines(order, seenSet_);
    const std::string path = PbxPath();
    ReplaceResult r = WriteLines(lines, path, '\r', "", WriteMode::Create);
    if (r != ReplaceResult::Ok) {
        NoteFailure(r, path, LastWriteError());
        return r;
    }
    Step("marks");
    marksChanged = false;
    marksSaved = true;
    WriteCounts(CountUnread(lines));
    return ReplaceResult::Ok;
}

void TGrp::WriteCounts(int unread) {
    // The counts that describe the mark file follow it at once, in one write of the state
    // file, so the two never disagree for long.
    unreadMsgs = unread;
    if (!stat_)
        return;
    TIniF::Update batch(*stat_);
    if (!messages.empty()) {
        WriteStat("MSGCount", ClampInt32(static_cast<int64_t>(messages.size())));
        stat_->WriteString(areaName, "MSGSize",
                           std::to_string(std::max<int64_t>(FileSize(MsgPath()), 0)));
    }
    WriteStat("UnreadMsgs", unread);
}

void TGrp::CorrectCounts() {
    // The marks just read are the truth: a kill between the mark file and the state file, or
    // messages appended by another program, leave counts that describe neither.
    if (!stat_)
        return;
    int unread = 0;
    for (const auto& m : messages) unread += m->mark == '*' && !seenSet_.count(m->messageId);
    const int32_t total = ClampInt32(static_cast<int64_t>(messages.size()));
    if (unread == unreadMsgs && stat_->ReadInteger(areaName, "MSGCount", -1) == total &&
        ToInteger64(stat_->ReadString(areaName, "MSGSize", "")) ==
            std::max<int64_t>(FileSize(MsgPath()), 0))
        return;
    TIniF::Update batch(*stat_);
    if (messages.empty())
        WriteStat("MSGCount", 0);
    WriteCounts(unread);
}

void TGrp::MarkSeen(std::string_view messageId) {
    marksChanged = true;
    std::string id(messageId);
    if (seenSet_.insert(id).second)
        seen_.push_back(std::move(id));
}

std::pair<int, int> TGrp::PeekCounts() {
    int total = -1;
    int unread = unreadMsgs;
    int count = 0;
    int64_t size = 0;
    if (stat_) {
        if (!stat_->KeyExists(areaName, "MSGCount"))
            stat_->WriteInteger(areaName, "MSGCount", 0);
        count = stat_->ReadInteger(areaName, "MSGCount", 0);
        if (!stat_->KeyExists(areaName, "MSGSize"))
            stat_->WriteInteger(areaName, "MSGSize", 0);
        size = ToInteger64(stat_->ReadString(areaName, "MSGSize", "0"));
    }
    if (count == 0)
        count = std::max(CountFileLines(pathBase + ".PBX"), 0);
    if (size == FileSize(MsgPath())) {
        total = count;
    } else if (int idx_lines = CountFileLines(pathBase + ".IDX"); idx_lines >= 0) {
        total = idx_lines;
        unread = total + unreadMsgs - count;
    }
    return {total, std::max(unread, 0)};
}

void TGrp::WriteStat(std::string_view key, int32_t value) {
    if (stat_)
        stat_->WriteInteger(areaName, key, value);
}

void TGrp::ReplaceMarks(char to, char from) {
    marksChanged = true;
    for (DisplayEntry& e : display) {
        if (to == from || e.msg->mark == from)
            e.msg->mark = to;
    }
}

}  // namespace pelorin
