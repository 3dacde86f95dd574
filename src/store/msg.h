// TMsg: one message of an area. It holds the header fields that lists, sorts and threads need
// (decoded Subject and From, raw Date, Message-ID, References and parent ID), where the
// message lies in its message file, its mark, thread depth and check flag, and - once asked
// for - its text as lines. It also offers the header lookup used throughout the program and
// the %-template expansion (msg_expand.cpp) behind list rows, status texts, tab captions,
// attribution lines and print headers.
//
// A record made by an area loader holds only its header fields; its text stays in the message
// file until LoadLines (or Header, which loads on demand) reads it. A record made by FromLines
// from a composed text has no message file and keeps the lines it was given.
//
// From and Date are reached through accessors because the sender's name and address and the
// sort key are computed from them on first use and cached; setting either clears its caches.
// Every other field is plain data that the area store, the thread builder and the main window
// read and set directly. The record owns its lines; copying a record copies them.
//
// Strings are Shift_JIS bytes; the message file path is Shift_JIS text too (see DiskPath).
#pragma once

#include "store/line_list.h"
#include "store/record_pool.h"
#include "store/record_text.h"
#include "store/shared_count.h"
#include "store/strutil.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

namespace pelorin {

// The message file's path, one string shared by every record of an area instead of a copy per
// message (an area may hold hundreds of thousands). Reads like a const std::string.
class SharedPath {
public:
    SharedPath() = default;
    SharedPath(std::string path)  // NOLINT(google-explicit-constructor): a path is a path
        : box_(path.empty() ? SharedBox<std::string>() : SharedBox<std::string>(std::move(path))) {}
    SharedPath(const char* path)  // NOLINT(google-explicit-constructor)
        : SharedPath(std::string(path)) {}

    const std::string& str() const { return box_.get() ? *box_.get() : Empty(); }
    operator const std::string&() const { return str(); }  // NOLINT(google-explicit-constructor)
    operator std::string_view() const { return str(); }    // NOLINT(google-explicit-constructor)
    bool empty() const { return !box_.get(); }
    bool operator==(const SharedPath& other) const { return str() == other.str(); }

    // For CopyBatch (see SharedBox).
    void CountAhead(int n) const { box_.CountAhead(n); }
    SharedPath CountedCopy() const { return SharedPath(box_.CountedCopy()); }

private:
    explicit SharedPath(SharedBox<std::string> box)
        : box_(std::move(box)) {}
    static const std::string& Empty() {
        static const std::string empty;
        return empty;
    }
    SharedBox<std::string> box_;  // one pointer: a record holds one
};

// The parent ID of a record whose index line names no References: five blanks, which match no
// Message-ID a message would carry. (A References value without a "<...>" token gets the same
// five blanks after it.)
inline constexpr std::string_view kNoParentId = "     ";

class TMsg {
public:
    TMsg() = default;

    // Records are allocated in bulk (record_pool.h).
    static void* operator new(std::size_t size) { return record_pool::Allocate(size); }
    static void operator delete(void* p, std::size_t size) noexcept { record_pool::Free(p, size); }

    // ---- fields, in record order ----
    SharedPath msgFile;  // path of the area's .MSG file; empty for a record built from lines
    int64_t offset = 0;  // byte position of the message's first byte in msgFile
    RecordText subject;  // decoded Subject: DecodeHeaderWords, Unfold, JisToSjis

    // From (decoded like subject) and Date (raw) with their caches: see From(), Date() below.

    RecordText messageId;    // raw Message-ID value, with its angle brackets
    RecordText parentId;     // Message-ID of the parent: last "<...>" token of References
    RecordText references;   // raw References value, or the last token of In-Reply-To
    int64_t length = 0;      // bytes of the message in msgFile (files pass 2 GiB)
    int32_t lineCount = 0;   // number of lines of the message
    int32_t number = 0;      // message number from the index; 0 when unknown
    char mark = '*';         // '*' unread, ' ' read, '-' to delete, '+' kept; others kept as read
    bool checked = false;    // check flag: selected in the list, or set by a sub-command
    int32_t depth = 0;       // thread depth for indentation; 0 outside the thread view
    int32_t displayPos = 0;  // position in the area's display list
    LineList lines;          // the message text as lines; empty until loaded

    // ---- From and Date ----
    const RecordText& From() const { return from_; }  // decoded like subject
    void SetFrom(std::string_view from);              // also forgets FromName/FromAddress
    void SetFrom(RecordText from);
    const RecordText& Date() const { return date_; }  // raw Date value
    void SetDate(std::string_view date);              // also forgets SortDate
    void SetDate(RecordText date);

    // The text block the fields of records from one load view (see record_text.h); shared so
    // that it lives as long as any of them. A copy of a record owns its text and shares none.
    class StoreShare {
    public:
        StoreShare() = default;
        explicit StoreShare(std::shared_ptr<const TextStore> store)
            : box_(store ? Box(std::move(store)) : Box()) {}
        StoreShare(const StoreShare&) {}
        StoreShare& operator=(const StoreShare&) { return *this; }
        StoreShare(StoreShare&&) noexcept = default;
        StoreShare& operator=(StoreShare&&) noexcept = default;
        const TextStore* get() const { return box_.get() ? box_.get()->get() : nullptr; }

        // For CopyBatch (see SharedBox).
        void CountAhead(int n) const { box_.CountAhead(n); }
        StoreShare CountedCopy() const {
            StoreShare s;
            s.box_ = box_.CountedCopy();
            return s;
        }

    private:
        using Box = SharedBox<std::shared_ptr<const TextStore>>;
        Box box_;
    };
    StoreShare textStore;

    // ---- text ----

    // The message's bytes: `length` bytes from `offset` of msgFile, read in pieces of 2048
    // bytes. Empty when the length is 0 or less, the offset is negative or the file is
    // missing; a file shorter than offset + length gives what is there.
    std::string ReadText() const;
    // Fills `lines` from ReadText, split at LF (a CR before an LF stays in its line; a last
    // piece without LF is a line of its own; an empty text gives one empty line). A record
    // without a message file keeps the lines it holds.
    void LoadLines();

    // The value of the first header field `name` of the message (see HeaderValue); loads the
    // lines first when none are held.
    std::string Header(std::string_view name);

    // ---- computed on first use and cached ----
    const std::string& FromAddress() const;  // AddressPart of From (address_parts.h)
    const std::string& FromName() const;     // NamePart of From
    const std::string& SortDate() const;     // SortKeyDate of Date (dates.h)

    // Expands a %-template against this message (msg_expand.cpp describes the language).
    // Never reads past the template, whatever it holds. May load the lines (for %N, %O and
    // %[name]).
    std::string Expand(std::string_view tmpl);

    // A record of a composed text: lines copied; Subject and From from Header, decoded; Date
    // and Message-ID raw; parent ID the last "<...>" token of the References value followed by
    // six blanks (so a value with no token gives a parent ID that matches no Message-ID);
    // references empty; lineCount the number of lines; no message file; mark '*'.
    static TMsg FromLines(const TSList& lines);

private:
    // The values computed from From and Date, kept apart and made only when first asked for:
    // a record shown in file or thread order never needs them.
    struct Computed {
        std::string fromName, fromAddress, sortDate;
        bool haveFromName = false, haveFromAddress = false, haveSortDate = false;
    };
    class ComputedBox {
    public:
        ComputedBox() = default;
        ComputedBox(const ComputedBox& o)
            : p_(o.p_ ? std::make_unique<Computed>(*o.p_) : nullptr) {}
        ComputedBox& operator=(const ComputedBox& o) {
            p_ = o.p_ ? std::make_unique<Computed>(*o.p_) : nullptr;
            return *this;
        }
        ComputedBox(ComputedBox&&) noexcept = default;
        ComputedBox& operator=(ComputedBox&&) noexcept = default;
        Computed& Get() {
            if (!p_)
                p_ = std::make_unique<Computed>();
            return *p_;
        }
        void Reset() { p_.reset(); }
        bool Has() const { return p_ != nullptr; }

    private:
        std::unique_ptr<Computed> p_;
    };

    RecordText from_;  // decoded From
    RecordText date_;  // raw Date
    mutable ComputedBox computed_;
};

// The header lookup of a message's lines. The key is the name followed by ": ":
//  - lines are walked from the first; a line that is empty after trimming blanks and control
//    characters (also one holding only a CR or a TAB) ends the header;
//  - the first line whose first (key length) characters equal the key without regard to case
//    gives the rest of the line;
//  - following lines that begin with a blank or TAB continue it: their leading blanks and TABs
//    are removed and they are appended with nothing in between; any other line ends it.
// A field written without a blank after the colon is not found. The value keeps a trailing CR
// when the lines have one. Empty when the field is missing.
std::string HeaderValue(const TSList& lines, std::string_view name);

// A raw header value as display text: DecodeHeaderWords, then Unfold, then JisToSjis.
std::string DecodeHeaderText(std::string_view raw);
// False when DecodeHeaderText would give `raw` back as it is (no encoded word, line break or
// JIS escape or shift in it).
bool NeedsHeaderDecoding(std::string_view raw);

}  // namespace pelorin
