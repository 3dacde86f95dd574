// IMAP response framing and parsing: see imap_response.h.
#include "transfer/imap_response.h"

#include <algorithm>

namespace pelorin::transfer {
namespace {

constexpr int kMaxDepth = 32;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

char Upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string UpperCopy(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = Upper(c);
    return out;
}

bool EqualsUpper(std::string_view text, std::string_view upper) {
    if (text.size() != upper.size())
        return false;
    for (size_t i = 0; i < text.size(); ++i)
        if (Upper(text[i]) != upper[i])
            return false;
    return true;
}

// A decimal number of at most 19 digits; nullopt otherwise.
std::optional<uint64_t> Decimal(std::string_view text) {
    if (text.empty() || text.size() > 19)
        return std::nullopt;
    uint64_t v = 0;
    for (char c : text) {
        if (!IsDigit(c))
            return std::nullopt;
        v = v * 10 + static_cast<uint64_t>(c - '0');
    }
    return v;
}

// Reads values from a framed response, taking literals in order.
class Reader {
public:
    Reader(ImapRawResponse& raw, size_t pos)
        : raw_(raw)
        , text_(raw.text)
        , pos_(pos) {}

    bool AtEnd() {
        SkipBlanks();
        return pos_ >= text_.size();
    }
    size_t Pos() const { return pos_; }
    const std::string& Error() const { return error_; }

    // The next value; false (with Error set) on bad input or at a ")".
    bool Value(ImapValue& out, int depth) {
        SkipBlanks();
        if (pos_ >= text_.size())
            return Fail("the response ends early");
        const char c = text_[pos_];
        if (c == '(') {
            if (depth >= kMaxDepth)
                return Fail("lists nested too deep");
            ++pos_;
            out.kind = ImapValue::Kind::List;
            for (;;) {
                SkipBlanks();
                if (pos_ >= text_.size())
                    return Fail("a list is not closed");
                if (text_[pos_] == ')') {
                    ++pos_;
                    return true;
                }
                ImapValue item;
                if (!Value(item, depth + 1))
                    return false;
                out.items.push_back(std::move(item));
            }
        }
        if (c == ')')
            return Fail("a \")\" without its \"(\"");
        if (c == '"')
            return QuotedString(out);
        if (c == '{' || (c == '~' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '{'))
            return LiteralValue(out);
        return Atom(out);
    }

private:
    bool Fail(std::string why) {
        if (error_.empty())
            error_ = std::move(why);
        return false;
    }
    void SkipBlanks() {
        while (pos_ < text_.size() && text_[pos_] == ' ') ++pos_;
    }
    bool QuotedString(ImapValue& out) {
        ++pos_;
        out.kind = ImapValue::Kind::String;
        while (pos_ < text_.size()) {
            char c = text_[pos_++];
            if (c == '"')
                return true;
            if (c == '\\') {
                if (pos_ >= text_.size())
                    break;
                c = text_[pos_++];
            }
            out.text += c;
        }
        return Fail("a quoted string is not closed");
    }
    bool LiteralValue(ImapValue& out) {
        if (text_[pos_] == '~')
            ++pos_;
        const size_t close = text_.find('}', pos_);
        if (close == std::string::npos)
            return Fail("a literal's length is not closed");
        std::string_view digits(text_.data() + pos_ + 1, close - pos_ - 1);
        if (!digits.empty() && digits.back() == '+')
            digits.remove_suffix(1);
        std::optional<uint64_t> size = Decimal(digits);
        if (!size)
            return Fail("a literal's length is not a number");
        if (next_ >= raw_.literals.size())
            return Fail("a literal is missing");
        ImapRawResponse::Literal& lit = raw_.literals[next_++];
        if (lit.size != *size)
            return Fail("a literal's length does not match");
        pos_ = close + 1;
        if (lit.kept) {
            out.kind = ImapValue::Kind::String;
            out.text = std::move(lit.bytes);
        } else {
            out.kind = ImapValue::Kind::Dropped;
        }
        out.size = lit.size;
        return true;
    }
    bool Atom(ImapValue& out) {
        const size_t start = pos_;
        while (pos_ < text_.size()) {
            const char c = text_[pos_];
            if (c == ' ' || c == '(' || c == ')' || c == '"' || c == '{' ||
                static_cast<unsigned char>(c) < 0x20)
                break;
            if (c == '[') {
                // A section: everything up to its "]", blanks and lists included, then an
                // optional "<origin>".
                const size_t close = text_.find(']', pos_);
                if (close == std::string::npos)
                    return Fail("a \"[\" without its \"]\"");
                pos_ = close + 1;
                if (pos_ < text_.size() && text_[pos_] == '<') {
                    const size_t gt = text_.find('>', pos_);
                    if (gt == std::string::npos)
                        return Fail("a \"<\" without its \">\"");
                    pos_ = gt + 1;
                }
                break;
            }
            ++pos_;
        }
        if (pos_ == start)
            return Fail("an unexpected character");
        const std::string_view atom(text_.data() + start, pos_ - start);
        if (EqualsUpper(atom, "NIL")) {
            out.kind = ImapValue::Kind::Nil;
            return true;
        }
        out.kind = Decimal(atom) ? ImapValue::Kind::Number : ImapValue::Kind::Atom;
        out.text = std::string(atom);
        return true;
    }

    ImapRawResponse& raw_;
    const std::string& text_;
    size_t pos_ = 0;
    size_t next_ = 0;  // the next literal
    std::string error_;
};

// The next blank-separated word at `pos`, which moves past it and the blank.
std::string_view Word(std::string_view text, size_t& pos) {
    const size_t start = pos;
    while (pos < text.size() && text[pos] != ' ') ++pos;
    std::string_view word = text.substr(start, pos - start);
    if (pos < text.size())
        ++pos;
    return word;
}

bool IsStatus(std::string_view upper) {
    return upper == "OK" || upper == "NO" || upper == "BAD" || upper == "BYE" || upper == "PREAUTH";
}

}  // namespace

std::optional<uint64_t> LiteralAtEnd(std::string_view line) {
    if (line.size() < 3 || line.back() != '}')
        return std::nullopt;
    size_t end = line.size() - 1;
    if (line[end - 1] == '+')
        --end;
    size_t begin = end;
    while (begin > 0 && IsDigit(line[begin - 1])) --begin;
    if (begin == end || begin == 0 || line[begin - 1] != '{')
        return std::nullopt;
    std::optional<uint64_t> size = Decimal(line.substr(begin, end - begin));
    if (!size || *size > (uint64_t{1} << 62))
        return std::nullopt;
    return size;
}

std::optional<uint64_t> ImapFramer::Line(std::string_view line, std::string* error) {
    if (raw_.text.size() + line.size() > kMaxText) {
        if (error)
            *error = "an answer longer than " + std::to_string(kMaxText >> 20) + " MiB";
        return std::nullopt;
    }
    raw_.text.append(line);
    std::optional<uint64_t> size = LiteralAtEnd(line);
    if (size && raw_.literals.size() >= kMaxPieces) {
        if (error)
            *error = "an answer of more than " + std::to_string(kMaxPieces) + " literals";
        return std::nullopt;
    }
    return size;
}

void ImapFramer::Literal(std::string bytes) {
    const uint64_t size = bytes.size();
    raw_.literals.push_back({std::move(bytes), size, true});
}

void ImapFramer::DroppedLiteral(uint64_t size) {
    raw_.literals.push_back({std::string(), size, false});
}

ImapRawResponse ImapFramer::Take() {
    ImapRawResponse out = std::move(raw_);
    raw_ = ImapRawResponse();
    return out;
}

ImapResponse ParseResponse(ImapRawResponse raw) {
    ImapResponse r;
    const std::string_view text = raw.text;
    size_t pos = 0;
    if (text.empty()) {
        r.malformed = "an empty line";
        return r;
    }
    if (text[0] == '+') {
        r.type = ImapResponse::Type::Continuation;
        r.text = std::string(text.substr(std::min<size_t>(2, text.size())));
        return r;
    }
    const std::string_view tag = Word(text, pos);
    if (tag == "*") {
        r.type = ImapResponse::Type::Untagged;
    } else {
        r.type = ImapResponse::Type::Tagged;
        r.tag = std::string(tag);
        if (tag.empty() || tag.find_first_of("(){%\"\\]") != std::string_view::npos) {
            r.malformed = "a bad tag";
            return r;
        }
    }
    size_t wordStart = pos;
    std::string_view word = Word(text, pos);
    if (r.type == ImapResponse::Type::Untagged) {
        if (std::optional<uint64_t> n = Decimal(word); n && *n <= 0xFFFFFFFFu) {
            r.number = static_cast<int64_t>(*n);
            wordStart = pos;
            word = Word(text, pos);
        }
    }
    const std::string upper = UpperCopy(word);
    if (word.empty()) {
        r.malformed = "no status or data name";
        return r;
    }
    if (r.number < 0 && IsStatus(upper)) {
        r.status = upper;
        if (pos < text.size() && text[pos] == '[') {
            const size_t close = text.find(']', pos);
            if (close == std::string_view::npos) {
                r.malformed = "a response code without its \"]\"";
                return r;
            }
            r.code = std::string(text.substr(pos + 1, close - pos - 1));
            pos = close + 1;
            if (pos < text.size() && text[pos] == ' ')
                ++pos;
        }
        r.text = std::string(text.substr(std::min(pos, text.size())));
        return r;
    }
    if (r.type == ImapResponse::Type::Tagged) {
        r.malformed = "a tagged answer without OK, NO or BAD";
        return r;
    }
    // Data names are atoms; "FETCH" is where a number may not be left out.
    if (upper.find_first_of("()[]\"{") != std::string::npos) {
        r.malformed = "a bad data name";
        return r;
    }
    (void)wordStart;
    r.name = upper;
    Reader reader(raw, pos);
    while (!reader.AtEnd()) {
        ImapValue v;
        if (!reader.Value(v, 0)) {
            r.malformed = reader.Error();
            return r;
        }
        r.data.push_back(std::move(v));
    }
    return r;
}

std::vector<ImapRawResponse> SplitResponses(std::string_view bytes,
                                            uint64_t maxLiteral,
                                            std::string* error) {
    std::vector<ImapRawResponse> out;
    ImapFramer framer;
    size_t pos = 0;
    while (pos < bytes.size()) {
        const size_t nl = bytes.find('\n', pos);
        if (nl == std::string_view::npos)
            break;
        std::string_view line = bytes.substr(pos, nl - pos);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        pos = nl + 1;
        std::string why;
        std::optional<uint64_t> literal = framer.Line(line, &why);
        if (!why.empty()) {
            if (error && error->empty())
                *error = why;
            return out;
        }
        if (!literal) {
            out.push_back(framer.Take());
            continue;
        }
        if (*literal > bytes.size() - pos)
            return out;  // cut in the middle of a literal
        if (*literal > maxLiteral)
            framer.DroppedLiteral(*literal);
        else
            framer.Literal(std::string(bytes.substr(pos, static_cast<size_t>(*literal))));
        pos += static_cast<size_t>(*literal);
    }
    return out;
}

ImapFetch ParseFetch(ImapResponse& response) {
    ImapFetch f;
    if (response.data.size() != 1 || response.data[0].kind != ImapValue::Kind::List) {
        f.malformed = "a FETCH answer without its list";
        return f;
    }
    std::vector<ImapValue>& items = response.data[0].items;
    if (items.size() % 2 != 0) {
        f.malformed = "a FETCH item without its value";
        return f;
    }
    for (size_t i = 0; i < items.size(); i += 2) {
        if (items[i].kind != ImapValue::Kind::Atom) {
            f.malformed = "a FETCH item name that is not an atom";
            return f;
        }
        const std::string name = UpperCopy(items[i].text);
        ImapValue& value = items[i + 1];
        if (name == "UID") {
            std::optional<uint64_t> n =
                value.kind == ImapValue::Kind::Number ? Decimal(value.text) : std::nullopt;
            if (!n || *n == 0 || *n > 0xFFFFFFFFu) {
                f.malformed = "a UID that is not a number from 1 to 4294967295";
                return f;
            }
            f.uid = static_cast<uint32_t>(*n);
        } else if (name == "RFC822.SIZE") {
            std::optional<uint64_t> n =
                value.kind == ImapValue::Kind::Number ? Decimal(value.text) : std::nullopt;
            if (!n || *n > (uint64_t{1} << 62)) {
                f.malformed = "an RFC822.SIZE that is not a number";
                return f;
            }
            f.size = static_cast<int64_t>(*n);
        } else if (name == "FLAGS") {
            if (value.kind != ImapValue::Kind::List) {
                f.malformed = "FLAGS without a list";
                return f;
            }
            f.hasFlags = true;
            for (const ImapValue& flag : value.items)
                if (flag.kind == ImapValue::Kind::Atom && EqualsUpper(flag.text, "\\SEEN"))
                    f.seen = true;
        } else if (name == "BODY[]" || name == "BODY[]<0>" || name == "RFC822" ||
                   name == "BINARY[]") {
            // A server that gives the text twice: the last one counts, whole.
            f.hasBody = true;
            f.bodyDropped = false;
            f.body.clear();
            f.bodySize = 0;
            if (value.kind == ImapValue::Kind::Dropped) {
                f.bodyDropped = true;
                f.bodySize = value.size;
            } else if (value.kind == ImapValue::Kind::String) {
                f.body = std::move(value.text);
                f.bodySize = f.body.size();
            } else if (value.kind != ImapValue::Kind::Nil) {
                f.malformed = "a message text that is not a string";
                return f;
            }
        }
    }
    return f;
}

std::string UidSet(const std::vector<uint32_t>& uids) {
    std::string out;
    size_t i = 0;
    while (i < uids.size()) {
        size_t j = i;
        while (j + 1 < uids.size() && uids[j + 1] == uids[j] + 1) ++j;
        if (!out.empty())
            out += ',';
        out += std::to_string(uids[i]);
        if (j > i)
            out += ':' + std::to_string(uids[j]);
        i = j + 1;
    }
    return out;
}

std::optional<std::string> Quoted(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u == 0 || c == '\r' || c == '\n' || u > 0x7F)
            return std::nullopt;
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    out += '"';
    return out;
}

std::string MailboxName(std::string_view utf8) {
    static const char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+,";
    std::string out;
    std::vector<uint16_t> units;  // UTF-16 waiting to be written in base64
    auto flush = [&] {
        if (units.empty())
            return;
        out += '&';
        uint32_t bits = 0;
        int count = 0;
        for (uint16_t u : units) {
            bits = (bits << 16) | u;
            count += 16;
            while (count >= 6) {
                count -= 6;
                out += kAlphabet[(bits >> count) & 0x3F];
            }
        }
        if (count > 0)
            out += kAlphabet[(bits << (6 - count)) & 0x3F];
        out += '-';
        units.clear();
    };
    size_t i = 0;
    while (i < utf8.size()) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c >= 0x20 && c <= 0x7E) {
            flush();
            out += c == '&' ? std::string("&-") : std::string(1, static_cast<char>(c));
            ++i;
            continue;
        }
        // One UTF-8 sequence; a broken one stands for U+FFFD.
        uint32_t cp = 0xFFFD;
        int len = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        if (len > 1 && i + static_cast<size_t>(len) <= utf8.size()) {
            cp = c & (0x3F >> (len - 1));
            for (int k = 1; k < len; ++k) {
                const auto b = static_cast<unsigned char>(utf8[i + static_cast<size_t>(k)]);
                if ((b & 0xC0) != 0x80) {
                    cp = 0xFFFD;
                    len = 1;
                    break;
                }
                cp = (cp << 6) | (b & 0x3F);
            }
        } else {
            len = 1;
            cp = c < 0x20 || c == 0x7F ? c : 0xFFFD;
        }
        i += static_cast<size_t>(len);
        if (cp >= 0x10000 && cp <= 0x10FFFF) {
            cp -= 0x10000;
            units.push_back(static_cast<uint16_t>(0xD800 + (cp >> 10)));
            units.push_back(static_cast<uint16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            units.push_back(static_cast<uint16_t>(cp > 0xFFFF ? 0xFFFD : cp));
        }
    }
    flush();
    return out;
}

}  // namespace pelorin::transfer
