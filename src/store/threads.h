// Display orders of an area: file order, threads, subject, author, date, and threads joined by
// subject.
//
//   type  order                          key of each entry
//   0     file order                     Message-ID
//   1     reply threads                  Message-ID
//   2     subject (reply prefixes off)   subject + number as 8 digits
//   3     author (From address)          address + number as 8 digits
//   4     date (sort key of Date)        sort key + number as 8 digits
//   5     threads, later threads of the same subject joined after the first
//
// Sorted orders compare keys as whole texts without regard to ASCII case, byte by byte in
// Shift_JIS order; among equal keys the message later in the file comes first.
//
// Threads link each message to the nearest message within `threadRange` places before it in
// the file whose Message-ID is its parent ID; a reply that stands before its parent is claimed
// by the first later message (within the window) that it names. Roots are listed in file
// order, each followed by its replies depth-first. Messages whose parent links form a loop
// would hang from no root; they are listed as roots where the file order meets them, so no
// message ever drops out of the list.
#pragma once

#include "store/msg.h"
#include "store/record_pool.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pelorin {

// One row of the display list. The sort keys of the sorted orders are needed only while
// sorting, so a row is the message alone: an area of 100,000 messages keeps no key per row.
struct DisplayEntry {
    TMsg* msg;  // not owned: the area owns its messages
};
using DisplayList = std::vector<DisplayEntry>;

// Builds the display list of `messages` (file order) for sort type `type` (0-5), setting each
// message's depth and display position. Returns false, leaving `out` untouched, for any other
// type. `progress` (may be empty) is told (i, n) as the work goes on. `inFileOrder` says the
// records already hold depth 0 and their file positions (as a load leaves them), which file
// order then does not write again.
bool BuildDisplayList(const std::vector<std::unique_ptr<TMsg>>& messages,
                      int type,
                      int threadRange,
                      DisplayList& out,
                      const std::function<void(size_t, size_t)>& progress,
                      bool inFileOrder = false);

// Thread order linked while a load makes its records. Linking reads each record's IDs once,
// in file order, as a load makes them: linked there and then, while the record's index line
// is still in the cache, they cost a fraction of a later pass over every record and its text.
// The loader may say how many records to expect, then calls Add for each record as it makes
// it; the first display list then takes the order.
class ThreadPrelink {
public:
    explicit ThreadPrelink(int threadRange);
    ~ThreadPrelink();
    ThreadPrelink(const ThreadPrelink&) = delete;
    ThreadPrelink& operator=(const ThreadPrelink&) = delete;

    void Expect(size_t records);  // room for as many (more may still come)
    // The room Expect made, which linking and the first display list fill.
    std::vector<record_pool::Prepared::Span> Room();
    void Add(const TMsg& record);

    // Thread order of `messages` into `out`, setting each record's depth and display
    // position, when they are the records added (as many, in the same order: the caller
    // knows they were not changed since) and the range is the same; false (nothing written)
    // otherwise. Once only.
    bool Take(const std::vector<std::unique_ptr<TMsg>>& messages,
              int threadRange,
              DisplayList& out);

private:
    int range_;
    struct Builder;
    std::unique_ptr<Builder> builder_;
    DisplayList list_;  // room for the display list
};

// Removes leading reply prefixes: while the first four characters, upper-cased, are "RE: " or
// "RE:_", they go. "Re:x" keeps its prefix.
std::string_view StripReplyPrefixes(std::string_view subject);

}  // namespace pelorin
