// Display orders (see threads.h).
//
// Sorted orders: the keys are folded to upper case once, then the entries are sorted by
// (folded key, file position descending). That is the order an insertion at the first entry
// not less than each new key would give, without its quadratic cost.
//
// Threads: each message looks back at most `threadRange` messages; Message-IDs and parent IDs
// are hashed into small flat tables that hold only the IDs of that window, so the
// n x threadRange comparisons become a lookup or two per message in the cache. The subtree walk
// follows child, sibling and parent links with no recursion, so a reply chain of any length
// cannot exhaust the call stack.
// Type 5 groups the roots by their subject (reply prefixes removed) so that joining costs one
// lookup per root rather than a scan of every later message.
#include "store/threads.h"

#include "store/strutil.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <unordered_map>

namespace pelorin {
namespace {

// Places in the file order are kept in 32 bits (no area holds four billion messages).
using Place = uint32_t;
constexpr Place kNone = UINT32_MAX;
constexpr Place kJoined = UINT32_MAX - 1;  // parent slot of a root joined by subject

std::string Number8(int32_t n) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%.8d", n);
    return buf;
}

void SetPositions(DisplayList& list) {
    for (size_t i = 0; i < list.size(); ++i) list[i].msg->displayPos = static_cast<int32_t>(i);
}

void FileOrder(const std::vector<std::unique_ptr<TMsg>>& messages,
               DisplayList& out,
               bool inFileOrder) {
    out.clear();
    out.reserve(messages.size());
    if (inFileOrder) {
        for (const auto& m : messages) out.push_back({m.get()});
        return;
    }
    for (const auto& m : messages) {
        m->depth = 0;
        m->displayPos = static_cast<int32_t>(out.size());
        out.push_back({m.get()});
    }
}

void SortedOrder(const std::vector<std::unique_ptr<TMsg>>& messages,
                 int type,
                 DisplayList& out,
                 const std::function<void(size_t, size_t)>& progress) {
    struct Item {
        std::string folded;  // the key folded to upper case
        size_t index;
    };
    std::vector<Item> items;
    items.reserve(messages.size());
    for (size_t i = 0; i < messages.size(); ++i) {
        TMsg& m = *messages[i];
        m.depth = 0;
        std::string key;
        if (type == 2)
            key = StripReplyPrefixes(m.subject);
        else if (type == 3)
            key = m.FromAddress();
        else
            key = m.SortDate();
        key += Number8(m.number);
        items.push_back({SjisUpper(key), i});
        if (progress)
            progress(i, messages.size());
    }
    std::sort(items.begin(), items.end(), [](const Item& a, const Item& b) {
        int c = a.folded.compare(b.folded);
        return c != 0 ? c < 0 : a.index > b.index;
    });
    out.clear();
    out.reserve(items.size());
    for (const Item& it : items) out.push_back({messages[it.index].get()});
}

// IDs hashed into one flat table (open addressing, linear probing). A slot holds only an ID's
// hash and where its entry is, eight bytes: probing, what most lookups of a new ID come to,
// reads a table small enough for the first-level cache. The entries lie in the order they
// were made.
class IdTable {
public:
    struct Entry {
        const char* id;
        uint32_t size;
        Place last = kNone;  // latest place of a message with this Message-ID
        Place firstWaiting = kNone, lastWaiting = kNone;
    };

    // Up to two IDs per message (its own and the parent ID it waits for), and the table at
    // most a third full even then: linear probing slows down sharply as a table fills (at
    // half the size, thread order took a fifth longer). A power of two: a slot is a mask away.
    explicit IdTable(size_t messages)
        : slots_(std::bit_ceil(3 * messages + 16)) {
        entries_.reserve(2 * messages);
    }

    void Clear() {
        if (entries_.empty())
            return;
        std::memset(static_cast<void*>(slots_.data()), 0, slots_.size() * sizeof(Slot));  // free
        entries_.clear();
    }

    // A quick hash of a short text (IDs are 20 to 60 bytes): sixteen bytes per wide
    // multiplication whose halves are folded, in two lanes that do not wait for each other;
    // the last thirty-two bytes (overlapping what went before) close both lanes. A poor spread
    // only costs probes: a table holds one window's IDs, so even IDs made to collide cost no
    // more than comparing every pair in the window.
    static uint32_t Hash(std::string_view id) {
        const char* const p = id.data();
        const size_t n = id.size();
        if (n > 16 && n <= 32) {  // the first sixteen bytes and the last sixteen
            return static_cast<uint32_t>(
                Mix(Word(p) ^ 0xA0761D6478BD642FULL, Word(p + 8) ^ 0x9E3779B97F4A7C15ULL ^ n) ^
                Mix(Word(p + n - 16) ^ 0xE7037ED1A0B428DBULL,
                    Word(p + n - 8) ^ 0x8EBC6AF09C88C6E3ULL));
        }
        if (n > 32) {
            uint64_t h1 = 0x9E3779B97F4A7C15ULL ^ n, h2 = 0xA0761D6478BD642FULL;
            for (size_t i = 0; i + 32 < n; i += 32) {
                h1 = Mix(Word(p + i) ^ 0xE7037ED1A0B428DBULL, Word(p + i + 8) ^ h1);
                h2 = Mix(Word(p + i + 16) ^ 0x8EBC6AF09C88C6E3ULL, Word(p + i + 24) ^ h2);
            }
            const char* const last = p + n - 32;
            return static_cast<uint32_t>(
                Mix(Word(last) ^ 0x589965CC75374CC3ULL, Word(last + 8) ^ h1) ^
                Mix(Word(last + 16) ^ 0x1D8E4E27C47D124FULL, Word(last + 24) ^ h2));
        }
        uint64_t a, b;
        if (n >= 8) {
            a = Word(p);
            b = Word(p + n - 8);
        } else if (n >= 4) {
            a = Half(p);
            b = Half(p + n - 4);
        } else {
            a = n == 0 ? 0
                       : uint64_t{static_cast<unsigned char>(p[0])} << 16 |
                             uint64_t{static_cast<unsigned char>(p[n / 2])} << 8 |
                             static_cast<unsigned char>(p[n - 1]);
            b = 0;
        }
        return static_cast<uint32_t>(Mix(a ^ 0xE7037ED1A0B428DBULL, b ^ 0x8EBC6AF09C88C6E3ULL ^ n));
    }
    // The parent ID of a record that names none (kNoParentId). As an ID like any other it
    // could be a Message-ID too, so it is linked like one; but every message that starts a
    // thread names it, so it is kept out of the tables.
    static bool IsBlanks(std::string_view id) {
        // Two loads, not a comparison of five bytes one by one.
        return id.size() == kNoParentId.size() && Half(id.data()) == Half(kNoParentId.data()) &&
               id[4] == kNoParentId[4];
    }

    // The index of the entry of `id`, or kNoEntry.
    static constexpr uint32_t kNoEntry = UINT32_MAX;
    uint32_t Find(std::string_view id, uint32_t h) const {
        for (size_t i = Home(h);; i = Next(i)) {
            const Slot s = slots_[i];
            if (s.entry == 0)
                return kNoEntry;
            if (s.hash == h && Same(entries_[s.entry - 1], id))
                return s.entry - 1;
        }
    }
    Entry& operator[](uint32_t index) { return entries_[index]; }
    const Entry& operator[](uint32_t index) const { return entries_[index]; }

    // The entry of `id`, made when missing (then `made` is set). A reference stays valid
    // until the next At.
    [[gnu::always_inline]] Entry& At(std::string_view id, uint32_t h, bool& made) {
        if ((entries_.size() + 1) * 4 > slots_.size() * 3)
            Grow();  // room for one more, whether or not it is needed
        for (size_t i = Home(h);; i = Next(i)) {
            Slot& s = slots_[i];
            if (s.entry == 0) {
                entries_.push_back({id.data(), static_cast<uint32_t>(id.size())});
                s = {h, static_cast<uint32_t>(entries_.size())};
                made = true;
                return entries_.back();
            }
            if (s.hash == h && Same(entries_[s.entry - 1], id)) {
                made = false;
                return entries_[s.entry - 1];
            }
        }
    }

private:
    struct Slot {
        uint32_t hash = 0;
        uint32_t entry = 0;  // 1 + the entry's index; 0: a free slot
    };

    // The first slot of a hash, and the next to probe (the size is a power of two).
    size_t Home(uint32_t h) const { return h & (slots_.size() - 1); }
    size_t Next(size_t i) const { return (i + 1) & (slots_.size() - 1); }

    static bool Same(const Entry& e, std::string_view id) {
        return e.size == id.size() && SameBytes(e.id, id.data(), id.size());
    }

    // Equal bytes, compared eight at a time without a call (IDs are short).
    static bool SameBytes(const char* a, const char* b, size_t n) {
        if (n < 8) {
            // Short IDs too, without a call to memcmp.
            if (n >= 4)
                return Half(a) == Half(b) && Half(a + n - 4) == Half(b + n - 4);
            for (size_t i = 0; i < n; ++i) {
                if (a[i] != b[i])
                    return false;
            }
            return true;
        }
        if (n <= 16)  // the first eight and the last eight, overlapping
            return ((Word(a) ^ Word(b)) | (Word(a + n - 8) ^ Word(b + n - 8))) == 0;
        if (n <= 32) {  // the first sixteen and the last sixteen, likewise
            return ((Word(a) ^ Word(b)) | (Word(a + 8) ^ Word(b + 8)) |
                    (Word(a + n - 16) ^ Word(b + n - 16)) | (Word(a + n - 8) ^ Word(b + n - 8))) ==
                   0;
        }
        for (size_t i = 0; i + 8 < n; i += 8) {
            if (Word(a + i) != Word(b + i))
                return false;
        }
        return Word(a + n - 8) == Word(b + n - 8);  // the last eight, overlapping
    }
    static uint64_t Word(const char* p) {
        uint64_t w;
        std::memcpy(&w, p, 8);
        return w;
    }
    static uint64_t Half(const char* p) {
        uint32_t w;
        std::memcpy(&w, p, 4);
        return w;
    }
    // The two halves of a full product, folded: every bit of either factor reaches the result.
    static uint64_t Mix(uint64_t a, uint64_t b) {
        const unsigned __int128 r = static_cast<unsigned __int128>(a) * b;
        return static_cast<uint64_t>(r) ^ static_cast<uint64_t>(r >> 64);
    }

    void Grow() {
        std::vector<Slot> old(slots_.size() * 2);
        old.swap(slots_);
        for (const Slot& s : old) {
            if (s.entry == 0)
                continue;
            size_t i = Home(s.hash);
            while (slots_[i].entry != 0) i = Next(i);
            slots_[i] = s;
        }
    }

    std::vector<Slot> slots_;
    std::vector<Entry> entries_;
};

// The IDs that can still link: those of the last `window` places. Lookups never accept a place
// further back, so each block of `window` places fills a table of its own; an ID changed
// later moves into the newer table, and a table two blocks old holds nothing any later
// message can accept and is emptied for reuse. Both tables stay small enough for the cache.
class WindowIds {
public:
    WindowIds(size_t window, size_t messages)
        : block_(std::max<size_t>(window, 1))
        , end_(block_)
        , newer_(std::min(block_, messages))
        , older_(std::min(block_, messages)) {}

    // Called with each place in turn, before its lookups.
    void Reach(size_t place) {
        if (place < end_)
            return;
        std::swap(newer_, older_);
        std::swap(newerHashes_, olderHashes_);
        newer_.Clear();
        newerHashes_->fill(0);
        end_ = place + block_;
    }

    // Where a lookup found an ID: its entry (null when neither table holds it), and the
    // entry's index when the newer table holds it (IdTable::kNoEntry when not).
    struct Found {
        const IdTable::Entry* entry = nullptr;
        uint32_t newer = IdTable::kNoEntry;
    };
    Found Find(std::string_view id, uint32_t h) const {
        if (MayHold(*newerHashes_, h)) {
            const uint32_t i = newer_.Find(id, h);
            if (i != IdTable::kNoEntry)
                return {&newer_[i], i};
        }
        if (MayHold(*olderHashes_, h)) {
            const uint32_t i = older_.Find(id, h);
            if (i != IdTable::kNoEntry)
                return {&older_[i]};
        }
        return {};
    }
    // The entry a Find saw in the newer table, which only a Reach empties.
    IdTable::Entry& Newer(uint32_t index) { return newer_[index]; }

    // The entry of `id` in the newer table (with what the older one knew), made when missing.
    [[gnu::always_inline]] IdTable::Entry& Change(std::string_view id, uint32_t h) {
        bool made = false;
        IdTable::Entry& e = newer_.At(id, h, made);
        if (made) {
            (*newerHashes_)[Bit(h) / 64] |= uint64_t{1} << (Bit(h) % 64);
            if (MayHold(*olderHashes_, h)) {
                const uint32_t before = older_.Find(id, h);
                if (before != IdTable::kNoEntry)
                    e = older_[before];
            }
        }
        return e;
    }

private:
    // A bit per slice of hashes, set for each ID a table holds: most IDs are new, and a clear
    // bit spares their search of the older table.
    using Hashes = std::array<uint64_t, 128>;
    static size_t Bit(uint32_t h) { return h >> 19; }  // 13 bits: 8192 slices
    static bool MayHold(const Hashes& hashes, uint32_t h) {
        return (hashes[Bit(h) / 64] >> (Bit(h) % 64)) & 1;
    }

    size_t block_, end_;
    IdTable newer_, older_;
    // Two maps, the newer and the older table's, swapped with the tables.
    std::unique_ptr<Hashes[]> hashes_ = std::make_unique<Hashes[]>(2);
    Hashes* newerHashes_ = &hashes_[0];
    Hashes* olderHashes_ = &hashes_[1];
};

// The records of a thread build, read by place.
struct ListRecords {
    const std::vector<std::unique_ptr<TMsg>>& list;
    TMsg& operator[](size_t k) const { return *list[k]; }
};

// Builds thread order. Linking takes the messages one at a time in file order, so it can go
// along with a load; the arrays grow as messages come.
class ThreadBuilder {
public:
    // Room for `capacity` messages, and ID tables for `listed` (more may come).
    ThreadBuilder(size_t capacity, size_t listed, int threadRange)
        : range_(threadRange < 0 ? 0 : static_cast<size_t>(threadRange))
        , ids_(range_ + 1, listed)
        , capacity_(capacity)
        , parent_(std::make_unique_for_overwrite<Place[]>(capacity))
        , next_(std::make_unique_for_overwrite<Place[]>(capacity)) {}

    // Room for `capacity` messages; before the first is linked, ID tables sized for them too.
    void Reserve(size_t capacity) {
        if (linked_ == 0)
            ids_ = WindowIds(range_ + 1, capacity);
        if (capacity > capacity_)
            Grow(capacity);
    }

    // Links message k, the next in file order, to a parent within `range_` places before it:
    // the nearest earlier message whose Message-ID is k's parent ID; and takes as children the
    // earlier messages in the range, still without a parent, whose parent ID is k's Message-ID
    // (a reply filed before what it answers). Children are listed in file order, those found
    // from the child's side before those found later from the parent's side. This is what
    // comparing every pair within the range gives, found through the window's ID tables.
    [[gnu::always_inline]] void Step(std::string_view messageId, std::string_view parentId) {
        const size_t k = linked_;
        if (k >= capacity_)
            Grow(2 * capacity_ + 1024);
        ++linked_;
        // Per ID: the latest place of a message with that Message-ID, and the messages still
        // without a parent that wait for it, in file order (a list through nextWaiting).
        Place* const nextWaiting = next_.get();  // sibling links are made after linking
        Place* const parent = parent_.get();
        ids_.Reach(k);
        const size_t low = k > range_ ? k - range_ : 0;
        parent[k] = nextWaiting[k] = kNone;
        // A message without a parent names five blanks (see IdTable::IsBlanks): that ID has an
        // entry of its own, out of the tables.
        const bool noParent = IdTable::IsBlanks(parentId);
        // Both hashes first: they depend on nothing that follows, and get done while the
        // processor waits for the tables.
        const uint32_t parentHash = noParent ? 0 : IdTable::Hash(parentId);
        const uint32_t messageHash = IdTable::Hash(messageId);
        WindowIds::Found waitFor;
        if (!parentId.empty()) {
            waitFor = noParent ? WindowIds::Found{&blanks_} : ids_.Find(parentId, parentHash);
            const IdTable::Entry* e = waitFor.entry;
            if (e && e->last != kNone && e->last >= low)
                parent[k] = e->last;
        }
        if (!messageId.empty()) {
            IdTable::Entry& e =
                IdTable::IsBlanks(messageId) ? blanks_ : ids_.Change(messageId, messageHash);
            for (Place j = e.firstWaiting; j != kNone; j = nextWaiting[j]) {
                // Places before the range never come into it again.
                if (j >= low && parent[j] == kNone) {
                    parent[j] = static_cast<Place>(k);
                    forward_ = true;
                }
            }
            e.firstWaiting = e.lastWaiting = kNone;
            e.last = static_cast<Place>(k);
        }
        if (parent[k] == kNone && !parentId.empty()) {
            // An entry the lookup found in the newer table is still there (linking the
            // Message-ID only adds entries): no second search.
            IdTable::Entry& e = noParent ? blanks_
                                : waitFor.newer != IdTable::kNoEntry
                                    ? ids_.Newer(waitFor.newer)
                                    : ids_.Change(parentId, parentHash);
            // Those waiting before the range can never be claimed again: the list starts anew.
            if (e.lastWaiting == kNone || e.lastWaiting < low)
                e.firstWaiting = static_cast<Place>(k);
            else
                nextWaiting[e.lastWaiting] = static_cast<Place>(k);
            e.lastWaiting = static_cast<Place>(k);
        }
    }

    // Links every message of a list.
    template <class Records>
    void Link(const Records& records,
              size_t n,
              const std::function<void(size_t, size_t)>& progress) {
        for (size_t k = 0; k < n; ++k) {
            // The records and their IDs are read once each, in order: ask for them ahead.
            if (k + 32 < n) {
                const char* ahead = reinterpret_cast<const char*>(&records[k + 32]);
                __builtin_prefetch(ahead);
                __builtin_prefetch(ahead + 64);
            }
            const TMsg& mk = records[k];
            const std::string_view messageId = mk.messageId.view();
            // Records usually view text laid out in file order (an index, or the chunks of a
            // load): the IDs of the next messages most likely lie a little further on.
            // (The address is only a hint: it is computed as a number, never used as a pointer.)
            const auto further = reinterpret_cast<uintptr_t>(messageId.data()) + 1024;
            __builtin_prefetch(reinterpret_cast<const void*>(further));
            __builtin_prefetch(reinterpret_cast<const void*>(further + 64));
            Step(messageId, mk.parentId.view());
            if (progress && k > 0 && k % 1024 == 0)
                progress(k, n);
        }
    }

    size_t Linked() const { return linked_; }

    // The linking arrays: where they are and their size in bytes.
    std::vector<record_pool::Prepared::Span> Room() const {
        return {{parent_.get(), capacity_ * sizeof(Place)},
                {next_.get(), capacity_ * sizeof(Place)}};
    }

    // Lists the linked messages in thread order into `out`, writing each record's depth and
    // place in the list: roots in file order, each followed by its replies depth-first; with
    // `joinBySubject`, each root followed by the later roots of its subject.
    template <class Records>
    void List(const Records& records, bool joinBySubject, DisplayList& out) {
        if (!joinBySubject && !forward_) {
            ListInFileOrder(records, out);
            return;
        }
        Order(records, joinBySubject);
        WriteRecords(records);
        const size_t n = linked_;
        out.clear();
        out.reserve(n);
        for (size_t i = 0; i < n; ++i) out.push_back({&records[order_[i]]});
    }

private:
    // When every parent stands before its replies (no reply was filed before what it
    // answers), the order comes from two passes in file order, with no walk through the
    // trees: backwards, each thread's size is added to its parent's; forwards, each message
    // takes its parent's next free place, and leaves room after its own for its replies.
    // A parent lies at most `range_` places back, in the cache.
    template <class Records>
    void ListInFileOrder(const Records& records, DisplayList& out) {
        const size_t n = linked_;
        if (capacity_ < n + 1)
            Grow(n + 1);
        // Slot n stands for the root above every thread: roots are its replies, so neither
        // pass tells roots from replies by a branch the processor must guess.
        Place* const parent = parent_.get();
        Place* const size = next_.get();  // the waiting lists are done with
        std::fill(size, size + n + 1, 0);
        for (size_t k = n; k-- > 0;) {
            const Place s = size[k] + 1;  // the message and its replies
            size[k] = s;
            const Place p = parent[k];
            size[p == kNone ? n : p] += s;
        }
        out.resize(n);
        Place* const free = size;  // a message's own size is read before its free place is set
        free[n] = 0;
        // Each message's depth replaces its parent slot once read; the depth of slot n is
        // one less than 0, so roots come out at 0.
        Place* const depth = parent;
        depth[n] = kNone;
        for (size_t k = 0; k < n; ++k) {
            TMsg& m = records[k];
            const Place p = parent[k] == kNone ? static_cast<Place>(n) : parent[k];
            const Place at = free[p];
            free[p] = at + size[k];
            free[k] = at + 1;
            const Place d = depth[p] + 1;
            depth[k] = d;
            m.depth = static_cast<int32_t>(d);
            m.displayPos = static_cast<int32_t>(at);
            out[at].msg = &m;
        }
    }

    // The general order, with a walk through the trees.
    template <class Records>
    void Order(const Records& records, bool joinBySubject) {
        const size_t n = linked_;
        MakeChildLists(n);
        listed_ = 0;
        Place* const parent = parent_.get();
        if (!joinBySubject) {
            for (size_t i = 0; i < n; ++i) {
                if (parent[i] == kNone)
                    ListTree(static_cast<Place>(i));
            }
        } else {
            std::unordered_map<std::string_view, std::vector<Place>> by_subject;
            for (size_t i = 0; i < n; ++i) {
                if (parent[i] == kNone)
                    by_subject[StripReplyPrefixes(records[i].subject)].push_back(
                        static_cast<Place>(i));
            }
            for (size_t i = 0; i < n; ++i) {
                if (parent[i] != kNone)
                    continue;
                ListTree(static_cast<Place>(i));
                if (i + 1 >= n)
                    continue;
                for (const Place b : by_subject[StripReplyPrefixes(records[i].subject)]) {
                    if (b > i && parent[b] == kNone) {
                        parent[b] = kJoined;
                        ListTree(b);
                    }
                }
            }
        }
        // Messages caught in a loop of parent links hang from no root: list them where the file
        // order meets them.
        if (listed_ < n)
            ListLoops(n);
    }

    // Writes each record's depth and place in the list. The records are written in file order
    // (memory read in order, not at random).
    template <class Records>
    void WriteRecords(const Records& records) {
        const size_t n = linked_;
        Place* const position = parent_.get();  // the parents are no longer needed
        for (size_t i = 0; i < n; ++i) position[order_[i]] = static_cast<Place>(i);
        for (size_t k = 0; k < n; ++k) {
            TMsg& m = records[k];
            m.depth = depth_[k];
            m.displayPos = static_cast<int32_t>(position[k]);
        }
    }

    // Each message's children as a list in file order (firstChild_, then next_), made from the
    // parent links. Linking meets a message's children in that order too: those filed before
    // it when it comes, those filed after it as they come.
    void MakeChildLists(size_t n) {
        firstChild_ = std::make_unique_for_overwrite<Place[]>(n);
        depth_ = std::make_unique_for_overwrite<int32_t[]>(n);
        order_ = std::make_unique_for_overwrite<Place[]>(n);
        Place* const firstChild = firstChild_.get();
        std::fill(firstChild, firstChild + n, kNone);
        for (size_t k = n; k-- > 0;) {
            const Place p = parent_[k];
            if (p < n) {
                next_[k] = firstChild[p];
                firstChild[p] = static_cast<Place>(k);
            }
        }
    }

    // Appends `root` at depth 0 and its subtree depth-first. A root hangs from nothing, so
    // what hangs from it is a tree: the walk goes down to first children, on to next
    // siblings and back up by the parent links, with no stack and no check for a message met
    // twice.
    void ListTree(Place root) {
        Place x = root;
        int32_t depth = 0;
        for (;;) {
            depth_[x] = depth;
            order_[listed_++] = x;
            if (firstChild_[x] != kNone) {
                x = firstChild_[x];
                ++depth;
                continue;
            }
            while (x != root && next_[x] == kNone) {
                x = parent_[x];
                --depth;
            }
            if (x == root)
                return;
            x = next_[x];
        }
    }

    // Lists what the roots left out, each message at the first place of the file order not yet
    // listed, with what hangs from it that is not listed yet (only loops get here).
    void ListLoops(size_t n) {
        std::vector<char> listed(n, 0);
        for (size_t i = 0; i < listed_; ++i) listed[order_[i]] = 1;
        struct Frame {
            Place msg;
            int32_t depth;
        };
        std::vector<Frame> stack;
        for (size_t i = 0; i < n; ++i) {
            if (listed[i])
                continue;
            stack.push_back({static_cast<Place>(i), 0});
            while (!stack.empty()) {
                const Frame f = stack.back();
                stack.pop_back();
                if (listed[f.msg])
                    continue;
                listed[f.msg] = 1;
                depth_[f.msg] = f.depth;
                order_[listed_++] = f.msg;
                // The children go on the stack last first, so the first is taken next.
                const size_t mark = stack.size();
                for (Place c = firstChild_[f.msg]; c != kNone; c = next_[c])
                    stack.push_back({c, f.depth + 1});
                std::reverse(stack.begin() + static_cast<std::ptrdiff_t>(mark), stack.end());
            }
        }
    }

    // Room for `capacity` messages in the linking arrays, keeping those linked.
    void Grow(size_t capacity) {
        auto parent = std::make_unique_for_overwrite<Place[]>(capacity);
        auto next = std::make_unique_for_overwrite<Place[]>(capacity);
        std::memcpy(parent.get(), parent_.get(), linked_ * sizeof(Place));
        std::memcpy(next.get(), next_.get(), linked_ * sizeof(Place));
        parent_ = std::move(parent);
        next_ = std::move(next);
        capacity_ = capacity;
    }

    size_t range_;
    WindowIds ids_;
    // The entry of the ID of five blanks, which no window forgets: a window forgets an entry
    // only once all it knows lies before the range of every message to come.
    IdTable::Entry blanks_{kNoParentId.data(), static_cast<uint32_t>(kNoParentId.size())};
    size_t capacity_ = 0;  // room in parent_ and next_
    size_t linked_ = 0;
    bool forward_ = false;  // some reply was filed before its parent
    // Parent slot of each message: place, kNone or kJoined; then its display position.
    std::unique_ptr<Place[]> parent_;
    // While linking, the messages waiting for the same parent ID (a list per ID); then each
    // message's next sibling, or the size of its thread.
    std::unique_ptr<Place[]> next_;
    std::unique_ptr<Place[]> firstChild_;
    std::unique_ptr<int32_t[]> depth_;  // thread depth of each listed message
    std::unique_ptr<Place[]> order_;    // the display order, as places
    size_t listed_ = 0;                 // places in order_
};

}  // namespace

struct ThreadPrelink::Builder : ThreadBuilder {
    using ThreadBuilder::ThreadBuilder;
};

// The ID tables start small (a window may be far longer than the area) and grow with what
// they hold, or are sized by Expect.
ThreadPrelink::ThreadPrelink(int threadRange)
    : range_(threadRange)
    , builder_(std::make_unique<Builder>(0, 0, threadRange)) {}

void ThreadPrelink::Expect(size_t records) {
    builder_->Reserve(records + 1);  // and the place listing adds
    list_.reserve(records);
}

std::vector<record_pool::Prepared::Span> ThreadPrelink::Room() {
    auto room = builder_->Room();
    room.push_back({list_.data(), list_.capacity() * sizeof(DisplayEntry)});
    return room;
}

ThreadPrelink::~ThreadPrelink() = default;

void ThreadPrelink::Add(const TMsg& record) {
    builder_->Step(record.messageId.view(), record.parentId.view());
}

bool ThreadPrelink::Take(const std::vector<std::unique_ptr<TMsg>>& messages,
                         int threadRange,
                         DisplayList& out) {
    if (threadRange != range_ || builder_->Linked() != messages.size())
        return false;
    builder_->List(ListRecords{messages}, false, list_);
    out.swap(list_);
    list_ = DisplayList();
    return true;
}

std::string_view StripReplyPrefixes(std::string_view subject) {
    while (subject.size() >= 4 && (subject[0] == 'R' || subject[0] == 'r') &&
           (subject[1] == 'E' || subject[1] == 'e') && subject[2] == ':' &&
           (subject[3] == ' ' || subject[3] == '_'))
        subject.remove_prefix(4);
    return subject;
}

bool BuildDisplayList(const std::vector<std::unique_ptr<TMsg>>& messages,
                      int type,
                      int threadRange,
                      DisplayList& out,
                      const std::function<void(size_t, size_t)>& progress,
                      bool inFileOrder) {
    // File and thread order set each record's position as they list it (one visit to each
    // record instead of two); the sorted orders set them after sorting.
    switch (type) {
        case 0:
            FileOrder(messages, out, inFileOrder);
            break;
        case 2:
        case 3:
        case 4:
            SortedOrder(messages, type, out, progress);
            SetPositions(out);
            break;
        case 1:
        case 5: {
            const ListRecords records{messages};
            // One place more than the messages: listing uses it for the root above every thread.
            ThreadBuilder builder(messages.size() + 1, messages.size(), threadRange);
            builder.Link(records, messages.size(), progress);
            builder.List(records, type == 5, out);
            break;
        }
        default:
            return false;
    }
    return true;
}

}  // namespace pelorin
