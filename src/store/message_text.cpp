// Converted message text for the clipboard and for saved files (see message_text.h).
#include "store/message_text.h"

#include "coding/header_words.h"
#include "coding/jis.h"

namespace pelorin {
namespace {

// Runs `use` over the lines of `msg`, loading them when needed and freeing them afterwards
// when they were loaded only for this.
template <class F>
void WithLines(TMsg& msg, F&& use) {
    const bool hadLines = !msg.lines.empty();
    if (!hadLines)
        msg.LoadLines();
    use(static_cast<const TSList&>(msg.lines));
    if (!hadLines && !msg.msgFile.empty())
        TSList().swap(msg.lines);
}

void AppendLine(std::string& out, std::string_view line) {
    out += ConvertLine(line);
    out += "\r\n";
}

}  // namespace

std::string ConvertLine(std::string_view line) {
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return JisToSjis(DecodeHeaderWords(line));
}

std::string WholeMessagesText(const std::vector<TMsg*>& msgs) {
    std::string out;
    for (TMsg* msg : msgs) {
        WithLines(*msg, [&](const TSList& lines) {
            for (const std::string& line : lines) AppendLine(out, line);
        });
    }
    return out;
}

TSList BodyLines(TMsg& msg) {
    TSList body;
    WithLines(msg, [&](const TSList& lines) {
        bool inBody = false;
        for (const std::string& line : lines) {
            if (!inBody && (line.empty() || line == "\r"))
                inBody = true;
            if (inBody)
                body.push_back(ConvertLine(line));
        }
    });
    return body;
}

ReplaceResult SaveBodies(std::string_view path,
                         const std::vector<TMsg*>& msgs,
                         WriteFailure& failure) {
    FileReplacer out;
    ReplaceResult result = out.Open(path);
    if (result == ReplaceResult::Ok) {
        for (TMsg* msg : msgs) {
            for (const std::string& line : BodyLines(*msg)) {
                out.Write(line);
                out.Write("\r\n");
            }
        }
        result = out.Commit();
    }
    if (result != ReplaceResult::Ok)
        failure = {result, std::string(path), LastWriteError()};
    return result;
}

}  // namespace pelorin
