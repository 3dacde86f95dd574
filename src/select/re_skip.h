// TRESkip: skipping ahead to the next position where an automaton state can change.
//
// Both matchers spend most of their time in one state that most characters leave alone: the
// existence test in the start state of a word (or the state waiting for the next LF of "^Re:"),
// Find before a character that can start a match. Instead of stepping character by character
// they look for the next candidate position with memchr or a 16-byte SIMD compare of up to
// four probes. A probe is a byte range, or a pair of byte ranges for two consecutive bytes:
//   - double-byte characters that matter: their lead byte and a run of their trail bytes;
//   - a one-byte character b that matters, when after it only one run of first bytes can
//     matter: b and that run ("ke" for "kernel", "@e" for "@example");
//   - otherwise the byte alone.
// Skipping pays only when hits are rare, so a state does not skip when it would need more than
// four probes, more than 16 single bytes, or a single-byte probe on the blank or on one of the
// everyday lead bytes of Japanese text (0x81-0x83: punctuation, hiragana, katakana, full-width
// letters); a pair probe on such a lead byte is fine.
//
// A hit may be the second byte of a double-byte character. It is a character boundary exactly
// when the run of lead-range bytes (0x81-0x9F, 0xE0-0xFC) just before it, back to the last
// known boundary or to a byte outside that range, is of even length: any byte outside the lead
// range ends a character, which is what makes this backward look safe. A lead byte that is the
// last byte of the text is a character of its own, so at the last byte a pair probe looks at
// its first byte only.
#pragma once

#include "select/re_alphabet.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace pelorin {

struct TRESkipProbe {
    uint8_t low0 = 0;
    uint8_t high0 = 0;
    uint8_t low1 = 0;  // with `pair`: the range of the byte after
    uint8_t high1 = 0;
    bool pair = false;
};

struct TRESkip {
    bool dead = false;  // no character matters at all
    uint8_t probes = 0;
    std::array<TRESkipProbe, 4> probe{};
};

// One flag per character class.
using TREClassSet = std::vector<bool>;

// The skip for a state: `matters[k]` says that a character of class k makes its position a
// candidate; `after(b)` gives, for a one-byte character b that matters, the classes of the
// next character that can still matter (so that every other next character lets the state
// carry on as if b had not been there), or nullopt. Nullopt when skipping would not pay.
std::optional<TRESkip> BuildSkip(
    const TREAlphabet& alphabet,
    const TREClassSet& matters,
    const std::function<std::optional<TREClassSet>(unsigned char b)>& after);

// The first candidate position in [p, end), or end; `begin` is the start of the text (the
// last block may reach back to it). p must be a character boundary.
const unsigned char* FindCandidate(const unsigned char* begin,
                                   const unsigned char* p,
                                   const unsigned char* end,
                                   const TRESkip& skip);

// Whether q starts a character, given that `boundary` (<= q) does.
inline bool IsCharBoundary(const unsigned char* boundary, const unsigned char* q) {
    size_t run = 0;
    for (const unsigned char* j = q; j > boundary && IsSjisLeadByte(j[-1]); --j) ++run;
    return run % 2 == 0;
}

}  // namespace pelorin
