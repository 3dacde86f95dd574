// The outbound reply packet: reply files, REPLIES and COMMANDS (see outbound.h).
#include "store/outbound.h"

#include "coding/cp932.h"
#include "coding/header_words.h"
#include "coding/jis.h"
#include "store/disk_path.h"
#include "store/linewriter.h"
#include "store/message_origin.h"
#include "store/packet_files.h"
#include "store/reply_utf8.h"
#include "store/textfile.h"

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <system_error>

namespace pelorin {
namespace {

constexpr std::string_view kKanjiIn = "\x1B$B";
constexpr std::string_view kKanjiOut = "\x1B(J";
constexpr std::string_view kMimeVersion = "Mime-Version: 1.0";
constexpr std::string_view kContentType = "Content-Type: text/plain; charset=ISO-2022-JP";

bool IsJapaneseLine(std::string_view line) {
    if (line.find('\x1B') != std::string_view::npos)
        return true;
    static constexpr std::string_view kWord = "=?ISO-2022-JP?B?";
    for (size_t i = 0; i + kWord.size() <= line.size(); ++i) {
        if (line[i] == '=' && EqualNoCase(line.substr(i, kWord.size()), kWord))
            return true;
    }
    return false;
}

// True when a header line starts with `name` + ":" (any case).
bool IsField(std::string_view line, std::string_view name) {
    return line.size() > name.size() && line[name.size()] == ':' &&
           EqualNoCase(line.substr(0, name.size()), name);
}

// Breaks one line of ISO-2022-JP text (as SjisToJis writes it) into lines of at most
// kMaxReplyLine bytes. Pieces end at character boundaries; a piece that ends inside a kanji
// run is closed with ESC ( J and the next one opens the run again with ESC $ B, so every line
// stands on its own.
void AppendBodyLine(std::string jis, TSList& out) {
    if (jis.size() <= kMaxReplyLine) {
        out.push_back(std::move(jis));
        return;
    }
    std::string cur;
    bool kanji = false;
    size_t i = 0;
    while (i < jis.size()) {
        size_t len = 1;
        bool after = kanji;
        if (jis[i] == '\x1B' && i + 2 < jis.size() && (jis[i + 1] == '$' || jis[i + 1] == '(')) {
            len = 3;
            after = jis[i + 1] == '$';
        } else if (kanji && i + 1 < jis.size()) {
            len = 2;
        }
        if (cur.size() + len + (after ? kKanjiOut.size() : 0) > kMaxReplyLine) {
            if (kanji)
                cur.append(kKanjiOut);
            out.push_back(std::move(cur));
            cur.clear();
            if (kanji)
                cur.append(kKanjiIn);
        }
        cur.append(jis, i, len);
        kanji = after;
        i += len;
    }
    out.push_back(std::move(cur));
}

// Adds one encoded header line, splitting it at its folds and folding lines that are still
// longer than kMaxReplyLine: before the last blank or TAB that keeps the line short enough,
// or, without one, after kMaxReplyLine bytes with a blank starting the continuation.
void AppendHeaderLine(std::string_view encoded, TSList& out) {
    size_t pos = 0;
    while (pos <= encoded.size()) {
        size_t lf = encoded.find('\n', pos);
        std::string line(encoded.substr(pos, lf == std::string_view::npos ? lf : lf - pos));
        while (line.size() > kMaxReplyLine) {
            size_t cut = kMaxReplyLine;
            while (cut > 0 && line[cut] != ' ' && line[cut] != '\t') --cut;
            if (cut > 0) {
                out.push_back(line.substr(0, cut));
                line.erase(0, cut);
            } else {
                out.push_back(line.substr(0, kMaxReplyLine));
                line = " " + line.substr(kMaxReplyLine);
            }
        }
        out.push_back(std::move(line));
        if (lf == std::string_view::npos)
            break;
        pos = lf + 1;
    }
}

// Reads a packet text file (REPLIES, COMMANDS) into lines; a missing file gives no lines.
TextRead ReadPacketLines(const std::string& path, TSList& lines) {
    lines.clear();
    const int64_t size = FileSize(path);
    if (size < 0)
        return TextRead::Missing;
    const std::string bytes = ReadFileBytes(path);
    if (bytes.empty() && size > 0)
        return TextRead::ReadFailed;
    lines = SplitTextLines(bytes);
    return TextRead::Ok;
}

// A base name that works as the prefix field of REPLIES: 1-8 letters, digits, "-" or "_".
bool IsReplyPrefix(std::string_view base) {
    if (base.empty() || base.size() > 8)
        return false;
    for (char c : base) {
        bool ok = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                  c == '-' || c == '_';
        if (!ok)
            return false;
    }
    return true;
}

bool ReplyNameTaken(const std::string& dir, std::string_view base, const TSList& replies) {
    if (PacketFileExists(dir + std::string(base) + ".MSG"))
        return true;
    for (const std::string& line : replies) {
        if (EqualNoCase(SplitTab(line, 1)[0], base))
            return true;
    }
    return false;
}

// The compose file's name without its directory and extension.
std::string ComposeBaseName(std::string_view composeFile) {
    std::string_view name = NamePart(composeFile);
    size_t dot = name.rfind('.');
    if (dot != std::string_view::npos && dot > 0)
        name = name.substr(0, dot);
    return std::string(name);
}

std::string Frame(uint64_t length) {
    std::string frame(4, '\0');
    for (int k = 0; k < 4; ++k)
        frame[static_cast<size_t>(k)] = static_cast<char>((length >> (24 - 8 * k)) & 0xFF);
    return frame;
}

}  // namespace

bool OutboundResult::Failed() const {
    return status != OutboundStatus::Ok && status != OutboundStatus::NothingChecked &&
           status != OutboundStatus::Cancelled;
}

std::string OutboundErrorText(const OutboundResult& r) {
    switch (r.status) {
        case OutboundStatus::Ok:
        case OutboundStatus::NothingChecked:
        case OutboundStatus::Cancelled:
            return {};
        case OutboundStatus::NoComposeFile:
            return r.path + Sjis("が見つかりません。");
        case OutboundStatus::ReadFailed:
            return r.path + Sjis("を読み込めませんでした。");
        case OutboundStatus::NoOutboundDir:
            return Sjis("送信用のディレクトリが設定されていません。");
        case OutboundStatus::NoFreeName:
            return r.path + Sjis("に空いているファイル名がありません。");
        case OutboundStatus::TooLarge:
            return r.path + Sjis("は大きすぎて送信パケットに入りません。");
        case OutboundStatus::WriteFailed:
            return r.path + Sjis("に書き込めませんでした。") + "\n(" + to_string(r.write) + ")";
    }
    return {};
}

TSList ReplyMessageLines(const TSList& composed) {
    TSList out;
    out.reserve(composed.size() + 2);
    size_t insertAt = 0;  // index in `out` of the first empty line; 0 when there is none
    bool inHeader = true;
    bool haveVersion = false;
    bool haveType = false;
    for (const std::string& line : composed) {
        if (inHeader && line.empty()) {
            inHeader = false;
            insertAt = out.size();
        }
        if (inHeader) {
            haveVersion = haveVersion || IsField(line, "Mime-Version");
            haveType = haveType || IsField(line, "Content-Type");
            AppendHeaderLine(EncodeHeaderWords(SjisToJis(line)), out);
        } else {
            AppendBodyLine(SjisToJis(line), out);
        }
    }
    bool japanese = false;
    for (const std::string& line : out) japanese = japanese || IsJapaneseLine(line);
    if (japanese) {
        TSList mime;
        if (!haveVersion)
            mime.emplace_back(kMimeVersion);
        if (!haveType)
            mime.emplace_back(kContentType);
        out.insert(out.begin() + static_cast<std::ptrdiff_t>(insertAt), mime.begin(), mime.end());
    }
    return out;
}

std::string ReplyDirectory(TSoup& soup) {
    if (!Trim(soup.outboundOverride).empty())
        return WithTrailingSlash(soup.outboundOverride);
    const std::string own = soup.State().ReadString("General", "Outbound", "");
    if (!Trim(own).empty())
        return WithTrailingSlash(own);
    if (Trim(soup.outboundDir).empty())
        return {};
    return soup.outboundDir;
}

bool BodyRequestOffered(const TSoup& soup, const TGrp& area) {
    return soup.packetType == 0 && area.Letter(1) == 'c';
}

OutboundResult TSoup::PostFile(std::string_view composeFile, int kind) {
    OutboundResult r;
    TSList composed;
    switch (ReadUserTextFile(composeFile, composed)) {
        case TextRead::Ok:
            break;
        case TextRead::Missing:
            r.status = OutboundStatus::NoComposeFile;
            r.path = std::string(composeFile);
            return r;
        case TextRead::ReadFailed:
            r.status = OutboundStatus::ReadFailed;
            r.path = std::string(composeFile);
            return r;
    }
    const std::string dir = ReplyDirectory(*this);
    if (dir.empty()) {
        r.status = OutboundStatus::NoOutboundDir;
        return r;
    }
    const std::string repliesPath = FindPacketFile(dir + "REPLIES");
    TSList replies;
    if (ReadPacketLines(repliesPath, replies) == TextRead::ReadFailed) {
        r.status = OutboundStatus::ReadFailed;
        r.path = repliesPath;
        return r;
    }

    // Text with characters ISO-2022-JP cannot carry goes out in UTF-8 rather than lose them.
    TSList utf8;
    TSList lines = ReadTextBeyondShiftJis(composeFile, utf8) ? ReplyMessageLinesUtf8(utf8)
                                                             : ReplyMessageLines(composed);
    // A message goes out with its date and identity; the kept copy gets the same lines.
    {
        TSList header;
        for (const std::string& line : lines) {
            if (line.empty())
                break;
            header.push_back(line);
        }
        r.addedFields = MissingOriginFields(header, std::time(nullptr));
        lines.insert(lines.begin(), r.addedFields.begin(), r.addedFields.end());
    }
    uint64_t length = 0;
    for (const std::string& line : lines) length += line.size() + 1;
    if (length > UINT32_MAX) {
        r.status = OutboundStatus::TooLarge;
        r.path = std::string(composeFile);
        return r;
    }

    std::string base = ComposeBaseName(composeFile);
    if (!IsReplyPrefix(base) || ReplyNameTaken(dir, base, replies)) {
        base.clear();
        for (int n = 1; n <= 999999 && base.empty(); ++n) {
            char name[16];
            std::snprintf(name, sizeof name, "PB%.6d", n);
            if (!ReplyNameTaken(dir, name, replies))
                base = name;
        }
        if (base.empty()) {
            r.status = OutboundStatus::NoFreeName;
            r.path = dir;
            return r;
        }
    }

    const std::string replyPath = dir + base + ".MSG";
    r.write = WriteLines(lines, replyPath, '\n', Frame(length), WriteMode::Create);
    if (r.write != ReplaceResult::Ok) {
        r.status = OutboundStatus::WriteFailed;
        r.path = replyPath;
        return r;
    }
    replies.push_back(base + (kind == kMail ? "\tmail\tbn" : "\tnews\tBn"));
    r.write = WriteLines(replies, repliesPath, '\n', "", WriteMode::Create);
    if (r.write != ReplaceResult::Ok) {
        // Not listed, the reply file would never be sent: take it back.
        std::error_code ec;
        std::filesystem::remove(DiskPath(replyPath), ec);
        r.status = OutboundStatus::WriteFailed;
        r.path = repliesPath;
        return r;
    }
    r.replyFile = replyPath;
    return r;
}

OutboundResult RequestBodies(TSoup& soup, TGrp& area, TDialogs& dialogs) {
    OutboundResult r;
    size_t checked = 0;
    for (const DisplayEntry& e : area.display) checked += e.msg->checked ? 1 : 0;
    if (checked == 0) {
        r.status = OutboundStatus::NothingChecked;
        return r;
    }
    const std::string dir =
        Trim(soup.outboundOverride).empty() ? soup.outboundDir : soup.outboundOverride;
    if (Trim(dir).empty()) {
        r.status = OutboundStatus::NoOutboundDir;
        return r;
    }
    r.path = FindPacketFile(WithTrailingSlash(dir) + "COMMANDS");
    TSList lines;
    if (ReadPacketLines(r.path, lines) == TextRead::ReadFailed) {
        r.status = OutboundStatus::ReadFailed;
        return r;
    }
    const std::string question = Sjis("チェックされた") + std::to_string(checked) + Sjis("件の") +
                                 "\n" + Sjis("本文取得要求を発行します");
    if (dialogs.MessageBox(question, MsgIcon::Information, MsgButtons::OkCancel) != MsgAnswer::Ok) {
        r.status = OutboundStatus::Cancelled;
        return r;
    }
    for (const DisplayEntry& e : area.display) {
        if (e.msg->checked)
            lines.push_back("SENDME\t" + area.areaName + "\t" + std::to_string(e.msg->number));
    }
    r.write = WriteLines(lines, r.path, '\n', "", WriteMode::Create);
    if (r.write != ReplaceResult::Ok)
        r.status = OutboundStatus::WriteFailed;
    return r;
}

}  // namespace pelorin
