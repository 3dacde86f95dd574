// `parts-file FILE` and `decode-file FILE DIR`: the MIME part list and the attachment decoder
// for one message in a plain file (LF or CR LF line ends). The work itself is done by the
// functions of mime_commands.h, which the packet commands share.
//
// Output (Shift_JIS unless --utf8):
//   parts-file   N <TAB> type/subtype <TAB> encoding <TAB> file name <TAB> line count
//   decode-file  mime|uu <TAB> result <TAB> file name [<TAB> name on disk, when it differs]
//                (or "none <TAB> nothing to decode")
// decode-file exits with 0 when at least one file was written, 1 otherwise.
#include "mime_commands.h"

#include "command.h"

#include "coding/cp932.h"
#include "coding/mime.h"
#include "coding/safe_file.h"
#include "coding/uucode.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace pelorin::cli {

std::vector<std::string> MessageLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t lf = text.find('\n', pos);
        const std::size_t end = lf == std::string_view::npos ? text.size() : lf;
        lines.emplace_back(text.substr(pos, end - pos));
        pos = end + 1;
    }
    return lines;
}

std::vector<std::string> PartRows(const std::vector<std::string>& lines) {
    TMIMEc mime;
    mime.Parse(lines);
    std::vector<std::string> rows;
    std::size_t number = 0;
    for (const TMIMEPart* leaf : mime.Root.Leaves()) {
        rows.push_back(std::to_string(++number) + "\t" + leaf->ContentType + "/" + leaf->SubType +
                       "\t" + leaf->Encoding + "\t" + leaf->FileName + "\t" +
                       std::to_string(leaf->Body.size()));
    }
    return rows;
}

namespace {

// "<TAB>name" when the name from the message is written under a different name (its directory
// parts cut off), else nothing.
std::string DiskNameColumn(const std::string& sjisName) {
    const std::string disk = SafeFileName(sjisName);
    if (disk.empty())
        return {};
    std::string sjisDisk = cp932::FromUtf8(disk);
    return sjisDisk == sjisName ? std::string() : "\t" + sjisDisk;
}

}  // namespace

DecodeReport DecodeMessageFiles(const std::vector<std::string>& lines, const std::string& sjisDir) {
    DecodeReport report;
    TMIMEc mime;
    mime.Parse(lines);
    bool named = false;
    std::size_t number = 0;
    for (const TMIMEPart* leaf : mime.Root.Leaves()) {
        ++number;
        if (leaf->ContentType == "text")
            continue;
        if (leaf->FileName.empty()) {
            report.rows.push_back("mime\tskipped\tpart " + std::to_string(number) + " (" +
                                  leaf->ContentType + "/" + leaf->SubType + ") has no file name");
            continue;
        }
        named = true;
        const MimeSaveResult result = leaf->SaveBase64(sjisDir);
        if (result == MimeSaveResult::Written)
            ++report.written;
        report.rows.push_back(std::string("mime\t") + to_string(result) + "\t" + leaf->FileName +
                              DiskNameColumn(leaf->FileName));
    }
    if (named)
        return report;

    TUucode uu;
    uu.EncodedStrings = lines;
    uu.DataPath = sjisDir;
    static_cast<void>(uu.Decode());  // the blocks say more than the last event
    for (const TUuBlock& block : uu.Blocks) {
        if (block.Result == UuResult::Decoded || block.Result == UuResult::NoEnd)
            ++report.written;
        report.rows.push_back(std::string("uu\t") + to_string(block.Result) + "\t" +
                              block.Filename + DiskNameColumn(block.Filename));
    }
    if (uu.Blocks.empty())
        report.rows.emplace_back("none\tnothing to decode");
    return report;
}

namespace {

bool ReadMessageFile(const std::string& path, const char* command, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "pelorin-cli %s: cannot read %s\n", command, path.c_str());
        return false;
    }
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

const CliCommand parts_file(
    "parts-file",
    "FILE",
    "list the MIME leaves of one message file: number, type/subtype, encoding, file name, lines",
    [](const std::vector<std::string>& args, const Options& opts) {
        if (args.size() != 1)
            throw UsageError{"name one message file"};
        std::string text;
        if (!ReadMessageFile(args[0], "parts-file", text))
            return 1;
        for (const std::string& row : PartRows(MessageLines(text))) Print(row + "\n", !opts.raw);
        return 0;
    });

const CliCommand decode_file(
    "decode-file",
    "FILE DIR",
    "write the attachments or uudecoded files of one message file into DIR, one line each",
    [](const std::vector<std::string>& args, const Options& opts) {
        if (args.size() != 2)
            throw UsageError{"name one message file and the output directory"};
        std::string text;
        if (!ReadMessageFile(args[0], "decode-file", text))
            return 1;
        std::error_code ec;
        if (!std::filesystem::is_directory(args[1], ec)) {
            std::fprintf(stderr, "pelorin-cli decode-file: %s is not a directory\n",
                         args[1].c_str());
            return 1;
        }
        // Paths in the core are Shift_JIS; the argument is in the locale's UTF-8.
        const DecodeReport report =
            DecodeMessageFiles(MessageLines(text), cp932::FromUtf8(args[1]));
        for (const std::string& row : report.rows) Print(row + "\n", !opts.raw);
        return report.written > 0 ? 0 : 1;
    });

}  // namespace
}  // namespace pelorin::cli
