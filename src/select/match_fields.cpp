// TMatchFields. See match_fields.h for the meaning of each field and test.
#include "select/match_fields.h"

#include "coding/cp932.h"
#include "coding/header_words.h"
#include "coding/jis.h"
#include "coding/readable_text.h"
#include "store/msg.h"
#include "store/strutil.h"

#include <ctime>
#include <stdexcept>

namespace pelorin {
namespace {

using std::chrono::day;
using std::chrono::days;
using std::chrono::month;
using std::chrono::sys_days;
using std::chrono::year;
using std::chrono::year_month_day;

struct FieldError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

template <typename T>
bool Compare(const T& a, TJkCondition cond, const T& b) {
    switch (cond) {
        case jc_Equal:
            return a == b;
        case jc_NotEqual:
            return a != b;
        case jc_Greater:
            return a > b;
        case jc_GreaterEqual:
            return a >= b;
        case jc_Less:
            return a < b;
        case jc_LessEqual:
            return a <= b;
    }
    return false;
}

year_month_day LocalToday() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return year{local.tm_year + 1900} / month{static_cast<unsigned>(local.tm_mon + 1)} /
           day{static_cast<unsigned>(local.tm_mday)};
}

sys_days CheckedDate(int y, int m, int d) {
    if (m < 1 || m > 12 || d < 1 || d > 31)
        throw FieldError("no date");
    year_month_day ymd{year{y}, month{static_cast<unsigned>(m)}, day{static_cast<unsigned>(d)}};
    if (!ymd.ok())
        throw FieldError("no date");
    return sys_days{ymd};
}

int Digits(std::string_view text) {
    if (text.empty())
        throw FieldError("no number");
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            throw FieldError("no number");
        value = value * 10 + (c - '0');
    }
    return value;
}

// "year/month/day" with "/" separators.
sys_days SlashDate(std::string_view text) {
    size_t a = text.find('/');
    size_t b = a == std::string_view::npos ? a : text.find('/', a + 1);
    if (b == std::string_view::npos)
        throw FieldError("no date");
    int32_t y = 0, m = 0, d = 0;
    if (!ParseInt32(text.substr(0, a), y) || !ParseInt32(text.substr(a + 1, b - a - 1), m) ||
        !ParseInt32(text.substr(b + 1), d))
        throw FieldError("no date");
    return CheckedDate(y, m, d);
}

// The message's bytes; a message that cannot be read is an error of the leaf.
void ReadMessage(const TMsg& msg, MessageReader& reader, std::string& text) {
    if (!reader.Read(msg, text) || (text.empty() && msg.length > 0))
        throw FieldError("message cannot be read");
}

// Text split into lines the way TMsg::LoadLines splits it.
TSList SplitLines(const std::string& text) {
    TSList lines;
    size_t pos = 0;
    for (;;) {
        size_t lf = text.find('\n', pos);
        if (lf == std::string::npos) {
            if (pos < text.size() || lines.empty())
                lines.push_back(text.substr(pos));
            return lines;
        }
        lines.push_back(text.substr(pos, lf - pos));
        pos = lf + 1;
    }
}

// The message's text as lines, without keeping them in the record (a condition over a whole
// area would otherwise hold every message in memory).
TSList MessageLines(TMsg& msg, MessageReader& reader) {
    if (!msg.lines.empty() || msg.msgFile.empty())
        return msg.lines;
    std::string text;
    ReadMessage(msg, reader, text);
    return SplitLines(text);
}

// The body of a message whose text parts are read through Unicode (another charset, HTML),
// as it shows, its lines joined with CR LF; false for any other message.
bool ReadableJoined(const TSList& lines, std::string& out) {
    ReadableText readable;
    if (!ReadableBody(lines, readable))
        return false;
    out.clear();
    for (std::size_t i = 0; i < readable.sjis.size(); ++i) {
        if (i > 0)
            out += "\r\n";
        std::string_view l = readable.sjis[i];
        if (!l.empty() && l.back() == '\r')
            l.remove_suffix(1);
        out += l;
    }
    return true;
}

// Appends `line` to `joined`, after CR LF unless it is the first, without a CR the file kept
// at its end: lines joined with CR LF would otherwise end in CR CR LF, the header would never
// end at CR LF CR LF and the whole header would be searched as body.
void JoinLine(std::string& joined, std::string_view line, bool first) {
    if (!first)
        joined += "\r\n";
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    joined += line;
}

}  // namespace

TMatchFields::TMatchFields()
    : Today(LocalToday) {
    reg_chk_.SetLineSeparator(mcls_CRLF);
}

void TMatchFields::Attach(TMatchHelp& help) {
    help.OnMatching = [this](const std::any& target, const std::string& header, TJkCondition cond,
                             const std::string& text,
                             bool& ret) { MatchMatching(target, header, cond, text, ret); };
}

void TMatchFields::MatchMatching(const std::any& Target,
                                 const std::string& Header,
                                 TJkCondition Cond,
                                 const std::string& Text,
                                 bool& ret) {
    ret = false;
    try {
        TMsg* msg = std::any_cast<TMsg*>(Target);
        if (msg)
            ret = Test(*msg, Header, Cond, Text);
    } catch (...) {
        ret = false;  // any error makes the leaf false
    }
}

bool TMatchFields::Test(TMsg& msg,
                        std::string_view header,
                        TJkCondition cond,
                        std::string_view text) {
    static const std::string kMark = Sjis("マーク");
    static const std::string kSize = Sjis("サイズ");
    static const std::string kBody = Sjis("本文");
    const std::string h = SjisLower(header);
    if (h == "subject")
        return StringTest(msg.subject, text, cond);
    if (h == "from")
        return StringTest(msg.From(), text, cond);
    if (h == "message-id")
        return StringTest(msg.messageId, text, cond);
    if (h == "references")
        return StringTest(msg.references, text, cond);
    if (h == kMark) {
        static const std::string kBlank = Sjis("＿");
        static const std::string kPlus = Sjis("＋");
        static const std::string kMinus = Sjis("－");
        static const std::string kStar = Sjis("＊");
        std::string value(text);
        if (value == kBlank)
            value = " ";
        else if (value == kPlus)
            value = UseRegEx ? "\\+" : "+";
        else if (value == kMinus)
            value = UseRegEx ? "\\-" : "-";
        else if (value == kStar)
            value = UseRegEx ? "\\*" : "*";
        return StringTest(std::string(1, msg.mark), value, cond);
    }
    if (h == "date")
        return DateTest(msg, text, cond);
    if (h == "lines" || h == kSize) {
        const int64_t value = h == "lines" ? int64_t{msg.lineCount} : msg.length;
        return Compare(value, cond, ToInteger64(text));
    }
    if (header == kBody)
        return StringTest(BodyText(msg, reader_), text, cond);
    std::string value =
        msg.lines.empty() ? HeaderValue(MessageLines(msg, reader_), header) : msg.Header(header);
    return StringTest(value, text, cond);
}

std::string TMatchFields::BodyText(TMsg& msg) {
    MessageReader reader;
    return BodyText(msg, reader);
}

std::string TMatchFields::BodyText(TMsg& msg, MessageReader& reader) {
    // A message with text in another charset, or HTML, is searched by the text it shows.
    std::string readable;
    // The lines LoadLines would give, joined with CR LF; built straight from the message's
    // bytes when it has no lines: split at LF, the empty piece after a last LF is no line.
    std::string joined;
    if (!msg.lines.empty() || msg.msgFile.empty()) {
        if (ReadableJoined(msg.lines, readable))
            return readable;
        bool first = true;
        for (const std::string& line : msg.lines) {
            JoinLine(joined, line, first);
            first = false;
        }
    } else {
        std::string text;
        ReadMessage(msg, reader, text);
        // A look at the bytes tells whether the MIME parts need to be read at all.
        if (MayNeedParts(text) && ReadableJoined(SplitLines(text), readable))
            return readable;
        std::string_view rest = text;
        if (!rest.empty() && rest.back() == '\n')
            rest.remove_suffix(1);
        joined.reserve(rest.size() + rest.size() / 32);
        for (bool first = true;; first = false) {
            const size_t lf = rest.find('\n');
            JoinLine(joined, rest.substr(0, lf), first);
            if (lf == std::string_view::npos)
                break;
            rest.remove_prefix(lf + 1);
        }
    }
    // Only the body is decoded: everything up to the first empty line is dropped first.
    std::string_view body = joined;
    const size_t blank = body.find("\r\n\r\n");
    if (blank != std::string_view::npos)
        body.remove_prefix(blank + 4);
    return JisToSjis(DecodeHeaderWords(body));
}

bool TMatchFields::ContainsText(std::string_view haystack, std::string_view needle) {
    if (needle.empty() || needle.size() > haystack.size())
        return false;
    // A needle ending in a lead byte would take the first byte of a character in the text.
    bool lone_lead_end = false;
    for (size_t i = 0; i < needle.size(); ++i) {
        if (IsSjisLeadByte(static_cast<unsigned char>(needle[i]))) {
            if (i + 1 == needle.size())
                lone_lead_end = true;
            ++i;
        }
    }
    size_t boundary = 0;  // a character boundary at or before the search position
    for (size_t from = 0;;) {
        size_t at = haystack.find(needle, from);
        if (at == std::string_view::npos)
            return false;
        while (boundary < at)
            boundary += IsSjisLeadByte(static_cast<unsigned char>(haystack[boundary])) &&
                                boundary + 1 < haystack.size()
                            ? 2
                            : 1;
        if (boundary == at && (!lone_lead_end || at + needle.size() == haystack.size()))
            return true;
        from = at + 1;
    }
}

bool TMatchFields::StringTest(std::string_view value,
                              std::string_view cond_text,
                              TJkCondition cond) {
    bool found;
    if (UseRegEx) {
        reg_chk_.SetUseFuzzyCharDic(Fuzzy);
        reg_chk_.SetRegExp(cond_text);
        found = reg_chk_.Exists(value);
    } else if (Fuzzy) {
        found = ContainsText(SjisLower(value), SjisLower(cond_text));
    } else {
        found = ContainsText(value, cond_text);
    }
    return cond == jc_Equal ? found : !found;
}

bool TMatchFields::DateTest(TMsg& msg, std::string_view cond_text, TJkCondition cond) {
    const std::string& key = msg.SortDate();
    if (key.size() < 8)
        throw FieldError("no date");
    const sys_days message_date = CheckedDate(Digits(std::string_view(key).substr(0, 4)),
                                              Digits(std::string_view(key).substr(4, 2)),
                                              Digits(std::string_view(key).substr(6, 2)));
    sys_days wanted;
    if (cond_text == "ExpireDate") {
        if (!ExpireDate || !ExpireDate->ok())
            throw FieldError("no expiry date");
        wanted = sys_days{*ExpireDate};
    } else if (cond_text.substr(0, 6) == "Today-") {
        int32_t n = 0;
        if (!ParseInt32(cond_text.substr(6), n))
            throw FieldError("no number");
        wanted = sys_days{Today()} - days{n};
    } else {
        wanted = SlashDate(cond_text);
    }
    return Compare(message_date, cond, wanted);
}

}  // namespace pelorin
