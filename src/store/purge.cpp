// The all-or-nothing purge (see purge.h).
#include "store/purge.h"

#include "store/textfile.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

namespace pelorin {

bool HoldsDeleteMarks(TGrp& area) {
    if (!area.messages.empty()) {
        return std::any_of(area.messages.begin(), area.messages.end(),
                           [](const std::unique_ptr<TMsg>& m) { return m->mark == '-'; });
    }
    const std::string marks = ReadFileBytes(area.PbxPath());
    for (size_t pos = 0; pos < marks.size();) {
        if (marks[pos] == '-')
            return true;
        const size_t end = marks.find_first_of("\r\n", pos);
        if (end == std::string::npos)
            break;
        pos = marks.find_first_not_of("\r\n", end);
    }
    return false;
}

ReplaceResult PurgeDeleteMarkedNow(TGrp& area, int& removed) {
    removed = 0;
    if (area.messages.empty())
        (void)area.CountMarked(0);  // loads and sorts
    std::unordered_set<const TMsg*> victims;
    for (const auto& m : area.messages) {
        if (m->mark == '-')
            victims.insert(m.get());
    }
    if (victims.empty())
        return ReplaceResult::Ok;

    // What a failed write puts back.
    std::vector<TMsg*> fileOrder;
    fileOrder.reserve(area.messages.size());
    for (const auto& m : area.messages) fileOrder.push_back(m.get());
    const DisplayList displayBefore = area.display;
    const bool contentBefore = area.contentChanged;
    const bool marksBefore = area.marksChanged;

    MessageList kept, held;
    kept.reserve(area.messages.size() - victims.size());
    for (auto& m : area.messages) (victims.count(m.get()) ? held : kept).push_back(std::move(m));
    area.messages = std::move(kept);
    std::erase_if(area.display, [&](const DisplayEntry& e) { return victims.count(e.msg) != 0; });
    for (size_t i = 0; i < area.display.size(); ++i)
        area.display[i].msg->displayPos = static_cast<int32_t>(i);
    area.contentChanged = true;
    area.marksChanged = true;

    const ReplaceResult result = area.Rewrite(false);
    if (result == ReplaceResult::Ok) {
        removed = static_cast<int>(held.size());
        return result;
    }
    std::unordered_map<const TMsg*, std::unique_ptr<TMsg>> owned;
    for (auto& m : area.messages) owned.emplace(m.get(), std::move(m));
    for (auto& m : held) owned.emplace(m.get(), std::move(m));
    area.messages.clear();
    for (TMsg* m : fileOrder) area.messages.push_back(std::move(owned[m]));
    area.display = displayBefore;
    for (size_t i = 0; i < area.display.size(); ++i)
        area.display[i].msg->displayPos = static_cast<int32_t>(i);
    area.contentChanged = contentBefore;
    area.marksChanged = marksBefore;
    return result;
}

}  // namespace pelorin
