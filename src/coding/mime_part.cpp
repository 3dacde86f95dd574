// The MIME part tree: header parsing, multipart routing and body decoding.
//
// Header fields read (names without regard to case, each followed by exactly one space):
//
//   "mime-version: "               MimeVersion = the rest of the line
//   "content-type: "               type "/" subtype [";" parameters]; lower case
//   "content-transfer-encoding: "  Encoding, lower case
//
// Values lose their trailing white space (a CR of CR LF line ends included) and are not
// trimmed otherwise. Content-Type and Content-Transfer-Encoding may continue on the following
// lines that start with a space or TAB; each such line is appended without its leading blanks.
// (Some mailers put type, a second parameter and the boundary on three lines, so every
// continuation line is taken, not only the first.) Parameters are split at ";" outside double
// quotes; name=, boundary= and charset= are read, without their surrounding quotes.
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
//
// Bad input: base64 leftovers that do not fill a byte are dropped; "=" in quoted-printable
// text without two upper-case hex digits stays as it is; a soft break on the last line is
// simply dropped.
#include "coding/mime_part.h"

#include "coding/base64.h"
#include "coding/header_words.h"
#include "coding/jis.h"
#include "coding/rot.h"
#include "coding/safe_file.h"

namespace pelorin {
namespace {

constexpr std::string_view kMimeVersion = "mime-version: ";
constexpr std::string_view kContentType = "content-type: ";
constexpr std::string_view kTransferEncoding = "content-transfer-encoding: ";

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
    } else {
        Body.push_back(ConvertTextLine(line));
    }
}

void TMIMEPart::ParseHeader() {
    ContentType = "text";
    SubType = "plain";
    Encoding = "7bit";
    FileName.clear();
    Charset.clear();
    Boundary.clear();
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
        }
    }
}

void TMIMEPart::ParseParams(std::string_view text) {
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
        const std::string_view param = Trim(text.substr(start, i - start));
        start = i + 1;
        Params.emplace_back(param);
        if (StartsWithNoCase(param, "name="))
            FileName = JisToSjis(DecodeHeaderWords(Unquote(param.substr(5))));
        else if (StartsWithNoCase(param, "boundary="))
            Boundary = Unquote(param.substr(9));
        else if (StartsWithNoCase(param, "charset="))
            Charset = Unquote(param.substr(8));
    }
}

void TMIMEPart::AddBodyLine(std::string_view line) {
    if (ContentType != "multipart" || Closed || level_ >= kMaxMimeLevel) {
        if (IsPlainText())
            Body.push_back(ConvertTextLine(line));
        else
            Body.emplace_back(line);
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
    Charset.clear();
    Boundary.clear();
}

void TMIMEPart::DecodeText() {
    if (ContentType != "text")
        return;
    if (Encoding == "base64") {
        const std::string bytes = DecodeBase64Body(Body);
        Body.clear();
        std::size_t pos = 0;
        while (pos < bytes.size()) {
            const std::size_t lf = bytes.find('\n', pos);
            if (lf == std::string::npos) {
                Body.push_back(JisToSjis(std::string_view(bytes).substr(pos)));
                break;
            }
            Body.push_back(JisToSjis(std::string_view(bytes).substr(pos, lf - pos)));
            pos = lf + 1;
        }
        Encoding = "7bit";
    } else if (Encoding == "quoted-printable") {
        std::vector<std::string> decoded;
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
            decoded.push_back(JisToSjis(QPDecode(joined)));
            joined.clear();
            pending = false;
        }
        if (pending)
            decoded.push_back(JisToSjis(QPDecode(joined)));
        Body = std::move(decoded);
        Encoding = "7bit";
    }
}

MimeSaveResult TMIMEPart::SaveBase64(const std::string& directory) const {
    if (Encoding != "base64")
        return MimeSaveResult::NotBase64;
    SafeFileWriter writer;
    SafeFileResult result = writer.Open(directory, FileName);
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

void TMIMEPart::RotBody() {
    for (std::string& line : Body) line = RotText(line);
}

}  // namespace pelorin
