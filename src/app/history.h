// THistory: the display history of the main window, a list of (Message-ID, area node) entries
// and a position, without a size limit.
//
// Push (after every message shown): the first entry is simply appended. Later, when the entry
// at the position names a different Message-ID, every entry after the position is dropped and
// the new one appended; showing the message at the position again adds nothing. The position
// is always the last entry after a push. Back and Forward move the position by one and return
// the entry to show (null at either end). Nodes are only compared, never followed, here:
// ForgetNodes drops the entries of nodes that are about to be deleted (a closed packet), so a
// later move never reaches a removed node.
#pragma once

#include <functional>
#include <string>
#include <vector>

class QTreeWidgetItem;

namespace pelorin {

class THistory {
public:
    struct Entry {
        std::string messageId;
        QTreeWidgetItem* node = nullptr;
    };

    void Push(const std::string& messageId, QTreeWidgetItem* node);
    // The entry one step back / forward, which becomes the position; null when there is none.
    const Entry* Back();
    const Entry* Forward();
    bool CanGoBack() const { return position_ > 0; }
    bool CanGoForward() const { return position_ + 1 < static_cast<int>(entries_.size()); }

    // Drops every entry whose node `doomed` reports; the position stays on the same entry when
    // it survives, else on the nearest surviving entry before it.
    void ForgetNodes(const std::function<bool(const QTreeWidgetItem*)>& doomed);
    void Clear();

    int Position() const { return position_; }
    int Count() const { return static_cast<int>(entries_.size()); }
    const std::vector<Entry>& Entries() const { return entries_; }

private:
    std::vector<Entry> entries_;
    int position_ = 0;
};

}  // namespace pelorin
