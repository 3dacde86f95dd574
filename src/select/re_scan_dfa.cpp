// TRE_ScanDFA. See re_scan_dfa.h for the automaton, its rows, its budget and the skipping.
#include "select/re_scan_dfa.h"

#include "coding/jis.h"
#include "select/re_char.h"
#include "select/re_dfa.h"

#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <unordered_map>

namespace pelorin {
namespace {

constexpr int32_t kMatch = -1;

// The character-level automaton: sets of NFA states and their rows over classes.
struct CharLevel {
    std::vector<std::vector<int32_t>> rows;  // per state: class -> state or kMatch
    std::vector<uint8_t> line_end;           // per state: has a line-end transition
    int32_t init = kMatch;
};

bool BuildCharLevel(const TRE_NFA& nfa,
                    const TREAlphabet& alphabet,
                    unsigned char separator,
                    CharLevel& out) {
    const uint32_t k_count = alphabet.Count();
    const uint32_t lf_class = alphabet.ClassOf('\n');
    const uint32_t sep_class = alphabet.ClassOf(separator);

    TRE_NFAStateSet line_start = nfa.EmptySet();
    for (const TRE_NFATransition& t : nfa.Transitions(TRE_NFA::kStart)) {
        if (t.kind == TRE_NFATransition::Kind::LineStart)
            line_start.Include(static_cast<size_t>(t.target));
    }
    const std::vector<int32_t> line_start_members = line_start.Members();

    std::vector<TRE_NFAStateSet> sets;
    std::unordered_map<std::string, int32_t> closed_index;
    std::unordered_map<std::string, int32_t> raw_index;
    size_t bytes = 0;
    bool over = false;

    auto intern_raw = [&](TRE_NFAStateSet raw, bool after_lf) -> int32_t {
        raw.Include(TRE_NFA::kStart);
        if (after_lf) {
            for (int32_t m : line_start_members) raw.Include(static_cast<size_t>(m));
        }
        auto it = raw_index.find(raw.Bytes());
        if (it != raw_index.end())
            return it->second;
        TRE_NFAStateSet closed = raw;
        nfa.Close(closed);
        int32_t id = kMatch;
        if (!closed.Has(TRE_NFA::kFinal)) {
            auto found = closed_index.find(closed.Bytes());
            if (found != closed_index.end()) {
                id = found->second;
            } else {
                bytes += size_t{k_count} * sizeof(int32_t) + 3 * closed.Bytes().size() + 96;
                if (sets.size() >= TRE_ScanDFA::kMaxStates || bytes > TRE_ScanDFA::kMaxBytes) {
                    over = true;
                    return kMatch;
                }
                id = static_cast<int32_t>(sets.size());
                sets.push_back(closed);
                closed_index.emplace(closed.Bytes(), id);
            }
        }
        raw_index.emplace(raw.Bytes(), id);
        return id;
    };

    const TRE_NFAStateSet none = nfa.EmptySet();
    out.init = intern_raw(none, true);
    TREMoveSweep sweep(nfa);
    TRE_NFAStateSet lf_targets = nfa.EmptySet();
    for (size_t i = 0; i < sets.size() && !over; ++i) {
        std::vector<int32_t> members = sets[i].Members();
        std::vector<int32_t> row(k_count, intern_raw(none, false));
        lf_targets.Clear();
        sweep.Run(members, [&](uint32_t low, uint32_t high, const TRE_NFAStateSet& targets) {
            int32_t id = intern_raw(targets, false);
            for (uint32_t k = low; k <= high; ++k) row[k] = id;
            if (low <= lf_class && lf_class <= high)
                lf_targets = targets;
        });
        row[lf_class] = intern_raw(lf_targets, true);
        bool line_end = false;
        for (int32_t m : members) {
            for (const TRE_NFATransition& t : nfa.Transitions(m))
                line_end = line_end || t.kind == TRE_NFATransition::Kind::LineEnd;
        }
        if (line_end)
            row[sep_class] = kMatch;
        out.rows.push_back(std::move(row));
        out.line_end.push_back(line_end ? 1 : 0);
    }
    return !over;
}

// How character state s skips; nullopt when it does not.
std::optional<TRESkip> SkipOf(const CharLevel& chars, int32_t s, const TREAlphabet& alphabet) {
    const std::vector<int32_t>& row = chars.rows[static_cast<size_t>(s)];
    TREClassSet matters(row.size());
    for (size_t k = 0; k < row.size(); ++k) matters[k] = row[k] != s;
    const TREAlphabet::Page& singles = alphabet.PageOf(0);
    auto after = [&](unsigned char b) -> std::optional<TREClassSet> {
        const int32_t to = row[singles[b]];
        if (to == kMatch || chars.line_end[static_cast<size_t>(to)])
            return std::nullopt;
        const std::vector<int32_t>& next = chars.rows[static_cast<size_t>(to)];
        TREClassSet out(next.size());
        for (size_t k = 0; k < next.size(); ++k) out[k] = next[k] != s && next[k] != row[k];
        return out;
    };
    return BuildSkip(alphabet, matters, after);
}

}  // namespace

std::unique_ptr<TRE_ScanDFA> TRE_ScanDFA::Build(const TRE_NFA& nfa,
                                                const TREAlphabet& alphabet,
                                                unsigned char separator) {
    CharLevel chars;
    if (!BuildCharLevel(nfa, alphabet, separator, chars))
        return nullptr;
    std::unique_ptr<TRE_ScanDFA> dfa(new TRE_ScanDFA());
    if (chars.init == kMatch) {
        dfa->table_.assign(256, 0);  // only the match row; "" matches at position 1
        dfa->end_match_.assign(1, 1);
        dfa->skip_.resize(1);
        return dfa;
    }

    // Number the rows: the match, then the special character states, then the others; the
    // intermediate rows of lead bytes follow as they are met.
    const size_t n = chars.rows.size();
    std::vector<std::optional<TRESkip>> skip(n);
    std::vector<uint32_t> row_of(n);
    uint32_t next_row = 1;
    for (size_t s = 0; s < n; ++s) {
        skip[s] = SkipOf(chars, static_cast<int32_t>(s), alphabet);
        if (skip[s])
            row_of[s] = next_row++;
    }
    dfa->special_rows_ = next_row;
    for (size_t s = 0; s < n; ++s) {
        if (!skip[s])
            row_of[s] = next_row++;
    }
    dfa->skip_.resize(dfa->special_rows_);
    for (size_t s = 0; s < n; ++s) {
        if (skip[s])
            dfa->skip_[row_of[s]] = *skip[s];
    }

    auto offset = [&](int32_t state) -> uint32_t {
        return state == kMatch ? 0 : row_of[static_cast<size_t>(state)] << 8;
    };
    auto end_match = [&](int32_t state) -> uint8_t {
        return state == kMatch ? 1 : chars.line_end[static_cast<size_t>(state)];
    };

    // Rows are appended in row order: first the character states, then intermediates.
    struct Pending {
        size_t state;   // character state the lead byte was read in
        unsigned lead;  // a lead byte with this page and one-byte class
    };
    std::vector<Pending> intermediates;
    std::map<std::tuple<size_t, size_t, int32_t>, uint32_t> intermediate_index;
    std::vector<std::vector<uint32_t>> char_rows(n, std::vector<uint32_t>(256));
    const TREAlphabet::Page& singles = alphabet.PageOf(0);
    for (size_t s = 0; s < n; ++s) {
        const std::vector<int32_t>& row = chars.rows[s];
        for (unsigned b = 0; b < 256; ++b) {
            int32_t single = row[singles[b]];
            if (!IsSjisLeadByte(static_cast<unsigned char>(b))) {
                char_rows[s][b] = offset(single);
                continue;
            }
            auto key = std::make_tuple(s, alphabet.PageIndex(b), single);
            auto [it, inserted] = intermediate_index.try_emplace(key, 0);
            if (inserted) {
                it->second = static_cast<uint32_t>(n + 1 + intermediates.size());
                intermediates.push_back({s, b});
            }
            char_rows[s][b] = it->second << 8;
        }
    }
    const size_t rows = 1 + n + intermediates.size();
    if (rows * 256 * sizeof(uint32_t) > kMaxBytes)
        return nullptr;

    dfa->table_.assign(rows * 256, 0);
    dfa->end_match_.assign(rows, 0);
    dfa->end_match_[0] = 1;
    for (size_t s = 0; s < n; ++s) {
        std::memcpy(&dfa->table_[size_t{row_of[s]} << 8], char_rows[s].data(),
                    256 * sizeof(uint32_t));
        dfa->end_match_[row_of[s]] = chars.line_end[s];
    }
    for (size_t i = 0; i < intermediates.size(); ++i) {
        const Pending& pend = intermediates[i];
        const std::vector<int32_t>& row = chars.rows[pend.state];
        const TREAlphabet::Page& page = alphabet.PageOf(pend.lead);
        const size_t r = n + 1 + i;
        for (unsigned t = 0; t < 256; ++t) dfa->table_[(r << 8) + t] = offset(row[page[t]]);
        // The lead byte as the last byte of the text is a one-byte character.
        dfa->end_match_[r] = end_match(row[singles[pend.lead]]);
    }
    dfa->init_ = offset(chars.init);
    return dfa;
}

bool TRE_ScanDFA::Scan(std::string_view text) const {
    if (init_ == 0)
        return true;
    const auto* const begin = reinterpret_cast<const unsigned char*>(text.data());
    const unsigned char* p = begin;
    const unsigned char* const end = p + text.size();
    const uint32_t* const table = table_.data();
    const uint32_t limit = (special_rows_ << 8) - 1;  // offsets at or below: match or special
    uint32_t s = init_;
    for (;;) {
        // The plain loop: one lookup and one test per byte.
        while (s > limit) {
            if (p >= end)
                return end_match_[s >> 8] != 0;
            s = table[s + *p++];
        }
        if (s == 0)
            return true;
        // A special character state, at the character boundary p.
        const TRESkip& skip = skip_[s >> 8];
        if (skip.dead)
            return false;
        for (;;) {
            const unsigned char* q = FindCandidate(begin, p, end, skip);
            if (q == end)
                return end_match_[s >> 8] != 0;
            if (IsCharBoundary(p, q)) {
                p = q;
                break;
            }
            p = q + 1;  // q was the second byte of a character that leaves the state alone
        }
        // Take the first byte of the character at p; a lead byte goes on in the plain loop, a
        // one-byte character may land in a special state again, which then skips from p.
        s = table[s + *p++];
    }
}

}  // namespace pelorin
