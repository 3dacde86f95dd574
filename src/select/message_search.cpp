// Searching a list of messages. See message_search.h.
#include "select/message_search.h"

#include "select/awkstr.h"
#include "select/match_help.h"
#include "store/message_reader.h"
#include "store/msg.h"
#include "store/textfile.h"

namespace pelorin {

std::vector<size_t> GrepMessages(const std::vector<TMsg*>& messages,
                                 std::string_view pattern,
                                 bool fuzzy) {
    TAWKStr re;
    re.SetLineSeparator(mcls_CRLF);
    re.SetUseFuzzyCharDic(fuzzy);
    re.SetRegExp(pattern);
    MessageReader reader;  // the message file stays open from one message to the next
    std::vector<size_t> found;
    for (size_t i = 0; i < messages.size(); ++i) {
        TMsg& msg = *messages[i];
        bool hit = re.Exists(msg.subject);
        if (!hit) {
            try {
                hit = re.Exists(TMatchFields::BodyText(msg, reader));
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
    return SplitTextLines(text);
}

}  // namespace pelorin
