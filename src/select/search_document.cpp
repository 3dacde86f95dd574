// A message as the search index reads it: see search_document.h.
#include "select/search_document.h"

#include "coding/cp932.h"
#include "coding/header_words.h"
#include "coding/jis.h"
#include "coding/readable_text.h"
#include "store/dates.h"

#include <vector>

namespace pelorin {
namespace {

bool StartsWithNoCase(std::string_view line, std::string_view prefix) {
    if (line.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        char c = line[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != prefix[i])
            return false;
    }
    return true;
}

// Whether a header or part-header line says its part is an attachment: a disposition of
// "attachment", a file name, or a type that is neither text nor multipart nor a message.
bool NamesAttachment(std::string_view line) {
    if (StartsWithNoCase(line, "content-disposition:"))
        return line.find("attachment") != std::string_view::npos ||
               line.find("filename") != std::string_view::npos;
    if (StartsWithNoCase(line, "content-type:")) {
        std::string_view type = line.substr(13);
        while (!type.empty() && (type.front() == ' ' || type.front() == '\t'))
            type.remove_prefix(1);
        return !(StartsWithNoCase(type, "text/") || StartsWithNoCase(type, "multipart/") ||
                 StartsWithNoCase(type, "message/")) ||
               line.find("name=") != std::string_view::npos;
    }
    // A uuencoded file: "begin 644 name".
    return line.size() > 10 && line.starts_with("begin ") && line[6] >= '0' && line[6] <= '7' &&
           line.find(' ', 7) != std::string_view::npos;
}

}  // namespace

SearchFields ReadSearchFields(std::string_view text) {
    SearchFields out;
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t nl = text.find('\n', pos);
        if (nl == std::string_view::npos)
            nl = text.size();
        std::string_view line = text.substr(pos, nl - pos);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.emplace_back(line);
        pos = nl + 1;
    }
    // The header: each field with its continuation lines, folded as written.
    std::string subject, from, to, date;
    std::string* current = nullptr;
    size_t body = lines.size();
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line.empty()) {
            body = i + 1;
            break;
        }
        if ((line[0] == ' ' || line[0] == '\t') && current) {
            *current += "\n" + line;
            continue;
        }
        current = nullptr;
        const size_t colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        std::string_view value = std::string_view(line).substr(colon + 1);
        while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
            value.remove_prefix(1);
        if (StartsWithNoCase(line, "subject:") && subject.empty())
            current = &subject;
        else if (StartsWithNoCase(line, "from:") && from.empty())
            current = &from;
        else if (StartsWithNoCase(line, "to:") || StartsWithNoCase(line, "cc:")) {
            if (!to.empty())
                to += ", ";
            current = &to;
        } else if (StartsWithNoCase(line, "date:") && date.empty())
            current = &date;
        else if (NamesAttachment(line))
            out.attachment = true;
        if (current)
            *current += value;
    }
    out.subject = DecodeHeaderUtf8(subject);
    out.from = DecodeHeaderUtf8(from);
    out.to = DecodeHeaderUtf8(to);
    out.sortDate = SortKeyDate(date);
    for (size_t i = body; i < lines.size() && !out.attachment; ++i)
        out.attachment = NamesAttachment(lines[i]);

    ReadableText readable;
    if (ReadableBody(lines, readable)) {
        for (const std::string& l : readable.utf8) {
            out.body += l;
            out.body += '\n';
        }
    } else {
        for (size_t i = body; i < lines.size(); ++i) {
            out.body += cp932::ToUtf8(JisToSjis(lines[i]));
            out.body += '\n';
        }
    }
    return out;
}

}  // namespace pelorin
