// A search over open packets: see search_run.h.
#include "select/search_run.h"

#include "coding/cp932.h"
#include "select/message_search.h"
#include "select/re_error.h"
#include "select/search_document.h"
#include "select/search_fold.h"
#include "store/grp.h"
#include "store/packet_files.h"
#include "store/soup.h"

#include <algorithm>
#include <unordered_map>

namespace pelorin {
namespace {

bool MarkAllowed(const SearchQuery& q, const TMsg& m) {
    return q.marks.empty() || q.marks.find(m.mark) != std::string::npos;
}

TGrp* AreaByPrefix(TSoup& soup, const std::string& prefix) {
    for (const auto& a : soup.areas)
        if (CompareNoCase(NamePart(a->pathBase), prefix) == 0)
            return a.get();
    return nullptr;
}

void Prepared(TGrp& area) {
    if (area.messages.empty())
        area.Prepare();
}

// Folded text with every run of blanks and line ends made one blank, so that a phrase meets
// its words across a line end.
std::string Collapsed(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (char c : FoldForSearch(utf8)) {
        if (c == '\n' || c == '\r' || c == '\t')
            c = ' ';
        if (c == ' ' && (out.empty() || out.back() == ' '))
            continue;
        out += c;
    }
    return out;
}

struct FoldedMessage {
    std::string subject, from, to, all;
};

bool TermHolds(const SearchTerm& t, const FoldedMessage& m, const TGrp& area) {
    bool in = false;
    switch (t.field) {
        case SearchTerm::Field::Area: {
            std::string name = cp932::ToUtf8(area.areaName);
            for (char& c : name)
                if (c >= 'A' && c <= 'Z')
                    c = static_cast<char>(c - 'A' + 'a');
            in = name == t.text;
            break;
        }
        case SearchTerm::Field::Subject:
            in = m.subject.find(Collapsed(t.text)) != std::string::npos;
            break;
        case SearchTerm::Field::From:
            in = m.from.find(Collapsed(t.text)) != std::string::npos;
            break;
        case SearchTerm::Field::To:
            in = m.to.find(Collapsed(t.text)) != std::string::npos;
            break;
        case SearchTerm::Field::Text:
            in = m.all.find(Collapsed(t.text)) != std::string::npos;
            break;
    }
    return t.negated ? !in : in;
}

// The clauses that hold a phrase are decided on the text: the index keeps no word positions.
void ConfirmPhrases(const SearchQuery& q, std::vector<FoundMessage>& found) {
    std::vector<const std::vector<SearchTerm>*> clauses;
    for (const auto& clause : q.clauses)
        if (std::any_of(clause.begin(), clause.end(), [](const SearchTerm& t) { return t.phrase; }))
            clauses.push_back(&clause);
    if (clauses.empty())
        return;
    std::erase_if(found, [&](const FoundMessage& f) {
        const SearchFields fields = ReadSearchFields(f.msg->ReadText());
        FoldedMessage m{
            Collapsed(fields.subject), Collapsed(fields.from), Collapsed(fields.to), {}};
        m.all = m.subject + " " + m.from + " " + m.to + " " + Collapsed(fields.body);
        for (const auto* clause : clauses)
            if (std::none_of(clause->begin(), clause->end(),
                             [&](const SearchTerm& t) { return TermHolds(t, m, *f.area); }))
                return true;
        return false;
    });
}

// At most about `width` characters of UTF-8 `line` around its bytes [at, at + length): a
// third of them before, the rest from there on; "…" where the line goes on.
std::string Around(const std::string& line, size_t at, size_t length, size_t width) {
    auto lead = [&](size_t i) { return (static_cast<unsigned char>(line[i]) & 0xC0) != 0x80; };
    size_t begin = std::min(at, line.size());
    for (size_t n = 0; begin > 0 && n < width / 3; ++n) {
        --begin;
        while (begin > 0 && !lead(begin)) --begin;
    }
    size_t end = std::min(at + length, line.size());
    for (size_t n = 0; end < line.size() && n < width - width / 3; ++n) {
        ++end;
        while (end < line.size() && !lead(end)) ++end;
    }
    return (begin > 0 ? "…" : "") + line.substr(begin, end - begin) +
           (end < line.size() ? "…" : "");
}

// The pattern applied to `found`, which keeps only the messages it matches.
void ApplyPattern(const SearchQuery& q, bool fuzzy, std::vector<FoundMessage>& found) {
    if (q.pattern.empty() || found.empty())
        return;
    std::vector<TMsg*> msgs;
    msgs.reserve(found.size());
    for (const FoundMessage& f : found) msgs.push_back(f.msg);
    std::vector<size_t> keep;
    try {
        keep = GrepMessages(msgs, cp932::FromUtf8(q.pattern), fuzzy);
    } catch (const ERegExpParser& e) {
        throw SearchQueryError{"/" + q.pattern + "/: " + cp932::ToUtf8(e.message()), e.position()};
    }
    std::vector<FoundMessage> kept;
    kept.reserve(keep.size());
    for (size_t i : keep) kept.push_back(found[i]);
    found = std::move(kept);
}

}  // namespace

std::vector<FoundMessage> RunSearch(SearchIndex& index,
                                    const SearchQuery& query,
                                    const std::vector<TSoup*>& packets,
                                    bool fuzzy,
                                    const std::function<bool()>& cancelled) {
    std::vector<FoundMessage> found;
    if (SearchIndex::Narrows(query)) {
        std::vector<std::string> dirs;
        std::unordered_map<std::string, TSoup*> byDir;
        for (TSoup* p : packets) {
            dirs.push_back(p->directory);
            byDir[p->directory] = p;
        }
        // Offsets of each area's messages, made when the area is first met.
        std::unordered_map<const TGrp*, std::unordered_map<int64_t, TMsg*>> places;
        for (const SearchHit& hit : index.Find(query, dirs)) {
            auto soup = byDir.find(hit.packet);
            if (soup == byDir.end())
                continue;
            TGrp* area = AreaByPrefix(*soup->second, hit.prefix);
            if (!area)
                continue;
            auto [at, fresh] = places.try_emplace(area);
            if (fresh) {
                if (cancelled && cancelled())
                    break;
                Prepared(*area);
                for (const auto& m : area->messages) at->second.emplace(m->offset, m.get());
            }
            auto m = at->second.find(hit.offset);
            if (m != at->second.end() && MarkAllowed(query, *m->second))
                found.push_back({soup->second, area, m->second});
        }
    } else {
        for (TSoup* p : packets) {
            for (const auto& a : p->areas) {
                if (cancelled && cancelled())
                    break;
                Prepared(*a);
                for (const auto& m : a->messages)
                    if (MarkAllowed(query, *m))
                        found.push_back({p, a.get(), m.get()});
            }
        }
        std::stable_sort(found.begin(), found.end(),
                         [](const FoundMessage& x, const FoundMessage& y) {
                             return x.msg->SortDate() > y.msg->SortDate();
                         });
    }
    ConfirmPhrases(query, found);
    ApplyPattern(query, fuzzy, found);
    return found;
}

std::string SearchSnippet(TMsg& msg, const SearchQuery& query, size_t width) {
    const SearchFields f = ReadSearchFields(msg.ReadText());
    std::vector<std::string> words;
    for (const auto& clause : query.clauses)
        for (const SearchTerm& t : clause)
            if (!t.negated && t.field != SearchTerm::Field::Area && !t.text.empty())
                words.push_back(t.text);
    // Lines of the body are compared folded, and shown as written. Folding never makes a
    // character longer, so a folded line of the same length changed no length anywhere and
    // its byte places are the written line's: the hit is marked there.
    size_t start = 0;
    while (start <= f.body.size()) {
        size_t end = f.body.find('\n', start);
        if (end == std::string::npos)
            end = f.body.size();
        const std::string line = f.body.substr(start, end - start);
        const std::string folded = FoldForSearch(line);
        for (const std::string& w : words) {
            const size_t at = folded.find(w);
            if (at == std::string::npos)
                continue;
            if (folded.size() != line.size())
                return Around(line, 0, 0, width);
            return Around(line.substr(0, at) + "【" + line.substr(at, w.size()) + "】" +
                              line.substr(at + w.size()),
                          at, w.size() + 6, width);
        }
        start = end + 1;
    }
    return Around(f.subject, 0, 0, width);
}

}  // namespace pelorin
