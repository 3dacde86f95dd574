// TSoup: the packet directory and its area list (see soup.h).
#include "store/soup.h"

#include "store/linewriter.h"
#include "store/packet_files.h"
#include "store/settings.h"
#include "store/textfile.h"

#include <algorithm>
#include <cstdio>

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

int TSoup::LoadAreas() {
    areas.clear();
    TIniF::Update batch(*state_);  // default keys of every area: one file write
    const TSList order = state_->ReadSection("Groups");
    const std::string areas_file = directory + "AREAS";
    if (!PacketFileExists(areas_file))
        return 0;
    TSList lines = SplitTextLines(ReadFileBytes(FindPacketFile(areas_file)));
    std::vector<bool> used(lines.size(), false);
    for (const std::string& key : order) {
        const std::string needle = "\t" + key + "\t";
        for (size_t i = 0; i < lines.size(); ++i) {
            if (!used[i] && lines[i].find(needle) != std::string::npos) {
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
    return WriteLines(lines, FindPacketFile(directory + "AREAS"), '\n', "", WriteMode::Create);
}

ReplaceResult TSoup::Destroy() {
    if (destroyed_)
        return ReplaceResult::Ok;
    destroyed_ = true;
    ReplaceResult result = ReplaceResult::Ok;
    if (areasChanged)
        result = WriteAreas();
    TIniF::Update batch(*state_);
    while (!areas.empty()) {
        TGrp& area = *areas.back();
        if (area.purgeOnClose)
            area.Prepare();
        state_->WriteInteger(area.areaName, "ExpireDays", area.expireDays);
        state_->WriteInteger(area.areaName, "SortType", area.sortType);
        if (area.marksSaved || area.marksChanged)
            state_->WriteInteger(area.areaName, "UnreadMsgs", area.CountMarked('*'));
        ReplaceResult r = area.Unload();
        if (r != ReplaceResult::Ok && result == ReplaceResult::Ok) {
            result = r;
            failedArea = area.areaName;
        }
        areas.pop_back();
    }
    state_->WriteInteger("General", "PacketType", packetType);
    state_->WriteString("General", "PacketName", packetName);
    // A packet opened without an outbound directory (the companion's commands) keeps the one
    // stored before.
    if (!outboundDir.empty())
        state_->WriteString("General", "Outbound", outboundDir);
    return result;
}

}  // namespace pelorin
