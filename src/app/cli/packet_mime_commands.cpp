// `parts` and `decode` on a message of a packet: N is the row number that `list` shows for the
// same sort order (threads unless --sort says otherwise).
#include "command.h"
#include "mime_commands.h"
#include "packet_access.h"

#include "coding/cp932.h"
#include "store/strutil.h"

#include <cstdio>
#include <filesystem>

namespace pelorin::cli {
namespace {

int SortOption(std::vector<std::string>& args) {
    int32_t sort = 1;
    if (!ParseInt32(TakeOption(args, "--sort", "1"), sort))
        throw UsageError{"--sort takes a number from 0 to 5"};
    return sort;
}

const CliCommand parts("parts",
                       "PACKET_DIR AREA N [--sort 0-5]",
                       "list the MIME leaves of message N of an area: number, type/subtype, "
                       "encoding, file name, lines",
                       [](const std::vector<std::string>& in, const Options& opts) {
                           std::vector<std::string> args = in;
                           const int sort = SortOption(args);
                           if (args.size() != 3)
                               throw UsageError{
                                   "name a packet directory, an area and a message number"};
                           OpenedArea opened = OpenArea(args[0], args[1], sort);
                           TMsg& msg = MessageNumber(opened, args[2]);
                           for (const std::string& row : PartRows(MessageLines(msg.ReadText())))
                               Print(row + "\n", !opts.raw);
                           return 0;
                       });

const CliCommand decode(
    "decode",
    "PACKET_DIR AREA N DIR [--sort 0-5]",
    "write the attachments or uudecoded files of message N of an area into DIR, one line each",
    [](const std::vector<std::string>& in, const Options& opts) {
        std::vector<std::string> args = in;
        const int sort = SortOption(args);
        if (args.size() != 4)
            throw UsageError{"name a packet directory, an area, a message number and a directory"};
        std::error_code ec;
        if (!std::filesystem::is_directory(args[3], ec)) {
            std::fprintf(stderr, "pelorin-cli decode: %s is not a directory\n", args[3].c_str());
            return 1;
        }
        OpenedArea opened = OpenArea(args[0], args[1], sort);
        TMsg& msg = MessageNumber(opened, args[2]);
        const DecodeReport report =
            DecodeMessageFiles(MessageLines(msg.ReadText()), cp932::FromUtf8(args[3]));
        for (const std::string& row : report.rows) Print(row + "\n", !opts.raw);
        return report.written > 0 ? 0 : 1;
    });

}  // namespace
}  // namespace pelorin::cli
