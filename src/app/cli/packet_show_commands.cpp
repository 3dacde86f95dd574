// `show PACKET_DIR AREA N` and `mark PACKET_DIR AREA N MARK`: one message of an area, shown
// as the text view shows it, or given a mark. N numbers the rows as `list --sort S` does (S
// from --sort, file order by default).
//
// show: the message's header lines decoded (MIME words, unfolding, JIS), an empty line, and
// each displayed part - every leaf of its MIME tree, or the whole message when it has none -
// with its text decoded (base64, quoted-printable, JIS); when there are several parts, each
// starts with a line "---- part N: type/subtype [file name]". The packet is opened and closed
// as for `list`, so nothing is marked read. With --headers the header is the block the window
// shows with ヘッダーの表示 on (store/message_text.h HeaderBlockUtf8: one line per field, every
// character), so the output is what that view shows, tab after tab.
//
// save: writes the body of the message as 名前をつけて保存 does (store/message_text.h
// SaveBodies), in --charset UTF-8 or Shift_JIS, else pelorin.INI's [Files] SaveCharset, else the
// locale's; a character the set cannot carry is written as "〓", and a line on standard error
// says how many there were.
//
// mark: sets the mark (one character: "*" unread, " " read, "-" delete, "+" keep, or any
// other single byte, which reads as read) and closes the packet as the program does, which
// writes the area's mark file and its counts through the usual temporary file and rename.
// A failed write is reported with the file and reason, and the exit status is 1.
#include "command.h"
#include "packet_access.h"
#include "packet_show.h"
#include "terminal.h"

#include "coding/cp932.h"
#include "coding/header_words.h"
#include "coding/jis.h"
#include "coding/mime.h"
#include "store/inifile.h"
#include "store/message_text.h"
#include "store/packet_files.h"
#include "store/strutil.h"
#include "store/textfile.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

namespace pelorin::cli {
namespace {

int SortOption(std::vector<std::string>& args) {
    int32_t sort = 0;
    if (!ParseInt32(TakeOption(args, "--sort", "0"), sort) || sort < 0 || sort > 5)
        throw UsageError{"--sort takes a number from 0 to 5"};
    return sort;
}

void PrintHeader(const std::vector<std::string>& header, bool utf8) {
    size_t i = 0;
    while (i < header.size()) {
        std::string field = header[i++];
        while (i < header.size() && !header[i].empty() &&
               (header[i][0] == ' ' || header[i][0] == '\t'))
            field += "\n" + header[i++];
        while (!field.empty() && field.back() == '\r') field.pop_back();
        if (utf8)
            PrintUtf8(DecodeHeaderUtf8(field) + "\n");
        else
            Print(JisToSjis(Unfold(DecodeHeaderWords(field))) + "\n", utf8);
    }
}

bool TakeFlag(std::vector<std::string>& args, std::string_view name) {
    const auto it = std::find(args.begin(), args.end(), name);
    if (it == args.end())
        return false;
    args.erase(it);
    return true;
}

std::string WithoutCr(std::string line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
    return line;
}

const CliCommand mark(
    "mark",
    "PACKET_DIR AREA N MARK [--sort 0-5]",
    "set the mark of message N (\"*\" unread, \" \" read, \"-\" delete, \"+\" keep)",
    [](const std::vector<std::string>& in, const Options&) {
        std::vector<std::string> args = in;
        const int sort = SortOption(args);
        if (args.size() != 4)
            throw UsageError{"name a packet directory, an area, a message number and a mark"};
        if (args[3].size() != 1)
            throw UsageError{"a mark is one character: \"*\", \" \", \"-\" or \"+\""};
        OpenedArea opened = OpenArea(args[0], args[1], sort);
        TMsg& msg = MessageNumber(opened, args[2]);
        if (msg.mark != args[3][0]) {
            msg.mark = args[3][0];
            opened.area->marksChanged = true;
        }
        opened.area->sortType = opened.storedSort;
        opened.area = nullptr;  // closing the packet frees its areas
        TSoup& soup = *opened.soup;
        const ReplaceResult r = soup.Destroy();
        if (r != ReplaceResult::Ok) {
            std::fprintf(
                stderr, "pelorin-cli mark: %s could not be written (%s)\n",
                cp932::ToUtf8(soup.failure.path).c_str(),
                cp932::ToUtf8(soup.failure.reason.empty() ? to_string(r) : soup.failure.reason)
                    .c_str());
            return 1;
        }
        return 0;
    });

const CliCommand save(
    "save",
    "PACKET_DIR AREA N FILE [--sort 0-5] [--charset UTF-8|Shift_JIS]",
    "write the body of message N to FILE as the window's 名前をつけて保存 does",
    [](const std::vector<std::string>& in, const Options&) {
        std::vector<std::string> args = in;
        const int sort = SortOption(args);
        std::string charsetName = TakeOption(args, "--charset");
        if (!charsetName.empty() && !EqualNoCase(charsetName, "UTF-8") &&
            !EqualNoCase(charsetName, "Shift_JIS"))
            throw UsageError{"--charset takes UTF-8 or Shift_JIS"};
        if (args.size() != 4)
            throw UsageError{"name a packet directory, an area, a message number and a file"};
        if (charsetName.empty()) {
            TIniF settings(OwnDir() + "/pelorin.INI");
            charsetName = settings.ReadString("Files", "SaveCharset", "");
        }
        const TextCharset charset = ParseTextCharset(charsetName);
        OpenedArea opened = OpenArea(args[0], args[1], sort);
        TMsg& msg = MessageNumber(opened, args[2]);
        WriteFailure failure;
        std::vector<SaveLoss> losses;
        if (SaveBodies(cp932::FromUtf8(args[3]), {&msg}, charset, failure, losses) !=
            ReplaceResult::Ok) {
            std::fprintf(
                stderr, "pelorin-cli save: %s could not be written (%s)\n", args[3].c_str(),
                cp932::ToUtf8(failure.reason.empty() ? to_string(failure.result) : failure.reason)
                    .c_str());
            return 1;
        }
        for (const SaveLoss& loss : losses) {
            std::fprintf(
                stderr,
                "pelorin-cli save: message %s: %zu characters %s cannot hold were written as 〓\n",
                args[2].c_str(), loss.replaced, std::string(TextCharsetName(charset)).c_str());
        }
        return 0;
    });

}  // namespace

bool NamesPacket(const std::string& path) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec))
        return true;
    return EqualNoCase(NamePart(path), "AREAS") && std::filesystem::is_regular_file(path, ec);
}

int ShowPacketMessage(const std::vector<std::string>& in, const Options& opts) {
    std::vector<std::string> args = in;
    const int sort = SortOption(args);
    const bool headers = TakeFlag(args, "--headers");
    if (args.size() != 3)
        throw UsageError{"name a packet directory, an area and a message number"};
    OpenedArea opened = OpenArea(args[0], args[1], sort);
    TMsg& msg = MessageNumber(opened, args[2]);
    const bool utf8 = !opts.raw;
    msg.LoadLines();
    TMIMEc mime;
    mime.Root.ParseBody = true;
    mime.Parse(msg.lines);
    if (headers) {
        for (const std::string& line : HeaderBlockUtf8(mime.Root.Header)) {
            if (utf8)
                PrintUtf8(line + "\n");
            else
                Print(cp932::FromUtf8(line) + "\n", false);
        }
    } else {
        PrintHeader(mime.Root.Header, utf8);
    }
    Print("\n", utf8);
    std::vector<TMIMEPart*> parts = mime.Root.Leaves();
    if (parts.empty())
        parts.push_back(&mime.Root);
    for (size_t i = 0; i < parts.size(); ++i) {
        TMIMEPart& part = *parts[i];
        if (parts.size() > 1) {
            std::string title = "---- part " + std::to_string(i + 1) + ": " + part.ContentType;
            if (!part.SubType.empty())
                title += "/" + part.SubType;
            if (utf8 && !part.FileNameUtf8.empty()) {
                PrintUtf8(cp932::ToUtf8(title) + " " + part.FileNameUtf8 + "\n");
            } else {
                if (!part.FileName.empty())
                    title += " " + part.FileName;
                Print(title + "\n", utf8);
            }
        }
        part.DecodeText();
        if (utf8 && !part.Text.empty()) {
            for (const std::string& line : part.Text) PrintUtf8(WithoutCr(line) + "\n");
            continue;
        }
        for (const std::string& line : part.Body) Print(WithoutCr(line) + "\n", utf8);
    }
    return 0;
}

}  // namespace pelorin::cli
