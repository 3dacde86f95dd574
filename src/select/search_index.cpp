// The search index on Xapian: see search_index.h.
#include "select/search_index.h"

#include "coding/cp932.h"
#include "select/search_document.h"
#include "select/search_fold.h"
#include "store/disk_path.h"
#include "store/grp.h"
#include "store/mapped_file.h"
#include "store/msgfile.h"
#include "store/packet_files.h"
#include "store/soup.h"
#include "store/strutil.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sys/stat.h>
#include <unordered_map>
#include <unordered_set>
#include <xapian.h>

namespace pelorin {
namespace {

// Written into every index; an index without it, or with another, is made anew.
constexpr std::string_view kFormat = "pelorin-search 2";
constexpr Xapian::valueno kDateSlot = 0;
// A message's text beyond this is not indexed (a huge attachment read as text).
constexpr size_t kMaxIndexedBytes = 1 << 20;
// Documents added between two commits, so memory stays bounded on a large first run.
constexpr int kCommitEvery = 5000;

// A short stable name for a packet or an area: terms have a length limit, paths do not.
std::string Key(std::string_view text) {
    uint64_t h = 1469598103934665603ull;
    for (unsigned char c : text) h = (h ^ c) * 1099511628211ull;
    static const char* hex = "0123456789abcdef";
    std::string out(16, '0');
    for (int i = 15; i >= 0; --i, h >>= 4) out[static_cast<size_t>(i)] = hex[h & 15];
    return out;
}

std::string AreaKey(const std::string& packet, const std::string& prefix) {
    return Key(packet + '\0' + SjisUpper(prefix));
}

// What an area's files are now: inode and size of the message file and of the index.
struct FileState {
    uint64_t msgInode = 0;
    int64_t msgSize = 0;
    uint64_t idxInode = 0;
    int64_t idxSize = 0;

    std::string Text() const {
        return std::to_string(msgInode) + " " + std::to_string(msgSize) + " " +
               std::to_string(idxInode) + " " + std::to_string(idxSize);
    }
    static std::optional<FileState> Parse(const std::string& text) {
        FileState s;
        unsigned long long a = 0, c = 0;
        long long b = 0, d = 0;
        if (std::sscanf(text.c_str(), "%llu %lld %llu %lld", &a, &b, &c, &d) != 4)
            return std::nullopt;
        s.msgInode = a;
        s.msgSize = b;
        s.idxInode = c;
        s.idxSize = d;
        return s;
    }
};

void Stat(const std::string& sjisPath, uint64_t& inode, int64_t& size) {
    struct stat st {};
    if (PacketFileExists(sjisPath) &&
        ::stat(DiskPath(FindPacketFile(sjisPath)).c_str(), &st) == 0) {
        inode = st.st_ino;
        size = st.st_size;
    }
}

std::string AsciiLower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// One area's work: its messages from `from` on are to be indexed.
struct AreaWork {
    const IndexSource::Area* area = nullptr;
    std::string key;
    std::string prefix;
    FileState now;
    bool whole = false;  // its documents go first: the area is read again whole
    int64_t from = 0;    // messages from this place of the message file on are new
};

// The records of an area as its files hold them.
MessageList ReadRecords(const IndexSource::Area& area) {
    MessageList messages;
    const SharedPath msgPath(FindPacketFile(area.pathBase + ".MSG"));
    if (area.letter2 == 'c' || area.letter2 == 'C') {
        if (PacketFileExists(area.pathBase + ".IDX"))
            ParseIndexFile(FindPacketFile(area.pathBase + ".IDX"), area.letter2, msgPath, messages,
                           {});
    } else if (area.letter2 == 'n' && PacketFileExists(msgPath.str())) {
        ParseContext ctx{msgPath, ""};
        if (area.letter1 == 'u')
            ParseRnewsFile(ctx, messages, {});
        else if (area.letter1 == 'b' || area.letter1 == 'B')
            ParseBinaryFile(ctx, messages, {});
    }
    return messages;
}

}  // namespace

struct SearchIndex::Engine {
    std::optional<Xapian::WritableDatabase> db;
    bool locked = false;
};

std::string SearchIndex::DefaultDirectory() {
    if (const char* cache = std::getenv("XDG_CACHE_HOME"); cache && *cache == '/')
        return std::string(cache) + "/pelorin/search";
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : ".") + "/.cache/pelorin/search";
}

SearchIndex::SearchIndex(std::string directory)
    : dir_(std::move(directory)) {}

SearchIndex::~SearchIndex() = default;

SearchIndex::Engine& SearchIndex::Open(bool write) {
    if (!engine_)
        engine_ = std::make_unique<Engine>();
    Engine& e = *engine_;
    if (!write || e.db)
        return e;
    e.locked = false;
    std::error_code ec;
    std::filesystem::create_directories(dir_, ec);
    for (int attempt = 0; attempt < 2 && !e.db; ++attempt) {
        try {
            e.db.emplace(dir_, Xapian::DB_CREATE_OR_OPEN);
            if (e.db->get_metadata("format") != kFormat) {
                if (e.db->get_doccount() == 0 && e.db->get_metadata("format").empty()) {
                    e.db->set_metadata("format", std::string(kFormat));
                    e.db->commit();
                } else {
                    throw Xapian::DatabaseVersionError("another format");
                }
            }
        } catch (const Xapian::DatabaseLockError&) {
            e.db.reset();
            e.locked = true;
            return e;
        } catch (const Xapian::Error&) {
            // Damaged, or written by another version: made anew from the packets.
            e.db.reset();
            std::filesystem::remove_all(dir_, ec);
            std::filesystem::create_directories(dir_, ec);
        }
    }
    return e;
}

IndexSource IndexSource::Of(const TSoup& soup) {
    IndexSource source;
    source.directory = soup.directory;
    for (const auto& a : soup.areas)
        source.areas.push_back({a->pathBase, a->areaName, a->Letter(0), a->Letter(1)});
    return source;
}

int64_t SearchIndex::Update(const IndexSource& soup,
                            const std::function<bool(int64_t, int64_t)>& progress) {
    Engine& e = Open(true);
    if (!e.db)
        return -1;
    Xapian::WritableDatabase& db = *e.db;
    const std::string packetKey = Key(soup.directory);

    // What each area needs, read from its files (never through the area itself: the window
    // may hold it, and the index must not change it).
    std::vector<AreaWork> work;
    std::unordered_set<std::string> present;
    int64_t total = 0;
    for (const IndexSource::Area& area : soup.areas) {
        AreaWork w;
        w.area = &area;
        w.prefix = std::string(NamePart(area.pathBase));
        w.key = AreaKey(soup.directory, w.prefix);
        present.insert(w.key);
        Stat(area.pathBase + ".MSG", w.now.msgInode, w.now.msgSize);
        const bool indexed = area.letter2 == 'c' || area.letter2 == 'C';
        if (indexed)
            Stat(area.pathBase + ".IDX", w.now.idxInode, w.now.idxSize);
        const std::string stored = db.get_metadata("area:" + w.key);
        if (stored == w.now.Text())
            continue;
        const std::optional<FileState> old = FileState::Parse(stored);
        // Appended to: the same files, grown. Anything else is read again whole.
        if (old && old->msgInode == w.now.msgInode && old->idxInode == w.now.idxInode &&
            old->msgSize <= w.now.msgSize && old->idxSize <= w.now.idxSize) {
            w.from = old->msgSize;
        } else {
            w.whole = true;
        }
        // Progress counts the bytes of message file still to read.
        total += std::max<int64_t>(w.now.msgSize - w.from, 0);
        work.push_back(std::move(w));
    }

    Xapian::TermGenerator tg;
    tg.set_flags(Xapian::TermGenerator::FLAG_CJK_NGRAM);
    int64_t done = 0;
    int64_t doneBytes = 0;
    int sinceCommit = 0;
    bool cancelled = false;
    try {
        for (AreaWork& w : work) {
            if (cancelled)
                break;
            if (w.whole)
                db.delete_document("XA" + w.key);
            const std::string areaName = AsciiLower(cp932::ToUtf8(w.area->areaName));
            // One area's records at a time, read from its files, so that a large packet never
            // holds them all at once.
            const MessageList messages = ReadRecords(*w.area);
            MappedFile file;
            if (!messages.empty())
                file.Open(messages.front()->msgFile.str());
            const std::string_view bytes = file.Bytes();
            for (const auto& m : messages) {
                if (m->offset < w.from)
                    continue;
                std::string_view text;
                if (m->offset >= 0 && static_cast<uint64_t>(m->offset) <= bytes.size())
                    text = bytes.substr(static_cast<size_t>(m->offset),
                                        static_cast<size_t>(std::clamp<int64_t>(
                                            m->length, 0, static_cast<int64_t>(kMaxIndexedBytes))));
                const SearchFields f = ReadSearchFields(text);
                Xapian::Document doc;
                tg.set_document(doc);
                // Without positions: phrases are confirmed on the text (search_run.h), and the
                // index stays near the size of the mail. A word of the text is found in any
                // field, so the fields are not indexed twice.
                tg.index_text_without_positions(FoldForSearch(f.subject), 1, "S");
                tg.index_text_without_positions(FoldForSearch(f.to), 1, "T");
                tg.index_text_without_positions(FoldForSearch(f.from), 1, "F");
                tg.index_text_without_positions(FoldForSearch(f.body));
                const std::string unique = "Q" + w.key + ":" + std::to_string(m->offset);
                doc.add_boolean_term(unique);
                doc.add_boolean_term("XA" + w.key);
                doc.add_boolean_term("XP" + packetKey);
                if (!areaName.empty() && areaName.size() < 200)
                    doc.add_boolean_term("XN" + areaName);
                if (f.attachment)
                    doc.add_boolean_term("XHattachment");
                doc.add_value(kDateSlot, f.sortDate);
                doc.set_data(w.key + '\t' + std::to_string(m->offset));
                db.replace_document(unique, doc);
                ++done;
                if (++sinceCommit >= kCommitEvery) {
                    db.commit();
                    sinceCommit = 0;
                }
                if (progress &&
                    !progress(doneBytes + std::clamp<int64_t>(m->offset + m->length - w.from, 0,
                                                              w.now.msgSize - w.from),
                              total)) {
                    cancelled = true;
                    break;
                }
                file.DoneBefore(static_cast<size_t>(std::max<int64_t>(m->offset, 0)));
            }
            doneBytes += std::max<int64_t>(w.now.msgSize - w.from, 0);
            if (!cancelled) {
                db.set_metadata("area:" + w.key, w.now.Text());
                db.set_metadata("where:" + w.key, soup.directory + '\t' + w.prefix);
            }
        }
        // Areas the packet no longer has.
        const std::string listKey = "packet:" + packetKey;
        std::string old = db.get_metadata(listKey);
        size_t pos = 0;
        while (pos < old.size()) {
            size_t sp = old.find(' ', pos);
            if (sp == std::string::npos)
                sp = old.size();
            const std::string key = old.substr(pos, sp - pos);
            if (!key.empty() && !present.count(key)) {
                db.delete_document("XA" + key);
                db.set_metadata("area:" + key, "");
                db.set_metadata("where:" + key, "");
            }
            pos = sp + 1;
        }
        std::string list;
        for (const std::string& key : present) list += key + " ";
        db.set_metadata(listKey, list);
        db.commit();
        // The write lock goes with the update, so another process can update in turn.
        e.db.reset();
    } catch (const Xapian::Error&) {
        // A damaged index: dropped, to be made anew at the next update.
        engine_.reset();
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
        return done;
    }
    return done;
}

bool SearchIndex::Narrows(const SearchQuery& query) {
    if (!query.dateFrom.empty() || !query.dateTo.empty() || query.hasAttachment)
        return true;
    for (const auto& clause : query.clauses)
        for (const SearchTerm& t : clause)
            if (!t.negated)
                return true;
    return false;
}

std::vector<SearchHit> SearchIndex::Find(const SearchQuery& query,
                                         const std::vector<std::string>& packets) {
    std::vector<SearchHit> hits;
    std::optional<Xapian::Database> db;
    try {
        if (engine_ && engine_->db)
            db.emplace(*engine_->db);
        else
            db.emplace(dir_);
    } catch (const Xapian::Error&) {
        return hits;  // no index yet
    }
    try {
        Xapian::QueryParser qp;
        qp.set_default_op(Xapian::Query::OP_AND);
        std::vector<Xapian::Query> clauses;
        for (const auto& clause : query.clauses) {
            // A clause with a phrase kept out is the text's to decide, whole.
            if (std::any_of(clause.begin(), clause.end(),
                            [](const SearchTerm& t) { return t.phrase && t.negated; }))
                continue;
            std::vector<Xapian::Query> any;
            for (const SearchTerm& t : clause) {
                Xapian::Query q;
                if (t.field == SearchTerm::Field::Area) {
                    q = Xapian::Query("XN" + t.text);
                } else {
                    const char* prefix = t.field == SearchTerm::Field::From      ? "F"
                                         : t.field == SearchTerm::Field::To      ? "T"
                                         : t.field == SearchTerm::Field::Subject ? "S"
                                                                                 : "";
                    // A word of the text may stand in any field; a phrase is asked for as its
                    // words, and confirmed on the text afterwards.
                    const unsigned flags = Xapian::QueryParser::FLAG_CJK_NGRAM;
                    q = qp.parse_query(t.text, flags, prefix);
                    if (t.field == SearchTerm::Field::Text && !q.empty()) {
                        const Xapian::Query fields[] = {q, qp.parse_query(t.text, flags, "S"),
                                                        qp.parse_query(t.text, flags, "F"),
                                                        qp.parse_query(t.text, flags, "T")};
                        q = Xapian::Query(Xapian::Query::OP_OR, std::begin(fields),
                                          std::end(fields));
                    }
                }
                if (q.empty())
                    continue;  // nothing the index can hold (punctuation only)
                if (t.negated)
                    q = Xapian::Query(Xapian::Query::OP_AND_NOT, Xapian::Query::MatchAll, q);
                any.push_back(q);
            }
            if (!any.empty())
                clauses.push_back(Xapian::Query(Xapian::Query::OP_OR, any.begin(), any.end()));
        }
        Xapian::Query q =
            clauses.empty() ? Xapian::Query::MatchAll
                            : Xapian::Query(Xapian::Query::OP_AND, clauses.begin(), clauses.end());
        if (!query.dateFrom.empty() || !query.dateTo.empty())
            q = Xapian::Query(
                Xapian::Query::OP_FILTER, q,
                Xapian::Query(Xapian::Query::OP_VALUE_RANGE, kDateSlot, query.dateFrom,
                              query.dateTo.empty() ? "~" : query.dateTo));
        if (query.hasAttachment)
            q = Xapian::Query(Xapian::Query::OP_FILTER, q, Xapian::Query("XHattachment"));
        std::vector<Xapian::Query> scope;
        for (const std::string& p : packets) scope.emplace_back("XP" + Key(p));
        q = Xapian::Query(Xapian::Query::OP_FILTER, q,
                          Xapian::Query(Xapian::Query::OP_OR, scope.begin(), scope.end()));
        Xapian::Enquire enquire(*db);
        enquire.set_query(q);
        enquire.set_weighting_scheme(Xapian::BoolWeight());
        enquire.set_sort_by_value(kDateSlot, true);
        const Xapian::MSet mset = enquire.get_mset(0, db->get_doccount());
        hits.reserve(mset.size());
        std::unordered_map<std::string, TSList> where;  // area key: packet and prefix
        for (auto it = mset.begin(); it != mset.end(); ++it) {
            const Xapian::Document doc = it.get_document();
            const TSList f = SplitTab(doc.get_data(), 1);
            auto [at, fresh] = where.try_emplace(f[0]);
            if (fresh)
                at->second = SplitTab(db->get_metadata("where:" + f[0]), 1);
            if (!at->second[0].empty())
                hits.push_back(
                    {at->second[0], at->second[1], ToInteger64(f[1]), doc.get_value(kDateSlot)});
        }
    } catch (const Xapian::Error& e) {
        throw SearchQueryError{"the index cannot run this query: " + e.get_msg(), 0};
    }
    return hits;
}

int64_t SearchIndex::Count() {
    try {
        if (engine_ && engine_->db)
            return engine_->db->get_doccount();
        return Xapian::Database(dir_).get_doccount();
    } catch (const Xapian::Error&) {
        return 0;
    }
}

}  // namespace pelorin
