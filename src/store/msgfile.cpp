// Message file framings, digests and index lines (see msgfile.h).
//
// Header lines of a message are the lines before the first empty line. A line ending in CR LF
// counts as ending in LF, and a line holding only a CR ends the header like an empty one, so a
// message file written with CR LF line ends reads like one written with LF (values never carry
// a trailing CR into the record).
//
// Bad input: framing counts are never trusted beyond the end of the file; digests nest at most
// kMaxDigestDepth deep (a deeper part is taken as a plain message).
#include "store/msgfile.h"

#include "store/disk_path.h"
#include "store/mapped_file.h"
#include "store/packet_files.h"
#include "store/strutil.h"
#include "store/textfile.h"
#include "store/threads.h"

#include <algorithm>
#include <array>
#if defined(__x86_64__)
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <cstring>
#include <limits>
#include <optional>

namespace pelorin {
namespace {

constexpr std::string_view kRnews = "#! rnews ";
constexpr int kMaxDigestDepth = 8;

int32_t ToInt32(int64_t v) {
    if (v > std::numeric_limits<int32_t>::max())
        return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(v);
}

// Per byte of a machine word, 0x80 where the byte is zero and 0 elsewhere (exact: no borrow
// runs from one byte into the next).
inline uint64_t ZeroBytes(uint64_t x) {
    constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL;
    return ~(((x & kLow7) + kLow7) | x | kLow7);
}

#if defined(__x86_64__)
// Counts the LF bytes of whole 32-byte blocks of `text` from `i` on, as long as no NUL byte
// is among them, and gives the place where it stopped: the end of the last whole block, or
// the start of a round of blocks that holds a NUL (left to the caller's finer loops). Each
// lane of `acc` counts the LFs in its byte, so a round is at most 255 blocks; NULs are only
// looked at once a round, as they are rare.
__attribute__((target("avx2"))) size_t CountLfBlocksAvx2(std::string_view text,
                                                         size_t i,
                                                         int64_t& n) {
    const __m256i lf = _mm256_set1_epi8('\n'), zero = _mm256_setzero_si256();
    while (i + 32 <= text.size()) {
        __m256i acc = zero, nuls = zero;
        size_t j = i;
        for (int round = 0; round < 255 && j + 32 <= text.size(); ++round, j += 32) {
            const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text.data() + j));
            nuls = _mm256_or_si256(nuls, _mm256_cmpeq_epi8(v, zero));
            acc = _mm256_sub_epi8(acc, _mm256_cmpeq_epi8(v, lf));
        }
        if (!_mm256_testz_si256(nuls, nuls))
            return i;
        const __m256i sums = _mm256_sad_epu8(acc, zero);
        n += _mm256_extract_epi64(sums, 0) + _mm256_extract_epi64(sums, 1) +
             _mm256_extract_epi64(sums, 2) + _mm256_extract_epi64(sums, 3);
        i = j;
    }
    return i;
}

const bool kHaveAvx2 = __builtin_cpu_supports("avx2");
#endif

// Counts the LF bytes of `text` up to its first NUL byte, many bytes at a time (bodies are
// most of a message file). `nul` receives the place of that NUL, or npos.
int64_t CountLfBeforeNul(std::string_view text, size_t& nul) {
    constexpr uint64_t kOnes = 0x0101010101010101ULL;
    int64_t n = 0;
    size_t i = 0;
    nul = std::string_view::npos;
#if defined(__x86_64__)
    if (kHaveAvx2)
        i = CountLfBlocksAvx2(text, i, n);
#endif
#if defined(__SSE2__)
    // Sixteen bytes at a time: each lane of `acc` counts the LFs in its byte (at most 255
    // blocks a round); a block holding a NUL is left to the loops below.
    const __m128i lf = _mm_set1_epi8('\n'), zero = _mm_setzero_si128();
    bool nulAhead = false;
    while (!nulAhead && i + 16 <= text.size()) {
        __m128i acc = _mm_setzero_si128();
        for (int round = 0; round < 255 && i + 16 <= text.size(); ++round) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i));
            if (_mm_movemask_epi8(_mm_cmpeq_epi8(v, zero)) != 0) {
                nulAhead = true;
                break;
            }
            acc = _mm_sub_epi8(acc, _mm_cmpeq_epi8(v, lf));
            i += 16;
        }
        const __m128i sums = _mm_sad_epu8(acc, zero);
        n += _mm_cvtsi128_si64(sums) + _mm_cvtsi128_si64(_mm_unpackhi_epi64(sums, sums));
    }
#endif
    for (; i + 8 <= text.size(); i += 8) {
        uint64_t w;
        std::memcpy(&w, text.data() + i, 8);
        if (ZeroBytes(w) != 0)
            break;  // a NUL in this word: finish byte by byte
        // The number of LF bytes: one bit per LF byte, summed by a multiply.
        n += static_cast<int64_t>(((ZeroBytes(w ^ (kOnes * '\n')) >> 7) * kOnes) >> 56);
    }
    for (; i < text.size(); ++i) {
        if (text[i] == '\0') {
            nul = i;
            break;
        }
        n += text[i] == '\n';
    }
    return n;
}

int32_t CountLfLines(std::string_view text) {
    int64_t n = 0;
    size_t pos = 0;
    for (;;) {
        size_t nul = 0;
        n += CountLfBeforeNul(text.substr(pos), nul);
        if (nul == std::string_view::npos)
            return ToInt32(n);
        pos += nul + 1;
    }
}

// The header fields a record keeps, found in one pass over the header lines of a message,
// in place: a field is its first line whose name matches without regard to ASCII case and is
// followed by ": ", plus the lines after it that begin with a blank or TAB (their leading
// blanks and TABs dropped, the last character of a blank line kept). The header ends at the
// first line that is empty once a trailing CR is dropped.
struct HeaderFields {
    enum Field { kSubject, kFrom, kDate, kMessageId, kReferences, kInReplyTo, kCount };
    // A field on one line is a view into the message; one with continuation lines is joined
    // in `joined` and viewed there.
    std::string_view value[kCount];
    std::string joined[kCount];
    bool found[kCount] = {};
    bool isJoined[kCount] = {};
    size_t headerBytes = 0;  // the header lines with their LFs (not the empty line)

    void Continue(int field, std::string_view more) {
        if (!isJoined[field]) {
            joined[field].assign(value[field]);
            isJoined[field] = true;
        }
        joined[field].append(more);
        value[field] = joined[field];
    }
};

constexpr std::string_view kFieldKeys[HeaderFields::kCount] = {
    "subject: ", "from: ", "date: ", "message-id: ", "references: ", "in-reply-to: "};

bool KeyMatches(std::string_view line, std::string_view key) {
    if (line.size() < key.size())
        return false;
    for (size_t i = 0; i < key.size(); ++i) {
        char c = line[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != key[i])
            return false;
    }
    return true;
}

int MatchField(std::string_view line, const bool found[]) {
    auto try_field = [&](int f) { return !found[f] && KeyMatches(line, kFieldKeys[f]) ? f : -1; };
    switch (line[0] | 0x20) {
        case 's':
            return try_field(HeaderFields::kSubject);
        case 'f':
            return try_field(HeaderFields::kFrom);
        case 'd':
            return try_field(HeaderFields::kDate);
        case 'm':
            return try_field(HeaderFields::kMessageId);
        case 'r':
            return try_field(HeaderFields::kReferences);
        case 'i':
            return try_field(HeaderFields::kInReplyTo);
        default:
            return -1;
    }
}

void ScanHeader(std::string_view text, HeaderFields& h) {
    size_t pos = 0;
    int active = -1;
    while (pos < text.size()) {
        const void* at = std::memchr(text.data() + pos, '\n', text.size() - pos);
        const size_t lf =
            at ? static_cast<size_t>(static_cast<const char*>(at) - text.data()) : text.size();
        std::string_view line = text.substr(pos, lf - pos);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty())
            break;
        pos = lf + 1;
        h.headerBytes = std::min(pos, text.size());
        if (line[0] == ' ' || line[0] == '\t') {
            if (active >= 0) {
                size_t skip = 0;
                while (skip + 1 < line.size() && (line[skip] == ' ' || line[skip] == '\t')) ++skip;
                h.Continue(active, line.substr(skip));
            }
            continue;
        }
        active = MatchField(line, h.found);
        if (active >= 0) {
            h.found[active] = true;
            h.value[active] = line.substr(kFieldKeys[active].size());
        }
    }
}

bool IsBlankText(std::string_view text) {
    for (char c : text) {
        if (c != ' ' && c != '\n' && c != '\r' && c != '\t')
            return false;
    }
    return true;
}

// Drops leading blanks and LFs (CRs too, for CR LF digests), advancing `offset` for each.
void DropLeadingBlanks(std::string_view& text, int64_t& offset) {
    while (!text.empty() && (text[0] == ' ' || text[0] == '\n' || text[0] == '\r')) {
        text.remove_prefix(1);
        ++offset;
    }
}

// Drops everything through the LF that ends the line starting at `text`.
void DropLine(std::string_view& text, int64_t& offset) {
    size_t lf = text.find('\n');
    size_t n = lf == std::string_view::npos ? text.size() : lf + 1;
    text.remove_prefix(n);
    offset += static_cast<int64_t>(n);
}

// Where the records of one load keep their text: the store (null when each record holds its
// own copies), and the share of it that each record takes; with the message file's path.
struct LoadText {
    LoadText(const std::shared_ptr<TextStore>& s, const SharedPath& msgFile)
        : store(s.get())
        , share(s)
        , shares(share)
        , paths(msgFile) {}
    TextStore* store;
    TMsg::StoreShare share;
    // The records' copies of the share and of the message file's path.
    mutable CopyBatch<TMsg::StoreShare> shares;
    mutable CopyBatch<SharedPath> paths;
};

// `load.store`, when set, keeps the record's fields (see record_text.h); else each record holds
// its own copies.
void ParseMessageAt(std::string_view text,
                    int64_t start,
                    const ParseContext& ctx,
                    const LoadText& load,
                    int depth,
                    MessageList& out,
                    int64_t knownLines = -1);

void SplitDigest(std::string_view body,
                 int64_t offset,
                 const ParseContext& ctx,
                 const LoadText& load,
                 int depth,
                 MessageList& out) {
    // Everything before the first separator line ("--" at the start of a line) is preamble.
    size_t sep = body.find("\n--");
    if (sep == std::string_view::npos) {
        DropLine(body, offset);
    } else {
        body.remove_prefix(sep + 1);
        offset += static_cast<int64_t>(sep + 1);
        DropLine(body, offset);
    }
    DropLeadingBlanks(body, offset);
    while (!IsBlankText(body)) {
        size_t next = body.find("\n--");
        size_t part_len = next == std::string_view::npos ? body.size() : next + 1;
        ParseMessageAt(body.substr(0, part_len), offset, ctx, load, depth + 1, out);
        body.remove_prefix(part_len);
        offset += static_cast<int64_t>(part_len);
        if (next != std::string_view::npos)
            DropLine(body, offset);
        DropLeadingBlanks(body, offset);
    }
}

// `knownLines`: the text's LF count when the caller has it already, else -1.
// `load.store`, when set, keeps the record's fields (see record_text.h); else each record holds
// its own copies.
void ParseMessageAt(std::string_view text,
                    int64_t start,
                    const ParseContext& ctx,
                    const LoadText& load,
                    int depth,
                    MessageList& out,
                    int64_t knownLines) {
    HeaderFields h;
    ScanHeader(text, h);
    if (!ctx.digestMarker.empty() && depth < kMaxDigestDepth) {
        if (h.value[HeaderFields::kSubject].find(ctx.digestMarker) != std::string_view::npos) {
            size_t body_at = std::min(h.headerBytes + 1, text.size());
            SplitDigest(text.substr(body_at), start + static_cast<int64_t>(body_at), ctx, load,
                        depth, out);
            return;
        }
    }
    auto msg = std::make_unique_for_overwrite<TMsg>();  // see IndexRecord
    msg->msgFile = load.paths.Next();
    msg->offset = start;
    auto keep = [store = load.store](std::string_view value) {
        return store ? RecordText::View(store->Add(value)) : RecordText(value);
    };
    auto decoded = [&keep](std::string_view raw) {
        return NeedsHeaderDecoding(raw) ? keep(DecodeHeaderText(raw)) : keep(raw);
    };
    msg->subject = decoded(h.value[HeaderFields::kSubject]);
    msg->SetFrom(decoded(h.value[HeaderFields::kFrom]));
    msg->SetDate(keep(h.value[HeaderFields::kDate]));
    msg->messageId = keep(h.value[HeaderFields::kMessageId]);
    msg->references = keep(!h.value[HeaderFields::kReferences].empty()
                               ? h.value[HeaderFields::kReferences]
                               : LastAngleTokenView(h.value[HeaderFields::kInReplyTo]));
    // The parent is the last token of the references, a part of the text just kept.
    const std::string_view refs = msg->references.view();
    const std::string_view parent = LastAngleTokenView(refs);
    msg->parentId = load.store ? RecordText::View(parent) : RecordText(parent);
    if (load.store)
        msg->textStore = load.shares.Next();
    msg->length = static_cast<int64_t>(text.size());
    msg->lineCount = knownLines >= 0 ? ToInt32(knownLines) : CountLfLines(text);
    msg->number = 0;
    msg->depth = 0;
    msg->displayPos = static_cast<int32_t>(out.size());  // file order, until sorted
    msg->mark = '*';
    out.push_back(std::move(msg));
}

}  // namespace

std::string ReferencesOrInReplyTo(const TSList& headerLines) {
    std::string refs = HeaderListValue(headerLines, "References");
    if (refs.empty())
        refs = LastAngleToken(HeaderListValue(headerLines, "In-Reply-To"));
    return refs;
}

void ParseOneMessage(std::string_view text,
                     int64_t start,
                     const ParseContext& ctx,
                     MessageList& out) {
    ParseMessageAt(text, start, ctx, LoadText(nullptr, ctx.msgFile), 0, out);
}

namespace {

// The loop both framings share, over the mapped file: `frame` reads one frame header at `pos`
// (advancing it) and gives the message length that follows (0 or less: no message there), or
// nullopt when the file holds no further frame. Lengths past the end of the file take what is
// there.
template <typename Frame>
void ParseFramed(const ParseContext& ctx,
                 MessageList& out,
                 const std::function<void(int64_t, int64_t)>& progress,
                 bool rnewsRules,  // empty batches are none; a NUL ends the text
                 Frame frame) {
    MappedFile file(ctx.msgFile.str());
    const LoadText load(std::make_shared<TextStore>(), ctx.msgFile);
    const std::string_view bytes = file.Bytes();
    const auto size = static_cast<int64_t>(bytes.size());
    int64_t pos = 0;
    if (ctx.missing)
        *ctx.missing = 0;
    while (pos < size) {
        const std::optional<int64_t> length = frame(bytes, pos);
        if (!length)
            break;
        if (*length <= 0 && rnewsRules)
            continue;
        if (ctx.missing && *length > size - pos)
            *ctx.missing = *length - (size - pos);
        const int64_t start = pos;
        const int64_t take = std::clamp<int64_t>(*length, 0, size - pos);
        std::string_view text = bytes.substr(static_cast<size_t>(pos), static_cast<size_t>(take));
        pos += take;
        int64_t lines = -1;
        if (rnewsRules) {
            size_t nul = 0;
            lines = CountLfBeforeNul(text, nul);
            if (nul != std::string_view::npos)
                text = text.substr(0, nul);
        }
        ParseMessageAt(text, start, ctx, load, 0, out, lines);
        file.DoneBefore(static_cast<size_t>(pos));
        if (progress)
            progress(pos, size);
    }
}

}  // namespace

namespace {

// Any 9 bytes that do not start a batch are passed over; a batch without a count is none.
std::optional<int64_t> RnewsFrame(std::string_view bytes, int64_t& pos) {
    const auto size = static_cast<int64_t>(bytes.size());
    const std::string_view head = bytes.substr(
        static_cast<size_t>(pos), static_cast<size_t>(std::min<int64_t>(9, size - pos)));
    pos += static_cast<int64_t>(head.size());
    if (head != kRnews)
        return 0;
    int64_t count = 0;
    while (pos < size) {
        const char c = bytes[static_cast<size_t>(pos++)];
        if (c == '\n')
            break;
        // Counts beyond the file are cut to it anyway; stop before overflow.
        if (c >= '0' && c <= '9' && count <= size)
            count = count * 10 + (c - '0');
    }
    return count;
}

// A record of length 0 is one empty message; a length field cut short ends the file.
std::optional<int64_t> BinaryFrame(std::string_view bytes, int64_t& pos) {
    if (static_cast<int64_t>(bytes.size()) - pos < 4) {
        pos = static_cast<int64_t>(bytes.size());
        return std::nullopt;
    }
    int64_t n = 0;
    for (int k = 0; k < 4; ++k)
        n = n << 8 | static_cast<unsigned char>(bytes[static_cast<size_t>(pos++)]);
    return n;
}

}  // namespace

void ParseRnewsFile(const ParseContext& ctx,
                    MessageList& out,
                    const std::function<void(int64_t, int64_t)>& progress) {
    ParseFramed(ctx, out, progress, true, RnewsFrame);
}

void ParseBinaryFile(const ParseContext& ctx,
                     MessageList& out,
                     const std::function<void(int64_t, int64_t)>& progress) {
    ParseFramed(ctx, out, progress, false, BinaryFrame);
}

void ForEachFramedText(std::string_view bytes,
                       char framing,
                       const std::function<void(std::string_view text, int64_t end)>& each) {
    const bool rnews = framing == 'u';
    const auto size = static_cast<int64_t>(bytes.size());
    int64_t pos = 0;
    while (pos < size) {
        const std::optional<int64_t> length =
            rnews ? RnewsFrame(bytes, pos) : BinaryFrame(bytes, pos);
        if (!length)
            break;
        if (*length <= 0 && rnews)
            continue;
        const int64_t take = std::clamp<int64_t>(*length, 0, size - pos);
        std::string_view text = bytes.substr(static_cast<size_t>(pos), static_cast<size_t>(take));
        pos += take;
        if (rnews)
            text = text.substr(0, text.find('\0'));
        each(text, pos);
    }
}

namespace {

using IndexColumns = std::array<std::string_view, 9>;

// Nine columns between TABs; missing ones are empty, anything after the ninth is ignored.
IndexColumns SplitIndexLine(std::string_view line) {
    IndexColumns col{};
    size_t pos = 0;
    for (size_t k = 0; k < col.size() && pos <= line.size(); ++k) {
        const void* at = std::memchr(line.data() + pos, '\t', line.size() - pos);
        if (!at) {
            col[k] = line.substr(pos);
            break;
        }
        const size_t tab = static_cast<size_t>(static_cast<const char*>(at) - line.data());
        col[k] = line.substr(pos, tab - pos);
        pos = tab + 1;
    }
    return col;
}

#if defined(__x86_64__)
// NextIndexLine's scan thirty-two bytes at a time, from `i` while whole blocks remain: notes
// the TABs (up to nine) and, when it meets the line's end, sets `end`. Gives where it stopped.
__attribute__((target("avx2"))) size_t ScanIndexLineAvx2(
    const char* base, size_t left, size_t i, size_t tabs[9], size_t& ntabs, size_t& end) {
    const __m256i tab = _mm256_set1_epi8('\t'), lf = _mm256_set1_epi8('\n'),
                  cr = _mm256_set1_epi8('\r');
    for (; i + 32 <= left; i += 32) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(base + i));
        auto ends = static_cast<uint32_t>(_mm256_movemask_epi8(
            _mm256_or_si256(_mm256_cmpeq_epi8(v, lf), _mm256_cmpeq_epi8(v, cr))));
        auto found = static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(v, tab)));
        if (ends)
            found &= (uint32_t{1} << __builtin_ctz(ends)) - 1;  // TABs before the line's end
        while (found && ntabs < 9) {
            tabs[ntabs++] = i + static_cast<size_t>(__builtin_ctz(found));
            found &= found - 1;
        }
        if (ends) {
            end = i + static_cast<size_t>(__builtin_ctz(ends));
            return i;
        }
    }
    return i;
}
#endif

// The columns of the line at `pos` as SplitIndexLine gives them, found in one pass over the
// line (32 or 16 bytes at a time): the line ends at its first CR or LF (a CR LF counts as one
// end), or at the end of the text. Leaves `pos` at the next line and gives the line's length.
size_t NextIndexLine(std::string_view text, size_t& pos, IndexColumns& col) {
    const char* const base = text.data() + pos;
    const size_t left = text.size() - pos;
    size_t tabs[9];
    size_t ntabs = 0, end = left;
    size_t i = 0;
#if defined(__x86_64__)
    if (kHaveAvx2)
        i = ScanIndexLineAvx2(base, left, i, tabs, ntabs, end);
#endif
#if defined(__SSE2__)
    const __m128i tab = _mm_set1_epi8('\t'), lf = _mm_set1_epi8('\n'), cr = _mm_set1_epi8('\r');
    for (; end == left && i + 16 <= left; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + i));
        auto ends = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, lf), _mm_cmpeq_epi8(v, cr))));
        auto found = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, tab)));
        if (ends)
            found &= (1u << __builtin_ctz(ends)) - 1;  // TABs before the line's end
        while (found && ntabs < 9) {
            tabs[ntabs++] = i + static_cast<size_t>(__builtin_ctz(found));
            found &= found - 1;
        }
        if (ends) {
            end = i + static_cast<size_t>(__builtin_ctz(ends));
            break;
        }
    }
    if (end == left)
#endif
    {
        for (; i < left; ++i) {
            const char c = base[i];
            if (c == '\n' || c == '\r') {
                end = i;
                break;
            }
            if (c == '\t' && ntabs < 9)
                tabs[ntabs++] = i;
        }
    }
    size_t next = end + 1;
    if (end < left && base[end] == '\r' && next < left && base[next] == '\n')
        ++next;
    pos += std::min(next, left);
    // Each column is written once (no clearing of the whole array first): those before the
    // last TAB, the one after it, and empty ones for what the line lacks.
    size_t from = 0;
    for (size_t k = 0; k < 9; ++k) {
        if (k < ntabs) {
            col[k] = std::string_view(base + from, tabs[k] - from);
            from = tabs[k] + 1;
        } else if (k == ntabs) {
            col[k] = std::string_view(base + from, end - from);
        } else {
            col[k] = std::string_view();
        }
    }
    return end;
}

// A record from an index line's columns (see ParseIndexLine).
std::unique_ptr<TMsg> IndexRecord(const IndexColumns& col, char layout, const LoadText& load) {
    // Every member of a record starts from its own initializer: a record made "for overwrite"
    // is not cleared as a whole first, a store the processor starts slowly for each record.
    auto msg = std::make_unique_for_overwrite<TMsg>();
    msg->msgFile = load.paths.Next();
    msg->offset = ToInteger64(col[0]);
    // With a store the line is its text already: the record views it, and keeps Subject and
    // From as they are until first read (when they are decoded, if they need it).
    TextStore* const store = load.store;
    auto keep = [store](std::string_view value) {
        return store ? RecordText::View(value) : RecordText(value);
    };
    auto decoded = [&](std::string_view raw) {
        return store ? RecordText::Encoded(raw) : RecordText(DecodeHeaderText(raw));
    };
    msg->subject = decoded(col[1]);
    msg->SetFrom(decoded(col[2]));
    msg->SetDate(keep(col[3]));
    if (layout == 'C') {
        msg->length = ToInteger64(col[4]);
        msg->lineCount = ToInteger(col[5]);
        msg->number = ToInteger(col[6]);
    } else {
        msg->messageId = keep(col[4]);
        msg->references = keep(col[5]);
        // LastAngleTokenView gives the whole value when it holds no "<...>" token.
        const std::string_view token = LastAngleTokenView(col[5]);
        if (token.size() >= 2 && token.front() == '<' && token.back() == '>') {
            msg->parentId = keep(token);
        } else if (col[5].empty()) {
            // Five blanks make a value without a token match no Message-ID.
            msg->parentId = RecordText::View(kNoParentId);
        } else {
            std::string id(col[5]);
            id += kNoParentId;
            msg->parentId = store ? RecordText::View(store->Add(id)) : RecordText(id);
        }
        msg->length = ToInteger64(col[6]);
        msg->lineCount = ToInteger(col[7]);
        msg->number = ToInteger(col[8]);
    }
    if (store)
        msg->textStore = load.shares.Next();
    msg->depth = 0;
    msg->mark = '*';
    return msg;
}

}  // namespace

std::unique_ptr<TMsg> ParseIndexLine(std::string_view line,
                                     char layout,
                                     const SharedPath& msgFile,
                                     const std::shared_ptr<TextStore>& store) {
    return IndexRecord(SplitIndexLine(line), layout, LoadText(store, msgFile));
}

void ParseIndexFile(std::string_view path,
                    char layout,
                    const SharedPath& msgFile,
                    MessageList& out,
                    const std::function<void(size_t done, size_t total)>& progress,
                    ThreadPrelink* threads) {
    // The records view the index's own bytes, kept whole in their store.
    auto store = std::make_shared<TextStore>();
    const std::string_view text = store->KeepFile(path);
    const LoadText load(store, msgFile);
    const size_t total = text.size();
    // The number of records, from the lines of the first 64 KiB: room for them is made while
    // the index is read (record_pool::Prepared).
    const std::string_view sample = text.substr(0, 64 * 1024);
    const size_t sampleLines = static_cast<size_t>(std::count(sample.begin(), sample.end(), '\n'));
    const size_t expected =
        sampleLines == 0 ? 0 : total / sample.size() * sampleLines + sampleLines;
    // Thread order linked as the records come fills room of its own, made ready alongside. An
    // index of blank or tiny lines must not make it vast: past what an index of plausible
    // lines would hold, the room grows as records come.
    if (threads)
        threads->Expect(std::min(expected + expected / 8, total / 32 + 1024));
    const record_pool::Prepared room(
        expected * sizeof(TMsg),
        threads ? threads->Room() : std::vector<record_pool::Prepared::Span>());
    out.reserve(out.size() + total / 160);
    size_t pos = 0, reported = 0;
    IndexColumns col;
    while (pos < text.size()) {
        if (NextIndexLine(text, pos, col) > 0) {
            out.push_back(IndexRecord(col, layout, load));
            TMsg* const record = out.back().get();
            record->displayPos = static_cast<int32_t>(out.size() - 1);  // file order
            if (threads)
                threads->Add(*record);
        }
        if (progress && (pos - reported >= 64 * 1024 || pos == total)) {
            progress(pos, total);
            reported = pos;
        }
    }
}

}  // namespace pelorin
