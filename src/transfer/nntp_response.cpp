// NNTP response parsing: see nntp_response.h.
#include "transfer/nntp_response.h"

#include "store/strutil.h"

namespace pelorin::transfer {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// A decimal number of at most 18 digits (article numbers and sizes); -1 when there is none.
int64_t Number(std::string_view text) {
    text = TrimBlanks(text);
    if (text.empty() || text.size() > 18)
        return -1;
    int64_t v = 0;
    for (char c : text) {
        if (!IsDigit(c))
            return -1;
        v = v * 10 + (c - '0');
    }
    return v;
}

}  // namespace

NntpStatus ParseStatus(std::string_view line) {
    NntpStatus s;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    if (line.size() < 3 || !IsDigit(line[0]) || !IsDigit(line[1]) || !IsDigit(line[2]) ||
        (line.size() > 3 && line[3] != ' '))
        return s;
    const int code = (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
    if (code < 100 || code > 599)
        return s;
    s.code = code;
    if (line.size() > 4)
        s.text = std::string(line.substr(4));
    return s;
}

GroupReply ParseGroupReply(std::string_view text) {
    GroupReply g;
    int64_t v[3] = {-1, -1, -1};
    size_t pos = 0;
    for (int i = 0; i < 3; ++i) {
        while (pos < text.size() && text[pos] == ' ') ++pos;
        size_t end = text.find(' ', pos);
        if (end == std::string_view::npos)
            end = text.size();
        v[i] = Number(text.substr(pos, end - pos));
        pos = end;
    }
    if (v[0] < 0 || v[1] < 0 || v[2] < 0)
        return g;
    g.count = v[0];
    g.low = v[1];
    g.high = v[2];
    g.ok = true;
    return g;
}

bool DotDecoder::Line(std::string_view line) {
    if (done_)
        return false;
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    if (line == ".") {
        done_ = true;
        return false;
    }
    if (!line.empty() && line[0] == '.')
        line.remove_prefix(1);
    text_.append(line);
    text_ += '\n';
    ++lines_;
    return true;
}

std::string DecodeBlock(std::string_view bytes, bool* complete) {
    DotDecoder d;
    size_t pos = 0;
    while (pos < bytes.size() && !d.Done()) {
        size_t nl = bytes.find('\n', pos);
        if (nl == std::string_view::npos) {
            d.Line(bytes.substr(pos));
            break;
        }
        d.Line(bytes.substr(pos, nl - pos));
        pos = nl + 1;
    }
    if (complete)
        *complete = d.Done();
    return std::move(d.Text());
}

OverviewLine ParseOverview(std::string_view line) {
    OverviewLine o;
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    std::string_view f[8];
    size_t pos = 0;
    for (int i = 0; i < 8; ++i) {
        size_t tab = line.find('\t', pos);
        if (tab == std::string_view::npos) {
            if (pos <= line.size())
                f[i] = line.substr(pos);
            pos = line.size() + 1;
            break;
        }
        f[i] = line.substr(pos, tab - pos);
        pos = tab + 1;
    }
    const int64_t number = Number(f[0]);
    if (number <= 0)
        return o;
    o.number = number;
    o.messageId = std::string(TrimBlanks(f[4]));
    o.bytes = std::max<int64_t>(Number(f[6]), 0);
    o.lines = std::max<int64_t>(Number(f[7]), 0);
    return o;
}

std::string DotEncode(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 32 + 8);
    size_t pos = 0;
    while (pos < text.size()) {
        size_t nl = text.find('\n', pos);
        std::string_view line =
            text.substr(pos, nl == std::string_view::npos ? std::string_view::npos : nl - pos);
        pos = nl == std::string_view::npos ? text.size() : nl + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (!line.empty() && line[0] == '.')
            out += '.';
        out.append(line);
        out += "\r\n";
    }
    out += ".\r\n";
    return out;
}

}  // namespace pelorin::transfer
