// `expand TEMPLATE FILE`: builds a message record from one message file the way a composed
// message becomes a record (TMsg::FromLines) and prints the template expanded against it, to
// try list rows, attribution lines and print headers from the command line.
//
// The file holds one message with LF or CR LF line ends (the CR is dropped); a first line
// "#! rnews N" is skipped. The record's length is the bytes of its lines with LF ends, so %B
// shows the size of the message as an area would store it.
//
// The template is typed as UTF-8 and the result printed as UTF-8; with --raw the template is
// taken as Shift_JIS bytes and the result printed as bytes.
#include "command.h"

#include "coding/cp932.h"
#include "store/msg.h"
#include "store/textfile.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace pelorin::cli {
namespace {

constexpr std::string_view kRnews = "#! rnews ";

// The lines of one message file; a leading rnews batch line is skipped.
TSList MessageFileLines(std::string_view text) {
    if (text.substr(0, kRnews.size()) == kRnews) {
        size_t lf = text.find('\n');
        text.remove_prefix(lf == std::string_view::npos ? text.size() : lf + 1);
    }
    return SplitTextLines(text);
}

int Expand(const std::vector<std::string>& args, const Options& opts) {
    if (args.size() != 2)
        throw UsageError{"expected a template and a message file"};
    if (opts.raw && opts.utf8)
        throw UsageError{"--raw and --utf8 exclude each other"};
    std::ifstream in(args[1], std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + args[1]);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        throw std::runtime_error("cannot read " + args[1]);

    const TSList lines = MessageFileLines(text);
    TMsg msg = TMsg::FromLines(lines);
    size_t bytes = 0;
    for (const std::string& line : lines) bytes += line.size() + 1;
    msg.length = static_cast<int32_t>(std::min<size_t>(bytes, INT32_MAX));

    const std::string tmpl = opts.raw ? args[0] : cp932::FromUtf8(args[0]);
    Print(msg.Expand(tmpl), !opts.raw);
    std::fputc('\n', stdout);
    return 0;
}

const CliCommand expand("expand",
                        "TEMPLATE FILE",
                        "expand a message template against the one message in FILE (UTF-8 "
                        "unless --raw)",
                        Expand);

}  // namespace
}  // namespace pelorin::cli
