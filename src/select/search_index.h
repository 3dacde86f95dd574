// The search index: one per user, in "$XDG_CACHE_HOME/pelorin/search" (else
// "~/.cache/pelorin/search"), over every packet the user opens. It can always be made anew
// from the packets, and it never changes a packet: it only reads message and index files.
//
// The engine is Xapian. Each message is a document: its subject, From, To/Cc and body as the
// reader sees them (search_document.h), folded (search_fold.h) and indexed with positions;
// Japanese, Chinese and Korean text by single characters and pairs of characters, so no word
// splitter is needed and a query of any length finds the text. The Date sort key is a value
// (dates, newest first); an attachment is a boolean term. Marks are not kept here: they change
// with every message read, and the caller filters on the marks it holds.
//
// Keeping current: the index remembers, for every area of every packet, the identity (inode)
// and size of the file its messages were read from. Update compares: an area whose message
// file only grew has its new messages added (a fetch appends); one that was replaced or shrank
// (a purge, a rewrite) is read again whole; one that went is dropped. An index that cannot be
// opened, is damaged, or was written by another version of this format is removed and made
// anew, never trusted.
//
// Two processes: while one updates (it holds the engine's write lock), another neither waits
// nor fails: its update is skipped and it searches what is there.
#pragma once

#include "select/search_query.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace pelorin {

class TSoup;

// A message found: where it is, and its date key for ordering.
struct SearchHit {
    std::string packet;  // packet directory (Shift_JIS, ending with "/")
    std::string prefix;  // the area's file prefix (AREAS field 1)
    int64_t offset = 0;  // the message's place in the area's message file
    std::string sortDate;
};

// What an update reads of a packet: a copy, so that an update can run on a thread of its own
// while the window goes on with the packet.
struct IndexSource {
    struct Area {
        std::string pathBase;  // packet directory + prefix (Shift_JIS)
        std::string areaName;  // Shift_JIS
        char letter1 = ' ';    // framing: "u" rnews, "b"/"B" binary
        char letter2 = ' ';    // "n" none, "c"/"C" an index
    };
    std::string directory;  // ending with "/"
    std::vector<Area> areas;

    static IndexSource Of(const TSoup& soup);
};

class SearchIndex {
public:
    // The per-user folder: $XDG_CACHE_HOME/pelorin/search, else ~/.cache/pelorin/search.
    static std::string DefaultDirectory();

    // `directory`: on-disk path (UTF-8). Nothing is opened until it is needed.
    explicit SearchIndex(std::string directory = DefaultDirectory());
    ~SearchIndex();
    SearchIndex(const SearchIndex&) = delete;
    SearchIndex& operator=(const SearchIndex&) = delete;

    // Brings the index up to date with the packet's areas as they are on disk. `progress` (may
    // be empty) gets the bytes of message files read and to read, once a message; returning false cancels (what was
    // indexed stays, and the rest is done next time). Returns the messages added; -1 when the
    // index is being written by another process (nothing done).
    int64_t Update(const IndexSource& packet,
                   const std::function<bool(int64_t done, int64_t total)>& progress = {});
    int64_t Update(const TSoup& soup,
                   const std::function<bool(int64_t done, int64_t total)>& progress = {}) {
        return Update(IndexSource::Of(soup), progress);
    }

    // The messages of the given packets (directories as TSoup::directory) that the query's
    // words, phrases, fields, dates and attachment term select, newest first. The query's
    // marks and pattern are the caller's to apply. Throws SearchQueryError for a query the
    // engine cannot run.
    std::vector<SearchHit> Find(const SearchQuery& query, const std::vector<std::string>& packets);

    // Whether the query gives the index anything to narrow by (words, fields, dates ...).
    static bool Narrows(const SearchQuery& query);

    // Messages in the index (for progress and tests).
    int64_t Count();

    // The on-disk folder.
    const std::string& Directory() const { return dir_; }

private:
    struct Engine;
    Engine& Open(bool write);
    std::string dir_;
    std::unique_ptr<Engine> engine_;
};

}  // namespace pelorin
