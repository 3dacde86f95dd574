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
#include "store/packet_files.h"
#include "store/strutil.h"

#include <algorithm>
#include <fstream>
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

// Header lines of a message text (trailing CR removed) and the length of the header block
// including the LF of every header line (not the empty line).
TSList HeaderLines(std::string_view text, size_t& header_bytes) {
    TSList lines;
    size_t pos = 0;
    header_bytes = 0;
    while (pos < text.size()) {
        size_t lf = text.find('\n', pos);
        if (lf == std::string_view::npos)
            lf = text.size();
        std::string_view line = text.substr(pos, lf - pos);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty())
            break;
        lines.emplace_back(line);
        pos = lf + 1;
        header_bytes = std::min(pos, text.size());
    }
    return lines;
}

int32_t CountLfLines(std::string_view text) {
    return ToInt32(std::count(text.begin(), text.end(), '\n'));
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

void ParseMessageAt(
    std::string_view text, int64_t start, const ParseContext& ctx, int depth, MessageList& out);

void SplitDigest(
    std::string_view body, int64_t offset, const ParseContext& ctx, int depth, MessageList& out) {
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
        ParseMessageAt(body.substr(0, part_len), offset, ctx, depth + 1, out);
        body.remove_prefix(part_len);
        offset += static_cast<int64_t>(part_len);
        if (next != std::string_view::npos)
            DropLine(body, offset);
        DropLeadingBlanks(body, offset);
    }
}

void ParseMessageAt(
    std::string_view text, int64_t start, const ParseContext& ctx, int depth, MessageList& out) {
    size_t header_bytes = 0;
    TSList header = HeaderLines(text, header_bytes);
    if (!ctx.digestMarker.empty() && depth < kMaxDigestDepth) {
        std::string subject = HeaderListValue(header, "Subject");
        if (subject.find(ctx.digestMarker) != std::string::npos) {
            size_t body_at = std::min(header_bytes + 1, text.size());
            SplitDigest(text.substr(body_at), start + static_cast<int64_t>(body_at), ctx, depth,
                        out);
            return;
        }
    }
    auto msg = std::make_unique<TMsg>();
    msg->msgFile = ctx.msgFile;
    msg->offset = start;
    msg->subject = DecodeHeaderText(HeaderListValue(header, "Subject"));
    msg->SetFrom(DecodeHeaderText(HeaderListValue(header, "From")));
    msg->SetDate(HeaderListValue(header, "Date"));
    msg->messageId = HeaderListValue(header, "Message-ID");
    msg->references = ReferencesOrInReplyTo(header);
    msg->parentId = LastAngleToken(msg->references);
    msg->length = static_cast<int64_t>(text.size());
    msg->lineCount = CountLfLines(text);
    msg->number = 0;
    msg->depth = 0;
    msg->mark = '*';
    out.push_back(std::move(msg));
}

// Reads up to `n` bytes (never more than the file still holds).
std::string ReadUpTo(std::ifstream& in, int64_t n, int64_t remaining) {
    n = std::clamp<int64_t>(n, 0, std::max<int64_t>(remaining, 0));
    std::string buf(static_cast<size_t>(n), '\0');
    in.read(buf.data(), static_cast<std::streamsize>(n));
    buf.resize(static_cast<size_t>(std::max<std::streamsize>(in.gcount(), 0)));
    return buf;
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
    ParseMessageAt(text, start, ctx, 0, out);
}

namespace {

// The loop both framings share: `frame` reads one frame header at `pos` (advancing it) and
// gives the message length that follows (0 or less: no message there), or nullopt when the
// file holds no further frame. Lengths past the end of the file take what is there.
template <typename Frame>
void ParseFramed(const ParseContext& ctx,
                 MessageList& out,
                 const std::function<void(int64_t, int64_t)>& progress,
                 bool rnewsRules,  // empty batches are none; a NUL ends the text
                 Frame frame) {
    const int64_t size = FileSize(ctx.msgFile);
    if (size <= 0)
        return;
    std::ifstream in(DiskPath(ctx.msgFile), std::ios::binary);
    if (!in)
        return;
    int64_t pos = 0;
    while (pos < size && in) {
        const std::optional<int64_t> length = frame(in, pos, size);
        if (!length)
            break;
        if (*length <= 0 && rnewsRules)
            continue;
        const int64_t start = pos;
        std::string text = ReadUpTo(in, *length, size - pos);
        pos += static_cast<int64_t>(text.size());
        if (rnewsRules) {
            const size_t nul = text.find('\0');
            if (nul != std::string::npos)
                text.resize(nul);
        }
        ParseOneMessage(text, start, ctx, out);
        if (progress)
            progress(pos, size);
    }
}

}  // namespace

void ParseRnewsFile(const ParseContext& ctx,
                    MessageList& out,
                    const std::function<void(int64_t, int64_t)>& progress) {
    // Any 9 bytes that do not start a batch are passed over; a batch without a count is none.
    ParseFramed(ctx, out, progress, true,
                [](std::ifstream& in, int64_t& pos, int64_t size) -> std::optional<int64_t> {
                    const std::string head = ReadUpTo(in, 9, size - pos);
                    pos += static_cast<int64_t>(head.size());
                    if (head != kRnews)
                        return 0;
                    int64_t count = 0;
                    for (int c = in.get(); c != std::char_traits<char>::eof(); c = in.get()) {
                        ++pos;
                        if (c == '\n')
                            break;
                        // Counts beyond the file are cut to it anyway; stop before overflow.
                        if (c >= '0' && c <= '9' && count <= size)
                            count = count * 10 + (c - '0');
                    }
                    return count;
                });
}

void ParseBinaryFile(const ParseContext& ctx,
                     MessageList& out,
                     const std::function<void(int64_t, int64_t)>& progress) {
    // A record of length 0 is one empty message; a length field cut short ends the file.
    ParseFramed(ctx, out, progress, false,
                [](std::ifstream& in, int64_t& pos, int64_t size) -> std::optional<int64_t> {
                    const std::string len = ReadUpTo(in, 4, size - pos);
                    pos += static_cast<int64_t>(len.size());
                    if (len.size() < 4)
                        return std::nullopt;
                    int64_t n = 0;
                    for (char c : len) n = n << 8 | static_cast<unsigned char>(c);
                    return n;
                });
}

std::unique_ptr<TMsg> ParseIndexLine(std::string_view line,
                                     char layout,
                                     const std::string& msgFile) {
    TSList col = SplitTab(line, 8);
    col.resize(9);
    auto msg = std::make_unique<TMsg>();
    msg->msgFile = msgFile;
    msg->offset = ToInteger64(col[0]);
    msg->subject = DecodeHeaderText(col[1]);
    msg->SetFrom(DecodeHeaderText(col[2]));
    msg->SetDate(col[3]);
    if (layout == 'C') {
        msg->length = ToInteger64(col[4]);
        msg->lineCount = ToInteger(col[5]);
        msg->number = ToInteger(col[6]);
    } else {
        msg->messageId = col[4];
        msg->references = col[5];
        // Five blanks make a value without a token match no Message-ID.
        msg->parentId = LastAngleToken(col[5] + "     ");
        msg->length = ToInteger64(col[6]);
        msg->lineCount = ToInteger(col[7]);
        msg->number = ToInteger(col[8]);
    }
    msg->depth = 0;
    msg->mark = '*';
    return msg;
}

}  // namespace pelorin
