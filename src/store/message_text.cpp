// Converted message text for the clipboard and for saved files (see message_text.h).
#include "store/message_text.h"

#include "coding/charset.h"
#include "coding/cp932.h"
#include "coding/header_words.h"
#include "coding/jis.h"
#include "coding/readable_text.h"

#include <algorithm>
#include <cctype>
#include <langinfo.h>
#include <locale.h>

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

// UTF-8 text in Shift_JIS, "〓" for each character CP932 cannot hold (counted in `replaced`).
std::string SjisMarked(std::string_view utf8, std::size_t& replaced) {
    std::size_t bad = 0;
    std::string whole = cp932::FromUtf8(utf8, &bad);
    if (bad == 0)
        return whole;
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const std::size_t n = std::max<std::size_t>(Utf8CharLength(utf8, i), 1);
        std::size_t one = 0;
        std::string c = cp932::FromUtf8(utf8.substr(i, n), &one);
        if (one > 0) {
            out += Sjis("〓");
            ++replaced;
        } else {
            out += c;
        }
        i += n;
    }
    return out;
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
            TSList header;
            bool headerDone = false;
            const auto flushHeader = [&] {
                if (headerDone)
                    return;
                headerDone = true;
                for (const std::string& line : HeaderBlockUtf8(header)) {
                    out += line;
                    out += "\r\n";
                }
            };
            ForLines(
                lines, [&](std::string_view line) { header.emplace_back(line); },
                [&](std::string_view sjis, std::string_view utf8) {
                    flushHeader();
                    out += utf8.empty() ? cp932::ToUtf8(sjis) : std::string(utf8);
                    out += "\r\n";
                });
            flushHeader();
        });
    }
    return out;
}

TSList HeaderBlockUtf8(const TSList& headerLines) {
    TSList out;
    std::string field;
    bool open = false;
    const auto flush = [&] {
        if (open)
            out.push_back(DecodeHeaderUtf8(field));
        field.clear();
        open = false;
    };
    for (const std::string& raw : headerLines) {
        const std::string_view line = WithoutCr(raw);
        const bool continuation = !line.empty() && (line[0] == ' ' || line[0] == '\t');
        if (!(continuation && open))
            flush();
        field += line;
        open = true;
    }
    flush();
    return out;
}

TSList BodyLinesUtf8(TMsg& msg) {
    TSList body;
    bool first = true;
    WithLines(msg, [&](const TSList& lines) {
        ForLines(
            lines, [](std::string_view) {},
            [&](std::string_view sjis, std::string_view utf8) {
                if (first) {  // the empty line that ends the header
                    first = false;
                    return;
                }
                body.push_back(utf8.empty() ? cp932::ToUtf8(sjis) : std::string(utf8));
            });
    });
    return body;
}

TextCharset LocaleTextCharset() {
    // The environment's locale, as setlocale(LC_CTYPE, "") would take it, without changing the
    // program's own.
    locale_t locale = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr));
    if (locale == static_cast<locale_t>(nullptr))
        return TextCharset::Utf8;
    std::string codeset = nl_langinfo_l(CODESET, locale);
    freelocale(locale);
    for (char& c : codeset) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (const char* name :
         {"SHIFT_JIS", "SHIFT-JIS", "SJIS", "CP932", "WINDOWS-31J", "MS_KANJI"}) {
        if (codeset == name)
            return TextCharset::ShiftJis;
    }
    return TextCharset::Utf8;
}

TextCharset ParseTextCharset(std::string_view name) {
    const TextCharset locale = LocaleTextCharset();
    const TextCharset other =
        locale == TextCharset::Utf8 ? TextCharset::ShiftJis : TextCharset::Utf8;
    // Only a name ParseCharset knows gives the other set than the locale's.
    return ParseCharset(name, other) == other && ParseCharset(name, locale) == other ? other
                                                                                     : locale;
}

std::string_view TextCharsetName(TextCharset charset) {
    return charset == TextCharset::ShiftJis ? "Shift_JIS" : "UTF-8";
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

ReplaceResult SaveBodies(std::string_view path,
                         const std::vector<TMsg*>& msgs,
                         TextCharset charset,
                         WriteFailure& failure,
                         std::vector<SaveLoss>& losses) {
    losses.clear();
    FileReplacer out;
    ReplaceResult result = out.Open(path);
    if (result == ReplaceResult::Ok) {
        for (TMsg* msg : msgs) {
            std::size_t replaced = 0;
            WithLines(*msg, [&](const TSList& lines) {
                ForLines(
                    lines, [](std::string_view) {},
                    [&](std::string_view sjis, std::string_view utf8) {
                        if (charset == TextCharset::Utf8) {
                            out.Write(utf8.empty() ? cp932::ToUtf8(sjis) : std::string(utf8));
                        } else if (utf8.empty()) {
                            out.Write(sjis);
                        } else {
                            out.Write(SjisMarked(utf8, replaced));
                        }
                        out.Write("\r\n");
                    });
            });
            if (replaced > 0)
                losses.push_back({msg, replaced});
        }
        result = out.Commit();
    }
    if (result != ReplaceResult::Ok)
        failure = {result, std::string(path), LastWriteError()};
    return result;
}

}  // namespace pelorin
