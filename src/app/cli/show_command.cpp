// `show FILE...`: prints message files as a reader sees them. A file that starts with an rnews
// batch line ("#! rnews N") is split into its messages; any other file is one message. Header
// fields (with their continuation lines) go through the three reading steps: MIME words,
// unfolding, JisToSjis. Body lines go through JisToSjis. Line ends may be LF or CR LF. A packet
// directory or AREAS file as the first argument selects `show PACKET_DIR AREA N` instead
// (packet_show_commands.cpp).
#include "command.h"
#include "packet_show.h"

#include "coding/header_words.h"
#include "coding/jis.h"
#include "coding/readable_text.h"
#include "store/strutil.h"
#include "store/textfile.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace pelorin::cli {
namespace {

constexpr std::string_view kRnews = "#! rnews ";

void ShowMessage(std::string_view text, bool utf8) {
    const TSList lines = SplitTextLines(text);
    size_t i = 0;
    while (i < lines.size() && !lines[i].empty()) {
        std::string field = lines[i++];
        while (i < lines.size() && !lines[i].empty() && (lines[i][0] == ' ' || lines[i][0] == '\t'))
            field += "\n" + lines[i++];
        if (utf8)
            PrintUtf8(DecodeHeaderUtf8(field) + "\n");
        else
            Print(JisToSjis(Unfold(DecodeHeaderWords(field))) + "\n", utf8);
    }
    // A message with text in another charset, or HTML, prints as its parts read.
    if (ReadableText readable; ReadableBody(lines, readable)) {
        Print("\n", utf8);
        for (std::size_t k = 0; k < readable.sjis.size(); ++k) {
            if (utf8)
                PrintUtf8(readable.utf8[k] + "\n");
            else
                Print(readable.sjis[k] + "\n", utf8);
        }
        return;
    }
    for (; i < lines.size(); ++i) Print(JisToSjis(lines[i]) + "\n", utf8);
}

// Splits an rnews batch file; a count running past the end of the file takes what is there.
std::vector<std::string_view> SplitRnews(std::string_view file) {
    std::vector<std::string_view> messages;
    size_t pos = 0;
    while (pos + kRnews.size() <= file.size() && file.compare(pos, kRnews.size(), kRnews) == 0) {
        size_t lf = file.find('\n', pos);
        if (lf == std::string_view::npos)
            break;
        size_t count = 0;
        for (size_t k = pos + kRnews.size(); k < lf; ++k) {
            if (file[k] >= '0' && file[k] <= '9' && count < file.size())
                count = count * 10 + static_cast<size_t>(file[k] - '0');
        }
        size_t start = lf + 1;
        count = std::min(count, file.size() - start);
        messages.push_back(file.substr(start, count));
        pos = start + count;
    }
    return messages;
}

const CliCommand show("show",
                      "FILE... | PACKET_DIR AREA N [--sort 0-5] [--headers]",
                      "print message files with decoded headers and bodies, or message N of "
                      "an area as the window shows it",
                      [](const std::vector<std::string>& args, const Options& opts) {
                          if (!args.empty() && NamesPacket(args[0]))
                              return ShowPacketMessage(args, opts);
                          if (args.empty())
                              throw UsageError{"name at least one message file"};
                          int status = 0;
                          for (const std::string& path : args) {
                              std::ifstream in(path, std::ios::binary);
                              if (!in) {
                                  std::fprintf(stderr, "pelorin-cli show: cannot read %s\n",
                                               path.c_str());
                                  status = 1;
                                  continue;
                              }
                              std::string file((std::istreambuf_iterator<char>(in)),
                                               std::istreambuf_iterator<char>());
                              std::vector<std::string_view> messages;
                              if (file.compare(0, kRnews.size(), kRnews) == 0)
                                  messages = SplitRnews(file);
                              else
                                  messages.push_back(file);
                              for (std::string_view m : messages) {
                                  Print("======== " + path + "\n", false);
                                  ShowMessage(m, !opts.raw);
                              }
                          }
                          return status;
                      });

}  // namespace
}  // namespace pelorin::cli
