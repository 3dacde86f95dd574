// Converted message text for the clipboard and for saved files (see message_text.h).
#include "store/message_text.h"

#include "coding/cp932.h"
#include "coding/header_words.h"
#include "coding/jis.h"
#include "coding/readable_text.h"

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
        msg.lines.clear();
}

void AppendLine(std::string& out, std::string_view line) {
    out += ConvertLine(line);
    out += "\r\n";
}

std::string_view WithoutCr(std::string_view line) {
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return line;
}

// Runs `header` over the header lines of a message and `body` over its body lines: the
// stored lines, or, for a message whose text is read through Unicode (another charset, HTML),
// the empty line and then the readable text.
template <class H, class B>
void ForLines(const TSList& lines, const H& header, const B& body) {
    ReadableText readable;
    const bool converted = ReadableBody(lines, readable);
    bool inBody = false;
    for (const std::string& line : lines) {
        if (!inBody && (line.empty() || line == "\r")) {
            inBody = true;
            if (converted) {
                body(std::string_view(), std::string_view());
                for (std::size_t i = 0; i < readable.sjis.size(); ++i)
                    body(WithoutCr(readable.sjis[i]), WithoutCr(readable.utf8[i]));
                return;
            }
        }
        if (inBody)
            body(ConvertLine(line), std::string_view());
        else
            header(line);
    }
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
            ForLines(
                lines, [&](std::string_view line) { AppendLine(out, line); },
                [&](std::string_view sjis, std::string_view) {
                    out += sjis;
                    out += "\r\n";
                });
        });
    }
    return out;
}

std::string WholeMessagesUtf8(const std::vector<TMsg*>& msgs) {
    std::string out;
    for (TMsg* msg : msgs) {
        WithLines(*msg, [&](const TSList& lines) {
            ForLines(
                lines,
                [&](std::string_view line) {
                    out += DecodeHeaderUtf8(WithoutCr(line));
                    out += "\r\n";
                },
                [&](std::string_view sjis, std::string_view utf8) {
                    out += utf8.empty() ? cp932::ToUtf8(sjis) : std::string(utf8);
                    out += "\r\n";
                });
        });
    }
    return out;
}

TSList BodyLines(TMsg& msg) {
    TSList body;
    WithLines(msg, [&](const TSList& lines) {
        ForLines(
            lines, [](std::string_view) {},
            [&](std::string_view sjis, std::string_view) { body.emplace_back(sjis); });
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
