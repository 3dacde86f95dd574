// The MIME part tree: header parsing, multipart routing and body decoding.
//
// Header fields read (names without regard to case, each followed by exactly one space):
//
//   "mime-version: "               MimeVersion = the rest of the line
//   "content-type: "               type "/" subtype [";" parameters]; lower case
//   "content-transfer-encoding: "  Encoding, lower case
//   "content-disposition: "        its filename= parameter, for a part without name=
//
// Values lose their trailing white space (a CR of CR LF line ends included) and are not
// trimmed otherwise. Content-Type and Content-Transfer-Encoding may continue on the following
// lines that start with a space or TAB; each such line is appended without its leading blanks.
// (Some mailers put type, a second parameter and the boundary on three lines, so every
// continuation line is taken, not only the first.) Parameters are split at ";" outside double
// quotes; name=, boundary=, charset=, format= and delsp= are read, without their surrounding
// quotes. A file name may come in RFC 2231 form: name*=charset'language'%XX..., and in
// continuations name*0=, name*1*= ... (at most kMaxParamSections, joined in order of their
// numbers, the first gap ending them); its bytes are read in the charset named.
//
// Body decoding (DecodeText):
//  - base64: the body lines are joined; characters outside the base64 alphabet are dropped,
//    and a "=" ends a group of four, so line ends, stray spaces and the padding of separately
//    encoded chunks never shift the bits of what follows. The bytes are split into lines at
//    LF (a CR before it stays), each line through JisToSjis; a last piece without LF is kept
//    when it is not empty.
//  - quoted-printable: a line ending in "=" (white space after it ignored) is a soft line
//    break and is joined with the next line, the way mail readers show it; each joined line
//    is decoded by QPDecode and then JisToSjis, so JIS escapes cut by a soft break are whole
//    again before conversion.
// Either way, lines of a part in a charset read through Unicode, or with 8-bit bytes where
// none were declared, are converted after decoding as the whole part's charset says (see
// mime_part.h); the rest through JisToSjis as above.
//
// Bad input: base64 leftovers that do not fill a byte are dropped; "=" in quoted-printable
// text without two upper-case hex digits stays as it is; a soft break on the last line is
// simply dropped.
#include "coding/mime_part.h"

#include "coding/base64.h"
#include "coding/charset.h"
#include "coding/cp932.h"
#include "coding/header_words.h"
#include "coding/html_text.h"
#include "coding/jis.h"
#include "coding/rot.h"
#include "coding/safe_file.h"

#include <map>

namespace pelorin {
namespace {

constexpr std::string_view kMimeVersion = "mime-version: ";
constexpr std::string_view kContentType = "content-type: ";
constexpr std::string_view kTransferEncoding = "content-transfer-encoding: ";
constexpr std::string_view kDisposition = "content-disposition: ";

// Continuations of one RFC 2231 parameter beyond this many are ignored.
constexpr int kMaxParamSections = 128;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view WithoutCr(std::string_view line) {
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return line;
}

std::string_view TrimRight(std::string_view s) {
    while (!s.empty() && (IsBlank(s.back()) || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

std::string_view TrimLeft(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    return s;
}

std::string_view Trim(std::string_view s) {
    return TrimLeft(TrimRight(s));
}

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

// `prefix` is lower case.
bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
    if (s.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char c = s[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != prefix[i])
            return false;
    }
    return true;
}

std::string_view Unquote(std::string_view v) {
    if (!v.empty() && v.front() == '"')
        v.remove_prefix(1);
    if (!v.empty() && v.back() == '"')
        v.remove_suffix(1);
    return v;
}

// The value of header line `i` after its field name (`nameLength` characters), with all its
// continuation lines appended (blanks before each removed) and trailing white space dropped.
std::string FieldValue(const std::vector<std::string>& header,
                       std::size_t i,
                       std::size_t nameLength) {
    std::string value(TrimRight(std::string_view(header[i]).substr(nameLength)));
    for (std::size_t j = i + 1; j < header.size() && !header[j].empty() && IsBlank(header[j][0]);
         ++j)
        value += Trim(header[j]);
    return value;
}

std::string DecodeBase64Body(const std::vector<std::string>& lines) {
    std::string joined;
    std::size_t total = 0;
    for (const std::string& l : lines) total += l.size();
    joined.reserve(total);
    for (const std::string& l : lines) joined += l;
    // Base64Decode skips everything outside the alphabet; cutting at each "=" makes the
    // padding end its group, so a chunk that follows starts on a fresh group.
    std::string out;
    out.reserve(total / 4 * 3 + 3);
    std::string_view text(joined);
    while (true) {
        std::size_t eq = text.find('=');
        out += Base64Decode(text.substr(0, eq));
        if (eq == std::string_view::npos)
            break;
        text.remove_prefix(eq + 1);
    }
    return out;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// "%XX" of an RFC 2231 value to bytes; a "%" without two hex digits stays.
std::string PercentDecode(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size()) {
            const int hi = HexValue(s[i + 1]), lo = HexValue(s[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out.push_back(static_cast<char>(hi * 16 + lo));
                i += 2;
                continue;
            }
        }
        out.push_back(s[i]);
    }
    return out;
}

// The parameters of one header value that name a file, RFC 2231 forms included: plain
// (name="x"), extended (name*=charset'lang'%XX...) and continued (name*0=, name*1*= ...).
class FileParams {
public:
    // Takes one parameter ("key=value", trimmed); true when it was a parameter called `base`.
    bool Take(std::string_view param, std::string_view base) {
        const std::size_t eq = param.find('=');
        if (eq == std::string_view::npos)
            return false;
        std::string key = Lower(Trim(param.substr(0, eq)));
        if (key.rfind(base, 0) != 0)
            return false;
        std::string_view rest = std::string_view(key).substr(base.size());
        const std::string_view value = Unquote(Trim(param.substr(eq + 1)));
        if (rest.empty()) {
            plain_ = value;
            hasPlain_ = true;
            return true;
        }
        if (rest.front() != '*')
            return false;
        rest.remove_prefix(1);
        bool encoded = false;
        if (!rest.empty() && rest.back() == '*') {
            encoded = true;
            rest.remove_suffix(1);
        }
        int section = 0;
        if (rest.empty()) {
            encoded = true;  // name*=...
        } else {
            if (rest.size() > 3 || rest.find_first_not_of("0123456789") != std::string_view::npos)
                return false;
            section = std::stoi(std::string(rest));
            if (section >= kMaxParamSections)
                return true;
        }
        sections_[section] = Section{encoded, std::string(value)};
        return true;
    }

    bool Empty() const { return !hasPlain_ && sections_.empty(); }

    // The name in Shift_JIS and, when it was read through Unicode, in UTF-8.
    void Result(std::string& sjis, std::string& utf8) const {
        sjis.clear();
        utf8.clear();
        if (sections_.empty()) {
            // A plain value: encoded words (a common, if irregular, habit) or raw bytes.
            const std::string decoded = DecodeHeaderWords(plain_);
            sjis = JisToSjis(decoded);
            if (Has8Bit(plain_) && IsUtf8(plain_)) {
                utf8 = plain_;
                sjis = Utf8ToSjisText(utf8);
            } else if (plain_.find("=?") != std::string::npos) {
                const std::string full = DecodeHeaderUtf8(plain_);
                if (cp932::FromUtf8(full) != sjis || full.find("\xEF\xBF\xBD") != full.npos)
                    utf8 = full;  // some characters did not survive Shift_JIS
            }
            return;
        }
        std::string bytes;
        std::string charset;
        for (int k = 0; k < kMaxParamSections; ++k) {
            auto it = sections_.find(k);
            if (it == sections_.end())
                break;
            std::string_view value = it->second.value;
            if (it->second.encoded) {
                if (k == 0) {
                    const std::size_t q1 = value.find('\'');
                    const std::size_t q2 =
                        q1 == std::string_view::npos ? q1 : value.find('\'', q1 + 1);
                    if (q2 != std::string_view::npos) {
                        charset = value.substr(0, q1);
                        value.remove_prefix(q2 + 1);
                    }
                }
                bytes += PercentDecode(value);
            } else {
                bytes += value;
            }
        }
        switch (ClassifyCharset(charset)) {
            case CharsetKind::Jis:
                sjis = JisToSjis(bytes);
                return;
            case CharsetKind::ShiftJis:
                sjis = bytes;
                return;
            case CharsetKind::Utf8:
            case CharsetKind::Other:
                AppendUtf8(utf8, bytes, charset);
                break;
            default:  // none given, or unknown: UTF-8 when it is, else as it stands
                if (!IsUtf8(bytes)) {
                    sjis = JisToSjis(bytes);
                    return;
                }
                utf8 = bytes;
        }
        sjis = Utf8ToSjisText(utf8);
    }

private:
    struct Section {
        bool encoded = false;
        std::string value;
    };
    std::string plain_;
    bool hasPlain_ = false;
    std::map<int, Section> sections_;
};

// Splits a parameter list at ";" outside double quotes; each parameter trimmed.
std::vector<std::string_view> SplitParams(std::string_view text) {
    std::vector<std::string_view> out;
    text = Trim(text);
    std::size_t start = 0;
    bool quoted = false;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size()) {
            if (text[i] == '"')
                quoted = !quoted;
            if (quoted || text[i] != ';')
                continue;
        }
        out.push_back(Trim(text.substr(start, i - start)));
        start = i + 1;
    }
    return out;
}

// The charset to read undeclared or doubtful 8-bit text in: "" keeps the old reading.
// Text holding JIS escapes is ISO-2022-JP whatever else it holds, and is read as always.
std::string GuessCharset(std::string_view sample) {
    if (sample.find("\x1B$B") != std::string_view::npos ||
        sample.find("\x1B$@") != std::string_view::npos)
        return {};
    std::string found = DetectJapaneseCharset(sample);
    return found == "SHIFT_JIS" ? std::string() : found;
}

// Joins the soft line breaks of format=flowed text (RFC 3676): a line ending in a space goes
// on in the next line of the same quote depth; space-stuffing is removed; "-- " (the
// signature separator) is never joined. Joined lines keep their quote prefix.
std::vector<std::string> JoinFlowed(const std::vector<std::string>& lines, bool delsp) {
    std::vector<std::string> out;
    bool open = false;  // the last output line continues
    std::size_t openDepth = 0;
    for (const std::string& raw : lines) {
        std::string_view line = raw;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        std::size_t depth = 0;
        while (depth < line.size() && line[depth] == '>') ++depth;
        std::string_view content = line.substr(depth);
        if (!content.empty() && content.front() == ' ')
            content.remove_prefix(1);  // stuffing, or the space after the quote marks
        const bool signature = content == "-- ";
        const bool soft = !signature && !content.empty() && content.back() == ' ';
        if (soft && delsp)
            content.remove_suffix(1);
        if (open && depth == openDepth) {
            out.back() += content;
        } else {
            std::string start(depth, '>');
            if (depth > 0)
                start += ' ';
            out.push_back(start + std::string(content));
        }
        open = soft;
        openDepth = depth;
    }
    return out;
}

}  // namespace

const char* to_string(MimeSaveResult result) {
    switch (result) {
        case MimeSaveResult::NotBase64:
            return "not base64";
        case MimeSaveResult::Written:
            return "written";
        case MimeSaveResult::Exists:
            return "exists";
        case MimeSaveResult::BadName:
            return "bad name";
        case MimeSaveResult::Failed:
            return "failed";
    }
    return "?";
}

bool TMIMEPart::IsPlainText() const {
    return ContentType == "text" && (SubType == "plain" || SubType.empty());
}

bool TMIMEPart::IsHtml() const {
    return ContentType == "text" && SubType == "html";
}

std::string TMIMEPart::ConvertTextLine(std::string_view line) const {
    if (!MimeVersion.empty() && DecodeAsHeader)
        return JisToSjis(DecodeHeaderWords(line));
    return JisToSjis(line);
}

void TMIMEPart::AddLine(std::string_view line) {
    if (InHeader) {
        if (WithoutCr(line).empty()) {
            ParseHeader();
            InHeader = false;
        } else {
            Header.emplace_back(line);
        }
    } else if (ParseBody) {
        AddBodyLine(line);
    } else if (Has8Bit(line)) {
        // Show-headers mode: the whole message as it stands, its 8-bit text read as undeclared.
        raw_.push_back(Body.size());
        Body.emplace_back(line);
    } else {
        Body.push_back(ConvertTextLine(line));
    }
}

void TMIMEPart::ParseHeader() {
    ContentType = "text";
    SubType = "plain";
    Encoding = "7bit";
    FileName.clear();
    FileNameUtf8.clear();
    Charset.clear();
    Boundary.clear();
    flowed_ = false;
    delsp_ = false;
    std::string dispositionName, dispositionNameUtf8;
    for (std::size_t i = 0; i < Header.size(); ++i) {
        const std::string_view line = WithoutCr(Header[i]);
        if (StartsWithNoCase(line, kMimeVersion)) {
            MimeVersion = TrimRight(line.substr(kMimeVersion.size()));
        } else if (StartsWithNoCase(line, kContentType)) {
            const std::string value = FieldValue(Header, i, kContentType.size());
            const std::string_view rest = value;
            const std::size_t slash = rest.find('/');
            if (slash == std::string_view::npos) {
                ContentType = Lower(rest);
                SubType.clear();
                continue;
            }
            ContentType = Lower(rest.substr(0, slash));
            const std::string_view after = rest.substr(slash + 1);
            const std::size_t semi = after.find(';');
            if (semi == std::string_view::npos) {
                SubType = Lower(after);
            } else {
                SubType = Lower(after.substr(0, semi));
                ParseParams(after.substr(semi + 1));
            }
        } else if (StartsWithNoCase(line, kTransferEncoding)) {
            Encoding = Lower(FieldValue(Header, i, kTransferEncoding.size()));
        } else if (StartsWithNoCase(line, kDisposition)) {
            const std::string value = FieldValue(Header, i, kDisposition.size());
            const std::size_t semi = value.find(';');
            if (semi != std::string::npos)
                ReadDispositionParams(std::string_view(value).substr(semi + 1), dispositionName,
                                      dispositionNameUtf8);
        }
    }
    // The type's name= is the name this program always used; the disposition's filename=
    // names the parts that have no name= (most of today's attachments).
    if (FileName.empty() && !dispositionName.empty()) {
        FileName = std::move(dispositionName);
        FileNameUtf8 = std::move(dispositionNameUtf8);
    }
    if (ParseBody && ContentType == "text") {
        const CharsetKind kind = ClassifyCharset(Charset);
        // Text in a charset read through Unicode waits for the whole part when it is not
        // transfer-encoded (base64 and quoted-printable text is read by DecodeText).
        allRaw_ = (kind == CharsetKind::Utf8 || kind == CharsetKind::Other) &&
                  Encoding != "base64" && Encoding != "quoted-printable";
    }
}

void TMIMEPart::ReadDispositionParams(std::string_view text, std::string& sjis, std::string& utf8) {
    FileParams name;
    for (std::string_view param : SplitParams(text)) name.Take(param, "filename");
    if (!name.Empty())
        name.Result(sjis, utf8);
}

void TMIMEPart::ParseParams(std::string_view text) {
    FileParams name;
    for (std::string_view param : SplitParams(text)) {
        Params.emplace_back(param);
        if (name.Take(param, "name"))
            continue;
        if (StartsWithNoCase(param, "boundary="))
            Boundary = Unquote(param.substr(9));
        else if (StartsWithNoCase(param, "charset="))
            Charset = Unquote(param.substr(8));
        else if (StartsWithNoCase(param, "format="))
            flowed_ = Lower(Unquote(Trim(param.substr(7)))) == "flowed";
        else if (StartsWithNoCase(param, "delsp="))
            delsp_ = Lower(Unquote(Trim(param.substr(6)))) == "yes";
    }
    if (!name.Empty()) {
        std::string sjis, utf8;
        name.Result(sjis, utf8);
        FileName = std::move(sjis);
        FileNameUtf8 = std::move(utf8);
    }
}

void TMIMEPart::AddBodyLine(std::string_view line) {
    if (ContentType != "multipart" || Closed || level_ >= kMaxMimeLevel) {
        if (IsPlainText() &&
            (allRaw_ || (Has8Bit(line) && Encoding != "base64" && Encoding != "quoted-printable" &&
                         ClassifyCharset(Charset) != CharsetKind::ShiftJis))) {
            raw_.push_back(Body.size());  // read when the part is complete
            Body.emplace_back(line);
        } else if (IsPlainText()) {
            Body.push_back(ConvertTextLine(line));
        } else {
            Body.emplace_back(line);
        }
        return;
    }
    // An open multipart: delimiters first, then the newest child (or the preamble).
    const std::string_view bare = WithoutCr(line);
    if (bare.size() >= Boundary.size() + 2 && bare.substr(0, 2) == "--" &&
        bare.substr(2, Boundary.size()) == Boundary) {
        const std::string_view tail = bare.substr(Boundary.size() + 2);
        if (tail == "--") {
            Closed = true;
            return;
        }
        if (tail.empty()) {
            auto child = std::make_unique<TMIMEPart>();
            child->MimeVersion = MimeVersion;
            child->DecodeAsHeader = DecodeAsHeader;
            child->level_ = level_ + 1;
            Parts.push_back(std::move(child));
            return;
        }
    }
    if (Parts.empty())
        Body.emplace_back(line);
    else
        Parts.back()->AddLine(line);
}

std::size_t TMIMEPart::LeafCount() const {
    if (Parts.empty())
        return 1;
    std::size_t n = 0;
    for (const auto& child : Parts) n += child->LeafCount();
    return n;
}

TMIMEPart* TMIMEPart::Leaf(std::size_t i) {
    if (Parts.empty())
        return i == 0 ? this : nullptr;
    for (const auto& child : Parts) {
        const std::size_t n = child->LeafCount();
        if (i < n)
            return child->Leaf(i);
        i -= n;
    }
    return nullptr;
}

std::vector<TMIMEPart*> TMIMEPart::Leaves() {
    std::vector<TMIMEPart*> leaves;
    std::vector<TMIMEPart*> stack{this};  // depth first, children pushed in reverse
    while (!stack.empty()) {
        TMIMEPart* part = stack.back();
        stack.pop_back();
        if (part->Parts.empty()) {
            leaves.push_back(part);
            continue;
        }
        for (auto it = part->Parts.rbegin(); it != part->Parts.rend(); ++it)
            stack.push_back(it->get());
    }
    return leaves;
}

void TMIMEPart::Reset() {
    Params.clear();
    Header.clear();
    Body.clear();
    Parts.clear();
    InHeader = true;
    Closed = false;
    ContentType = "text";
    MimeVersion.clear();
    // The fields below are set again when a header ends; a message whose header never ends
    // must not inherit them from the message parsed before.
    SubType = "plain";
    Encoding = "7bit";
    FileName.clear();
    FileNameUtf8.clear();
    Charset.clear();
    Boundary.clear();
    Text.clear();
    raw_.clear();
    allRaw_ = false;
    textDone_ = false;
    flowed_ = false;
    delsp_ = false;
}

void TMIMEPart::ReadRawLines(bool transferDecoded) {
    if (raw_.empty())
        return;
    std::string sample;
    for (std::size_t i : raw_) {
        sample += Body[i];
        sample += '\n';
    }
    const CharsetKind kind = ParseBody ? ClassifyCharset(Charset) : CharsetKind::None;
    std::string charset;
    if (kind == CharsetKind::Other) {
        charset = Charset;
    } else if (kind == CharsetKind::Utf8) {
        // A declared UTF-8 that is not: Japanese mail in EUC-JP or Shift_JIS under a wrong
        // label is common enough to ask the detector before showing U+FFFD everywhere.
        const std::string found = DetectJapaneseCharset(sample);
        charset = found == "SHIFT_JIS" ? std::string() : found.empty() ? "UTF-8" : found;
    } else {
        charset = GuessCharset(sample);
    }
    if (charset.empty()) {
        for (std::size_t i : raw_)
            Body[i] = transferDecoded ? JisToSjis(Body[i]) : ConvertTextLine(Body[i]);
        raw_.clear();
        return;
    }
    Text.assign(Body.size(), std::string());
    std::size_t next = 0;
    for (std::size_t i = 0; i < Body.size(); ++i) {
        if (next < raw_.size() && raw_[next] == i) {
            AppendUtf8(Text[i], Body[i], charset);
            ++next;
        } else {
            Text[i] = cp932::ToUtf8(Body[i]);
        }
        Body[i] = Utf8ToSjisText(Text[i]);
    }
    raw_.clear();
}

void TMIMEPart::FinishText() {
    if (ParseBody && (Encoding == "base64" || Encoding == "quoted-printable"))
        return;  // DecodeText reads them
    ReadRawLines(false);
    if (flowed_ && !textDone_ && ParseBody && IsPlainText())
        Reflow();
}

void TMIMEPart::Reflow() {
    textDone_ = true;
    if (Text.empty()) {
        Body = JoinFlowed(Body, delsp_);
        return;
    }
    Text = JoinFlowed(Text, delsp_);
    Body.clear();
    for (const std::string& line : Text) Body.push_back(Utf8ToSjisText(line));
}

void TMIMEPart::ReadHtml(std::string bytes) {
    textDone_ = true;
    std::string utf8;
    const auto jisLines = [&] {
        std::size_t pos = 0;
        while (pos <= bytes.size()) {
            std::size_t lf = bytes.find('\n', pos);
            if (lf == std::string::npos)
                lf = bytes.size();
            utf8 += cp932::ToUtf8(JisToSjis(std::string_view(bytes).substr(pos, lf - pos)));
            utf8 += '\n';
            pos = lf + 1;
        }
    };
    switch (ClassifyCharset(Charset)) {
        case CharsetKind::ShiftJis:
            utf8 = cp932::ToUtf8(bytes);
            break;
        case CharsetKind::Other:
            AppendUtf8(utf8, bytes, Charset);
            break;
        case CharsetKind::Utf8:
            if (IsUtf8(bytes) || DetectJapaneseCharset(bytes) != "EUC-JP") {
                AppendUtf8(utf8, bytes, "UTF-8");
                break;
            }
            AppendUtf8(utf8, bytes, "EUC-JP");
            break;
        default: {
            const std::string found = Has8Bit(bytes) ? DetectJapaneseCharset(bytes) : "";
            if (found == "UTF-8" || found == "EUC-JP")
                AppendUtf8(utf8, bytes, found);
            else
                jisLines();
        }
    }
    Text = HtmlToTextLines(utf8);
    Body.clear();
    for (const std::string& line : Text) Body.push_back(Utf8ToSjisText(line));
    Encoding = "7bit";
}

void TMIMEPart::DecodeText() {
    if (ContentType != "text")
        return;
    if (IsHtml() && ParseBody) {
        if (textDone_)
            return;
        std::string bytes;
        if (Encoding == "base64") {
            bytes = DecodeBase64Body(Body);
        } else {
            for (const std::string& line : Body) {
                const std::string_view content = TrimRight(line);
                if (Encoding == "quoted-printable" && !content.empty() && content.back() == '=') {
                    bytes += QPDecode(content.substr(0, content.size() - 1));
                    continue;
                }
                bytes += Encoding == "quoted-printable" ? QPDecode(line) : line;
                bytes += '\n';
            }
        }
        ReadHtml(std::move(bytes));
        return;
    }
    FinishText();
    if (Encoding != "base64" && Encoding != "quoted-printable")
        return;
    std::vector<std::string> pieces;  // the decoded lines, bytes as they came
    if (Encoding == "base64") {
        const std::string bytes = DecodeBase64Body(Body);
        std::size_t pos = 0;
        while (pos < bytes.size()) {
            const std::size_t lf = bytes.find('\n', pos);
            if (lf == std::string::npos) {
                pieces.push_back(bytes.substr(pos));
                break;
            }
            pieces.push_back(bytes.substr(pos, lf - pos));
            pos = lf + 1;
        }
    } else {
        std::string joined;
        bool pending = false;
        for (const std::string& line : Body) {
            const std::string_view content = TrimRight(line);
            if (!content.empty() && content.back() == '=') {
                joined += content.substr(0, content.size() - 1);
                pending = true;
                continue;
            }
            joined += line;
            pieces.push_back(QPDecode(joined));
            joined.clear();
            pending = false;
        }
        if (pending)
            pieces.push_back(QPDecode(joined));
    }
    Encoding = "7bit";
    Body = std::move(pieces);
    const CharsetKind kind = ClassifyCharset(Charset);
    bool unicode = kind == CharsetKind::Utf8 || kind == CharsetKind::Other;
    for (std::size_t i = 0; !unicode && kind != CharsetKind::ShiftJis && i < Body.size(); ++i)
        unicode = Has8Bit(Body[i]);
    if (unicode) {
        raw_.resize(Body.size());
        for (std::size_t i = 0; i < raw_.size(); ++i) raw_[i] = i;
        ReadRawLines(true);
    } else {
        for (std::string& line : Body) line = JisToSjis(line);
    }
    if (flowed_ && !textDone_ && ParseBody && IsPlainText())
        Reflow();
}

MimeSaveResult TMIMEPart::SaveBase64(const std::string& directory) const {
    if (Encoding != "base64")
        return MimeSaveResult::NotBase64;
    SafeFileWriter writer;
    SafeFileResult result = FileNameUtf8.empty() ? writer.Open(directory, FileName)
                                                 : writer.OpenUtf8(directory, FileNameUtf8);
    if (result == SafeFileResult::Written) {
        writer.Write(DecodeBase64Body(Body));
        result = writer.Commit();
    }
    switch (result) {
        case SafeFileResult::Written:
            return MimeSaveResult::Written;
        case SafeFileResult::Exists:
            return MimeSaveResult::Exists;
        case SafeFileResult::BadName:
            return MimeSaveResult::BadName;
        case SafeFileResult::Failed:
            break;
    }
    return MimeSaveResult::Failed;
}

std::string TMIMEPart::DecodedBase64() const {
    return Encoding == "base64" ? DecodeBase64Body(Body) : std::string();
}

void TMIMEPart::RotBody() {
    Text.clear();
    for (std::string& line : Body) line = RotText(line);
}

std::string TMIMEPart::DiskFileName() const {
    return FileNameUtf8.empty() ? SafeFileName(FileName) : SafeFileNameUtf8(FileNameUtf8);
}

}  // namespace pelorin
