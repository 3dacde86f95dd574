// LineList: a message's text as lines (a TSList), held on the heap only once there are lines.
// The records of a loaded area have none until a message is read, so each pays one pointer for
// them instead of an empty vector's three.
//
// It reads like a const TSList (and converts to one); changes go through Edit, or the few
// vector-like calls below. clear() gives the memory back.
#pragma once

#include "store/strutil.h"

#include <memory>
#include <string>
#include <utility>

namespace pelorin {

class LineList {
public:
    LineList() = default;
    LineList(const LineList& other)
        : list_(other.empty() ? nullptr : std::make_unique<TSList>(*other.list_)) {}
    LineList(LineList&&) noexcept = default;
    LineList& operator=(const LineList& other) {
        if (this != &other)
            *this = LineList(other);
        return *this;
    }
    LineList& operator=(LineList&&) noexcept = default;
    LineList& operator=(TSList lines) {
        Edit() = std::move(lines);
        return *this;
    }

    const TSList& list() const { return list_ ? *list_ : Empty(); }
    operator const TSList&() const { return list(); }  // NOLINT(google-explicit-constructor)
    // The list to change, made when missing.
    TSList& Edit() {
        if (!list_)
            list_ = std::make_unique<TSList>();
        return *list_;
    }

    bool empty() const { return !list_ || list_->empty(); }
    size_t size() const { return list_ ? list_->size() : 0; }
    const std::string& operator[](size_t i) const { return (*list_)[i]; }
    const std::string& front() const { return list_->front(); }
    const std::string& back() const { return list_->back(); }
    TSList::const_iterator begin() const { return list().begin(); }
    TSList::const_iterator end() const { return list().end(); }
    void clear() noexcept { list_.reset(); }

    friend bool operator==(const LineList& a, const TSList& b) { return a.list() == b; }

private:
    static const TSList& Empty() {
        static const TSList empty;
        return empty;
    }
    std::unique_ptr<TSList> list_;
};

}  // namespace pelorin
