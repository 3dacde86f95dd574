// Searching a list of messages. See message_search.h.
#include "select/message_search.h"

#include "select/awkstr.h"
#include "select/match_help.h"
#include "store/msg.h"

namespace pelorin {

std::vector<size_t> GrepMessages(const std::vector<TMsg*>& messages,
                                 std::string_view pattern,
                                 bool fuzzy) {
    TAWKStr re;
    re.SetLineSeparator(mcls_CRLF);
    re.SetUseFuzzyCharDic(fuzzy);
    re.SetRegExp(pattern);
    std::vector<size_t> found;
    for (size_t i = 0; i < messages.size(); ++i) {
        TMsg& msg = *messages[i];
        bool hit = re.Exists(msg.subject);
        if (!hit) {
            try {
                hit = re.Exists(TMatchFields::BodyText(msg));
            } catch (...) {
                hit = false;  // an unreadable body matches nothing
            }
        }
        if (hit)
            found.push_back(i);
    }
    return found;
}

std::vector<size_t> MatchMessages(const std::vector<TMsg*>& messages,
                                  const std::vector<std::string>& conditions,
                                  TMatchFields& fields) {
    TMatchHelp help;
    help.SetConditions(conditions);
    fields.Attach(help);
    std::vector<size_t> found;
    for (size_t i = 0; i < messages.size(); ++i) {
        if (help.Evaluate(messages[i]))
            found.push_back(i);
    }
    return found;
}

std::vector<std::string> ConditionLines(std::string_view text) {
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) {
            lines.emplace_back(text.substr(pos));
            break;
        }
        lines.emplace_back(text.substr(pos, end - pos));
        pos = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
    }
    return lines;
}

}  // namespace pelorin
