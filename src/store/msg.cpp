// TMsg: reading a message's text, the header lookup, the cached sender and date fields, and
// records built from composed lines (see msg.h). Template expansion is in msg_expand.cpp.
#include "store/msg.h"

#include "coding/header_words.h"
#include "coding/jis.h"
#include "store/address_parts.h"
#include "store/dates.h"
#include "store/disk_path.h"

#include <algorithm>
#include <cstdint>
#include <fstream>

namespace pelorin {
namespace {

constexpr size_t kPiece = 2048;

}  // namespace

void TMsg::SetFrom(std::string_view from) {
    SetFrom(RecordText(from));
}

void TMsg::SetFrom(RecordText from) {
    from_ = std::move(from);
    if (computed_.Has()) {
        Computed& c = computed_.Get();
        c.haveFromName = c.haveFromAddress = false;
        c.fromName.clear();
        c.fromAddress.clear();
    }
}

void TMsg::SetDate(std::string_view date) {
    SetDate(RecordText(date));
}

void TMsg::SetDate(RecordText date) {
    date_ = std::move(date);
    if (computed_.Has()) {
        Computed& c = computed_.Get();
        c.haveSortDate = false;
        c.sortDate.clear();
    }
}

std::string TMsg::ReadText() const {
    std::string text;
    if (length <= 0 || offset < 0 || msgFile.empty())
        return text;
    std::ifstream in(DiskPath(msgFile), std::ios::binary);
    if (!in)
        return text;
    in.seekg(offset);
    if (!in)
        return text;
    // The text grows with what the file really holds, so a length field far beyond the end
    // of the file costs nothing.
    const auto want = static_cast<size_t>(length);
    char piece[kPiece];
    while (text.size() < want) {
        in.read(piece, static_cast<std::streamsize>(std::min(kPiece, want - text.size())));
        const std::streamsize got = in.gcount();
        if (got <= 0)
            break;
        text.append(piece, static_cast<size_t>(got));
    }
    return text;
}

void TMsg::LoadLines() {
    // A record built from composed lines has no file to read them again from.
    if (msgFile.empty() && !lines.empty())
        return;
    lines.clear();
    const std::string text = ReadText();
    TSList& out = lines.Edit();
    size_t pos = 0;
    while (pos < text.size()) {
        size_t lf = text.find('\n', pos);
        if (lf == std::string::npos) {
            out.emplace_back(text, pos, std::string::npos);
            break;
        }
        out.emplace_back(text, pos, lf - pos);
        pos = lf + 1;
    }
    if (out.empty())
        out.emplace_back();
}

std::string HeaderValue(const TSList& lines, std::string_view name) {
    const std::string key = SjisUpper(name) + ": ";
    std::string value;
    bool found = false;
    for (const std::string& line : lines) {
        if (Trim(line).empty())
            break;
        if (!found) {
            if (line.size() >= key.size() &&
                SjisUpper(std::string_view(line).substr(0, key.size())) == key) {
                value = line.substr(key.size());
                found = true;
            }
            continue;
        }
        if (line[0] != ' ' && line[0] != '\t')
            break;
        size_t skip = line.find_first_not_of(" \t");
        if (skip != std::string::npos)
            value.append(line, skip, std::string::npos);
    }
    return value;
}

bool NeedsHeaderDecoding(std::string_view raw) {
    // Most values need none of the three steps: no encoded word, no line break, no JIS escape
    // or shift. (Each step leaves such a text as it is.)
    for (size_t i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == '\n' || c == 0x1B || c == 0x0E ||
            (c == '=' && i + 1 < raw.size() && raw[i + 1] == '?'))
            return true;
    }
    return false;
}

std::string DecodeHeaderText(std::string_view raw) {
    if (!NeedsHeaderDecoding(raw))
        return std::string(raw);
    thread_local std::string decoded;  // one buffer for the many values of an area
    DecodeHeaderWordsTo(decoded, raw);
    if (decoded.find('\n') != std::string::npos)
        return JisToSjis(Unfold(decoded));
    return JisToSjis(decoded);
}

std::string TMsg::Header(std::string_view name) {
    if (lines.empty())
        LoadLines();
    return HeaderValue(lines, name);
}

const std::string& TMsg::FromAddress() const {
    Computed& c = computed_.Get();
    if (!c.haveFromAddress) {
        c.fromAddress = AddressPart(from_);
        c.haveFromAddress = true;
    }
    return c.fromAddress;
}

const std::string& TMsg::FromName() const {
    Computed& c = computed_.Get();
    if (!c.haveFromName) {
        c.fromName = NamePart(from_);
        c.haveFromName = true;
    }
    return c.fromName;
}

const std::string& TMsg::SortDate() const {
    Computed& c = computed_.Get();
    if (!c.haveSortDate) {
        c.sortDate = SortKeyDate(date_);
        c.haveSortDate = true;
    }
    return c.sortDate;
}

TMsg TMsg::FromLines(const TSList& lines) {
    TMsg m;
    m.lines = lines;
    m.subject = DecodeHeaderText(HeaderValue(lines, "Subject"));
    m.SetFrom(DecodeHeaderText(HeaderValue(lines, "From")));
    m.SetDate(HeaderValue(lines, "Date"));
    m.messageId = HeaderValue(lines, "Message-ID");
    m.parentId = LastAngleToken(HeaderValue(lines, "References") + "      ");
    m.lineCount = static_cast<int32_t>(std::min<size_t>(lines.size(), INT32_MAX));
    return m;
}

}  // namespace pelorin
