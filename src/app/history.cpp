// The display history (see history.h).
#include "app/history.h"

namespace pelorin {

void THistory::Push(const std::string& messageId, QTreeWidgetItem* node) {
    if (!entries_.empty()) {
        if (entries_[static_cast<size_t>(position_)].messageId == messageId)
            return;
        entries_.resize(static_cast<size_t>(position_) + 1);
    }
    entries_.push_back({messageId, node});
    position_ = Count() - 1;
}

const THistory::Entry* THistory::Back() {
    if (!CanGoBack())
        return nullptr;
    --position_;
    return &entries_[static_cast<size_t>(position_)];
}

const THistory::Entry* THistory::Forward() {
    if (!CanGoForward())
        return nullptr;
    ++position_;
    return &entries_[static_cast<size_t>(position_)];
}

void THistory::ForgetNodes(const std::function<bool(const QTreeWidgetItem*)>& doomed) {
    std::vector<Entry> kept;
    int position = 0;
    for (int i = 0; i < Count(); ++i) {
        const Entry& e = entries_[static_cast<size_t>(i)];
        if (doomed(e.node))
            continue;
        kept.push_back(e);
        if (i <= position_)
            position = static_cast<int>(kept.size()) - 1;
    }
    entries_ = std::move(kept);
    position_ = entries_.empty() ? 0 : position;
}

void THistory::Clear() {
    entries_.clear();
    position_ = 0;
}

}  // namespace pelorin
