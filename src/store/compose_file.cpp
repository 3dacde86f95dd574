// Compose files, the compose counter and user-edited text files (see compose_file.h).
#include "store/compose_file.h"

#include "coding/cp932.h"
#include "store/linewriter.h"
#include "store/packet_files.h"
#include "store/settings.h"
#include "store/textfile.h"

#include <cstdio>

namespace pelorin {
namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

bool HasHighByte(std::string_view bytes) {
    for (char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return true;
    }
    return false;
}

}  // namespace

TextCharset ParseCharset(std::string_view name, TextCharset def) {
    const std::string n = SjisUpper(Trim(name));
    if (n == "UTF-8" || n == "UTF8")
        return TextCharset::Utf8;
    if (n == "SHIFT_JIS" || n == "SJIS" || n == "CP932")
        return TextCharset::ShiftJis;
    return def;
}

bool IsWellFormedUtf8(std::string_view s) {
    size_t i = 0;
    while (i < s.size()) {
        const auto b = static_cast<unsigned char>(s[i]);
        if (b < 0x80) {
            ++i;
            continue;
        }
        size_t n = 0;
        char32_t cp = 0;
        char32_t min = 0;
        if (b >= 0xC2 && b <= 0xDF) {
            n = 1;
            cp = b & 0x1Fu;
            min = 0x80;
        } else if (b >= 0xE0 && b <= 0xEF) {
            n = 2;
            cp = b & 0x0Fu;
            min = 0x800;
        } else if (b >= 0xF0 && b <= 0xF4) {
            n = 3;
            cp = b & 0x07u;
            min = 0x10000;
        } else {
            return false;  // continuation byte, 0xC0/0xC1 or 0xF5-0xFF in lead position
        }
        if (s.size() - i <= n)
            return false;
        for (size_t k = 1; k <= n; ++k) {
            const auto c = static_cast<unsigned char>(s[i + k]);
            if ((c & 0xC0u) != 0x80u)
                return false;
            cp = (cp << 6) | (c & 0x3Fu);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += n + 1;
    }
    return true;
}

std::string ToSjisText(std::string_view bytes) {
    if (!HasHighByte(bytes) || !IsWellFormedUtf8(bytes))
        return std::string(bytes);
    if (bytes.substr(0, kBom.size()) == kBom)
        bytes.remove_prefix(kBom.size());
    return cp932::FromUtf8(bytes);
}

TextRead ReadUserTextFile(std::string_view path, TSList& lines) {
    lines.clear();
    const int64_t size = FileSize(path);
    if (size < 0)
        return TextRead::Missing;
    const std::string bytes = ReadFileBytes(path);
    // ReadFileBytes gives nothing for a file it cannot open; a non-empty file read as empty
    // was not read.
    if (bytes.empty() && size > 0)
        return TextRead::ReadFailed;
    lines = SplitTextLines(ToSjisText(bytes));
    return TextRead::Ok;
}

ReplaceResult WriteUserTextFile(const TSList& lines, std::string_view path, TextCharset charset) {
    if (charset == TextCharset::ShiftJis)
        return WriteLines(lines, path, '\r', "", WriteMode::Create);
    TSList utf8;
    utf8.reserve(lines.size());
    for (const std::string& line : lines) utf8.push_back(cp932::ToUtf8(line));
    return WriteLines(utf8, path, '\r', "", WriteMode::Create);
}

std::string ComposeFileName(int kind, int32_t number) {
    char name[32];
    std::snprintf(name, sizeof name, "%s%.5d.TMP", kind == kMail ? "PBM" : "PBN",
                  static_cast<int>(number));
    return name;
}

int32_t NextComposeNumber(TIniF& settings,
                          int kind,
                          std::string_view programDir,
                          std::string_view replyDir) {
    int32_t n = ReadNumber(settings, "Message", "LastMessage", 1);
    for (int32_t tries = 0; tries < kMaxComposeNumber; ++tries) {
        n = (n < 0 || n >= kMaxComposeNumber) ? 1 : n + 1;
        const std::string name = ComposeFileName(kind, n);
        if (PacketFileExists(std::string(programDir) + name))
            continue;
        if (!replyDir.empty() &&
            PacketFileExists(std::string(replyDir) + name.substr(0, 8) + ".MSG"))
            continue;
        settings.WriteInteger("Message", "LastMessage", n);
        return n;
    }
    return 0;
}

}  // namespace pelorin
