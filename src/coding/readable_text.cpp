// The readable body of a message (see readable_text.h).
#include "coding/readable_text.h"

#include "coding/charset.h"
#include "coding/cp932.h"
#include "coding/mime.h"

#include <algorithm>
#include <string_view>

namespace pelorin {
namespace {

std::string LowerAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

// Whether a line names a charset read through Unicode, or HTML.
bool NamesOtherText(std::string_view line) {
    if (line.empty() || line.size() > 998)
        return false;
    const char c = line.front();
    if (c != 'C' && c != 'c' && c != ' ' && c != '\t')
        return false;  // Content-Type lines and their continuations only
    const std::string lower = LowerAscii(line);
    if (lower.find("text/html") != std::string::npos)
        return true;
    std::size_t at = lower.find("charset=");
    if (at == std::string::npos)
        return false;
    std::string_view value = std::string_view(lower).substr(at + 8);
    if (!value.empty() && value.front() == '"')
        value.remove_prefix(1);
    return !(value.starts_with("iso-2022-jp") || value.starts_with("us-ascii"));
}

bool MayNeedParts(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        if (Has8Bit(line) || NamesOtherText(line))
            return true;
    }
    return false;
}

bool IsText(const TMIMEPart& part) {
    return part.ContentType == "text" &&
           (part.SubType == "plain" || part.SubType.empty() || part.SubType == "html");
}

// Collects the readable text parts under `part`; true when one of them was read through
// Unicode.
bool Collect(TMIMEPart& part, ReadableText& out) {
    if (part.Parts.empty()) {
        if (!IsText(part))
            return false;
        part.DecodeText();
        out.sjis.insert(out.sjis.end(), part.Body.begin(), part.Body.end());
        if (part.Text.empty()) {
            for (const std::string& line : part.Body) out.utf8.push_back(cp932::ToUtf8(line));
            return false;
        }
        out.utf8.insert(out.utf8.end(), part.Text.begin(), part.Text.end());
        return true;
    }
    if (part.ContentType == "multipart" && part.SubType == "alternative") {
        for (const auto& child : part.Parts) {
            if (child->Parts.empty() && child->ContentType == "text" &&
                (child->SubType == "plain" || child->SubType.empty()))
                return Collect(*child, out);
        }
        return Collect(*part.Parts.front(), out);
    }
    bool unicode = false;
    for (const auto& child : part.Parts) unicode = Collect(*child, out) || unicode;
    return unicode;
}

}  // namespace

bool MayNeedParts(std::string_view messageText) {
    if (Has8Bit(messageText))
        return true;
    // NamesOtherText holds only for a line with "charset=" or "text/html" in it (in any case):
    // only such lines are looked at, found by their '=' or '/'. It takes no line longer than
    // 998 bytes, so a line's ends are looked for no further than that: a long line full of
    // "charset=" is not walked again for each of them.
    auto lineAt = [messageText](std::size_t at) -> std::string_view {
        constexpr std::size_t kMaxLine = 998;
        const std::size_t from = at > kMaxLine ? at - kMaxLine : 0;
        const std::size_t lf = messageText.substr(from, at - from).rfind('\n');
        if (lf == std::string_view::npos && from > 0)
            return {};  // longer than kMaxLine
        const std::size_t begin = lf == std::string_view::npos ? 0 : from + lf + 1;
        const std::string_view rest = messageText.substr(begin, kMaxLine + 1);
        return rest.substr(0, rest.find('\n'));
    };
    auto endsWith = [messageText](std::size_t end, std::string_view lower) {
        if (end < lower.size())
            return false;
        for (std::size_t i = 0; i < lower.size(); ++i) {
            char c = messageText[end - lower.size() + i];
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
            if (c != lower[i])
                return false;
        }
        return true;
    };
    for (std::size_t at = messageText.find('='); at != std::string_view::npos;
         at = messageText.find('=', at + 1)) {
        if (endsWith(at, "charset") && NamesOtherText(lineAt(at)))
            return true;
    }
    for (std::size_t at = messageText.find('/'); at != std::string_view::npos;
         at = messageText.find('/', at + 1)) {
        if (endsWith(at, "text") && endsWith(std::min(at + 5, messageText.size()), "/html") &&
            NamesOtherText(lineAt(at)))
            return true;
    }
    return false;
}

bool ReadableBody(const std::vector<std::string>& messageLines, ReadableText& out) {
    out.sjis.clear();
    out.utf8.clear();
    if (!MayNeedParts(messageLines))
        return false;
    TMIMEc mime;
    mime.Parse(messageLines);
    if (!Collect(mime.Root, out)) {
        out.sjis.clear();
        out.utf8.clear();
        return false;
    }
    return true;
}

}  // namespace pelorin
