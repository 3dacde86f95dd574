// SharedCount: the reference count of a value many records share (the message file's path, the
// text block of a load). An area of 100,000 messages takes and drops as many references when
// it loads and closes; like std::shared_ptr, the count uses no atomic instruction while the
// program has never started a second thread.
#pragma once

#include <utility>

#if defined(__GLIBCXX__)
#include <ext/atomicity.h>
#else
#include <atomic>
#endif

namespace pelorin {

class SharedCount {
public:
    SharedCount() = default;  // one reference: the maker's
    SharedCount(const SharedCount&) = delete;
    SharedCount& operator=(const SharedCount&) = delete;

    // Adds `n` references (a loader takes many at once; a negative `n` gives back some that
    // were never handed out, never the last one).
    void Add(int n = 1) noexcept {
#if defined(__GLIBCXX__)
        __gnu_cxx::__atomic_add_dispatch(&count_, n);
#else
        count_.fetch_add(n, std::memory_order_relaxed);
#endif
    }
    // Drops one reference; true when it was the last.
    bool Drop() noexcept {
#if defined(__GLIBCXX__)
        return __gnu_cxx::__exchange_and_add_dispatch(&count_, -1) == 1;
#else
        return count_.fetch_sub(1, std::memory_order_acq_rel) == 1;
#endif
    }

private:
#if defined(__GLIBCXX__)
    _Atomic_word count_ = 1;
#else
    std::atomic<long> count_{1};
#endif
};

// A value many records share through one pointer (a pointer is all a record pays for it),
// counted by SharedCount. Copies share the value; the last one to go frees it.
template <typename T>
class SharedBox {
public:
    SharedBox() = default;
    explicit SharedBox(T value)
        : node_(new Node(std::move(value))) {}
    SharedBox(const SharedBox& other) noexcept
        : node_(other.node_) {
        if (node_)
            node_->count.Add();
    }
    SharedBox(SharedBox&& other) noexcept
        : node_(std::exchange(other.node_, nullptr)) {}
    SharedBox& operator=(SharedBox other) noexcept {
        std::swap(node_, other.node_);
        return *this;
    }
    ~SharedBox() {
        if (node_ && node_->count.Drop())
            delete node_;
    }

    const T* get() const { return node_ ? &node_->value : nullptr; }

    // For CopyBatch: takes `n` references ahead (or gives back unused ones), and makes a copy
    // whose reference was taken so.
    void CountAhead(int n) const {
        if (node_)
            node_->count.Add(n);
    }
    SharedBox CountedCopy() const {
        SharedBox box;
        box.node_ = node_;
        return box;
    }

private:
    struct Node {
        explicit Node(T v)
            : value(std::move(v)) {}
        SharedCount count;
        const T value;
    };
    Node* node_ = nullptr;
};

// Copies of one shared value (a SharedPath, a record's store share) for the records of a load,
// their references taken a batch at a time instead of one each (an atomic operation each, once
// the program runs more than one thread). The source must outlive the batch.
template <typename Shared>
class CopyBatch {
public:
    explicit CopyBatch(const Shared& source)
        : source_(source) {}
    ~CopyBatch() {
        if (left_ > 0)
            source_.CountAhead(-left_);
    }
    CopyBatch(const CopyBatch&) = delete;
    CopyBatch& operator=(const CopyBatch&) = delete;

    Shared Next() {
        if (left_ == 0) {
            source_.CountAhead(kBatch);
            left_ = kBatch;
        }
        --left_;
        return source_.CountedCopy();
    }

private:
    static constexpr int kBatch = 4096;
    const Shared& source_;
    int left_ = 0;
};

}  // namespace pelorin
