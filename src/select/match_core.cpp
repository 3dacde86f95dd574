// TMatchCORE: the plain and the anchored matcher. See match_core.h.
#include "select/match_core.h"

#include "select/re_char.h"

namespace pelorin {
namespace {

constexpr size_t kNoEnd = static_cast<size_t>(-1);

// The end (byte offset) of the longest match that starts at `start` with the DFA in `state`,
// or kNoEnd. With kLineEnd, a state with a line-end transition ends a match before the
// separator byte and at the end of the text.
template <bool kLineEnd>
size_t LongestFrom(const TRE_DFA& dfa,
                   const TREAlphabet& alphabet,
                   std::string_view text,
                   int32_t state,
                   size_t start,
                   unsigned char separator) {
    const auto* const bytes = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    const TREAlphabet::Page& singles = alphabet.PageOf(0);
    size_t best = kNoEnd;
    size_t p = start;
    for (;;) {
        if (dfa.Accepting(state))
            best = p;
        else if (kLineEnd && dfa.LineEndTarget(state) != TRE_DFA::kNone &&
                 (p == n || bytes[p] == separator))
            best = p;
        if (p >= n)
            break;
        unsigned b = bytes[p];
        uint32_t k;
        size_t length;
        if (IsSjisLeadByte(static_cast<unsigned char>(b)) && p + 1 < n) {
            k = alphabet.PageOf(b)[bytes[p + 1]];
            length = 2;
        } else {
            k = singles[b];
            length = 1;
        }
        int32_t next = dfa.Next(state, k);
        if (next == TRE_DFA::kNone)
            break;
        state = next;
        p += length;
    }
    return best;
}

size_t CharLength(std::string_view text, size_t p) {
    return IsSjisLeadByte(static_cast<unsigned char>(text[p])) && p + 1 < text.size() ? 2 : 1;
}

}  // namespace

bool TMatchCORE::MatchExists(std::string_view text) const {
    const TREProgram& program = Current();
    if (const TRE_ScanDFA* scan = program.ScanDfa(SeparatorByte()))
        return scan->Scan(text);
    const bool anchored = program.Dfa().UsesLineStart() || program.Dfa().UsesLineEnd();
    return anchored ? MatchAnchored(text).found : MatchPlain(text).found;
}

template <bool kAnchored>
TMatchCORE::MatchResult TMatchCORE::Match(std::string_view text) const {
    const TREProgram& program = Current();
    const TRE_DFA& dfa = program.Dfa();
    const TREAlphabet& alphabet = program.Alphabet();
    const unsigned char separator = SeparatorByte();
    // One pass first: most texts a condition sees do not match at all.
    if (const TRE_ScanDFA* scan = program.ScanDfa(separator); scan && !scan->Scan(text))
        return {};
    const int32_t line_start =
        kAnchored && dfa.UsesLineStart() ? dfa.LineStartTarget(TRE_DFA::Start()) : TRE_DFA::kNone;
    const TRESkip* skip = program.FindSkip(separator);
    const auto* const begin = reinterpret_cast<const unsigned char*>(text.data());
    const unsigned char* const end = begin + text.size();
    const size_t n = text.size();

    // Start positions run up to and including the end of the text, where "$" (and "^" after a
    // final LF) can match the empty string. Position 0 is always tried, since "^" and an
    // empty match hold there whatever its character; so is the position after each LF.
    bool force = true;
    for (size_t s = 0;;) {
        if (!force && skip) {
            const unsigned char* q = skip->dead ? end : FindCandidate(begin, begin + s, end, *skip);
            if (q == end) {
                s = n;
            } else if (!IsCharBoundary(begin + s, q)) {
                s = static_cast<size_t>(q - begin) + 1;
                continue;
            } else {
                s = static_cast<size_t>(q - begin);
            }
        }
        force = false;
        size_t best = LongestFrom<kAnchored>(dfa, alphabet, text, TRE_DFA::Start(), s, separator);
        if (line_start != TRE_DFA::kNone && (s == 0 || text[s - 1] == '\n')) {
            size_t other = LongestFrom<kAnchored>(dfa, alphabet, text, line_start, s, separator);
            if (other != kNoEnd && (best == kNoEnd || other > best))
                best = other;
        }
        if (best != kNoEnd)
            return {true, s, best - s};
        if (s >= n)
            return {};
        force = line_start != TRE_DFA::kNone && text[s] == '\n';
        s += CharLength(text, s);
    }
}

TMatchCORE::MatchResult TMatchCORE::MatchPlain(std::string_view text) const {
    return Match<false>(text);
}

TMatchCORE::MatchResult TMatchCORE::MatchAnchored(std::string_view text) const {
    return Match<true>(text);
}

}  // namespace pelorin
