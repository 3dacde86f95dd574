// TRESkip. See re_skip.h for the probes and when a state skips.
#include "select/re_skip.h"

#include "coding/jis.h"

#include <algorithm>
#include <cstring>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace pelorin {
namespace {

bool InRange(uint8_t b, uint8_t low, uint8_t high) {
    return static_cast<uint8_t>(b - low) <= static_cast<uint8_t>(high - low);
}

// Whether position q (< end) is a candidate of probe `pr`. At the last byte a pair probe looks
// at the first byte only, so that a lead byte ending the text is never passed over.
bool ProbeHit(const TRESkipProbe& pr, const unsigned char* q, const unsigned char* end) {
    if (!InRange(*q, pr.low0, pr.high0))
        return false;
    return !pr.pair || q + 1 == end || InRange(q[1], pr.low1, pr.high1);
}

template <int N>
const unsigned char* FindProbes([[maybe_unused]] const unsigned char* begin,
                                const unsigned char* p,
                                const unsigned char* end,
                                const TRESkip& skip) {
#if defined(__SSE2__)
    __m128i low0[N], width0[N], low1[N], width1[N];
    for (int i = 0; i < N; ++i) {
        const TRESkipProbe& pr = skip.probe[i];
        low0[i] = _mm_set1_epi8(static_cast<char>(pr.low0));
        width0[i] = _mm_set1_epi8(static_cast<char>(pr.high0 - pr.low0));
        // A probe without a second byte accepts any byte there.
        low1[i] = _mm_set1_epi8(static_cast<char>(pr.pair ? pr.low1 : 0));
        width1[i] = _mm_set1_epi8(static_cast<char>(pr.pair ? pr.high1 - pr.low1 : 0xFF));
    }
    // Candidates among the 16 positions from b0; their following bytes start at b0 + 1.
    auto block = [&](const unsigned char* b0) {
        __m128i v0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b0));
        __m128i v1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b0 + 1));
        __m128i hit = _mm_setzero_si128();
        for (int i = 0; i < N; ++i) {
            // v - low <= width, unsigned: min(t, width) == t.
            __m128i t0 = _mm_sub_epi8(v0, low0[i]);
            __m128i t1 = _mm_sub_epi8(v1, low1[i]);
            hit = _mm_or_si128(hit, _mm_and_si128(_mm_cmpeq_epi8(_mm_min_epu8(t0, width0[i]), t0),
                                                  _mm_cmpeq_epi8(_mm_min_epu8(t1, width1[i]), t1)));
        }
        return static_cast<unsigned>(_mm_movemask_epi8(hit));
    };
    while (end - p >= 17) {
        if (unsigned mask = block(p))
            return p + __builtin_ctz(mask);
        p += 16;
    }
    // The last 16 bytes or fewer: the block that ends one byte before the end, with the
    // positions before p masked off (when the text is long enough to hold such a block); the
    // last byte is looked at on its own below.
    if (end - begin >= 17 && end - p >= 2) {
        const unsigned char* base = end - 17;
        unsigned mask = block(base) & (0xFFFFu << (p - base));
        if (mask)
            return base + __builtin_ctz(mask);
        p = end - 1;
    }
#endif
    for (; p < end; ++p) {
        for (int i = 0; i < N; ++i) {
            if (ProbeHit(skip.probe[i], p, end))
                return p;
        }
    }
    return end;
}

// Runs of consecutive set entries, as (low, high) byte pairs.
std::vector<std::pair<uint8_t, uint8_t>> Runs(const std::array<bool, 256>& set) {
    std::vector<std::pair<uint8_t, uint8_t>> runs;
    for (unsigned b = 0; b < 256; ++b) {
        if (!set[b])
            continue;
        if (b > 0 && set[b - 1])
            runs.back().second = static_cast<uint8_t>(b);
        else
            runs.emplace_back(static_cast<uint8_t>(b), static_cast<uint8_t>(b));
    }
    return runs;
}

// The first bytes of the characters whose class is in `set`.
std::array<bool, 256> FirstBytes(const TREAlphabet& alphabet, const TREClassSet& set) {
    const TREAlphabet::Page& singles = alphabet.PageOf(0);
    std::array<bool, 256> out{};
    for (unsigned b = 0; b < 256; ++b) {
        bool hit = set[singles[b]];
        if (IsSjisLeadByte(static_cast<unsigned char>(b))) {
            for (uint16_t k : alphabet.PageClasses(b)) hit = hit || set[k];
        }
        out[b] = hit;
    }
    return out;
}

bool Everyday(unsigned b) {
    return b == ' ' || (b >= 0x81 && b <= 0x83);
}

// Probes with pairs where they can be had; nullopt when more than four would be needed or one
// would stop at an everyday byte.
std::optional<TRESkip> PairProbes(
    const TREAlphabet& alphabet,
    const TREClassSet& matters,
    const std::array<bool, 256>& first,
    const std::function<std::optional<TREClassSet>(unsigned char b)>& after) {
    const TREAlphabet::Page& singles = alphabet.PageOf(0);
    TRESkip skip;
    auto add = [&](TRESkipProbe pr) {
        if (skip.probes == skip.probe.size())
            return false;
        skip.probe[skip.probes++] = pr;
        return true;
    };
    // Double-byte characters: the lead byte with each run of trail bytes that matter, when the
    // lead byte as a character of its own (at the end of a text) does not matter.
    std::array<bool, 256> one_byte{};
    for (unsigned b = 0; b < 256; ++b) {
        if (!first[b])
            continue;
        if (!IsSjisLeadByte(static_cast<unsigned char>(b))) {
            one_byte[b] = true;
            continue;
        }
        std::array<bool, 256> trails{};
        for (unsigned t = 0; t < 256; ++t) trails[t] = matters[alphabet.PageOf(b)[t]];
        const auto lead = static_cast<uint8_t>(b);
        if (matters[singles[b]] || trails[0] || trails[255]) {
            // The lead byte alone may matter (it can end the text): probe it on its own.
            if (Everyday(b) || !add({lead, lead, 0, 0, false}))
                return std::nullopt;
            continue;
        }
        for (auto [low, high] : Runs(trails)) {
            if (!add({lead, lead, low, high, true}))
                return std::nullopt;
        }
    }
    // One-byte characters, paired with the next byte where `after` allows.
    int count = 0;
    for (bool b : one_byte) count += b;
    if (count > 16 || one_byte[' '])
        return std::nullopt;
    for (auto [low, high] : Runs(one_byte)) {
        TRESkipProbe pr{low, high, 0, 0, false};
        if (low == high) {
            if (std::optional<TREClassSet> next = after(low)) {
                auto runs = Runs(FirstBytes(alphabet, *next));
                if (runs.size() == 1) {
                    pr.pair = true;
                    pr.low1 = runs[0].first;
                    pr.high1 = runs[0].second;
                }
            }
        }
        if (!add(pr))
            return std::nullopt;
    }
    return skip;
}

}  // namespace

std::optional<TRESkip> BuildSkip(
    const TREAlphabet& alphabet,
    const TREClassSet& matters,
    const std::function<std::optional<TREClassSet>(unsigned char b)>& after) {
    const std::array<bool, 256> first = FirstBytes(alphabet, matters);
    if (std::none_of(first.begin(), first.end(), [](bool b) { return b; })) {
        TRESkip dead;
        dead.dead = true;
        return dead;
    }
    if (std::optional<TRESkip> pairs = PairProbes(alphabet, matters, first, after))
        return pairs;
    // Otherwise the first bytes themselves, as up to four runs of few bytes.
    int count = 0;
    for (bool b : first) count += b;
    auto runs = Runs(first);
    TRESkip skip;
    if (count > 16 || runs.size() > skip.probe.size())
        return std::nullopt;
    for (auto [low, high] : runs) {
        for (unsigned b = low; b <= high; ++b) {
            if (Everyday(b))
                return std::nullopt;
        }
        skip.probe[skip.probes++] = {low, high, 0, 0, false};
    }
    return skip;
}

const unsigned char* FindCandidate(const unsigned char* begin,
                                   const unsigned char* p,
                                   const unsigned char* end,
                                   const TRESkip& skip) {
    const TRESkipProbe& first = skip.probe[0];
    if (skip.probes == 1 && !first.pair && first.low0 == first.high0) {
        const void* hit = std::memchr(p, first.low0, static_cast<size_t>(end - p));
        return hit ? static_cast<const unsigned char*>(hit) : end;
    }
    switch (skip.probes) {
        case 1:
            return FindProbes<1>(begin, p, end, skip);
        case 2:
            return FindProbes<2>(begin, p, end, skip);
        case 3:
            return FindProbes<3>(begin, p, end, skip);
        default:
            return FindProbes<4>(begin, p, end, skip);
    }
}

}  // namespace pelorin
