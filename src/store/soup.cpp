// TSoup: the packet directory and its area list (see soup.h).
#include "store/soup.h"

#include "coding/cp932.h"
#include "coding/file_write.h"
#include "store/append_journal.h"
#include "store/disk_path.h"
#include "store/linewriter.h"
#include "store/packet_files.h"
#include "store/packet_lock.h"
#include "store/scratch_folder.h"
#include "store/settings.h"
#include "store/textfile.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <system_error>
#include <unistd.h>
#include <unordered_map>

namespace pelorin {

std::string WithTrailingSlash(std::string_view path) {
    std::string p(path);
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    if (p.empty() || p.back() != '/')
        p += '/';
    return p;
}

TSoup::TSoup(std::string_view dir, TDialogs* dialogs)
    : directory(WithTrailingSlash(dir))
    , dialogs_(dialogs) {
    state_ = std::make_unique<TIniF>(FindPacketFile(directory + "GRPSTAT.PBS"));
    // A packet's files are replaced as themselves: a link planted there is never followed.
    state_->SetLinkPolicy(LinkPolicy::Replace);
    state_->SetDurable(true);
    packetName = state_->ReadString("General", "PacketName", std::string(dir));
    packetType = state_->ReadInteger("General", "PacketType", 0);
}

TSoup::~TSoup() {
    (void)Destroy();
}

void TSoup::SetOutboundDir(std::string_view path) {
    outboundDir = WithTrailingSlash(path);
}
void TSoup::SetControlDir(std::string_view path) {
    controlDir = WithTrailingSlash(path);
}

TGrp* TSoup::MakeArea(std::string name, std::string prefix, std::string enc, std::string desc) {
    auto area = std::make_unique<TGrp>(name, directory + prefix, std::move(enc), std::move(desc),
                                       state_.get(), dialogs_);
    area->owner = this;
    area->threadRange = ReadNumber(*state_, name, "ThreadRange", 300);
    area->unreadMsgs = ReadNumber(*state_, name, "UnreadMsgs", 0);
    area->expireDays = ReadNumber(*state_, name, "ExpireDays", 0);
    // The counts' defaults are written here, in the batch of the whole area list, rather than
    // one file write each when the counts are first looked at.
    (void)ReadNumber(*state_, name, "MSGCount", 0);
    (void)ReadNumber(*state_, name, "MSGSize", 0);
    area->SetSortType(ReadNumber(*state_, name, "SortType", defaultSortType));
    areas.push_back(std::move(area));
    return areas.back().get();
}

TGrp* TSoup::CreateArea(std::string_view line) {
    TSList f = SplitTab(line, 3);
    f.resize(4);
    if (Trim(f[0]).empty())
        return nullptr;
    // The prefix names files in this directory; one that reaches elsewhere ("../x", "/etc/x")
    // or holds control characters is not a prefix, and the line is skipped like a blank one.
    if (f[0].find('/') != std::string::npos || f[0] == "." || f[0] == ".." ||
        std::any_of(f[0].begin(), f[0].end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x20; }))
        return nullptr;
    std::string enc = f[2].substr(0, 3);
    std::string desc = f[3].empty() ? f[1] : f[3];
    return MakeArea(f[1], f[0], std::move(enc), std::move(desc));
}

void TSoup::CleanUp() {
    // Under the lock no rewrite of another process is under way. Temporary files of other
    // writers (a settings write of a second window) live for milliseconds; a minute's grace
    // keeps them safe.
    PacketLock lock(directory);
    (void)UndoCutShortAppend(directory);
    RemoveStaleScratchFolders(directory);
    namespace fs = std::filesystem;
    std::error_code ec;
    const auto now = fs::file_time_type::clock::now();
    TSList interrupted;
    for (fs::directory_iterator it(DiskPath(directory), ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (IsTemporaryFileName(name)) {
            std::error_code e2;
            if (!it->is_symlink(e2) && it->is_regular_file(e2) &&
                now - it->last_write_time(e2) > std::chrono::minutes(1))
                fs::remove(it->path(), e2);
            continue;
        }
        if (name.size() > 4) {
            const std::string ext = SjisUpper(name.substr(name.size() - 4));
            if (ext == ".SBM" || ext == ".SBI" || ext == ".SBX")
                interrupted.push_back(SjisUpper(cp932::FromUtf8(name.substr(0, name.size() - 4))));
        }
    }
    if (interrupted.empty())
        return;
    for (const auto& area : areas) {
        const std::string prefix = SjisUpper(NamePart(area->pathBase));
        if (std::find(interrupted.begin(), interrupted.end(), prefix) != interrupted.end())
            area->FinishInterruptedRewrite();
    }
}

int TSoup::LoadAreas() {
    areas.clear();
    TIniF::Update batch(*state_);  // default keys of every area: one file write
    const TSList order = state_->ReadSection("Groups");
    const std::string areas_file = directory + "AREAS";
    if (!PacketFileExists(areas_file))
        return 0;
    TSList lines = SplitTextLines(ReadFileBytes(FindPacketFile(areas_file)));
    // A [Groups] key names the first line not yet taken that holds it as a whole field between
    // two TABs. The lines of each such field, in file order, found in one pass: a packet may
    // list tens of thousands of areas.
    std::unordered_map<std::string_view, std::vector<size_t>> by_field;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string_view line = lines[i];
        size_t tab = line.find('\t');
        while (tab != std::string_view::npos) {
            const size_t next = line.find('\t', tab + 1);
            if (next == std::string_view::npos)
                break;
            std::vector<size_t>& at = by_field[line.substr(tab + 1, next - tab - 1)];
            if (at.empty() || at.back() != i)
                at.push_back(i);
            tab = next;
        }
    }
    std::vector<bool> used(lines.size(), false);
    for (const std::string& key : order) {
        auto it = by_field.find(key);
        if (it == by_field.end())
            continue;
        for (size_t i : it->second) {
            if (!used[i]) {
                used[i] = true;
                CreateArea(lines[i]);
                break;
            }
        }
    }
    for (size_t i = 0; i < lines.size(); ++i) {
        if (!used[i])
            CreateArea(lines[i]);
    }
    CleanUp();
    return static_cast<int>(areas.size());
}

TGrp* TSoup::AreaAt(int index) const {
    if (index < 0 || static_cast<size_t>(index) >= areas.size())
        return nullptr;
    return areas[static_cast<size_t>(index)].get();
}

TGrp* TSoup::FindArea(std::string_view name) const {
    for (size_t i = areas.size(); i-- > 0;) {
        if (areas[i]->areaName == name)
            return areas[i].get();
    }
    return nullptr;
}

TGrp* TSoup::AddArea(std::string_view name, std::string_view encoding) {
    for (int n = 1; n <= 99999999; ++n) {
        char prefix[16];
        std::snprintf(prefix, sizeof prefix, "%.8d", n);
        const std::string base = directory + prefix;
        bool taken = false;
        for (const auto& a : areas) taken = taken || a->pathBase == base;
        // A file left behind under the prefix is somebody's data: never write over it.
        for (const char* ext : {".MSG", ".IDX", ".PBX"})
            taken = taken || PacketFileExists(base + ext);
        if (taken)
            continue;
        TIniF::Update batch(*state_);
        TGrp* area = MakeArea(std::string(name), prefix, std::string(encoding), std::string(name));
        areasChanged = true;
        return area;
    }
    return nullptr;
}

void TSoup::SaveAreaOrder(const TSList& names) {
    TIniF::Update batch(*state_);
    state_->EraseSection("Groups");
    for (const std::string& name : names) state_->WriteString("Groups", name, "1");
}

ReplaceResult TSoup::WriteAreas() {
    TSList lines;
    for (const auto& a : areas) {
        std::string line(NamePart(a->pathBase));
        line += '\t';
        line += a->areaName;
        line += '\t';
        line += a->encoding.substr(0, 2);
        if (a->encoding.size() > 2 && a->encoding[2] != ' ')
            line += a->encoding[2];
        if (!a->description.empty() && a->description != a->areaName) {
            line += '\t';
            line += a->description;
        }
        lines.push_back(std::move(line));
    }
    PacketLock lock(directory);
    const std::string path = FindPacketFile(directory + "AREAS");
    const ReplaceResult r = WriteLines(lines, path, '\n', "", WriteMode::Create);
    if (r != ReplaceResult::Ok)
        failure = {r, path, LastWriteError()};
    return r;
}

ReplaceResult TSoup::Destroy() {
    if (destroyed_)
        return ReplaceResult::Ok;
    destroyed_ = true;
    ReplaceResult result = ReplaceResult::Ok;
    if (areasChanged)
        result = WriteAreas();
    {
        TIniF::Update batch(*state_);
        for (const auto& area : areas) {
            state_->WriteInteger(area->areaName, "ExpireDays", area->expireDays);
            state_->WriteInteger(area->areaName, "SortType", area->sortType);
        }
    }
    // Each area's unread count is written with its marks (TGrp::SaveMarks), so a close cut
    // short, or a mark file that could not be written, never leaves counts that disagree.
    while (!areas.empty()) {
        TGrp& area = *areas.back();
        if (area.purgeOnClose)
            area.Prepare();
        ReplaceResult r = area.Unload();
        if (r != ReplaceResult::Ok && result == ReplaceResult::Ok) {
            result = r;
            failedArea = area.areaName;
            failedCaption = area.description;
            failure = area.lastFailure;
        }
        areas.pop_back();
    }
    TIniF::Update batch(*state_);
    state_->WriteInteger("General", "PacketType", packetType);
    state_->WriteString("General", "PacketName", packetName);
    // A packet opened without an outbound directory (the companion's commands) keeps the one
    // stored before.
    if (!outboundDir.empty())
        state_->WriteString("General", "Outbound", outboundDir);
    return result;
}

bool TSoup::Writable(WriteFailure* why) const {
    // A probe file of our temporary pattern with one byte in it: a read-only directory, a
    // full disk or a file-size limit all show here, before any mark is lost.
    const std::filesystem::path path = DiskPath(directory) / TemporaryFileName();
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    bool ok = fd >= 0;
    int error = errno;
    if (ok) {
        ok = WriteFully(fd, "x");
        error = errno;
        ::close(fd);
        ::unlink(path.c_str());
    }
    if (!ok && why)
        *why = {ReplaceResult::OpenFailed, directory, SystemReason(error)};
    return ok;
}

}  // namespace pelorin
