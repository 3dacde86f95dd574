// Posting in UTF-8 (see reply_utf8.h).
#include "store/reply_utf8.h"

#include "coding/charset.h"
#include "coding/cp932.h"
#include "coding/header_words.h"
#include "store/textfile.h"

namespace pelorin {
namespace {

constexpr std::size_t kQpLine = 76;  // characters of an encoded line, soft break included

bool IsField(std::string_view line, std::string_view name) {
    return line.size() > name.size() && line[name.size()] == ':' &&
           EqualNoCase(line.substr(0, name.size()), name);
}

bool IsMimeField(std::string_view line) {
    return IsField(line, "Mime-Version") || IsField(line, "Content-Type") ||
           IsField(line, "Content-Transfer-Encoding");
}

}  // namespace

void AppendQuotedPrintable(std::string_view line, TSList& out) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string cur;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const auto b = static_cast<unsigned char>(line[i]);
        const bool last = i + 1 == line.size();
        const bool plain =
            (b >= 0x21 && b <= 0x7E && b != '=') || ((b == ' ' || b == '\t') && !last);
        std::string piece;
        if (plain) {
            piece.push_back(static_cast<char>(b));
        } else {
            piece = {'=', kHex[b >> 4], kHex[b & 0xF]};
        }
        if (cur.size() + piece.size() > kQpLine - 1) {  // room for the soft break's "="
            out.push_back(cur + "=");
            cur.clear();
        }
        cur += piece;
    }
    out.push_back(std::move(cur));
}

TSList ReplyMessageLinesUtf8(const TSList& composedUtf8) {
    TSList out;
    out.reserve(composedUtf8.size() + 4);
    bool inHeader = true;
    bool mimeAdded = false;
    const auto addMime = [&] {
        if (mimeAdded)
            return;
        out.emplace_back("Mime-Version: 1.0");
        out.emplace_back("Content-Type: text/plain; charset=UTF-8");
        out.emplace_back("Content-Transfer-Encoding: quoted-printable");
        mimeAdded = true;
    };
    bool skippingField = false;  // inside a replaced MIME field (its continuation lines too)
    for (const std::string& raw : composedUtf8) {
        const std::string line = ValidUtf8(raw);
        if (inHeader && line.empty()) {
            inHeader = false;
            addMime();
            out.emplace_back();
            continue;
        }
        if (inHeader) {
            const bool continuation = !line.empty() && (line[0] == ' ' || line[0] == '\t');
            if (!continuation)
                skippingField = IsMimeField(line);
            if (skippingField)
                continue;
            const std::string encoded = EncodeUtf8HeaderLine(line);
            std::size_t pos = 0;
            while (pos <= encoded.size()) {
                std::size_t lf = encoded.find('\n', pos);
                if (lf == std::string::npos)
                    lf = encoded.size();
                out.push_back(encoded.substr(pos, lf - pos));
                pos = lf + 1;
            }
            continue;
        }
        AppendQuotedPrintable(line, out);
    }
    if (inHeader) {  // a header without body
        addMime();
        out.emplace_back();
    }
    return out;
}

bool ReadTextBeyondShiftJis(std::string_view path, TSList& utf8Lines) {
    utf8Lines.clear();
    std::string_view bytes;
    const std::string text = ReadFileBytes(path);
    bytes = text;
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
        bytes.remove_prefix(3);
    if (!Has8Bit(bytes) || !IsUtf8(bytes))
        return false;
    std::size_t lost = 0;
    (void)cp932::FromUtf8(bytes, &lost);
    if (lost == 0)
        return false;
    utf8Lines = SplitTextLines(bytes);
    return true;
}

}  // namespace pelorin
